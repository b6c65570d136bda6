// Tests of "propinfo" called through the host: the three call forms, the structures, hidden fields,
// errors.
#include "zelobjsys/prop_info_mi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/hv_values.h"
#include "introspection/introspection_fixture.h"

namespace zelobjsys {
namespace {

using PropInfoMITest = IntrospectionTest;

std::vector<std::string> fieldNames(const hvArray* s) {
  std::vector<std::string> names;
  for (int k = 0; k < hvGetNumberOfFields(s); ++k) names.push_back(hvGetFieldNameByNumber(s, k));
  return names;
}

std::string text(const hvArray* s, const char* field) {
  return zelhox::fcns::getString(hvGetField(s, 0, field));
}

const std::vector<std::string> kAllFields = {"Type",         "Constraint", "ConstraintValue",
                                             "DefaultValue", "ReadOnly",   "DeviceSpecific"};

TEST_F(PropInfoMITest, NoArgumentDescribesVisiblePropertiesInCaselessOrder) {
  addInstanceEnum("Cal", {"lo", "hi"});
  ZLScopedHvArray all(invoke("propinfo", {handle_}));
  ASSERT_TRUE(hvIsStruct(all));
  EXPECT_EQ(hvGetNumberOfElements(all), 1u);
  EXPECT_EQ(fieldNames(all), (std::vector<std::string>{
                                 "alpha", "Beta", "Cal", "Mode", "Name", "Status", "Tag", "Timeout",
                                 "TimerFcn", "TimerPeriod", "Type", "UserData", "Voltage"}));
  for (int k = 0; k < hvGetNumberOfFields(all); ++k) {
    SCOPED_TRACE(hvGetFieldNameByNumber(all, k));
    EXPECT_EQ(fieldNames(hvGetFieldByNumber(all, 0, k)), kAllFields);
  }
  EXPECT_EQ(text(hvGetField(all, 0, "Cal"), "DefaultValue"), "lo");
}

TEST_F(PropInfoMITest, OneNameGivesThatPropertysStructure) {
  struct Case {
    const char* asked;
    const char* type;
    const char* constraint;
    const char* readOnly;
    bool deviceSpecific;
  } cases[] = {
      // The other kinds are in the shell scripts.
      {"volt", "double", "bounded", "never", true},
      {"timerf", "callback", "callback", "never", false},
      {"Status", "string", "none", "whileRunning", false},
      {"Secret", "string", "none", "never", false},  // invisible, but named
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    ZLScopedHvArray info(invoke("propinfo", {handle_, ZLScopedHvArray(hvCreateString(c.asked))}));
    ASSERT_TRUE(hvIsStruct(info));
    EXPECT_EQ(fieldNames(info), kAllFields);
    EXPECT_EQ(text(info, "Type"), c.type);
    EXPECT_EQ(text(info, "Constraint"), c.constraint);
    EXPECT_EQ(text(info, "ReadOnly"), c.readOnly);
    const hvArray* specific = hvGetField(info, 0, "DeviceSpecific");
    EXPECT_TRUE(hvIsLogical(specific) && hvIsScalar(specific));
    EXPECT_EQ(hvGetScalar(specific) != 0, c.deviceSpecific);
  }
}

TEST_F(PropInfoMITest, ValuesAreCopiesAndDefaultsPassThroughTheType) {
  ZLScopedHvArray voltage(
      invoke("propinfo", {handle_, ZLScopedHvArray(hvCreateString("Voltage"))}));
  const hvArray* bounds = hvGetField(voltage, 0, "ConstraintValue");
  EXPECT_EQ(hvtest::doubles(bounds), (std::vector<double>{0, 10}));
  EXPECT_NE(bounds, testproduct::recordOf(schema_, "Voltage")->getPIConstraintValue());
  EXPECT_EQ(hvGetScalar(hvGetField(voltage, 0, "DefaultValue")), 5);

  // The default was given as "manual"; the type gives it back as it lists it.
  ZLScopedHvArray mode(invoke("propinfo", {handle_, ZLScopedHvArray(hvCreateString("Mode"))}));
  const PropInfo* modeRecord = testproduct::recordOf(schema_, "Mode");
  EXPECT_EQ(zelhox::fcns::getString(modeRecord->getPIDefaultValue()), "manual");
  EXPECT_EQ(text(mode, "DefaultValue"), "Manual");
  EXPECT_EQ(hvtest::texts(hvGetField(mode, 0, "ConstraintValue")),
            (std::vector<std::string>{"auto", "Manual", "off"}));
}

// The other bad arguments, cell shapes, hidden fields for one class and
// cleared enumerations are in the shell scripts.
TEST_F(PropInfoMITest, OddArgumentsAndHiddenFields) {
  struct Case {
    const char* label;
    hvArray* argument;
    std::string error;
  } cases[] = {
      {"structure", hvCreateStructMatrix(1, 1, 0, nullptr),
       "vornix:propinfo:stringCellProp|PROPERTY must be a string or a 1xN cell array of strings."},
      {"name with format characters", hvCreateString("%s%n"),
       "vornix:propinfo:invalidProp|Invalid property: '%s%n'."},
      {"empty cell", hvCreateCellMatrix(0, 0), "(no error)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ZLScopedHvArray argument(c.argument);
    EXPECT_EQ(invokeError("propinfo", {handle_, argument}), c.error);
  }
  EXPECT_EQ(invoke("propinfo", {handle_, ZLScopedHvArray(hvCreateCellMatrix(0, 0))}), nullptr);

  PropInfoManager::getInstance()->hideField(testproduct::kProductName, "IntroDev",
                                            "ConstraintValue");
  ZLScopedHvArray one(invoke("propinfo", {handle_, ZLScopedHvArray(hvCreateString("Voltage"))}));
  EXPECT_EQ(fieldNames(one), (std::vector<std::string>{"Type", "Constraint", "DefaultValue",
                                                       "ReadOnly", "DeviceSpecific"}));
  ZLScopedHvArray all(invoke("propinfo", {handle_}));
  EXPECT_EQ(fieldNames(hvGetField(all, 0, "Mode")).size(), 5u);
}

TEST_F(PropInfoMITest, MissingOrDeletedObjectIsRefused) {
  object_->destroy(QxDatabaseClient::getInternalClient());
  // The host itself refuses a handle of a deleted object ...
  EXPECT_NE(invokeError("propinfo", {handle_}), "(no error)");
  // ... and the method refuses one that reaches it some other way.
  PropInfoMI method;
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

}  // namespace
}  // namespace zelobjsys
