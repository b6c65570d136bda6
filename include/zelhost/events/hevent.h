// Host-side events: HEventInfo, the record that builds a callback's event structure, and
// HEventManager.
#ifndef ZELHOST_HEVENT_H
#define ZELHOST_HEVENT_H

#include <string>

#include "zelhost/events/events.h"
#include "zelhost/values/hv_array.h"

// The information of an event whose callback runs in the host. It builds the
// event structure that a callback receives as its event argument:
//
//   a 1x1 structure with two fields, in this order,
//     Type  the type text given to the constructor (a char row)
//     Data  the value of createHvEventData() (a structure; an empty 1x1
//           structure with no fields when a subclass gives none)
//
// Subclasses override createHvEventData to supply the data. Owned by the event
// it is given to; built and read on the host thread, created on any thread.
class HEventInfo : public zelutil::IEventInfo {
 public:
  // A null type is the empty text. isError marks a record that reports a
  // failure (error records set it, timer records do not); it does not change
  // the structure.
  HEventInfo(const char* type, bool isError);
  ~HEventInfo() override;

  // The event's data; the caller owns the result. The default is an empty 1x1
  // structure with no fields.
  virtual hvArray* createHvEventData() const;

  // The event structure described above; the caller owns the result.
  hvArray* createPulvraStructure() const;

  const std::string& getType() const { return type_; }
  bool isErrorEvent() const { return isError_; }

 private:
  std::string type_;
  bool isError_;
};

// Ties the life of the event service to the application that needs it: the
// first createInstance starts the service, destroyInstance stops it (queued
// events are deleted without running). Host thread only.
class HEventManager {
 public:
  // Creates the manager and starts the service; returns the existing manager
  // when there is one.
  static HEventManager* createInstance();
  // Stops the service and deletes the manager; nothing happens without one.
  static void destroyInstance();
  // The manager, or null when none was created.
  static HEventManager* getInstance();

  HEventManager(const HEventManager&) = delete;
  HEventManager& operator=(const HEventManager&) = delete;

 private:
  HEventManager();
  ~HEventManager();
};

#endif  // ZELHOST_HEVENT_H
