// Tests of "prophelp" called through the host: the summary line of every constraint, lookups,
// errors.
#include "zelobjsys/prop_help_mi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "introspection/introspection_fixture.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/services.h"
#include "zelobjsys/instance_prop_info.h"

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

  // The help text for a name, asked on the object; "(none)" for no value.
  std::string help(const char* name) {
    ZLScopedHvArray n(hvCreateString(name));
    ZLScopedHvArray text(invoke("prophelp", {handle_, n}));
    if (text.get() == nullptr) return "(none)";
    EXPECT_TRUE(hvIsChar(text));
    return zelhox::fcns::getString(text);
  }
};

TEST_F(PropHelpMITest, SummaryLineFollowsTheConstraint) {
  struct Case {
    const char* asked;
    std::string text;
  } cases[] = {
      {"Voltage", "    VOLTAGE  [0  10]  (Read-only: never)\n\n    Output voltage in volts.\n"},
      {"volt", "    VOLTAGE  [0  10]  (Read-only: never)\n\n    Output voltage in volts.\n"},
      {"TimerPeriod", "    TIMERPERIOD  [0.001  2147483647]  (Read-only: never)\n\n"},
      {"timeout", "    TIMEOUT  [0  Inf]  (Read-only: never)\n\n"},
      {"Mode", "    MODE  [ auto | {Manual} | off ]  (Read-only: never)\n\n"},
      {"TimerFcn",
       "    TIMERFCN  string -or- function handle -or- cell array  (Read-only: never)\n\n"},
      {"Beta", "    BETA  double  (Read-only: never)\n\n"},
      {"alpha", "    ALPHA  string  (Read-only: never)\n\n"},
      {"UserData", "    USERDATA  any  (Read-only: never)\n\n"},
      {"Type", "    TYPE  string  (Read-only: always)\n\n"},
      {"Status", "    STATUS  string  (Read-only: whileRunning)\n\n"},
      {"Secret", "(none)"},
      {"Nope", "(none)"},
      {"", "(none)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    EXPECT_EQ(help(c.asked), c.text);
  }
}

TEST_F(PropHelpMITest, CallbackConstraintWinsOverTheType) {
  void* hook = factory_.createStringProperty("HookFcn", "");
  PropInfo* record = factory_.recordOf(hook);
  PropInfoTestPeer::setPIConstraint(*record, kPIConstraintCallback);
  factory_.addPropHelpLine(hook, "Runs when the hook fires, for a long while, on every device.");
  factory_.addProperty(hook, false);
  EXPECT_EQ(help("HookFcn"),
            "    HOOKFCN  string -or- function handle -or- cell array  (Read-only: never)\n\n"
            "    Runs when the hook fires, for a long while, on every device.\n");
}

TEST_F(PropHelpMITest, NameAloneLooksInTheMethodsClass) {
  ZLScopedHvArray name(hvCreateString("MO"));
  ZLScopedHvArray text(invoke("prophelp", {name}));
  ASSERT_NE(text.get(), nullptr);
  EXPECT_EQ(zelhox::fcns::getString(text),
            "    MODE  [ auto | {Manual} | off ]  (Read-only: never)\n\n");
  ZLScopedHvArray secret(hvCreateString("Secret"));
  EXPECT_EQ(invoke("prophelp", {secret}), nullptr);
}

TEST_F(PropHelpMITest, AmbiguousNamesRaiseAnError) {
  ZLScopedHvArray t(hvCreateString("T"));
  const std::string expected = "vornix:prophelp:ambiguousProp|Ambiguous property: 'T'.";
  EXPECT_EQ(invokeError("prophelp", {handle_, t}), expected);
  EXPECT_EQ(invokeError("prophelp", {t}), expected);
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

TEST_F(PropHelpMITest, EnumerationWithoutValuesShowsEmptyBrackets) {
  InstancePropInfo* range = factory_.addInstanceEnum(object_, "Range", {"low", "high"});
  EXPECT_EQ(help("Range"), "    RANGE  [ {low} | high ]  (Read-only: never)\n\n");
  range->removeEnumValue("low");
  EXPECT_EQ(help("Range"), "    RANGE  [ {high} ]  (Read-only: never)\n\n");
  range->clearEnumValues();
  EXPECT_EQ(help("Range"), "    RANGE  [ ]  (Read-only: never)\n\n");
}

}  // namespace
}  // namespace zelobjsys
