// The bundled simdev plugin for fuzz targets that drive it.
#ifndef ZEL_FUZZ_SIMDEV_H
#define ZEL_FUZZ_SIMDEV_H

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "interpreter.h"
#include "shell.h"
#include "zelhost/objects/product_plugin.h"
#include "zelhost/objects/qx_application.h"
#include "zelhost/services/services.h"

namespace zelfuzz {

// Opened once and never closed: the fuzzer keeps pointers into every
// instrumented module's coverage tables for the whole run.
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

// One input's life with simdev loaded, as the shell runs a script: the
// interpreter evaluates callbacks, warnings and errors are dropped, and at the
// end the product's objects and timers go and the host's registry is shut
// down, so that nothing one input defined is seen by the next.
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

}  // namespace zelfuzz

#endif  // ZEL_FUZZ_SIMDEV_H
