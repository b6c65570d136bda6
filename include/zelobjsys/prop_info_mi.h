// PropInfoMI: the "propinfo" host method, which describes properties of an object as structures.
#ifndef ZELOBJSYS_PROP_INFO_MI_H
#define ZELOBJSYS_PROP_INFO_MI_H

#include <string>
#include <vector>

#include "zelhost/objects/qx_method_info.h"

namespace zelobjsys {

class PropInfo;

// "propinfo" on a device object: with no property argument a structure of
// every visible property's information, with a name that property's
// information, with a cell array of names a cell array of them. Fields that
// a product hid for the object's package and class are left out.
//
// The class it is added to owns it; it holds no state. Host thread only.
class PropInfoMI : public QxMethodInfo {
 public:
  PropInfoMI();
  ~PropInfoMI() override;

  void invokeMethod(const QxMethodSignature* signature, int* nReturned, void** returned, int nArgs,
                    void** args) override;

 private:
  // The record of the named property (abbreviations and other letter case
  // allowed); throws ZLGeneralException when there is none or the name is
  // ambiguous.
  const PropInfo* getPropertyAttributes(QxInterface* object, const char* name) const;
  // The full names of the properties a cell array names; raises the
  // argument errors.
  void collectCellNames(QxInterface* object, const hvArray* cell,
                        std::vector<std::string>& names) const;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_PROP_INFO_MI_H
