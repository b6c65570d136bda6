// PropInfo: the property definition record.
#include "zelobjsys/prop_info.h"

#include <cstring>
#include <memory>

#include "zelhost/services/exceptions.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/services/zelutil.h"
#include "zelhost/types/data_type.h"

namespace zelobjsys {

namespace {

// Whether an array is the "no value" that the record stores for null.
bool isEmptyValue(const hvArray* a) { return a == nullptr || hvIsEmpty(a); }

}  // namespace

PropInfo::PropInfo()
    : strictCallbackType_(QxTypeRepository::getType("StrictHCallback", true)),
      callbackType_(QxTypeRepository::getType("PULVRA callback", true)) {
  setPIConstraintValue(nullptr);
  setAccess(kAccessInit, true);
  setAccess(kAccessVisible, true);
  setAccess(kAccessExternalSet, true);
  setAccess(kAccessInternalSet, true);
}

PropInfo::~PropInfo() {
  hvDestroyArray(piConstraintValue_);
  hvDestroyArray(piDefaultValue_);
  destroyFactoryDefault();
  // An enumerated property owns the type registered for it.
  if (piConstraint_ == kPIConstraintEnum && getQxDataType() != nullptr) {
    QxTypeRepository::removeType(getQxDataType());
  }
  getFcn_.reset();
  setFcn_.reset();
}

const char* PropInfo::getPropertyName() const { return getName(); }

void* PropInfo::getPropertyDefault() const { return getFactoryDefault(); }

int PropInfo::getPropertyStorageType() const {
  const QxDataType* type = getQxDataType();
  if (type == storageTypeOf_ && type != nullptr) return storageType_;
  int result = kStorageTypeOther;
  if (type != nullptr) {
    switch (type->getStorageCategory()) {
      case kStorageInt32:
        result = kStorageTypeInt32;
        break;
      case kStorageDouble:
        result = kStorageTypeDouble;
        break;
      case kStorageComposite: {
        const std::string name = type->getName();
        if (type->isEnumeration()) {
          result = kStorageTypeInt32;
        } else if (name == "string") {
          result = kStorageTypeString;
        } else if (name == "PULVRA array") {
          result = kStorageTypeHvArray;
        } else if (name == "IntPair" || name == "Nints") {
          result = kStorageTypeIntVector;
        } else if (name == "PositiveDoubleRange" || name == "DoublePair" || name == "NReals") {
          result = kStorageTypeRealVector;
        }
        break;
      }
      default:
        break;
    }
  }
  storageTypeOf_ = type;
  storageType_ = result;
  return result;
}

int PropInfo::getPropertyIdentifier() const { return piIdentifier_; }

bool PropInfo::isPropertyDeviceSpecific() const { return piDeviceSpecific_; }

bool PropInfo::isPropertyEnumerated() const { return piConstraint_ == kPIConstraintEnum; }

std::string PropInfo::getDescription() const { return description_; }

void PropInfo::setDescription(const char* text) { description_ = text != nullptr ? text : ""; }

void PropInfo::addDescriptionLine(const char* text, const char* indent, bool wrap) {
  std::string fullIndent = "    ";
  if (indent != nullptr) fullIndent += indent;
  zelutil::fcns::formatText(description_, text != nullptr ? text : "", fullIndent, wrap, true);
}

void PropInfo::storeArray(hvArray** slot, const hvArray* value) {
  // The array type stores a host array as it is (its conversion and its copy
  // both duplicate), so the record keeps its own duplicate directly.
  hvDestroyArray(*slot);
  *slot = value != nullptr ? hvDuplicateArray(value)
                           : (piType_ == kPITypeCallback || piType_ == kPITypeString
                                  ? hvCreateString(nullptr)
                                  : hvCreateDoubleMatrix(0, 0, hvREAL));
}

void PropInfo::setPIConstraintValue(const hvArray* value) {
  storeArray(&piConstraintValue_, value);
}

void PropInfo::setPIDefaultValue(const hvArray* value) {
  storeArray(&piDefaultValue_, value);
  const QxDataType* type = getQxDataType();
  if (type == nullptr) return;
  destroyFactoryDefault();
  if (type->isEnumeration() && value == nullptr) return;
  refreshFactoryDefault();
}

void PropInfo::destroyFactoryDefault() {
  void* old = getFactoryDefault();
  if (old == nullptr) return;
  setFactoryDefault(nullptr);
  if (const QxDataType* type = getQxDataType()) type->destroy(old);
}

void PropInfo::refreshFactoryDefault() {
  const QxDataType* type = getQxDataType();
  if (type == nullptr || piDefaultValue_ == nullptr) return;
  try {
    setFactoryDefault(type->getPulvraConversion()->fromPulvra(piDefaultValue_));
  } catch (Exception* e) {
    // "No default" is stored as an empty array, which not every type can
    // convert (a handle, a number); such a property simply has no factory
    // default. A real value that does not convert is the caller's error.
    std::unique_ptr<Exception> owned(e);
    if (!isEmptyValue(piDefaultValue_)) throw owned.release();
  }
}

void PropInfo::initQxValuesBeforeAdd(const char* typeName) {
  destroyFactoryDefault();
  setDataType(QxTypeRepository::getType(typeName != nullptr ? typeName : "", true));
  refreshFactoryDefault();
  if (piReadOnly_ == kPIReadOnlyAlways) setAccess(kAccessExternalSet, false);
  const QxDataType* type = getQxDataType();
  if (type != nullptr && (type == strictCallbackType_ || type == callbackType_)) {
    setAccess(kAccessAbortSet, false);
  }
}

// Objects made later take the functions from their class's records.
void PropInfo::setCustomGetFcn(IGetFcn* fcn) {
  getFcn_.reset(fcn);
  noteDefinitionChange();
}

void PropInfo::setCustomSetFcn(ISetFcn* fcn) {
  setFcn_.reset(fcn);
  noteDefinitionChange();
}

bool PropInfo::isInstanceProperty() const { return false; }

bool PropInfo::canContainQxInterfaces(const QxInterface* object) const {
  if (!QxPropInfoTemplate::canContainQxInterfaces(object)) return false;
  const QxDataType* type = getDataType(object);
  if (type == nullptr || zelutil::caselessCompare(type->getDeclarationName(), "hvArray") != 0) {
    return true;
  }
  return zelutil::caselessCompare(getPropertyName(), "UserData") == 0;
}

}  // namespace zelobjsys
