// libFuzzer target: host values built from arbitrary bytes, converted by every built-in, enumerated
// and constrained data type into its storage and back. Whatever a type accepts it must give out
// again, and what it gives out it must take back to the same value.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fuzz_values.h"
#include "zelhost/objects/qx_interface.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/types/data_type.h"
#include "zelhost/values/hv_array.h"
#include "zelobjsys/constrained_data_types.h"

namespace {

using namespace zelfuzz;

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
  void* stored = nullptr;
  tolerated<Exception>([&] { stored = type.getPulvraConversion()->fromPulvra(value); });
  return stored;
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
  static EnumStringType onOff("FuzzOnOff"), sparse("FuzzSparse");
  onOff.addEnumValue("on");
  onOff.addEnumValue("off");
  sparse.addEnumValue("low", -5);
  sparse.addEnumValue("High", 2147483647);
  sparse.addEnumValue("mid", 0);
  types.insert(types.end(), {&onOff, &sparse});
  return types;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<QxDataType*> types = allTypes();
  Bytes bytes(data, size);
  for (int values = 0; values < 4 && (values == 0 || !bytes.done()); ++values) {
    static QxInterface* object = hoxCreateObject(nullptr, nullptr);
    Owned value = own(build(bytes, object));
    for (const QxDataType* type : types) convertBothWays(*type, value.get());
  }
  return 0;
}
