// PropertyContainer: entry creation, lookups, sets, enumeration names, read-only rules and listener
// swaps.
#include "zelobjsys/property_container.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <typeinfo>

#include "zelhost/objects/qx_class.h"
#include "zelhost/objects/qx_interface.h"
#include "zelhost/objects/qx_prop_info.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/zelutil.h"
#include "zelhost/types/data_type.h"
#include "zelobjsys/bounded_constraint_check.h"
#include "zelobjsys/instance_prop_info.h"
#include "zelobjsys/prop_info.h"
#include "zelobjsys/prop_info_manager.h"
#include "zelobjsys/property.h"
#include "zelobjsys/read_only_check_fcn.h"

namespace zelobjsys {

namespace {

const EnumerationType* enumerationOf(const Property* entry, const QxInterface* object) {
  const QxDataType* type = entry->getPropInfo()->getDataType(object);
  if (type == nullptr || !type->isEnumeration()) return nullptr;
  return type->getEnumerationType();
}

// FNV-1a over the bytes of a name, measuring its length on the way: one pass
// over a short text, no strlen first.
std::size_t hashName(const char* name, std::size_t* length) {
  std::uint64_t h = 14695981039346656037ULL;
  const char* p = name;
  for (; *p != '\0'; ++p) h = (h ^ static_cast<unsigned char>(*p)) * 1099511628211ULL;
  *length = static_cast<std::size_t>(p - name);
  return static_cast<std::size_t>(h ^ (h >> 29));
}

// Stateless, so one serves every bounded entry of every container (a check
// object per entry was a heap block per property of every object).
// Deliberately never freed: containers may outlive static destruction.
BoundedConstraintCheck& boundsCheck() {
  static BoundedConstraintCheck* check = new BoundedConstraintCheck;
  return *check;
}

// Whether the C string is exactly key; stops at the first difference, so it
// never reads past the string's end.
bool isKey(const std::string& key, const char* name) {
  std::size_t i = 0;
  while (i < key.size() && key[i] == name[i]) ++i;
  return i == key.size() && name[i] == '\0';
}

std::size_t hashName(const std::string& name) {
  std::size_t length = 0;
  return hashName(name.c_str(), &length);
}

}  // namespace

PropertyContainer::PropertyContainer(QxInterface* object) : object_(object) {
  // The destructor does not run for a constructor that throws (an instance
  // property's custom set function may refuse its default).
  try {
    createProperties();
  } catch (...) {
    deleteEntries();
    throw;
  }
}

PropertyContainer::~PropertyContainer() { deleteEntries(); }

void PropertyContainer::deleteEntries() {
  index_.clear();
  lastFound_ = nullptr;
  for (auto& entry : entries_) dropEntry(entry.second);
  entries_.clear();
}

void PropertyContainer::dropEntry(Property* entry) noexcept {
  if (entry == nullptr) return;
  entry->~Property();
  entryPool_.deallocate(entry, sizeof(Property));
}

namespace {

std::size_t countDescriptors(QxInterface* first) {
  std::size_t count = 0;
  for (QxBreadthOnlyIterator it(first, false); it.hasMoreElements(); it.nextElement()) ++count;
  return count;
}

}  // namespace

void PropertyContainer::createProperties() {
  if (object_ == nullptr) return;
  const QxClass* cls = object_->getDatabaseClass();
  QxInterface* classList = cls != nullptr ? cls->getProperties() : nullptr;
  QxInterface* instanceList = object_->getInstanceProperties();
  const std::size_t count = countDescriptors(classList) + countDescriptors(instanceList);
  reserveIndex(count);
  nodePool_.reserve(count);
  entryPool_.reserve(count);
  if (cls != nullptr) createPropertiesFrom(classList, false);
  createPropertiesFrom(instanceList, true);
}

namespace {

// The record behind a descriptor, or null for descriptors that are not the
// library's. A dynamic_cast per descriptor was a sixth of making an object;
// whether a descriptor is a record depends on its most-derived type alone, so
// the cast runs once for each change of type along the list, and a record's
// descriptor part (PropInfo's own, non-virtual base) converts statically.
class RecordCast {
 public:
  PropInfo* operator()(QxPropInfoTemplate* descriptor) {
    if (descriptor == nullptr) return nullptr;
    const std::type_info* type = &typeid(*descriptor);
    if (type != type_) {
      PropInfo* record = dynamic_cast<PropInfo*>(descriptor);
      type_ = type;
      isRecord_ = record != nullptr;
      return record;
    }
    return isRecord_ ? static_cast<PropInfo*>(descriptor) : nullptr;
  }

 private:
  const std::type_info* type_ = nullptr;
  bool isRecord_ = false;
};

}  // namespace

void PropertyContainer::createPropertiesFrom(QxInterface* first, bool isInstance) {
  RecordCast recordOf;
  QxBreadthOnlyIterator it(first, false);
  while (it.hasMoreElements()) {
    QxInterface* descriptorObject = it.nextElement();
    void* ownPart = descriptorObject != nullptr ? descriptorObject->getObject() : nullptr;
    // Descriptors that are not the library's records have no entry.
    PropInfo* info = recordOf(static_cast<QxPropInfoTemplate*>(ownPart));
    if (info != nullptr) createProperty(info, isInstance);
  }
}

void PropertyContainer::createProperty(PropInfo* info, bool isInstance) {
  const char* name = info->getName() != nullptr ? info->getName() : "";
  auto found = entries_.lower_bound(std::string_view(name));
  Property* entry = nullptr;
  if (found != entries_.end() && found->first == name) {
    // A namesake takes the entry over rather than replacing it: rules of any
    // container, timers and listeners hold the entry itself.
    entry = found->second;
    entry->redefine(info);
    entry->removeCheckFcnsIf([](const IPropCheckFcn* fcn) {
      return dynamic_cast<const BoundedConstraintCheck*>(fcn) != nullptr;
    });
  } else {
    void* slot = entryPool_.allocate(sizeof(Property));
    try {
      entry = new (slot) Property(object_, info);
    } catch (...) {
      entryPool_.deallocate(slot, sizeof(Property));
      throw;
    }
    EntryMap::iterator node;
    try {
      node = entries_.emplace_hint(found, name, entry);
    } catch (...) {
      dropEntry(entry);
      throw;
    }
    indexEntry(&*node);
  }
  if (info->getPIConstraint() == kPIConstraintBounded) entry->addSharedCheckFcn(boundsCheck());
  if (isInstance && info->isInitAccess()) entry->setValue(info->getFactoryDefault(), false);
}

void PropertyContainer::addInstanceProperty(PropInfo* info) {
  if (info == nullptr || object_ == nullptr) return;
  object_->addInstanceProperty(info);
  createProperty(info, true);
}

void PropertyContainer::removeInstanceProperty(const char* name) {
  if (name == nullptr || object_ == nullptr) return;
  auto found = entries_.find(std::string_view(name));
  if (found == entries_.end()) return;
  // The descriptor that the entry stands for, when it is one of the object's
  // instance properties; a class property is never removed.
  QxInterface* hostProperty = found->second->getPropInfo()->getInterface();
  QxInterface* instanceList = object_->getInstanceProperties();
  if (instanceList == nullptr || hostProperty->getUp() != instanceList->getUp()) return;
  // Rules that other entries hold on this one watch it and lapse with it.
  lastFound_ = nullptr;
  dropEntry(found->second);
  entries_.erase(found);
  rebuildIndex(entries_.size());
  object_->removeInstanceProperty(hostProperty);
}

Property* PropertyContainer::getProperty(const char* name) const {
  if (name == nullptr || index_.empty()) return nullptr;
  if (lastFound_ != nullptr && isKey(lastFound_->first, name)) return lastFound_->second;
  std::size_t length = 0;
  const std::size_t mask = index_.size() - 1;
  for (std::size_t i = hashName(name, &length) & mask;; i = (i + 1) & mask) {
    const IndexSlot slot = index_[i];
    if (slot == nullptr) return nullptr;
    if (slot->first.size() == length && std::memcmp(slot->first.data(), name, length) == 0) {
      lastFound_ = slot;
      return slot->second;
    }
  }
}

void PropertyContainer::indexEntry(IndexSlot node) {
  if (2 * (entries_.size() + 1) > index_.size()) {
    rebuildIndex(entries_.size());  // entries_ holds the node already: it is indexed now
    return;
  }
  const std::size_t mask = index_.size() - 1;
  std::size_t i = hashName(node->first) & mask;
  while (index_[i] != nullptr) i = (i + 1) & mask;
  index_[i] = node;
}

void PropertyContainer::reserveIndex(std::size_t count) {
  if (2 * (count + 1) > index_.size()) rebuildIndex(count);
}

void PropertyContainer::rebuildIndex(std::size_t count) {
  std::size_t size = 8;
  while (size < 2 * (std::max(count, entries_.size()) + 1)) size *= 2;
  index_.assign(size, nullptr);
  const std::size_t mask = size - 1;
  for (const auto& node : entries_) {
    std::size_t i = hashName(node.first) & mask;
    while (index_[i] != nullptr) i = (i + 1) & mask;
    index_[i] = &node;
  }
}

PropInfo* PropertyContainer::getPropInfo(const char* name) const {
  const Property* entry = getProperty(name);
  // The host owns the records and hands them out mutable; the entry only
  // reads its own, so the container may give back the writable record.
  return entry != nullptr ? const_cast<PropInfo*>(entry->getPropInfo()) : nullptr;
}

InstancePropInfo* PropertyContainer::getInstancePropInfo(const char* name) const {
  return dynamic_cast<InstancePropInfo*>(getPropInfo(name));
}

void PropertyContainer::setPropValue(const char* name, const void* value, bool runChecks) {
  if (Property* entry = getProperty(name)) entry->setValue(value, runChecks);
}

bool PropertyContainer::checkPropValue(const char* name, const void* value) const {
  Property* entry = getProperty(name);
  if (entry == nullptr) return false;
  // Every refusal is "false"; exceptions thrown by pointer are freed here.
  try {
    entry->checkValue(value, true);
    return true;
  } catch (Exception* e) {
    delete e;
  } catch (zelutil::ZLException* e) {
    delete e;
  } catch (...) {
  }
  return false;
}

void* PropertyContainer::getPropValue(const char* name) const {
  Property* entry = getProperty(name);
  return entry != nullptr ? entry->getValue() : nullptr;
}

int PropertyContainer::getPropValueAsInt(const char* name) const {
  Property* entry = getProperty(name);
  return entry != nullptr ? entry->getValueAsInt() : 0;
}

double PropertyContainer::getPropValueAsDouble(const char* name) const {
  Property* entry = getProperty(name);
  return entry != nullptr ? entry->getValueAsDouble() : 0.0;
}

bool PropertyContainer::isPropertyAvailable(const char* name) const {
  return getProperty(name) != nullptr;
}

const KTIPropInfo* PropertyContainer::getIPropInfo(const char* name) const {
  const Property* entry = getProperty(name);
  return entry != nullptr ? entry->getPropInfo() : nullptr;
}

const char* PropertyContainer::getEnumString(const char* name, const void* value) const {
  const Property* entry = getProperty(name);
  if (entry == nullptr) return nullptr;
  if (value == nullptr) value = getPropValue(name);
  const EnumerationType* names = enumerationOf(entry, object_);
  if (names == nullptr || value == nullptr) return nullptr;
  return names->getEnumString(value);
}

const char* PropertyContainer::getEnumString(const char* name) const {
  return getEnumString(name, nullptr);
}

const void* PropertyContainer::getEnumID(const char* name, const char* enumString) const {
  const Property* entry = getProperty(name);
  if (entry == nullptr) return nullptr;
  if (enumString == nullptr) return getPropValue(name);
  const EnumerationType* names = enumerationOf(entry, object_);
  return names != nullptr ? names->getEnumValue(enumString) : nullptr;
}

bool PropertyContainer::setCustomGetFcn(const char* name, IGetFcn* fcn) {
  Property* entry = getProperty(name);
  if (entry == nullptr) return false;
  entry->setCustomGetFcn(fcn);
  return true;
}

bool PropertyContainer::addListener(const char* name, KTIPropSetListener* listener) {
  Property* entry = getProperty(name);
  if (entry == nullptr) return false;
  entry->addListener(listener);
  return true;
}

void PropertyContainer::addCheckFcn(const char* name, IPropCheckFcn* fcn) {
  if (Property* entry = getProperty(name)) entry->addCheckFcn(fcn);
}

void PropertyContainer::notifyListeners(const char* name) const {
  if (Property* entry = getProperty(name)) entry->notifyListeners();
}

void PropertyContainer::notifyListeners() const {
  for (const auto& entry : entries_) entry.second->notifyListeners();
}

int PropertyContainer::getNumberProps() const { return static_cast<int>(entries_.size()); }

void PropertyContainer::getPropNames(const char** names) const {
  if (names == nullptr) return;
  for (const auto& entry : entries_) *names++ = entry.first.c_str();
}

void PropertyContainer::clearIgnoreUntilSet() {
  for (auto& entry : entries_) entry.second->setIgnoreUntilSet(false);
}

void PropertyContainer::configureReadOnlyCheckFcn(PropertyContainer* other,
                                                  const char* readOnlyValue, const char* propName,
                                                  const char* propValue) {
  Property* controlling = other != nullptr ? other->getProperty(propName) : nullptr;
  if (controlling == nullptr) return;
  configureReadOnlyCheckFcn(readOnlyValue, controlling, propValue);
}

void PropertyContainer::configureReadOnlyCheckFcn(const char* readOnlyValue, Property* controlling,
                                                  const char* propValue) {
  const PropInfoManager* manager = PropInfoManager::getInstance();
  const int rule =
      manager != nullptr && readOnlyValue != nullptr ? manager->getReadOnlyID(readOnlyValue) : -1;
  if (rule >= 0) {
    for (auto& entry : entries_) {
      if (entry.second->getPropInfo()->getPIReadOnly() == rule) {
        entry.second->addCheckFcn(new ReadOnlyCheckFcn(controlling, propValue));
      }
    }
  }
  // The rule needs a value to compare with.
  if (controlling->getValue() == nullptr) {
    controlling->setValue(controlling->getPropInfo()->getFactoryDefault(), false);
  }
}

void PropertyContainer::swapPropListeners(PropertyContainer* other) {
  if (other == nullptr) return;
  for (auto& entry : entries_) {
    auto namesake = other->entries_.find(entry.first);
    if (namesake != other->entries_.end()) entry.second->swapListeners(namesake->second);
  }
}

}  // namespace zelobjsys
