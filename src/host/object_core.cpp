// Host object records: counting, destruction order, tree links, name indexes and the live-object
// registry.
#include "object_core.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>
#include <unordered_set>

#include "object_refs.h"
#include "zelhost/exceptions.h"
#include "zelhost/qx_class.h"
#include "zelhost/qx_prop_info.h"

namespace {

struct Registry {
  std::unordered_set<QxObjectCore*> live;
  std::unordered_map<const QxClass*, std::unordered_set<QxObjectCore*>> byClass;
  unsigned long long nextSerial = 1;
};

// Deliberately never freed: records may be released during static
// destruction, after any static registry would be gone.
Registry& registry() {
  static Registry* r = new Registry;
  return *r;
}

std::string foldCase(const std::string& s) {
  std::string out(s);
  for (char& c : out) c = hoxLowerAscii(c);
  return out;
}

// Keeps the first exception of a multi-step teardown; later host exceptions
// are deleted so that nothing leaks.
void keepFirst(std::exception_ptr* pending) {
  try {
    throw;
  } catch (Exception* e) {
    if (*pending)
      delete e;
    else
      *pending = std::current_exception();
  } catch (...) {
    if (!*pending) *pending = std::current_exception();
  }
}

std::vector<QxObjectCore*> retainedSorted(std::vector<QxObjectCore*> cores) {
  std::sort(cores.begin(), cores.end(),
            [](QxObjectCore* a, QxObjectCore* b) { return a->serial() > b->serial(); });
  for (QxObjectCore* c : cores) c->retain();
  return cores;
}

}  // namespace

QxObjectCore::QxObjectCore(QxClass* cls, void* ownPart)
    : handle_(this), ownPart_(ownPart), cls_(cls), serial_(registry().nextSerial++) {}

QxObjectCore::~QxObjectCore() { setClass(nullptr); }

QxObjectCore* QxObjectCore::create(QxClass* cls, void* ownPart) {
  QxObjectCore* core = new QxObjectCore(cls, ownPart);
  Registry& r = registry();
  r.live.insert(core);
  if (cls) r.byClass[cls].insert(core);
  return core;
}

QxObjectCore* QxObjectCore::of(const QxInterface* handle) {
  return handle ? handle->core_ : nullptr;
}

void QxObjectCore::release() {
  if (--refs_ == 0) delete this;
}

void QxObjectCore::detachOwnPart() {
  ownPart_ = nullptr;
  descriptor_ = nullptr;
}

void QxObjectCore::setClass(QxClass* cls) {
  if (cls == cls_) return;
  // Records stay filed under their class until freed, so that a class going
  // away can detach itself from destroyed-but-referenced objects too.
  Registry& r = registry();
  if (cls_) {
    auto it = r.byClass.find(cls_);
    if (it != r.byClass.end()) {
      it->second.erase(this);
      if (it->second.empty()) r.byClass.erase(it);
    }
  }
  if (cls) r.byClass[cls].insert(this);
  cls_ = cls;
}

void QxObjectCore::destroy(bool release) {
  if (state_ >= kLifecycleBeingDestroyed) return;
  retain();
  QxCoreRef hold(this);
  state_ = kLifecycleBeingDestroyed;
  std::exception_ptr pending;
  if (release) {
    try {
      if (cls_) {
        cls_->releaseObjectPart(&handle_);
      } else if (descriptor_) {
        // A descriptor whose class went away: the host is its last owner.
        delete descriptor_;
      }
    } catch (...) {
      keepFirst(&pending);
    }
  }
  detachOwnPart();
  destroyOwnedLists(&pending);
  destroyChildren(&pending);
  unlink();
  registry().live.erase(this);
  state_ = kLifecycleDestroyed;
  this->release();  // the live object's own count; `hold` keeps us until return
  if (pending) std::rethrow_exception(pending);
}

void QxObjectCore::destroyQuietly(bool release) noexcept {
  try {
    destroy(release);
  } catch (Exception* e) {
    delete e;
  } catch (...) {
  }
}

void QxObjectCore::destroyOwnedLists(std::exception_ptr* pending) {
  for (QxObjectCore*& slot : lists_) {
    QxObjectCore* list = slot;
    if (!list) continue;
    slot = nullptr;
    try {
      list->destroy();
    } catch (...) {
      keepFirst(pending);
    }
    list->release();
  }
}

void QxObjectCore::destroyChildren(std::exception_ptr* pending) {
  while (QxObjectCore* child = firstChild_) {
    try {
      child->destroy();
    } catch (...) {
      keepFirst(pending);
    }
    // A child already on its way out (a destroy further up the stack) is
    // unlinked here so that the loop ends.
    if (firstChild_ == child) child->unlink();
  }
}

void QxObjectCore::appendChild(QxObjectCore* child) {
  child->unlink();
  child->parent_ = this;
  child->prev_ = lastChild_;
  child->next_ = nullptr;
  if (lastChild_)
    lastChild_->next_ = child;
  else
    firstChild_ = child;
  lastChild_ = child;
}

void QxObjectCore::unlink() {
  QxObjectCore* p = parent_;
  if (!p) return;
  p->eraseFromIndex(this);
  if (prev_)
    prev_->next_ = next_;
  else
    p->firstChild_ = next_;
  if (next_)
    next_->prev_ = prev_;
  else
    p->lastChild_ = prev_;
  parent_ = prev_ = next_ = nullptr;
}

bool QxObjectCore::isAncestorOf(const QxObjectCore* other) const {
  for (const QxObjectCore* p = other; p; p = p->parent_) {
    if (p == this) return true;
  }
  return false;
}

void QxObjectCore::appendNamed(QxObjectCore* child, const std::string& key) {
  appendChild(child);
  child->key_ = key;
  if (!index_) return;
  index_->exact.emplace(child->key_, child);  // the first of a name stays found
  index_->folded.emplace(foldCase(key), child);
}

void QxObjectCore::renameChild(QxObjectCore* child, const std::string& key) {
  if (child->parent_ != this) return;
  eraseFromIndex(child);
  child->key_ = key;
  if (!index_) return;
  index_->exact.emplace(child->key_, child);
  index_->folded.emplace(foldCase(key), child);
}

QxObjectCore* QxObjectCore::findExact(std::string_view key) const {
  if (!index_) return nullptr;
  auto it = index_->exact.find(key);
  return it == index_->exact.end() ? nullptr : it->second;
}

void QxObjectCore::eraseFromIndex(QxObjectCore* child) {
  if (!index_) return;
  auto range = index_->folded.equal_range(foldCase(child->key_));
  QxObjectCore* sameName = nullptr;
  for (auto it = range.first; it != range.second;) {
    if (it->second == child) {
      it = index_->folded.erase(it);
      continue;
    }
    if (!sameName && it->second->key_ == child->key_) sameName = it->second;
    ++it;
  }
  auto exact = index_->exact.find(child->key_);
  if (exact != index_->exact.end() && exact->second == child) {
    // Another child of the same exact name (possible in instance lists)
    // takes over the name; the key must then view that child's own copy.
    index_->exact.erase(exact);
    if (sameName) index_->exact.emplace(sameName->key_, sameName);
  }
}

QxObjectCore* QxObjectCore::ownedList(ListKind kind, bool create) {
  QxObjectCore*& slot = lists_[kind];
  if (!slot && create && alive()) {
    slot = QxObjectCore::create(nullptr, nullptr);
    slot->makeIndexed();
    slot->setOwnerOnly();
    slot->retain();  // the owner's count
  }
  return slot;
}

namespace hoxreg {

std::vector<QxObjectCore*> liveObjectsOf(const QxClass* cls) {
  Registry& r = registry();
  auto it = r.byClass.find(cls);
  if (it == r.byClass.end()) return {};
  std::vector<QxObjectCore*> cores;
  for (QxObjectCore* c : it->second) {
    if (c->alive()) cores.push_back(c);
  }
  return retainedSorted(std::move(cores));
}

std::vector<QxObjectCore*> allLiveObjects() {
  Registry& r = registry();
  return retainedSorted(std::vector<QxObjectCore*>(r.live.begin(), r.live.end()));
}

void forgetClass(const QxClass* cls) {
  Registry& r = registry();
  auto it = r.byClass.find(cls);
  if (it == r.byClass.end()) return;
  std::vector<QxObjectCore*> cores(it->second.begin(), it->second.end());
  for (QxObjectCore* c : cores) c->setClass(nullptr);
  r.byClass.erase(cls);
}

}  // namespace hoxreg

void hoxRetainObject(QxInterface* handle) {
  if (QxObjectCore* core = QxObjectCore::of(handle)) core->retain();
}

void hoxReleaseObject(QxInterface* handle) {
  if (QxObjectCore* core = QxObjectCore::of(handle)) core->release();
}

QxInterface* hoxCreateObject(QxClass* cls, void* ownPart) {
  return QxObjectCore::create(cls, ownPart)->handle();
}
