// Host classes: names, superclasses, property and method descriptors, object creation, error
// filtering.
#ifndef ZELHOST_QX_CLASS_H
#define ZELHOST_QX_CLASS_H

#include <string>

#include "zelhost/objects/qx_interface.h"

class Exception;
class QxMethodInfo;
class QxMethodSignature;
class QxApplication;

// A host class. Subclasses supply the two yes/no queries and the release of an
// object's own part, and usually createClassSpecificObject. The class owns
// the descriptors and methods added to it (through their host objects); it is
// itself owned by the application it is added to (addLocalClass), or by
// whoever made it until then. Every class has a host object of its own
// (getInterface), whose own part is the class. Host thread only.
class QxClass {
 public:
  QxClass();
  virtual ~QxClass();
  QxClass(const QxClass&) = delete;
  QxClass& operator=(const QxClass&) = delete;

  void setName(const char* name, bool notify = true);
  const char* getName() const;
  void setSuperClass(QxClass* superClass);
  QxClass* getSuperClass() const;
  QxInterface* getInterface() const;      // the class's host object
  QxApplication* getApplication() const;  // null until added to one

  // Takes the descriptor. Throws GenericException* when the class already has
  // a property of exactly that name.
  void addProperty(QxPropInfo* prop);
  // Takes the method; methods of the same name may be added several times.
  void addMethod(QxMethodInfo* method);

  // The first descriptor host object of this class's own properties (walk
  // with QxBreadthOnlyIterator), or null.
  virtual QxInterface* getProperties() const;
  // Own properties, then the superclass's: exact, ignoring case, unique
  // abbreviation; AmbiguousPropertyException* for several, null for none.
  virtual QxInterface* getProperty(const char* name, bool quiet = false) const;
  // The first method of that exact name (own, then the superclass's), or null.
  virtual QxMethodInfo* getMethod(const char* name) const;
  int getNumberOfMethods() const;
  QxMethodInfo* getMethodAt(int i) const;

  // Makes an object of this class: a new host object whose class is this one;
  // its own part is createClassSpecificObject(handle, args, count). A parent
  // handle, when given, receives the object below it. An exception from
  // createClassSpecificObject destroys the half-made object and passes on.
  // Returns the canonical handle.
  QxInterface* createObject(QxDatabaseClient* client, QxInterface* parent, void** args, int count,
                            const QxMethodSignature* signature);

  // While set (the default), the host keeps the class when its application is
  // removed.
  void setKeepFlag(bool keep);
  bool getKeepFlag() const;

  virtual const char* getFullName() const;
  virtual const char* getDescription() const;
  virtual void setDescription(const char* text);

  virtual void* createClassSpecificObject(QxInterface* object, void** args, int count);
  virtual void* createClassSpecificObject(QxInterface* object);
  virtual bool isHandleClass() const = 0;
  virtual bool isAbstractClass() const = 0;
  // Called when an object of this class (or a descriptor's host object whose
  // class this is) is destroyed: frees the object's own part.
  virtual void releaseObjectPart(QxInterface* object) = 0;

  // Every exception of a property get or set on an object of this class
  // passes through here; the result is what the host throws. The host deletes
  // the given exception when a different one is returned. The descriptor may
  // be null. Default: the given exception.
  virtual Exception* filterPropAccessException(Exception* e, QxInterface* object, QxPropInfo* prop,
                                               const char* name);

 private:
  friend class QxApplication;
  struct Impl;
  Impl* impl_;
};

#endif  // ZELHOST_QX_CLASS_H
