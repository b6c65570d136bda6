// Host property descriptors: their host objects, access flags, factory defaults and error-status
// value operations.
#include "zelhost/objects/qx_prop_info.h"

#include <atomic>

#include "class_impl.h"
#include "prop_info_impl.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/types/data_type.h"

QxPropInfoTemplate::QxPropInfoTemplate() : impl_(new Impl) {
  impl_->access.set(kAccessExternalGet);
  impl_->access.set(kAccessInternalGet);
  impl_->access.set(kAccessInternalSet);
  impl_->host = QxObjectCore::create(hoxPropClass(), static_cast<void*>(this));
  impl_->host->setDescriptor(this);
  impl_->host->retain();  // the descriptor's own count on its host object
}

QxPropInfoTemplate::~QxPropInfoTemplate() {
  QxObjectCore* host = impl_->host;
  // Either the host object's class is deleting us (it is being destroyed),
  // or we are deleted directly: then the host object goes too, without
  // asking its class to delete us a second time.
  host->detachOwnPart();
  host->destroyQuietly(false);
  host->release();
  if (impl_->factoryDefault && impl_->type) impl_->type->destroy(impl_->factoryDefault);
  delete impl_;
}

const char* QxPropInfoTemplate::getDisplayName() const { return impl_->name.c_str(); }

std::string QxPropInfoTemplate::getDescription() const { return impl_->description; }

void QxPropInfoTemplate::setDescription(const char* text) { impl_->description = text ? text : ""; }

void* QxPropInfoTemplate::getFactoryDefault() const { return impl_->factoryDefault; }

QxClass* QxPropInfoTemplate::getClass() const { return impl_->cls; }

bool QxPropInfoTemplate::isRuntime() const { return impl_->runtime; }

QxInterface* QxPropInfoTemplate::getInterface() const { return impl_->host->handle(); }

void QxPropInfoTemplate::applyFactoryDefault(QxInterface* object, QxErrorStatus* status) {
  try {
    applyFactoryDefault(object);
  } catch (Exception* e) {
    if (status)
      status->error = e;
    else
      delete e;
  }
}

void QxPropInfoTemplate::applyFactoryDefault(QxInterface* object) {
  if (impl_->factoryDefault)
    setValue(QxDatabaseClient::getInternalClient(), object, impl_->factoryDefault);
}

QxDataType* QxPropInfoTemplate::getDataType(const QxInterface*) const { return impl_->type; }

bool QxPropInfoTemplate::getAccess(QxAccessFlag flag) const {
  return flag >= 0 && flag < kAccessCount && impl_->access.test(flag);
}

void QxPropInfoTemplate::setAccess(QxAccessFlag flag, bool on) {
  if (flag >= 0 && flag < kAccessCount) impl_->access.set(flag, on);
}

bool QxPropInfoTemplate::isExternalGetAccess() const { return getAccess(kAccessExternalGet); }
bool QxPropInfoTemplate::isExternalSetAccess() const { return getAccess(kAccessExternalSet); }
bool QxPropInfoTemplate::isInternalGetAccess() const { return getAccess(kAccessInternalGet); }
bool QxPropInfoTemplate::isInternalSetAccess() const { return getAccess(kAccessInternalSet); }
bool QxPropInfoTemplate::isInitAccess() const { return getAccess(kAccessInit); }
bool QxPropInfoTemplate::isDefaultAccess() const { return getAccess(kAccessDefault); }
bool QxPropInfoTemplate::isResetAccess() const { return getAccess(kAccessReset); }
bool QxPropInfoTemplate::isSerializeAccess() const { return getAccess(kAccessSerialize); }
bool QxPropInfoTemplate::isCopyAccess() const { return getAccess(kAccessCopy); }
bool QxPropInfoTemplate::isListenerAccess() const { return getAccess(kAccessListener); }
bool QxPropInfoTemplate::isAbortSetAccess() const { return getAccess(kAccessAbortSet); }
bool QxPropInfoTemplate::isInspectAccess() const { return getAccess(kAccessInspect); }
bool QxPropInfoTemplate::isVisible() const { return getAccess(kAccessVisible); }
bool QxPropInfoTemplate::isReadOnly() const { return !isExternalSetAccess(); }

const QxPropInfoTemplate::GetFunction& QxPropInfoTemplate::getGetFunction() const {
  return impl_->getFn;
}

void QxPropInfoTemplate::setGetFunction(GetFunction fn) { impl_->getFn = std::move(fn); }

const QxPropInfoTemplate::SetFunction& QxPropInfoTemplate::getSetFunction() const {
  return impl_->setFn;
}

void QxPropInfoTemplate::setSetFunction(SetFunction fn) { impl_->setFn = std::move(fn); }

void* QxPropInfoTemplate::getValueE(QxDatabaseClient* client, QxInterface* object,
                                    QxErrorStatus* status) {
  try {
    return getValue(client, object);
  } catch (Exception* e) {
    if (status)
      status->error = e;
    else
      delete e;
  }
  return nullptr;
}

void QxPropInfoTemplate::setValueE(QxDatabaseClient* client, QxInterface* object, const void* value,
                                   QxErrorStatus* status) {
  try {
    setValue(client, object, value);
  } catch (Exception* e) {
    if (status)
      status->error = e;
    else
      delete e;
  }
}

void QxPropInfoTemplate::releaseValue(QxDatabaseClient*, QxInterface*, void*) {}

bool QxPropInfoTemplate::canContainQxInterfaces(const QxInterface*) const { return true; }

const char* QxPropInfoTemplate::getName() const { return impl_->name.c_str(); }

void QxPropInfoTemplate::setName(const char* name) {
  impl_->name = name ? name : "";
  // Keep the owner's name index in step with the new name.
  if (QxObjectCore* list = impl_->host->parent()) list->renameChild(impl_->host, impl_->name);
  noteDefinitionChange();
}

void QxPropInfoTemplate::setDataType(QxDataType* type) {
  impl_->type = type;
  noteDefinitionChange();
}

namespace {

std::atomic<std::uint64_t>& revisionCount() {
  static std::atomic<std::uint64_t> count{0};
  return count;
}

}  // namespace

std::uint64_t QxPropInfoTemplate::definitionRevision() {
  return revisionCount().load(std::memory_order_acquire);
}

void QxPropInfoTemplate::noteDefinitionChange() {
  revisionCount().fetch_add(1, std::memory_order_acq_rel);
}

void QxPropInfoTemplate::setFactoryDefault(void* value) { impl_->factoryDefault = value; }
