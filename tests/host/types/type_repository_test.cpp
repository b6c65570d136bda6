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
  EXPECT_STREQ(mode.getDeclarationName(), "int");
  EXPECT_STREQ(mode.getName(), "ModeEnum");

  const EnumerationType* e = mode.getEnumerationType();
  ASSERT_NE(e, nullptr);
  const void* on = e->getEnumValue("oN");
  ASSERT_NE(on, nullptr);
  EXPECT_EQ(*static_cast<const int32_t*>(on), 10);
  EXPECT_STREQ(e->getEnumString(on), "On");
  EXPECT_EQ(e->getEnumValue("of"), nullptr);  // no abbreviations
  const int32_t missing = 5;
  EXPECT_EQ(e->getEnumString(&missing), nullptr);
  EXPECT_EQ(e->getEnumString(nullptr), nullptr);

  mode.removeEnumValue("AuTo");
  const int32_t zero = 0;
  mode.removeEnumValue(&zero);
  mode.removeEnumValue("nothing");  // unknown: ignored
  EXPECT_EQ(valuesOf(mode), (std::vector<int32_t>{10}));
  EXPECT_EQ(mode.getNumberOfValues(), 1u);

  EnumStringType negative("Neg");
  negative.addEnumValue("low", -5);
  negative.addEnumValue("next");
  EXPECT_EQ(valuesOf(negative), (std::vector<int32_t>{-5, -4}));
}

TEST(EnumTypeTest, ConvertsTextsAndRefusesOthers) {
  TypedEnumStringType level("LevelEnum");
  const int32_t low = 1, high = 2, alias = 2;
  level.addEnumValue("low", &low, 1);
  level.addEnumValue("high", &high, 0);
  level.addEnumValue("max", &alias, 1);  // a second text of a value: ignored
  const PulvraConversion* c = level.getPulvraConversion();

  for (const char* text : {"low", "LOW", "High"}) {
    SCOPED_TRACE(text);
    Scoped in(hvCreateString(text));
    std::unique_ptr<int32_t> v(static_cast<int32_t*>(c->fromPulvra(in)));
    EXPECT_EQ(*v, text[0] == 'l' || text[0] == 'L' ? 1 : 2);
  }
  EXPECT_EQ(textOf(level, 2), "high");
  EXPECT_EQ(textOf(level, 9), "");  // unknown value: empty text

  struct Case {
    hvArray* value;
    const char* message;
  } cases[] = {
      {hvCreateString("medium"), "There is no enumerated value named 'medium'."},
      {hvCreateString(""), "There is no enumerated value named ''."},
      {hvCreateString("max"), "There is no enumerated value named 'max'."},
      {hvCreateDoubleScalar(2), "There is no enumerated value named '2'."},
      {hvCreateCellMatrix(1, 3), "A value of class cell (1x3) is not an enumerated value."},
      {nullptr, "A value of class unknown (0x0) is not an enumerated value."},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.message);
    Scoped owner(k.value);
    auto e = hostError<InvalidEnumValueException>([&] { c->fromPulvra(k.value); });
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->getTempStaticMessage(), k.message);
  }

  // Removing a value removes all of its texts.
  level.removeEnumValue(&alias);
  EXPECT_EQ(level.getEnumerationType()->getEnumValue("max"), nullptr);
  EXPECT_EQ(level.getNumberOfValues(), 1u);
}

TEST(EnumTypeTest, PossibleValuesSurviveChangesOfTheType) {
  EnumStringType t("Shrinking");
  t.addEnumValue("a");
  t.addEnumValue("b");
  std::unique_ptr<Enumeration> walk(t.getPossibleValues());
  t.removeEnumValue("a");
  t.removeEnumValue("b");
  ASSERT_TRUE(walk->hasMoreElements());
  EXPECT_EQ(*static_cast<int32_t*>(walk->nextElement()), 0);
}

// A server that knows one type and counts the questions.
class OneTypeServer : public QxTypeServer {
 public:
  OneTypeServer(const char* name, QxDataType* type) : name_(name), type_(type) {}
  QxDataType* getType(const char* name) override {
    asked.push_back(name);
    return name_ == name ? type_ : nullptr;
  }
  std::vector<std::string> asked;

 private:
  std::string name_;
  QxDataType* type_;
};

TEST(TypeRepositoryTest, RegisteredTypesThenServersInOrder) {
  EnumStringType first("RepoTestType"), second("RepoTestType");
  QxTypeRepository::addType(&first);
  EXPECT_EQ(QxTypeRepository::getType("RepoTestType"), &first);
  QxTypeRepository::addType(&second);  // same name: replaces
  EXPECT_EQ(QxTypeRepository::getType("RepoTestType"), &second);
  QxTypeRepository::removeType(&first);  // not registered any more: no-op
  EXPECT_EQ(QxTypeRepository::getType("RepoTestType"), &second);
  QxTypeRepository::removeType(&second);
  EXPECT_EQ(QxTypeRepository::getType("RepoTestType"), nullptr);

  EnumStringType fake("double");
  QxTypeRepository::addType(&fake);  // built-ins cannot be shadowed
  EXPECT_NE(QxTypeRepository::getType("double"), &fake);

  EnumStringType served("Served");
  OneTypeServer a("Served", &served), b("Served", nullptr);
  QxTypeRepository::addTypeServer(&b);
  QxTypeRepository::addTypeServer(&a);
  QxTypeRepository::addTypeServer(&a);  // once only
  EXPECT_EQ(QxTypeRepository::getType("Served"), &served);
  EXPECT_EQ(b.asked, (std::vector<std::string>{"Served"}));  // b first
  EXPECT_EQ(a.asked.size(), 1u);
  QxTypeRepository::getType("int");  // built-ins never reach the servers
  EXPECT_EQ(a.asked.size(), 1u);
  QxTypeRepository::removeTypeServer(&a);
  EXPECT_EQ(QxTypeRepository::getType("Served"), nullptr);
  QxTypeRepository::removeTypeServer(&b);
}

TEST(TypeRepositoryTest, DestroyedTypesAndServersUnregister) {
  {
    EnumStringType shortLived("ShortLived");
    QxTypeRepository::addType(&shortLived);
    EXPECT_EQ(QxTypeRepository::getType("ShortLived"), &shortLived);
  }
  EXPECT_EQ(QxTypeRepository::getType("ShortLived"), nullptr);
  {
    OneTypeServer server("Gone", nullptr);
    QxTypeRepository::addTypeServer(&server);
  }
  EXPECT_EQ(QxTypeRepository::getType("Gone"), nullptr);  // no call into a dead server
}

// Refuses negative doubles; converts through the base.
class NonNegative : public QxOverrideType {
 public:
  Exception* checkValue(const void* value) const override {
    if (*static_cast<const double*>(value) >= 0) return nullptr;
    return new ErrorIdException("test:negative", "Must not be negative.");
  }
};

// Offers only two of its base's values.
class TwoLevels : public QxOverrideType {
 public:
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
  EXPECT_STREQ(t->getName(), "NonNegativeDouble");
  EXPECT_STREQ(t->getDeclarationName(), "double");
  EXPECT_EQ(t->getStorageCategory(), 6);
  EXPECT_EQ(t->getPulvraConversion(), QxTypeRepository::getType("double")->getPulvraConversion());

  Scoped in(hvCreateDoubleScalar(-1));
  std::unique_ptr<double> v(static_cast<double*>(t->getPulvraConversion()->fromPulvra(in)));
  std::unique_ptr<Exception> refused(t->checkValue(v.get()));
  ASSERT_NE(refused, nullptr);
  EXPECT_STREQ(refused->getMessage(), "Must not be negative.");
  *v = 0;
  EXPECT_EQ(t->checkValue(v.get()), nullptr);
  void* copy = t->copy(v.get());
  EXPECT_EQ(*static_cast<double*>(copy), 0.0);
  t->destroy(copy);

  // Registered under its own name; gone from the repository with its rule.
  auto scoped = std::make_unique<NonNegative>();
  QxTypeRepository::addType(scoped->createDataType("TemporaryOverride", "double"));
  EXPECT_NE(QxTypeRepository::getType("TemporaryOverride"), nullptr);
  scoped.reset();
  EXPECT_EQ(QxTypeRepository::getType("TemporaryOverride"), nullptr);
}

TEST(OverrideTypeTest, EnumerationsComeFromTheRuleElseTheBase) {
  EnumStringType base("OverrideBaseEnum");
  base.addEnumValue("a", 1);
  base.addEnumValue("b", 2);
  base.addEnumValue("c", 3);
  QxTypeRepository::addType(&base);
  QxOverrideType plain;
  TwoLevels narrowed;
  QxDataType* same = plain.createDataType("PlainOverride", "OverrideBaseEnum");
  QxDataType* fewer = narrowed.createDataType("NarrowOverride", "OverrideBaseEnum");
  ASSERT_NE(same, nullptr);
  ASSERT_NE(fewer, nullptr);
  EXPECT_TRUE(same->isEnumeration());
  EXPECT_EQ(same->getEnumerationType(), base.getEnumerationType());
  EXPECT_EQ(valuesOf(*same), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(valuesOf(*fewer), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(textOf(*fewer, 3), "c");  // conversion is still the base's
  QxTypeRepository::removeType(&base);
}

}  // namespace
