// PropInfoManager: translations of the property-info enumerations and the hidden "propinfo" fields.
#include "zelobjsys/prop_info_manager.h"

#include <algorithm>
#include <cstdint>

#include "zelhost/types/data_type.h"
#include "zelobjsys/prop_info_qxc.h"

namespace zelobjsys {

PropInfoManager* PropInfoManager::_singleton = nullptr;

PropInfoManager* PropInfoManager::getInstance() {
  createInstance();
  return _singleton;
}

void PropInfoManager::createInstance() {
  if (_singleton == nullptr) _singleton = new PropInfoManager();
}

void PropInfoManager::destroyInstance() {
  delete _singleton;
  _singleton = nullptr;
}

int PropInfoManager::getTypeID(const char* text) const {
  return getPIEnumID(kPITypeEnumName, text);
}

std::string PropInfoManager::getTypeString(int id) const {
  return getPIEnumStr(kPITypeEnumName, id);
}

int PropInfoManager::addTypeValue(const char* text) const {
  return addPIEnumValue(kPITypeEnumName, text);
}

int PropInfoManager::getConstraintID(const char* text) const {
  return getPIEnumID(kPIConstraintEnumName, text);
}

std::string PropInfoManager::getConstraintString(int id) const {
  return getPIEnumStr(kPIConstraintEnumName, id);
}

int PropInfoManager::getReadOnlyID(const char* text) const {
  return getPIEnumID(kPIReadOnlyEnumName, text);
}

std::string PropInfoManager::getReadOnlyString(int id) const {
  return getPIEnumStr(kPIReadOnlyEnumName, id);
}

int PropInfoManager::addReadOnlyValue(const char* text) const {
  return addPIEnumValue(kPIReadOnlyEnumName, text);
}

int PropInfoManager::getCategoryID(const char* text) const {
  return getPIEnumID(kPICategoryEnumName, text);
}

std::string PropInfoManager::getCategoryString(int id) const {
  return getPIEnumStr(kPICategoryEnumName, id);
}

int PropInfoManager::addCategoryValue(const char* text) const {
  return addPIEnumValue(kPICategoryEnumName, text);
}

void PropInfoManager::hideField(const char* package, const char* className, const char* field) {
  if (isFieldHidden(package, className, field)) return;
  std::string key;
  createUniqueKey(key, package, className, field);
  hiddenKeys_.push_back(std::move(key));
}

bool PropInfoManager::isFieldHidden(const char* package, const char* className,
                                    const char* field) const {
  std::string key;
  createUniqueKey(key, package, className, field);
  return std::find(hiddenKeys_.begin(), hiddenKeys_.end(), key) != hiddenKeys_.end();
}

int PropInfoManager::getPIEnumID(const char* typeName, const char* text) const {
  const EnumerationType* values = getEnumDataType(typeName);
  if (values == nullptr || text == nullptr) return -1;
  const void* value = values->getEnumValue(text);
  return value != nullptr ? *static_cast<const int32_t*>(value) : -1;
}

std::string PropInfoManager::getPIEnumStr(const char* typeName, int id) const {
  const EnumerationType* values = getEnumDataType(typeName);
  if (values == nullptr) return std::string();
  const int32_t value = id;
  const char* text = values->getEnumString(&value);
  return text != nullptr ? std::string(text) : std::string();
}

int PropInfoManager::addPIEnumValue(const char* typeName, const char* text) const {
  if (text == nullptr) return -1;
  const int existing = getPIEnumID(typeName, text);
  if (existing != -1) return existing;
  // Only the enumerations that number their values themselves can grow here.
  auto* type = dynamic_cast<EnumStringType*>(QxTypeRepository::getType(typeName, true));
  if (type == nullptr) return -1;
  type->addEnumValue(text);
  return getPIEnumID(typeName, text);
}

const EnumerationType* PropInfoManager::getEnumDataType(const char* typeName) const {
  const QxDataType* type = QxTypeRepository::getType(typeName, true);
  return type != nullptr ? type->getEnumerationType() : nullptr;
}

void PropInfoManager::createUniqueKey(std::string& key, const char* package, const char* className,
                                      const char* field) const {
  // Each part ends with a NUL, which no part can hold: ("daq", "AnalogInput")
  // and ("daqAnalog", "Input") stay two keys.
  key.clear();
  for (const char* part : {package, className, field}) {
    if (part != nullptr) key += part;
    key += '\0';
  }
}

}  // namespace zelobjsys
