// InstancePropInfo: enumeration values of an instance property kept in step with its type,
// constraint and default.
#include "zelobjsys/instance_prop_info.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "zelhost/services/zelhox.h"
#include "zelhost/services/zelutil.h"
#include "zelhost/types/data_type.h"
#include "zelhost/values/hv_array.h"

namespace zelobjsys {

namespace {

// Number of names in a constraint value; anything but a cell holds none.
std::size_t nameCount(const hvArray* constraint) {
  return hvIsCell(constraint) ? hvGetNumberOfElements(constraint) : 0;
}

}  // namespace

InstancePropInfo::InstancePropInfo() = default;

InstancePropInfo::~InstancePropInfo() = default;

bool InstancePropInfo::isInstanceProperty() const { return true; }

TypedEnumStringType* InstancePropInfo::enumType() const {
  if (!isPropertyEnumerated()) return nullptr;
  return dynamic_cast<TypedEnumStringType*>(getQxDataType());
}

bool InstancePropInfo::findConstraintIndex(const char* name, std::size_t* index) const {
  if (!isPropertyEnumerated() || name == nullptr) return false;
  const hvArray* names = getPIConstraintValue();
  const std::size_t n = nameCount(names);
  for (std::size_t i = 0; i < n; ++i) {
    if (zelutil::caselessCompare(zelhox::fcns::getString(hvGetCell(names, i)), name) == 0) {
      if (index != nullptr) *index = i;
      return true;
    }
  }
  return false;
}

bool InstancePropInfo::isEnumValue(const char* name) const {
  std::size_t scratch = 0;
  return findConstraintIndex(name, &scratch);
}

void InstancePropInfo::addEnumValue(const char* name, int value) {
  TypedEnumStringType* type = enumType();
  if (type == nullptr || name == nullptr || isEnumValue(name)) return;
  const int32_t stored = value;
  const std::size_t before = type->getNumberOfValues();
  type->addEnumValue(name, &stored, 0);
  if (type->getNumberOfValues() == before) return;  // the value has a text already

  const hvArray* old = getPIConstraintValue();
  const std::size_t n = nameCount(old);
  ZLScopedHvArray names(hvCreateCellMatrix(1, n + 1));
  for (std::size_t i = 0; i < n; ++i) hvSetCell(names, i, hvDuplicateArray(hvGetCell(old, i)));
  hvSetCell(names, n, hvCreateString(name));
  setPIConstraintValue(names);
  if (n == 0) {
    ZLScopedHvArray first(hvCreateString(name));
    setPIDefaultValue(first);
  }
}

void InstancePropInfo::removeEnumValue(const char* name) {
  TypedEnumStringType* type = enumType();
  std::size_t found = 0;
  if (type == nullptr || !findConstraintIndex(name, &found)) return;
  type->removeEnumValue(name);

  const hvArray* old = getPIConstraintValue();
  const std::size_t n = nameCount(old);
  ZLScopedHvArray names(hvCreateCellMatrix(1, n - 1));
  ZLScopedHvArray firstLeft;
  for (std::size_t i = 0, out = 0; i < n; ++i) {
    if (i == found) continue;
    if (out == 0) firstLeft.reset(hvDuplicateArray(hvGetCell(old, i)));
    hvSetCell(names, out++, hvDuplicateArray(hvGetCell(old, i)));
  }
  setPIConstraintValue(n > 1 ? names.get() : nullptr);
  if (zelutil::caselessCompare(zelhox::fcns::getString(getPIDefaultValue()), name) == 0) {
    setPIDefaultValue(firstLeft.get());
  }
}

void InstancePropInfo::clearEnumValues() {
  TypedEnumStringType* type = enumType();
  if (type == nullptr) return;
  std::vector<int32_t> values;
  {
    std::unique_ptr<Enumeration> all(type->getPossibleValues());
    if (!all) return;
    // Copied out first: removing a value may move the others in the type.
    while (all->hasMoreElements()) {
      if (const void* v = all->nextElement()) values.push_back(*static_cast<const int32_t*>(v));
    }
  }
  for (const int32_t& v : values) type->removeEnumValue(&v);
  setPIConstraintValue(nullptr);
  setPIDefaultValue(nullptr);
}

}  // namespace zelobjsys
