// Feeds arbitrary text to zelsh with the simdev product loaded: the parser, the evaluator, objects,
// sets, callbacks, events and timers. Nothing may crash, hang or leak.
#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "interpreter.h"
#include "shell.h"
#include "zelhost/product_plugin.h"
#include "zelhost/qx_application.h"
#include "zelhost/services.h"

namespace {

// The plugin is opened once and never closed: the fuzzer keeps pointers into
// every instrumented module's coverage tables for the whole run.
const ZelProductPlugin& simdev() {
  static const ZelProductPlugin* plugin = [] {
    void* handle = dlopen(zelsh::defaultProductPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    auto entry = handle != nullptr
                     ? reinterpret_cast<ZelProductEntry>(dlsym(handle, kZelProductEntryName))
                     : nullptr;
    if (entry == nullptr || entry() == nullptr) {
      std::fprintf(stderr, "zelsh_fuzz: cannot load simdev: %s\n", dlerror());
      std::abort();
    }
    return entry();
  }();
  return *plugin;
}

// One script's life, as the shell runs a script file: the product is loaded,
// the text runs, pending events run, the product's objects and timers go and
// the host's registry is shut down, so that nothing one input defined is seen
// by the next.
void runScript(const std::string& text) {
  std::ostringstream out;
  zelsh::Interpreter interpreter(out);
  interpreter.setPauseLimit(0.002);
  HCallbackEvaluator* previous = hoxSetCallbackEvaluator(&interpreter);
  auto quiet = [](const std::string&, const std::string&) {};
  hoxSetWarningSink(quiet);
  hoxSetErrorSink(quiet);
  // An exception out of the interpreter escapes the target: a finding.
  simdev().load();
  interpreter.run(text, false);
  interpreter.processEvents();
  simdev().unload();
  QxApplicationManager::shutdown();
  hoxSetCallbackEvaluator(previous);
  hoxSetWarningSink(nullptr);
  hoxSetErrorSink(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  runScript(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
