// zelobjsys::fcns: conversions between host objects and host values, a property's definition
// record, and a wait that keeps the host processing events.
#ifndef ZELOBJSYS_FCNS_H
#define ZELOBJSYS_FCNS_H

#include <vector>

#include "zelhost/events/timer_thread.h"
#include "zelhost/values/hv_array.h"

class QxInterface;
class Vector;

namespace zelobjsys {

class PropInfo;

namespace fcns {

// The result of waitAndProcessEvents.
enum WaitStatus {
  WaitComplete = 0,       // the completion test answered true
  WaitTimedOut = 1,       // the timeout passed first
  WaitInterrupted = 2,    // the user interrupted the host (the interrupt is consumed)
  WaitObjectDeleted = 3,  // the object given to the wait is being destroyed
};

// The condition a wait polls; products implement it. Asked on the host thread
// with the seconds elapsed since the wait began.
class IWaitCompleteFcn {
 public:
  virtual ~IWaitCompleteFcn() = default;
  virtual bool isComplete(double elapsedSeconds) const = 0;
};

// Complete when the event is signalled, waiting up to 1 ms for it at each
// poll; a signal of an auto-reset event is consumed by the wait that sees it.
// The event is borrowed and may be set from any thread.
class WaitForEventFcn : public IWaitCompleteFcn {
 public:
  explicit WaitForEventFcn(zelutil::Event* event) : event_(event) {}
  // False for a null event. A Boost thread interruption passes to the caller.
  bool isComplete(double elapsedSeconds) const override;

 private:
  zelutil::Event* event_;
};

// Host values of objects. Handles are borrowed, never owned; every "new"
// result is the caller's. Host thread only.

// A new 1x1 function handle to the named function (an empty handle for null).
hvArray* createFunctionHandle(const char* functionName);
// A new host value of the object (an empty handle array for null).
hvArray* createHandle(QxInterface* object);
// The object a host value refers to; throws the host's exception (by pointer)
// for a value that is no scalar handle of a live object.
QxInterface* getQxInterface(const hvArray* value);
// A new Vector of the handles in order (caller deletes), or null for none.
Vector* createHandleVector(const std::vector<QxInterface*>& objects);
// A new host value of the list (an empty handle array for none).
hvArray* createHandles(const std::vector<QxInterface*>& objects);
// The objects a host value refers to, in order; throws the host's exception
// (by pointer) for a value that is no array of live object handles.
std::vector<QxInterface*> getQxInterfaces(const hvArray* value);
// The elements of a Vector in order; empty for null.
std::vector<QxInterface*> getQxInterfaces(const Vector* objects);

// The definition record of a property of the object (name found as the host
// finds it: exact, ignoring case, or a unique abbreviation); null for a null
// object or name, an unknown name, or a plain host property. An ambiguous
// abbreviation passes the host's AmbiguousPropertyException* to the caller.
PropInfo* getPropInfo(QxInterface* object, const char* propName);

// Waits on the host thread until complete answers true, the timeout (seconds;
// NaN never times out) passes, the user interrupts, or the object (null: none)
// is being destroyed; between polls (1 ms apart) the host processes its
// events through "drawnow", whose errors end the wait and pass to the caller.
// At one poll the destruction of the object is seen first, then an interrupt,
// then completion, which is asked once more after the timeout.
WaitStatus waitAndProcessEvents(const IWaitCompleteFcn& complete, double timeoutSeconds,
                                const QxInterface* object);
// The same, complete when the event is signalled.
WaitStatus waitAndProcessEvents(zelutil::Event& event, double timeoutSeconds,
                                const QxInterface* object);

}  // namespace fcns
}  // namespace zelobjsys

#endif  // ZELOBJSYS_FCNS_H
