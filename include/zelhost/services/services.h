// Host services: function calls by name, errors, warnings, interrupts, unhandled-error reporting,
// callbacks.
#ifndef ZELHOST_SERVICES_H
#define ZELHOST_SERVICES_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zelhost/values/hv_array.h"

class IUserException;
class InterruptException;

// ---------------------------------------------------------------- functions
// A host function: fills up to nlhs outputs (new values the caller owns) from
// nrhs borrowed inputs; raises errors as host exceptions (thrown pointers).
using HoxFunction = std::function<void(int nlhs, hvArray* plhs[], int nrhs, hvArray* prhs[])>;

// Registers (or replaces) a function under a name. The host registers
// "num2str" and "drawnow" itself; products and the shell add more. While a
// product is current (see hoxSetCurrentProduct) the functions it registers
// belong to it: it may replace and remove its own and the unowned ones, but
// a name another product registered is refused with the warning
// "PULVRA:functionTaken" naming both products, and false is returned.
bool hoxRegisterFunction(const char* name, HoxFunction fn);
void hoxUnregisterFunction(const char* name);
// Makes a product current (an empty name: none) and returns the previous
// one. Whoever loads and unloads plugins sets it around their load() and
// unload().
std::string hoxSetCurrentProduct(const std::string& product);
bool hoxIsFunction(const char* name);
// Where hoxFindFunctionKept found a function: good until a function is
// registered, replaced or removed. Owns nothing.
struct HoxFunctionRef {
  std::uint64_t generation = 0;
  const HoxFunction* entry = nullptr;
};
// The function registered under name, as a copy (empty when there is none).
// ref remembers where it was found, so that later calls with the same ref and
// name skip the search while the registry is unchanged.
HoxFunction hoxFindFunctionKept(const char* name, HoxFunctionRef* ref);

// What the shell's "help" shows for a function: a usage line such as
// "device(CLASS)" and a one-line description. Products give it after
// registering the function; it is kept apart from the function itself and
// shown only while a function of that name is registered. Empty texts
// remove it.
struct HoxFunctionHelp {
  std::string usage;
  std::string description;
};
void hoxSetFunctionHelp(const char* name, const char* usage, const char* description);
// False (and help untouched) when the function is not registered or has no help.
bool hoxGetFunctionHelp(const char* name, HoxFunctionHelp* help);
// The names of every registered function, ascending.
std::vector<std::string> hoxFunctionNames();

// Calls a host function by name. Errors pass as thrown host exceptions; an
// unknown name throws ErrorIdException* "PULVRA:undefinedFunction". Returns 0.
int hoxCallPULVRA(int nlhs, hvArray* plhs[], int nrhs, hvArray* prhs[], const char* name);
// The same, but a failure is thrown as IUserException (an error) or
// InterruptException (a pending interrupt noticed by the function).
int inHoxCallPULVRA(int nlhs, hvArray* plhs[], int nrhs, hvArray* prhs[], const char* name,
                    int flags);

// The text "num2str" gives: an integral finite number in full, Inf, -Inf and
// NaN as words, anything else as "%.5g".
std::string hoxNum2Str(double x);

// Runs the events queued for the host thread ("drawnow" calls it). The event
// service installs the processor while it runs; without one this does nothing.
void hoxProcessPendingEvents();
using HoxEventProcessor = std::function<void()>;
HoxEventProcessor hoxSetEventProcessor(HoxEventProcessor processor);

// ---------------------------------------------------------------- errors
// Raises a host error: calls the installed error-exception function, which
// must throw; without one, throws new ErrorIdException(id, message). Never
// returns.
[[noreturn]] void hoxErrMsgIdAndTxt(const char* id, const char* message);
// The host error that hoxErrMsgIdAndTxt raises, for a caller to throw itself
// (the installed function is called here and throws its own). Unwinding stops
// at every frame that has something to destroy, so a caller that builds its
// message in a call of its own and throws this from a frame that owns nothing
// lets a refusal travel cheaply.
class ErrorIdException;
ErrorIdException* hoxErrorException(const char* id, const char* message);
using HoxErrorExceptionFcn = void (*)(const char* id, const char* message);
void hoxSetErrorExceptionFcn(HoxErrorExceptionFcn fn);
HoxErrorExceptionFcn hoxGetErrorExceptionFcn();

// ---------------------------------------------------------------- warnings
// Shows a warning and returns. The sink receives (id, message); the default
// sink prints "Warning (ID): MESSAGE" on standard output.
void hoxWarnMsgIdAndTxt(const char* id, const char* message);
using HoxMessageSink = std::function<void(const std::string& id, const std::string& message)>;
// Returns the previous sink; an empty function restores the default.
HoxMessageSink hoxSetWarningSink(HoxMessageSink sink);

// ---------------------------------------------------------------- unhandled errors
// Errors that nobody above can catch (a failing callback) are reported to the
// user through the error sink; the default prints "Error (ID): MESSAGE".
HoxMessageSink hoxSetErrorSink(HoxMessageSink sink);
void hoxReportError(const std::string& id, const std::string& message);

// The host's envelope of a caught user error.
class HostExceptionEnvelope {
 public:
  explicit HostExceptionEnvelope(const IUserException& e);
  const std::string& getId() const { return id_; }
  const std::string& getMessage() const { return message_; }

 private:
  std::string id_;
  std::string message_;
};
// Wraps a caught IUserException; caller deletes the envelope.
HostExceptionEnvelope* hoxWrapUserException(const IUserException& e);
// Reports the envelope as an unhandled error; the text (UTF-16) is prepended
// to the message when not empty.
void hoxReportUnhandledError(const HostExceptionEnvelope& envelope, const char16_t* text);
void hoxReportUnhandledInterrupt(const InterruptException& e);

// ---------------------------------------------------------------- interrupts
// The user's Ctrl-C. Safe from any thread (a signal handler included).
class HostInterruptState {
 public:
  static bool IsInterruptPending();               // NOLINT(readability-identifier-naming)
  static void SetInterruptPending(bool pending);  // NOLINT(readability-identifier-naming)
};

// Enables interrupts for its scope (nesting allowed).
class HostInterruptScope {
 public:
  enum Mode { off = 0, on = 1 };
  explicit HostInterruptScope(Mode mode);
  ~HostInterruptScope();
  static bool areInterruptsEnabled();

 private:
  Mode previous_;
};

// Scoped allocation-error mode; held while a wrapper function runs.
class AllocErrorModeGuard {
 public:
  explicit AllocErrorModeGuard(int mode);
  ~AllocErrorModeGuard();
  static int currentMode();

 private:
  int previous_;
};

// ---------------------------------------------------------------- callbacks
// Runs callbacks on behalf of the host: the shell installs one. evalString
// runs statements; callFunction calls a function by name with the given
// arguments (borrowed). Both report failure by throwing a host exception.
class HCallbackEvaluator {
 public:
  virtual ~HCallbackEvaluator();
  virtual void evalString(const std::string& statements) = 0;
  virtual void callFunction(const std::string& name, int nargs, hvArray* args[]) = 0;
};
// Returns the previous evaluator (not owned). Without one, function handles
// call host functions and strings fail with "PULVRA:callback:noEvaluator".
HCallbackEvaluator* hoxSetCallbackEvaluator(HCallbackEvaluator* evaluator);

// The value of a callback property: a string (statements), a function
// handle, or a cell whose first element is a function handle or a function's
// name followed by extra arguments. Reference
// counted: created with one use; release(1) drops one use and deletes the
// object at zero. Uses may be added and released from any thread (events are
// made on timer threads); run, isExecutable and toPulvra belong to the host
// thread.
class HCallback {
 public:
  // Copies the value. A value that is not a callback form makes an empty
  // callback (isExecutable false).
  explicit HCallback(const hvArray* value);
  virtual void release(int count);
  virtual bool isExecutable() const;
  // Runs the callback with (object, event, extra arguments...). Reports a
  // failure through the error sink and returns true; false on success.
  virtual bool run(const hvArray* object, const hvArray* event);
  // Whether run hands the object and the event to what it runs: statements
  // take neither, so a caller need not build them.
  bool takesArguments() const;
  void addUse();
  int getUseCount() const;
  // A copy of the held value (caller frees).
  hvArray* toPulvra() const;
  // Whether a host value has one of the three callback forms (an empty string,
  // an empty cell and a cell whose first element is empty count as forms: they
  // mean "no callback"; a cell headed by anything else that cannot run does
  // not).
  static bool isCallbackForm(const hvArray* value);

  // Kept by the implementation; opaque to users.
  struct Target;

 protected:
  virtual ~HCallback();

 private:
  bool callKept(int nargs, hvArray* args[]);

  hvArray* value_;
  std::atomic<int> uses_;
  // What value_ asks for, read once: the value never changes.
  std::unique_ptr<const Target> target_;
  // Where the function of a function target was last found in the registry.
  // Host thread only (run).
  HoxFunctionRef functionRef_;
};

#endif  // ZELHOST_SERVICES_H
