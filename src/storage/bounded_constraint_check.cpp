// BoundedConstraintCheck: the [minimum maximum] test of numbers and numeric vectors.
#include "zelobjsys/bounded_constraint_check.h"

#include <cstdint>
#include <cstdio>

#include "zelhost/services/exceptions.h"
#include "zelhost/services/services.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/types/data_type.h"
#include "zelhost/values/hv_array.h"
#include "zelobjsys/prop_info.h"

namespace zelobjsys {

namespace {

constexpr const char* kBelowId = "vornix:property:belowMinimum";
constexpr const char* kBelowText =
    "Property value can not be set below the minimum value constraint. "
    "See PROPINFO(OBJ,'PROPERTY').";
constexpr const char* kAboveId = "vornix:property:aboveMaximum";
constexpr const char* kAboveText =
    "Property value can not be set above the maximum value constraint. "
    "See PROPINFO(OBJ,'PROPERTY').";

struct Bounds {
  double minimum;
  double maximum;
  const char* id = nullptr;  // of the first refusal, null while every number passed
  const char* text = nullptr;

  // Strict comparisons: the bounds themselves pass, and so does NaN.
  void test(double x) {
    if (id != nullptr) return;
    if (minimum > x) {
      id = kBelowId;
      text = kBelowText;
    } else if (x > maximum) {
      id = kAboveId;
      text = kAboveText;
    }
  }

  template <class T>
  void testVector(const void* value) {
    const VectorRecord* record = static_cast<const VectorRecord*>(value);
    if (record->count <= 0 || record->elements == nullptr) return;
    const T* elements = static_cast<const T*>(record->elements);
    for (int32_t i = 0; i < record->count && id == nullptr; ++i)
      test(static_cast<double>(elements[i]));
  }
};

// Reads the first two numbers of the constraint value; false when it holds
// fewer than two.
bool readBounds(const hvArray* limits, double* minimum, double* maximum) {
  if (hvGetNumberOfElements(limits) < 2) return false;
  if (const double* reals = hvGetPr(limits)) {
    *minimum = reals[0];
    *maximum = reals[1];
    return true;
  }
  if (const int* ints = hvGetInt32Data(limits)) {
    *minimum = ints[0];
    *maximum = ints[1];
    return true;
  }
  return false;
}

// The first refusal of value, in bounds; false when it is accepted.
bool findRefusal(const PropInfo* info, const void* value, Bounds* bounds) {
  if (info == nullptr || value == nullptr) return false;
  if (!readBounds(info->getPIConstraintValue(), &bounds->minimum, &bounds->maximum)) return false;
  switch (info->getPropertyStorageType()) {
    case kStorageTypeDouble:
      bounds->test(*static_cast<const double*>(value));
      break;
    case kStorageTypeInt32:
      bounds->test(*static_cast<const int32_t*>(value));
      break;
    case kStorageTypeRealVector:
      bounds->testVector<double>(value);
      break;
    case kStorageTypeIntVector:
      bounds->testVector<int32_t>(value);
      break;
    default:
      break;
  }
  return bounds->id != nullptr;
}

// The name is asked only on refusal: the accepting path is every set's.
ZLGeneralException refusalOf(const PropInfo* info, const Bounds& bounds) {
  const char* name = info->getName();
  return ZLGeneralException(bounds.id, "%s: %s", name != nullptr ? name : "", bounds.text);
}

// Raises the refusal as post() would. Unwinding stops at every frame that has
// something to destroy, and a refusal is every rejected set's road: the usual
// message is made in a buffer that needs no destruction, so that the error
// (which the installed error function may throw from inside
// hoxErrorException) passes this frame without stopping.
[[noreturn]] void raiseRefusal(const PropInfo* info, const Bounds& bounds) {
  const char* name = info->getName();
  char message[512];
  const int length =
      std::snprintf(message, sizeof message, "%s: %s", name != nullptr ? name : "", bounds.text);
  if (length < 0 || static_cast<std::size_t>(length) >= sizeof message)
    refusalOf(info, bounds).post();
  ErrorIdException* error = hoxErrorException(bounds.id, message);
  throw error;
}

}  // namespace

void BoundedConstraintCheck::check(QxInterface* /*object*/, const PropInfo* info,
                                   const void* value) {
  Bounds bounds{0, 0};
  if (findRefusal(info, value, &bounds)) throw refusalOf(info, bounds);
}

void BoundedConstraintCheck::checkAndRaise(QxInterface* /*object*/, const PropInfo* info,
                                           const void* value) {
  Bounds bounds{0, 0};
  if (findRefusal(info, value, &bounds)) raiseRefusal(info, bounds);
}

}  // namespace zelobjsys
