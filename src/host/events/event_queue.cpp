// The queue behind the event service.
//
// Events handed over to run in turn (no coalescing, no place at the front) go
// to an inbox under a lock of its own. The host thread moves the inbox into
// the queue when it has run everything before it, and coalescing, flushing
// and stopping move it first, so every operation sees the one order the
// events arrived in: the queue, then the inbox. A device thread handing over
// and the host thread running events thus take different locks, and the host
// thread takes the inbox's once per batch.
#include "event_queue.h"

#include <functional>
#include <iterator>
#include <list>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "node_pool.h"

namespace zelutil {
namespace eventqueue {

namespace {

struct Entry;
using Queue = std::list<Entry, PooledAllocator<Entry>>;

struct Entry {
  std::unique_ptr<IEvent> event;
  std::uint64_t arrival;  // bounds what one processEvents runs
  CoalesceKey key;        // cached: asked once, on the handing thread
  // The queued events of the same key, in queue order (keyed entries in the
  // queue only; queue end: none).
  Queue::iterator prevSameKey{};
  Queue::iterator nextSameKey{};
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

// Events are never run or deleted while a lock is held: their code may hand
// over or flush events itself. Lock order: mutex, then inboxMutex.
struct State {
  std::mutex mutex;  // guards everything but the inbox
  Queue queue;
  // Queued keyed events by key: a match looks at its own key's events only,
  // however many others wait.
  std::unordered_map<CoalesceKey, Chain, KeyHash, std::equal_to<CoalesceKey>,
                     PooledAllocator<std::pair<const CoalesceKey, Chain>>>
      index;
  std::vector<Entry> moving;  // the inbox being moved in; empty between moves

  std::mutex inboxMutex;  // guards running (written under both), inbox and the arrivals
  bool running = false;
  std::vector<Entry> inbox;
  std::atomic<std::uint64_t> lastArrival{0};
};

// Never destroyed: timer threads may still hand events over while the process
// exits, and queued events must not be deleted after the host is gone.
State& state() {
  static State* s = new State;
  return *s;
}

// An inbox that a burst made large is not kept at that size.
constexpr std::size_t kInboxKept = 4096;

bool refuses(const State& s, const std::atomic<bool>* withdrawn) {
  return !s.running || (withdrawn != nullptr && withdrawn->load());
}

void insertLocked(State& s, Entry entry, bool runFirst) {
  const bool keyed = entry.key.isSet();
  const Queue::iterator none = s.queue.end();
  entry.prevSameKey = none;
  entry.nextSameKey = none;
  Queue::iterator it = s.queue.insert(runFirst ? s.queue.begin() : none, std::move(entry));
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

// Moves the inbox behind the queue; under mutex.
void moveInboxLocked(State& s) {
  {
    std::lock_guard<std::mutex> inboxLock(s.inboxMutex);
    if (s.inbox.empty()) return;
    s.inbox.swap(s.moving);
  }
  for (Entry& entry : s.moving) insertLocked(s, std::move(entry), false);
  s.moving.clear();
  if (s.moving.capacity() > kInboxKept) std::vector<Entry>().swap(s.moving);
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

Queue::iterator firstUpTo(State& s, std::uint64_t arrival) {
  auto it = s.queue.begin();
  while (it != s.queue.end() && it->arrival > arrival) ++it;
  return it;
}

}  // namespace

bool start() {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  std::lock_guard<std::mutex> inboxLock(s.inboxMutex);
  if (s.running) return false;
  s.running = true;
  return true;
}

bool stop(Dropped& dropped) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  std::lock_guard<std::mutex> inboxLock(s.inboxMutex);
  if (!s.running) return false;
  s.running = false;
  dropped.reserve(s.queue.size() + s.inbox.size());
  for (Entry& entry : s.queue) dropped.push_back(std::move(entry.event));
  for (Entry& entry : s.inbox) dropped.push_back(std::move(entry.event));
  // The nodes go back to their pool under the lock that guards it.
  s.queue.clear();
  s.index.clear();
  s.inbox.clear();
  return true;
}

bool isRunning() {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.inboxMutex);
  return s.running;
}

std::size_t size() {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  std::lock_guard<std::mutex> inboxLock(s.inboxMutex);
  return s.queue.size() + s.inbox.size();
}

std::uint64_t newestArrival() { return state().lastArrival.load(); }

bool append(std::unique_ptr<IEvent> event, CoalesceKey key, const std::atomic<bool>* withdrawn) {
  State& s = state();
  std::lock_guard<std::mutex> inboxLock(s.inboxMutex);
  if (refuses(s, withdrawn)) return false;  // the event goes once the lock is released
  // Numbered under the inbox's lock, so that the inbox is in arrival order.
  const std::uint64_t arrival = s.lastArrival.fetch_add(1) + 1;
  s.inbox.push_back(Entry{std::move(event), arrival, std::move(key)});
  return true;
}

bool place(std::unique_ptr<IEvent> event, CoalesceKey key, const std::atomic<bool>* withdrawn,
           bool runFirst, IMatchEventFcn* match, IMergeEventInfoFcn* merge) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  // running is written under both locks, so either reads it.
  if (refuses(s, withdrawn)) return false;
  if (match != nullptr) {
    moveInboxLocked(s);
    if (IEvent* target = findMatchLocked(s, key, match)) {
      if (merge != nullptr) merge->merge(target->getEventInfo(), event->getEventInfo());
      return false;
    }
  }
  const std::uint64_t arrival = s.lastArrival.fetch_add(1) + 1;
  insertLocked(s, Entry{std::move(event), arrival, std::move(key)}, runFirst);
  return true;
}

std::unique_ptr<IEvent> takeUpTo(std::uint64_t arrival) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.running) return nullptr;
  Queue::iterator it = firstUpTo(s, arrival);
  if (it == s.queue.end()) {
    // Only what waits in the inbox is left to look at.
    moveInboxLocked(s);
    it = firstUpTo(s, arrival);
  }
  return it == s.queue.end() ? nullptr : removeLocked(s, it);
}

std::vector<std::unique_ptr<IEvent>> takeMatching(IMatchEventFcn* match) {
  std::vector<std::unique_ptr<IEvent>> taken;
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  moveInboxLocked(s);
  for (auto it = s.queue.begin(); it != s.queue.end();) {
    auto next = std::next(it);
    if (match->matches(it->event.get())) taken.push_back(removeLocked(s, it));
    it = next;
  }
  return taken;
}

}  // namespace eventqueue
}  // namespace zelutil
