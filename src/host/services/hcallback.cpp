// Host callbacks: the callback value object, its forms, and how each form is run.
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "zelhost/services/exceptions.h"
#include "zelhost/services/services.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/services/zelutil.h"

namespace {

const char kGenericErrorId[] = "PULVRA:error";

std::atomic<HCallbackEvaluator*> currentEvaluator{nullptr};

}  // namespace

// What a callback value asks for when it runs.
struct HCallback::Target {
  enum Kind { kNone, kStatements, kFunction };
  Kind kind = kNone;
  std::string text;              // the statements or the function name
  std::vector<hvArray*> extras;  // borrowed from the held value
};

namespace {

using CallbackTarget = HCallback::Target;

bool isCharRow(const hvArray* a) { return hvIsChar(a) && hvGetM(a) == 1 && hvGetN(a) >= 1; }

const char* functionHandleName(const hvArray* a) {
  if (!hvIsFunctionHandle(a) || hvGetNumberOfElements(a) != 1) return nullptr;
  const char* name = hvGetFunctionHandle(a);
  return (name != nullptr && *name != '\0') ? name : nullptr;
}

// Reads a string or a function handle; false for anything else.
bool describeHead(const hvArray* a, CallbackTarget& target) {
  if (isCharRow(a)) {
    std::unique_ptr<char, void (*)(void*)> text(hvArrayToString(a), hvFree);
    if (!text) return false;
    target.kind = CallbackTarget::kStatements;
    target.text = text.get();
    return true;
  }
  if (const char* name = functionHandleName(a)) {
    target.kind = CallbackTarget::kFunction;
    target.text = name;
    return true;
  }
  return false;
}

CallbackTarget describe(const hvArray* value) {
  CallbackTarget target;
  if (!hvIsCell(value)) {
    describeHead(value, target);
    return target;
  }
  const hvSize count = hvGetNumberOfElements(value);
  if (count == 0 || !describeHead(hvGetCell(value, 0), target)) return CallbackTarget();
  // In a cell, a text names the function to call, just as a handle would:
  // the extra elements need a call to be passed to.
  target.kind = CallbackTarget::kFunction;
  for (hvSize i = 1; i < count; ++i) target.extras.push_back(hvGetCell(value, i));
  return target;
}

// An empty head means "no callback", as an empty cell does; anything else
// must be able to run.
bool isCellHeadForm(const hvArray* head) {
  if (hvIsEmpty(head)) return true;
  CallbackTarget ignored;
  return describeHead(head, ignored);
}

// The inputs of a function target: the object, the event, then the extras.
// Callees read their inputs without checking for null; a missing object or
// event reaches them as an empty value instead.
class CallArguments {
 public:
  CallArguments(const CallbackTarget& target, const hvArray* object, const hvArray* event)
      : emptyObject_(object == nullptr ? hvCreateDoubleMatrix(0, 0) : nullptr),
        emptyEvent_(event == nullptr ? hvCreateDoubleMatrix(0, 0) : nullptr) {
    args_.reserve(2 + target.extras.size());
    // The inputs are borrowed: callees never change or free them.
    args_.push_back(object != nullptr ? const_cast<hvArray*>(object) : emptyObject_.get());
    args_.push_back(event != nullptr ? const_cast<hvArray*>(event) : emptyEvent_.get());
    args_.insert(args_.end(), target.extras.begin(), target.extras.end());
  }
  int count() const { return static_cast<int>(args_.size()); }
  hvArray** data() { return args_.data(); }

 private:
  ZLScopedHvArray emptyObject_;
  ZLScopedHvArray emptyEvent_;
  std::vector<hvArray*> args_;
};

std::string idOr(const char* id) {
  return (id != nullptr && *id != '\0') ? std::string(id) : std::string(kGenericErrorId);
}

std::string textOf(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

}  // namespace

// ---------------------------------------------------------------- evaluator

HCallbackEvaluator::~HCallbackEvaluator() {
  // An evaluator that goes away while installed must not be called later.
  HCallbackEvaluator* self = this;
  currentEvaluator.compare_exchange_strong(self, nullptr);
}

HCallbackEvaluator* hoxSetCallbackEvaluator(HCallbackEvaluator* evaluator) {
  return currentEvaluator.exchange(evaluator);
}

// ---------------------------------------------------------------- callback

HCallback::HCallback(const hvArray* value)
    : value_(isCallbackForm(value) ? hvDuplicateArray(value) : nullptr),
      uses_(1),
      target_(std::make_unique<const Target>(describe(value_))) {}

HCallback::~HCallback() { hvDestroyArray(value_); }

void HCallback::release(int count) {
  if (count <= 0) return;
  const int before = uses_.fetch_sub(count, std::memory_order_acq_rel);
  if (before > 0 && before - count <= 0) delete this;
}

void HCallback::addUse() { uses_.fetch_add(1, std::memory_order_relaxed); }

int HCallback::getUseCount() const { return uses_.load(std::memory_order_acquire); }

bool HCallback::isExecutable() const { return target_->kind != CallbackTarget::kNone; }

bool HCallback::takesArguments() const { return target_->kind == CallbackTarget::kFunction; }

// Calls the function of a function target as found in the registry, the
// search kept while the registry is unchanged; false when the name is not
// registered (the call by name then reports it).
bool HCallback::callKept(int nargs, hvArray* args[]) {
  const HoxFunction fn = hoxFindFunctionKept(target_->text.c_str(), &functionRef_);
  if (!fn) return false;
  fn(0, nullptr, nargs, args);
  return true;
}

bool HCallback::run(const hvArray* object, const hvArray* event) {
  const CallbackTarget& target = *target_;
  if (target.kind == CallbackTarget::kNone) return false;
  try {
    HCallbackEvaluator* evaluator = currentEvaluator.load();
    if (target.kind == CallbackTarget::kStatements) {
      if (evaluator == nullptr) {
        throw new ErrorIdException("PULVRA:callback:noEvaluator",
                                   "Callback statements cannot run: no evaluator is installed.");
      }
      evaluator->evalString(target.text);
      return false;
    }
    CallArguments args(target, object, event);
    if (evaluator != nullptr) {
      evaluator->callFunction(target.text, args.count(), args.data());
    } else if (!callKept(args.count(), args.data())) {
      hoxCallPULVRA(0, nullptr, args.count(), args.data(), target.text.c_str());
    }
    return false;
  } catch (ErrorIdException* e) {
    std::unique_ptr<ErrorIdException> owned(e);
    hoxReportError(idOr(owned->getId()), textOf(owned->getMessage()));
  } catch (Exception* e) {
    std::unique_ptr<Exception> owned(e);
    hoxReportError(kGenericErrorId, textOf(owned->getMessage()));
  } catch (zelutil::ZLException* e) {
    std::unique_ptr<zelutil::ZLException> owned(e);
    hoxReportError(idOr(owned->getID()), textOf(owned->getMessage()));
  } catch (const IUserException& e) {
    hoxReportError(idOr(e.getId()), textOf(e.getMessage()));
  } catch (const InterruptException& e) {
    hoxReportUnhandledInterrupt(e);
  } catch (const std::exception& e) {
    hoxReportError(kGenericErrorId, e.what());
  }
  return true;
}

hvArray* HCallback::toPulvra() const {
  return value_ != nullptr ? hvDuplicateArray(value_) : hvCreateString(nullptr);
}

bool HCallback::isCallbackForm(const hvArray* value) {
  if (value == nullptr) return false;
  if (hvIsChar(value)) return true;
  if (hvIsCell(value))
    return hvGetNumberOfElements(value) == 0 || isCellHeadForm(hvGetCell(value, 0));
  return hvIsFunctionHandle(value) && hvGetNumberOfElements(value) == 1;
}
