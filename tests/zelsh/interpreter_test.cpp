// Tests of the zelsh interpreter: product functions, escaped errors, plugin versions.
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

TEST_F(ZelshInterpreter, ProductFunctionsComeAfterBuiltinsAndTheirErrorsGetAnIdentifier) {
  hoxRegisterFunction("productfn", [](int, hvArray* out[], int, hvArray*[]) {
    out[0] = hvCreateString("from the product");
  });
  hoxRegisterFunction("disp", [](int, hvArray*[], int, hvArray*[]) {});  // shadowed by the built-in
  EXPECT_EQ(run("productfn()\ndisp('builtin')\n"), "'from the product'\nbuiltin\n");
  hoxUnregisterFunction("disp");
  // A product's error without an identifier gets the shell's.
  hoxRegisterFunction("productfn", [](int, hvArray*[], int, hvArray*[]) {
    throw new ErrorIdException("", "from the product");
  });
  EXPECT_EQ(run("productfn()"), "Error (zelsh:error): from the product\n");
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
      {zelPackVersion(major, 99, 99), true},  // the host's own and the next major: golden scripts
      {zelPackVersion(major + 7, 1, 2), false},
      {1, major == 0},  // plugins from before versions were packed
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.plugin);
    std::string problem = pluginVersionProblem("p.so", c.plugin);
    EXPECT_EQ(problem.empty(), c.loads) << problem;
  }
}

}  // namespace
}  // namespace zelsh
