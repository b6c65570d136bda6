// TimerEventManager and TimerCallbackEvent: periodic ticks handed to the event service, the
// period listener, and the flush at stop.
#include "zelobjsys/timer_event_manager.h"

#include <utility>

#include "zelhost/objects/qx_interface.h"
#include "zelhost/objects/qx_prop_info.h"
#include "zelobjsys/kti_prop_set_listener.h"
#include "zelobjsys/prop_info.h"
#include "zelobjsys/property.h"

namespace zelobjsys {

namespace {

// The queued ticks of one manager: those of its object and property, and any
// tick it made (which covers a manager without an object, whose ticks no
// object-and-name match selects).
class QueuedTicksFcn : public zelutil::IMatchEventFcn {
 public:
  QueuedTicksFcn(const QxInterface* object, const std::string& name, const void* source)
      : byName_(object, name), source_(source) {}
  bool matches(const zelutil::IEvent* event) const override {
    const auto* tick = dynamic_cast<const TimerCallbackEvent*>(event);
    if (tick != nullptr && tick->getSource() == source_) return true;
    return byName_.matches(event);
  }

 private:
  HCallbackEvent::UseHCallbackEventFcn byName_;
  const void* source_;
};

}  // namespace

// ---------------------------------------------------------------- TimerCallbackEvent

TimerCallbackEvent::TimerCallbackEvent(Property* prop, QxInterface* object, TimerEventInfo* info,
                                       const std::string& wrapperFcn)
    : HCallbackEvent(prop, object, info, wrapperFcn, true, true) {}

TimerCallbackEvent::TimerCallbackEvent(Property* prop, QxInterface* object, TimerEventInfo* info,
                                       const std::string& wrapperFcn, PropertyFacts facts,
                                       const void* source)
    : HCallbackEvent(prop, object, info, wrapperFcn, true, true, std::move(facts)),
      source_(source) {}

// ---------------------------------------------------------------- the period listener

class TimerEventManager::TimerPeriodListener : public KTIPropSetListener {
 public:
  explicit TimerPeriodListener(std::shared_ptr<Link> link) : link_(std::move(link)) {}
  // The notification's arguments are not used: the period is read back from
  // the property, as the manager reads it at construction.
  void propertySet(const KTIPropInfo*, void*) override {
    if (TimerEventManager* manager = link_->manager.load()) manager->retune();
  }

 private:
  std::shared_ptr<Link> link_;
};

// ---------------------------------------------------------------- TimerEventManager

TimerEventManager::TimerEventManager(Property& callbackProp, Property& periodProp,
                                     QxInterface* object, const std::string& wrapperFcn,
                                     TimerEventInfo* timerInfo)
    : TimerThread(executeEveryTick, 1.0),
      callbackProp_(callbackProp),
      periodProp_(periodProp),
      object_(object),
      objectRef_(object != nullptr ? object->getReference() : nullptr),
      wrapperFcn_(wrapperFcn),
      timerInfo_(timerInfo),
      facts_(HCallbackEvent::factsOf(&callbackProp)),
      link_(std::make_shared<Link>()) {
  if (periodProp_.getValue() == nullptr && periodProp_.getPropInfo() != nullptr) {
    periodProp_.setValue(periodProp_.getPropInfo()->getFactoryDefault(), false);
  }
  retune();
  link_->manager = this;
  auto listener = std::make_unique<TimerPeriodListener>(link_);
  listener_ = listener.get();
  periodProp_.addListener(listener.release());  // the property owns it
}

TimerEventManager::~TimerEventManager() {
  stop();
  // execute() is this class's: the thread must be gone before the members are.
  TimerThread::stop();
  link_->manager = nullptr;
  // Handed back by the property and deleted here.
  std::unique_ptr<KTIPropSetListener> listener = periodProp_.removeListener(listener_);
}

void TimerEventManager::start() { TimerThread::start(); }

void TimerEventManager::stop() {
  // A tick being handed over is not waited for: it is withdrawn under the
  // event service's lock once the request is seen, or queued before the flush
  // takes that lock and flushed with the rest. Waiting for it meant waiting
  // for the scheduler to run a preempted thread among busy siblings.
  requestStop();
  flushQueuedTicks();
}

void TimerEventManager::flushQueuedTicks() const {
  QueuedTicksFcn match(object_, facts_.name, this);
  zelutil::IEvent::flushEvents(&match, false);
}

void TimerEventManager::retune() { setPeriod(periodProp_.getValueAsDouble()); }

void TimerEventManager::setPeriod(double period) {
  // A period the timer refuses (zero, negative, NaN) leaves both as they were.
  if (!TimerThread::setPeriod(period)) return;
  setMaxExecutionDelay(getPeriod() + getPeriod());
}

void TimerEventManager::execute() {
  const double lateness = zelutil::Timestamp() - getExecutionTime();
  if (lateness > getMaxExecutionDelay()) return;
  std::unique_ptr<TimerEventInfo> info;
  if (timerInfo_ != nullptr) {
    info = std::make_unique<TimerEventInfoDelegate>(timerInfo_.get());
  } else {
    info = std::make_unique<TimerEventInfo>();
  }
  auto event = std::make_unique<TimerCallbackEvent>(&callbackProp_, object_, info.release(),
                                                    wrapperFcn_, facts_, this);
  event->withdrawWhen(&stopRequest());
  event.release()->serviceEvent(false);  // the event service owns it from here
}

}  // namespace zelobjsys
