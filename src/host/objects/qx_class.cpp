// Host classes: names, superclasses, descriptors and methods, object creation and error filtering.
#include "zelhost/objects/qx_class.h"

#include <unordered_set>

#include "class_impl.h"
#include "prop_info_impl.h"
#include "property_lookup.h"
#include "zelhost/objects/qx_prop_info.h"
#include "zelhost/services/exceptions.h"

namespace {

// Every live class, so that a class going away can be removed as the
// superclass of others. Never freed (see the object registry).
std::unordered_set<QxClass*>& allClasses() {
  static auto* classes = new std::unordered_set<QxClass*>;
  return *classes;
}

}  // namespace

void hoxDeleteClass(QxClass* cls) {
  if (!cls) return;
  for (QxObjectCore* core : hoxreg::liveObjectsOf(cls)) {
    core->destroyQuietly();
    core->release();
  }
  delete cls;
}

QxClass::QxClass() : impl_(new Impl) {
  impl_->host = QxObjectCore::create(nullptr, this);
  impl_->host->setOwnerOnly();
  impl_->host->retain();
  allClasses().insert(this);
  QxPropInfoTemplate::noteDefinitionChange();  // a new class may sit where another was
}

QxClass::~QxClass() {
  QxPropInfoTemplate::noteDefinitionChange();
  allClasses().erase(this);
  for (QxClass* other : allClasses()) {
    if (other->impl_->superClass == this) other->impl_->superClass = nullptr;
  }
  hoxreg::forgetClass(this);
  // The host object takes the property list, and with it every descriptor.
  impl_->host->detachOwnPart();
  impl_->host->destroyQuietly();
  impl_->host->release();
  delete impl_;
}

void QxClass::setName(const char* name, bool) {
  impl_->name = name ? name : "";
  if (QxObjectCore* list = impl_->host->parent()) list->renameChild(impl_->host, impl_->name);
}

const char* QxClass::getName() const { return impl_->name.c_str(); }

void QxClass::setSuperClass(QxClass* superClass) {
  for (QxClass* p = superClass; p; p = p->getSuperClass()) {
    if (p == this)
      throw new ErrorIdException("PULVRA:superclass:cycle",
                                 "The class '" + impl_->name + "' cannot be its own superclass.");
  }
  impl_->superClass = superClass;
}

QxClass* QxClass::getSuperClass() const { return impl_->superClass; }

QxInterface* QxClass::getInterface() const { return impl_->host->handle(); }

QxApplication* QxClass::getApplication() const { return impl_->application; }

void QxClass::addProperty(QxPropInfo* prop) {
  if (!prop) return;
  QxObjectCore* list = impl_->host->ownedList(QxObjectCore::kClassPropertyList, true);
  if (!list)
    throw new GenericException("The class '" + impl_->name +
                               "' is being destroyed: no property can be added.");
  const char* name = prop->getName();
  if (list->findExact(name))
    throw new GenericException("The class '" + impl_->name + "' already has a property named '" +
                               name + "'.");
  QxObjectCore* descriptorCore = QxObjectCore::of(prop->getInterface());
  list->appendNamed(descriptorCore, name);
  descriptorCore->setOwnerOnly();  // the class's from now on
  prop->impl_->cls = this;
  QxPropInfoTemplate::noteDefinitionChange();
}

void QxClass::addMethod(QxMethodInfo* method) {
  if (!method) return;
  method->class_ = this;
  impl_->methods.emplace_back(method);
  impl_->firstMethodByName.emplace(method->getName(), method);
}

QxInterface* QxClass::getProperties() const {
  QxObjectCore* list = impl_->host->ownedList(QxObjectCore::kClassPropertyList, false);
  QxObjectCore* first = list ? list->firstChild() : nullptr;
  return first ? first->handle() : nullptr;
}

QxInterface* QxClass::getProperty(const char* name, bool) const {
  return hoxLookupProperty(this, nullptr, name);
}

QxMethodInfo* QxClass::getMethod(const char* name) const {
  if (!name) return nullptr;
  auto it = impl_->firstMethodByName.find(name);
  if (it != impl_->firstMethodByName.end()) return it->second;
  return impl_->superClass ? impl_->superClass->getMethod(name) : nullptr;
}

int QxClass::getNumberOfMethods() const { return static_cast<int>(impl_->methods.size()); }

QxMethodInfo* QxClass::getMethodAt(int i) const {
  if (i < 0 || i >= getNumberOfMethods()) return nullptr;
  return impl_->methods[static_cast<std::size_t>(i)].get();
}

QxInterface* QxClass::createObject(QxDatabaseClient*, QxInterface* parent, void** args, int count,
                                   const QxMethodSignature*) {
  if (isAbstractClass())
    throw new ErrorIdException(
        "PULVRA:object:abstractClass",
        "Cannot create an object of the abstract class '" + impl_->name + "'.");
  QxObjectCore* core = QxObjectCore::create(this, nullptr);
  core->retain();
  QxCoreRef hold(core);
  bool made = false;
  try {
    core->setOwnPart(createClassSpecificObject(core->handle(), args, count));
    made = true;
    core->setState(kLifecycleConstructed);
    if (parent) core->handle()->addBelow(parent);
  } catch (...) {
    // Until createClassSpecificObject returned, the class has handed over
    // nothing to release.
    core->destroyQuietly(made);
    throw;
  }
  return core->handle();
}

void QxClass::setKeepFlag(bool keep) { impl_->keep = keep; }

bool QxClass::getKeepFlag() const { return impl_->keep; }

const char* QxClass::getFullName() const { return impl_->name.c_str(); }

const char* QxClass::getDescription() const { return impl_->description.c_str(); }

void QxClass::setDescription(const char* text) { impl_->description = text ? text : ""; }

void* QxClass::createClassSpecificObject(QxInterface* object, void**, int) {
  return createClassSpecificObject(object);
}

void* QxClass::createClassSpecificObject(QxInterface*) { return nullptr; }

Exception* QxClass::filterPropAccessException(Exception* e, QxInterface*, QxPropInfo*,
                                              const char*) {
  return e;
}
