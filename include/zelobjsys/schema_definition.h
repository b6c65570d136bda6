// SchemaDefinition and InstanceSchemaDefinition: the host classes that products derive their device
// classes from.
#ifndef ZELOBJSYS_SCHEMA_DEFINITION_H
#define ZELOBJSYS_SCHEMA_DEFINITION_H

#include <vector>

#include "zelhost/objects/qx_class.h"

namespace zelobjsys {

class KTIPropFactory;

// A device class of a product: a host class that carries the "propinfo" and
// "prophelp" methods from birth, adds the standard properties and methods on
// request, creates objects through the product's createProductObject, and
// rewrites property-access errors into the family's identifiers.
//
// The product derives from it, names the class (setName), adds properties
// and hands the class to its application, which owns it from then on. The
// class owns the methods and property descriptors added to it; the schema
// owns its user data list but never the pointers in it. Host thread only.
class SchemaDefinition : public QxClass {
 public:
  SchemaDefinition();
  ~SchemaDefinition() override;

  // Letters, digits and "_" only (ASCII); the empty name is valid; null is not.
  static bool isValidClassName(const char* name);

  // Adds one of "Name", "Tag", "Type", "UserData", "TimerFcn", "TimerPeriod"
  // and "Timeout" through the factory (exact names); any other name, a null
  // name or a null factory adds nothing.
  void addGenericProperty(KTIPropFactory* factory, const char* name);
  // "GetToolbarName" (exact) adds the "getInspectorToolbarObjectName"
  // method; any other name is ignored.
  void addGenericMethod(const char* name);
  // Products override this to define the class's properties.
  virtual void addProperties(KTIPropFactory* factory);

  // Makes an object of this class below the given parent handle (may be
  // null) and returns its handle as the host gives it.
  QxInterface* createInstance(QxInterface* parent, void** args, int count);

  // The class name as set with setName; valid until the next setName.
  virtual const char* getPulvraClassName();
  virtual bool isInstanceSchema() const;

  // Opaque pointers that belong to the product; the schema only keeps them.
  std::vector<void*> getSchemaUserData() const { return userData_; }
  void setSchemaUserData(const std::vector<void*>& data);

 protected:
  void* createClassSpecificObject(QxInterface* object) override;
  void* createClassSpecificObject(QxInterface* object, void** args, int count) override;
  Exception* filterPropAccessException(Exception* e, QxInterface* object, QxPropInfo* prop,
                                       const char* name) override;

  // The object's own part; the class's releaseObjectPart frees it.
  virtual void* createProductObject(QxInterface* object, void** args, int count) = 0;

 private:
  // Defaults of the standard "TimerPeriod" and "Timeout" properties.
  virtual double getDefaultTimerPeriod() const;
  virtual double getDefaultTimeout() const;

  std::vector<void*> userData_;
};

// The schema of a class made for one object, so that the object can carry
// instance properties. Its name is the base name, "_" and a process-wide
// sequence number, and its keep flag is clear so that it can be removed with
// the object. Ownership and threads as for SchemaDefinition.
class InstanceSchemaDefinition : public SchemaDefinition {
 public:
  explicit InstanceSchemaDefinition(const char* baseName);
  ~InstanceSchemaDefinition() override;

  bool isInstanceSchema() const override;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_SCHEMA_DEFINITION_H
