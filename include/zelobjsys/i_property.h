// IProperty: the exported view of one run-time property value of one object.
#ifndef ZELOBJSYS_I_PROPERTY_H
#define ZELOBJSYS_I_PROPERTY_H

namespace zelobjsys {

// What callers outside the library may do with one property entry of an
// object: read its value (raw, or as a number) and set it. Entries belong to
// their object's property container; holders of an IProperty pointer borrow
// it and never delete it. Host thread only.
class IProperty {
 public:
  IProperty() = default;
  IProperty(const IProperty&) = default;
  IProperty& operator=(const IProperty&) = default;

  // The value in the storage of the property's data type, or null when none
  // has been stored. Borrowed: valid until the next get or set.
  virtual void* getValue() = 0;
  // The value read as a number; 0 when the value is no number or absent.
  virtual int getValueAsInt() = 0;
  virtual double getValueAsDouble() = 0;
  // Stores a copy of value (the caller keeps its own); checks run only when
  // runChecks is true.
  virtual void setValue(const void* value, bool runChecks) = 0;

 protected:
  virtual ~IProperty() = default;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_I_PROPERTY_H
