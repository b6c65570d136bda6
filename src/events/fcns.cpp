// zelobjsys::fcns: handle conversions, the definition record lookup, and the wait that
// processes host events.
#include "zelobjsys/fcns.h"

#include <memory>

#include <boost/chrono.hpp>
#include <boost/thread/locks.hpp>

#include "zelhost/objects/qx_interface.h"
#include "zelhost/objects/qx_prop_info.h"
#include "zelhost/services/services.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/types/data_type.h"
#include "zelobjsys/prop_info.h"

namespace zelobjsys {
namespace fcns {

namespace {

constexpr double kPollSleepSeconds = 0.001;
constexpr long long kEventWaitNanoseconds = 1000000;

// The conversion of a built-in host type; those always exist.
const PulvraConversion& conversionOf(const char* typeName) {
  return *QxTypeRepository::getType(typeName, true)->getPulvraConversion();
}

void destroyWithType(const char* typeName, void* value) {
  QxTypeRepository::getType(typeName, true)->destroy(value);
}

bool isBeingDestroyed(const QxInterface* object) {
  return object != nullptr && (object->getLifecycleState() & 7) >= 2;
}

}  // namespace

// ---------------------------------------------------------------- handles

hvArray* createFunctionHandle(const char* functionName) {
  ZLScopedHvArray handle(hvCreateNumericMatrix(1, 1, hvFUNCTION_CLASS));
  if (functionName != nullptr) hvFunctionHandleFromString(handle, functionName);
  return handle.release();
}

hvArray* createHandle(QxInterface* object) { return conversionOf("handle").toPulvra(object); }

QxInterface* getQxInterface(const hvArray* value) {
  void* stored = conversionOf("handle").fromPulvra(value);
  auto* object = static_cast<QxInterface*>(stored);
  // The stored form holds a count on the object's record; the caller borrows
  // the handle, which the object keeps alive.
  destroyWithType("handle", stored);
  return object;
}

Vector* createHandleVector(const std::vector<QxInterface*>& objects) {
  if (objects.empty()) return nullptr;
  auto list = std::make_unique<Vector>();
  list->setSize(objects.size());
  for (std::size_t i = 0; i < objects.size(); ++i) list->setElementAt(i, objects[i]);
  return list.release();
}

hvArray* createHandles(const std::vector<QxInterface*>& objects) {
  std::unique_ptr<Vector> list(createHandleVector(objects));
  return conversionOf("handle vector").toPulvra(list.get());
}

std::vector<QxInterface*> getQxInterfaces(const hvArray* value) {
  auto* list = static_cast<Vector*>(conversionOf("handle vector").fromPulvra(value));
  std::vector<QxInterface*> objects = getQxInterfaces(list);
  destroyWithType("handle vector", list);
  return objects;
}

std::vector<QxInterface*> getQxInterfaces(const Vector* objects) {
  std::vector<QxInterface*> out;
  if (objects == nullptr) return out;
  out.reserve(objects->size());
  for (std::size_t i = 0; i < objects->size(); ++i) {
    out.push_back(static_cast<QxInterface*>(objects->elementAt(i)));
  }
  return out;
}

PropInfo* getPropInfo(QxInterface* object, const char* propName) {
  if (object == nullptr || propName == nullptr) return nullptr;
  QxInterface* descriptor = object->getProperty(propName, false);
  if (descriptor == nullptr) return nullptr;
  return dynamic_cast<PropInfo*>(static_cast<QxPropInfo*>(descriptor->getObject()));
}

// ---------------------------------------------------------------- waiting

bool WaitForEventFcn::isComplete(double) const {
  if (event_ == nullptr) return false;
  boost::unique_lock<boost::mutex> lock(event_->mutex);
  const auto deadline =
      boost::chrono::steady_clock::now() + boost::chrono::nanoseconds(kEventWaitNanoseconds);
  zelutil::Event* event = event_;
  // An interruption point: a Boost thread interruption ends the wait here.
  const bool signalled =
      event_->cond.wait_until(lock, deadline, [event] { return event->signalled; });
  if (signalled && !event_->manualReset) event_->signalled = false;
  return signalled;
}

WaitStatus waitAndProcessEvents(const IWaitCompleteFcn& complete, double timeoutSeconds,
                                const QxInterface* object) {
  // Callbacks run by "drawnow" may destroy the object; the reference keeps
  // its handle readable until the wait has seen that.
  const std::unique_ptr<QxInterface> watched(object != nullptr ? object->getReference() : nullptr);
  const zelutil::Timestamp start;
  double elapsed = 0.0;
  bool timedOut = false;
  bool interrupted = false;
  for (;;) {
    if (interrupted) return WaitInterrupted;
    if (complete.isComplete(elapsed)) return WaitComplete;
    if (timedOut) return WaitTimedOut;
    zelutil::Thread::sleep(kPollSleepSeconds);
    hoxCallPULVRA(0, nullptr, 0, nullptr, "drawnow");
    if (HostInterruptState::IsInterruptPending()) {
      HostInterruptState::SetInterruptPending(false);
      interrupted = true;
    }
    if (isBeingDestroyed(watched.get())) return WaitObjectDeleted;
    elapsed = zelutil::Timestamp() - start;
    // NaN compares false: a NaN timeout never passes.
    timedOut = elapsed > timeoutSeconds;
  }
}

WaitStatus waitAndProcessEvents(zelutil::Event& event, double timeoutSeconds,
                                const QxInterface* object) {
  const WaitForEventFcn complete(&event);
  return waitAndProcessEvents(complete, timeoutSeconds, object);
}

}  // namespace fcns
}  // namespace zelobjsys
