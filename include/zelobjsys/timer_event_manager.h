// TimerEventManager: runs an object's timer callback once per period as queued host events;
// TimerCallbackEvent: one such run.
#ifndef ZELOBJSYS_TIMER_EVENT_MANAGER_H
#define ZELOBJSYS_TIMER_EVENT_MANAGER_H

#include <atomic>
#include <memory>
#include <string>

#include "zelhost/events/timer_thread.h"
#include "zelobjsys/hcallback_event.h"
#include "zelobjsys/hcallback_event_info.h"

namespace zelobjsys {

class KTIPropSetListener;
class TimerEventManagerTestPeer;

// One tick of a timer: a callback event that can be disabled and coalesces
// with a queued tick of the same object and property. Same ownership and
// threads as HCallbackEvent.
class TimerCallbackEvent : public HCallbackEvent {
 public:
  // Takes ownership of info (may be null).
  TimerCallbackEvent(Property* prop, QxInterface* object, TimerEventInfo* info,
                     const std::string& wrapperFcn);
  // As above, with the property facts copied beforehand and the manager that
  // made the event (borrowed; only compared, never called).
  TimerCallbackEvent(Property* prop, QxInterface* object, TimerEventInfo* info,
                     const std::string& wrapperFcn, PropertyFacts facts, const void* source);

  // The manager that made the event, or null.
  const void* getSource() const { return source_; }

 private:
  const void* source_ = nullptr;
};

// Runs the timer callback of one object: a thread of its own wakes once per
// period and hands a TimerCallbackEvent to the event service, which runs it on
// the host thread. The period follows the period property (a listener added
// to it retunes the running timer). A tick that starts later than the maximum
// execution delay (twice the period) is dropped, so a stalled host does not
// get a burst of stale ticks.
//
// Ownership: the optional timer record is owned and deleted with the manager;
// the properties and the object are borrowed. Destroy the manager before the
// object's properties: its destructor stops the thread, flushes the object's
// queued ticks and takes its listener out of the period property. start, stop
// and the destructor belong to the host thread; the ticks run on the timer
// thread and share only the maximum delay (atomic) and the period (atomic in
// the thread) with it.
class TimerEventManager : private zelutil::TimerThread {
 public:
  // timerInfo (may be null) is taken over: every tick then delivers its data.
  // A period property without a value gets its factory default first.
  TimerEventManager(Property& callbackProp, Property& periodProp, QxInterface* object,
                    const std::string& wrapperFcn, TimerEventInfo* timerInfo);
  ~TimerEventManager() override;
  TimerEventManager(const TimerEventManager&) = delete;
  TimerEventManager& operator=(const TimerEventManager&) = delete;

  void start();
  // Asks the thread to stop and removes the queued ticks of the object's
  // callback property, so that none runs after this returns. It waits for a
  // tick being handed over, never for the thread to end: with many busy timers
  // the scheduler may take long to get to it. start() or the destructor joins
  // it.
  void stop();

  using zelutil::TimerThread::getPeriod;
  using zelutil::TimerThread::isRunning;

 private:
  class TimerPeriodListener;
  // What the listener reaches the manager through; cleared when the manager
  // goes, so that a listener that outlives it (moved to another property by a
  // listener swap) does nothing.
  struct Link {
    std::atomic<TimerEventManager*> manager{nullptr};
  };
  friend class TimerEventManagerTestPeer;  // unit tests

  void setPeriod(double period);
  double getMaxExecutionDelay() const { return maxExecutionDelay_.load(); }
  void setMaxExecutionDelay(double seconds) { maxExecutionDelay_.store(seconds); }
  void retune();
  void flushQueuedTicks() const;
  void execute() override;

  Property& callbackProp_;
  Property& periodProp_;
  QxInterface* object_;
  // Keeps the object's handle readable for the manager's life, so that ticks
  // still queued while the object is destroyed see it as such.
  std::unique_ptr<QxInterface> objectRef_;
  std::string wrapperFcn_;
  std::unique_ptr<TimerEventInfo> timerInfo_;
  HCallbackEvent::PropertyFacts facts_;
  std::atomic<double> maxExecutionDelay_{1.0};
  std::shared_ptr<Link> link_;
  const KTIPropSetListener* listener_ = nullptr;  // owned by the period property
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_TIMER_EVENT_MANAGER_H
