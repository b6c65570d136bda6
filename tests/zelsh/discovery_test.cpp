// Tests of completion and error hints against a session with a real simdev device.
#include "completion.h"
#include "help.h"
#include "hints.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "shell.h"

namespace zelsh {
namespace {

class ZelshDiscovery : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sessionOut.str("");
    session = std::make_unique<Shell>(ShellOptions{}, sessionOut);
    session->interpreter().run(
        "devclass('scope', 'scope.xml', 'Scope', 'DSO1000');\n"
        "s = device('scope');\n"
        "addsetting(s, 'Mode', 'fast'); addsetting(s, 'Mode', 'slow');\n"
        "st.alpha = 1; st.beta = 2; n = 5;\n"
        "function myfunc(a)\nend\n",
        true);
    setUpOutput = sessionOut.str();
  }
  static void TearDownTestSuite() { session.reset(); }

  static std::ostringstream sessionOut;
  static std::string setUpOutput;
  static std::unique_ptr<Shell> session;
};
std::string ZelshDiscovery::setUpOutput;
std::ostringstream ZelshDiscovery::sessionOut;
std::unique_ptr<Shell> ZelshDiscovery::session;

std::string joined(const std::vector<std::string>& words) {
  std::string s;
  for (const std::string& w : words) s += (s.empty() ? "" : " ") + w;
  return s;
}

TEST_F(ZelshDiscovery, OffersWhatTheSessionKnowsAtTheCursor) {
  ASSERT_EQ(setUpOutput, "");  // the session was set up without errors
  const std::string data = std::string(ZEL_SOURCE_DIR) + "/examples/simdev/";
  struct Row {
    std::string line;
    std::string typed;  // the word completion replaces
    std::string candidates;
  } rows[] = {
      {"dev", "dev", "devclass device"},  // product functions
      {"x = nu", "nu", "num2str numel"},  // built-ins
      {"my", "my", "myfunc"},             // user functions
      {"disp(s", "s", "s set st start stop"},
      {"s.trigger", "trigger", "TriggerCount TriggerDelay TriggerLevel TriggerMode TriggerSource"},
      {"x = s.mo", "mo", "Mode"},  // an instance property
      {"st.a", "a", "alpha"},      // a structure's fields
      {"s.TriggerMode = '", "", "auto normal single"},
      {"s.triggerm = 'S", "S", "single"},  // an abbreviated property, any case
      {"set(s, 'Mode', '", "", "fast slow"},
      {"set(s, 'coupling', 'a", "a", "AC"},
      {"set(s, 'Co", "Co", "Coupling"},
      {"get(s, 'timer", "timer", "TimerFcn TimerPeriod"},
      {"propinfo(s,'tim", "tim", "Timeout TimerFcn TimerPeriod"},
      {"findprop(s, 'mo", "mo", "Mode"},
      {"x = get(s, 'Gain'); prophelp(s, 'gai", "gai", "Gain"},
      {"devclass('x', '" + data + "sc", data + "sc", data + "scope.xml"},
      {"devclass('x', '" + data + "../sim", data + "../sim", data + "../simdev/"},
      {"set(s, \"coupling\", \"a", "a", "AC"},
      {"x = 'it''s'; s.Gai", "Gai", "Gain"},  // a doubled quote does not end the text
      {"x = tr", "tr", "true"},
      // nothing: not an object, not an enumeration, a plain string, a comment, a number
      {"get(n, '", "", ""},
      {"s.Name = '", "", ""},
      {"disp('s.Trig", "s.Trig", ""},
      {"x = 1 # s.Tr", "", ""},
      {"x = 1e", "", ""},
      {"q.", "", ""},
      {"s.TriggerMode == '", "", ""},
      {"TriggerMode = '", "", ""},
      {"get('", "", ""},
      {"disp(s, '", "", ""},
      {"get(s, 'Mode', '", "", ""},
      {"x = s.Name.a", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Completion c = complete(session->interpreter(), row.line, row.line.size());
    EXPECT_EQ(joined(c.candidates), row.candidates);
    if (!row.candidates.empty()) {
      EXPECT_EQ(row.line.substr(c.start), row.typed);
    }
  }
  // The cursor, not the end of the line, decides.
  Completion mid = complete(session->interpreter(), "s.Gai = 1", 5);
  EXPECT_EQ(joined(mid.candidates), "Gain");
}

TEST(ZelshCompletionPrefix, CommonPrefixKeepsTheFirstSpelling) {
  EXPECT_EQ(commonPrefix({"TriggerCount", "TriggerDelay"}, false), "Trigger");
  EXPECT_EQ(commonPrefix({"Timeout", "timerfcn"}, false), "");
  EXPECT_EQ(commonPrefix({"Timeout", "timerfcn"}, true), "Time");
  EXPECT_EQ(commonPrefix({}, true), "");
}

TEST_F(ZelshDiscovery, HintsNameTheClosePropertyOrTheAllowedValues) {
  QxInterface* s = hvGetObjectHandle(session->interpreter().variable("s"));
  struct Row {
    std::string name, errorId, hint;
  } rows[] = {
      {"TrigerMode", "vornix:getset:invalidProperty", "Did you mean 'TriggerMode'?"},
      {"gian", "x:invalidProperty", "Did you mean 'Gain'?"},
      {"Triggerx", "x:invalidProperty", ""},                    // several are as close
      {"Voltage", "x:invalidProperty", ""},                     // nothing is close
      {"Gainxx", "x:invalidProperty", "Did you mean 'Gain'?"},  // a third of the letters wrong
      {"Gainxxx", "x:invalidProperty", ""},
      {"Tg", "x:invalidProperty", "Did you mean 'Tag'?"},  // one letter wrong at least
      {"TriggerMode", "vornix:set:invalidEnum", "Allowed values: 'normal', 'auto', 'single'."},
      {"mode", "x:invalidEnumValue", "Allowed values: 'fast', 'slow'."},  // instance property
      {"Gain", "x:invalidEnum", ""},                                      // not enumerated
      {"TriggerMode", "vornix:set:negativeDbl", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name + " " + row.errorId);
    EXPECT_EQ(propertyHint(s, row.name, row.errorId), row.hint);
  }
  EXPECT_EQ(editDistance("TimerFcn", "timerfnc"), 1u);
  EXPECT_EQ(editDistance("Gain", "Gn"), 2u);
  EXPECT_EQ(editDistance("", "abc"), 3u);
}

// The simdev functions' help is in a golden script.
TEST_F(ZelshDiscovery, EveryBuiltinHasHelp) {
  for (const std::string& name : session->interpreter().builtinNames()) {
    SCOPED_TRACE(name);
    std::string usage, description;
    EXPECT_TRUE(builtinHelp(name, &usage, &description));
    EXPECT_EQ(usage.rfind(name, 0), 0u);
  }
}

}  // namespace
}  // namespace zelsh
