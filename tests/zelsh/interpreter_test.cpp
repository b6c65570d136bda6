// Tests of the zelsh interpreter: dispatch order, scoping, callbacks run for the host.
#include "interpreter.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <stdexcept>

#include "shell.h"
#include "zelhost/objects/qx_application.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/services.h"
#include "zelhost/services/zelhox.h"
#include "zelobjsys/xml_prop_reader.h"

namespace zelsh {
namespace {

class ZelshInterpreter : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = hoxSetCallbackEvaluator(&in_);
    hoxSetErrorSink(
        [this](const std::string& id, const std::string& m) { in_.reportError(id, m); });
    hoxSetWarningSink([this](const std::string& id, const std::string& m) {
      out_ << "Warning (" << id << "): " << m << "\n";
    });
  }
  void TearDown() override {
    hoxSetCallbackEvaluator(previous_);
    hoxSetErrorSink(nullptr);
    hoxSetWarningSink(nullptr);
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
  HCallbackEvaluator* previous_ = nullptr;
};

TEST_F(ZelshInterpreter, CallsPreferUserFunctionsThenBuiltinsThenProducts) {
  hoxRegisterFunction("productfn", [](int, hvArray* out[], int, hvArray*[]) {
    out[0] = hvCreateString("from the product");
  });
  hoxRegisterFunction("disp", [](int, hvArray*[], int, hvArray*[]) {});  // shadowed by the built-in
  EXPECT_EQ(run("productfn()\ndisp('builtin')\n"), "'from the product'\nbuiltin\n");
  EXPECT_EQ(run("function disp(x)\n  num2str(1)\nend\ndisp('user')\n"), "'1'\n");
  hoxUnregisterFunction("disp");
}

TEST_F(ZelshInterpreter, FunctionsSeeOnlyTheirParameters) {
  EXPECT_EQ(run("v = 1;\nfunction f(a)\n  a\n  v\nend\nf(2)\n"),
            "2\nError (zelsh:undefined): Undefined function or variable 'v'.\n");
  EXPECT_EQ(run("f(1, 2)\n"),
            "Error (zelsh:tooManyArguments): Too many arguments for function 'f'.\n");
}

TEST_F(ZelshInterpreter, StringCallbacksRunAtTheTopLevelAndFailuresAreReported) {
  run("count = 0;\n");
  ZLScopedHvArray text(hvCreateString("count = count + 1;"));
  HCallback* cb = new HCallback(text);
  ZLScopedHvArray obj(hvCreateDoubleScalar(0));
  ZLScopedHvArray event(hvCreateStructMatrix(1, 1, 0, nullptr));
  EXPECT_FALSE(cb->run(obj, event));
  EXPECT_FALSE(cb->run(obj, event));
  cb->release(1);
  EXPECT_EQ(run("count\n"), "2\n");

  ZLScopedHvArray bad(hvCreateString("error('cb:failed', 'It failed.')"));
  HCallback* failing = new HCallback(bad);
  out_.str("");
  EXPECT_TRUE(failing->run(obj, event));
  failing->release(1);
  EXPECT_EQ(out_.str(), "Error (cb:failed): It failed.\n");
}

TEST_F(ZelshInterpreter, FunctionHandleCallbacksGetObjectEventAndExtraArguments) {
  run("function cb(obj, event, a, b)\n  disp(obj); disp(event.Type); disp(a); disp(b)\nend\n");
  ZLScopedHvArray form(hvCreateCellMatrix(1, 3));
  hvArray* handle = hvCreateNumericMatrix(1, 1, hvFUNCTION_CLASS);
  hvFunctionHandleFromString(handle, "cb");
  hvSetCell(form, 0, handle);
  hvSetCell(form, 1, hvCreateString("first"));
  hvSetCell(form, 2, hvCreateDoubleScalar(2));
  HCallback* cb = new HCallback(form);
  ZLScopedHvArray obj(hvCreateDoubleScalar(7));
  const char* names[] = {"Type"};
  ZLScopedHvArray event(hvCreateStructMatrix(1, 1, 1, names));
  hvSetField(event, 0, "Type", hvCreateString("Timer"));
  out_.str("");
  EXPECT_FALSE(cb->run(obj, event));
  cb->release(1);
  EXPECT_EQ(out_.str(), "7\nTimer\nfirst\n2\n");
}

TEST_F(ZelshInterpreter, ErrorsAndWarningsWithoutAnIdentifierGetTheShellsDefault) {
  hoxRegisterFunction("productfn", [](int, hvArray*[], int, hvArray*[]) {
    throw new ErrorIdException("", "from the product");
  });
  const struct {
    const char* statements;
    const char* shown;
  } cases[] = {
      {"error('', 'bare')", "Error (zelsh:error): bare\n"},
      {"error('bare')", "Error (zelsh:error): bare\n"},
      {"warning('', 'careful')", "Warning (zelsh:warning): careful\n"},
      {"warning('careful')", "Warning (zelsh:warning): careful\n"},
      {"productfn()", "Error (zelsh:error): from the product\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.statements);
    EXPECT_EQ(run(c.statements), c.shown);
  }
  // A callback's failure goes through the host and back through its sink.
  run("function cb(o, e)\n  error('', 'in a callback')\nend\n");
  ZLScopedHvArray form(hvCreateCellMatrix(1, 1));
  hvSetCell(form, 0, hvCreateString("cb"));
  HCallback* cb = new HCallback(form);
  ZLScopedHvArray none(hvCreateDoubleMatrix(0, 0));
  out_.str("");
  EXPECT_TRUE(cb->run(none, none));
  cb->release(1);
  EXPECT_EQ(out_.str(), "Error (zelsh:error): in a callback\n");
}

TEST_F(ZelshInterpreter, AssignmentsToStructuresAreValuesAndFailuresLeaveVariables) {
  EXPECT_EQ(run("a.x = 1;\nb = a;\nb.x = 2;\na.x\nb.x\n"), "1\n2\n");
  EXPECT_EQ(run("n = 5;\nn.f = 1\nn\n"),
            "Error (zelsh:fieldAssign): Cannot set field 'f' of a value of class double.\n5\n");
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

TEST(ZelshPlugins, OnlyPluginsOfTheHostsMajorVersionLoad) {
  const int host = kZelProductAbiVersion;
  const int major = zelVersionMajor(host);
  const struct {
    int plugin;
    bool loads;
  } cases[] = {
      {host, true},
      {zelPackVersion(major, 99, 99), true},
      {zelPackVersion(major + 1, 0, 0), false},
      {zelPackVersion(major + 7, 1, 2), false},
      {1, major == 0},  // plugins from before versions were packed
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.plugin);
    std::string problem = pluginVersionProblem("p.so", c.plugin);
    EXPECT_EQ(problem.empty(), c.loads) << problem;
  }
  EXPECT_EQ(pluginVersionProblem("p.so", zelPackVersion(major + 7, 1, 2)),
            "Cannot load product 'p.so': it was built against version " +
                std::to_string(major + 7) + ".1.2, this host is version " + ZELHOST_VERSION_STRING +
                "; rebuild the product against this version.");
}

}  // namespace
}  // namespace zelsh
