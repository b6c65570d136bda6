// PropInfoQxC and its seven field descriptors: a record's property information as host fields.
#include "zelobjsys/prop_info_qxc.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <utility>

#include "zelhost/objects/qx_application.h"
#include "zelhost/objects/qx_interface.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/types/data_type.h"
#include "zelobjsys/prop_info.h"

namespace zelobjsys {

// Reaches the record's private setters on behalf of the fields.
struct PropInfoFieldAccess {
  static void setType(PropInfo& r, int v) { r.setPIType(v); }
  static void setConstraint(PropInfo& r, int v) { r.setPIConstraint(v); }
  static void setReadOnly(PropInfo& r, int v) { r.setPIReadOnly(v); }
  static void setCategory(PropInfo& r, int v) { r.setPICategory(v); }
  static void setDeviceSpecific(PropInfo& r, bool v) { r.setPIDeviceSpecific(v); }
  static void setDefaultValue(PropInfo& r, const hvArray* value);
};

namespace {

struct EnumValue {
  const char* text;
  int value;
};

struct EnumDefinition {
  const char* typeName;
  const EnumValue* values;
  std::size_t count;
};

constexpr EnumValue kTypeValues[] = {{"any", kPITypeAny},       {"callback", kPITypeCallback},
                                     {"double", kPITypeDouble}, {"string", kPITypeString},
                                     {"struct", kPITypeStruct}, {"cell", kPITypeCell}};
constexpr EnumValue kConstraintValues[] = {{"bounded", kPIConstraintBounded},
                                           {"callback", kPIConstraintCallback},
                                           {"enum", kPIConstraintEnum},
                                           {"none", kPIConstraintNone}};
constexpr EnumValue kReadOnlyValues[] = {{"always", kPIReadOnlyAlways},
                                         {"never", kPIReadOnlyNever}};
constexpr EnumValue kCategoryValues[] = {{"none", kPICategoryNone},
                                         {"callback", kPICategoryCallback},
                                         {"trigger", kPICategoryTrigger},
                                         {"status", kPICategoryStatus}};

// In the order in which the class removes them.
constexpr EnumDefinition kEnumerations[] = {
    {kPITypeEnumName, kTypeValues, std::size(kTypeValues)},
    {kPIConstraintEnumName, kConstraintValues, std::size(kConstraintValues)},
    {kPIReadOnlyEnumName, kReadOnlyValues, std::size(kReadOnlyValues)},
    {kPICategoryEnumName, kCategoryValues, std::size(kCategoryValues)}};
constexpr std::size_t kEnumerationCount = std::size(kEnumerations);

// The enumerations that the fields made, by position in kEnumerations; null
// where none was made or the one found was someone else's. A plain array, so
// that nothing here is torn down before a late host shutdown looks at it.
QxDataType* madeEnumerations[kEnumerationCount] = {};
// Live PropInfoQxC objects: the enumerations are shared, so only the last
// one to go takes them away.
int liveClasses = 0;

constexpr const char* kNotAPropertyId = "vornix:zlprop:notAProperty";
constexpr const char* kNotAPropertyMessage = "The object is not the descriptor of a property.";

int enumerationIndex(const char* typeName) {
  for (std::size_t i = 0; i < kEnumerationCount; ++i) {
    if (std::strcmp(kEnumerations[i].typeName, typeName) == 0) return static_cast<int>(i);
  }
  return -1;
}

// The registered type of that name; a missing enumeration is made with its
// values, numbered explicitly, and registered.
QxDataType* findOrMakeType(const char* typeName) {
  if (QxDataType* found = QxTypeRepository::getType(typeName, true)) return found;
  const int index = enumerationIndex(typeName);
  if (index < 0) return nullptr;
  QxDataType*& made = madeEnumerations[index];
  if (made == nullptr) {  // one made earlier and since unregistered is reused
    const EnumDefinition& def = kEnumerations[index];
    auto type = std::make_unique<EnumStringType>(def.typeName);
    for (std::size_t i = 0; i < def.count; ++i) {
      type->addEnumValue(def.values[i].text, def.values[i].value);
    }
    made = type.release();  // owned through madeEnumerations until the class goes
  }
  QxTypeRepository::addType(made);
  return QxTypeRepository::getType(typeName, true);
}

QxClass* hostPropertyClass() {
  QxInterface* app = QxApplicationManager::getApplication("schema");
  auto* schema = app != nullptr ? static_cast<QxApplication*>(app->getObject()) : nullptr;
  QxInterface* prop = schema != nullptr ? schema->getLocalClass("prop") : nullptr;
  return prop != nullptr ? static_cast<QxClass*>(prop->getObject()) : nullptr;
}

void addField(QxClass& cls, std::unique_ptr<QxPropInfoTemplate> field) {
  cls.addProperty(field.get());
  field.release();  // the class owns it now
}

// Frees a value stored in a data type's storage with that type.
struct StoredValueDeleter {
  const QxDataType* type;
  void operator()(void* value) const { type->destroy(value); }
};

}  // namespace

void PropInfoFieldAccess::setDefaultValue(PropInfo& r, const hvArray* value) {
  // A default that the data type cannot convert is refused; the record must
  // then keep its former default and factory default, not half of the new.
  const QxDataType* type = r.getQxDataType();
  ZLScopedHvArray oldDefault(r.piDefaultValue_ != nullptr ? hvDuplicateArray(r.piDefaultValue_)
                                                          : nullptr);
  std::unique_ptr<void, StoredValueDeleter> oldFactory(
      type != nullptr ? type->copy(r.getFactoryDefault()) : nullptr, StoredValueDeleter{type});
  try {
    r.setPIDefaultValue(value);
  } catch (Exception* e) {
    std::unique_ptr<Exception> error(e);
    hvDestroyArray(r.piDefaultValue_);
    r.piDefaultValue_ = oldDefault.release();
    r.destroyFactoryDefault();
    r.setFactoryDefault(oldFactory.release());
    throw error.release();
  }
}

// ---------------------------------------------------------------- the class

PropInfoQxC::PropInfoQxC() {
  setName(kPropInfoClassName, true);
  setSuperClass(hostPropertyClass());
  addField(*this, std::make_unique<PropInfoTypePIT>());
  addField(*this, std::make_unique<PropInfoConstraintPIT>());
  addField(*this, std::make_unique<PropInfoConstraintValuePIT>());
  addField(*this, std::make_unique<PropInfoDefaultValuePIT>());
  addField(*this, std::make_unique<PropInfoReadOnlyPIT>());
  addField(*this, std::make_unique<PropInfoDeviceSpecificPIT>());
  addField(*this, std::make_unique<PropInfoCategoryPIT>());
  ++liveClasses;
}

PropInfoQxC::~PropInfoQxC() {
  // The fields die after this body (with the host class); they must not keep
  // pointing at enumerations that are deleted here.
  for (QxBreadthOnlyIterator it(getProperties(), false); it.hasMoreElements();) {
    auto* field = static_cast<QxPropInfoTemplate*>(it.nextElement()->getObject());
    if (field != nullptr && field->getDataType() != nullptr &&
        enumerationIndex(field->getDataType()->getName()) >= 0) {
      field->setDataType(nullptr);
    }
  }
  if (--liveClasses > 0) return;
  for (std::size_t i = 0; i < kEnumerationCount; ++i) {
    if (QxDataType* registered = QxTypeRepository::getType(kEnumerations[i].typeName, true)) {
      QxTypeRepository::removeType(registered);
    }
    if (QxDataType* made = std::exchange(madeEnumerations[i], nullptr)) {
      QxTypeRepository::removeType(made);
      delete made;
    }
  }
}

void* PropInfoQxC::createClassSpecificObject(QxInterface*, void**, int) { return nullptr; }

void* PropInfoQxC::createClassSpecificObject(QxInterface*) { return nullptr; }

void PropInfoQxC::releaseObjectPart(QxInterface* object) {
  if (object == nullptr) return;
  // The own part of a descriptor's host object is the descriptor as its
  // template base; its virtual destructor deletes the whole record.
  delete static_cast<QxPropInfoTemplate*>(object->getObject());
}

// ---------------------------------------------------------------- field bases

PropInfoFieldPIT::PropInfoFieldPIT(const char* fieldName, const char* typeName) {
  setName(fieldName);
  setDataType(findOrMakeType(typeName));
  setAccess(kAccessExternalSet, false);
}

PropInfo& PropInfoFieldPIT::recordOf(QxInterface* object) {
  void* own = object != nullptr ? object->getObject() : nullptr;
  auto* record =
      own != nullptr ? dynamic_cast<PropInfo*>(static_cast<QxPropInfoTemplate*>(own)) : nullptr;
  if (record == nullptr) throw new ErrorIdException(kNotAPropertyId, kNotAPropertyMessage);
  return *record;
}

const QxDataType& PropInfoFieldPIT::dataTypeWithStorage(int category) const {
  const QxDataType* type = getDataType(nullptr);
  if (type == nullptr || type->getStorageCategory() != category) {
    throw new ErrorIdException(
        "vornix:zlprop:badType",
        "The data type of the property field '" + std::string(getName()) + "' is not usable.");
  }
  return *type;
}

void* PropInfoEnumFieldPIT::getValue(QxDatabaseClient*, QxInterface* object) {
  const int32_t value = read(recordOf(object));
  return dataTypeWithStorage(kStorageInt32).copy(&value);
}

void PropInfoEnumFieldPIT::setValue(QxDatabaseClient*, QxInterface* object, const void* value) {
  PropInfo& record = recordOf(object);
  if (value == nullptr) return;  // nothing to store
  write(record, *static_cast<const int32_t*>(value));
}

void PropInfoEnumFieldPIT::releaseValue(QxDatabaseClient*, QxInterface*, void* value) {
  if (const QxDataType* type = getDataType(nullptr)) type->destroy(value);
}

void* PropInfoArrayFieldPIT::getValue(QxDatabaseClient*, QxInterface* object) {
  return read(recordOf(object));
}

void PropInfoArrayFieldPIT::setValue(QxDatabaseClient*, QxInterface* object, const void* value) {
  write(recordOf(object), static_cast<const hvArray*>(value));
}

// ---------------------------------------------------------------- the seven fields

PropInfoTypePIT::PropInfoTypePIT() : PropInfoEnumFieldPIT("Type", kPITypeEnumName) {}
int PropInfoTypePIT::read(const PropInfo& r) const { return r.getPIType(); }
void PropInfoTypePIT::write(PropInfo& r, int v) const { PropInfoFieldAccess::setType(r, v); }

PropInfoConstraintPIT::PropInfoConstraintPIT()
    : PropInfoEnumFieldPIT("Constraint", kPIConstraintEnumName) {}
int PropInfoConstraintPIT::read(const PropInfo& r) const { return r.getPIConstraint(); }
void PropInfoConstraintPIT::write(PropInfo& r, int v) const {
  PropInfoFieldAccess::setConstraint(r, v);
}

PropInfoConstraintValuePIT::PropInfoConstraintValuePIT()
    : PropInfoArrayFieldPIT("ConstraintValue", "PULVRA array") {}
hvArray* PropInfoConstraintValuePIT::read(const PropInfo& r) const {
  return r.getPIConstraintValue();
}
void PropInfoConstraintValuePIT::write(PropInfo& r, const hvArray* v) const {
  r.setPIConstraintValue(v);
}

PropInfoDefaultValuePIT::PropInfoDefaultValuePIT()
    : PropInfoArrayFieldPIT("DefaultValue", "PULVRA array") {}
hvArray* PropInfoDefaultValuePIT::read(const PropInfo& r) const { return r.getPIDefaultValue(); }
void PropInfoDefaultValuePIT::write(PropInfo& r, const hvArray* v) const {
  PropInfoFieldAccess::setDefaultValue(r, v);
}

PropInfoReadOnlyPIT::PropInfoReadOnlyPIT()
    : PropInfoEnumFieldPIT("ReadOnly", kPIReadOnlyEnumName) {}
int PropInfoReadOnlyPIT::read(const PropInfo& r) const { return r.getPIReadOnly(); }
void PropInfoReadOnlyPIT::write(PropInfo& r, int v) const {
  PropInfoFieldAccess::setReadOnly(r, v);
}

PropInfoDeviceSpecificPIT::PropInfoDeviceSpecificPIT()
    : PropInfoFieldPIT("DeviceSpecific", "bool") {}

void* PropInfoDeviceSpecificPIT::getValue(QxDatabaseClient*, QxInterface* object) {
  const bool value = recordOf(object).getPIDeviceSpecific();
  return dataTypeWithStorage(kStorageBool).copy(&value);
}

void PropInfoDeviceSpecificPIT::setValue(QxDatabaseClient*, QxInterface* object,
                                         const void* value) {
  PropInfo& record = recordOf(object);
  if (value == nullptr) return;  // nothing to store
  // Read as a byte: any non-zero byte is true, without loading a bool that
  // may hold another bit pattern.
  PropInfoFieldAccess::setDeviceSpecific(record, *static_cast<const unsigned char*>(value) != 0);
}

void PropInfoDeviceSpecificPIT::releaseValue(QxDatabaseClient*, QxInterface*, void* value) {
  if (const QxDataType* type = getDataType(nullptr)) type->destroy(value);
}

PropInfoCategoryPIT::PropInfoCategoryPIT()
    : PropInfoEnumFieldPIT("Category", kPICategoryEnumName) {}
int PropInfoCategoryPIT::read(const PropInfo& r) const { return r.getPICategory(); }
void PropInfoCategoryPIT::write(PropInfo& r, int v) const {
  PropInfoFieldAccess::setCategory(r, v);
}

}  // namespace zelobjsys
