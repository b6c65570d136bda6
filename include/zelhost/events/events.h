// Host events: the event and event-information interfaces and the process-wide event service.
#ifndef ZELHOST_EVENTS_H
#define ZELHOST_EVENTS_H

#include <atomic>
#include <cstddef>
#include <string>

// The thread classes (Thread, WorkThread, TimerThread, Event) are part of the
// same toolkit; one include gives all of it.
#include "zelhost/events/timer_thread.h"

namespace zelutil {

class IEvent;

// What an event carries to whoever runs it. Owned by the event it is given to.
class IEventInfo {
 public:
  virtual ~IEventInfo();
};

// Decides whether a queued event is the one a new event coalesces with, or one
// that a flush removes. Called under the event service's lock, on the thread
// that hands over or flushes: it must only read the event it is given and must
// not call back into the event service.
class IMatchEventFcn {
 public:
  virtual ~IMatchEventFcn();
  virtual bool matches(const IEvent* event) const = 0;
};

// Folds the information of a new event into the queued event it coalesces
// with. Same rules as IMatchEventFcn. The library passes none today.
class IMergeEventInfoFcn {
 public:
  virtual ~IMergeEventInfoFcn();
  virtual void merge(IEventInfo* queued, const IEventInfo* incoming) = 0;
};

// The key that lets coalescing look only at related queued events instead of
// scanning the queue. Two keys are equal when both parts are; a null owner
// means "no key".
struct CoalesceKey {
  const void* owner = nullptr;
  std::string name;

  bool isSet() const { return owner != nullptr; }
  bool operator==(const CoalesceKey& other) const {
    return owner == other.owner && name == other.name;
  }
};

class EventThread;

// One pending piece of work for the host thread. Created on any thread, handed
// over once (serviceEvent or postEvent); from then on the event service owns
// it, runs it at most once on the host thread and deletes it. The caller never
// deletes an event it handed over, whatever the result of the hand-over.
// The event owns its information record and deletes it with itself.
class IEvent {
 public:
  // Takes ownership of info (may be null).
  explicit IEvent(IEventInfo* info);
  IEvent(const IEvent&) = delete;
  IEvent& operator=(const IEvent&) = delete;
  virtual ~IEvent();

  // Asked on the host thread just before the event would run; false skips it
  // (it is deleted all the same). The default is true.
  virtual bool isExecutable() const;

  // Hands the event to the event service. runFirst puts it ahead of every
  // queued event instead of behind them (an urgent event); it still waits for
  // the next processEvents. Returns true when the event was queued, false when
  // it was coalesced into a queued event or the service is not running (the
  // event is then already deleted). The default neither coalesces nor merges.
  virtual bool serviceEvent(bool runFirst);

  // Hands the event to an event thread; a null thread means the event
  // service. Returns what the hand-over returned; the event is handed over
  // either way.
  virtual bool postEvent(EventThread* thread);

  // The record given to the constructor (borrowed), or null.
  IEventInfo* getEventInfo() const { return info_; }

  // Makes the coming hand-over conditional: when *withdrawn is true at the
  // moment the service takes the event, the event is deleted instead of
  // queued or coalesced (the hand-over returns false). A producer that sets
  // the flag and then flushes its events catches every one that got through,
  // as both take the service's lock, so it need not wait for a hand-over in
  // flight on another thread. The flag must outlive the hand-over; null (the
  // default) hands over unconditionally.
  void withdrawWhen(const std::atomic<bool>* withdrawn) { withdrawn_ = withdrawn; }

  // Removes the queued events that match accepts and deletes them; with
  // runFlushed they run first (when executable), on the calling thread, in
  // queue order. A null match removes nothing. Safe from any thread, but
  // runFlushed belongs on the host thread.
  static void flushEvents(IMatchEventFcn* match, bool runFlushed);

 protected:
  // Runs the event on the host thread; true on success.
  virtual bool execute() = 0;

  // The key under which this event may coalesce; the default has none. An
  // event that gives a key promises that its match function accepts only
  // queued events with the same key, so that the service asks the match
  // function only about those (a queue of unrelated events then costs
  // nothing). Without a key the whole queue is scanned.
  virtual CoalesceKey getCoalesceKey() const;

  // Queues the event, or, when match accepts a queued event, coalesces with the
  // first such event in queue order: merge (if any) folds this event's record
  // into the queued one's, and this event is deleted. True when queued; false
  // when coalesced or when the service is not running (deleted at once). A
  // null match never coalesces. Do not touch the event after this returns.
  bool serviceOrCoalesceEvent(bool runFirst, IMatchEventFcn* match, IMergeEventInfoFcn* merge);

 private:
  friend class EventService;
  IEventInfo* info_;
  // Set when the service takes the event; a second hand-over is refused.
  std::atomic<bool> handedOver_{false};
  const std::atomic<bool>* withdrawn_ = nullptr;
};

// A target that events can be posted to. The base hands them to the event
// service; kept as a seam for hosts with more than one event loop.
class EventThread {
 public:
  virtual ~EventThread();
  // Takes the event (null is ignored and gives false); returns as serviceEvent.
  virtual bool post(IEvent* event);
};

// The process-wide event queue: the one place in the host layer with a lock.
// Any thread may hand events over; the host thread runs them with
// processEvents (which "drawnow" calls while the service runs). The service
// owns every queued event.
class EventService {
 public:
  // Starts accepting events and installs processEvents as the host's event
  // processor. Starting a running service does nothing.
  static void start();
  // Stops accepting events, restores the previous event processor and deletes
  // the queued events without running them. Stopping a stopped service does
  // nothing.
  static void stop();
  static bool isRunning();

  // Runs, on the calling (host) thread, the events that were queued when the
  // call began, one at a time and in queue order; events handed over during
  // the call wait for the next call, so an event that queues a successor
  // cannot keep the host busy forever. Safe to call again from inside a
  // running event. An exception thrown by an event propagates to the caller
  // after the event was deleted; the rest stay queued. Returns how many ran.
  static std::size_t processEvents();

  // The number of queued events (a snapshot; safe from any thread).
  static std::size_t queuedCount();

 private:
  friend class IEvent;
  static bool hand(IEvent* event, bool runFirst, IMatchEventFcn* match, IMergeEventInfoFcn* merge);
  static void flush(IMatchEventFcn* match, bool runFlushed);
};

}  // namespace zelutil

#endif  // ZELHOST_EVENTS_H
