// The bundled simdev plugin for fuzz targets that drive it.
#ifndef ZEL_FUZZ_SIMDEV_H
#define ZEL_FUZZ_SIMDEV_H

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include "shell.h"
#include "zelhost/product_plugin.h"

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

}  // namespace zelfuzz

#endif  // ZEL_FUZZ_SIMDEV_H
