// The event service: the process-wide queue of host events, with coalescing, flushing and running.
#include "zelhost/events/events.h"

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "event_queue.h"
#include "zelhost/services/services.h"

namespace zelutil {

namespace {

// The host's event processor before the service's own, put back by stop().
// Never destroyed, like the queue: a stop may come from a static destructor.
struct Displaced {
  std::mutex mutex;
  HoxEventProcessor processor;
};

Displaced& displaced() {
  static Displaced* d = new Displaced;
  return *d;
}

}  // namespace

// ---------------------------------------------------------------- interfaces

IEventInfo::~IEventInfo() = default;

IMatchEventFcn::~IMatchEventFcn() = default;
IMergeEventInfoFcn::~IMergeEventInfoFcn() = default;

EventThread::~EventThread() = default;

bool EventThread::post(IEvent* event) { return event != nullptr && event->serviceEvent(false); }

// ---------------------------------------------------------------- IEvent

IEvent::IEvent(IEventInfo* info) : info_(info) {}

IEvent::~IEvent() { delete info_; }

bool IEvent::isExecutable() const { return true; }

bool IEvent::serviceEvent(bool runFirst) {
  return serviceOrCoalesceEvent(runFirst, nullptr, nullptr);
}

bool IEvent::postEvent(EventThread* thread) {
  if (thread == nullptr) return serviceEvent(false);
  return thread->post(this);
}

CoalesceKey IEvent::getCoalesceKey() const { return CoalesceKey(); }

bool IEvent::serviceOrCoalesceEvent(bool runFirst, IMatchEventFcn* match,
                                    IMergeEventInfoFcn* merge) {
  return EventService::hand(this, runFirst, match, merge);
}

void IEvent::flushEvents(IMatchEventFcn* match, bool runFlushed) {
  EventService::flush(match, runFlushed);
}

// ---------------------------------------------------------------- EventService

void EventService::start() {
  if (!eventqueue::start()) return;
  HoxEventProcessor previous = hoxSetEventProcessor([] { processEvents(); });
  Displaced& d = displaced();
  std::lock_guard<std::mutex> lock(d.mutex);
  d.processor = std::move(previous);
}

void EventService::stop() {
  eventqueue::Dropped dropped;  // deleted after the queue's locks are released
  if (!eventqueue::stop(dropped)) return;
  HoxEventProcessor previous;
  {
    Displaced& d = displaced();
    std::lock_guard<std::mutex> lock(d.mutex);
    previous = std::move(d.processor);
    d.processor = nullptr;
  }
  hoxSetEventProcessor(std::move(previous));
}

bool EventService::isRunning() { return eventqueue::isRunning(); }

std::size_t EventService::queuedCount() { return eventqueue::size(); }

std::size_t EventService::processEvents() {
  // Events handed over while these run wait for the next call.
  const std::uint64_t bound = eventqueue::newestArrival();
  std::size_t ran = 0;
  while (std::unique_ptr<IEvent> event = eventqueue::takeUpTo(bound)) {
    if (event->isExecutable()) {
      event->execute();
      ++ran;
    }
  }
  return ran;
}

bool EventService::hand(IEvent* event, bool runFirst, IMatchEventFcn* match,
                        IMergeEventInfoFcn* merge) {
  if (event == nullptr) return false;
  // The service already owns it (queued, or running and about to be deleted):
  // taking it again would delete it twice.
  if (event->handedOver_.exchange(true)) return false;
  std::unique_ptr<IEvent> owned(event);
  CoalesceKey key = event->getCoalesceKey();
  if (match == nullptr && !runFirst)
    return eventqueue::append(std::move(owned), std::move(key), event->withdrawn_);
  return eventqueue::place(std::move(owned), std::move(key), event->withdrawn_, runFirst, match,
                           merge);
}

void EventService::flush(IMatchEventFcn* match, bool runFlushed) {
  if (match == nullptr) return;
  std::vector<std::unique_ptr<IEvent>> flushed = eventqueue::takeMatching(match);
  if (!runFlushed) return;
  for (auto& event : flushed) {
    if (event->isExecutable()) event->execute();
    event.reset();
  }
}

}  // namespace zelutil
