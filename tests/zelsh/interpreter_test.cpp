// Tests of the zelsh interpreter: product functions, escaped errors, plugin versions, statements
// left open (nesting limits: nesting_limits.zel); completion and error hints against a session
// with a real simdev device.
#include "interpreter.h"
#include "completion.h"
#include "hints.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "shell.h"
#include "zelhost/objects/qx_application.h"
#include "zelhost/services/services.h"
#include "zelhost/services/zelhox.h"
#include "zelobjsys/xml_prop_reader.h"

namespace zelsh {
namespace {

class ZelshInterpreter : public ::testing::Test {
 protected:
  void TearDown() override {
    hoxUnregisterFunction("productfn");
    QxApplicationManager::shutdown();
  }
  std::string run(const std::string& text) {
    out_.str("");
    in_.run(text, false);
    return out_.str();
  }

  std::ostringstream out_;
  Interpreter in_{out_};
};

// An error without an identifier gets the shell's: hostile_input.zel.
TEST_F(ZelshInterpreter, ProductFunctionsComeAfterBuiltins) {
  hoxRegisterFunction("productfn", [](int, hvArray* out[], int, hvArray*[]) {
    out[0] = hvCreateString("from the product");
  });
  hoxRegisterFunction("disp", [](int, hvArray*[], int, hvArray*[]) {});  // shadowed by the built-in
  EXPECT_EQ(run("productfn()\ndisp('builtin')\n"), "'from the product'\nbuiltin\n");
  hoxUnregisterFunction("disp");
}

TEST(ZelshParser, IncompleteFunctionsAskForMoreLines) {
  EXPECT_TRUE(Interpreter::isIncomplete("function f(x)\n  disp(x)\n"));
  EXPECT_FALSE(Interpreter::isIncomplete("function f(x)\n  disp(x)\nend\n"));
  EXPECT_FALSE(Interpreter::isIncomplete("x = [1 2\n"));
}

TEST(ZelshErrors, EscapedExceptionsKeepTheirIdentifierAndMessage) {
  struct Opaque {};
  const struct {
    const char* what;
    std::function<void()> raise;
    const char* idAndMessage;
  } cases[] = {
      {"library", [] { zelobjsys::XMLPropReader r(std::string("<a>"), "f.xml"); },
       "vornix:xml:notWellFormed|Cannot parse f.xml, line 1, column 4: "},
      {"standard", [] { throw std::runtime_error("boom"); }, "zelsh:internal|boom"},
      {"unknown", [] { throw Opaque(); }, "zelsh:internal|An exception of type '"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ShellError e;
    try {
      c.raise();
    } catch (...) {
      e = currentError();
    }
    std::string got = e.id + "|" + e.message;
    EXPECT_EQ(got.rfind(c.idAndMessage, 0), 0u) << got;
  }
}

// Any minor of the host's major loads (the host's own and a later major: golden scripts), and so
// do plugins from before versions were packed while the major is 0.
TEST(ZelshPlugins, OnlyPluginsOfTheHostsMajorVersionLoad) {
  const int major = zelVersionMajor(kZelProductAbiVersion);
  EXPECT_EQ(pluginVersionProblem("p.so", zelPackVersion(major, 99, 99)), "");
  EXPECT_EQ(pluginVersionProblem("p.so", 1).empty(), major == 0);
}

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
    std::string line, typed, candidates;  // typed: the word completion replaces
  } rows[] = {
      {"dev", "dev", "devclass device"},  // product functions; terminal_test.py has the rest
      {"x = nu", "nu", "num2str numel"},  // built-ins
      {"my", "my", "myfunc"},             // user functions
      {"disp(s", "s", "s set st start stop"},
      {"x = s.mo", "mo", "Mode"},          // an instance property
      {"st.a", "a", "alpha"},              // a structure's fields
      {"s.triggerm = 'S", "S", "single"},  // an abbreviated property, any case
      {"set(s, 'Mode', '", "", "fast slow"},
      {"set(s, 'coupling', 'a", "a", "AC"},
      {"set(s, 'Co", "Co", "Coupling"},
      {"propinfo(s,'tim", "tim", "Timeout TimerFcn TimerPeriod"},
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
    EXPECT_EQ(row.candidates.empty() ? row.typed : row.line.substr(c.start), row.typed);
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
      {"gian", "x:invalidProperty", "Did you mean 'Gain'?"},
      {"Triggerx", "x:invalidProperty", ""},                    // several are as close
      {"Voltage", "x:invalidProperty", ""},                     // nothing is close
      {"Gainxx", "x:invalidProperty", "Did you mean 'Gain'?"},  // a third of the letters wrong
      {"Gainxxx", "x:invalidProperty", ""},
      {"Tg", "x:invalidProperty", "Did you mean 'Tag'?"},  // one letter wrong at least
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

}  // namespace
}  // namespace zelsh
