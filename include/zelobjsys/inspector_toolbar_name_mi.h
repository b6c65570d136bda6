// The host method that names an object for a property browser's toolbar.
#ifndef ZELOBJSYS_TOOLBAR_NAME_MI_H
#define ZELOBJSYS_TOOLBAR_NAME_MI_H

#include "zelhost/objects/qx_method_info.h"

namespace zelobjsys {

// Answers the host-language class name of the schema it belongs to, whatever
// the object: the name a property browser shows in its toolbar. A schema
// adds it on request (SchemaDefinition::addGenericMethod("GetToolbarName")).
//
// The class it is added to owns it; it holds no state. Host thread only.
class InspectorToolbarNameMI : public QxMethodInfo {
 public:
  InspectorToolbarNameMI();
  ~InspectorToolbarNameMI() override;

  void invokeMethod(const QxMethodSignature* signature, int* nReturned, void** returned, int nArgs,
                    void** args) override;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_TOOLBAR_NAME_MI_H
