// A small product for the library's tests: a device schema, records kept in a PropertyContainer,
// and the library's property factory for it; and a record that keeps one value itself.
#ifndef ZELOBJSYS_TESTS_COMMON_TEST_PRODUCT_H
#define ZELOBJSYS_TESTS_COMMON_TEST_PRODUCT_H

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/host_errors.h"
#include "zelhost/objects/qx_application.h"
#include "zelhost/objects/qx_class.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/types/data_type.h"
#include "zelobjsys/application_manager.h"
#include "zelobjsys/constrained_data_types.h"
#include "zelobjsys/instance_prop_info.h"
#include "zelobjsys/kti_prop_factory.h"
#include "zelobjsys/prop_info.h"
#include "zelobjsys/prop_info_manager.h"
#include "zelobjsys/prop_info_qxc.h"
#include "zelobjsys/property_container.h"
#include "zelobjsys/property_factory.h"
#include "zelobjsys/schema_definition.h"

namespace zelobjsys {
// Reaches the record's private setters (products reach them through their factory).
class PropInfoTestPeer {
 public:
  static void setPIType(PropInfo& p, int v) { p.setPIType(v); }
  static void setPIConstraint(PropInfo& p, int v) { p.setPIConstraint(v); }
  static void setPIReadOnly(PropInfo& p, int v) { p.setPIReadOnly(v); }
  static void setPICategory(PropInfo& p, int v) { p.setPICategory(v); }
  static void setPIDeviceSpecific(PropInfo& p, bool v) { p.setPIDeviceSpecific(v); }
  static void setQxAbortSetAccess(PropInfo& p, bool v) { p.setQxAbortSetAccess(v); }
  static void setQxVisible(PropInfo& p, bool v) { p.setQxVisible(v); }
  static void initQxValuesBeforeAdd(PropInfo& p, const char* type) {
    p.initQxValuesBeforeAdd(type);
  }
};
// A product record that stores one value per record (enough for a class with
// one object): the host's value get/set land here.
template <class Base = PropInfo>
class TestPropInfo : public Base {
 public:
  explicit TestPropInfo(const char* name) { this->setName(name); }
  ~TestPropInfo() override { clear(); }
  void* getValue(QxDatabaseClient*, QxInterface*) override { return value_; }
  void setValue(QxDatabaseClient*, QxInterface*, const void* value) override {
    clear();
    if (const QxDataType* type = this->getQxDataType()) value_ = type->copy(value);
  }

 private:
  void clear() {
    if (value_ != nullptr) {
      if (const QxDataType* type = this->getQxDataType()) type->destroy(value_);
      value_ = nullptr;
    }
  }
  void* value_ = nullptr;
};
namespace testproduct {
constexpr const char* kProductName = "testprod";
// The own part of a device object: its property values.
struct TestDevice {
  explicit TestDevice(QxInterface* object) : container(object) {}
  PropertyContainer container;
};
inline PropertyContainer* containerOf(QxInterface* object) {
  auto* device = object != nullptr ? static_cast<TestDevice*>(object->getObject()) : nullptr;
  return device != nullptr ? &device->container : nullptr;
}
// A product record whose host value get and set land in the object's container; before a first
// set the value is the factory default.
template <class Base = PropInfo>
class DeviceRecord : public Base {
 public:
  explicit DeviceRecord(const char* name) { this->setName(name); }
  void* getValue(QxDatabaseClient*, QxInterface* object) override {
    PropertyContainer* container = containerOf(object);
    void* value = container != nullptr ? container->getPropValue(this->getName()) : nullptr;
    return value != nullptr ? value : this->getFactoryDefault();
  }
  void setValue(QxDatabaseClient*, QxInterface* object, const void* value) override {
    if (PropertyContainer* container = containerOf(object))
      container->setPropValue(this->getName(), value, true);
  }
};
// A device class. Objects own a TestDevice; lastArgs/lastCount tell what createProductObject got.
class TestSchema : public SchemaDefinition {
 public:
  explicit TestSchema(const char* name) { setName(name, true); }
  using SchemaDefinition::filterPropAccessException;
  bool isHandleClass() const override { return true; }
  bool isAbstractClass() const override { return false; }
  void releaseObjectPart(QxInterface* object) override {
    delete static_cast<TestDevice*>(object->getObject());
  }
  void** lastArgs = nullptr;
  int lastCount = -1;

 protected:
  void* createProductObject(QxInterface* object, void** args, int count) override {
    lastArgs = args;
    lastCount = count;
    return new TestDevice(object);
  }
};
// A schema whose objects fail to be destroyed: every release throws.
class FailingSchema : public TestSchema {
 public:
  explicit FailingSchema(const char* name, bool hostException)
      : TestSchema(name), hostException_(hostException) {}
  void releaseObjectPart(QxInterface* object) override {
    TestSchema::releaseObjectPart(object);
    if (hostException_) throw new ErrorIdException("testprod:release", "release failed");
    throw 42;  // not a host exception
  }

 private:
  bool hostException_;
};
// The library's property factory making this product's records.
class Factory : public PropertyFactory {
 public:
  using PropertyFactory::createHandleProperty;
  using PropertyFactory::isInstanceFactory;
  using PropertyFactory::PropertyFactory;

 protected:
  PropInfo* createPropInfo(const char* name) override {
    if (isInstanceFactory()) return new DeviceRecord<InstancePropInfo>(name);
    return new DeviceRecord<>(name);
  }
};
// The record of a class property, or null.
inline PropInfo* recordOf(QxClass* cls, const char* name) {
  QxInterface* prop = cls != nullptr ? cls->getProperty(name, true) : nullptr;
  return prop != nullptr ? dynamic_cast<PropInfo*>(static_cast<QxPropInfo*>(prop->getObject()))
                         : nullptr;
}
// The test product's application, registered with the library's application manager (which
// brings the family's data types and property-info class); stopTestProduct takes it all down.
inline QxApplication* startTestProduct() {
  ApplicationManager* manager = ApplicationManager::getInstance();
  manager->addProductApplication(kProductName);
  return manager->getProductApplication(kProductName);
}
inline void stopTestProduct() {
  if (ApplicationManager::isInitialized())
    ApplicationManager::getInstance()->removeProductApplication(kProductName);
  QxApplicationManager::shutdown();
}
}  // namespace testproduct
}  // namespace zelobjsys

#endif  // ZELOBJSYS_TESTS_COMMON_TEST_PRODUCT_H
