// libFuzzer target: host values built from arbitrary bytes, converted by every built-in, enumerated
// and constrained data type into its storage and back. Whatever a type accepts it must give out
// again, and what it gives out it must take back to the same value.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "zelhost/data_type.h"
#include "zelhost/exceptions.h"
#include "zelhost/hv_array.h"
#include "zelhost/qx_interface.h"
#include "zelobjsys/constrained_data_types.h"

namespace {

// Reads the input front to back; past its end every read gives zeros.
class Bytes {
 public:
  Bytes(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  template <class T>
  T raw() {
    T value{};
    uint8_t buf[sizeof(T)] = {};
    for (uint8_t& b : buf) b = byte();
    std::memcpy(&value, buf, sizeof(T));
    return value;
  }
  std::string text(std::size_t most) {
    std::string s;
    for (std::size_t n = byte() % (most + 1); n > 0 && pos_ < size_; --n) {
      s += static_cast<char>(byte());
    }
    return s;
  }
  bool done() const { return pos_ >= size_; }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

using Owned = std::unique_ptr<hvArray, void (*)(hvArray*)>;
Owned own(hvArray* a) { return Owned(a, hvDestroyArray); }

// A double with the edges (NaN, infinities, huge, tiny, integral) more often
// than raw bits alone would give them.
double number(Bytes& in) {
  static const double edges[] = {
      0.0,          -0.0,         1.0,           -1.0,  2.5,    NAN,    INFINITY, -INFINITY,
      2147483647.0, 2147483648.0, -2147483649.0, 1e300, -1e300, 5e-324, 3.0,      1e10};
  const uint8_t pick = in.byte();
  if (pick < 128) return edges[pick % (sizeof edges / sizeof edges[0])];
  return in.raw<double>();
}

QxInterface* liveObject() {
  static QxInterface* object = hoxCreateObject(nullptr, nullptr);
  return object;
}

// A host value of any class, nested at most three deep, at most 4x4.
hvArray* build(Bytes& in, int depth) {
  const std::size_t m = in.byte() % 4, n = in.byte() % 5;
  switch (in.byte() % (depth < 3 ? 10 : 7)) {
    case 0:
      return hvCreateDoubleScalar(number(in));
    case 1: {
      hvArray* a = hvCreateDoubleMatrix(m, n);
      for (std::size_t i = 0; i < m * n; ++i) hvGetPr(a)[i] = number(in);
      return a;
    }
    case 2: {
      hvArray* a = hvCreateNumericMatrix(m, n, hvINT32_CLASS);
      for (std::size_t i = 0; i < m * n; ++i) hvGetInt32Data(a)[i] = in.raw<int32_t>();
      return a;
    }
    case 3: {
      hvArray* a = hvCreateLogicalMatrix(m, n);
      for (std::size_t i = 0; i < m * n; ++i) hvGetLogicals(a)[i] = in.byte() & 1;
      return a;
    }
    case 4: {
      const std::string s = in.text(12);
      return hvCreateString(in.byte() & 1 ? s.c_str() : nullptr);
    }
    case 5: {
      hvArray* a = hvCreateNumericMatrix(1, 1, hvFUNCTION_CLASS);
      hvFunctionHandleFromString(a, in.text(8).c_str());
      return a;
    }
    case 6:
      return hvCreateObjectHandle(in.byte() & 1 ? liveObject() : nullptr);
    case 7: {
      hvArray* a = hvCreateCellMatrix(m, n);
      for (std::size_t i = 0; i < m * n; ++i) hvSetCell(a, i, build(in, depth + 1));
      return a;
    }
    default: {
      hvArray* a = hvCreateStructMatrix(m % 2 + 1, 1, 0, nullptr);
      for (int k = in.byte() % 3; k > 0; --k) {
        const std::string field = "f" + in.text(3);
        for (std::size_t e = 0; e < hvGetNumberOfElements(a); ++e) {
          hvSetField(a, e, field.c_str(), build(in, depth + 1));
        }
      }
      return a;
    }
  }
}

// Equal values, NaN counting as equal to itself (hvIsEqual follows IEEE).
bool same(const hvArray* a, const hvArray* b) {
  if (a == nullptr || b == nullptr) return hvIsEmpty(a ? a : b) || a == b;
  if (hvGetClassID(a) != hvGetClassID(b) || hvGetM(a) != hvGetM(b) || hvGetN(a) != hvGetN(b))
    return false;
  const std::size_t count = hvGetNumberOfElements(a);
  switch (hvGetClassID(a)) {
    case hvDOUBLE_CLASS:
      for (std::size_t i = 0; i < count; ++i) {
        const double x = hvGetPr(a)[i], y = hvGetPr(b)[i];
        if (!(x == y || (std::isnan(x) && std::isnan(y)))) return false;
      }
      return true;
    case hvCELL_CLASS:
      for (std::size_t i = 0; i < count; ++i)
        if (!same(hvGetCell(a, i), hvGetCell(b, i))) return false;
      return true;
    case hvSTRUCT_CLASS:
      if (hvGetNumberOfFields(a) != hvGetNumberOfFields(b)) return false;
      for (int k = 0; k < hvGetNumberOfFields(a); ++k) {
        const char* name = hvGetFieldNameByNumber(a, k);
        for (std::size_t e = 0; e < count; ++e)
          if (!same(hvGetField(a, e, name), hvGetField(b, e, name))) return false;
      }
      return true;
    default:
      return hvIsEqual(a, b);
  }
}

void fail(const QxDataType& type, const char* what) {
  std::fprintf(stderr, "data type '%s': %s\n", type.getName(), what);
  std::abort();
}

// Stored value from a host value; null when the type refuses it.
void* in(const QxDataType& type, const hvArray* value) {
  try {
    return type.getPulvraConversion()->fromPulvra(value);
  } catch (Exception* e) {
    delete e;
    return nullptr;
  }
}

bool accepted(const QxDataType& type, const void* stored) {
  std::unique_ptr<Exception> refusal(type.checkValue(stored));
  return refusal == nullptr;
}

void convertBothWays(const QxDataType& type, const hvArray* value) {
  void* stored = in(type, value);
  if (stored == nullptr) return;
  const bool ok = accepted(type, stored);
  Owned out = own(type.getPulvraConversion()->toPulvra(stored));
  void* copied = type.copy(stored);
  Owned outOfCopy = own(type.getPulvraConversion()->toPulvra(copied));
  type.destroy(copied);
  type.destroy(stored);
  if (!same(out.get(), outOfCopy.get())) fail(type, "a copy reads differently");
  void* again = in(type, out.get());
  if (again == nullptr) fail(type, "refuses the value it gave out");
  if (accepted(type, again) != ok) fail(type, "the check changed its answer over a round trip");
  Owned outAgain = own(type.getPulvraConversion()->toPulvra(again));
  type.destroy(again);
  if (!same(out.get(), outAgain.get())) fail(type, "a round trip changed the value");
}

std::vector<QxDataType*> allTypes() {
  std::vector<QxDataType*> types;
  for (const char* name : {"double", "int", "bool", "string", "NReals", "Nints", "PULVRA array",
                           "handle", "handle vector", "PULVRA callback"}) {
    QxDataType* type = QxTypeRepository::getType(name);
    if (type == nullptr) {
      std::fprintf(stderr, "no built-in type '%s'\n", name);
      std::abort();
    }
    types.push_back(type);
  }
  for (QxDataType* type : zelobjsys::datatypes::getConstrainedDataTypes()) types.push_back(type);
  static EnumStringType onOff("FuzzOnOff");
  static EnumStringType sparse("FuzzSparse");
  static const bool filled = [] {
    onOff.addEnumValue("on");
    onOff.addEnumValue("off");
    sparse.addEnumValue("low", -5);
    sparse.addEnumValue("High", 2147483647);
    sparse.addEnumValue("mid", 0);
    return true;
  }();
  (void)filled;
  types.push_back(&onOff);
  types.push_back(&sparse);
  return types;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<QxDataType*> types = allTypes();
  Bytes bytes(data, size);
  for (int values = 0; values < 4 && (values == 0 || !bytes.done()); ++values) {
    Owned value = own(build(bytes, 0));
    for (const QxDataType* type : types) convertBothWays(*type, value.get());
  }
  return 0;
}
