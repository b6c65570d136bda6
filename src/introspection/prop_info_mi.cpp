// PropInfoMI: the "propinfo" host method.
#include "zelobjsys/prop_info_mi.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "zelhost/objects/qx_application.h"
#include "zelhost/objects/qx_class.h"
#include "zelhost/objects/qx_interface.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/services/zelutil.h"
#include "zelhost/types/data_type.h"
#include "zelobjsys/prop_info.h"
#include "zelobjsys/prop_info_manager.h"

namespace zelobjsys {

namespace {

const char kStringCellId[] = "vornix:propinfo:stringCellProp";
const char kStringCellText[] = "PROPERTY must be a string or a 1xN cell array of strings.";

enum Field { kType, kConstraint, kConstraintValue, kDefaultValue, kReadOnly, kPerDevice };
const char* const kFieldNames[] = {"Type",         "Constraint", "ConstraintValue",
                                   "DefaultValue", "ReadOnly",   "DeviceSpecific"};
constexpr int kFieldCount = 6;

// How the caller asked: for everything, for one name, or for a cell of names.
enum class CallForm { kAll, kOne, kCell, kNone };

// The record of a property host object, or null when it is something else.
const PropInfo* recordOf(const QxInterface* descriptor) {
  if (descriptor == nullptr) return nullptr;
  return dynamic_cast<const PropInfo*>(static_cast<QxPropInfoTemplate*>(descriptor->getObject()));
}

// Looks a record up again by its full name, raising nothing.
const PropInfo* findRecord(QxInterface* object, const std::string& name) {
  try {
    return recordOf(object->getProperty(name.c_str(), false));
  } catch (Exception* e) {
    delete e;
    return nullptr;
  }
}

void collectVisible(QxInterface* list, std::vector<std::string>& names) {
  QxBreadthOnlyIterator it(list, false);
  while (it.hasMoreElements()) {
    const PropInfo* record = recordOf(it.nextElement());
    if (record != nullptr && record->isQxVisible()) names.push_back(record->getPropertyName());
  }
}

// The default as the property's data type gives it back. A default the type
// cannot convert (an enumeration whose values were all removed keeps an
// empty text it does not list) is shown as stored rather than failing the
// whole call.
hvArray* defaultThroughType(const PropInfo& record) {
  const hvArray* stored = record.getPIDefaultValue();
  if (stored == nullptr) return hvCreateDoubleMatrix(0, 0);
  const QxDataType* type = record.getQxDataType();
  const PulvraConversion* conversion = type != nullptr ? type->getPulvraConversion() : nullptr;
  if (conversion == nullptr) return hvDuplicateArray(stored);
  void* intermediate = nullptr;
  try {
    intermediate = conversion->fromPulvra(stored);
  } catch (Exception* e) {
    delete e;
    return hvDuplicateArray(stored);
  }
  hvArray* result = nullptr;
  try {
    result = conversion->toPulvra(intermediate);
  } catch (...) {
    type->destroy(intermediate);
    throw;
  }
  type->destroy(intermediate);
  return result != nullptr ? result : hvDuplicateArray(stored);
}

hvArray* fieldValue(int field, const PropInfo& record, const PropInfoManager& manager) {
  switch (field) {
    case kType:
      return hvCreateString(manager.getTypeString(record.getPIType()).c_str());
    case kConstraint:
      return hvCreateString(manager.getConstraintString(record.getPIConstraint()).c_str());
    case kConstraintValue:
      return hvDuplicateArray(record.getPIConstraintValue());
    case kDefaultValue:
      return defaultThroughType(record);
    case kReadOnly:
      return hvCreateString(manager.getReadOnlyString(record.getPIReadOnly()).c_str());
    default:
      return hvCreateLogicalScalar(record.getPIDeviceSpecific());
  }
}

// The fields that this object's class shows, in table order.
std::vector<int> visibleFields(const QxClass* cls, const PropInfoManager& manager) {
  const QxApplication* app = cls != nullptr ? cls->getApplication() : nullptr;
  const char* package = app != nullptr ? app->getName() : "";
  const char* className = cls != nullptr && cls->getName() != nullptr ? cls->getName() : "";
  std::vector<int> fields;
  for (int f = 0; f < kFieldCount; ++f) {
    if (!manager.isFieldHidden(package, className, kFieldNames[f])) fields.push_back(f);
  }
  return fields;
}

hvArray* describe(const PropInfo& record, const std::vector<int>& fields,
                  const PropInfoManager& manager) {
  std::vector<const char*> names;
  names.reserve(fields.size());
  for (int f : fields) names.push_back(kFieldNames[f]);
  ZLScopedHvArray info(hvCreateStructMatrix(1, 1, static_cast<int>(names.size()), names.data()));
  for (std::size_t i = 0; i < fields.size(); ++i) {
    hvSetFieldByNumber(info, 0, static_cast<int>(i), fieldValue(fields[i], record, manager));
  }
  return info.release();
}

bool isVectorCell(const hvArray* value) {
  return hvIsCell(value) && hvGetNumberOfDimensions(value) <= 2 &&
         (hvGetM(value) == 1 || hvGetN(value) == 1);
}

// An empty cell asks about nothing: the call ends without a value.
CallForm callForm(const QxMethodSignature* signature, int nArgs, void** args) {
  if (nArgs == 1) return CallForm::kAll;
  if (nArgs != 2) return CallForm::kNone;
  const char* second = signature != nullptr ? signature->getArgumentTypeName(1) : nullptr;
  if (second != nullptr && std::string(second) == "string") return CallForm::kOne;
  const auto* value = static_cast<const hvArray*>(args[1]);
  return hvIsCell(value) && hvIsEmpty(value) ? CallForm::kNone : CallForm::kCell;
}

// The cell, the structure of every property, or the one property's
// structure; a name whose record has gone leaves its slot empty.
hvArray* buildResult(CallForm form, const std::vector<std::string>& names, QxInterface* object,
                     const QxClass* cls) {
  const PropInfoManager& manager = *PropInfoManager::getInstance();
  const std::vector<int> fields = visibleFields(cls, manager);
  ZLScopedHvArray result;
  if (form == CallForm::kCell) {
    result.reset(hvCreateCellMatrix(1, names.size()));
  } else if (form == CallForm::kAll) {
    std::vector<const char*> fieldNames;
    fieldNames.reserve(names.size());
    for (const std::string& n : names) fieldNames.push_back(n.c_str());
    result.reset(
        hvCreateStructMatrix(1, 1, static_cast<int>(fieldNames.size()), fieldNames.data()));
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    const PropInfo* record = findRecord(object, names[i]);
    if (record == nullptr) continue;
    hvArray* info = describe(*record, fields, manager);
    if (form == CallForm::kCell) {
      hvSetCell(result, i, info);
    } else if (form == CallForm::kAll) {
      // By name: a class and an instance property of one name share a field.
      hvSetField(result, 0, names[i].c_str(), info);
    } else {
      result.reset(info);
    }
  }
  return result.release();
}

}  // namespace

PropInfoMI::PropInfoMI() : QxMethodInfo(false) {
  setName("propinfo", true);
  const char* const secondArgument[] = {nullptr, "string", "PULVRA array"};
  for (const char* second : secondArgument) {
    std::unique_ptr<QxMethodSignature> signature(new QxMethodSignature);
    signature->addArgument("handle", nullptr);
    if (second != nullptr) signature->addArgument(second, nullptr);
    signature->addReturnType("PULVRA array");
    addMethodSignature(signature.release());  // the method owns its signatures
  }
}

PropInfoMI::~PropInfoMI() = default;

const PropInfo* PropInfoMI::getPropertyAttributes(QxInterface* object, const char* name) const {
  QxInterface* descriptor = nullptr;
  try {
    descriptor = object->getProperty(name, false);
  } catch (Exception* thrown) {
    // Host exceptions may be thrown through a base pointer: only the dynamic
    // type says which one this is.
    if (dynamic_cast<AmbiguousPropertyException*>(thrown) == nullptr) throw;
    delete thrown;
    throw ZLGeneralException("vornix:propinfo:ambiguousProp", "Ambiguous property: '%s'.", name);
  }
  const PropInfo* record = recordOf(descriptor);
  if (record == nullptr) {
    throw ZLGeneralException("vornix:propinfo:invalidProp", "Invalid property: '%s'.", name);
  }
  return record;
}

void PropInfoMI::collectCellNames(QxInterface* object, const hvArray* cell,
                                  std::vector<std::string>& names) const {
  if (!isVectorCell(cell)) zelhox::fcns::error(kStringCellId, kStringCellText, 0);
  const hvSize n = hvGetNumberOfElements(cell);
  for (hvSize i = 0; i < n; ++i) {
    const hvArray* element = hvGetCell(cell, i);
    if (!hvIsChar(element)) zelhox::fcns::error(kStringCellId, kStringCellText, 0);
    if (hvIsEmpty(element)) {
      zelhox::fcns::error("vornix:propinfo:invalidProp", "Invalid property: ''.", 0);
    }
    const std::string name = zelhox::fcns::getString(element);
    names.push_back(getPropertyAttributes(object, name.c_str())->getPropertyName());
  }
}

void PropInfoMI::invokeMethod(const QxMethodSignature* signature, int* nReturned, void** returned,
                              int nArgs, void** args) {
  if (nReturned != nullptr) *nReturned = 0;
  QxInterface* object =
      nArgs >= 1 && args != nullptr ? static_cast<QxInterface*>(args[0]) : nullptr;
  QxClass* cls = object != nullptr && object->isValid() ? object->getDatabaseClass() : nullptr;
  if (cls == nullptr) {
    zelhox::fcns::error("vornix:propinfo:invalidObject", "Invalid or deleted object.", 0);
  }
  const CallForm form = callForm(signature, nArgs, args);
  if (form == CallForm::kNone) return;

  std::vector<std::string> names;
  try {
    if (form == CallForm::kAll) {
      collectVisible(cls->getProperties(), names);
      collectVisible(object->getInstanceProperties(), names);
      std::stable_sort(names.begin(), names.end(), zelutil::caselessIsLessThan);
    } else if (form == CallForm::kOne) {
      const char* name = static_cast<const char*>(args[1]);
      names.push_back(
          getPropertyAttributes(object, name != nullptr ? name : "")->getPropertyName());
    } else {
      collectCellNames(object, static_cast<const hvArray*>(args[1]), names);
    }
  } catch (const ZLGeneralException& e) {
    e.post();
  }
  ZLScopedHvArray result(buildResult(form, names, object, cls));
  if (result.get() == nullptr || nReturned == nullptr || returned == nullptr) return;
  returned[0] = result.release();  // the host destroys returned values
  *nReturned = 1;
}

}  // namespace zelobjsys
