// ProductSchema and ProductFactory: a device class whose objects carry a ProductObject, and the
// factory that defines its properties with stored records.
#ifndef ZELOBJSYS_PRODUCT_SCHEMA_H
#define ZELOBJSYS_PRODUCT_SCHEMA_H

#include "zelobjsys/property_factory.h"
#include "zelobjsys/schema_definition.h"

namespace zelobjsys {

class ProductObject;

// A concrete handle class whose objects each get a ProductObject (or what
// createObjectPart makes). Define its properties with a ProductFactory, then
// hand it to the product's application (ApplicationManager::addProductClass).
class ProductSchema : public SchemaDefinition {
 public:
  explicit ProductSchema(const char* className) { setName(className, true); }
  bool isHandleClass() const override { return true; }
  bool isAbstractClass() const override { return false; }
  void releaseObjectPart(QxInterface* object) override;

 protected:
  // The object's own part; products override it to make a subclass.
  virtual ProductObject* createObjectPart(QxInterface* object);
  void* createProductObject(QxInterface* object, void** args, int count) override;
};

// Makes StoredPropInfo records for a schema and StoredInstancePropInfo
// records for an object or its container.
class ProductFactory : public PropertyFactory {
 public:
  using PropertyFactory::PropertyFactory;

 protected:
  PropInfo* createPropInfo(const char* name) override;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_PRODUCT_SCHEMA_H
