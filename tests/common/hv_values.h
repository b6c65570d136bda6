// Test helpers that build host values in one expression and read them back as plain C++ values.
#ifndef ZEL_TESTS_COMMON_HV_VALUES_H
#define ZEL_TESTS_COMMON_HV_VALUES_H

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "zelhost/services/zelhox.h"
#include "zelhost/values/hv_array.h"

namespace hvtest {
// A 1xN double row. Caller owns the result.
inline hvArray* row(std::initializer_list<double> values) {
  hvArray* a = hvCreateDoubleMatrix(1, values.size());
  std::copy(values.begin(), values.end(), hvGetPr(a));
  return a;
}
// A 1xN cell that takes the given elements. Caller owns the result.
inline hvArray* cellOf(std::initializer_list<hvArray*> elements) {
  hvArray* c = hvCreateCellMatrix(1, elements.size());
  hvSize i = 0;
  for (hvArray* e : elements) hvSetCell(c, i++, e);
  return c;
}
// A function handle naming `name`, or an empty one for null. Caller owns it.
inline hvArray* functionHandle(const char* name) {
  hvArray* f = hvCreateNumericMatrix(1, 1, hvFUNCTION_CLASS);
  if (name != nullptr) hvFunctionHandleFromString(f, name);
  return f;
}
inline std::vector<double> doubles(const hvArray* a) {
  std::vector<double> out;
  for (hvSize i = 0; i < hvGetNumberOfElements(a); ++i) out.push_back(hvGetElementAsDouble(a, i));
  return out;
}
// The texts of a cell's elements ("" for an element that is no text).
inline std::vector<std::string> texts(const hvArray* cell) {
  std::vector<std::string> out;
  for (hvSize i = 0; i < hvGetNumberOfElements(cell); ++i)
    out.push_back(zelhox::fcns::getString(hvGetCell(cell, i)));
  return out;
}
}  // namespace hvtest

#endif  // ZEL_TESTS_COMMON_HV_VALUES_H
