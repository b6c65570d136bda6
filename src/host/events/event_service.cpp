// The event service: the process-wide queue of host events, with coalescing, flushing and running.
#include "zelhost/events/events.h"

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "zelhost/services/services.h"

namespace zelutil {

namespace {

struct Entry;
using Queue = std::list<Entry>;

struct Entry {
  std::unique_ptr<IEvent> event;
  std::uint64_t seq;  // arrival order, bounds what one processEvents runs
  CoalesceKey key;    // cached: asked once, on the handing thread
  // The queued events of the same key, in queue order (keyed entries only;
  // queue end: none).
  Queue::iterator prevSameKey;
  Queue::iterator nextSameKey;
};

struct KeyHash {
  std::size_t operator()(const CoalesceKey& k) const {
    const std::size_t h = std::hash<const void*>()(k.owner);
    return h ^ (std::hash<std::string>()(k.name) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
  }
};

// The first and last queued event of one key; the entries link the rest.
struct Chain {
  Queue::iterator first;
  Queue::iterator last;
};

// Everything below is guarded by mutex. Events are never run or deleted while
// it is held: their code may hand over or flush events itself.
struct State {
  std::mutex mutex;
  bool running = false;
  Queue queue;
  // Queued keyed events by key: a match looks at its own key's events only,
  // however many others wait.
  std::unordered_map<CoalesceKey, Chain, KeyHash> index;
  std::uint64_t nextSeq = 1;
  HoxEventProcessor previousProcessor;
};

// Never destroyed: timer threads may still hand events over while the process
// exits, and queued events must not be deleted after the host is gone.
State& state() {
  static State* s = new State;
  return *s;
}

void insertLocked(State& s, std::unique_ptr<IEvent> event, CoalesceKey key, bool runFirst) {
  const bool keyed = key.isSet();
  const Queue::iterator none = s.queue.end();
  Entry entry{std::move(event), s.nextSeq++, std::move(key), none, none};
  Queue::iterator it = s.queue.insert(runFirst ? s.queue.begin() : s.queue.end(), std::move(entry));
  if (!keyed) return;
  auto [found, isNew] = s.index.try_emplace(it->key, Chain{it, it});
  if (isNew) return;
  Chain& chain = found->second;
  if (runFirst) {
    it->nextSameKey = chain.first;
    chain.first->prevSameKey = it;
    chain.first = it;
  } else {
    it->prevSameKey = chain.last;
    chain.last->nextSameKey = it;
    chain.last = it;
  }
}

std::unique_ptr<IEvent> removeLocked(State& s, Queue::iterator it) {
  if (it->key.isSet()) {
    const Queue::iterator none = s.queue.end();
    auto found = s.index.find(it->key);
    if (found != s.index.end()) {
      Chain& chain = found->second;
      if (it->prevSameKey != none) it->prevSameKey->nextSameKey = it->nextSameKey;
      if (it->nextSameKey != none) it->nextSameKey->prevSameKey = it->prevSameKey;
      if (chain.first == it) chain.first = it->nextSameKey;
      if (chain.last == it) chain.last = it->prevSameKey;
      if (chain.first == none) s.index.erase(found);
    }
  }
  std::unique_ptr<IEvent> event = std::move(it->event);
  s.queue.erase(it);
  return event;
}

// The first queued event, in queue order, that match accepts; null if none.
IEvent* findMatchLocked(State& s, const CoalesceKey& key, IMatchEventFcn* match) {
  if (key.isSet()) {
    auto found = s.index.find(key);
    if (found == s.index.end()) return nullptr;
    for (Queue::iterator it = found->second.first; it != s.queue.end(); it = it->nextSameKey) {
      if (match->matches(it->event.get())) return it->event.get();
    }
    return nullptr;
  }
  for (Entry& entry : s.queue) {
    if (match->matches(entry.event.get())) return entry.event.get();
  }
  return nullptr;
}

// Takes the first queued event that arrived no later than bound.
std::unique_ptr<IEvent> popUpTo(std::uint64_t bound) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.running) return nullptr;
  for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
    if (it->seq <= bound) return removeLocked(s, it);
  }
  return nullptr;
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
  State& s = state();
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.running) return;
    s.running = true;
  }
  HoxEventProcessor previous = hoxSetEventProcessor([] { processEvents(); });
  std::lock_guard<std::mutex> lock(s.mutex);
  s.previousProcessor = std::move(previous);
}

void EventService::stop() {
  State& s = state();
  Queue doomed;  // deleted after the lock is released
  HoxEventProcessor previous;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.running) return;
    s.running = false;
    doomed.swap(s.queue);
    s.index.clear();
    previous = std::move(s.previousProcessor);
    s.previousProcessor = nullptr;
  }
  hoxSetEventProcessor(std::move(previous));
}

bool EventService::isRunning() {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.running;
}

std::size_t EventService::queuedCount() {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.queue.size();
}

std::size_t EventService::processEvents() {
  std::uint64_t bound = 0;
  {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    bound = s.nextSeq - 1;
  }
  std::size_t ran = 0;
  while (std::unique_ptr<IEvent> event = popUpTo(bound)) {
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
  CoalesceKey key = event->getCoalesceKey();
  std::unique_ptr<IEvent> doomed;  // deleted after the lock is released
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  // The service already owns it (queued, or running and about to be deleted):
  // taking it again would delete it twice.
  if (event->handedOver_) return false;
  event->handedOver_ = true;
  if (!s.running || (event->withdrawn_ != nullptr && event->withdrawn_->load())) {
    doomed.reset(event);
    return false;
  }
  if (match != nullptr) {
    if (IEvent* target = findMatchLocked(s, key, match)) {
      if (merge != nullptr) merge->merge(target->info_, event->info_);
      doomed.reset(event);
      return false;
    }
  }
  insertLocked(s, std::unique_ptr<IEvent>(event), std::move(key), runFirst);
  return true;
}

void EventService::flush(IMatchEventFcn* match, bool runFlushed) {
  if (match == nullptr) return;
  std::vector<std::unique_ptr<IEvent>> flushed;
  {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (auto it = s.queue.begin(); it != s.queue.end();) {
      auto next = std::next(it);
      if (match->matches(it->event.get())) flushed.push_back(removeLocked(s, it));
      it = next;
    }
  }
  if (!runFlushed) return;
  for (auto& event : flushed) {
    if (event->isExecutable()) event->execute();
    event.reset();
  }
}

}  // namespace zelutil
