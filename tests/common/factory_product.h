// A product built the way real products are: registered with the ApplicationManager, classes
// defined through PropertyFactory, objects keeping their values in a PropertyContainer.
#ifndef ZELOBJSYS_TESTS_COMMON_FACTORY_PRODUCT_H
#define ZELOBJSYS_TESTS_COMMON_FACTORY_PRODUCT_H

#include <memory>
#include <string>
#include <vector>

#include "zelhost/exceptions.h"
#include "zelhost/qx_application.h"
#include "zelhost/qx_class.h"
#include "zelhost/services.h"
#include "zelhost/zelhox.h"
#include "zelobjsys/application_manager.h"
#include "zelobjsys/instance_prop_info.h"
#include "zelobjsys/prop_info.h"
#include "zelobjsys/property_container.h"
#include "zelobjsys/property_factory.h"
#include "zelobjsys/schema_definition.h"

namespace zelobjsys {
namespace factoryproduct {

constexpr const char* kProduct = "facprod";

// The own part of a device object.
struct Device {
  explicit Device(QxInterface* object) : container(object) {}
  PropertyContainer container;
};

inline PropertyContainer* containerOf(QxInterface* object) {
  auto* device = object != nullptr ? static_cast<Device*>(object->getObject()) : nullptr;
  return device != nullptr ? &device->container : nullptr;
}

// The host's value get and set land in the object's container; before a
// first set the value is the factory default.
template <class Base = PropInfo>
class Record : public Base {
 public:
  explicit Record(const char* name) { this->setName(name); }
  void* getValue(QxDatabaseClient*, QxInterface* object) override {
    PropertyContainer* container = containerOf(object);
    void* value = container != nullptr ? container->getPropValue(this->getName()) : nullptr;
    return value != nullptr ? value : this->getFactoryDefault();
  }
  void setValue(QxDatabaseClient*, QxInterface* object, const void* value) override {
    if (PropertyContainer* container = containerOf(object)) {
      container->setPropValue(this->getName(), value, true);
    }
  }
};

class Schema : public SchemaDefinition {
 public:
  explicit Schema(const char* name) { setName(name, true); }
  bool isHandleClass() const override { return true; }
  bool isAbstractClass() const override { return false; }
  void releaseObjectPart(QxInterface* object) override {
    delete static_cast<Device*>(object->getObject());
  }

 protected:
  void* createProductObject(QxInterface* object, void**, int) override {
    return new Device(object);
  }
};

// A schema whose objects fail to be destroyed: every release throws.
class FailingSchema : public Schema {
 public:
  explicit FailingSchema(const char* name, bool hostException)
      : Schema(name), hostException_(hostException) {}
  void releaseObjectPart(QxInterface* object) override {
    Schema::releaseObjectPart(object);
    if (hostException_) throw new ErrorIdException("facprod:release", "release failed");
    throw 42;  // not a host exception
  }

 private:
  bool hostException_;
};

class Factory : public PropertyFactory {
 public:
  using PropertyFactory::createHandleProperty;
  using PropertyFactory::isInstanceFactory;
  using PropertyFactory::PropertyFactory;

 protected:
  PropInfo* createPropInfo(const char* name) override {
    if (isInstanceFactory()) return new Record<InstancePropInfo>(name);
    return new Record<>(name);
  }
};

// Collects the warnings shown while it lives.
class WarningLog {
 public:
  WarningLog() {
    previous_ = hoxSetWarningSink([this](const std::string& id, const std::string& text) {
      ids.push_back(id);
      messages.push_back(text);
    });
  }
  ~WarningLog() { hoxSetWarningSink(previous_); }
  WarningLog(const WarningLog&) = delete;
  WarningLog& operator=(const WarningLog&) = delete;
  std::vector<std::string> ids;
  std::vector<std::string> messages;

 private:
  HoxMessageSink previous_;
};

// What a host call raised: "id|message", "(no error)" or "(other: message)".
template <class Fn>
std::string hostError(Fn fn) {
  try {
    fn();
  } catch (Exception* thrown) {
    std::unique_ptr<Exception> owned(thrown);
    if (auto* e = dynamic_cast<ErrorIdException*>(thrown)) {
      return std::string(e->getId()) + "|" + e->getMessage();
    }
    return std::string("(other: ") + thrown->getMessage() + ")";
  }
  return "(no error)";
}

// The record of a class property, or null.
inline PropInfo* recordOf(QxClass* cls, const char* name) {
  QxInterface* prop = cls != nullptr ? cls->getProperty(name, true) : nullptr;
  return prop != nullptr ? dynamic_cast<PropInfo*>(static_cast<QxPropInfo*>(prop->getObject()))
                         : nullptr;
}

}  // namespace factoryproduct
}  // namespace zelobjsys

#endif  // ZELOBJSYS_TESTS_COMMON_FACTORY_PRODUCT_H
