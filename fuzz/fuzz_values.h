// Host values decoded from fuzzer input and the handling of expected errors, for every target.
#ifndef ZEL_FUZZ_VALUES_H
#define ZEL_FUZZ_VALUES_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "zelhost/objects/qx_interface.h"
#include "zelhost/values/hv_array.h"

namespace zelfuzz {

// Reads the input front to back; past its end every read gives zeros.
class Bytes {
 public:
  Bytes(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  template <class T>
  T raw() {
    uint8_t buf[sizeof(T)];
    for (uint8_t& b : buf) b = byte();
    T value;
    std::memcpy(&value, buf, sizeof(T));
    return value;
  }
  std::string text(std::size_t most) {
    std::string s;
    for (std::size_t n = byte() % (most + 1); n > 0 && pos_ < size_; --n) s += char(byte());
    return s;
  }
  bool done() const { return pos_ >= size_; }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

using Owned = std::unique_ptr<hvArray, void (*)(hvArray*)>;
inline Owned own(hvArray* a) { return Owned(a, hvDestroyArray); }

// Runs fn; false when it threw an error of type E (thrown by pointer, as the library does), which
// bad input is expected to give. Anything else escapes and is a finding.
template <class E, class Fn>
bool tolerated(Fn fn) {
  try {
    fn();
    return true;
  } catch (E* e) {
    delete e;
    return false;
  }
}

// A double, with the edges (NaN, infinities, huge, tiny, integral) more often than raw bits give.
inline double number(Bytes& in) {
  static const double edges[] = {
      0.0,          -0.0,         1.0,           -1.0,  2.5,    NAN,    INFINITY, -INFINITY,
      2147483647.0, 2147483648.0, -2147483649.0, 1e300, -1e300, 5e-324, 3.0,      1e10};
  const uint8_t pick = in.byte();
  if (pick < 128) return edges[pick % (sizeof edges / sizeof edges[0])];
  return in.raw<double>();
}

// A host value of any class, at most 3x4, nested at most three deep; handles to object or empty.
inline hvArray* build(Bytes& in, QxInterface* object, int depth = 0) {
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
      return hvCreateObjectHandle(in.byte() & 1 ? object : nullptr);
    case 7: {
      hvArray* a = hvCreateCellMatrix(m, n);
      for (std::size_t i = 0; i < m * n; ++i) hvSetCell(a, i, build(in, object, depth + 1));
      return a;
    }
    default: {
      hvArray* a = hvCreateStructMatrix(m % 2 + 1, 1, 0, nullptr);
      for (int k = in.byte() % 3; k > 0; --k) {
        const std::string field = "f" + in.text(3);
        for (std::size_t e = 0; e < hvGetNumberOfElements(a); ++e) {
          hvSetField(a, e, field.c_str(), build(in, object, depth + 1));
        }
      }
      return a;
    }
  }
}

}  // namespace zelfuzz

#endif  // ZEL_FUZZ_VALUES_H
