// Host services: the function registry and calls, num2str, errors, warnings, reporting, interrupts.
#include "zelhost/services/services.h"

#include <cmath>
#include <exception>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "zelhost/services/exceptions.h"
#include "zelhost/services/zelutil.h"

namespace {

const char kGenericErrorId[] = "PULVRA:error";
const char kGenericWarningId[] = "PULVRA:warning";

std::string textOr(const char* text, const char* fallback) {
  return (text != nullptr && *text != '\0') ? std::string(text) : std::string(fallback);
}

// ---------------------------------------------------------------- built-ins

void num2strFunction(int nlhs, hvArray* plhs[], int nrhs, hvArray* prhs[]) {
  const hvArray* in = (nrhs >= 1 && prhs != nullptr) ? prhs[0] : nullptr;
  hvArray* out = nullptr;
  if (nrhs == 1 && in != nullptr && hvIsChar(in)) {
    out = hvDuplicateArray(in);
  } else if (nrhs == 1 && (hvIsNumeric(in) || hvIsLogical(in)) && hvIsEmpty(in)) {
    out = hvCreateString("");
  } else if (nrhs == 1 && (hvIsNumeric(in) || hvIsLogical(in)) && hvIsScalar(in)) {
    out = hvCreateString(hoxNum2Str(hvGetScalar(in)).c_str());
  } else {
    throw new ErrorIdException(
        "PULVRA:num2str:badInput",
        "num2str needs one input: a numeric or logical scalar, or a string.");
  }
  if (nlhs >= 1 && plhs != nullptr) {
    plhs[0] = out;
  } else {
    hvDestroyArray(out);
  }
}

void drawnowFunction(int, hvArray*[], int, hvArray*[]) { hoxProcessPendingEvents(); }

// ---------------------------------------------------------------- shared state

// Everything the services keep for the process. Never destroyed, so that a
// warning or a call made while other statics are torn down still finds it.
struct ServicesState {
  std::mutex mutex;
  std::map<std::string, HoxFunction> functions;
  // Bumped by every registration, replacement and removal: a function found
  // while it had one value is still where it was found while it keeps it.
  std::uint64_t functionsGeneration = 0;
  // The product that registered each function; the host's own and those the
  // shell or a test registers outside a product have none.
  std::map<std::string, std::string> owners;
  std::string currentProduct;
  HoxEventProcessor eventProcessor;
  HoxMessageSink warningSink;
  HoxMessageSink errorSink;

  ServicesState() {
    functions["num2str"] = num2strFunction;
    functions["drawnow"] = drawnowFunction;
  }
};

ServicesState& state() {
  static ServicesState* s = new ServicesState;
  return *s;
}

// One hook of the state, read under the lock: the hook runs outside it, so
// that it may install hooks itself.
template <class T>
T hook(T ServicesState::*member) {
  ServicesState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.*member;
}

// Installs a hook and hands back the one it replaces.
template <class T>
T exchangeHook(T ServicesState::*member, T replacement) {
  ServicesState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  std::swap(s.*member, replacement);
  return replacement;
}

std::atomic<HoxErrorExceptionFcn> errorExceptionFcn{nullptr};

// A signal handler may set it: it must be a lock-free atomic.
std::atomic<bool> interruptPending{false};
static_assert(std::atomic<bool>::is_always_lock_free, "interrupt flag must be lock-free");

thread_local HostInterruptScope::Mode threadInterruptMode = HostInterruptScope::off;
thread_local int threadAllocErrorMode = 0;

HoxFunction findFunction(const std::string& name) {
  ServicesState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  auto it = s.functions.find(name);
  return it == s.functions.end() ? HoxFunction() : it->second;
}

// Frees outputs a failing function had already made, so that the caller sees
// either all outputs or none.
void discardOutputs(int nlhs, hvArray* plhs[]) {
  for (int i = 0; i < nlhs; ++i) {
    hvDestroyArray(plhs[i]);
    plhs[i] = nullptr;
  }
}

void printLine(const char* kind, const std::string& id, const std::string& message) {
  std::cout << kind << " (" << id << "): " << message << '\n' << std::flush;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// A lone surrogate becomes U+FFFD rather than invalid UTF-8.
std::string utf16ToUtf8(const char16_t* text) {
  std::string out;
  for (const char16_t* p = text; p != nullptr && *p != 0; ++p) {
    char32_t c = *p;
    if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
      ++p;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    appendUtf8(out, c);
  }
  return out;
}

}  // namespace

// ---------------------------------------------------------------- functions

namespace {

// The product that owns a function other than the current one, if any: the
// current product may neither replace nor remove that function.
std::string otherOwner(ServicesState& s, const std::string& name) {
  auto it = s.owners.find(name);
  if (it == s.owners.end() || s.currentProduct.empty() || it->second == s.currentProduct) {
    return "";
  }
  return it->second;
}

void eraseFunction(ServicesState& s, const std::string& name) {
  ++s.functionsGeneration;
  s.functions.erase(name);
  s.owners.erase(name);
}

}  // namespace

std::string hoxSetCurrentProduct(const std::string& product) {
  ServicesState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  std::string previous = std::move(s.currentProduct);
  s.currentProduct = product;
  return previous;
}

bool hoxRegisterFunction(const char* name, HoxFunction fn) {
  if (name == nullptr || *name == '\0') return false;
  ServicesState& s = state();
  std::string owner, product;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    owner = otherOwner(s, name);
    if (owner.empty()) {
      if (!fn) {
        eraseFunction(s, name);
      } else {
        ++s.functionsGeneration;
        s.functions[name] = std::move(fn);
        if (s.currentProduct.empty()) {
          s.owners.erase(name);
        } else {
          s.owners[name] = s.currentProduct;
        }
      }
      return true;
    }
    product = s.currentProduct;
  }
  hoxWarnMsgIdAndTxt("PULVRA:functionTaken",
                     ("The product '" + product + "' cannot register the function '" + name +
                      "': the product '" + owner + "' registered it already.")
                         .c_str());
  return false;
}

void hoxUnregisterFunction(const char* name) {
  if (name == nullptr) return;
  ServicesState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (otherOwner(s, name).empty()) eraseFunction(s, name);
}

HoxFunction hoxFindFunctionKept(const char* name, HoxFunctionRef* ref) {
  if (name == nullptr || ref == nullptr) return HoxFunction();
  ServicesState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (ref->entry == nullptr || ref->generation != s.functionsGeneration) {
    auto it = s.functions.find(name);
    ref->generation = s.functionsGeneration;
    ref->entry = it == s.functions.end() ? nullptr : &it->second;
  }
  // A copy, as for any call: the function may change the registry while it runs.
  return ref->entry != nullptr ? *ref->entry : HoxFunction();
}

bool hoxIsFunction(const char* name) {
  return name != nullptr && static_cast<bool>(findFunction(name));
}

// The help texts live in a map of their own: a product may give them for
// functions of any name, and they outlive unregistering without showing.
namespace {

struct HelpRegistry {
  std::mutex mutex;
  std::map<std::string, HoxFunctionHelp> entries;
};

HelpRegistry& helpRegistry() {
  static HelpRegistry* r = new HelpRegistry;
  return *r;
}

}  // namespace

void hoxSetFunctionHelp(const char* name, const char* usage, const char* description) {
  if (name == nullptr || *name == '\0') return;
  HelpRegistry& r = helpRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  HoxFunctionHelp help{textOr(usage, ""), textOr(description, "")};
  if (help.usage.empty() && help.description.empty()) {
    r.entries.erase(name);
  } else {
    r.entries[name] = std::move(help);
  }
}

bool hoxGetFunctionHelp(const char* name, HoxFunctionHelp* help) {
  if (name == nullptr || help == nullptr || !hoxIsFunction(name)) return false;
  HelpRegistry& r = helpRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.entries.find(name);
  if (it == r.entries.end()) return false;
  *help = it->second;
  return true;
}

std::vector<std::string> hoxFunctionNames() {
  ServicesState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  std::vector<std::string> names;
  for (const auto& entry : s.functions) names.push_back(entry.first);
  return names;
}

int hoxCallPULVRA(int nlhs, hvArray* plhs[], int nrhs, hvArray* prhs[], const char* name) {
  if (nlhs < 0 || nrhs < 0 || (nlhs > 0 && plhs == nullptr) || (nrhs > 0 && prhs == nullptr)) {
    throw new ErrorIdException("PULVRA:call:badArguments",
                               "Invalid argument lists in a call of '" + textOr(name, "") + "'.");
  }
  // Copied out of the registry so that the function may register or remove
  // functions (itself included) while it runs.
  HoxFunction fn = name != nullptr ? findFunction(name) : HoxFunction();
  if (!fn) {
    throw new ErrorIdException("PULVRA:undefinedFunction",
                               "Undefined function '" + textOr(name, "") + "'.");
  }
  for (int i = 0; i < nlhs; ++i) plhs[i] = nullptr;
  try {
    fn(nlhs, plhs, nrhs, prhs);
  } catch (...) {
    discardOutputs(nlhs, plhs);
    throw;
  }
  return 0;
}

int inHoxCallPULVRA(int nlhs, hvArray* plhs[], int nrhs, hvArray* prhs[], const char* name,
                    int /*flags*/) {
  try {
    hoxCallPULVRA(nlhs, plhs, nrhs, prhs, name);
  } catch (ErrorIdException* e) {
    std::unique_ptr<ErrorIdException> owned(e);
    throw IUserException(textOr(owned->getId(), kGenericErrorId), textOr(owned->getMessage(), ""));
  } catch (Exception* e) {
    std::unique_ptr<Exception> owned(e);
    throw IUserException(kGenericErrorId, textOr(owned->getMessage(), ""));
  } catch (zelutil::ZLException* e) {
    std::unique_ptr<zelutil::ZLException> owned(e);
    throw IUserException(textOr(owned->getID(), kGenericErrorId), textOr(owned->getMessage(), ""));
  } catch (const std::exception& e) {
    throw IUserException(kGenericErrorId, e.what());
  }
  if (HostInterruptState::IsInterruptPending()) {
    discardOutputs(nlhs, plhs);
    throw InterruptException();
  }
  return 0;
}

std::string hoxNum2Str(double x) {
  if (std::isnan(x)) return "NaN";
  if (std::isinf(x)) return x > 0 ? "Inf" : "-Inf";
  if (x == 0) return "0";  // also -0, which "%.0f" would print with a sign
  if (x == std::trunc(x)) return zelutil::format("%.0f", x);
  return zelutil::format("%.5g", x);
}

void hoxProcessPendingEvents() {
  if (HoxEventProcessor processor = hook(&ServicesState::eventProcessor)) processor();
}

HoxEventProcessor hoxSetEventProcessor(HoxEventProcessor processor) {
  return exchangeHook(&ServicesState::eventProcessor, std::move(processor));
}

// ---------------------------------------------------------------- errors

ErrorIdException* hoxErrorException(const char* id, const char* message) {
  const char* idText = id != nullptr && *id != '\0' ? id : kGenericErrorId;
  const char* messageText = message != nullptr ? message : "";
  // Nothing here is to be destroyed when the installed function throws.
  if (HoxErrorExceptionFcn fn = errorExceptionFcn.load()) fn(idText, messageText);
  // Reached without a function, or when the installed one broke its promise
  // to throw.
  return new ErrorIdException(idText, messageText);
}

void hoxErrMsgIdAndTxt(const char* id, const char* message) {
  // Made before the throw starts, so that nothing is to be freed here when
  // the installed function throws instead.
  ErrorIdException* error = hoxErrorException(id, message);
  throw error;
}

void hoxSetErrorExceptionFcn(HoxErrorExceptionFcn fn) { errorExceptionFcn.store(fn); }

HoxErrorExceptionFcn hoxGetErrorExceptionFcn() { return errorExceptionFcn.load(); }

// ---------------------------------------------------------------- warnings and errors

void hoxWarnMsgIdAndTxt(const char* id, const char* message) {
  const HoxMessageSink sink = hook(&ServicesState::warningSink);
  const std::string idText = textOr(id, kGenericWarningId);
  const std::string messageText = textOr(message, "");
  if (sink) {
    sink(idText, messageText);
  } else {
    printLine("Warning", idText, messageText);
  }
}

HoxMessageSink hoxSetWarningSink(HoxMessageSink sink) {
  return exchangeHook(&ServicesState::warningSink, std::move(sink));
}

HoxMessageSink hoxSetErrorSink(HoxMessageSink sink) {
  return exchangeHook(&ServicesState::errorSink, std::move(sink));
}

void hoxReportError(const std::string& id, const std::string& message) {
  const HoxMessageSink sink = hook(&ServicesState::errorSink);
  const std::string idText = id.empty() ? std::string(kGenericErrorId) : id;
  if (sink) {
    sink(idText, message);
  } else {
    printLine("Error", idText, message);
  }
}

HostExceptionEnvelope::HostExceptionEnvelope(const IUserException& e)
    : id_(textOr(e.getId(), kGenericErrorId)), message_(textOr(e.getMessage(), "")) {}

HostExceptionEnvelope* hoxWrapUserException(const IUserException& e) {
  return new HostExceptionEnvelope(e);
}

void hoxReportUnhandledError(const HostExceptionEnvelope& envelope, const char16_t* text) {
  hoxReportError(envelope.getId(), utf16ToUtf8(text) + envelope.getMessage());
}

void hoxReportUnhandledInterrupt(const InterruptException& /*e*/) {
  hoxReportError("PULVRA:interrupt", "Operation terminated by user.");
}

// ---------------------------------------------------------------- interrupts

bool HostInterruptState::IsInterruptPending() { return interruptPending.load(); }

void HostInterruptState::SetInterruptPending(bool pending) { interruptPending.store(pending); }

HostInterruptScope::HostInterruptScope(Mode mode) : previous_(threadInterruptMode) {
  threadInterruptMode = mode;
}

HostInterruptScope::~HostInterruptScope() { threadInterruptMode = previous_; }

bool HostInterruptScope::areInterruptsEnabled() { return threadInterruptMode == on; }

AllocErrorModeGuard::AllocErrorModeGuard(int mode) : previous_(threadAllocErrorMode) {
  threadAllocErrorMode = mode;
}

AllocErrorModeGuard::~AllocErrorModeGuard() { threadAllocErrorMode = previous_; }

int AllocErrorModeGuard::currentMode() { return threadAllocErrorMode; }
