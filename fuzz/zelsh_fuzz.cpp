// Arbitrary text through zelsh with the simdev product loaded: the parser, the evaluator, objects,
// sets, callbacks, events and timers. Nothing may crash, hang or leak.
#include <sstream>

#include "fuzz_simdev.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::ostringstream out;
  zelsh::Interpreter interpreter(out);
  interpreter.setPauseLimit(0.002);
  zelfuzz::SimdevSession session(interpreter);
  // An exception out of the interpreter escapes the target: a finding.
  interpreter.run(std::string(reinterpret_cast<const char*>(data), size), false);
  interpreter.processEvents();
  return 0;
}
