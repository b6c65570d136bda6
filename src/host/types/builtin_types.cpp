// The host's built-in data types of plain values: double, int, bool, string, NReals, Nints, PULVRA
// array.
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>

#include "builtin_type.h"
#include "host/values/hv_array_impl.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/values/hv_array.h"

namespace hoxtypes {

void refuse(const char* id, const char* message) { throw new ErrorIdException(id, message); }

int32_t toInt32Saturated(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (x <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(x);  // in range: truncates toward zero
}

}  // namespace hoxtypes

namespace {

using hoxtypes::refuse;

bool isRealScalar(const hvArray* v) { return (hvIsNumeric(v) || hvIsLogical(v)) && hvIsScalar(v); }

// The number of a numeric or logical scalar; refuses anything else. A double
// scalar, what nearly every set of a number brings, is read directly.
double realScalar(const hvArray* v, const char* id, const char* message) {
  if (v && v->classID == hvDOUBLE_CLASS && v->numel() == 1) return *v->slots<double>();
  if (!isRealScalar(v)) refuse(id, message);
  return hvGetScalar(v);
}

// A value stored as one T allocated with new; a conversion may also go into
// the caller's buffer.
template <class T>
class ScalarType : public BuiltinType {
 public:
  using BuiltinType::BuiltinType;
  void* fromPulvra(const hvArray* value) const override { return new T(convert(value)); }
  bool fromPulvraInto(const hvArray* value, void* buffer, std::size_t size) const override {
    if (size < sizeof(T)) return false;
    *static_cast<T*>(buffer) = convert(value);
    return true;
  }
  void* copy(const void* value) const override {
    return value ? new T(*static_cast<const T*>(value)) : nullptr;
  }
  void destroy(void* value) const override { delete static_cast<T*>(value); }

 protected:
  virtual T convert(const hvArray* value) const = 0;
};

class DoubleType final : public ScalarType<double> {
 public:
  DoubleType() : ScalarType("double", "double", kStorageDouble) {}
  hvArray* toPulvra(const void* value) const override {
    if (!value) return hvCreateDoubleMatrix(0, 0);
    return hvCreateDoubleScalar(*static_cast<const double*>(value));
  }

 protected:
  double convert(const hvArray* value) const override {
    return realScalar(value, "PULVRA:class:notNumericScalar", "Value must be a numeric scalar.");
  }
};

class IntType final : public ScalarType<int32_t> {
 public:
  IntType() : ScalarType("int", "int", kStorageInt32) {}
  hvArray* toPulvra(const void* value) const override {
    if (!value) return hvCreateDoubleMatrix(0, 0);
    return hvCreateDoubleScalar(*static_cast<const int32_t*>(value));
  }

 protected:
  int32_t convert(const hvArray* value) const override {
    return hoxtypes::toInt32Saturated(
        realScalar(value, "PULVRA:class:notNumericScalar", "Value must be a numeric scalar."));
  }
};

class BoolType final : public ScalarType<bool> {
 public:
  BoolType() : ScalarType("bool", "bool", kStorageBool) {}
  hvArray* toPulvra(const void* value) const override {
    if (!value) return hvCreateLogicalMatrix(0, 0);
    return hvCreateLogicalScalar(*static_cast<const bool*>(value));
  }

 protected:
  bool convert(const hvArray* value) const override {
    if (!isRealScalar(value))
      refuse("PULVRA:class:notLogicalScalar", "Value must be a logical or numeric scalar.");
    const double x = hvGetScalar(value);
    // NaN is neither true nor false; taking it as true would hide a bad value.
    if (std::isnan(x))
      refuse("PULVRA:class:logicalNaN", "NaN cannot be converted to a logical value.");
    return x != 0.0;
  }
};

class StringType final : public BuiltinType {
 public:
  StringType() : BuiltinType("string", "string", kStorageComposite) {}
  hvArray* toPulvra(const void* value) const override {
    return hvCreateString(static_cast<const char*>(value));
  }
  void* fromPulvra(const hvArray* value) const override {
    if (!hvIsChar(value) || (hvGetM(value) != 1 && !hvIsEmpty(value)))
      refuse("PULVRA:class:notString", "Value must be a character row vector.");
    const hvSize length = value->numel();
    char* text = new char[length + 1];
    if (length) std::memcpy(text, value->data, length);
    text[length] = '\0';
    return text;
  }
  void* copy(const void* value) const override {
    if (!value) return nullptr;
    const char* text = static_cast<const char*>(value);
    const std::size_t size = std::strlen(text) + 1;
    char* out = new char[size];
    std::memcpy(out, text, size);
    return out;
  }
  void destroy(void* value) const override { delete[] static_cast<char*>(value); }
};

// "NReals" (T = double) and "Nints" (T = int32_t): a VectorRecord whose
// elements are a new T[count], or null when the count is 0.
template <class T>
class VectorType final : public BuiltinType {
 public:
  explicit VectorType(const char* name) : BuiltinType(name, name, kStorageComposite) {}

  hvArray* toPulvra(const void* value) const override {
    const auto* record = static_cast<const VectorRecord*>(value);
    const hvSize count = record && record->count > 0 ? record->count : 0;
    hvArray* out = hvCreateDoubleMatrix(count ? 1 : 0, count);
    double* pr = hvGetPr(out);
    const T* elements = record ? static_cast<const T*>(record->elements) : nullptr;
    for (hvSize i = 0; pr && elements && i < count; ++i) pr[i] = elements[i];
    return out;
  }

  void* fromPulvra(const hvArray* value) const override {
    const bool vector = hvGetM(value) == 1 || hvGetN(value) == 1 || hvIsEmpty(value);
    const hvSize count = hvGetNumberOfElements(value);
    if (!hvIsNumeric(value) || !vector)
      refuse("PULVRA:class:notNumericVector", "Value must be a numeric vector.");
    if (count > static_cast<hvSize>(std::numeric_limits<int32_t>::max()))
      refuse("PULVRA:class:tooManyElements", "The vector has too many elements.");
    std::unique_ptr<T[]> elements(count ? new T[count] : nullptr);
    for (hvSize i = 0; i < count; ++i) elements[i] = element(hvGetElementAsDouble(value, i));
    return makeRecord(static_cast<int32_t>(count), std::move(elements));
  }

  void* copy(const void* value) const override {
    const auto* record = static_cast<const VectorRecord*>(value);
    if (!record) return nullptr;
    const int32_t count = record->elements && record->count > 0 ? record->count : 0;
    std::unique_ptr<T[]> elements(count ? new T[count] : nullptr);
    const T* from = static_cast<const T*>(record->elements);
    for (int32_t i = 0; i < count; ++i) elements[i] = from[i];
    return makeRecord(count, std::move(elements));
  }

  void destroy(void* value) const override {
    auto* record = static_cast<VectorRecord*>(value);
    if (!record) return;
    delete[] static_cast<T*>(record->elements);
    delete record;
  }

 private:
  static T element(double x);
  static void* makeRecord(int32_t count, std::unique_ptr<T[]> elements) {
    auto* record = new VectorRecord{count, nullptr};
    record->elements = elements.release();  // the record owns its elements
    return record;
  }
};

template <>
double VectorType<double>::element(double x) {
  return x;
}
template <>
int32_t VectorType<int32_t>::element(double x) {
  return hoxtypes::toInt32Saturated(x);
}

class ArrayType final : public BuiltinType {
 public:
  ArrayType() : BuiltinType("PULVRA array", "hvArray", kStorageComposite) {}
  hvArray* toPulvra(const void* value) const override {
    if (!value) return hvCreateDoubleMatrix(0, 0);
    return hvDuplicateArray(static_cast<const hvArray*>(value));
  }
  void* fromPulvra(const hvArray* value) const override { return toPulvra(value); }
  void* copy(const void* value) const override {
    return hvDuplicateArray(static_cast<const hvArray*>(value));
  }
  void destroy(void* value) const override { hvDestroyArray(static_cast<hvArray*>(value)); }
};

using BuiltinTable = std::map<std::string, QxDataType*, std::less<>>;

BuiltinTable makeTable() {
  static DoubleType doubleType;
  static IntType intType;
  static BoolType boolType;
  static StringType stringType;
  static VectorType<double> realsType("NReals");
  static VectorType<int32_t> intsType("Nints");
  static ArrayType arrayType;
  BuiltinTable table;
  for (QxDataType* t : {static_cast<QxDataType*>(&doubleType), static_cast<QxDataType*>(&intType),
                        static_cast<QxDataType*>(&boolType), static_cast<QxDataType*>(&stringType),
                        static_cast<QxDataType*>(&realsType), static_cast<QxDataType*>(&intsType),
                        static_cast<QxDataType*>(&arrayType), hoxtypes::handleType(),
                        hoxtypes::handleVectorType(), hoxtypes::callbackType()})
    table.emplace(t->getName(), t);
  return table;
}

}  // namespace

QxDataType* hoxtypes::findBuiltinType(std::string_view name) {
  static const BuiltinTable table = makeTable();
  const auto it = table.find(name);
  return it == table.end() ? nullptr : it->second;
}
