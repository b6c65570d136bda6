// StoredPropInfo and StoredInstancePropInfo: property records whose values live in the
// object's PropertyContainer, the records almost every product needs.
#ifndef ZELOBJSYS_STORED_PROP_INFO_H
#define ZELOBJSYS_STORED_PROP_INFO_H

#include "zelobjsys/instance_prop_info.h"
#include "zelobjsys/prop_info.h"

namespace zelobjsys {

// Reads and writes a property's value in the container of the object's
// ProductObject (see product_object.h). A property that was never set reads
// as its default; an object that is not a ProductObject's reads defaults and
// ignores sets.
void* getStoredValue(PropInfo& record, QxInterface* object);
void setStoredValue(PropInfo& record, QxInterface* object, const void* value);

// A record of kind Base (PropInfo or InstancePropInfo) whose value get and set
// land in the object's container.
template <class Base>
class StoredRecord : public Base {
 public:
  explicit StoredRecord(const char* name) { this->setName(name); }
  void* getValue(QxDatabaseClient*, QxInterface* object) override {
    return getStoredValue(*this, object);
  }
  void setValue(QxDatabaseClient*, QxInterface* object, const void* value) override {
    setStoredValue(*this, object, value);
  }
};

// A property of a class, as ProductFactory makes it for a schema.
using StoredPropInfo = StoredRecord<PropInfo>;
// A property one object carries by itself, as ProductFactory makes it for an
// object or its container.
using StoredInstancePropInfo = StoredRecord<InstancePropInfo>;

}  // namespace zelobjsys

#endif  // ZELOBJSYS_STORED_PROP_INFO_H
