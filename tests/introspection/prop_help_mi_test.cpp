// Tests of "prophelp" called through the host: lookups without an object, the bounds' number
// formatting. Lookups on objects and every constraint's summary line are in the shell scripts.
#include "zelobjsys/prop_help_mi.h"

#include <gtest/gtest.h>

#include <string>

#include "introspection/introspection_fixture.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/services.h"

namespace zelobjsys {
namespace {

class PropHelpMITest : public IntrospectionTest {
 protected:
  void TearDown() override {
    // Put the host's own number formatting back for the tests that follow.
    hoxRegisterFunction("num2str", [](int, hvArray* out[], int, hvArray* in[]) {
      out[0] = hvCreateString(hoxNum2Str(hvGetScalar(in[0])).c_str());
    });
    IntrospectionTest::TearDown();
  }

  // The help text for a name, asked on the object or on the name alone; "(none)" for no value.
  std::string help(const char* name, bool alone = false) {
    ZLScopedHvArray n(hvCreateString(name));
    ZLScopedHvArray text(alone ? invoke("prophelp", {n}) : invoke("prophelp", {handle_, n}));
    if (text.get() == nullptr) return "(none)";
    EXPECT_TRUE(hvIsChar(text));
    return zelhox::fcns::getString(text);
  }
};

// Lookups on an object are in the shell tests; without one only C++ asks.
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

}  // namespace
}  // namespace zelobjsys
