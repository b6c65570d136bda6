// Host object records: counting, destruction order, tree links, name indexes and the live-object
// registry.
#include "object_core.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "host/values/object_refs.h"
#include "zelhost/objects/qx_class.h"
#include "zelhost/objects/qx_prop_info.h"
#include "zelhost/services/exceptions.h"

namespace {

// Names are read a 64-bit word at a time; what is left past the last whole
// word is read as one word of overlapping loads (the length, known to both
// sides, tells the readings of different lengths apart).
std::uint64_t load64(const char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}
std::uint64_t load32(const char* p) {
  std::uint32_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}
// The last eight bytes of p[0, n), or all of them when fewer; n > 0.
std::uint64_t lastWord(const char* p, std::size_t n) {
  if (n >= 8) return load64(p + n - 8);
  if (n >= 4) return load32(p) << 32 | load32(p + n - 4);
  const auto byte = [p](std::size_t i) { return std::uint64_t{static_cast<unsigned char>(p[i])}; };
  return byte(0) << 16 | byte(n / 2) << 8 | byte(n - 1);
}

// Names are short and a hash match almost always means equal: whole words,
// compared inline, beat a call of memcmp here.
bool sameBytes(const char* a, const char* b, std::size_t n) {
  if (n == 0) return true;
  std::size_t i = 0;
  for (; i + 8 < n; i += 8) {
    if (load64(a + i) != load64(b + i)) return false;
  }
  return lastWord(a, n) == lastWord(b, n);
}

struct Registry {
  std::vector<QxObjectCore*> live;
  std::unordered_map<const QxClass*, std::vector<QxObjectCore*>> byClass;
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

// Files records in the registry's lists by the places they keep: a record
// leaves its list by taking the last one's place.
struct RegistryFiling {
  using Place = std::size_t QxObjectCore::*;
  static void file(std::vector<QxObjectCore*>& list, QxObjectCore* core, Place place) {
    core->*place = list.size();
    list.push_back(core);
  }
  static void unfile(std::vector<QxObjectCore*>& list, QxObjectCore* core, Place place) {
    const std::size_t at = core->*place;
    if (at == QxObjectCore::kNotFiled || at >= list.size() || list[at] != core) return;
    QxObjectCore* last = list.back();
    list[at] = last;
    last->*place = at;
    list.pop_back();
    core->*place = QxObjectCore::kNotFiled;
  }
};

QxObjectCore::QxObjectCore(QxClass* cls, void* ownPart)
    : handle_(this), ownPart_(ownPart), cls_(cls), serial_(registry().nextSerial++) {}

QxObjectCore::~QxObjectCore() {
  setClass(nullptr);
  RegistryFiling::unfile(registry().live, this, &QxObjectCore::livePlace_);
}

QxObjectCore* QxObjectCore::create(QxClass* cls, void* ownPart) {
  QxObjectCore* core = new QxObjectCore(cls, ownPart);
  Registry& r = registry();
  RegistryFiling::file(r.live, core, &QxObjectCore::livePlace_);
  if (cls) RegistryFiling::file(r.byClass[cls], core, &QxObjectCore::classPlace_);
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
      RegistryFiling::unfile(it->second, this, &QxObjectCore::classPlace_);
      if (it->second.empty()) r.byClass.erase(it);
    }
  }
  if (cls) RegistryFiling::file(r.byClass[cls], this, &QxObjectCore::classPlace_);
  cls_ = cls;
}

// Recursive through the lists and children, and large: kept out of line, which
// also keeps the compiler from judging the counts of an inlined copy alone
// (it took the last release there for a use after free).
[[gnu::noinline]] void QxObjectCore::destroy(bool release) {
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
  RegistryFiling::unfile(registry().live, this, &QxObjectCore::livePlace_);
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

namespace {

// One multiply per word of the name.
std::size_t hashName(const char* p, std::size_t n) {
  const auto mix = [](std::uint64_t h, std::uint64_t word) {
    h = (h ^ word) * 0xff51afd7ed558ccdULL;
    return h ^ (h >> 32);
  };
  std::uint64_t h = 0x9e3779b97f4a7c15ULL;
  std::size_t i = 0;
  for (; i + 8 < n; i += 8) h = mix(h, load64(p + i));
  if (n != 0) h = mix(h, lastWord(p, n));
  h = (h ^ n) * 0xc4ceb9fe1a85ec53ULL;
  return static_cast<std::size_t>(h ^ (h >> 29));
}

}  // namespace

QxExactNames::Key QxExactNames::keyOf(const char* name) {
  const std::size_t length = std::strlen(name);
  return {name, length, hashName(name, length)};
}

QxExactNames::Key QxExactNames::keyOf(std::string_view name) {
  return {name.data(), name.size(), hashName(name.data(), name.size())};
}

std::size_t QxExactNames::slotOf(const Key& key) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = key.hash & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (!slot.child) return i;
    if (slot.hash == key.hash) {
      const std::string& name = slot.child->key();
      if (name.size() == key.size && sameBytes(name.data(), key.data, key.size)) return i;
    }
  }
}

QxObjectCore* QxExactNames::find(const Key& key) const {
  return slots_.empty() ? nullptr : slots_[slotOf(key)].child;
}

void QxExactNames::insert(QxObjectCore* child) {
  if (2 * (count_ + 1) > slots_.size()) grow();
  const Key key = keyOf(std::string_view(child->key()));
  Slot& slot = slots_[slotOf(key)];
  if (slot.child) return;  // the first of a name stays found
  slot = {child, key.hash};
  ++count_;
}

void QxExactNames::erase(const Key& key) {
  if (slots_.empty()) return;
  const std::size_t mask = slots_.size() - 1;
  std::size_t hole = slotOf(key);
  if (!slots_[hole].child) return;
  slots_[hole].child = nullptr;
  --count_;
  // Moves later members of the probe run back so that none sits behind a gap.
  for (std::size_t i = (hole + 1) & mask; slots_[i].child; i = (i + 1) & mask) {
    const std::size_t home = slots_[i].hash & mask;
    const bool reachable = hole <= i ? (home <= hole || home > i) : (home <= hole && home > i);
    if (!reachable) continue;
    slots_[hole] = slots_[i];
    slots_[i].child = nullptr;
    hole = i;
  }
}

void QxExactNames::grow() {
  std::vector<Slot> old(slots_.empty() ? 8 : 2 * slots_.size(), Slot{nullptr, 0});
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (!slot.child) continue;
    std::size_t i = slot.hash & mask;
    while (slots_[i].child) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

void QxObjectCore::appendNamed(QxObjectCore* child, const std::string& key) {
  appendChild(child);
  child->key_ = key;
  if (!index_) return;
  index_->exact.insert(child);
  index_->folded.emplace(foldCase(key), child);
}

void QxObjectCore::renameChild(QxObjectCore* child, const std::string& key) {
  if (child->parent_ != this) return;
  eraseFromIndex(child);
  child->key_ = key;
  if (!index_) return;
  index_->exact.insert(child);
  index_->folded.emplace(foldCase(key), child);
}

QxObjectCore* QxObjectCore::findExact(std::string_view key) const {
  return index_ ? index_->exact.find(QxExactNames::keyOf(key)) : nullptr;
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
  const QxExactNames::Key key = QxExactNames::keyOf(std::string_view(child->key_));
  if (index_->exact.find(key) == child) {
    // Another child of the same exact name (possible in instance lists)
    // takes over the name.
    index_->exact.erase(key);
    if (sameName) index_->exact.insert(sameName);
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
  return retainedSorted(r.live);
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

QxInterface* hoxCanonicalObject(QxInterface* handle) {
  return handle ? handle->getCanonical() : nullptr;
}

bool hoxObjectIsLive(QxInterface* handle) { return handle && handle->isValid(); }

QxInterface* hoxCreateObject(QxClass* cls, void* ownPart) {
  return QxObjectCore::create(cls, ownPart)->handle();
}
