// Feeds arbitrary text to zelsh with the simdev product loaded: the parser, the evaluator, objects,
// sets, callbacks, events and timers. Nothing may crash, hang or leak.
#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "fuzz_simdev.h"
#include "interpreter.h"
#include "shell.h"
#include "zelhost/objects/product_plugin.h"
#include "zelhost/objects/qx_application.h"
#include "zelhost/services/services.h"

namespace {

// One script's life, as the shell runs a script file: the product is loaded,
// the text runs, pending events run, the product's objects and timers go and
// the host's registry is shut down, so that nothing one input defined is seen
// by the next.
void runScript(const std::string& text) {
  std::ostringstream out;
  zelsh::Interpreter interpreter(out);
  interpreter.setPauseLimit(0.002);
  zelfuzz::SimdevSession session(interpreter);
  // An exception out of the interpreter escapes the target: a finding.
  interpreter.run(text, false);
  interpreter.processEvents();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  runScript(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
