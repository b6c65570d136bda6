// HCallbackEvent: running an object's callback as a host event, disabling a failing one, and
// coalescing and flushing by object and property name.
#include "zelobjsys/hcallback_event.h"

#include <cstring>
#include <exception>
#include <memory>
#include <utility>

#include "zelhost/objects/qx_interface.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/services.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/services/zelutil.h"
#include "zelhost/types/data_type.h"
#include "zelobjsys/prop_info.h"
#include "zelobjsys/property.h"

namespace zelobjsys {

namespace {

const char kDisableWarningId[] = "vornix:callback:errIn";

// Lifecycle states from 2 on mean that the object's destruction has begun.
constexpr int kLifecycleMask = 7;

bool isBeingDestroyed(const QxInterface* object) {
  return object != nullptr && (object->getLifecycleState() & kLifecycleMask) >= 2;
}

// The callback held by prop, or null when prop holds none. The data type is
// asked first so that a property of another kind is never read as a callback.
HCallback* callbackOf(const Property* prop) {
  if (prop == nullptr || prop->getPropInfo() == nullptr) return nullptr;
  const QxDataType* type = prop->getPropInfo()->getQxDataType();
  if (type == nullptr || type->getDeclarationName() == nullptr ||
      std::strcmp(type->getDeclarationName(), "HCallback") != 0) {
    return nullptr;
  }
  // getValue is not const because a custom get function may refresh the
  // stored value; reading the value does not change the property otherwise.
  return static_cast<HCallback*>(const_cast<Property*>(prop)->getValue());
}

// Holds one use of a callback for the length of a run.
struct CallbackUse {
  void operator()(HCallback* callback) const { callback->release(1); }
};
using CallbackHold = std::unique_ptr<HCallback, CallbackUse>;

CallbackHold holdCallback(HCallback* callback) {
  callback->addUse();
  return CallbackHold(callback);
}

// Looked up once: "handle" is a built-in type, which no registered type may
// shadow, and the built-ins live as long as the process.
const PulvraConversion* handleConversion() {
  static const PulvraConversion* const conversion = [] {
    const QxDataType* type = QxTypeRepository::getType("handle", true);
    return type != nullptr ? type->getPulvraConversion() : nullptr;
  }();
  return conversion;
}

}  // namespace

// ---------------------------------------------------------------- match function

HCallbackEvent::UseHCallbackEventFcn::UseHCallbackEventFcn(const QxInterface* object,
                                                           std::string propName)
    : object_(object), propName_(std::move(propName)) {}

bool HCallbackEvent::UseHCallbackEventFcn::matches(const zelutil::IEvent* event) const {
  const auto* callbackEvent = dynamic_cast<const HCallbackEvent*>(event);
  return callbackEvent != nullptr && callbackEvent->doesCallbackMatch(object_, propName_);
}

// ---------------------------------------------------------------- construction

HCallbackEvent::HCallbackEvent(Property* prop, QxInterface* object, HEventInfo* info,
                               const std::string& wrapperFcn, bool canBeDisabled, bool coalescable)
    : HCallbackEvent(prop, object, info, wrapperFcn, canBeDisabled, coalescable, factsOf(prop)) {}

HCallbackEvent::HCallbackEvent(Property* prop, QxInterface* object, HEventInfo* info,
                               const std::string& wrapperFcn, bool canBeDisabled, bool coalescable,
                               PropertyFacts facts)
    : IEvent(info),
      info_(info),
      prop_(prop),
      object_(object),
      wrapperFcn_(wrapperFcn),
      canBeDisabled_(canBeDisabled),
      coalescable_(coalescable),
      facts_(std::move(facts)),
      handleConverter_(handleConversion()) {}

HCallbackEvent::~HCallbackEvent() = default;

HCallbackEvent::PropertyFacts HCallbackEvent::factsOf(const Property* prop) {
  PropertyFacts facts;
  if (prop != nullptr && prop->getPropInfo() != nullptr) {
    const PropInfo* info = prop->getPropInfo();
    facts.name = info->getName() != nullptr ? info->getName() : "";
    facts.visible = info->isQxVisible();
  }
  return facts;
}

void HCallbackEvent::cacheCallbackPropertyInfo() { facts_ = factsOf(prop_); }

HEventInfo* HCallbackEvent::getEventInfo() const { return info_; }

bool HCallbackEvent::isCallbackObjectValid() const { return !isBeingDestroyed(object_); }

// ---------------------------------------------------------------- service

bool HCallbackEvent::isExecutable(const Property* prop) {
  const HCallback* callback = callbackOf(prop);
  return callback != nullptr && callback->isExecutable() && !prop->isIgnoreUntilSet();
}

bool HCallbackEvent::isExecutable() const { return isCallbackObjectValid() && isExecutable(prop_); }

bool HCallbackEvent::serviceEvent(bool runFirst) {
  if (!coalescable_) return serviceOrCoalesceEvent(runFirst, nullptr, nullptr);
  UseHCallbackEventFcn match(object_, facts_.name);
  return serviceOrCoalesceEvent(runFirst, &match, nullptr);
}

zelutil::CoalesceKey HCallbackEvent::getCoalesceKey() const {
  // Without an object or a name the match function accepts no queued event of
  // another key's shape (null object) or a wider set (empty name): no key.
  zelutil::CoalesceKey key;
  if (object_ == nullptr || facts_.name.empty()) return key;
  key.owner = object_;
  key.name = zelutil::toUpper(facts_.name);
  return key;
}

void HCallbackEvent::flushEvents(const QxInterface* object, const std::string& propName,
                                 bool runFlushed) {
  UseHCallbackEventFcn match(object, propName);
  IEvent::flushEvents(&match, runFlushed);
}

bool HCallbackEvent::doesCallbackMatch(const QxInterface* object, const std::string& name) const {
  if (object == nullptr || object != object_) return false;
  return name.empty() || zelutil::caselessCompare(facts_.name, name) == 0;
}

// ---------------------------------------------------------------- running

hvArray* HCallbackEvent::callWrapper() const {
  AllocErrorModeGuard allocMode(1);
  try {
    HostInterruptScope interrupts(HostInterruptScope::on);
    ZLScopedHvArray handle(handleConverter_->toPulvra(object_));
    hvArray* inputs[] = {handle.get()};
    hvArray* outputs[] = {nullptr};
    inHoxCallPULVRA(1, outputs, 1, inputs, wrapperFcn_.c_str(), 0);
    ZLScopedHvArray result(outputs[0]);
    if (result.get() != nullptr) hvSetArrayScope(result, 0);
    return result.release();
  } catch (const IUserException& e) {
    std::unique_ptr<HostExceptionEnvelope> envelope(hoxWrapUserException(e));
    hoxReportUnhandledError(*envelope, u"");
  } catch (const InterruptException& e) {
    hoxReportUnhandledInterrupt(e);
  } catch (const std::exception&) {
    // Nothing more to say than that the wrapper gave no value.
  }
  return nullptr;
}

hvArray* HCallbackEvent::createObjectValue() const {
  if (handleConverter_ == nullptr) return nullptr;
  if (wrapperFcn_.empty()) return handleConverter_->toPulvra(object_);
  return callWrapper();
}

hvArray* HCallbackEvent::createEventStructure() const {
  const HEventInfo* info = getEventInfo();
  return info != nullptr ? info->createPulvraStructure()
                         : HEventInfo("", false).createPulvraStructure();
}

bool HCallbackEvent::runCallback(const hvArray* objectValue) const {
  HCallback* callback = callbackOf(prop_);
  if (callback == nullptr) return true;
  // The structure is built only for a callback that is handed it.
  ZLScopedHvArray event(callback->takesArguments() ? createEventStructure() : nullptr);
  CallbackHold hold = holdCallback(callback);
  return hold->run(objectValue, event);
}

bool HCallbackEvent::execute() {
  // A property without a callback has nothing to run and nothing to silence.
  if (callbackOf(prop_) == nullptr) return false;
  ZLScopedHvArray objectValue(createObjectValue());
  const bool failed = objectValue.get() == nullptr || runCallback(objectValue);
  // A callback run while its object is being destroyed is not held against it.
  if (!isCallbackObjectValid()) return !failed;
  if (failed && canBeDisabled_) {
    prop_->setIgnoreUntilSet(true);
    if (isPropVisible()) displayDisableWarning();
  }
  return !failed;
}

void HCallbackEvent::displayDisableWarning() const {
  const std::string& name = facts_.name;
  const std::string id = kDisableWarningId + name;
  const std::string message = "The " + name + " callback is being disabled.\nTo enable the " +
                              "callback, set the " + name + " property.";
  zelhox::fcns::warn(id.c_str(), message.c_str(), 0);
}

}  // namespace zelobjsys
