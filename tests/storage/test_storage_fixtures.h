// Shared fixture of the storage tests: a device class whose objects own a PropertyContainer.
#ifndef ZELOBJSYS_TESTS_STORAGE_TEST_STORAGE_FIXTURES_H
#define ZELOBJSYS_TESTS_STORAGE_TEST_STORAGE_FIXTURES_H

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/host_errors.h"
#include "common/hv_values.h"
#include "common/test_records.h"
#include "zelhost/objects/qx_application.h"
#include "zelhost/objects/qx_class.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/services.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/types/data_type.h"
#include "zelobjsys/custom_fcns.h"
#include "zelobjsys/i_prop_check_fcn.h"
#include "zelobjsys/instance_prop_info.h"
#include "zelobjsys/kti_prop_set_listener.h"
#include "zelobjsys/property_container.h"

namespace zelobjsys {

// Reaches the private operations that the property factory uses.
class PropertyContainerTestPeer {
 public:
  static void addInstanceProperty(PropertyContainer& c, PropInfo* info) {
    c.addInstanceProperty(info);
  }
};

class InstancePropInfoTestPeer {
 public:
  static bool isEnumValue(const InstancePropInfo& r, const char* name) {
    return r.isEnumValue(name);
  }
};

namespace storagetest {

// The own part of a test device object.
struct TestDevice {
  explicit TestDevice(QxInterface* object) : container(object) {}
  PropertyContainer container;
};

class DeviceClass : public QxClass {
 public:
  explicit DeviceClass(const char* name) { setName(name); }
  void* createClassSpecificObject(QxInterface* object) override { return new TestDevice(object); }
  bool isHandleClass() const override { return true; }
  bool isAbstractClass() const override { return false; }
  void releaseObjectPart(QxInterface* object) override {
    delete static_cast<TestDevice*>(object->getObject());
  }
};

inline PropertyContainer* containerOf(QxInterface* object) {
  if (object == nullptr || dynamic_cast<DeviceClass*>(object->getDatabaseClass()) == nullptr) {
    return nullptr;
  }
  auto* device = static_cast<TestDevice*>(object->getObject());
  return device != nullptr ? &device->container : nullptr;
}

// A product record that keeps its values where products do: in the object's
// container.
template <class Base = PropInfo>
class ContainerRecord : public Base {
 public:
  explicit ContainerRecord(const char* name) { this->setName(name); }
  void* getValue(QxDatabaseClient*, QxInterface* object) override {
    PropertyContainer* c = containerOf(object);
    return c != nullptr ? c->getPropValue(this->getName()) : nullptr;
  }
  void setValue(QxDatabaseClient*, QxInterface* object, const void* value) override {
    if (PropertyContainer* c = containerOf(object)) c->setPropValue(this->getName(), value, true);
  }
};

// Tells a shared log (name, value as double or -1 for null) of every set.
class LoggingListener : public KTIPropSetListener {
 public:
  LoggingListener(std::vector<std::string>* log, std::string tag)
      : log_(log), tag_(std::move(tag)) {}
  void propertySet(const KTIPropInfo* info, void* value) override {
    const double shown = value != nullptr ? *static_cast<double*>(value) : -1;
    log_->push_back(tag_ + ":" + info->getPropertyName() + "=" + std::to_string(shown));
  }

 private:
  std::vector<std::string>* log_;
  std::string tag_;
};

// Test doubles whose behaviour a test supplies as a function.
class FnCheck : public IPropCheckFcn {
 public:
  explicit FnCheck(std::function<void(const void*)> fn) : fn_(std::move(fn)) {}
  void check(QxInterface*, const PropInfo*, const void* value) override { fn_(value); }

 private:
  std::function<void(const void*)> fn_;
};

class FnGet : public IGetFcn {
 public:
  explicit FnGet(std::function<void*()> fn) : fn_(std::move(fn)) {}
  void* get(QxInterface*, const KTIPropInfo*) override { return fn_(); }

 private:
  std::function<void*()> fn_;
};

class FnSet : public ISetFcn {
 public:
  explicit FnSet(std::function<void(const void*)> fn) : fn_(std::move(fn)) {}
  void set(QxInterface*, const KTIPropInfo*, const void* value) override { fn_(value); }

 private:
  std::function<void(const void*)> fn_;
};

class FnListener : public KTIPropSetListener {
 public:
  explicit FnListener(std::function<void(void*)> fn) : fn_(std::move(fn)) {}
  void propertySet(const KTIPropInfo*, void* value) override { fn_(value); }

 private:
  std::function<void(void*)> fn_;
};

inline double asDouble(const void* value) { return *static_cast<const double*>(value); }

using hvtest::row;

class StorageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = new QxApplication("storagetest", true);  // the host owns it
    cls_ = new DeviceClass("Device");
    app_->addLocalClass(cls_);
    if (QxTypeRepository::getType("PIReadOnlyEnumType") == nullptr) {
      auto* readOnly = new EnumStringType("PIReadOnlyEnumType");
      readOnly->addEnumValue("always", 0);
      readOnly->addEnumValue("never", 1);
      readOnly->addEnumValue("whileRunning", 2);
      keepType(readOnly);
    }
  }

  void TearDown() override {
    QxApplicationManager::shutdown();
    for (auto& type : types_) QxTypeRepository::removeType(type.get());
    types_.clear();
  }

  // Registers a type that lives until the end of the test.
  template <class T>
  T* keepType(T* type) {
    types_.emplace_back(type);
    QxTypeRepository::addType(type);
    return type;
  }

  EnumStringType* enumType(const char* name,
                           std::initializer_list<std::pair<const char*, int>> values) {
    auto* type = keepType(new EnumStringType(name));
    for (const auto& v : values) type->addEnumValue(v.first, v.second);
    return type;
  }

  // A record completed as the factory completes it, with an optional default
  // and bounds (which make it "bounded").
  template <class Base = PropInfo>
  ContainerRecord<Base>* record(const char* name, const char* typeName,
                                const hvArray* defaultValue = nullptr,
                                const hvArray* bounds = nullptr,
                                int constraint = kPIConstraintNone) {
    auto* r = new ContainerRecord<Base>(name);
    if (bounds != nullptr) {
      PropInfoTestPeer::setPIConstraint(*r, kPIConstraintBounded);
      r->setPIConstraintValue(bounds);
    } else {
      PropInfoTestPeer::setPIConstraint(*r, constraint);
    }
    r->setPIDefaultValue(defaultValue);
    PropInfoTestPeer::initQxValuesBeforeAdd(*r, typeName);
    return r;
  }

  QxInterface* newDevice() {
    return cls_->createObject(QxDatabaseClient::getInternalClient(),
                              app_->getDefaultDatabase()->getRootObject(), nullptr, 0, nullptr);
  }

  // Runs fn, which must raise a host error with exactly this identifier and
  // message.
  static void expectHostError(const std::function<void()>& fn, const std::string& id,
                              const std::string& message) {
    EXPECT_EQ(hostErrorText(fn), id + "|" + message);
  }

  QxApplication* app_ = nullptr;
  DeviceClass* cls_ = nullptr;
  MessageCapture sinks_;
  std::vector<Message>& warnings_ = sinks_.warnings;

 private:
  std::vector<std::unique_ptr<QxDataType>> types_;
};

}  // namespace storagetest
}  // namespace zelobjsys

#endif  // ZELOBJSYS_TESTS_STORAGE_TEST_STORAGE_FIXTURES_H
