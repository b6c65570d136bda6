// A small product for the library's tests: a device schema, records kept in a PropertyContainer,
// the library's property factory for it, and a recording factory.
#ifndef ZELOBJSYS_TESTS_COMMON_TEST_PRODUCT_H
#define ZELOBJSYS_TESTS_COMMON_TEST_PRODUCT_H

#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/host_errors.h"
#include "common/test_records.h"
#include "zelhost/objects/qx_application.h"
#include "zelhost/objects/qx_class.h"
#include "zelhost/services/exceptions.h"
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

// A product record: the host's value get and set land in the object's
// container. Before a first set the value is the factory default.
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
    if (PropertyContainer* container = containerOf(object)) {
      container->setPropValue(this->getName(), value, true);
    }
  }
};

// A device class. Objects own a TestDevice; lastArgs/lastCount tell what
// createProductObject was given.
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

// The host application of the test product, and the family's own pieces that
// records need: the constrained data types and the property-info class.
inline QxApplication* startTestProduct() {
  datatypes::registerConstrainedDataTypes();
  if (QxApplicationManager::getApplication("vornix") == nullptr) {
    auto* family = new QxApplication("vornix", true);  // the manager owns it
    family->addLocalClass(new PropInfoQxC);
  }
  QxInterface* app = QxApplicationManager::getApplication(kProductName);
  if (app != nullptr) return static_cast<QxApplication*>(app->getObject());
  return new QxApplication(kProductName, true);
}

inline void stopTestProduct() {
  QxApplicationManager::shutdown();
  datatypes::removeConstrainedDataTypes();
}

inline QxClass* propInfoClass() {
  QxInterface* app = QxApplicationManager::getApplication("vornix");
  auto* family = app != nullptr ? static_cast<QxApplication*>(app->getObject()) : nullptr;
  QxInterface* cls = family != nullptr ? family->getLocalClass(kPropInfoClassName) : nullptr;
  return cls != nullptr ? static_cast<QxClass*>(cls->getObject()) : nullptr;
}

// Builds records by hand, the way the library's property factory will, and
// adds them to one class; every call is logged as "operation(name or
// argument)". Operations the tests do not need are only logged. Owns the
// enumerated types it registers; keep it alive until the host is shut down,
// because records take their type out of the repository when they die.
class RecordingFactory : public KTIPropFactory {
 public:
  explicit RecordingFactory(QxClass* target = nullptr) : target_(target) {}
  ~RecordingFactory() override = default;

  void setTarget(QxClass* target) { target_ = target; }
  mutable std::vector<std::string> log;

  void addProperty(void* handle, int identifier, bool deviceSpecific) const override {
    note("addProperty", std::to_string(identifier));
    if (Handler* h = of(handle)) PropInfoTestPeer::setPIIdentifier(*h->record, identifier);
    add(handle, deviceSpecific);
  }
  void addProperty(void* handle, bool deviceSpecific) const override {
    note("addProperty", deviceSpecific ? "true" : "false");
    add(handle, deviceSpecific);
  }
  void* createDoubleProperty(const char* name, double value) override {
    note("createDoubleProperty", name);
    return make(name, "double", kPITypeDouble, scalar(value));
  }
  void* createDoubleProperty(const char* name, double lo, double hi, double value) override {
    note("createDoubleProperty", name);
    return bounded(make(name, "double", kPITypeDouble, scalar(value)), lo, hi);
  }
  void* createZeroPosDoubleProperty(const char* name, double value) override {
    note("createZeroPosDoubleProperty", name);
    return bounded(make(name, "ZeroOrPositiveDouble", kPITypeDouble, scalar(value)), 0,
                   2147483647.0);
  }
  void* createZeroInfPosDoubleProperty(const char* name, double value) override {
    note("createZeroInfPosDoubleProperty", name);
    return bounded(make(name, "ZeroOrPositiveDouble", kPITypeDouble, scalar(value)), 0,
                   std::numeric_limits<double>::infinity());
  }
  void* createPositiveDoubleRangeProperty(const char* name, double, double, double,
                                          double) override {
    return note("createPositiveDoubleRangeProperty", name);
  }
  void* createDoublePairProperty(const char* name, double, double, double, double) override {
    return note("createDoublePairProperty", name);
  }
  void* createDoubleArrayProperty(const char* name, const std::vector<double>&) override {
    return note("createDoubleArrayProperty", name);
  }
  void* createIntProperty(const char* name, int) override {
    return note("createIntProperty", name);
  }
  void* createIntProperty(const char* name, int, int, int) override {
    return note("createIntProperty", name);
  }
  void* createZeroPosIntProperty(const char* name, int) override {
    return note("createZeroPosIntProperty", name);
  }
  void* createZeroInfPosIntProperty(const char* name, int) override {
    return note("createZeroInfPosIntProperty", name);
  }
  void* createPosIntProperty(const char* name, int) override {
    return note("createPosIntProperty", name);
  }
  void* createInfPosIntProperty(const char* name, int) override {
    return note("createInfPosIntProperty", name);
  }
  void* createIntPairProperty(const char* name, int, int, int, int) override {
    return note("createIntPairProperty", name);
  }
  void* createIntArrayProperty(const char* name, const std::vector<int>&) override {
    return note("createIntArrayProperty", name);
  }
  void* createHandleProperty(const char* name, int, const QxInterface*) override {
    return note("createHandleProperty", name);
  }
  void* createHandleVectorProperty(const char* name, int,
                                   const std::vector<QxInterface*>*) override {
    return note("createHandleVectorProperty", name);
  }
  void* createHvArrayProperty(const char* name, const hvArray* value, int type) override {
    note("createHvArrayProperty", name);
    return make(name, "PULVRA array", type, hvDuplicateArray(value));
  }
  void* createHvArrayProperty(const char* name, const hvArray* value) override {
    note("createHvArrayProperty", name);
    return make(name, "PULVRA array", kPITypeAny, hvDuplicateArray(value));
  }
  void* createStringProperty(const char* name, const char* value) override {
    note("createStringProperty", name);
    return make(name, "string", kPITypeString, value ? hvCreateString(value) : nullptr);
  }
  void* createEnumProperty(const char* name, const char* text, int value) override {
    note("createEnumProperty", name);
    void* handle = make(name, std::string(name) + "_EnumType", kPITypeString, hvCreateString(text));
    Handler* h = of(handle);
    PropInfoTestPeer::setPIConstraint(*h->record, kPIConstraintEnum);
    ZLScopedHvArray list(hvCreateCellMatrix(1, 1));
    hvSetCell(list, 0, hvCreateString(text));
    h->record->setPIConstraintValue(list);
    h->enumValues.push_back(value);
    return handle;
  }
  void* createCallbackProperty(const char* name, const char* text) override {
    note("createCallbackProperty", name);
    return callback(name, nullptr, text);
  }
  void* createCallbackProperty(const char* name, const hvArray* value) override {
    note("createCallbackProperty", name);
    return callback(name, value, nullptr);
  }
  void* createStructureProperty(const char* name, const hvArray*) override {
    return note("createStructureProperty", name);
  }
  void* createPropFromXML(const char* name) override { return note("createPropFromXML", name); }

  void addEnumValue(void* handle, const char* text, int value) const override {
    note("addEnumValue", text);
    Handler* h = of(handle);
    if (h == nullptr) return;
    const hvArray* old = h->record->getPIConstraintValue();
    const hvSize n = hvGetNumberOfElements(old);
    ZLScopedHvArray list(hvCreateCellMatrix(1, n + 1));
    for (hvSize i = 0; i < n; ++i) hvSetCell(list, i, hvDuplicateArray(hvGetCell(old, i)));
    hvSetCell(list, n, hvCreateString(text));
    h->record->setPIConstraintValue(list);
    h->enumValues.push_back(value);
  }
  void setDefaultValue(void* handle, const char* text) const override {
    note("setDefaultValue", text ? text : "");
    ZLScopedHvArray value(text ? hvCreateString(text) : nullptr);
    if (Handler* h = of(handle)) h->record->setPIDefaultValue(value);
  }
  void setDefaultValue(void* handle, double value) const override {
    note("setDefaultValue", std::to_string(value));
    ZLScopedHvArray v(hvCreateDoubleScalar(value));
    if (Handler* h = of(handle)) h->record->setPIDefaultValue(v);
  }
  void setDefaultValue(void* handle, const hvArray* value) const override {
    note("setDefaultValue", "array");
    if (Handler* h = of(handle)) h->record->setPIDefaultValue(value);
  }
  void setIdentifier(void* handle, int identifier) const override {
    note("setIdentifier", std::to_string(identifier));
    if (Handler* h = of(handle)) PropInfoTestPeer::setPIIdentifier(*h->record, identifier);
  }
  void setPropReadOnly(void* handle, const char* readOnly) const override {
    note("setPropReadOnly", readOnly ? readOnly : "");
    Handler* h = of(handle);
    if (h == nullptr || readOnly == nullptr) return;
    PropInfoTestPeer::setPIReadOnly(*h->record,
                                    PropInfoManager::getInstance()->getReadOnlyID(readOnly));
  }
  void setInitAfterCreate(void*, bool init) const override {
    note("setInitAfterCreate", init ? "true" : "false");
  }
  void setVisible(void* handle, VisibleAccess access) const override {
    note("setVisible", std::to_string(access));
    if (Handler* h = of(handle)) PropInfoTestPeer::setQxVisible(*h->record, access != 0);
  }
  void setAbortSetAllowed(void*, bool allowed) const override {
    note("setAbortSetAllowed", allowed ? "true" : "false");
  }
  void setCustomGetFcn(void*, IGetFcn* fcn) const override {
    note("setCustomGetFcn", "");
    delete fcn;
  }
  void setCustomSetFcn(void*, ISetFcn* fcn) const override {
    note("setCustomSetFcn", "");
    delete fcn;
  }
  void setPropCategory(void* handle, int category) const override {
    note("setPropCategory", std::to_string(category));
    if (Handler* h = of(handle)) PropInfoTestPeer::setPICategory(*h->record, category);
  }
  void addPropHelpLine(void* handle, const char* text) const override {
    note("addPropHelpLine", text ? text : "");
    if (Handler* h = of(handle)) h->record->addDescriptionLine(text, "", false);
  }
  void addPropHelpFromXML(void*, const char* text) const override {
    note("addPropHelpFromXML", text ? text : "null");
  }
  void includeXMLSection(const char* section, bool) override {
    note("includeXMLSection", section ? section : "");
  }

  // The record behind a handle (for tests that set PI fields directly).
  PropInfo* recordOf(void* handle) const {
    Handler* h = of(handle);
    return h != nullptr ? h->record : nullptr;
  }
  // A record made as an instance property of one object (an enumerated one
  // gets a type of its own), added to that object.
  InstancePropInfo* addInstanceEnum(QxInterface* object, const char* name,
                                    const std::vector<std::string>& texts) {
    auto record = std::make_unique<DeviceRecord<InstancePropInfo>>(name);
    PropInfoTestPeer::setPIType(*record, kPITypeString);
    PropInfoTestPeer::setPIConstraint(*record, kPIConstraintEnum);
    record->setPIConstraintValue(nullptr);
    record->setPIDefaultValue(nullptr);
    types_.push_back(std::make_unique<TypedEnumStringType>(
        (std::string(name) + "_InstanceEnumType" + std::to_string(types_.size())).c_str()));
    QxTypeRepository::addType(types_.back().get());
    PropInfoTestPeer::initQxValuesBeforeAdd(*record, types_.back()->getName());
    int value = 0;
    for (const std::string& text : texts) record->addEnumValue(text.c_str(), ++value);
    InstancePropInfo* raw = record.get();
    object->addInstanceProperty(record.release());  // the object owns it now
    raw->getInterface()->setDatabaseClass(propInfoClass());
    return raw;
  }

 private:
  struct Handler {
    PropInfo* record = nullptr;  // owned by `owned` until added
    std::string typeName;
    std::vector<int> enumValues;
  };

  void* note(const char* operation, const std::string& argument) const {
    log.push_back(std::string(operation) + "(" + argument + ")");
    return nullptr;
  }
  static hvArray* scalar(double x) { return hvCreateDoubleScalar(x); }

  Handler* of(void* handle) const { return static_cast<Handler*>(handle); }

  // Takes the default value.
  void* make(const char* name, const std::string& typeName, int piType, hvArray* value) {
    ZLScopedHvArray defaultValue(value);
    auto record = std::make_unique<DeviceRecord<>>(name);
    PropInfoTestPeer::setPIType(*record, piType);
    record->setPIConstraintValue(nullptr);
    record->setPIDefaultValue(defaultValue);
    auto handler = std::make_unique<Handler>();
    handler->record = record.get();
    handler->typeName = typeName;
    owned_.push_back(std::move(record));
    handlers_.push_back(std::move(handler));
    return handlers_.back().get();
  }

  void* bounded(void* handle, double lo, double hi) {
    Handler* h = of(handle);
    PropInfoTestPeer::setPIConstraint(*h->record, kPIConstraintBounded);
    ZLScopedHvArray range(hvCreateDoubleMatrix(1, 2));
    hvGetPr(range)[0] = lo;
    hvGetPr(range)[1] = hi;
    h->record->setPIConstraintValue(range);
    return handle;
  }

  void* callback(const char* name, const hvArray* value, const char* text) {
    hvArray* made = nullptr;
    if (text != nullptr && *text != '\0') {
      made = hvCreateNumericMatrix(1, 1, hvFUNCTION_CLASS);
      hvFunctionHandleFromString(made, text);
    } else if (value != nullptr) {
      made = hvDuplicateArray(value);
    }
    void* handle = make(name, "StrictHCallback", kPITypeCallback, made);
    PropInfoTestPeer::setPIConstraint(*of(handle)->record, kPIConstraintCallback);
    PropInfoTestPeer::setPICategory(*of(handle)->record, kPICategoryCallback);
    return handle;
  }

  void add(void* handle, bool deviceSpecific) const {
    Handler* h = of(handle);
    if (h == nullptr || target_ == nullptr) return;
    PropInfoTestPeer::setPIDeviceSpecific(*h->record, deviceSpecific);
    if (!h->enumValues.empty()) registerEnumType(*h);
    PropInfoTestPeer::initQxValuesBeforeAdd(*h->record, h->typeName.c_str());
    target_->addProperty(h->record);
    for (auto it = owned_.begin(); it != owned_.end(); ++it) {
      if (it->get() == h->record) {
        it->release();  // the class owns it now
        owned_.erase(it);
        break;
      }
    }
    h->record->getInterface()->setDatabaseClass(propInfoClass());
  }

  void registerEnumType(Handler& h) const {
    h.typeName += std::to_string(types_.size());
    auto type = std::make_unique<EnumStringType>(h.typeName.c_str());
    const hvArray* texts = h.record->getPIConstraintValue();
    for (std::size_t i = 0; i < h.enumValues.size(); ++i) {
      type->addEnumValue(zelhox::fcns::getString(hvGetCell(texts, i)).c_str(), h.enumValues[i]);
    }
    QxTypeRepository::addType(type.get());
    types_.push_back(std::move(type));
  }

  QxClass* target_;
  std::vector<std::unique_ptr<Handler>> handlers_;
  mutable std::vector<std::unique_ptr<PropInfo>> owned_;
  mutable std::vector<std::unique_ptr<QxDataType>> types_;
};

}  // namespace testproduct
}  // namespace zelobjsys

#endif  // ZELOBJSYS_TESTS_COMMON_TEST_PRODUCT_H
