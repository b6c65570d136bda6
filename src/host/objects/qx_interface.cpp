// Host object handles: reference handles, the database tree, instance properties, lookup and
// iteration.
#include "zelhost/objects/qx_interface.h"

#include <string>

#include "object_core.h"
#include "prop_info_impl.h"
#include "property_lookup.h"
#include "zelhost/objects/qx_prop_info.h"
#include "zelhost/services/exceptions.h"

namespace {

const char kNotDeletableId[] = "PULVRA:object:notDeletable";
const char kNotMovableId[] = "PULVRA:object:notMovable";

// An extra handle that holds a count on the record until deleted.
class ReferenceHandle : public QxInterface {
 public:
  explicit ReferenceHandle(QxObjectCore* core) : QxInterface(core, true) {}
};

[[noreturn]] void throwNotDeletable(const QxObjectCore* core) {
  const QxPropInfoTemplate* descriptor = core->descriptor();
  if (!descriptor)
    throw new ErrorIdException(
        kNotDeletableId,
        "The object is part of the host's class and application records and cannot be deleted.");
  const char* owner = descriptor->isRuntime() ? "its object" : "its class";
  throw new ErrorIdException(kNotDeletableId, std::string("The descriptor of the property '") +
                                                  descriptor->getName() + "' belongs to " + owner +
                                                  " and cannot be deleted.");
}

}  // namespace

QxDatabaseClient* QxDatabaseClient::getInternalClient() {
  static QxDatabaseClient client;
  return &client;
}

QxInterface::QxInterface(QxObjectCore* core, bool counted) : core_(core), counted_(counted) {
  if (counted_) core_->retain();
}

QxInterface::~QxInterface() {
  if (counted_) core_->release();
}

void* QxInterface::getObject() const { return core_->ownPart(); }

QxClass* QxInterface::getDatabaseClass() const { return core_->cls(); }

void QxInterface::setDatabaseClass(QxClass* cls) { core_->setClass(cls); }

void QxInterface::addBelow(QxInterface* parent) {
  // Moved out of its owner's list, an owned object would die with whatever
  // it was moved to; a list of descriptors or classes holds nothing else.
  if (core_->ownerOnly() && core_->alive())
    throw new ErrorIdException(kNotMovableId,
                               "The object belongs to its owner's records and cannot be moved.");
  QxObjectCore* p = QxObjectCore::of(parent);
  if (p && p->index())
    throw new ErrorIdException(kNotMovableId,
                               "An object cannot be placed in a list of properties or classes.");
  if (!p) {
    core_->unlink();
    return;
  }
  if (!core_->alive() || !p->alive())
    throw new ErrorIdException("PULVRA:object:deleted", "Invalid or deleted object.");
  if (core_->isAncestorOf(p))
    throw new ErrorIdException("PULVRA:object:treeCycle",
                               "An object cannot be placed below itself or its descendants.");
  p->appendChild(core_);
}

QxInterface* QxInterface::getFirstDown() const {
  QxObjectCore* c = core_->firstChild();
  return c ? c->handle() : nullptr;
}

QxInterface* QxInterface::getNext() const {
  QxObjectCore* c = core_->next();
  return c ? c->handle() : nullptr;
}

QxInterface* QxInterface::getUp() const {
  QxObjectCore* c = core_->parent();
  return c ? c->handle() : nullptr;
}

QxInterface* QxInterface::getReference() const { return new ReferenceHandle(core_); }

QxInterface* QxInterface::getCanonical() const { return core_->handle(); }

void QxInterface::destroy(QxDatabaseClient*) {
  // The owner releases such an object through its own records (a class when
  // it goes, an object through removeInstanceProperty); a destroy from
  // anyone else would free a descriptor that entries of live objects use.
  if (core_->ownerOnly() && core_->alive()) throwNotDeletable(core_);
  core_->destroy();
}

int QxInterface::getLifecycleState() const { return core_->state() & 7; }

bool QxInterface::isValid() const { return core_->alive(); }

void QxInterface::addInstanceProperty(QxPropInfo* prop) {
  if (!prop) return;
  QxObjectCore* descriptorCore = QxObjectCore::of(prop->getInterface());
  QxObjectCore* list = core_->ownedList(QxObjectCore::kInstanceList, true);
  if (!list) {
    // A destroyed object cannot own anything: the descriptor goes at once,
    // as it would have with the object.
    delete prop;
    throw new ErrorIdException("PULVRA:object:deleted", "Invalid or deleted object.");
  }
  list->appendNamed(descriptorCore, prop->getName());
  descriptorCore->setOwnerOnly();  // the object's from now on
  prop->impl_->runtime = true;
}

bool QxInterface::removeInstanceProperty(QxInterface* property) {
  QxObjectCore* list = core_->ownedList(QxObjectCore::kInstanceList, false);
  QxObjectCore* target = QxObjectCore::of(property);
  if (!list || !target || target->parent() != list) return false;
  target->destroy();
  return true;
}

QxInterface* QxInterface::getInstanceProperty(const char* name) const {
  QxObjectCore* list = core_->ownedList(QxObjectCore::kInstanceList, false);
  QxObjectCore* hit = list && name ? list->findExact(name) : nullptr;
  return hit ? hit->handle() : nullptr;
}

QxInterface* QxInterface::getInstanceProperties() const {
  QxObjectCore* list = core_->ownedList(QxObjectCore::kInstanceList, false);
  QxObjectCore* first = list ? list->firstChild() : nullptr;
  return first ? first->handle() : nullptr;
}

QxInterface* QxInterface::getProperty(const char* name, bool) const {
  return hoxLookupProperty(core_->cls(), core_->existingList(QxObjectCore::kInstanceList), name);
}

QxBreadthOnlyIterator::QxBreadthOnlyIterator(QxInterface* start, bool) : next_(start) {}

bool QxBreadthOnlyIterator::hasMoreElements() const { return next_ != nullptr; }

QxInterface* QxBreadthOnlyIterator::nextElement() {
  QxInterface* current = next_;
  if (current) next_ = current->getNext();
  return current;
}
