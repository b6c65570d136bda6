// ReadOnlyCheckFcn: refuses every set of a property while another, enumerated property holds a
// given value.
#ifndef ZELOBJSYS_READ_ONLY_CHECK_FCN_H
#define ZELOBJSYS_READ_ONLY_CHECK_FCN_H

#include <memory>
#include <string>

#include "zelobjsys/i_prop_check_fcn.h"

namespace zelobjsys {

class Property;

// A read-only rule such as "not while Running is on". The controlling entry
// is borrowed and watched: it belongs to a container (this entry's or
// another's), and once it is destroyed the rule no longer refuses anything.
// The controlling value is copied. Host thread only.
class ReadOnlyCheckFcn : public IPropCheckFcn {
 public:
  // Null controlling value: the empty text.
  ReadOnlyCheckFcn(Property* controlling, const char* controllingValue);

  // Throws ZLGeneralException "vornix:property:readOnly" while the controlling
  // entry's current enumeration name equals the controlling value exactly.
  // A controlling value that the enumeration cannot name is accepted.
  void check(QxInterface* object, const PropInfo* info, const void* value) override;

  // Null once the controlling entry is gone.
  const Property* getControllingProperty() const;
  const std::string& getControllingValue() const { return controllingValue_; }

 private:
  Property* controlling_;
  std::weak_ptr<const void> controllingAlive_;
  std::string controllingValue_;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_READ_ONLY_CHECK_FCN_H
