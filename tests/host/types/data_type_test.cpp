// Tests of host data types: built-in conversions and refusals, enumerations, the repository and
// its servers, override types.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
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
    const std::map<int, std::size_t> sizes = {
        {kStorageBool, 1}, {kStorageInt32, 4}, {kStorageDouble, 8}};
    const std::size_t bytes =
        sizes.count(t->getStorageCategory()) ? sizes.at(t->getStorageCategory()) : 0;
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
  std::string all;
  for (const char* name : {"double", "int", "bool", "string", "NReals", "Nints", "handle",
                           "handle vector", "PULVRA array", "PULVRA callback"}) {
    SCOPED_TRACE(name);
    QxDataType* t = type(name);
    ASSERT_NE(t, nullptr);
    all += std::string(t->getName()) + "=" + t->getDeclarationName() + ":" +
           std::to_string(t->getStorageCategory()) + " ";
    EXPECT_TRUE(!t->isEnumeration() && !t->getPossibleValues() && !t->getEnumerationType());
    EXPECT_TRUE(t->checkValue(nullptr) == nullptr && t->copy(nullptr) == nullptr);
    t->destroy(nullptr);
  }
  EXPECT_EQ(all,
            "double=double:6 int=int:3 bool=bool:1 string=string:7 NReals=NReals:7 "
            "Nints=Nints:7 handle=handle:7 handle vector=Vector:7 PULVRA array=hvArray:7 "
            "PULVRA callback=HCallback:7 ");
  EXPECT_EQ(QxTypeRepository::getType("Double"), nullptr);  // names are exact
  EXPECT_EQ(QxTypeRepository::getType(nullptr), nullptr);
}

// Device property sets show these rows (and ints back as doubles); here both
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
  const int32_t five = 5;  // back to host values: numbers as double scalars
  Scoped i(type("int")->getPulvraConversion()->toPulvra(&five));
  EXPECT_TRUE(hvIsDouble(i) && hvGetScalar(i) == 5);
  const bool yes = true;
  Scoped b(type("bool")->getPulvraConversion()->toPulvra(&yes)),
      expected(hvCreateLogicalScalar(true));
  EXPECT_TRUE(hvIsEqual(b, expected));
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
  EXPECT_TRUE(none->as<VectorRecord>().count == 0 && none->as<VectorRecord>().elements == nullptr);
  Scoped emptyBack(type("Nints")->getPulvraConversion()->toPulvra(none->value));
  EXPECT_TRUE(hvIsEmpty(emptyBack));

  const QxDataType* t = type("PULVRA array");  // a golden script shows values kept as given
  Scoped cell(hvtest::cellOf({hvCreateString("x")}));
  Stored stored{t, t->getPulvraConversion()->fromPulvra(cell)};
  EXPECT_NE(stored.value, cell.get());
  Stored fromNull{t, t->getPulvraConversion()->fromPulvra(nullptr)};
  EXPECT_TRUE(hvIsDouble(static_cast<hvArray*>(fromNull.value)) &&
              hvIsEmpty(static_cast<hvArray*>(fromNull.value)));
}

TEST(BuiltinTypesTest, CallbacksShareOneObjectByUseCount) {
  const QxDataType* t = type("PULVRA callback");
  Scoped text(hvCreateString("disp(1)"));
  void* value = t->getPulvraConversion()->fromPulvra(text);
  void* copy = t->copy(value);
  EXPECT_EQ(copy, value);
  EXPECT_EQ(static_cast<HCallback*>(value)->getUseCount(), 2);
  t->destroy(copy);
  EXPECT_EQ(static_cast<HCallback*>(value)->getUseCount(), 1);
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
  EXPECT_EQ(vector->getPulvraConversion()->fromPulvra(nullBack), nullptr);
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

std::vector<int32_t> valuesOf(const QxDataType& t) {
  std::unique_ptr<Enumeration> e(t.getPossibleValues());
  std::vector<int32_t> out;
  while (e && e->hasMoreElements()) out.push_back(*static_cast<int32_t*>(e->nextElement()));
  return out;
}

std::string textOf(const QxDataType& t, int32_t value) {
  Scoped s(t.getPulvraConversion()->toPulvra(&value));
  return zelhox::fcns::getString(s);
}

// Case, duplicates, a value's second text and removal by text are covered
// by the instance property tests and a golden script of device settings.
TEST(EnumTypeTest, NumbersValuesConvertsAndRefuses) {
  EnumStringType mode("ModeEnum");
  mode.addEnumValue("off");
  mode.addEnumValue("On", 10);
  mode.addEnumValue("auto");  // one above the largest: 11
  EXPECT_EQ(valuesOf(mode), (std::vector<int32_t>{0, 10, 11}));
  EXPECT_TRUE(mode.isEnumeration());
  EXPECT_EQ(std::string(mode.getDeclarationName()) + "|" + mode.getName() + "|" +
                std::to_string(mode.getStorageCategory()),
            "int|ModeEnum|3");
  const EnumerationType* e = mode.getEnumerationType();
  const int32_t missing = 5, zero = 0, ten = 10;
  EXPECT_STREQ(e->getEnumString(&ten), "On");
  EXPECT_TRUE(e->getEnumString(&missing) == nullptr && e->getEnumString(nullptr) == nullptr);
  Scoped in(hvCreateString("ON"));
  std::unique_ptr<int32_t> v(static_cast<int32_t*>(mode.getPulvraConversion()->fromPulvra(in)));
  EXPECT_EQ(*v, 10);
  EXPECT_EQ(textOf(mode, 11) + "|" + textOf(mode, 9), "auto|");  // unknown value: empty text
  auto refused = hostError<InvalidEnumValueException>(
      [&] { mode.getPulvraConversion()->fromPulvra(nullptr); });
  ASSERT_NE(refused, nullptr);
  EXPECT_STREQ(refused->getTempStaticMessage(),
               "A value of class unknown (0x0) is not an enumerated value.");
  std::unique_ptr<Enumeration> walk(mode.getPossibleValues());  // survives changes of the type
  mode.removeEnumValue(&zero);
  EXPECT_EQ(valuesOf(mode), (std::vector<int32_t>{10, 11}));
  EXPECT_EQ(mode.getNumberOfValues(), 2u);
  ASSERT_TRUE(walk->hasMoreElements());
  EXPECT_EQ(*static_cast<int32_t*>(walk->nextElement()), 0);
  EnumStringType negative("Neg");
  negative.addEnumValue("low", -5);
  negative.addEnumValue("next");
  EXPECT_EQ(valuesOf(negative), (std::vector<int32_t>{-5, -4}));
}

// A server that knows one type and records the questions.
struct OneTypeServer : QxTypeServer {
  OneTypeServer(const char* name, QxDataType* type) : name(name), type(type) {}
  QxDataType* getType(const char* asked) override {
    this->asked.push_back(asked);
    return name == asked ? type : nullptr;
  }
  std::string name;
  QxDataType* type;
  std::vector<std::string> asked;
};

TEST(TypeRepositoryTest, RegisteredTypesThenServersInOrder) {
  auto get = [](const char* name) { return QxTypeRepository::getType(name); };
  EnumStringType first("RepoTestType"), second("RepoTestType"), fake("double");
  QxTypeRepository::addType(&first);
  EXPECT_EQ(get("RepoTestType"), &first);
  QxTypeRepository::addType(&second);    // same name: replaces
  QxTypeRepository::removeType(&first);  // not registered any more: no-op
  EXPECT_EQ(get("RepoTestType"), &second);
  QxTypeRepository::removeType(&second);
  EXPECT_EQ(get("RepoTestType"), nullptr);
  QxTypeRepository::addType(&fake);  // built-ins cannot be shadowed
  EXPECT_NE(get("double"), &fake);
  EnumStringType served("Served");
  OneTypeServer a("Served", &served), b("Served", nullptr);
  QxTypeRepository::addTypeServer(&b);
  QxTypeRepository::addTypeServer(&a);
  QxTypeRepository::addTypeServer(&a);  // once only
  EXPECT_EQ(get("Served"), &served);
  get("int");                                                // built-ins never reach the servers
  EXPECT_EQ(b.asked, (std::vector<std::string>{"Served"}));  // b first
  EXPECT_EQ(a.asked.size(), 1u);
  QxTypeRepository::removeTypeServer(&a);
  EXPECT_EQ(get("Served"), nullptr);
  QxTypeRepository::removeTypeServer(&b);
  {
    EnumStringType shortLived("ShortLived");
    OneTypeServer server("Gone", nullptr);
    QxTypeRepository::addType(&shortLived);
    QxTypeRepository::addTypeServer(&server);
    EXPECT_EQ(get("ShortLived"), &shortLived);
  }
  EXPECT_EQ(get("ShortLived"), nullptr);
  EXPECT_EQ(get("Gone"), nullptr);  // no call into a dead server
}

// Offers only two of its base's values.
struct TwoLevels : QxOverrideType {
  Enumeration* getPossibleValues() const override {
    EnumStringType subset("subset");
    subset.addEnumValue("a", 1);
    subset.addEnumValue("b", 2);
    return subset.getPossibleValues();
  }
};

// Conversion, copies and the rule's check are exercised by every constrained property set.
TEST(OverrideTypeTest, StoresLikeTheBaseEnumeratesFromTheRuleElseTheBase) {
  auto rule = std::make_unique<QxOverrideType>();
  EXPECT_EQ(rule->createDataType("Nope", "no such base"), nullptr);
  EXPECT_EQ(rule->createDataType(nullptr, "double"), nullptr);
  QxDataType* t = rule->createDataType("TemporaryOverride", "double");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(std::string(t->getName()) + "|" + t->getDeclarationName(), "TemporaryOverride|double");
  EXPECT_EQ(t->getStorageCategory(), 6);
  QxTypeRepository::addType(t);  // registered under its own name; gone with its rule
  EXPECT_EQ(QxTypeRepository::getType("TemporaryOverride"), t);
  rule.reset();
  EXPECT_EQ(QxTypeRepository::getType("TemporaryOverride"), nullptr);

  EnumStringType base("OverrideBaseEnum");
  for (const char* text : {"a", "b", "c"}) base.addEnumValue(text, text[0] - 'a' + 1);
  QxTypeRepository::addType(&base);
  QxOverrideType plain;
  TwoLevels narrowed;
  QxDataType* same = plain.createDataType("PlainOverride", "OverrideBaseEnum");
  QxDataType* fewer = narrowed.createDataType("NarrowOverride", "OverrideBaseEnum");
  ASSERT_TRUE(same != nullptr && fewer != nullptr);
  EXPECT_TRUE(same->isEnumeration());
  EXPECT_EQ(same->getEnumerationType(), base.getEnumerationType());
  EXPECT_EQ(valuesOf(*same), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(valuesOf(*fewer), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(textOf(*fewer, 3), "c");  // conversion is still the base's
  QxTypeRepository::removeType(&base);
}

}  // namespace
