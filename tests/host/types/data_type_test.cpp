// Tests of host data types: built-in conversions and refusals, enumerations, the repository,
// override types.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "common/host_errors.h"
#include "common/hv_values.h"
#include "zelhost/objects/qx_interface.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/services.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/types/data_type.h"
#include "zelhost/values/hv_array.h"

namespace {

using Scoped = ZLScopedHvArray;
using hvtest::row;

// A stored value, destroyed with its type at the end of the scope.
struct Stored {
  const QxDataType* type;
  void* value;
  ~Stored() { type->destroy(value); }
  Stored(const Stored&) = delete;
  template <class T>
  const T& as() const {
    return *static_cast<const T*>(value);
  }
};

QxDataType* type(const char* name) {
  QxDataType* t = QxTypeRepository::getType(name, true);
  EXPECT_NE(t, nullptr) << name;
  return t;
}

// fromPulvra's result for a host value (taken); a conversion into a buffer
// must give the same bytes of a scalar.
std::unique_ptr<Stored> convert(const char* typeName, hvArray* input) {
  Scoped owner(input);
  const QxDataType* t = type(typeName);
  std::unique_ptr<Stored> stored(new Stored{t, t->getPulvraConversion()->fromPulvra(input)});
  alignas(8) unsigned char buffer[16] = {};
  if (t->getPulvraConversion()->fromPulvraInto(input, buffer, sizeof buffer)) {
    const int c = t->getStorageCategory();
    const std::size_t bytes = c == kStorageBool     ? 1
                              : c == kStorageInt32  ? 4
                              : c == kStorageDouble ? 8
                                                    : 0;
    EXPECT_NE(bytes, 0u);
    EXPECT_EQ(std::memcmp(buffer, stored->value, bytes), 0);
  }
  return stored;
}

// Both conversions refuse alike (the buffer one may also decline to convert).
void expectRefusal(const char* typeName, hvArray* input, const std::string& expected) {
  Scoped owner(input);
  const PulvraConversion* c = type(typeName)->getPulvraConversion();
  EXPECT_EQ(hostErrorText([&] { c->fromPulvra(input); }), expected);
  alignas(8) unsigned char buffer[16];
  bool converted = false;
  const std::string raised =
      hostErrorText([&] { converted = c->fromPulvraInto(input, buffer, sizeof buffer); });
  EXPECT_EQ(raised != "(no error)" || converted ? raised : expected, expected);
}

TEST(BuiltinTypesTest, NamesDeclarationsAndStorage) {
  const std::tuple<const char*, const char*, int> cases[] = {{"double", "double", 6},
                                                             {"int", "int", 3},
                                                             {"bool", "bool", 1},
                                                             {"string", "string", 7},
                                                             {"NReals", "NReals", 7},
                                                             {"Nints", "Nints", 7},
                                                             {"handle", "handle", 7},
                                                             {"handle vector", "Vector", 7},
                                                             {"PULVRA array", "hvArray", 7},
                                                             {"PULVRA callback", "HCallback", 7}};
  for (const auto& [name, declaration, category] : cases) {
    SCOPED_TRACE(name);
    QxDataType* t = type(name);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(std::string(t->getName()) + "|" + t->getDeclarationName(),
              std::string(name) + "|" + declaration);
    EXPECT_EQ(t->getStorageCategory(), category);
    EXPECT_FALSE(t->isEnumeration());
    EXPECT_EQ(t->getPossibleValues(), nullptr);
    EXPECT_EQ(t->getEnumerationType(), nullptr);
    EXPECT_EQ(t->checkValue(nullptr), nullptr);
    EXPECT_EQ(t->copy(nullptr), nullptr);
    t->destroy(nullptr);
  }
  EXPECT_EQ(QxTypeRepository::getType("Double"), nullptr);  // names are exact
  EXPECT_EQ(QxTypeRepository::getType(nullptr), nullptr);
}

// Device property sets show the same rows through the host; here both
// conversions must agree.
TEST(BuiltinTypesTest, NumbersConvertWithSaturation) {
  const double inf = std::numeric_limits<double>::infinity();
  const int32_t max = std::numeric_limits<int32_t>::max(),
                min = std::numeric_limits<int32_t>::min();
  const std::pair<double, int32_t> cases[] = {
      {3.7, 3},     {-3.7, -3},    {2147483647.9, max}, {2147483648.0, max}, {-2147483648.9, min},
      {1e300, max}, {-1e300, min}, {inf, max},          {-inf, min},         {std::nan(""), 0}};
  for (const auto& [in, asInt] : cases) {
    SCOPED_TRACE(in);
    EXPECT_EQ(convert("int", hvCreateDoubleScalar(in))->as<int32_t>(), asInt);
    const double d = convert("double", hvCreateDoubleScalar(in))->as<double>();
    EXPECT_TRUE(d == in || std::isnan(in));
  }
  Scoped ints(hvCreateNumericMatrix(1, 1, hvINT32_CLASS));
  hvGetInt32Data(ints)[0] = -12;
  EXPECT_EQ(convert("double", hvDuplicateArray(ints))->as<double>(), -12.0);
  EXPECT_EQ(convert("int", hvCreateLogicalScalar(true))->as<int32_t>(), 1);
  EXPECT_TRUE(convert("bool", hvCreateDoubleScalar(-2))->as<bool>());
  EXPECT_FALSE(convert("bool", hvCreateLogicalScalar(false))->as<bool>());
  const int32_t five = 5;  // back to host values: numbers come back as double scalars
  const bool yes = true;
  Scoped i(type("int")->getPulvraConversion()->toPulvra(&five));
  Scoped b(type("bool")->getPulvraConversion()->toPulvra(&yes));
  Scoped expectedI(hvCreateDoubleScalar(5)), expectedB(hvCreateLogicalScalar(true));
  EXPECT_TRUE(hvIsEqual(i, expectedI) && hvIsEqual(b, expectedB));
}

// Sets of device properties show the kinds a shell reaches; these are the others.
TEST(BuiltinTypesTest, WrongKindsAreRefusedWithIdentifiers) {
  const char* numeric = "PULVRA:class:notNumericScalar|Value must be a numeric scalar.";
  const char* vector = "PULVRA:class:notNumericVector|Value must be a numeric vector.";
  const char* string = "PULVRA:class:notString|Value must be a character row vector.";
  const char* callback =
      "PULVRA:class:notCallback|Value must be a string, a function handle, or a cell array whose "
      "first element is a string or a function handle.";
  const std::tuple<const char*, hvArray*, const char*> cases[] = {
      {"double", nullptr, numeric},
      {"bool", hvCreateString("true"),
       "PULVRA:class:notLogicalScalar|Value must be a logical or numeric scalar."},
      {"bool", hvCreateDoubleScalar(std::nan("")),
       "PULVRA:class:logicalNaN|NaN cannot be converted to a logical value."},
      {"string", hvCreateNumericMatrix(2, 3, hvCHAR_CLASS), string},
      {"string", nullptr, string},
      {"NReals", hvCreateDoubleMatrix(2, 2), vector},
      {"NReals", hvCreateString("12"), vector},
      {"Nints", hvCreateLogicalMatrix(1, 2), vector},
      {"PULVRA callback", hvCreateDoubleScalar(1), callback},
      {"PULVRA callback", hvtest::cellOf({hvCreateDoubleScalar(5)}), callback},
      {"PULVRA callback", hvtest::cellOf({hvtest::cellOf({hvCreateString("disp")})}), callback},
  };
  for (const auto& [name, value, expected] : cases) {
    SCOPED_TRACE(std::string(name) + " from " + hvGetClassName(value));
    expectRefusal(name, value, expected);
  }
}

TEST(BuiltinTypesTest, StringsVectorsAndArraysAreDeepCopies) {
  auto s = convert("string", hvCreateString("volts"));
  Stored copy{type("string"), type("string")->copy(s->value)};
  EXPECT_NE(copy.value, s->value);
  EXPECT_STREQ(static_cast<const char*>(copy.value), "volts");
  Scoped column(hvCreateDoubleMatrix(3, 1));
  for (int i = 0; i < 3; ++i) hvGetPr(column)[i] = i - 1.5;
  auto reals = convert("NReals", hvDuplicateArray(column));
  auto ints = convert("Nints", hvDuplicateArray(column));
  const auto& r = reals->as<VectorRecord>();
  const auto& n = ints->as<VectorRecord>();
  ASSERT_EQ(r.count * 10 + n.count, 33);
  EXPECT_EQ(static_cast<double*>(r.elements)[0], -1.5);
  EXPECT_EQ(static_cast<int32_t*>(n.elements)[0], -1);  // toward zero
  EXPECT_EQ(static_cast<int32_t*>(n.elements)[2], 0);
  Stored intsCopy{type("Nints"), type("Nints")->copy(ints->value)};
  EXPECT_NE(intsCopy.as<VectorRecord>().elements, n.elements);
  Scoped back(type("NReals")->getPulvraConversion()->toPulvra(reals->value));
  Scoped expected(row({-1.5, -0.5, 0.5}));
  EXPECT_TRUE(hvIsEqual(back, expected));  // always a row
  auto none = convert("NReals", hvCreateDoubleMatrix(0, 0));
  EXPECT_EQ(none->as<VectorRecord>().count, 0);
  EXPECT_EQ(none->as<VectorRecord>().elements, nullptr);
  Scoped emptyBack(type("Nints")->getPulvraConversion()->toPulvra(none->value));
  EXPECT_TRUE(hvIsEmpty(emptyBack));

  const QxDataType* t = type("PULVRA array");
  Scoped cell(hvtest::cellOf({hvCreateString("x")}));
  Stored stored{t, t->getPulvraConversion()->fromPulvra(cell)};
  EXPECT_NE(stored.value, cell.get());
  Scoped arrayBack(t->getPulvraConversion()->toPulvra(stored.value));
  EXPECT_TRUE(hvIsEqual(arrayBack, cell));
  Stored fromNull{t, t->getPulvraConversion()->fromPulvra(nullptr)};
  EXPECT_TRUE(hvIsDouble(static_cast<hvArray*>(fromNull.value)) &&
              hvIsEmpty(static_cast<hvArray*>(fromNull.value)));
}

TEST(BuiltinTypesTest, CallbacksShareOneObjectByUseCount) {
  const QxDataType* t = type("PULVRA callback");
  Scoped text(hvCreateString("disp(1)"));
  void* value = t->getPulvraConversion()->fromPulvra(text);
  auto* callback = static_cast<HCallback*>(value);
  void* copy = t->copy(value);
  EXPECT_EQ(copy, value);
  EXPECT_EQ(callback->getUseCount(), 2);
  t->destroy(copy);
  EXPECT_EQ(callback->getUseCount(), 1);
  Scoped back(t->getPulvraConversion()->toPulvra(value));
  EXPECT_TRUE(hvIsEqual(back, text));
  t->destroy(value);
  Scoped none(t->getPulvraConversion()->toPulvra(nullptr));
  EXPECT_TRUE(hvIsEmpty(none));
}

TEST(BuiltinTypesTest, HandlesHoldLiveObjectsOnly) {
  const QxDataType* handle = type("handle");
  const QxDataType* vector = type("handle vector");
  QxInterface* object = hoxCreateObject(nullptr, nullptr);
  Scoped value(hvCreateObjectHandle(object));
  Stored stored{handle, handle->getPulvraConversion()->fromPulvra(value)};
  EXPECT_EQ(stored.value, object->getCanonical());
  Stored copy{handle, handle->copy(stored.value)};
  EXPECT_EQ(copy.value, stored.value);
  Scoped back(handle->getPulvraConversion()->toPulvra(stored.value));
  EXPECT_TRUE(hvIsEqual(back, value));
  Scoped nullBack(handle->getPulvraConversion()->toPulvra(nullptr));
  EXPECT_TRUE(hvIsObject(nullBack) && hvIsEmpty(nullBack));
  Stored list{vector, vector->getPulvraConversion()->fromPulvra(value)};
  ASSERT_NE(list.value, nullptr);
  EXPECT_EQ(list.as<Vector>().size(), 1u);
  Stored listCopy{vector, vector->copy(list.value)};
  Scoped listBack(vector->getPulvraConversion()->toPulvra(listCopy.value));
  EXPECT_TRUE(hvIsEqual(listBack, value));
  Stored emptyList{vector, vector->getPulvraConversion()->fromPulvra(nullBack)};
  EXPECT_EQ(emptyList.value, nullptr);

  object->destroy(QxDatabaseClient::getInternalClient());
  // The stored values keep the record alive; a destroyed object is refused.
  EXPECT_FALSE(static_cast<QxInterface*>(stored.value)->isValid());
  Scoped number(hvCreateDoubleScalar(1));
  for (const hvArray* bad : {value.get(), number.get(), nullBack.get()}) {
    for (const QxDataType* t : {handle, vector}) {
      if (t == vector && bad == nullBack.get()) continue;  // an empty list is no refusal
      SCOPED_TRACE(std::string(hvGetClassName(bad)) + " as " + t->getName());
      auto e = hostError<GenericException>([&] { t->getPulvraConversion()->fromPulvra(bad); });
      ASSERT_NE(e, nullptr);
      EXPECT_EQ(std::string(e->getMessage()).rfind("Parameter must be a scalar handle", 0), 0u);
    }
  }
}

}  // namespace
