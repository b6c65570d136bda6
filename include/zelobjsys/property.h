// Property: one object's run-time value of one property, with its checks, custom functions and
// listeners.
#ifndef ZELOBJSYS_PROPERTY_H
#define ZELOBJSYS_PROPERTY_H

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <memory>
#include <vector>

#include "zelobjsys/custom_fcns.h"
#include "zelobjsys/i_prop_check_fcn.h"
#include "zelobjsys/i_property.h"
#include "zelobjsys/kti_prop_set_listener.h"

class QxDataType;
class QxInterface;

namespace zelobjsys {

class PropInfo;

// The value of one property of one object. A set clears the ignore-until-set
// flag, runs the check functions, the custom set function, stores a copy in
// the data type's storage, tells the listeners and frees the previous value;
// a get goes through the custom get function when there is one.
//
// Ownership: the entry owns its stored value, its check functions and its
// listeners; it shares the custom get and set functions with its definition.
// The object handle and the definition are borrowed and must outlive the
// entry. Entries are made and owned by a PropertyContainer. Host thread only;
// no locking.
class Property : public IProperty {
 public:
  // owner and info are borrowed. The data type and the custom functions are
  // taken from info once, here.
  Property(QxInterface* owner, const PropInfo* info);
  // An entry made from what its record held earlier: the data type and the
  // custom functions given, not the record's present ones.
  Property(QxInterface* owner, const PropInfo* info, QxDataType* dataType,
           boost::shared_ptr<IGetFcn> getFcn, boost::shared_ptr<ISetFcn> setFcn);
  ~Property() override;
  Property(const Property&) = delete;
  Property& operator=(const Property&) = delete;

  void* getValue() override;
  // Storage type int: the int; double: the double truncated toward zero and
  // clamped to the int range (NaN gives INT_MAX, errno EDOM; out of range
  // errno ERANGE). Anything else, or no value yet: 0.
  int getValueAsInt() override;
  double getValueAsDouble() override;
  void setValue(const void* value, bool runChecks) override;

  const PropInfo* getPropInfo() const { return propInfo_; }
  QxInterface* getOwner() const { return owner_; }
  bool isIgnoreUntilSet() const { return ignoreUntilSet_; }
  void setIgnoreUntilSet(bool ignore) { ignoreUntilSet_ = ignore; }

  // Both take ownership; null is ignored.
  void addCheckFcn(IPropCheckFcn* fcn);
  void addListener(KTIPropSetListener* listener);
  // Adds a check that stays the caller's: it must outlive the entry. For
  // stateless checks that every entry of a kind runs (the bounds).
  void addSharedCheckFcn(IPropCheckFcn& fcn);
  // Takes listener out of the list and hands it back to the caller, who then
  // owns it; null when the list does not hold it (for instance after a swap).
  std::unique_ptr<KTIPropSetListener> removeListener(const KTIPropSetListener* listener);
  // Takes ownership; null removes the custom get function.
  void setCustomGetFcn(IGetFcn* fcn);

  // Runs the checks without storing; with checkEnumeration, an enumerated
  // type must also list the value. Throws on refusal (check functions'
  // exceptions unchanged, else ZLGeneralException "vornix:set:invalidEnumValue").
  void checkValue(const void* value, bool checkEnumeration);
  // Tells every listener about the stored value; their errors pass on.
  void notifyListeners();
  // Exchanges listener lists with other; both lists are then told about this
  // entry's value. Null is ignored.
  void swapListeners(Property* other);

  // A namesake definition takes the entry over, so that whatever refers to
  // the entry (rules, timers, listeners) follows the name: the value is
  // freed, and data type, custom functions and ignore-until-set start as a
  // new entry's from info; listeners and check functions stay. info is
  // borrowed like the constructor's.
  void redefine(const PropInfo* info);
  // Expires when the entry is destroyed: what refers to an entry that another
  // container owns watches it.
  std::weak_ptr<const void> watch();

  // Removes the check functions for which pred is true.
  template <class Pred>
  void removeCheckFcnsIf(Pred pred);

 private:
  // The check functions in the order added. The first lives in the entry
  // itself: most entries have one check at most (their bounds), and an entry
  // is made with every object.
  class CheckList {
   public:
    // Deletes the checks that the entry owns; a shared one stays its owner's.
    struct Drop {
      Drop() : owned(true) {}
      explicit Drop(bool isOwned) : owned(isOwned) {}
      bool owned;
      void operator()(IPropCheckFcn* fcn) const {
        if (owned) delete fcn;
      }
    };
    using Held = std::unique_ptr<IPropCheckFcn, Drop>;

    std::size_t size() const { return first_ ? 1 + (rest_ ? rest_->size() : 0) : 0; }
    IPropCheckFcn* operator[](std::size_t i) const {
      return i == 0 ? first_.get() : (*rest_)[i - 1].get();
    }
    void add(Held fcn);
    // Drops the checks for which pred is true, in order; the others keep theirs.
    template <class Pred>
    void removeIf(Pred pred);
    void clear();

   private:
    using Rest = std::vector<Held>;
    Held first_;
    std::unique_ptr<Rest> rest_;  // made for a second check; never holds one without first_
  };
  using ListenerList = std::vector<std::unique_ptr<KTIPropSetListener>>;

  void runChecks(const void* value);
  void runCustomSet(const void* value);
  // Tells the listeners of list; returns normally or throws what they throw.
  void notify(const ListenerList* list);
  // Tells the listeners of a set; failures become the "SET could not be
  // undone." warning.
  void notifyAfterSet();
  bool isPermittedEnumValue(const void* value) const;
  void destroyValue(void* value) const;
  // Stores value over the held one when both are plain scalars of the data
  // type's layout: no allocation per set. False when it cannot.
  bool assignInPlace(const void* value);

  void* value_ = nullptr;
  bool ignoreUntilSet_ = false;
  // Bytes of a plain scalar of the data type (bool, int32, double), 0 for
  // every other layout: such values are overwritten where they are held.
  std::uint8_t scalarSize_ = 0;
  QxInterface* owner_;
  const PropInfo* propInfo_;
  QxDataType* dataType_;
  CheckList checks_;
  // A separate object so that two entries can trade listener lists whole; made
  // on the first add (null: empty), since most entries of an object never get
  // a listener.
  std::unique_ptr<ListenerList> listeners_;
  boost::shared_ptr<IGetFcn> getFcn_;
  boost::shared_ptr<ISetFcn> setFcn_;
  std::shared_ptr<const void> alive_;  // made on the first watch
};

template <class Pred>
void Property::removeCheckFcnsIf(Pred pred) {
  checks_.removeIf(pred);
}

template <class Pred>
void Property::CheckList::removeIf(Pred pred) {
  const std::size_t count = size();  // moving the first out makes size() 0
  Rest kept;
  kept.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    Held& slot = i == 0 ? first_ : (*rest_)[i - 1];
    if (pred(slot.get()))
      slot.reset();
    else
      kept.push_back(std::move(slot));
  }
  first_.reset();
  rest_.reset();
  for (auto& fcn : kept) add(std::move(fcn));
}

}  // namespace zelobjsys

#endif  // ZELOBJSYS_PROPERTY_H
