// The queue behind the event service: events in the order they are to run,
// their index by coalescing key, and the inbox that device threads hand to.
#ifndef ZELHOST_SRC_EVENT_QUEUE_H
#define ZELHOST_SRC_EVENT_QUEUE_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "zelhost/events/events.h"

namespace zelutil {
namespace eventqueue {

// What stop() takes off the queue; deleted by the caller without the lock.
using Dropped = std::vector<std::unique_ptr<IEvent>>;

// False when the queue already takes events.
bool start();
// False when it did not; otherwise every queued event goes to dropped.
bool stop(Dropped& dropped);
bool isRunning();
std::size_t size();

// The arrival number of the newest event handed over (0: none yet).
std::uint64_t newestArrival();

// Queues event (owned) behind every other; false, with the event deleted,
// when the queue does not take events or *withdrawn (when given) is set.
// Takes only the inbox's lock: a device thread never waits for the host
// thread's work on the queue.
bool append(std::unique_ptr<IEvent> event, CoalesceKey key, const std::atomic<bool>* withdrawn);

// As append, but coalesces event with the first queued event that match
// accepts (merge, when given, folds it in; event is deleted) or queues it in
// front of every other (runFirst) or behind. True when queued.
bool place(std::unique_ptr<IEvent> event, CoalesceKey key, const std::atomic<bool>* withdrawn,
           bool runFirst, IMatchEventFcn* match, IMergeEventInfoFcn* merge);

// Takes the first queued event, in queue order, that arrived no later than arrival.
std::unique_ptr<IEvent> takeUpTo(std::uint64_t arrival);

// Takes every queued event that match accepts, in queue order.
std::vector<std::unique_ptr<IEvent>> takeMatching(IMatchEventFcn* match);

}  // namespace eventqueue
}  // namespace zelutil

#endif  // ZELHOST_SRC_EVENT_QUEUE_H
