// KTIPropContainer: the exported interface to one object's run-time property values.
#ifndef ZELOBJSYS_KTI_PROP_CONTAINER_H
#define ZELOBJSYS_KTI_PROP_CONTAINER_H

#include "zelobjsys/custom_fcns.h"
#include "zelobjsys/kti_prop_info.h"
#include "zelobjsys/kti_prop_set_listener.h"

namespace zelobjsys {

// How products get and set an object's property values and hook into them.
// Names are exact (case counts, no abbreviations); a name without a property
// gives null, 0, 0.0 or false, or does nothing. Values are in the storage of
// the property's data type; values handed in are copied, values handed out
// are borrowed. The implementation belongs to the object; holders never
// delete it. Host thread only.
class KTIPropContainer {
 public:
  KTIPropContainer() = default;
  KTIPropContainer(const KTIPropContainer&) = default;
  KTIPropContainer& operator=(const KTIPropContainer&) = default;

  virtual void setPropValue(const char* name, const void* value, bool runChecks) = 0;
  // Whether the checks and the enumeration accept value (nothing is stored).
  virtual bool checkPropValue(const char* name, const void* value) const = 0;
  virtual void* getPropValue(const char* name) const = 0;
  virtual int getPropValueAsInt(const char* name) const = 0;
  virtual double getPropValueAsDouble(const char* name) const = 0;
  virtual bool isPropertyAvailable(const char* name) const = 0;
  virtual const KTIPropInfo* getIPropInfo(const char* name) const = 0;
  // The enumeration name of value (null: the current value); null when the
  // property is not enumerated or the value has no name.
  virtual const char* getEnumString(const char* name, const void* value) const = 0;
  virtual const char* getEnumString(const char* name) const = 0;
  // Both take ownership only when they return true.
  virtual bool setCustomGetFcn(const char* name, IGetFcn* fcn) = 0;
  virtual bool addListener(const char* name, KTIPropSetListener* listener) = 0;
  virtual void notifyListeners(const char* name) const = 0;
  virtual void notifyListeners() const = 0;
  virtual int getNumberProps() const = 0;
  // Fills names[0 .. getNumberProps()-1] with the names in byte order; the
  // texts belong to the container and last until a property is added to it or
  // removed from it.
  virtual void getPropNames(const char** names) const = 0;

 protected:
  virtual ~KTIPropContainer() = default;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_KTI_PROP_CONTAINER_H
