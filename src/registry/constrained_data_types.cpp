// The checks of the constrained data types, their singletons and their registration.
#include "zelobjsys/constrained_data_types.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

#include "zelhost/services/exceptions.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/values/hv_array.h"

namespace zelobjsys {
namespace datatypes {

namespace {

// The identifier and the message of one type's refusal.
struct Refusal {
  const char* id;
  const char* message;
};

constexpr Refusal kInvalidCallback = {
    "vornix:set:invalidCallback",
    "Value must be a string, a function handle, or a cell array containing string or function "
    "handle."};
constexpr Refusal kNegativeInt = {
    "vornix:set:negativeInt",
    "Property value must be a scalar integer greater than or equal to 0."};
constexpr Refusal kNegativeDouble = {"vornix:set:negativeDbl",
                                     "Property value must be a scalar greater than or equal to 0."};
constexpr Refusal kPositiveInt = {"vornix:set:posInt",
                                  "Property value must be a scalar integer greater than 0."};
constexpr Refusal kIntPair = {"vornix:set:pairInt",
                              "Property must be a 1x2 vector of integer values."};
constexpr Refusal kPositiveDouble = {"vornix:set:posDbl",
                                     "Property value must be a scalar greater than 0."};
constexpr Refusal kPositiveRange = {
    "vornix:set:posRangeDbl",
    "Property must be a 1x2 vector of numeric values greater than zero with the first value less "
    "than or equal to the second value."};
constexpr Refusal kDoublePair = {"vornix:set:pairDbl",
                                 "Property must be a 1x2 vector of numeric values."};
constexpr Refusal kInvalidStruct = {"vornix:set:invalidStruct",
                                    "Property value must be a PULVRA structure."};

Exception* refuse(const Refusal& r) { return new ErrorIdException(r.id, r.message); }

// The two elements of a pair, or null when the value is not a pair.
template <class T>
const T* pairElements(const void* value) {
  const auto* record = static_cast<const VectorRecord*>(value);
  if (record == nullptr || record->count != 2) return nullptr;
  return static_cast<const T*>(record->elements);
}

// Frees a value stored in a data type's storage with that type.
struct StoredValueDeleter {
  const QxDataType* type;
  void operator()(void* value) const { type->destroy(value); }
};

// The shared rule of InfOrPositiveInt and ZeroInfOrPositiveInt: +Inf passes;
// otherwise the integer rule (of IntType) judges the floor of the value, which
// is stored when accepted. The floor is judged rather than the value itself so
// that what is stored is what was checked: the host's integer conversion
// rounds toward zero, which would let -0.5 pass a zero-or-positive rule and
// then be stored as -1. NaN and -Inf are refused here, before any conversion.
template <class IntType>
Exception* checkInfOrInteger(const void* value, const QxDataType* doubleType,
                             const Refusal& refusal) {
  if (value == nullptr) return refuse(refusal);
  // The host hands the check its own converted value; replacing it by its
  // floor is the contract of these two types.
  auto* stored = static_cast<double*>(const_cast<void*>(value));
  const double x = *stored;
  if (x == std::numeric_limits<double>::infinity()) return nullptr;
  if (std::isnan(x) || std::isinf(x)) return refuse(refusal);
  const double floored = std::floor(x);
  const QxDataType* intType = IntType::getDataType();
  if (intType == nullptr || doubleType == nullptr) return refuse(refusal);
  ZLScopedHvArray asHost(doubleType->getPulvraConversion()->toPulvra(&floored));
  std::unique_ptr<void, StoredValueDeleter> asInt(
      intType->getPulvraConversion()->fromPulvra(asHost), StoredValueDeleter{intType});
  if (Exception* e = intType->checkValue(asInt.get())) return e;
  *stored = floored;
  return nullptr;
}

}  // namespace

template <class Derived>
Derived* ConstrainedDataType<Derived>::getInstance() {
  // Deliberately never destroyed: registered data types must outlive every
  // static that may still refer to them at process exit.
  static Derived* const instance = new Derived();
  return instance;
}

template <class Derived>
QxDataType* ConstrainedDataType<Derived>::getDataType() {
  static QxDataType* const type = getInstance()->createDataType(Derived::kName, Derived::kBaseName);
  return type;
}

template class ConstrainedDataType<StrictHCallbackDataType>;
template class ConstrainedDataType<ZeroOrPositiveIntDataType>;
template class ConstrainedDataType<ZeroInfOrPositiveIntDataType>;
template class ConstrainedDataType<ZeroOrPositiveDoubleDataType>;
template class ConstrainedDataType<InfOrPositiveIntDataType>;
template class ConstrainedDataType<PositiveIntDataType>;
template class ConstrainedDataType<IntPairDataType>;
template class ConstrainedDataType<PositiveDoubleDataType>;
template class ConstrainedDataType<PositiveDoubleRangeDataType>;
template class ConstrainedDataType<DoublePairDataType>;
template class ConstrainedDataType<PULVRAStructureDataType>;

StrictHCallbackDataType::StrictHCallbackDataType()
    : callbackType_(QxTypeRepository::getType(kBaseName, true)) {}

Exception* StrictHCallbackDataType::checkValue(const void* value) const {
  if (callbackType_ == nullptr) return refuse(kInvalidCallback);
  ZLScopedHvArray callback(callbackType_->getPulvraConversion()->toPulvra(value));
  if (!hvIsCell(callback)) return nullptr;
  // Strings and function handles inside the cell are the base type's affair.
  if (hvGetNumberOfElements(callback) == 0 || hvIsEmpty(hvGetCell(callback, 0))) {
    return refuse(kInvalidCallback);
  }
  return nullptr;
}

Exception* ZeroOrPositiveIntDataType::checkValue(const void* value) const {
  if (value == nullptr || *static_cast<const int32_t*>(value) < 0) return refuse(kNegativeInt);
  return nullptr;
}

ZeroInfOrPositiveIntDataType::ZeroInfOrPositiveIntDataType()
    : doubleType_(QxTypeRepository::getType("double", true)) {}

Exception* ZeroInfOrPositiveIntDataType::checkValue(const void* value) const {
  return checkInfOrInteger<ZeroOrPositiveIntDataType>(value, doubleType_, kNegativeInt);
}

Exception* ZeroOrPositiveDoubleDataType::checkValue(const void* value) const {
  if (value == nullptr || *static_cast<const double*>(value) < 0) return refuse(kNegativeDouble);
  return nullptr;
}

InfOrPositiveIntDataType::InfOrPositiveIntDataType()
    : doubleType_(QxTypeRepository::getType("double", true)) {}

Exception* InfOrPositiveIntDataType::checkValue(const void* value) const {
  return checkInfOrInteger<PositiveIntDataType>(value, doubleType_, kPositiveInt);
}

Exception* PositiveIntDataType::checkValue(const void* value) const {
  if (value == nullptr || *static_cast<const int32_t*>(value) <= 0) return refuse(kPositiveInt);
  return nullptr;
}

Exception* IntPairDataType::checkValue(const void* value) const {
  return pairElements<int32_t>(value) == nullptr ? refuse(kIntPair) : nullptr;
}

Exception* PositiveDoubleDataType::checkValue(const void* value) const {
  if (value == nullptr || *static_cast<const double*>(value) <= 0) return refuse(kPositiveDouble);
  return nullptr;
}

Exception* PositiveDoubleRangeDataType::checkValue(const void* value) const {
  const double* e = pairElements<double>(value);
  if (e == nullptr || e[0] <= 0 || e[1] <= 0 || e[0] > e[1] || std::isnan(e[0]) ||
      std::isnan(e[1])) {
    return refuse(kPositiveRange);
  }
  return nullptr;
}

Exception* DoublePairDataType::checkValue(const void* value) const {
  const double* e = pairElements<double>(value);
  if (e == nullptr || std::isnan(e[0]) || std::isnan(e[1])) return refuse(kDoublePair);
  return nullptr;
}

Exception* PULVRAStructureDataType::checkValue(const void* value) const {
  const auto* array = static_cast<const hvArray*>(value);
  if (hvIsEmpty(array) || hvIsStruct(array) || hvIsObject(array)) return nullptr;
  return refuse(kInvalidStruct);
}

std::vector<QxDataType*> getConstrainedDataTypes() {
  return {StrictHCallbackDataType::getDataType(),
          ZeroOrPositiveIntDataType::getDataType(),
          ZeroInfOrPositiveIntDataType::getDataType(),
          ZeroOrPositiveDoubleDataType::getDataType(),
          InfOrPositiveIntDataType::getDataType(),
          PositiveIntDataType::getDataType(),
          IntPairDataType::getDataType(),
          PositiveDoubleDataType::getDataType(),
          PositiveDoubleRangeDataType::getDataType(),
          DoublePairDataType::getDataType(),
          PULVRAStructureDataType::getDataType()};
}

int registerConstrainedDataTypes() {
  int added = 0;
  for (QxDataType* type : getConstrainedDataTypes()) {
    if (type == nullptr || QxTypeRepository::getType(type->getName(), true) == type) continue;
    QxTypeRepository::addType(type);
    ++added;
  }
  return added;
}

void removeConstrainedDataTypes() {
  for (QxDataType* type : getConstrainedDataTypes()) {
    if (type != nullptr) QxTypeRepository::removeType(type);
  }
}

}  // namespace datatypes
}  // namespace zelobjsys
