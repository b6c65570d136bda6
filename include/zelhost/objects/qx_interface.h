// Host objects: object handles (QxInterface), the database tree, iterators and the property access
// road.
#ifndef ZELHOST_QX_INTERFACE_H
#define ZELHOST_QX_INTERFACE_H

#include "zelhost/values/hv_array.h"

class QxClass;
class QxPropInfoTemplate;
using QxPropInfo = QxPropInfoTemplate;
class QxObjectCore;

// The client on whose behalf the host acts; the library only ever passes the
// internal client.
class QxDatabaseClient {
 public:
  static QxDatabaseClient* getInternalClient();
};

// Lifecycle states of an object (a 3-bit field): 2 or higher means that its
// destruction has begun.
enum QxLifecycleState {
  kLifecycleAlive = 0,
  kLifecycleConstructed = 1,
  kLifecycleBeingDestroyed = 2,
  kLifecycleDestroyed = 3,
};

// A handle to a host object. Every object has one canonical handle, owned by
// the object's record and valid as long as anything refers to the record
// (host values, reference handles, the database tree). getReference() makes an
// extra handle that the caller deletes with operator delete; deleting a handle
// never destroys the object — destroy() does.
//
// A host object has: an own part (an untyped pointer, see getObject), a class,
// instance properties, a place in the database tree (a parent and an ordered
// list of children) and a lifecycle state. Classes, applications, property
// descriptors and device objects are all host objects. Host thread only.
class QxInterface {
 public:
  virtual ~QxInterface();
  QxInterface(const QxInterface&) = delete;
  QxInterface& operator=(const QxInterface&) = delete;

  // The own part: for a device object what its class's createClassSpecificObject
  // returned; for a descriptor's host object the QxPropInfo; for a class's host
  // object the QxClass; for an application's host object the QxApplication.
  // Null once the object is destroyed.
  void* getObject() const;

  QxClass* getDatabaseClass() const;
  void setDatabaseClass(QxClass* cls);

  // Database tree. addBelow links this object as the last child of parent
  // (unlinking it from any former parent). The objects that destroy() refuses
  // cannot be moved either, and nothing is placed in a list of descriptors
  // or classes: "PULVRA:object:notMovable".
  void addBelow(QxInterface* parent);
  QxInterface* getFirstDown() const;
  QxInterface* getNext() const;
  QxInterface* getUp() const;

  QxInterface* getReference() const;  // caller deletes
  QxInterface* getCanonical() const;  // borrowed

  // Destroys the object: state becomes 2, the class releases the own part,
  // instance properties and children are destroyed, the object leaves the
  // tree, and the state becomes 3. A second destroy does nothing. Host
  // exceptions raised by the class while releasing pass to the caller (the
  // object is destroyed all the same).
  // Objects that belong to another record are refused with the host error
  // "PULVRA:object:notDeletable", changing nothing: the descriptor object of
  // a property added to a class or object (it goes with its class, or
  // through the object's removeInstanceProperty) and the host's own objects
  // of classes and applications.
  void destroy(QxDatabaseClient* client);
  int getLifecycleState() const;  // 0..7
  bool isValid() const;           // state below 2

  // Instance properties. The object takes the descriptor (its host object is
  // linked into the object's instance property list).
  void addInstanceProperty(QxPropInfo* prop);
  // The object releases one of its instance properties (a host object that
  // getInstanceProperty or getInstanceProperties gave): it is destroyed and
  // its descriptor freed, as destroy() does, and true is returned. Anything
  // else changes nothing and gives false.
  bool removeInstanceProperty(QxInterface* property);
  QxInterface* getInstanceProperty(const char* name) const;  // exact name; host object
  QxInterface* getInstanceProperties() const;                // first host object, or null

  // Finds a class or instance property: exact name, else ignoring case, else a
  // unique abbreviation ignoring case. Throws AmbiguousPropertyException* when
  // several fit; null when none. Returns the descriptor's host object.
  QxInterface* getProperty(const char* name, bool quiet = false) const;

  // The user's access (steps: lookup, access check, conversion, type check,
  // the descriptor's value operation). Every exception on the way is handed to
  // the class's filterPropAccessException, and what it returns is thrown
  // (by pointer). getPropertyValue returns a new host value (caller frees).
  hvArray* getPropertyValue(const char* name);
  void setPropertyValue(const char* name, const hvArray* value);

 protected:
  explicit QxInterface(QxObjectCore* core, bool counted);

 private:
  friend class QxObjectCore;
  QxObjectCore* core_;
  bool counted_;  // a reference handle holds a count on the record
};

// Creates a plain host object (no class) — the host uses it for lists,
// descriptors and applications; tests use it as a bare object. Returns the
// canonical handle; the object lives until destroyed (or the host shuts down).
QxInterface* hoxCreateObject(QxClass* cls, void* ownPart);

// Walks the siblings of the level: start, then start->getNext(), ... A null
// start gives nothing. The flag (depth) is kept for callers and ignored.
class QxBreadthOnlyIterator {
 public:
  QxBreadthOnlyIterator(QxInterface* start, bool depth);
  bool hasMoreElements() const;
  QxInterface* nextElement();

 private:
  QxInterface* next_;
};

#endif  // ZELHOST_QX_INTERFACE_H
