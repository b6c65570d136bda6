// Internal record of a host object: counts, tree links, lifecycle, name indexes and the live-object
// registry.
#ifndef ZELHOST_SRC_OBJECT_CORE_H
#define ZELHOST_SRC_OBJECT_CORE_H

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "zelhost/objects/qx_interface.h"

class QxClass;
class QxPropInfoTemplate;
class QxObjectCore;

// Index of a list object's children by name: exact names in one map, names
// folded to lower case in an ordered multimap (for case-insensitive and
// abbreviation lookups by range). Only children added through
// QxObjectCore::appendNamed are indexed.
// Exact names are hashed, the keys viewing each indexed child's own key (the
// child leaves the index before its key changes or it dies); folded names
// stay ordered for the abbreviation ranges. A lookup by a C string builds no
// std::string.
// The exact names: open addressing over a power-of-two table at most half
// full, each slot holding a child and the hash of its key (one pass that also
// measures the name), so that one hash serves a lookup through
// every list of a class chain and a miss rarely compares a text.
class QxExactNames {
 public:
  struct Key {
    const char* data;
    std::size_t size;
    std::size_t hash;
  };
  static Key keyOf(const char* name);
  static Key keyOf(std::string_view name);

  QxObjectCore* find(const Key& key) const;
  // Files child under its key unless that name is filed already.
  void insert(QxObjectCore* child);
  // Unfiles whatever child is filed under the key.
  void erase(const Key& key);

 private:
  struct Slot {
    QxObjectCore* child;
    std::size_t hash;
  };
  std::size_t slotOf(const Key& key) const;  // its slot, or the free slot where it would go
  void grow();
  std::vector<Slot> slots_;
  std::size_t count_ = 0;
};

struct QxNameIndex {
  QxExactNames exact;
  std::multimap<std::string, QxObjectCore*, std::less<>> folded;
};

// Names are folded byte by byte, ASCII letters only, whatever the locale.
inline char hoxLowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The record behind every host object. It holds an intrusive count: the live
// object holds one until destroyed, every reference handle one, every host
// value of the object one, and owners that keep a pointer to the record
// (classes, descriptors, applications) one each. The canonical handle is a
// member, so it lives exactly as long as the record. Host thread only.
class QxObjectCore {
 public:
  // A new live object (state 0) with its own count. Registered as live.
  static QxObjectCore* create(QxClass* cls, void* ownPart);
  // The record behind any handle (canonical or reference); null for null.
  static QxObjectCore* of(const QxInterface* handle);

  QxObjectCore(const QxObjectCore&) = delete;
  QxObjectCore& operator=(const QxObjectCore&) = delete;

  QxInterface* handle() { return &handle_; }
  void retain() { ++refs_; }
  void release();

  // The descriptor whose host object this is (null for other objects).
  QxPropInfoTemplate* descriptor() const { return descriptor_; }
  void setDescriptor(QxPropInfoTemplate* d) { descriptor_ = d; }
  // Forgets the own part (and descriptor) without releasing it.
  void detachOwnPart();

  void* ownPart() const { return ownPart_; }
  void setOwnPart(void* p) { ownPart_ = p; }
  QxClass* cls() const { return cls_; }
  void setClass(QxClass* cls);
  int state() const { return state_; }
  void setState(int s) { state_ = s; }
  bool alive() const { return state_ < kLifecycleBeingDestroyed; }
  // Objects that only their owner destroys: host objects of descriptors
  // added to a class or object, a class's host object and its property
  // list, an object's instance list, an application's own objects.
  // QxInterface::destroy refuses them. (A descriptor added nowhere yet still
  // dies with its host object.)
  bool ownerOnly() const { return ownerOnly_; }
  void setOwnerOnly() { ownerOnly_ = true; }

  // Destroys the object (see QxInterface::destroy). With release false the
  // class is not asked to release the own part (the owner frees it itself).
  // The first exception raised on the way is rethrown at the end.
  void destroy(bool release = true);
  // destroy() that never throws: host exceptions are deleted.
  void destroyQuietly(bool release = true) noexcept;

  // Tree. appendChild unlinks the child from its former parent first.
  QxObjectCore* parent() const { return parent_; }
  QxObjectCore* firstChild() const { return firstChild_; }
  QxObjectCore* next() const { return next_; }
  void appendChild(QxObjectCore* child);
  void unlink();
  bool isAncestorOf(const QxObjectCore* other) const;

  // Named lists: children indexed by a key (descriptor or class names).
  QxNameIndex* index() const { return index_.get(); }
  void makeIndexed() { index_.reset(new QxNameIndex); }
  void appendNamed(QxObjectCore* child, const std::string& key);
  void renameChild(QxObjectCore* child, const std::string& key);
  QxObjectCore* findExact(std::string_view key) const;
  QxObjectCore* findExact(const QxExactNames::Key& key) const {
    return index_ ? index_->exact.find(key) : nullptr;
  }
  const std::string& key() const { return key_; }
  unsigned long long serial() const { return serial_; }

  // Named list objects that this object owns and destroys with itself: its
  // instance properties, and for a class's host object the class's own
  // properties. Created on first use (only while alive); null when asked
  // with create false and none exists.
  enum ListKind { kInstanceList = 0, kClassPropertyList = 1 };
  QxObjectCore* ownedList(ListKind kind, bool create);
  // ownedList(kind, false) without a call: every lookup by name asks it.
  QxObjectCore* existingList(ListKind kind) const { return lists_[kind]; }

 private:
  friend class QxInterface;
  class CanonicalHandle : public QxInterface {
   public:
    explicit CanonicalHandle(QxObjectCore* core) : QxInterface(core, false) {}
  };

  QxObjectCore(QxClass* cls, void* ownPart);
  ~QxObjectCore();
  void eraseFromIndex(QxObjectCore* child);
  void destroyOwnedLists(std::exception_ptr* pending);
  void destroyChildren(std::exception_ptr* pending);

  CanonicalHandle handle_;
  int refs_ = 1;
  int state_ = kLifecycleAlive;
  bool ownerOnly_ = false;
  void* ownPart_;
  QxClass* cls_;
  QxPropInfoTemplate* descriptor_ = nullptr;
  QxObjectCore* parent_ = nullptr;
  QxObjectCore* firstChild_ = nullptr;
  QxObjectCore* lastChild_ = nullptr;
  QxObjectCore* next_ = nullptr;
  QxObjectCore* prev_ = nullptr;
  QxObjectCore* lists_[2] = {nullptr, nullptr};  // counted
  std::unique_ptr<QxNameIndex> index_;
  std::string key_;
  unsigned long long serial_;
  // Where the registry keeps this record: its place among the live records
  // and among its class's (kNotFiled: not there), so that filing and
  // unfiling take no search and no allocation per record.
  static constexpr std::size_t kNotFiled = static_cast<std::size_t>(-1);
  std::size_t livePlace_ = kNotFiled;
  std::size_t classPlace_ = kNotFiled;
  friend struct RegistryFiling;
};

// Live-object and class registry of the host.
namespace hoxreg {
// Live objects of that class (a copy, each retained: release them).
std::vector<QxObjectCore*> liveObjectsOf(const QxClass* cls);
// Every live object (each retained: release them).
std::vector<QxObjectCore*> allLiveObjects();
// Detaches a class from every object that still has it; called as the
// class goes away, so that no object refers to a deleted class.
void forgetClass(const QxClass* cls);
}  // namespace hoxreg

// Owns one count of a record for a scope.
class QxCoreRef {
 public:
  explicit QxCoreRef(QxObjectCore* core = nullptr) : core_(core) {}
  ~QxCoreRef() {
    if (core_) core_->release();
  }
  QxCoreRef(const QxCoreRef&) = delete;
  QxCoreRef& operator=(const QxCoreRef&) = delete;
  QxObjectCore* get() const { return core_; }

 private:
  QxObjectCore* core_;
};

#endif  // ZELHOST_SRC_OBJECT_CORE_H
