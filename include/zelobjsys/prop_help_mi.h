// PropHelpMI: the "prophelp" host method, which returns a property's help text.
#ifndef ZELOBJSYS_PROP_HELP_MI_H
#define ZELOBJSYS_PROP_HELP_MI_H

#include <string>

#include "zelhost/objects/qx_method_info.h"

namespace zelobjsys {

class PropInfo;

// "prophelp" with an object and a property name, or with the name alone
// (looked up in the class the method belongs to): a summary line with the
// name in capitals, the permitted values or type and the read-only rule, a
// blank line, then the property's description. Unknown and invisible
// properties give no value and no error.
//
// The class it is added to owns it; it holds no state. Host thread only.
class PropHelpMI : public QxMethodInfo {
 public:
  PropHelpMI();
  ~PropHelpMI() override;

  void invokeMethod(const QxMethodSignature* signature, int* nReturned, void** returned, int nArgs,
                    void** args) override;

  // The help text of a record, as invokeMethod returns it.
  static std::string helpText(const PropInfo& record);
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_PROP_HELP_MI_H
