// Tests of enumerated data types, the type repository and its servers, and override types.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "zelhost/services/exceptions.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/types/data_type.h"
#include "zelhost/values/hv_array.h"

#include "common/host_errors.h"

namespace {

using Scoped = ZLScopedHvArray;

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

// Instance settings of devices show case, duplicates, abbreviations and
// refusal texts; the numeric values behind the texts are only seen here.
TEST(EnumTypeTest, ValuesKeepOrderAndTextsIgnoreCase) {
  EnumStringType mode("ModeEnum");
  mode.addEnumValue("off");
  mode.addEnumValue("On", 10);
  mode.addEnumValue("auto");   // one above the largest: 11
  mode.addEnumValue("AUTO");   // duplicate ignoring case: ignored
  mode.addEnumValue(nullptr);  // ignored
  EXPECT_EQ(valuesOf(mode), (std::vector<int32_t>{0, 10, 11}));
  EXPECT_TRUE(mode.isEnumeration());
  EXPECT_EQ(mode.getStorageCategory(), 3);
  EXPECT_EQ(std::string(mode.getDeclarationName()) + "|" + mode.getName(), "int|ModeEnum");
  const EnumerationType* e = mode.getEnumerationType();
  const void* on = e->getEnumValue("oN");
  ASSERT_NE(on, nullptr);
  EXPECT_EQ(*static_cast<const int32_t*>(on), 10);
  EXPECT_STREQ(e->getEnumString(on), "On");
  const int32_t missing = 5, zero = 0;
  EXPECT_EQ(e->getEnumString(&missing), nullptr);
  EXPECT_EQ(e->getEnumString(nullptr), nullptr);
  mode.removeEnumValue("AuTo");
  mode.removeEnumValue(&zero);
  EXPECT_EQ(valuesOf(mode), (std::vector<int32_t>{10}));
  EXPECT_EQ(mode.getNumberOfValues(), 1u);
  EnumStringType negative("Neg");
  negative.addEnumValue("low", -5);
  negative.addEnumValue("next");
  EXPECT_EQ(valuesOf(negative), (std::vector<int32_t>{-5, -4}));
}

TEST(EnumTypeTest, TypedValuesConvertAndRefuse) {
  TypedEnumStringType level("LevelEnum");
  const int32_t low = 1, high = 2, alias = 2;
  level.addEnumValue("low", &low, 1);
  level.addEnumValue("high", &high, 0);
  level.addEnumValue("max", &alias, 1);  // a second text of a value: ignored
  const PulvraConversion* c = level.getPulvraConversion();
  for (const auto& [text, value] : {std::make_pair("LOW", 1), std::make_pair("High", 2)}) {
    Scoped in(hvCreateString(text));
    std::unique_ptr<int32_t> v(static_cast<int32_t*>(c->fromPulvra(in)));
    EXPECT_EQ(*v, value) << text;
  }
  EXPECT_EQ(textOf(level, 2) + "|" + textOf(level, 9), "high|");  // unknown value: empty text
  for (const auto& [value, message] :
       {std::make_pair(hvCreateString("max"), "There is no enumerated value named 'max'."),
        std::make_pair(static_cast<hvArray*>(nullptr),
                       "A value of class unknown (0x0) is not an enumerated value.")}) {
    Scoped owner(value);
    auto e = hostError<InvalidEnumValueException>([&] { c->fromPulvra(value); });
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->getTempStaticMessage(), message);
  }
  level.removeEnumValue(&alias);  // removes all of its texts
  EXPECT_EQ(level.getEnumerationType()->getEnumValue("max"), nullptr);
  EXPECT_EQ(level.getNumberOfValues(), 1u);
  // A walk over the values survives changes of the type.
  std::unique_ptr<Enumeration> walk(level.getPossibleValues());
  level.removeEnumValue(&low);
  ASSERT_TRUE(walk->hasMoreElements());
  EXPECT_EQ(*static_cast<int32_t*>(walk->nextElement()), 1);
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

// Refuses negative doubles; converts through the base.
struct NonNegative : QxOverrideType {
  Exception* checkValue(const void* value) const override {
    if (*static_cast<const double*>(value) >= 0) return nullptr;
    return new ErrorIdException("test:negative", "Must not be negative.");
  }
};

// Offers only two of its base's values.
struct TwoLevels : QxOverrideType {
  Enumeration* getPossibleValues() const override {
    EnumStringType subset("subset");
    subset.addEnumValue("a", 1);
    subset.addEnumValue("b", 2);
    return subset.getPossibleValues();
  }
};

TEST(OverrideTypeTest, ChecksWithTheRuleAndStoresLikeTheBase) {
  NonNegative rule;
  EXPECT_EQ(rule.createDataType("Nope", "no such base"), nullptr);
  EXPECT_EQ(rule.createDataType(nullptr, "double"), nullptr);
  QxDataType* t = rule.createDataType("NonNegativeDouble", "double");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(std::string(t->getName()) + "|" + t->getDeclarationName(), "NonNegativeDouble|double");
  EXPECT_EQ(t->getStorageCategory(), 6);
  EXPECT_EQ(t->getPulvraConversion(), QxTypeRepository::getType("double")->getPulvraConversion());
  double v = -1;
  std::unique_ptr<Exception> refused(t->checkValue(&v));
  ASSERT_NE(refused, nullptr);
  EXPECT_STREQ(refused->getMessage(), "Must not be negative.");
  v = 0;
  EXPECT_EQ(t->checkValue(&v), nullptr);
  void* copy = t->copy(&v);
  EXPECT_EQ(*static_cast<double*>(copy), 0.0);
  t->destroy(copy);
  // Registered under its own name; gone from the repository with its rule.
  auto scoped = std::make_unique<NonNegative>();
  QxTypeRepository::addType(scoped->createDataType("TemporaryOverride", "double"));
  EXPECT_NE(QxTypeRepository::getType("TemporaryOverride"), nullptr);
  scoped.reset();
  EXPECT_EQ(QxTypeRepository::getType("TemporaryOverride"), nullptr);

  EnumStringType base("OverrideBaseEnum");  // enumerations: from the rule, else the base
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
