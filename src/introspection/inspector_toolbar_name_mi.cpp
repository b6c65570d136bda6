// The toolbar-name host method.
#include "zelobjsys/inspector_toolbar_name_mi.h"

#include <memory>
#include <string>

#include "zelhost/types/data_type.h"
#include "zelobjsys/schema_definition.h"

namespace zelobjsys {

namespace {

// What a property browser reads to treat the method as its toolbar query.
constexpr int32_t kToolbarQuery = 1;

}  // namespace

InspectorToolbarNameMI::InspectorToolbarNameMI() : QxMethodInfo(false) {
  setName("getInspectorToolbarObjectName", true);
  std::unique_ptr<QxMethodSignature> signature(new QxMethodSignature);
  signature->addArgument("handle", nullptr);
  signature->addReturnType("string");
  addMethodSignature(signature.release());  // the method owns its signatures
  setBrowserAttribute(kToolbarQuery);
}

InspectorToolbarNameMI::~InspectorToolbarNameMI() = default;

void InspectorToolbarNameMI::invokeMethod(const QxMethodSignature* signature, int* nReturned,
                                          void** returned, int /*nArgs*/, void** /*args*/) {
  if (nReturned != nullptr) *nReturned = 0;
  QxClass* cls = getClass();
  std::string name;
  if (auto* schema = dynamic_cast<SchemaDefinition*>(cls)) {
    name = schema->getPulvraClassName();
  } else if (cls != nullptr && cls->getName() != nullptr) {
    name = cls->getName();
  }
  const QxDataType* type = signature != nullptr ? signature->getReturnType(0) : nullptr;
  if (type == nullptr || nReturned == nullptr || returned == nullptr) return;
  returned[0] = type->copy(name.c_str());  // the host destroys returned values
  *nReturned = 1;
}

}  // namespace zelobjsys
