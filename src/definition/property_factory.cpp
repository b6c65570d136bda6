// PropertyFactory: the create operations, the setters and addProperty.
#include "zelobjsys/property_factory.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "property_factory_internal.h"
#include "zelhost/objects/qx_class.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/types/data_type.h"
#include "zelobjsys/application_manager.h"
#include "zelobjsys/application_type_manager.h"
#include "zelobjsys/fcns.h"
#include "zelobjsys/pi_identifiers.h"
#include "zelobjsys/prop_info.h"
#include "zelobjsys/prop_info_manager.h"
#include "zelobjsys/property_container.h"
#include "zelobjsys/schema_definition.h"

namespace zelobjsys {

namespace {

constexpr double kIntMax = 2147483647.0;
constexpr double kInf = std::numeric_limits<double>::infinity();

hvArray* doubleRow(const std::vector<double>& values) {
  hvArray* row = hvCreateDoubleMatrix(1, values.size());
  double* data = hvGetPr(row);
  for (std::size_t i = 0; i < values.size(); ++i) data[i] = values[i];
  return row;
}

hvArray* stringOrNone(const char* text) { return text != nullptr ? hvCreateString(text) : nullptr; }

// The int that a double names when truncated toward zero, if it is one.
bool truncatedInt(double value, int* out) {
  if (std::isnan(value) || value <= -2147483649.0 || value >= 2147483648.0) return false;
  *out = static_cast<int>(value);
  return true;
}

}  // namespace

PropertyFactory::PropertyFactory(SchemaDefinition* schema, const char* deviceName)
    : targetClass_(schema), deviceName_(deviceName != nullptr ? deviceName : "") {
  init();
}

PropertyFactory::PropertyFactory(QxInterface* object, const char* deviceName)
    : targetClass_(object != nullptr ? object->getDatabaseClass() : nullptr),
      object_(object),
      deviceName_(deviceName != nullptr ? deviceName : "") {
  init();
}

PropertyFactory::PropertyFactory(PropertyContainer* container, const char* deviceName)
    : container_(container), deviceName_(deviceName != nullptr ? deviceName : "") {
  object_ = container != nullptr ? container->getContainerQxI() : nullptr;
  targetClass_ = object_ != nullptr ? object_->getDatabaseClass() : nullptr;
  init();
}

PropertyFactory::~PropertyFactory() = default;

void PropertyFactory::init() { reader_ = nullptr; }

bool PropertyFactory::isInstanceFactory() const {
  if (object_ != nullptr) return true;
  auto* schema = dynamic_cast<SchemaDefinition*>(targetClass_);
  return schema != nullptr && schema->isInstanceSchema();
}

PropertyFactory::PropHandler* PropertyFactory::createPropHandler(const char* name) {
  // A property without a name could never be got or set, and the class's
  // whole-object get would fail on it: like any other definition the factory
  // cannot use, it defines nothing.
  if (name == nullptr || *name == '\0') return nullptr;
  std::unique_ptr<PropInfo> record(createPropInfo(name));
  if (!record) return nullptr;
  auto handler = std::make_unique<PropHandler>();
  handler->record = record.get();
  handler->owned = std::move(record);
  handlers_.push_back(std::move(handler));
  return handlers_.back().get();
}

void PropertyFactory::setDefault(PropInfo& record, hvArray* value) {
  ZLScopedHvArray held(value);
  record.setPIDefaultValue(held);
}

void PropertyFactory::setConstraints(void* handle, double minimum, double maximum) const {
  PropHandler* h = getPropHandler(handle);
  if (h == nullptr) return;
  h->record->setPIConstraint(kPIConstraintBounded);
  ZLScopedHvArray range(doubleRow({minimum, maximum}));
  h->record->setPIConstraintValue(range);
}

// ---------------------------------------------------------------- numbers

void* PropertyFactory::createNumericProperty(const char* name, const char* dataTypeName,
                                             double defaultValue) {
  PropHandler* h = createPropHandler(name);
  if (h == nullptr) return nullptr;
  h->record->setPIType(kPITypeDouble);
  h->dataTypeName = dataTypeName != nullptr ? dataTypeName : "";
  setDefault(*h->record, hvCreateDoubleScalar(defaultValue));
  return getHandle(h);
}

void* PropertyFactory::createNumericProperty(const char* name, const char* dataTypeName,
                                             double minimum, double maximum, double defaultValue) {
  void* handle = createNumericProperty(name, dataTypeName, defaultValue);
  setConstraints(handle, minimum, maximum);
  return handle;
}

void* PropertyFactory::createNumericPairProperty(const char* name, const char* dataTypeName,
                                                 double first, double second) {
  return createNumericArrayProperty(name, dataTypeName, {first, second});
}

void* PropertyFactory::createNumericPairProperty(const char* name, const char* dataTypeName,
                                                 double minimum, double maximum, double first,
                                                 double second) {
  void* handle = createNumericPairProperty(name, dataTypeName, first, second);
  setConstraints(handle, minimum, maximum);
  return handle;
}

void* PropertyFactory::createNumericArrayProperty(const char* name, const char* dataTypeName,
                                                  const std::vector<double>& values) {
  PropHandler* h = createPropHandler(name);
  if (h == nullptr) return nullptr;
  h->record->setPIType(kPITypeDouble);
  h->dataTypeName = dataTypeName != nullptr ? dataTypeName : "";
  setDefault(*h->record, doubleRow(values));
  return getHandle(h);
}

void* PropertyFactory::createDoubleProperty(const char* name, double defaultValue) {
  return createNumericProperty(name, "double", defaultValue);
}

void* PropertyFactory::createDoubleProperty(const char* name, double minimum, double maximum,
                                            double defaultValue) {
  return createNumericProperty(name, "double", minimum, maximum, defaultValue);
}

void* PropertyFactory::createZeroPosDoubleProperty(const char* name, double defaultValue) {
  return createNumericProperty(name, "ZeroOrPositiveDouble", 0, kIntMax, defaultValue);
}

void* PropertyFactory::createZeroInfPosDoubleProperty(const char* name, double defaultValue) {
  return createNumericProperty(name, "ZeroOrPositiveDouble", 0, kInf, defaultValue);
}

void* PropertyFactory::createPositiveDoubleRangeProperty(const char* name, double minimum,
                                                         double maximum, double first,
                                                         double second) {
  return createNumericPairProperty(name, "PositiveDoubleRange", minimum, maximum, first, second);
}

void* PropertyFactory::createDoublePairProperty(const char* name, double minimum, double maximum,
                                                double first, double second) {
  return createNumericPairProperty(name, "DoublePair", minimum, maximum, first, second);
}

void* PropertyFactory::createDoubleArrayProperty(const char* name,
                                                 const std::vector<double>& values) {
  return createNumericArrayProperty(name, "NReals", values);
}

void* PropertyFactory::createIntProperty(const char* name, int defaultValue) {
  return createNumericProperty(name, "int", defaultValue);
}

void* PropertyFactory::createIntProperty(const char* name, int minimum, int maximum,
                                         int defaultValue) {
  return createNumericProperty(name, "int", minimum, maximum, defaultValue);
}

void* PropertyFactory::createZeroPosIntProperty(const char* name, int defaultValue) {
  return createNumericProperty(name, "ZeroOrPositiveInt", 0, kIntMax, defaultValue);
}

void* PropertyFactory::createZeroInfPosIntProperty(const char* name, int defaultValue) {
  return createNumericProperty(name, "ZeroInfOrPositiveInt", 0, kInf, defaultValue);
}

void* PropertyFactory::createPosIntProperty(const char* name, int defaultValue) {
  return createNumericProperty(name, "PositiveInt", 1, kIntMax, defaultValue);
}

void* PropertyFactory::createInfPosIntProperty(const char* name, int defaultValue) {
  return createNumericProperty(name, "InfOrPositiveInt", 1, kInf, defaultValue);
}

void* PropertyFactory::createIntPairProperty(const char* name, int minimum, int maximum, int first,
                                             int second) {
  return createNumericPairProperty(name, "IntPair", minimum, maximum, first, second);
}

void* PropertyFactory::createIntArrayProperty(const char* name, const std::vector<int>& values) {
  return createNumericArrayProperty(name, "Nints",
                                    std::vector<double>(values.begin(), values.end()));
}

// ---------------------------------------------------------------- other kinds

void* PropertyFactory::createHandleProperty(const char* name, int typeIdentifier,
                                            const QxInterface* defaultObject) {
  if (defaultObject == nullptr)
    return createHandleProperty(name, typeIdentifier, "handle", nullptr);
  const std::vector<QxInterface*> objects{const_cast<QxInterface*>(defaultObject)};
  return createHandleProperty(name, typeIdentifier, "handle", &objects);
}

void* PropertyFactory::createHandleVectorProperty(const char* name, int typeIdentifier,
                                                  const std::vector<QxInterface*>* objects) {
  return createHandleProperty(name, typeIdentifier, "handle vector", objects);
}

void* PropertyFactory::createHandleProperty(const char* name, int typeIdentifier,
                                            const char* dataTypeName,
                                            const std::vector<QxInterface*>* objects) {
  PropHandler* h = createPropHandler(name);
  if (h == nullptr) return nullptr;
  h->record->setPIType(typeIdentifier);
  h->record->setPIConstraint(kPIConstraintNone);
  h->dataTypeName = dataTypeName != nullptr ? dataTypeName : "";
  if (objects != nullptr) {
    if (h->dataTypeName == "handle") {
      // A "handle" default needs an object; an empty list gives none.
      if (!objects->empty()) setDefault(*h->record, fcns::createHandle(objects->front()));
    } else {
      setDefault(*h->record, fcns::createHandles(*objects));
    }
  }
  return getHandle(h);
}

void* PropertyFactory::createHvArrayProperty(const char* name, const hvArray* defaultValue,
                                             int typeIdentifier, int constraintIdentifier) {
  PropHandler* h = createPropHandler(name);
  if (h == nullptr) return nullptr;
  h->record->setPIType(typeIdentifier);
  h->record->setPIConstraint(constraintIdentifier);
  h->dataTypeName = "PULVRA array";
  if (defaultValue != nullptr) h->record->setPIDefaultValue(defaultValue);
  return getHandle(h);
}

void* PropertyFactory::createHvArrayProperty(const char* name, const hvArray* defaultValue,
                                             int typeIdentifier) {
  return createHvArrayProperty(name, defaultValue, typeIdentifier, kPIConstraintNone);
}

void* PropertyFactory::createHvArrayProperty(const char* name, const hvArray* defaultValue) {
  return createHvArrayProperty(name, defaultValue, kPITypeAny, kPIConstraintNone);
}

void* PropertyFactory::createStructureProperty(const char* name, const hvArray* defaultValue) {
  void* handle = createHvArrayProperty(name, defaultValue, kPITypeStruct, kPIConstraintNone);
  if (PropHandler* h = getPropHandler(handle)) h->dataTypeName = "PULVRAStructure";
  return handle;
}

void* PropertyFactory::createCallbackProperty(const char* name, const hvArray* defaultValue) {
  void* handle = createHvArrayProperty(name, defaultValue, kPITypeCallback, kPIConstraintCallback);
  if (PropHandler* h = getPropHandler(handle)) {
    h->dataTypeName = "StrictHCallback";
    h->record->setPICategory(kPICategoryCallback);
  }
  return handle;
}

void* PropertyFactory::createCallbackProperty(const char* name, const char* defaultValue) {
  ZLScopedHvArray callback;
  if (defaultValue != nullptr && *defaultValue != '\0') {
    callback.reset(fcns::createFunctionHandle(defaultValue));
  }
  return createCallbackProperty(name, static_cast<const hvArray*>(callback.get()));
}

void* PropertyFactory::createStringProperty(const char* name, const char* defaultValue) {
  PropHandler* h = createPropHandler(name);
  if (h == nullptr) return nullptr;
  h->record->setPIType(kPITypeString);
  h->dataTypeName = "string";
  setDefault(*h->record, stringOrNone(defaultValue));
  return getHandle(h);
}

void* PropertyFactory::createEnumProperty(const char* name, const char* defaultText, int value) {
  PropHandler* h = createPropHandler(name);
  if (h == nullptr) return nullptr;
  const char* text = defaultText != nullptr ? defaultText : "";
  h->record->setPIType(kPITypeString);
  h->record->setPIConstraint(kPIConstraintEnum);
  const char* className = targetClass_ != nullptr ? targetClass_->getName() : nullptr;
  h->dataTypeName =
      std::string(h->record->getName()) + "_" + (className ? className : "") + "EnumType";
  h->isEnumeration = true;
  ZLScopedHvArray texts(hvCreateCellMatrix(1, 1));
  hvSetCell(texts, 0, hvCreateString(text));
  h->record->setPIConstraintValue(texts);
  h->enumValues.assign(1, value);
  setDefault(*h->record, hvCreateString(text));
  return getHandle(h);
}

// ---------------------------------------------------------------- setters

void PropertyFactory::addEnumValue(void* handle, const char* text, int value) const {
  PropHandler* h = getPropHandler(handle);
  if (h == nullptr || text == nullptr) return;
  const hvArray* old = h->record->getPIConstraintValue();
  if (!hvIsCell(old)) return;  // not an enumeration: nothing to extend
  // The enumeration type keeps one text per value: a second one could never
  // be read back.
  if (std::find(h->enumValues.begin(), h->enumValues.end(), value) != h->enumValues.end()) return;
  const hvSize n = hvGetNumberOfElements(old);
  ZLScopedHvArray texts(hvCreateCellMatrix(1, n + 1));
  for (hvSize i = 0; i < n; ++i) {
    const hvArray* element = hvGetCell(old, i);
    if (zelutil::caselessCompare(zelhox::fcns::getString(element), text) == 0) return;
    hvSetCell(texts, i, hvDuplicateArray(element));
  }
  hvSetCell(texts, n, hvCreateString(text));
  h->record->setPIConstraintValue(texts);
  h->enumValues.push_back(value);
}

void PropertyFactory::setDefaultValue(void* handle, const char* text) const {
  if (PropHandler* h = getPropHandler(handle)) setDefault(*h->record, stringOrNone(text));
}

void PropertyFactory::setDefaultValue(void* handle, double value) const {
  PropHandler* h = getPropHandler(handle);
  if (h == nullptr) return;
  if (!h->isEnumeration) {
    setDefault(*h->record, hvCreateDoubleScalar(value));
    return;
  }
  int wanted = 0;
  const hvArray* texts = h->record->getPIConstraintValue();
  if (!truncatedInt(value, &wanted) || !hvIsCell(texts)) return;
  for (std::size_t i = 0; i < h->enumValues.size(); ++i) {
    if (h->enumValues[i] != wanted) continue;
    const hvArray* text = hvGetCell(texts, i);  // null past the end
    if (text != nullptr) h->record->setPIDefaultValue(text);
    return;
  }
}

void PropertyFactory::setDefaultValue(void* handle, const hvArray* value) const {
  if (PropHandler* h = getPropHandler(handle)) h->record->setPIDefaultValue(value);
}

void PropertyFactory::setIdentifier(void* handle, int identifier) const {
  if (PropHandler* h = getPropHandler(handle)) h->record->setPIIdentifier(identifier);
}

void PropertyFactory::setPropReadOnly(void* handle, const char* readOnly) const {
  PropHandler* h = getPropHandler(handle);
  if (h == nullptr || readOnly == nullptr) return;
  const int id = PropInfoManager::getInstance()->getReadOnlyID(readOnly);
  if (id >= 0) h->record->setPIReadOnly(id);  // an unknown rule is ignored
}

void PropertyFactory::setInitAfterCreate(void* handle, bool init) const {
  if (PropHandler* h = getPropHandler(handle)) h->record->setQxInitAccess(init);
}

void PropertyFactory::setVisible(void* handle, VisibleAccess access) const {
  PropHandler* h = getPropHandler(handle);
  if (h == nullptr || access < kVisibleNone || access > kVisibleAll) return;
  h->record->setQxVisible(access != kVisibleNone);
  h->record->setInspectAccess(access == kVisibleAll);
}

void PropertyFactory::setAbortSetAllowed(void* handle, bool allowed) const {
  if (PropHandler* h = getPropHandler(handle)) h->record->setQxAbortSetAccess(allowed);
}

void PropertyFactory::setCustomGetFcn(void* handle, IGetFcn* fcn) const {
  std::unique_ptr<IGetFcn> owned(fcn);  // handed over even when the handle is null
  if (PropHandler* h = getPropHandler(handle)) h->record->setCustomGetFcn(owned.release());
}

void PropertyFactory::setCustomSetFcn(void* handle, ISetFcn* fcn) const {
  std::unique_ptr<ISetFcn> owned(fcn);
  if (PropHandler* h = getPropHandler(handle)) h->record->setCustomSetFcn(owned.release());
}

void PropertyFactory::setPropCategory(void* handle, int category) const {
  if (PropHandler* h = getPropHandler(handle)) h->record->setPICategory(category);
}

void PropertyFactory::addPropHelpLine(void* handle, const char* text) const {
  PropHandler* h = getPropHandler(handle);
  if (h != nullptr && text != nullptr) h->record->addDescriptionLine(text, "", false);
}

// ---------------------------------------------------------------- adding

void PropertyFactory::addProperty(void* handle, int identifier, bool deviceSpecific) const {
  setIdentifier(handle, identifier);
  addProperty(handle, deviceSpecific);
}

void PropertyFactory::addProperty(void* handle, bool deviceSpecific) const {
  PropHandler* h = getPropHandler(handle);
  // A record that a target holds already is not handed out a second time.
  if (h == nullptr || !h->owned) return;
  h->record->setPIDeviceSpecific(deviceSpecific);
  std::string typeName = h->dataTypeName;
  if (h->isEnumeration) registerEnumType(*h, typeName);
  h->record->initQxValuesBeforeAdd(typeName.c_str());
  addToTarget(*h);
}

void PropertyFactory::registerEnumType(PropHandler& h, std::string& typeName) const {
  if (QxTypeRepository::getType(typeName.c_str(), true) != nullptr) {
    typeName += std::to_string(zelutil::fcns::getSequentialID());
  }
  ApplicationManager* manager = ApplicationManager::getInstance();
  manager->getClassTypeManager(targetClass_)
      ->createNewEnumType(typeName.c_str(), h.record->getPIConstraintValue(), h.enumValues.data(),
                          h.enumValues.size());
}

void PropertyFactory::addToTarget(PropHandler& h) const {
  if (container_ != nullptr) {
    container_->addInstanceProperty(h.record);
  } else if (object_ != nullptr) {
    object_->addInstanceProperty(h.record);
  } else if (targetClass_ != nullptr) {
    targetClass_->addProperty(h.record);
  } else {
    return;  // nowhere to add it: the factory keeps the record
  }
  h.owned.release();  // the target owns the record now
  if (QxClass* propInfoClass = ApplicationManager::getInstance()->getPropInfoQxC()) {
    h.record->getInterface()->setDatabaseClass(propInfoClass);
  }
}

}  // namespace zelobjsys
