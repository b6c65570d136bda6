// Shared fixture of the storage tests: a device class whose objects own a PropertyContainer.
#ifndef ZELOBJSYS_TESTS_STORAGE_TEST_STORAGE_FIXTURES_H
#define ZELOBJSYS_TESTS_STORAGE_TEST_STORAGE_FIXTURES_H

#include <gtest/gtest.h>

#include <functional>

#include "common/hv_values.h"
#include "common/test_product.h"
#include "zelhost/objects/qx_application.h"
#include "zelhost/objects/qx_class.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/services.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/types/data_type.h"
#include "zelobjsys/custom_fcns.h"
#include "zelobjsys/i_prop_check_fcn.h"
#include "zelobjsys/kti_prop_set_listener.h"

namespace zelobjsys {

// Reach the private operations that the property factory uses.
class PropertyContainerTestPeer {
 public:
  static void addInstanceProperty(PropertyContainer& c, PropInfo* info) {
    c.addInstanceProperty(info);
  }
};

namespace storagetest {

using testproduct::containerOf;
template <class Base = PropInfo>
using ContainerRecord = testproduct::DeviceRecord<Base>;

// A device class whose objects' own part holds their container.
class DeviceClass : public QxClass {
 public:
  explicit DeviceClass(const char* name) { setName(name); }
  void* createClassSpecificObject(QxInterface* o) override {
    return new testproduct::TestDevice(o);
  }
  bool isHandleClass() const override { return true; }
  bool isAbstractClass() const override { return false; }
  void releaseObjectPart(QxInterface* object) override {
    delete static_cast<testproduct::TestDevice*>(object->getObject());
  }
};

// Test doubles whose behaviour a test supplies as a function.
struct FnCheck : IPropCheckFcn {
  explicit FnCheck(std::function<void(const void*)> f) : fn(std::move(f)) {}
  void check(QxInterface*, const PropInfo*, const void* v) override { fn(v); }
  std::function<void(const void*)> fn;
};
struct FnGet : IGetFcn {
  explicit FnGet(std::function<void*()> f) : fn(std::move(f)) {}
  void* get(QxInterface*, const KTIPropInfo*) override { return fn(); }
  std::function<void*()> fn;
};
struct FnSet : ISetFcn {
  explicit FnSet(std::function<void(const void*)> f) : fn(std::move(f)) {}
  void set(QxInterface*, const KTIPropInfo*, const void* v) override { fn(v); }
  std::function<void(const void*)> fn;
};
struct FnListener : KTIPropSetListener {
  explicit FnListener(std::function<void(void*)> f) : fn(std::move(f)) {}
  void propertySet(const KTIPropInfo*, void* v) override { fn(v); }
  std::function<void(void*)> fn;
};

// Logs "tag:name=value" of every set of a whole-numbered double (-1 for none).
struct LoggingListener : KTIPropSetListener {
  LoggingListener(std::vector<std::string>* log, std::string tag) : log(log), tag(std::move(tag)) {}
  void propertySet(const KTIPropInfo* info, void* v) override {
    const int shown = v != nullptr ? static_cast<int>(*static_cast<double*>(v)) : -1;
    log->push_back(tag + ":" + info->getPropertyName() + "=" + std::to_string(shown));
  }
  std::vector<std::string>* log;
  std::string tag;
};

// "id|message" of the ZLGeneralException that fn throws, "" for none.
inline std::string thrown(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const ZLGeneralException& e) {
    return std::string(e.getID()) + "|" + e.getMessage();
  }
  return "";
}

inline double asDouble(const void* value) { return *static_cast<const double*>(value); }

using hvtest::row;

class StorageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = new QxApplication("storagetest", true);  // the host owns it
    cls_ = new DeviceClass("Device");
    app_->addLocalClass(cls_);
  }
  void TearDown() override {
    QxApplicationManager::shutdown();
    for (auto& type : types_) QxTypeRepository::removeType(type.get());
    types_.clear();
  }
  template <class T>  // registered until the end of the test
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
  // A record completed as the factory completes it; bounds make it "bounded".
  template <class Base = PropInfo>
  ContainerRecord<Base>* record(const char* name, const char* typeName,
                                const hvArray* defaultValue = nullptr,
                                const hvArray* bounds = nullptr,
                                int constraint = kPIConstraintNone) {
    auto* r = new ContainerRecord<Base>(name);
    PropInfoTestPeer::setPIConstraint(*r, bounds != nullptr ? kPIConstraintBounded : constraint);
    if (bounds != nullptr) r->setPIConstraintValue(bounds);
    r->setPIDefaultValue(defaultValue);
    PropInfoTestPeer::initQxValuesBeforeAdd(*r, typeName);
    return r;
  }
  QxInterface* newDevice() {
    return cls_->createObject(QxDatabaseClient::getInternalClient(),
                              app_->getDefaultDatabase()->getRootObject(), nullptr, 0, nullptr);
  }
  static void expectHostError(const std::function<void()>& fn, const std::string& id,
                              const std::string& message) {
    EXPECT_EQ(hostErrorText(fn), id + "|" + message);
  }

  QxApplication* app_ = nullptr;
  DeviceClass* cls_ = nullptr;
  MessageCapture sinks_;

 private:
  std::vector<std::unique_ptr<QxDataType>> types_;
};

}  // namespace storagetest
}  // namespace zelobjsys

#endif  // ZELOBJSYS_TESTS_STORAGE_TEST_STORAGE_FIXTURES_H
