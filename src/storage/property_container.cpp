// PropertyContainer: entry creation, lookups, sets, enumeration names, read-only rules and listener
// swaps.
#include "zelobjsys/property_container.h"

#include "container_layout.h"

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

constexpr std::size_t kNone = ContainerLayout::kNone;

const EnumerationType* enumerationOf(const Property* entry, const QxInterface* object) {
  const QxDataType* type = entry->getPropInfo()->getDataType(object);
  if (type == nullptr || !type->isEnumeration()) return nullptr;
  return type->getEnumerationType();
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
bool isKey(const std::string& key, const char* name) { return std::strcmp(key.c_str(), name) == 0; }

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
  forgetLastFound();
  for (Property* entry : entries_) dropEntry(entry);
  entries_.clear();
  layout_.reset();
}

void PropertyContainer::dropEntry(Property* entry) noexcept {
  if (entry == nullptr) return;
  entry->~Property();
  entryPool_.deallocate(entry, sizeof(Property));
}

Property* PropertyContainer::makeEntry(const EntryDefinition& definition) const {
  void* slot = entryPool_.allocate(sizeof(Property));
  try {
    return new (slot) Property(object_, definition.record, definition.dataType, definition.getFcn,
                               definition.setFcn);
  } catch (...) {
    entryPool_.deallocate(slot, sizeof(Property));
    throw;
  }
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
  // The class's records give every object of it the same names: their order
  // and index are worked out once and shared. The entries themselves are made
  // when first needed: most objects never touch most of their properties.
  layout_ = classLayoutOf(cls, classList)->layout;
  entryPool_.reserve(layout_->size() + countDescriptors(instanceList));
  entries_.assign(layout_->size(), nullptr);
  RecordCast recordOf;
  for (QxBreadthOnlyIterator it(instanceList, false); it.hasMoreElements();) {
    if (const PropInfo* info = recordOf(it.nextElement())) createInstanceEntry(info);
  }
}

Property* PropertyContainer::entryAt(std::size_t position) const {
  Property*& entry = entries_[position];
  if (entry == nullptr) {
    const EntryDefinition& definition = layout_->definition(position);
    entry = makeEntry(definition);
    if (definition.bounded) entry->addSharedCheckFcn(boundsCheck());
  }
  return entry;
}

const PropInfo* PropertyContainer::infoAt(std::size_t position) const {
  const Property* entry = entries_[position];
  return entry != nullptr ? entry->getPropInfo() : layout_->definition(position).record;
}

void PropertyContainer::createInstanceEntry(const PropInfo* info) {
  const char* name = info->getName() != nullptr ? info->getName() : "";
  const std::size_t position = layout_->lowerBound(name);
  Property* entry = nullptr;
  if (position < entries_.size() && layout_->name(position) == name) {
    // A namesake takes the entry over rather than replacing it: rules of any
    // container, timers and listeners hold the entry itself.
    entry = entryAt(position);
    entry->redefine(info);
    entry->removeCheckFcnsIf([](const IPropCheckFcn* fcn) {
      return dynamic_cast<const BoundedConstraintCheck*>(fcn) != nullptr;
    });
  } else {
    entry = makeEntry(EntryDefinition(info));
    try {
      std::shared_ptr<const ContainerLayout> grown = layout_->withInserted(position, name, info);
      entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(position), entry);
      layout_ = std::move(grown);
    } catch (...) {
      dropEntry(entry);
      throw;
    }
    forgetLastFound();
  }
  if (info->getPIConstraint() == kPIConstraintBounded) entry->addSharedCheckFcn(boundsCheck());
  if (info->isInitAccess()) entry->setValue(info->getFactoryDefault(), false);
}

void PropertyContainer::addInstanceProperty(PropInfo* info) {
  if (info == nullptr || object_ == nullptr) return;
  object_->addInstanceProperty(info);
  createInstanceEntry(info);
}

void PropertyContainer::removeInstanceProperty(const char* name) {
  if (name == nullptr || object_ == nullptr || !layout_) return;
  const std::size_t position = layout_->find(name);
  if (position == kNone) return;
  // The descriptor that the entry stands for, when it is one of the object's
  // instance properties; a class property is never removed.
  QxInterface* hostProperty = infoAt(position)->getInterface();
  QxInterface* instanceList = object_->getInstanceProperties();
  if (instanceList == nullptr || hostProperty->getUp() != instanceList->getUp()) return;
  std::shared_ptr<const ContainerLayout> shrunk = layout_->withErased(position);
  // Rules that other entries hold on this one watch it and lapse with it.
  forgetLastFound();
  dropEntry(entries_[position]);
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(position));
  layout_ = std::move(shrunk);
  object_->removeInstanceProperty(hostProperty);
}

Property* PropertyContainer::getProperty(const char* name) const {
  if (name == nullptr || entries_.empty()) return nullptr;
  if (lastKey_ != nullptr && isKey(*lastKey_, name)) return lastEntry_;
  const std::size_t position = layout_->find(name);
  if (position == kNone) return nullptr;
  lastEntry_ = entryAt(position);
  lastKey_ = &layout_->name(position);
  return lastEntry_;
}

PropInfo* PropertyContainer::getPropInfo(const char* name) const {
  if (name == nullptr || entries_.empty()) return nullptr;
  const std::size_t position = layout_->find(name);
  // The host owns the records and hands them out mutable; the entry only
  // reads its own, so the container may give back the writable record.
  return position != kNone ? const_cast<PropInfo*>(infoAt(position)) : nullptr;
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
  return getPropInfo(name) != nullptr;
}

const KTIPropInfo* PropertyContainer::getIPropInfo(const char* name) const {
  return getPropInfo(name);
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
  for (Property* entry : entries_) {
    if (entry != nullptr) entry->notifyListeners();  // one not made yet has no listeners
  }
}

int PropertyContainer::getNumberProps() const { return static_cast<int>(entries_.size()); }

void PropertyContainer::getPropNames(const char** names) const {
  if (names == nullptr) return;
  for (std::size_t i = 0; i < entries_.size(); ++i) *names++ = layout_->name(i).c_str();
}

void PropertyContainer::clearIgnoreUntilSet() {
  for (Property* entry : entries_) {
    if (entry != nullptr) entry->setIgnoreUntilSet(false);
  }
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
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (infoAt(i)->getPIReadOnly() == rule) {
        entryAt(i)->addCheckFcn(new ReadOnlyCheckFcn(controlling, propValue));
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
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (Property* namesake = other->getProperty(layout_->name(i).c_str())) {
      entryAt(i)->swapListeners(namesake);
    }
  }
}

}  // namespace zelobjsys
