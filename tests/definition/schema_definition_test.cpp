// Tests of schemas: standard methods, class names, standard properties, object creation, user data,
// and the rewriting of property-access errors called directly (the identifiers users meet on the
// host's road, for an invalid, ambiguous or read-only property, a bad enumeration value or
// callback, are in the shell scripts).
#include "zelobjsys/schema_definition.h"

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "common/test_product.h"
#include "zelhost/objects/qx_method_info.h"

namespace zelobjsys {
namespace {

using testproduct::TestSchema;

// A product that changes the standard timer defaults.
class SlowSchema : public TestSchema {
 public:
  SlowSchema() : TestSchema("SlowDev") {}

 private:
  double getDefaultTimerPeriod() const override { return 0.25; }
  double getDefaultTimeout() const override { return 5.0; }
};

class TestInstanceSchema : public InstanceSchemaDefinition {
 public:
  explicit TestInstanceSchema(const char* base) : InstanceSchemaDefinition(base) {}
  bool isHandleClass() const override { return true; }
  bool isAbstractClass() const override { return false; }
  void releaseObjectPart(QxInterface*) override {}

 protected:
  void* createProductObject(QxInterface*, void**, int) override { return nullptr; }
};

class SchemaDefinitionTest : public ::testing::Test {
 protected:
  void SetUp() override { app_ = testproduct::startTestProduct(); }
  void TearDown() override { testproduct::stopTestProduct(); }

  template <class Schema>
  Schema* addClass(Schema* schema) {
    app_->addLocalClass(schema);  // the application owns it
    return schema;
  }

  QxApplication* app_ = nullptr;
};

// Names a user can type are in the shell tests.
TEST_F(SchemaDefinitionTest, ClassNamesAreLettersDigitsAndUnderscores) {
  EXPECT_TRUE(SchemaDefinition::isValidClassName(""));
  EXPECT_FALSE(SchemaDefinition::isValidClassName("\x7f"));
  EXPECT_FALSE(SchemaDefinition::isValidClassName(nullptr));
}

TEST_F(SchemaDefinitionTest, ConstructionAddsPropinfoThenProphelpAndGenericMethodsFollow) {
  TestSchema* schema = addClass(new TestSchema("Dev"));
  ASSERT_EQ(schema->getNumberOfMethods(), 2);
  EXPECT_STREQ(schema->getMethodAt(0)->getName(), "propinfo");
  EXPECT_STREQ(schema->getMethodAt(1)->getName(), "prophelp");
  EXPECT_EQ(schema->getMethodAt(0)->getClass(), schema);
  EXPECT_FALSE(schema->getMethodAt(0)->isCallableWithoutObject());
  EXPECT_TRUE(schema->getMethodAt(1)->isCallableWithoutObject());
  // Neither method is read-only, whatever its other flags.
  EXPECT_FALSE(schema->getMethodAt(0)->isReadOnly() || schema->getMethodAt(1)->isReadOnly());
  EXPECT_FALSE(schema->isInstanceSchema());

  // The generic method needs its exact name.
  for (const char* ignored : {"getToolbarName", "GETTOOLBARNAME", "", "GetToolbarName "})
    schema->addGenericMethod(ignored);
  schema->addGenericMethod(nullptr);
  EXPECT_EQ(schema->getNumberOfMethods(), 2);
  schema->addGenericMethod("GetToolbarName");
  schema->addGenericMethod("GetToolbarName");
  ASSERT_EQ(schema->getNumberOfMethods(), 4);
  const QxMethodInfo* toolbar = schema->getMethodAt(3);
  EXPECT_STREQ(toolbar->getName(), "getInspectorToolbarObjectName");
  EXPECT_EQ(toolbar->getBrowserAttribute(), 1);
  EXPECT_FALSE(toolbar->isCallableWithoutObject() || toolbar->isReadOnly());
}

// What each standard property is, with its help from the file, is in the shell tests.
TEST_F(SchemaDefinitionTest, ProductsChooseTheTimerDefaultsAndUnknownNamesAreIgnored) {
  SlowSchema* schema = addClass(new SlowSchema);
  testproduct::Factory f(schema, nullptr);
  for (const char* name : {"TimerPeriod", "Timeout", "name", "Timer", ""})
    schema->addGenericProperty(&f, name);
  schema->addGenericProperty(&f, nullptr);
  schema->addGenericProperty(nullptr, "Name");
  int count = 0;
  for (QxBreadthOnlyIterator props(schema->getProperties(), false); props.hasMoreElements();)
    count += props.nextElement() != nullptr;
  EXPECT_EQ(count, 2);
  QxInterface* object = schema->createInstance(nullptr, nullptr, 0);
  ZLScopedHvArray period(object->getPropertyValue("TimerPeriod"));
  ZLScopedHvArray timeout(object->getPropertyValue("Timeout"));
  EXPECT_EQ(hvGetScalar(period), 0.25);
  EXPECT_EQ(hvGetScalar(timeout), 5.0);
}

TEST_F(SchemaDefinitionTest, CreateInstanceForwardsToTheProductAndUserDataIsACopy) {
  TestSchema* schema = addClass(new TestSchema("Dev"));
  QxInterface* root = app_->getDefaultDatabase()->getRootObject();
  int a = 1, b = 2;
  void* args[] = {&a};
  QxInterface* object = schema->createInstance(root, args, 1);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->getDatabaseClass(), schema);
  EXPECT_EQ(object->getUp(), root);
  EXPECT_NE(testproduct::containerOf(object), nullptr);
  EXPECT_TRUE(schema->lastArgs == args && schema->lastCount == 1);
  EXPECT_NE(schema->createInstance(nullptr, nullptr, 0), object);
  EXPECT_EQ(schema->lastCount, 0);
  std::vector<void*> data = {&a, &b};
  schema->setSchemaUserData(data);
  data.clear();
  // Handing the schema a copy of its own list changes nothing.
  schema->setSchemaUserData(schema->getSchemaUserData());
  EXPECT_EQ(schema->getSchemaUserData(), (std::vector<void*>{&a, &b}));
}

TEST_F(SchemaDefinitionTest, InstanceSchemasGetNumberedRemovableNames) {
  auto* first = addClass(new TestInstanceSchema("Scope"));
  auto* second = addClass(new TestInstanceSchema("Scope"));
  EXPECT_STRNE(first->getPulvraClassName(), second->getPulvraClassName());
  for (const char* name : {first->getPulvraClassName(), second->getPulvraClassName()})
    EXPECT_TRUE(std::regex_match(name, std::regex("Scope_[0-9]+"))) << name;
  EXPECT_TRUE(first->isInstanceSchema() && !first->getKeepFlag());
  EXPECT_EQ(first->getNumberOfMethods(), 2);
  EXPECT_TRUE(addClass(new TestSchema("Kept"))->getKeepFlag());
}

const std::string kFcnText =
    "vornix:set:invalidFcn|TimerFcn must be set to a string, function handle or a 1-by-N cell "
    "array.\nThe first element of the 1-by-N cell array must be a string or function handle.";

TEST(PropAccessFilterTest, RulesApplyInOrder) {
  QxApplication* app = testproduct::startTestProduct();
  auto* schema = new testproduct::TestSchema("FilterDev");
  app->addLocalClass(schema);
  testproduct::Factory f(schema, nullptr);
  for (const char* name : {"TimerFcn", "Timeout"}) schema->addGenericProperty(&f, name);
  f.addProperty(f.createStringProperty("timerfcn", ""), false);
  f.addProperty(f.createStringProperty("Mode", ""), false);
  f.addProperty(f.createStringProperty("Tag", ""), false);
  QxInterface* object = schema->createInstance(nullptr, nullptr, 0);
  // What the filter chose: "id|message", or "(same)" for the given exception itself.
  auto filtered = [&](Exception* given, const char* name) -> std::string {
    std::unique_ptr<Exception> owned(given);
    QxPropInfo* prop = name != nullptr
                           ? static_cast<QxPropInfo*>(object->getProperty(name)->getObject())
                           : nullptr;
    Exception* chosen = schema->filterPropAccessException(given, object, prop, name);
    if (chosen == given) return "(same)";
    std::unique_ptr<Exception> replacement(chosen);
    auto* e = dynamic_cast<ErrorIdException*>(chosen);
    return e != nullptr ? std::string(e->getId()) + "|" + e->getMessage() : "(other)";
  };
  const struct {
    Exception* given;
    const char* prop;
    std::string chosen;
  } cases[] = {
      {new GenericException("Parameter must be a scalar handle"), nullptr,
       "vornix:set:scalarHandle|Parameter must be a scalar handle"},
      {new GenericException("Parameter must be a scalar handle here"), "Tag",
       "vornix:set:scalarHandle|Parameter must be a scalar handle here"},
      {new GenericException("parameter must be a scalar handle"), "Tag", "(same)"},
      {new GenericException(""), "TimerFcn", kFcnText},
      {new InvalidEnumValueException("bad."), nullptr, "(same)"},
      {new InvalidEnumValueException("No value x"), "Mode",
       "vornix:set:invalidEnum|No value x for the 'Mode' property"},
      {new InvalidEnumValueException("."), "Mode",
       "vornix:set:invalidEnum| for the 'Mode' property"},
      {new ErrorIdException("PULVRA:class:", "b"), "TimerFcn", kFcnText},
      {new ErrorIdException("PULVRA:class:badValue", "b"), "Timeout", "(same)"},
      {new ErrorIdException("PULVRA:class:badValue", "b"), "timerfcn", "(same)"},
      {new ErrorIdException("x:y", "z"), nullptr, "(same)"},
  };
  int row = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(row++);
    EXPECT_EQ(filtered(c.given, c.prop), c.chosen);
  }
  EXPECT_EQ(schema->filterPropAccessException(nullptr, object, nullptr, "x"), nullptr);
  testproduct::stopTestProduct();
}

}  // namespace
}  // namespace zelobjsys
