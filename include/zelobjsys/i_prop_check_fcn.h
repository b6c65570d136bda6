// IPropCheckFcn: a rule that may refuse a value before a property entry stores it.
#ifndef ZELOBJSYS_I_PROP_CHECK_FCN_H
#define ZELOBJSYS_I_PROP_CHECK_FCN_H

class QxInterface;

namespace zelobjsys {

class PropInfo;

// A value check run by a property entry before it stores a value. The entry
// the check is added to owns it and deletes it. Runs on the setting thread.
class IPropCheckFcn {
 public:
  virtual ~IPropCheckFcn() = default;

  // Accepts by returning; refuses by throwing a ZLGeneralException. value is
  // in the storage of the property's data type and may be null (a null
  // handle, for instance). All three arguments are borrowed.
  virtual void check(QxInterface* object, const PropInfo* info, const void* value) = 0;
  // What a set runs: check, with its refusal raised as a host error (the
  // ZLGeneralException posted). A check that knows its refusal without
  // throwing it may raise it directly: a refused set then throws once less.
  virtual void checkAndRaise(QxInterface* object, const PropInfo* info, const void* value);
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_I_PROP_CHECK_FCN_H
