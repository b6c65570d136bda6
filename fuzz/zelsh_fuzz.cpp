// Feeds arbitrary text to the zelsh parser and evaluator: nothing may crash, hang or leak.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "interpreter.h"
#include "zelhost/qx_application.h"
#include "zelhost/services.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::ostringstream out;
  {
    zelsh::Interpreter interpreter(out);
    interpreter.setPauseLimit(0.001);
    HCallbackEvaluator* previous = hoxSetCallbackEvaluator(&interpreter);
    auto quiet = [](const std::string&, const std::string&) {};
    hoxSetWarningSink(quiet);
    hoxSetErrorSink(quiet);
    interpreter.run(text, false);
    hoxSetCallbackEvaluator(previous);
    hoxSetWarningSink(nullptr);
    hoxSetErrorSink(nullptr);
  }
  QxApplicationManager::shutdown();
  return 0;
}
