// PropHelpMI: the "prophelp" host method.
#include "zelobjsys/prop_help_mi.h"

#include <memory>
#include <string>

#include "zelhost/objects/qx_class.h"
#include "zelhost/objects/qx_interface.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/services.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/services/zelutil.h"
#include "zelhost/types/data_type.h"
#include "zelobjsys/pi_identifiers.h"
#include "zelobjsys/prop_info.h"
#include "zelobjsys/prop_info_manager.h"

namespace zelobjsys {

namespace {

constexpr std::size_t kTextReserve = 100;

// The host's own "num2str", so that bounds read as users see numbers.
std::string num2str(double x) {
  ZLScopedHvArray in(hvCreateDoubleScalar(x));
  hvArray* outputs[1] = {nullptr};
  hvArray* inputs[1] = {in.get()};
  hoxCallPULVRA(1, outputs, 1, inputs, "num2str");
  hvSetArrayScope(outputs[0], 0);
  ZLScopedHvArray out(outputs[0]);
  return zelhox::fcns::getString(out);
}

// The name of the PI type as the property-info class names it; the
// enumerations' own translation when the record's host object does not have
// that class.
std::string typeName(const PropInfo& record) {
  const int type = record.getPIType();
  const QxInterface* self = record.getInterface();
  const QxClass* infoClass = self != nullptr ? self->getDatabaseClass() : nullptr;
  const QxInterface* field = nullptr;
  try {
    field = infoClass != nullptr ? infoClass->getProperty("Type", false) : nullptr;
  } catch (Exception* e) {
    delete e;
  }
  const auto* descriptor =
      field != nullptr ? static_cast<const QxPropInfoTemplate*>(field->getObject()) : nullptr;
  const QxDataType* dataType = descriptor != nullptr ? descriptor->getDataType() : nullptr;
  const EnumerationType* names = dataType != nullptr ? dataType->getEnumerationType() : nullptr;
  const char* text = names != nullptr ? names->getEnumString(&type) : nullptr;
  if (text != nullptr) return text;
  return PropInfoManager::getInstance()->getTypeString(type);
}

// "[ a | {b} | c ]" with the default in braces. A property whose values
// were all removed has no default and no values: "[ ]".
std::string enumText(const PropInfo& record) {
  const QxDataType* type = record.getQxDataType();
  const EnumerationType* names = type != nullptr ? type->getEnumerationType() : nullptr;
  std::unique_ptr<Enumeration> values(type != nullptr ? type->getPossibleValues() : nullptr);
  if (names == nullptr || values == nullptr || !values->hasMoreElements()) return "[ ]";
  const auto* defaultValue = static_cast<const int32_t*>(record.getFactoryDefault());
  std::string text = "[ ";
  while (values->hasMoreElements()) {
    const auto* value = static_cast<const int32_t*>(values->nextElement());
    const char* name = value != nullptr ? names->getEnumString(value) : nullptr;
    const std::string shown = name != nullptr ? name : "";
    const bool isDefault = value != nullptr && defaultValue != nullptr && *value == *defaultValue;
    text += isDefault ? "{" + shown + "}" : shown;
    text += values->hasMoreElements() ? " | " : " ]";
  }
  return text;
}

std::string boundedText(const PropInfo& record) {
  const hvArray* bounds = record.getPIConstraintValue();
  if (!hvIsNumeric(bounds) || hvGetNumberOfElements(bounds) < 2) return typeName(record);
  return "[" + num2str(hvGetElementAsDouble(bounds, 0)) + "  " +
         num2str(hvGetElementAsDouble(bounds, 1)) + "]";
}

std::string constraintText(const PropInfo& record) {
  switch (record.getPIConstraint()) {
    case kPIConstraintBounded:
      return boundedText(record);
    case kPIConstraintCallback:
      return "string -or- function handle -or- cell array";
    case kPIConstraintEnum:
      return enumText(record);
    default:
      return typeName(record);
  }
}

std::string readOnlyText(int readOnly) {
  if (readOnly == kPIReadOnlyAlways) return "  (Read-only: always)";
  if (readOnly == kPIReadOnlyNever) return "  (Read-only: never)";
  return "  (Read-only: " + PropInfoManager::getInstance()->getReadOnlyString(readOnly) + ")";
}

}  // namespace

PropHelpMI::PropHelpMI() : QxMethodInfo(false) {
  setName("prophelp", true);
  std::unique_ptr<QxMethodSignature> withObject(new QxMethodSignature);
  withObject->addArgument("handle", nullptr);
  withObject->addArgument("string", nullptr);
  withObject->addReturnType("string");
  addMethodSignature(withObject.release());  // the method owns its signatures
  std::unique_ptr<QxMethodSignature> nameAlone(new QxMethodSignature);
  nameAlone->addArgument("string", nullptr);
  nameAlone->addReturnType("string");
  addMethodSignature(nameAlone.release());
  setCallableWithoutObject(true);
}

PropHelpMI::~PropHelpMI() = default;

std::string PropHelpMI::helpText(const PropInfo& record) {
  const std::string description = record.getDescription();
  std::string text;
  text.reserve(description.size() + kTextReserve);
  text += "    ";
  text += zelutil::toUpper(record.getPropertyName() != nullptr ? record.getPropertyName() : "");
  text += "  ";
  text += constraintText(record);
  text += readOnlyText(record.getPIReadOnly());
  text += "\n\n";
  text += description;
  return text;
}

void PropHelpMI::invokeMethod(const QxMethodSignature* signature, int* nReturned, void** returned,
                              int nArgs, void** args) {
  if (nReturned != nullptr) *nReturned = 0;
  if (args == nullptr || (nArgs != 1 && nArgs != 2)) return;
  const char* name = static_cast<const char*>(args[nArgs - 1]);
  if (name == nullptr) name = "";
  QxInterface* descriptor = nullptr;
  try {
    if (nArgs == 2) {
      const auto* object = static_cast<const QxInterface*>(args[0]);
      // A deleted object has no properties left to describe.
      descriptor =
          object != nullptr && object->isValid() ? object->getProperty(name, false) : nullptr;
    } else if (const QxClass* cls = getClass()) {
      descriptor = cls->getProperty(name, false);
    }
  } catch (Exception* thrown) {
    // Host exceptions may be thrown through a base pointer: only the dynamic
    // type says which one this is.
    if (dynamic_cast<AmbiguousPropertyException*>(thrown) == nullptr) throw;
    delete thrown;
    const std::string message = std::string("Ambiguous property: '") + name + "'.";
    zelhox::fcns::error("vornix:prophelp:ambiguousProp", message.c_str(), 0);
  }
  const PropInfo* record =
      descriptor != nullptr
          ? dynamic_cast<const PropInfo*>(static_cast<QxPropInfoTemplate*>(descriptor->getObject()))
          : nullptr;
  if (record == nullptr || !record->isQxVisible()) return;
  const std::string text = helpText(*record);
  const QxDataType* type = signature != nullptr ? signature->getReturnType(0) : nullptr;
  if (type == nullptr || nReturned == nullptr || returned == nullptr) return;
  returned[0] = type->copy(text.c_str());  // the host destroys returned values
  *nReturned = 1;
}

}  // namespace zelobjsys
