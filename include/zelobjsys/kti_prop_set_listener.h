// KTIPropSetListener: the callback told about every value stored in a property.
#ifndef ZELOBJSYS_KTI_PROP_SET_LISTENER_H
#define ZELOBJSYS_KTI_PROP_SET_LISTENER_H

namespace zelobjsys {

class KTIPropInfo;

// Told after a property entry stored a value. The entry the listener is
// added to owns it and deletes it. It runs on the thread that sets the
// property (the host's). A failure is reported by throwing a
// ZLGeneralException or a ZLException by pointer; during a set it becomes a
// warning, since the value is already stored.
class KTIPropSetListener {
 public:
  KTIPropSetListener() = default;
  KTIPropSetListener(const KTIPropSetListener&) = default;
  KTIPropSetListener& operator=(const KTIPropSetListener&) = default;
  virtual ~KTIPropSetListener() = default;

  // info and value are borrowed; value is the stored value (may be null).
  virtual void propertySet(const KTIPropInfo* info, void* value) = 0;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_KTI_PROP_SET_LISTENER_H
