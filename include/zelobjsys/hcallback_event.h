// HCallbackEvent: one pending run of an object's user callback, with its match function for
// coalescing and flushing.
#ifndef ZELOBJSYS_HCALLBACK_EVENT_H
#define ZELOBJSYS_HCALLBACK_EVENT_H

#include <string>

#include "zelhost/events/events.h"
#include "zelhost/events/hevent.h"

class PulvraConversion;
class QxInterface;

namespace zelobjsys {

class Property;

// One pending run of the callback held by a callback property of an object.
// When the event service runs it (on the host thread), the event turns the
// object into a host value (optionally through a wrapper function), builds the
// event structure from its record and runs the callback with both. A failing
// callback of a disableable event is silenced until the property is set again,
// with a warning that says so.
//
// Ownership: the event owns its record (given to the constructor). The
// property and the object are borrowed: the owner of the object flushes its
// queued events (flushEvents(object, "", false)) before it destroys the
// object's properties. Once handed to serviceEvent the event belongs to the
// event service. Events may be made and handed over on any thread; execute
// runs on the host thread. No locks of its own.
class HCallbackEvent : public zelutil::IEvent {
 public:
  // Selects the queued callback events of one object and property name
  // (ignoring case; an empty name selects all of the object's). A null object
  // selects nothing. Read under the event service's lock.
  class UseHCallbackEventFcn : public zelutil::IMatchEventFcn {
   public:
    UseHCallbackEventFcn(const QxInterface* object, std::string propName);
    bool matches(const zelutil::IEvent* event) const override;

   private:
    const QxInterface* object_;
    std::string propName_;
  };

  // What the event needs to know of its callback property, copied once so
  // that events made on other threads need not read the definition.
  struct PropertyFacts {
    std::string name;
    bool visible = true;
  };

  // Takes ownership of info (may be null). prop and object may be null; a
  // null object is seen by the callback as an empty handle and never
  // coalesces or flushes.
  HCallbackEvent(Property* prop, QxInterface* object, HEventInfo* info,
                 const std::string& wrapperFcn, bool canBeDisabled, bool coalescable);
  ~HCallbackEvent() override;

  // The callback can run now (see the static form) and the object is not
  // being destroyed.
  bool isExecutable() const override;
  // Queues the event, or, when coalescable and an event of the same object
  // and property is queued, merges into it (this one is then deleted).
  bool serviceEvent(bool runFirst) override;

  // Copies the property's name and visibility from its definition again.
  void cacheCallbackPropertyInfo();

  // True when prop holds a callback that can run and is not silenced.
  static bool isExecutable(const Property* prop);
  // The facts an event copies from prop (empty name, visible for null).
  static PropertyFacts factsOf(const Property* prop);
  // Removes the queued callback events of object and propName (ignoring
  // case; empty: all of the object's), running them first with runFlushed.
  static void flushEvents(const QxInterface* object, const std::string& propName, bool runFlushed);

 protected:
  // Same as above, with the property facts already copied (by a caller on
  // the host thread).
  HCallbackEvent(Property* prop, QxInterface* object, HEventInfo* info,
                 const std::string& wrapperFcn, bool canBeDisabled, bool coalescable,
                 PropertyFacts facts);

  // Runs the callback; true when it ran without error. A property that holds
  // no callback runs nothing and gives false, silencing nothing.
  bool execute() override;
  // Object and case-folded name, so that coalescing looks only at queued
  // events of the same callback.
  zelutil::CoalesceKey getCoalesceKey() const override;

  QxInterface* getCallbackObject() const { return object_; }
  HEventInfo* getEventInfo() const;
  std::string getPropName() const { return facts_.name; }
  bool isCallbackObjectValid() const;
  bool isCoalescable() const { return coalescable_; }

 private:
  Property* getCallbackProperty() const { return prop_; }
  bool canBeDisabled() const { return canBeDisabled_; }
  bool isPropVisible() const { return facts_.visible; }
  bool doesCallbackMatch(const QxInterface* object, const std::string& name) const;
  void displayDisableWarning() const;

  // The object's host value, through the wrapper when there is one; null when
  // the wrapper failed (already reported). Caller owns the result.
  hvArray* createObjectValue() const;
  hvArray* callWrapper() const;
  // The event structure the callback receives; the caller owns it.
  hvArray* createEventStructure() const;
  // Runs the property's callback; true when it failed or there was none.
  bool runCallback(const hvArray* objectValue) const;

  // The record IEvent owns, as the type it was given.
  HEventInfo* info_;
  Property* prop_;
  QxInterface* object_;
  std::string wrapperFcn_;
  bool canBeDisabled_;
  bool coalescable_;
  PropertyFacts facts_;
  const PulvraConversion* handleConverter_;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_HCALLBACK_EVENT_H
