// Tests of the users' help methods called through the host, where only C++ reaches: propinfo's
// copies and refusals, prophelp without an object and its number formatting, the toolbar name.
// Abbreviations, kinds of properties, order, hidden fields, lookups on objects and every
// constraint's summary line are in the shell scripts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/test_product.h"
#include "zelhost/objects/qx_method_info.h"
#include "zelobjsys/inspector_toolbar_name_mi.h"
#include "zelobjsys/prop_help_mi.h"
#include "zelobjsys/prop_info_mi.h"

namespace zelobjsys {
namespace {

class HelpMethodsTest : public ::testing::Test {
 protected:
  // The standard properties that start with T, and: Voltage (bounded 0..10, one help line), Mode
  // (auto, Manual, off; default given as "manual"), Beta (double) and Secret (invisible).
  void SetUp() override {
    app_ = testproduct::startTestProduct();
    schema_ = new testproduct::TestSchema("IntroDev");
    app_->addLocalClass(schema_);  // the application owns it
    testproduct::Factory f(schema_, nullptr);
    for (const char* name : {"Tag", "Type", "TimerFcn", "TimerPeriod", "Timeout"})
      schema_->addGenericProperty(&f, name);
    void* voltage = f.createDoubleProperty("Voltage", 0, 10, 5);
    f.addPropHelpLine(voltage, "Output voltage in volts.");
    f.addProperty(voltage, true);
    void* mode = f.createEnumProperty("Mode", "auto", 1);
    f.addEnumValue(mode, "Manual", 2);
    f.addEnumValue(mode, "off", 3);
    f.setDefaultValue(mode, "manual");
    f.addProperty(mode, false);
    f.addProperty(f.createDoubleProperty("Beta", 2), false);
    void* secret = f.createStringProperty("Secret", "s");
    f.setVisible(secret, KTIPropFactory::kVisibleNone);
    f.addProperty(secret, false);
    object_ = schema_->createInstance(nullptr, nullptr, 0);
    handle_.reset(hvCreateObjectHandle(object_));
  }
  void TearDown() override {
    // Put the host's own number formatting back for the tests that follow.
    hoxRegisterFunction("num2str", [](int, hvArray* out[], int, hvArray* in[]) {
      out[0] = hvCreateString(hoxNum2Str(hvGetScalar(in[0])).c_str());
    });
    testproduct::stopTestProduct();
  }

  // Calls a method of the class through the host with the given values.
  hvArray* invoke(const char* method, const std::vector<const hvArray*>& args) {
    return hoxInvokeMethod(schema_, method, static_cast<int>(args.size()), args.data());
  }
  // The error such a call raises ("id|message"), or "(no error)".
  std::string invokeError(const char* method, const std::vector<const hvArray*>& args) {
    return hostErrorText([&] { ZLScopedHvArray result(invoke(method, args)); });
  }
  // The help text for a name, asked on the object or on the name alone; "(none)" for no value.
  std::string help(const char* name, bool alone = false) {
    ZLScopedHvArray n(hvCreateString(name));
    ZLScopedHvArray text(alone ? invoke("prophelp", {n}) : invoke("prophelp", {handle_, n}));
    if (text.get() == nullptr) return "(none)";
    EXPECT_TRUE(hvIsChar(text));
    return zelhox::fcns::getString(text);
  }

  QxApplication* app_ = nullptr;
  testproduct::TestSchema* schema_ = nullptr;
  QxInterface* object_ = nullptr;
  ZLScopedHvArray handle_;
};

using PropInfoMITest = HelpMethodsTest;

TEST_F(PropInfoMITest, ValuesAreCopiesInvisibleOnesAnswerAndDefaultsPassThroughTheType) {
  auto info = [&](const char* name) {
    return invoke("propinfo", {handle_, ZLScopedHvArray(hvCreateString(name))});
  };
  ZLScopedHvArray secret(info("Secret"));
  EXPECT_EQ(zelhox::fcns::getString(hvGetField(secret, 0, "DefaultValue")), "s");
  ZLScopedHvArray voltage(info("Voltage"));
  const hvArray* bounds = hvGetField(voltage, 0, "ConstraintValue");
  EXPECT_EQ(hvGetPr(bounds)[1], 10);
  EXPECT_NE(bounds, testproduct::recordOf(schema_, "Voltage")->getPIConstraintValue());
  // The default was given as "manual"; the type gives it back as it lists it.
  ZLScopedHvArray mode(info("Mode"));
  EXPECT_EQ(zelhox::fcns::getString(testproduct::recordOf(schema_, "Mode")->getPIDefaultValue()),
            "manual");
  EXPECT_EQ(zelhox::fcns::getString(hvGetField(mode, 0, "DefaultValue")), "Manual");
}

TEST_F(PropInfoMITest, MissingOrDeletedObjectIsRefused) {
  object_->destroy(QxDatabaseClient::getInternalClient());
  PropInfoMI method;  // reached without the host, which refuses a deleted object itself
  int n = -1;
  void* out[1] = {nullptr};
  for (QxInterface* object : {object_, static_cast<QxInterface*>(nullptr)}) {
    void* args[1] = {object};
    EXPECT_EQ(
        hostErrorText([&] { method.invokeMethod(method.getMethodSignature(0), &n, out, 1, args); }),
        "vornix:propinfo:invalidObject|Invalid or deleted object.");
    EXPECT_EQ(n, 0);
  }
}

using PropHelpMITest = HelpMethodsTest;

TEST_F(PropHelpMITest, LookupsWithoutAnObject) {
  EXPECT_EQ(help("MO", true), "    MODE  [ auto | {Manual} | off ]  (Read-only: never)\n\n");
  EXPECT_EQ(help("Secret", true), "(none)");
  EXPECT_EQ(help("Secret"), "(none)");
  EXPECT_EQ(invokeError("prophelp", {ZLScopedHvArray(hvCreateString("T"))}),
            "vornix:prophelp:ambiguousProp|Ambiguous property: 'T'.");
}

TEST_F(PropHelpMITest, CallbackConstraintWinsOverTheType) {
  testproduct::Factory f(schema_, nullptr);
  void* hook = f.createStringProperty("HookFcn", "");
  f.addPropHelpLine(hook, "Runs when the hook fires, for a long while, on every device.");
  f.addProperty(hook, false);
  PropInfoTestPeer::setPIConstraint(*testproduct::recordOf(schema_, "HookFcn"),
                                    kPIConstraintCallback);
  EXPECT_EQ(help("HookFcn"),
            "    HOOKFCN  string -or- function handle -or- cell array  (Read-only: never)\n\n"
            "    Runs when the hook fires, for a long while, on every device.\n");
}

TEST_F(PropHelpMITest, BoundsAreWrittenByTheHostsNum2str) {
  hoxRegisterFunction("num2str", [](int, hvArray* out[], int, hvArray* in[]) {
    out[0] = hvCreateString(("<" + hoxNum2Str(hvGetScalar(in[0])) + ">").c_str());
  });
  EXPECT_EQ(help("Voltage"),
            "    VOLTAGE  [<0>  <10>]  (Read-only: never)\n\n    Output voltage in volts.\n");
  hoxRegisterFunction("num2str", [](int, hvArray**, int, hvArray**) {
    throw new ErrorIdException("test:num2str:broken", "num2str is broken");
  });
  EXPECT_EQ(invokeError("prophelp", {handle_, ZLScopedHvArray(hvCreateString("Voltage"))}),
            "test:num2str:broken|num2str is broken");
  EXPECT_EQ(help("Beta"), "    BETA  double  (Read-only: never)\n\n");
}

using ToolbarNameMethodTest = HelpMethodsTest;
constexpr const char* kMethod = "getInspectorToolbarObjectName";

TEST_F(ToolbarNameMethodTest, AnObjectGetsItsSchemasNameAndNothingElseIsAccepted) {
  EXPECT_EQ(invokeError(kMethod, {handle_}).rfind("PULVRA:method:", 0), 0u);
  schema_->addGenericMethod("GetToolbarName");
  EXPECT_EQ(invokeError(kMethod, {handle_}), "(no error)");  // the name: a golden script
  ZLScopedHvArray text(hvCreateString("IntroDev"));
  EXPECT_EQ(invokeError(kMethod, {text}).rfind("PULVRA:method:", 0), 0u);
}

TEST_F(ToolbarNameMethodTest, MethodWithoutAClassAnswersAnEmptyName) {
  InspectorToolbarNameMI method;
  const QxMethodSignature* signature = method.getMethodSignature(0);
  int n = -1;
  void* out[1] = {nullptr};
  void* args[1] = {object_};
  method.invokeMethod(signature, &n, out, 1, args);  // belongs to no class yet
  ASSERT_EQ(n, 1);
  EXPECT_STREQ(static_cast<const char*>(out[0]), "");
  signature->getReturnType(0)->destroy(out[0]);
}

}  // namespace
}  // namespace zelobjsys
