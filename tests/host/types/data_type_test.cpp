// Tests of host data types: built-in conversions, enumerations, the repository, override types.
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "common/host_errors.h"
#include "common/hv_values.h"
#include "zelhost/objects/qx_interface.h"
#include "zelhost/types/data_type.h"

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

// fromPulvra's result for a host value (taken).
std::unique_ptr<Stored> convert(const char* typeName, hvArray* input) {
  Scoped owner(input);
  const QxDataType* t = type(typeName);
  return std::unique_ptr<Stored>(new Stored{t, t->getPulvraConversion()->fromPulvra(input)});
}

TEST(BuiltinTypesTest, NamesAndNullValues) {
  for (const char* name : {"double", "int", "bool", "string", "NReals", "Nints", "handle",
                           "handle vector", "PULVRA array", "PULVRA callback"}) {
    SCOPED_TRACE(name);
    QxDataType* t = type(name);
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(!t->isEnumeration() && !t->getPossibleValues() && !t->getEnumerationType());
    EXPECT_TRUE(t->checkValue(nullptr) == nullptr && t->copy(nullptr) == nullptr);
    t->destroy(nullptr);
  }
  EXPECT_TRUE(!QxTypeRepository::getType("Double") && !QxTypeRepository::getType(nullptr));
}

// Device property sets show int and double saturation and refusals; these they do not reach.
TEST(BuiltinTypesTest, ScalarsConvertBothWays) {
  EXPECT_TRUE(convert("bool", hvCreateDoubleScalar(-2))->as<bool>());
  EXPECT_FALSE(convert("bool", hvCreateLogicalScalar(false))->as<bool>());
  const int32_t five = 5;  // back to host values: numbers as double scalars
  const bool yes = true;
  Scoped i(type("int")->getPulvraConversion()->toPulvra(&five)),
      b(type("bool")->getPulvraConversion()->toPulvra(&yes)), expected(hvCreateLogicalScalar(true));
  EXPECT_TRUE(hvIsDouble(i) && hvGetScalar(i) == 5 && hvIsEqual(b, expected));
}

TEST(BuiltinTypesTest, WrongKindsAreRefusedWithIdentifiers) {
  const char* vector = "PULVRA:class:notNumericVector|Value must be a numeric vector.";
  const std::tuple<const char*, hvArray*, const char*> cases[] = {
      {"bool", hvCreateString("true"),
       "PULVRA:class:notLogicalScalar|Value must be a logical or numeric scalar."},
      {"bool", hvCreateDoubleScalar(std::nan("")),
       "PULVRA:class:logicalNaN|NaN cannot be converted to a logical value."},
      {"string", hvCreateNumericMatrix(2, 3, hvCHAR_CLASS),
       "PULVRA:class:notString|Value must be a character row vector."},
      {"NReals", hvCreateDoubleMatrix(2, 2), vector},
      {"Nints", hvCreateString("12"), vector},
      {"PULVRA callback", hvtest::cellOf({hvCreateDoubleScalar(5)}),
       "PULVRA:class:notCallback|Value must be a string, a function handle, or a cell array whose "
       "first element is a string or a function handle."},
  };
  for (const auto& [name, value, expected] : cases) {
    SCOPED_TRACE(std::string(name) + " from " + hvGetClassName(value));
    Scoped owner(value);
    const PulvraConversion* conversion = type(name)->getPulvraConversion();
    EXPECT_EQ(hostErrorText([&] { conversion->fromPulvra(owner); }), expected);
  }
}

// Strings as copies: the shell scripts (a device's Label).
TEST(BuiltinTypesTest, VectorsArraysAndCallbacksAreCopiedOrShared) {
  Scoped column(hvCreateDoubleMatrix(3, 1));
  for (int i = 0; i < 3; ++i) hvGetPr(column)[i] = i - 1.5;
  auto reals = convert("NReals", hvDuplicateArray(column));
  auto ints = convert("Nints", hvDuplicateArray(column));
  Stored intsCopy{type("Nints"), type("Nints")->copy(ints->value)};
  EXPECT_NE(intsCopy.as<VectorRecord>().elements, ints->as<VectorRecord>().elements);
  Scoped back(type("NReals")->getPulvraConversion()->toPulvra(reals->value)),
      intsBack(type("Nints")->getPulvraConversion()->toPulvra(intsCopy.value));
  Scoped expected(row({-1.5, -0.5, 0.5})), expectedInts(row({-1, 0, 0}));       // toward zero
  EXPECT_TRUE(hvIsEqual(back, expected) && hvIsEqual(intsBack, expectedInts));  // always rows
  auto none = convert("NReals", hvCreateDoubleMatrix(0, 0));
  Scoped emptyBack(type("Nints")->getPulvraConversion()->toPulvra(none->value));
  EXPECT_TRUE(none->as<VectorRecord>().count == 0 && !none->as<VectorRecord>().elements &&
              hvIsEmpty(emptyBack));

  const QxDataType* callbacks = type("PULVRA callback");  // one object shared by use count
  auto held = convert("PULVRA callback", hvCreateString("disp(1)"));
  auto* callback = static_cast<HCallback*>(held->value);
  void* sharer = callbacks->copy(callback);
  EXPECT_TRUE(sharer == callback && callback->getUseCount() == 2);
  callbacks->destroy(sharer);
  EXPECT_EQ(callback->getUseCount(), 1);
  Scoped noCallback(callbacks->getPulvraConversion()->toPulvra(nullptr));
  EXPECT_TRUE(hvIsEmpty(noCallback));
}

TEST(BuiltinTypesTest, HandlesHoldLiveObjectsOnly) {
  const QxDataType* handle = type("handle");
  const QxDataType* vector = type("handle vector");
  QxInterface* object = hoxCreateObject(nullptr, nullptr);
  Scoped value(hvCreateObjectHandle(object));
  Stored stored{handle, handle->getPulvraConversion()->fromPulvra(value)};
  Stored copy{handle, handle->copy(stored.value)};
  EXPECT_TRUE(stored.value == object->getCanonical() && copy.value == stored.value);
  Scoped back(handle->getPulvraConversion()->toPulvra(stored.value));
  EXPECT_TRUE(hvIsEqual(back, value));
  Scoped nullBack(handle->getPulvraConversion()->toPulvra(nullptr));
  EXPECT_TRUE(hvIsObject(nullBack) && hvIsEmpty(nullBack));
  Stored list{vector, vector->getPulvraConversion()->fromPulvra(value)};
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

// Case, duplicates, second texts and removal by text: instance property tests and a golden script.
TEST(EnumTypeTest, NumbersValuesConvertsAndRefuses) {
  EnumStringType mode("ModeEnum");
  mode.addEnumValue("off");
  mode.addEnumValue("On", 10);
  mode.addEnumValue("auto");  // one above the largest: 11
  EXPECT_EQ(valuesOf(mode), (std::vector<int32_t>{0, 10, 11}));
  EXPECT_TRUE(mode.isEnumeration());
  const EnumerationType* e = mode.getEnumerationType();
  const int32_t missing = 5, zero = 0, ten = 10;
  EXPECT_STREQ(e->getEnumString(&ten), "On");
  EXPECT_TRUE(e->getEnumString(&missing) == nullptr && e->getEnumString(nullptr) == nullptr);
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
  EnumStringType first("RepoTestType"), second("RepoTestType");
  QxTypeRepository::addType(&first);
  EXPECT_EQ(get("RepoTestType"), &first);
  QxTypeRepository::addType(&second);    // same name: replaces
  QxTypeRepository::removeType(&first);  // not registered any more: no-op
  EXPECT_EQ(get("RepoTestType"), &second);
  QxTypeRepository::removeType(&second);
  EXPECT_EQ(get("RepoTestType"), nullptr);
  EnumStringType served("Served");
  OneTypeServer a("Served", &served), b("Served", nullptr);
  QxTypeRepository::addTypeServer(&b);
  QxTypeRepository::addTypeServer(&a);
  QxTypeRepository::addTypeServer(&a);  // once only
  EXPECT_EQ(get("Served"), &served);
  for (const char* name : {"int", "Missing"}) get(name);  // servers never asked for built-ins
  EXPECT_EQ(b.asked, (std::vector<std::string>{"Served", "Missing"}));  // b first
  EXPECT_EQ(a.asked, (std::vector<std::string>{"Served", "Missing"}));  // once each
  QxTypeRepository::removeTypeServer(&a);
  EXPECT_EQ(get("Served"), nullptr);
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
  QxOverrideType rule;  // owns its types; a dead type leaves the repository (ShortLived above)
  EXPECT_EQ(rule.createDataType("Nope", "no such base"), nullptr);
  EXPECT_EQ(rule.createDataType(nullptr, "double"), nullptr);
  QxDataType* t = rule.createDataType("TemporaryOverride", "double");
  ASSERT_EQ(t ? std::string(t->getName()) + "|" + t->getDeclarationName() : "",
            "TemporaryOverride|double");
  EnumStringType base("OverrideBaseEnum");
  for (const char* text : {"a", "b", "c"}) base.addEnumValue(text, text[0] - 'a' + 1);
  QxTypeRepository::addType(&base);
  QxOverrideType plain;
  TwoLevels narrowed;
  QxDataType* same = plain.createDataType("PlainOverride", "OverrideBaseEnum");
  QxDataType* fewer = narrowed.createDataType("NarrowOverride", "OverrideBaseEnum");
  ASSERT_TRUE(same != nullptr && fewer != nullptr);
  EXPECT_TRUE(same->isEnumeration() && same->getEnumerationType() == base.getEnumerationType());
  EXPECT_EQ(valuesOf(*same), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(valuesOf(*fewer), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(textOf(*fewer, 3), "c");  // conversion is still the base's
  QxTypeRepository::removeType(&base);
}

}  // namespace
