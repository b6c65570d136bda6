// The bundled simdev plugin for fuzz targets that drive it.
#ifndef ZEL_FUZZ_SIMDEV_H
#define ZEL_FUZZ_SIMDEV_H

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "interpreter.h"
#include "shell.h"
#include "zelhost/product_plugin.h"
#include "zelhost/qx_application.h"
#include "zelhost/services.h"

namespace zelfuzz {

// Never closed: the fuzzer keeps pointers into every instrumented module's coverage tables.
inline const ZelProductPlugin& simdev() {
  static const ZelProductPlugin* plugin = [] {
    void* handle = dlopen(zelsh::defaultProductPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    auto entry = handle != nullptr
                     ? reinterpret_cast<ZelProductEntry>(dlsym(handle, kZelProductEntryName))
                     : nullptr;
    if (entry == nullptr || entry() == nullptr) {
      std::fprintf(stderr, "fuzz: cannot load simdev: %s\n", dlerror());
      std::abort();
    }
    return entry();
  }();
  return *plugin;
}

// One input's life with simdev loaded, as the shell runs a script; at the end the product's objects
// and timers go and the registry is shut down, so that the next input sees nothing of this one.
class SimdevSession {
 public:
  explicit SimdevSession(zelsh::Interpreter& interpreter)
      : previous_(hoxSetCallbackEvaluator(&interpreter)) {
    auto quiet = [](const std::string&, const std::string&) {};
    hoxSetWarningSink(quiet);
    hoxSetErrorSink(quiet);
    simdev().load();
  }
  ~SimdevSession() {
    simdev().unload();
    QxApplicationManager::shutdown();
    hoxSetCallbackEvaluator(previous_);
    hoxSetWarningSink(nullptr);
    hoxSetErrorSink(nullptr);
  }
  SimdevSession(const SimdevSession&) = delete;
  SimdevSession& operator=(const SimdevSession&) = delete;

 private:
  HCallbackEvaluator* previous_;
};

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
