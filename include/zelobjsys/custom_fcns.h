// Custom get and set functions that a product attaches to a property.
#ifndef ZELOBJSYS_CUSTOM_FCNS_H
#define ZELOBJSYS_CUSTOM_FCNS_H

class QxInterface;

namespace zelobjsys {

class KTIPropInfo;

// Supplies a property's value on every get. Returns a new value in the
// property's data type storage; the property entry takes ownership. Refuses by
// throwing a ZLGeneralException (or a ZLException by pointer).
class IGetFcn {
 public:
  virtual ~IGetFcn() = default;
  virtual void* get(QxInterface* object, const KTIPropInfo* info) = 0;
};

// Runs before a value is stored; refuses by throwing a ZLGeneralException (or a
// ZLException by pointer), in which case nothing is stored.
class ISetFcn {
 public:
  virtual ~ISetFcn() = default;
  virtual void set(QxInterface* object, const KTIPropInfo* info, const void* value) = 0;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_CUSTOM_FCNS_H
