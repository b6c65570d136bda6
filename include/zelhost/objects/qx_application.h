// Host applications: named groups of local classes with a default database of objects.
#ifndef ZELHOST_QX_APPLICATION_H
#define ZELHOST_QX_APPLICATION_H

#include <string>

#include "zelhost/objects/qx_interface.h"

class QxClass;

// The objects of an application hang below the root object of its default
// database.
class QxDatabase {
 public:
  QxInterface* getRootObject() const;

 private:
  friend class QxApplication;
  QxInterface* root_ = nullptr;
};

// A host application. Constructing one registers it with
// QxApplicationManager, which owns it from then on (a name that is taken
// replaces nothing: the new application is registered under the name only if
// it is free, otherwise it stays unregistered and the creator deletes it).
// Each application has a host object of its own whose own part is the
// application. Host thread only.
class QxApplication {
 public:
  QxApplication(const char* name, bool dynamic);
  virtual ~QxApplication();
  QxApplication(const QxApplication&) = delete;
  QxApplication& operator=(const QxApplication&) = delete;

  const char* getName() const;
  QxInterface* getInterface() const;

  // The first class host object (walk with QxBreadthOnlyIterator); its
  // getObject() is the QxClass.
  QxInterface* getLocalClasses() const;
  // Takes the class. Throws ClassRedefinedException* when a class of that name
  // exists (the caller keeps the class then).
  void addLocalClass(QxClass* cls);
  QxInterface* getLocalClass(const char* name) const;  // exact; class host object
  QxDatabase* getDefaultDatabase();

 private:
  friend class QxApplicationManager;
  struct Impl;
  Impl* impl_;
};

// Registry of applications by exact name. The host's own application "schema"
// with its local class "prop" (the class of descriptors' host objects) always
// exists.
class QxApplicationManager {
 public:
  // The application's host object (getObject() is the QxApplication), or null.
  static QxInterface* getApplication(const char* name);
  // Destroys the application's objects, then its classes whose keep flag is
  // clear (a kept class outlives the application and is freed at shutdown),
  // then the application itself.
  static void removeApplication(QxApplication* app);
  // Destroys every application, object and class: the end of the host. Safe
  // to call more than once; the host builds itself again on next use.
  static void shutdown();
};

#endif  // ZELHOST_QX_APPLICATION_H
