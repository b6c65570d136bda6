// zelsh sessions with the bundled simdev plugin, for fuzz targets that drive it.
#ifndef ZEL_FUZZ_SIMDEV_H
#define ZEL_FUZZ_SIMDEV_H

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "interpreter.h"
#include "shell.h"
#include "zelhost/objects/product_plugin.h"
#include "zelhost/objects/qx_application.h"
#include "zelhost/services/services.h"

namespace zelfuzz {

// One input's session, as zelsh runs a script with simdev loaded. Its end unloads the product and
// shuts the registry down, so that the next input sees nothing of this one; the plugin stays
// mapped, as the fuzzer keeps pointers into every instrumented module's coverage tables.
inline std::unique_ptr<zelsh::Shell> simdevShell(std::ostream& out) {
  auto shell = std::make_unique<zelsh::Shell>(zelsh::ShellOptions{}, out);
  if (!hoxIsFunction("devclass")) {
    std::fprintf(stderr, "fuzz: cannot load simdev from %s\n", zelsh::defaultProductPath().c_str());
    std::abort();
  }
  shell->interpreter().setPauseLimit(0.002);
  return shell;
}

// Calls a function as a script would and gives null on an error the user would see; an error the
// shell can only call internal is a finding.
struct Caller {
  zelsh::Interpreter& shell;
  zelsh::Value operator()(const std::string& name, std::vector<const hvArray*> args) const {
    try {
      return shell.call(name, args);
    } catch (...) {
      const zelsh::ShellError e = zelsh::currentError();
      if (e.id == "zelsh:internal") {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), e.message.c_str());
        std::abort();
      }
      return nullptr;
    }
  }
};

}  // namespace zelfuzz

#endif  // ZEL_FUZZ_SIMDEV_H
