// ReadOnlyCheckFcn: the "not while another property holds a value" rule.
#include "zelobjsys/read_only_check_fcn.h"

#include "zelhost/services/zelhox.h"
#include "zelhost/types/data_type.h"
#include "zelobjsys/prop_info.h"
#include "zelobjsys/property.h"

namespace zelobjsys {

namespace {

constexpr const char* kReadOnlyId = "vornix:property:readOnly";

const char* nameOf(const PropInfo* info) {
  const char* name = info != nullptr ? info->getName() : nullptr;
  return name != nullptr ? name : "";
}

}  // namespace

ReadOnlyCheckFcn::ReadOnlyCheckFcn(Property* controlling, const char* controllingValue)
    : controlling_(controlling),
      controllingAlive_(controlling != nullptr ? controlling->watch()
                                               : std::weak_ptr<const void>()),
      controllingValue_(controllingValue != nullptr ? controllingValue : "") {}

const Property* ReadOnlyCheckFcn::getControllingProperty() const {
  return controllingAlive_.expired() ? nullptr : controlling_;
}

void ReadOnlyCheckFcn::check(QxInterface* /*object*/, const PropInfo* info, const void* /*value*/) {
  if (controllingAlive_.expired() || controlling_->getPropInfo() == nullptr) return;
  const PropInfo* controllingInfo = controlling_->getPropInfo();
  const QxDataType* type = controllingInfo->getDataType(controlling_->getOwner());
  const EnumerationType* names = type != nullptr ? type->getEnumerationType() : nullptr;
  if (names == nullptr) return;
  const void* current = controlling_->getValue();
  const char* currentName = current != nullptr ? names->getEnumString(current) : nullptr;
  // Without a name for the current value the rule cannot match.
  if (currentName == nullptr || controllingValue_ != currentName) return;
  throw ZLGeneralException(kReadOnlyId, "%s: Property can not be set while %s is set to '%s'.",
                           nameOf(info), nameOf(controllingInfo), controllingValue_.c_str());
}

}  // namespace zelobjsys
