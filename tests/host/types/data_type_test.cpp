// Tests of host data types: built-in conversions and refusals, enumerations, the repository,
// override types.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
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

// A stored value, destroyed with its type at the end of the scope.
class Stored {
 public:
  Stored(const QxDataType* type, void* value) : type_(type), value_(value) {}
  ~Stored() { type_->destroy(value_); }
  Stored(const Stored&) = delete;
  Stored& operator=(const Stored&) = delete;
  void* get() const { return value_; }
  template <class T>
  const T& as() const {
    return *static_cast<const T*>(value_);
  }

 private:
  const QxDataType* type_;
  void* value_;
};

QxDataType* type(const char* name) {
  QxDataType* t = QxTypeRepository::getType(name, true);
  EXPECT_NE(t, nullptr) << name;
  return t;
}

// Converts a host value (taken) to storage; the caller owns the result.
// Bytes of a scalar of the type's storage; 0 for other layouts.
std::size_t scalarBytes(const QxDataType* t) {
  switch (t->getStorageCategory()) {
    case kStorageBool:
      return 1;
    case kStorageInt32:
      return 4;
    case kStorageDouble:
      return 8;
    default:
      return 0;
  }
}

// fromPulvra's result; a conversion into a buffer must give the same bytes.
std::unique_ptr<Stored> convert(const char* typeName, hvArray* input) {
  Scoped owner(input);
  const QxDataType* t = type(typeName);
  auto stored = std::make_unique<Stored>(t, t->getPulvraConversion()->fromPulvra(input));
  alignas(8) unsigned char buffer[16] = {};
  if (t->getPulvraConversion()->fromPulvraInto(input, buffer, sizeof buffer)) {
    EXPECT_NE(scalarBytes(t), 0u);
    EXPECT_EQ(std::memcmp(buffer, stored->get(), scalarBytes(t)), 0);
  }
  return stored;
}

// Both conversions refuse alike (the buffer one may also decline to convert).
void expectRefusal(const char* typeName, hvArray* input, const char* id, const char* message) {
  Scoped owner(input);
  const QxDataType* t = type(typeName);
  auto e = hostError<ErrorIdException>([&] { t->getPulvraConversion()->fromPulvra(input); });
  if (!e) return;
  EXPECT_STREQ(e->getId(), id);
  EXPECT_STREQ(e->getMessage(), message);
  alignas(8) unsigned char buffer[16];
  bool converted = false;
  const std::string raised = hostErrorText(
      [&] { converted = t->getPulvraConversion()->fromPulvraInto(input, buffer, sizeof buffer); });
  if (raised != "(no error)" || converted) {
    EXPECT_EQ(raised, std::string(id) + "|" + message);
  }
}

using hvtest::row;

TEST(BuiltinTypesTest, NamesDeclarationsAndStorage) {
  struct Case {
    const char* name;
    const char* declaration;
    int category;
  } cases[] = {{"double", "double", 6},
               {"int", "int", 3},
               {"bool", "bool", 1},
               {"string", "string", 7},
               {"NReals", "NReals", 7},
               {"Nints", "Nints", 7},
               {"handle", "handle", 7},
               {"handle vector", "Vector", 7},
               {"PULVRA array", "hvArray", 7},
               {"PULVRA callback", "HCallback", 7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QxDataType* t = type(c.name);
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t->getName(), c.name);
    EXPECT_STREQ(t->getDeclarationName(), c.declaration);
    EXPECT_EQ(t->getStorageCategory(), c.category);
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

TEST(BuiltinTypesTest, NumbersConvertWithSaturation) {
  const double inf = std::numeric_limits<double>::infinity();
  const int32_t max = std::numeric_limits<int32_t>::max();
  const int32_t min = std::numeric_limits<int32_t>::min();
  struct Case {
    double in;
    int32_t asInt;
  } cases[] = {{3.7, 3},
               {-3.7, -3},
               {0.0, 0},
               {2147483647.9, max},
               {2147483648.0, max},
               {-2147483648.9, min},
               {1e300, max},
               {-1e300, min},
               {inf, max},
               {-inf, min},
               {std::nan(""), 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(convert("int", hvCreateDoubleScalar(c.in))->as<int32_t>(), c.asInt);
    auto d = convert("double", hvCreateDoubleScalar(c.in));
    if (!std::isnan(c.in)) {
      EXPECT_EQ(d->as<double>(), c.in);
    }
  }
  Scoped ints(hvCreateNumericMatrix(1, 1, hvINT32_CLASS));
  hvGetInt32Data(ints)[0] = -12;
  EXPECT_EQ(convert("double", hvDuplicateArray(ints))->as<double>(), -12.0);
  EXPECT_EQ(convert("int", hvCreateLogicalScalar(true))->as<int32_t>(), 1);
  EXPECT_TRUE(convert("bool", hvCreateDoubleScalar(-2))->as<bool>());
  EXPECT_FALSE(convert("bool", hvCreateLogicalScalar(false))->as<bool>());

  // Back to host values: numbers come back as double scalars.
  const int32_t five = 5;
  const bool yes = true;
  Scoped i(type("int")->getPulvraConversion()->toPulvra(&five));
  Scoped b(type("bool")->getPulvraConversion()->toPulvra(&yes));
  Scoped expectedI(hvCreateDoubleScalar(5)), expectedB(hvCreateLogicalScalar(true));
  EXPECT_TRUE(hvIsEqual(i, expectedI));
  EXPECT_TRUE(hvIsEqual(b, expectedB));
}

TEST(BuiltinTypesTest, WrongKindsAreRefusedWithIdentifiers) {
  const char* numeric = "PULVRA:class:notNumericScalar";
  const char* numericText = "Value must be a numeric scalar.";
  const char* vectorId = "PULVRA:class:notNumericVector";
  const char* vectorText = "Value must be a numeric vector.";
  const char* stringId = "PULVRA:class:notString";
  const char* stringText = "Value must be a character row vector.";
  const char* callbackId = "PULVRA:class:notCallback";
  const char* callbackText =
      "Value must be a string, a function handle, or a cell array whose first element is a "
      "string or a function handle.";
  struct Case {
    const char* type;
    hvArray* value;
    const char* id;
    const char* message;
  } cases[] = {
      {"double", hvCreateString("1"), numeric, numericText},
      {"double", row({1, 2}), numeric, numericText},
      {"double", hvCreateDoubleMatrix(0, 0), numeric, numericText},
      {"double", nullptr, numeric, numericText},
      {"int", hvCreateCellMatrix(1, 1), numeric, numericText},
      {"bool", hvCreateString("true"), "PULVRA:class:notLogicalScalar",
       "Value must be a logical or numeric scalar."},
      {"bool", hvCreateDoubleScalar(std::nan("")), "PULVRA:class:logicalNaN",
       "NaN cannot be converted to a logical value."},
      {"string", hvCreateDoubleScalar(1), stringId, stringText},
      {"string", hvCreateNumericMatrix(2, 3, hvCHAR_CLASS), stringId, stringText},
      {"string", nullptr, stringId, stringText},
      {"NReals", hvCreateDoubleMatrix(2, 2), vectorId, vectorText},
      {"NReals", hvCreateString("12"), vectorId, vectorText},
      {"Nints", hvCreateLogicalMatrix(1, 2), vectorId, vectorText},
      {"PULVRA callback", hvCreateDoubleScalar(1), callbackId, callbackText},
      {"PULVRA callback", hvtest::cellOf({hvCreateDoubleScalar(5)}), callbackId, callbackText},
      {"PULVRA callback", hvtest::cellOf({hvtest::cellOf({hvCreateString("disp")})}), callbackId,
       callbackText},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " from " + hvGetClassName(c.value));
    expectRefusal(c.type, c.value, c.id, c.message);
  }
}

TEST(BuiltinTypesTest, StringsAndVectorsAreDeepCopies) {
  auto s = convert("string", hvCreateString("volts"));
  EXPECT_STREQ(static_cast<const char*>(s->get()), "volts");
  EXPECT_STREQ(static_cast<const char*>(convert("string", hvCreateString(""))->get()), "");
  Stored copy(type("string"), type("string")->copy(s->get()));
  EXPECT_NE(copy.get(), s->get());
  EXPECT_STREQ(static_cast<const char*>(copy.get()), "volts");

  Scoped column(hvCreateDoubleMatrix(3, 1));
  for (int i = 0; i < 3; ++i) hvGetPr(column)[i] = i - 1.5;
  auto reals = convert("NReals", hvDuplicateArray(column));
  auto ints = convert("Nints", hvDuplicateArray(column));
  const auto& r = reals->as<VectorRecord>();
  const auto& n = ints->as<VectorRecord>();
  ASSERT_EQ(r.count, 3);
  ASSERT_EQ(n.count, 3);
  EXPECT_EQ(static_cast<double*>(r.elements)[0], -1.5);
  EXPECT_EQ(static_cast<int32_t*>(n.elements)[0], -1);  // toward zero
  EXPECT_EQ(static_cast<int32_t*>(n.elements)[2], 0);

  Stored intsCopy(type("Nints"), type("Nints")->copy(ints->get()));
  EXPECT_NE(intsCopy.as<VectorRecord>().elements, n.elements);
  Scoped back(type("NReals")->getPulvraConversion()->toPulvra(reals->get()));
  Scoped expected(row({-1.5, -0.5, 0.5}));
  EXPECT_TRUE(hvIsEqual(back, expected));  // always a row

  auto none = convert("NReals", hvCreateDoubleMatrix(0, 0));
  EXPECT_EQ(none->as<VectorRecord>().count, 0);
  EXPECT_EQ(none->as<VectorRecord>().elements, nullptr);
  Scoped emptyBack(type("Nints")->getPulvraConversion()->toPulvra(none->get()));
  EXPECT_TRUE(hvIsEmpty(emptyBack));
}

TEST(BuiltinTypesTest, ArraysAcceptAnythingAndCopy) {
  const QxDataType* t = type("PULVRA array");
  Scoped cell(hvCreateCellMatrix(1, 1));
  hvSetCell(cell, 0, hvCreateString("x"));
  Stored stored(t, t->getPulvraConversion()->fromPulvra(cell));
  EXPECT_NE(stored.get(), cell.get());
  EXPECT_TRUE(hvIsEqual(static_cast<hvArray*>(stored.get()), cell));
  Stored fromNull(t, t->getPulvraConversion()->fromPulvra(nullptr));
  EXPECT_TRUE(hvIsDouble(static_cast<hvArray*>(fromNull.get())));
  EXPECT_TRUE(hvIsEmpty(static_cast<hvArray*>(fromNull.get())));
  Scoped back(t->getPulvraConversion()->toPulvra(stored.get()));
  EXPECT_TRUE(hvIsEqual(back, cell));
}

TEST(BuiltinTypesTest, CallbacksShareOneObjectByUseCount) {
  const QxDataType* t = type("PULVRA callback");
  Scoped text(hvCreateString("disp(1)"));
  void* value = t->getPulvraConversion()->fromPulvra(text);
  auto* callback = static_cast<HCallback*>(value);
  EXPECT_EQ(callback->getUseCount(), 1);
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
  Stored stored(handle, handle->getPulvraConversion()->fromPulvra(value));
  EXPECT_EQ(stored.get(), object->getCanonical());
  Stored copy(handle, handle->copy(stored.get()));
  EXPECT_EQ(copy.get(), stored.get());
  Scoped back(handle->getPulvraConversion()->toPulvra(stored.get()));
  EXPECT_TRUE(hvIsEqual(back, value));
  Scoped nullBack(handle->getPulvraConversion()->toPulvra(nullptr));
  EXPECT_TRUE(hvIsObject(nullBack));
  EXPECT_TRUE(hvIsEmpty(nullBack));

  Stored list(vector, vector->getPulvraConversion()->fromPulvra(value));
  ASSERT_NE(list.get(), nullptr);
  EXPECT_EQ(list.as<Vector>().size(), 1u);
  Stored listCopy(vector, vector->copy(list.get()));
  Scoped listBack(vector->getPulvraConversion()->toPulvra(listCopy.get()));
  EXPECT_TRUE(hvIsEqual(listBack, value));
  Stored emptyList(vector, vector->getPulvraConversion()->fromPulvra(nullBack));
  EXPECT_EQ(emptyList.get(), nullptr);

  object->destroy(QxDatabaseClient::getInternalClient());
  // The stored values keep the record alive; a destroyed object is refused.
  EXPECT_FALSE(static_cast<QxInterface*>(stored.get())->isValid());
  Scoped number(hvCreateDoubleScalar(1));
  for (const hvArray* bad : {value.get(), number.get(), nullBack.get()}) {
    SCOPED_TRACE(hvGetClassName(bad));
    auto e = hostError<GenericException>([&] { handle->getPulvraConversion()->fromPulvra(bad); });
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(std::string(e->getTempStaticMessage()).rfind("Parameter must be a scalar handle", 0),
              0u);
  }
  for (const hvArray* bad : {value.get(), number.get()}) {
    auto e = hostError<GenericException>([&] { vector->getPulvraConversion()->fromPulvra(bad); });
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(std::string(e->getMessage()).rfind("Parameter must be a scalar handle", 0), 0u);
  }
}

}  // namespace
