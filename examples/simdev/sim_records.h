// simdev's property records: where the host's value get and set of a property land.
#ifndef SIMDEV_SIM_RECORDS_H
#define SIMDEV_SIM_RECORDS_H

#include "zelobjsys/instance_prop_info.h"
#include "zelobjsys/prop_info.h"

namespace simdev {

// Reads and writes a property's value in the object's property container.
// A property that was never set reads as its default. Shared by the class
// and instance records below.
void* getStoredValue(zelobjsys::PropInfo& record, QxInterface* object);
void setStoredValue(zelobjsys::PropInfo& record, QxInterface* object, const void* value);

// A property of a simdev class.
class SimPropInfo : public zelobjsys::PropInfo {
 public:
  explicit SimPropInfo(const char* name) { setName(name); }
  void* getValue(QxDatabaseClient*, QxInterface* object) override {
    return getStoredValue(*this, object);
  }
  void setValue(QxDatabaseClient*, QxInterface* object, const void* value) override {
    setStoredValue(*this, object, value);
  }
};

// A property that one simdev object carries by itself (its "settings").
class SimInstancePropInfo : public zelobjsys::InstancePropInfo {
 public:
  explicit SimInstancePropInfo(const char* name) { setName(name); }
  void* getValue(QxDatabaseClient*, QxInterface* object) override {
    return getStoredValue(*this, object);
  }
  void setValue(QxDatabaseClient*, QxInterface* object, const void* value) override {
    setStoredValue(*this, object, value);
  }
};

}  // namespace simdev

#endif  // SIMDEV_SIM_RECORDS_H
