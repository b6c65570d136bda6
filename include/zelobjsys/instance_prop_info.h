// InstancePropInfo: the definition of a property that one object carries, with a changeable
// enumeration.
#ifndef ZELOBJSYS_INSTANCE_PROP_INFO_H
#define ZELOBJSYS_INSTANCE_PROP_INFO_H

#include <cstddef>

#include "zelobjsys/prop_info.h"

class TypedEnumStringType;

namespace zelobjsys {

// A property of one object rather than of its class. For an enumerated one
// (constraint "enum"), the permitted values can be added and removed while
// the object lives; every change keeps three things in step: the property's
// own TypedEnumStringType, the constraint value (a 1xN cell of the names in
// the order added) and the default (the first name added, moved to the first
// remaining name when the default is removed). Names compare ignoring case.
// On a record that is not enumerated every operation does nothing.
//
// Products derive from it (the constructor is protected) and supply the
// value get and set. Ownership as for PropInfo: the object that the record
// is added to owns it. Host thread only.
class InstancePropInfo : public PropInfo {
 public:
  ~InstancePropInfo() override;

  // A name already listed (in any letter case) changes nothing.
  void addEnumValue(const char* name, int value);
  // A name not listed changes nothing.
  void removeEnumValue(const char* name);
  void clearEnumValues();
  bool isInstanceProperty() const override;

 protected:
  InstancePropInfo();

 private:
  friend class InstancePropInfoTestPeer;  // unit tests

  bool isEnumValue(const char* name) const;
  // On a match stores the name's position in *index; otherwise leaves it.
  bool findConstraintIndex(const char* name, std::size_t* index) const;
  // The enumerated type, or null when the record is not enumerated or its
  // type is not a TypedEnumStringType (then nothing is changed).
  TypedEnumStringType* enumType() const;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_INSTANCE_PROP_INFO_H
