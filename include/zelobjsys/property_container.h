// PropertyContainer: all run-time property entries of one host object, found by exact name.
#ifndef ZELOBJSYS_PROPERTY_CONTAINER_H
#define ZELOBJSYS_PROPERTY_CONTAINER_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "zelobjsys/kti_prop_container.h"

class QxInterface;

namespace zelobjsys {

class ContainerLayout;
struct EntryDefinition;
class IPropCheckFcn;
class InstancePropInfo;
class PropInfo;
class Property;
class PropertyFactory;

// The store of one object's property values: one Property entry per class
// property and per instance property of the object, kept in byte order of
// the names. Class properties start without a value, and their entries are
// made when first needed; instance properties with init access start with
// their factory default. Bounded properties get a BoundedConstraintCheck.
//
// Ownership: the container owns its entries; the object handle and the
// definitions are borrowed (the host owns them). Not copyable: entries have
// one owner. Host thread only; no locking.
class PropertyContainer : public KTIPropContainer {
 public:
  // Takes every property that the object has now.
  explicit PropertyContainer(QxInterface* object);
  ~PropertyContainer() override;
  PropertyContainer(const PropertyContainer&) = delete;
  PropertyContainer& operator=(const PropertyContainer&) = delete;

  // KTIPropContainer
  void setPropValue(const char* name, const void* value, bool runChecks) override;
  bool checkPropValue(const char* name, const void* value) const override;
  void* getPropValue(const char* name) const override;
  int getPropValueAsInt(const char* name) const override;
  double getPropValueAsDouble(const char* name) const override;
  bool isPropertyAvailable(const char* name) const override;
  const KTIPropInfo* getIPropInfo(const char* name) const override;
  const char* getEnumString(const char* name, const void* value) const override;
  const char* getEnumString(const char* name) const override;
  bool setCustomGetFcn(const char* name, IGetFcn* fcn) override;
  bool addListener(const char* name, KTIPropSetListener* listener) override;
  void notifyListeners(const char* name) const override;
  void notifyListeners() const override;
  int getNumberProps() const override;
  void getPropNames(const char** names) const override;

  // The entry of exactly that name, or null. Borrowed.
  Property* getProperty(const char* name) const;
  // The entry's definition, or null.
  PropInfo* getPropInfo(const char* name) const;
  // The definition when it is an instance property's, else null.
  InstancePropInfo* getInstancePropInfo(const char* name) const;
  // The stored value for an enumeration name (null name: the current value);
  // null when there is no entry, the type is no enumeration or the name is
  // not listed. Borrowed.
  const void* getEnumID(const char* name, const char* enumString) const;
  // Takes ownership when the entry exists; otherwise fcn stays the caller's.
  void addCheckFcn(const char* name, IPropCheckFcn* fcn);
  void clearIgnoreUntilSet();
  // Every entry whose read-only rule is readOnlyValue refuses sets while the
  // entry propName of other (this container or another) holds the
  // enumeration name propValue. A controlling entry without a value gets its
  // factory default.
  void configureReadOnlyCheckFcn(PropertyContainer* other, const char* readOnlyValue,
                                 const char* propName, const char* propValue);
  // Removes an instance property from the container and the object (the
  // object releases its descriptor); class properties and unknown names are
  // left alone. Read-only rules that the entry controls, in any container,
  // lapse with it.
  void removeInstanceProperty(const char* name);
  // Trades listener lists with the namesake entries of other.
  void swapPropListeners(PropertyContainer* other);

 private:
  friend class PropertyFactory;
  friend class PropertyContainerTestPeer;  // unit tests

  // Slots of one size for one container's entries, carved from one block
  // sized from the descriptors the object has when it is made and allocated
  // with the first entry, so that an object's entries cost one allocation
  // instead of one each. Freed slots are reused; requests beyond the block
  // (instance properties added later) go to the heap.
  class SlotPool {
   public:
    SlotPool() = default;
    ~SlotPool();
    SlotPool(const SlotPool&) = delete;
    SlotPool& operator=(const SlotPool&) = delete;
    // Before the first allocation only; later calls are ignored.
    void reserve(std::size_t count);
    void* allocate(std::size_t size);
    void deallocate(void* slot, std::size_t size) noexcept;

   private:
    bool owns(const void* slot) const;
    unsigned char* block_ = nullptr;
    std::size_t slotSize_ = 0;
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
    void* free_ = nullptr;  // freed slots, each holding the next
  };

  void createProperties();
  // Makes an instance property's entry (or takes the namesake's over), outside
  // the class layout.
  void createInstanceEntry(const PropInfo* info);
  Property* makeEntry(const EntryDefinition& definition) const;
  // The entry at a position of the layout, made on first use.
  Property* entryAt(std::size_t position) const;
  // Its definition, without making it.
  const PropInfo* infoAt(std::size_t position) const;
  void configureReadOnlyCheckFcn(const char* readOnlyValue, Property* controlling,
                                 const char* propValue);
  // The object takes info; the container gives it an entry.
  void addInstanceProperty(PropInfo* info);
  void deleteEntries();
  // Destroys an entry made by makeEntry and gives back its slot.
  void dropEntry(Property* entry) noexcept;
  QxInterface* getContainerQxI() const { return object_; }

  QxInterface* object_;
  mutable SlotPool entryPool_;  // before entries_: the entries go back to it
  // The names in byte order and their index: the class's own layout, shared
  // with its other objects, until an instance property is added or removed.
  std::shared_ptr<const ContainerLayout> layout_;
  // entries_[i] is named layout_->name(i), null until first needed; owned.
  mutable std::vector<Property*> entries_;
  // What the last lookup found: a set that follows a get, or a run of sets of
  // one property, compares one name instead of hashing it. Forgotten whenever
  // the entries or their layout change.
  void forgetLastFound() const {
    lastKey_ = nullptr;
    lastEntry_ = nullptr;
  }
  mutable const std::string* lastKey_ = nullptr;
  mutable Property* lastEntry_ = nullptr;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_PROPERTY_CONTAINER_H
