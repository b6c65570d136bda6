// Arbitrary text through zelsh with the simdev product loaded: the parser, the evaluator, objects,
// sets, callbacks, events and timers. Nothing may crash, hang or leak.
#include <sstream>

#include "fuzz_simdev.h"
#include "interpreter.h"
#include "shell.h"
#include "zelhost/objects/product_plugin.h"
#include "zelhost/objects/qx_application.h"
#include "zelhost/services/services.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::ostringstream out;
  // An exception out of the shell escapes the target: a finding.
  zelfuzz::simdevShell(out)->runText(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
