// Tests of schemas: standard methods, class names, standard properties, object creation, user data.
#include "zelobjsys/schema_definition.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/test_product.h"
#include "zelhost/objects/qx_method_info.h"
#include "zelhost/services/zelhox.h"

namespace zelobjsys {
namespace {

using testproduct::RecordingFactory;
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

  static double doubleValue(QxInterface* object, const char* name) {
    ZLScopedHvArray value(object->getPropertyValue(name));
    return hvGetScalar(value);
  }

  QxApplication* app_ = nullptr;
  RecordingFactory factory_;
};

TEST_F(SchemaDefinitionTest, ClassNamesAreLettersDigitsAndUnderscores) {
  struct Case {
    const char* name;
    bool valid;
  } cases[] = {{"", true},        {"_", true},       {"9lives", true},       {"Dev_2", true},
               {"my-dev", false}, {"my dev", false}, {"caf\xc3\xa9", false}, {"a.b", false},
               {"\x7f", false},   {nullptr, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name != nullptr ? c.name : "(null)");
    EXPECT_EQ(SchemaDefinition::isValidClassName(c.name), c.valid);
  }
}

TEST_F(SchemaDefinitionTest, ConstructionAddsPropinfoThenProphelp) {
  TestSchema* schema = addClass(new TestSchema("Dev"));
  ASSERT_EQ(schema->getNumberOfMethods(), 2);
  EXPECT_STREQ(schema->getMethodAt(0)->getName(), "propinfo");
  EXPECT_STREQ(schema->getMethodAt(1)->getName(), "prophelp");
  EXPECT_EQ(schema->getMethodAt(0)->getClass(), schema);
  EXPECT_FALSE(schema->getMethodAt(0)->isCallableWithoutObject());
  EXPECT_TRUE(schema->getMethodAt(1)->isCallableWithoutObject());
  EXPECT_STREQ(schema->getPulvraClassName(), "Dev");
  EXPECT_FALSE(schema->isInstanceSchema());
}

TEST_F(SchemaDefinitionTest, GenericMethodNeedsItsExactName) {
  TestSchema* schema = addClass(new TestSchema("Dev"));
  for (const char* ignored : {"getToolbarName", "GETTOOLBARNAME", "", "GetToolbarName "}) {
    schema->addGenericMethod(ignored);
  }
  schema->addGenericMethod(nullptr);
  EXPECT_EQ(schema->getNumberOfMethods(), 2);
  schema->addGenericMethod("GetToolbarName");
  schema->addGenericMethod("GetToolbarName");
  ASSERT_EQ(schema->getNumberOfMethods(), 4);
  for (int i : {2, 3}) {
    EXPECT_STREQ(schema->getMethodAt(i)->getName(), "getInspectorToolbarObjectName");
    EXPECT_EQ(schema->getMethodAt(i)->getInspectorAttribute(), 1);
    EXPECT_FALSE(schema->getMethodAt(i)->isCallableWithoutObject());
  }
}

TEST_F(SchemaDefinitionTest, GenericPropertiesCallTheFactoryInOrder) {
  TestSchema* schema = addClass(new TestSchema("Dev"));
  factory_.setTarget(schema);
  const std::vector<std::pair<const char*, std::vector<std::string>>> expected = {
      {"Name",
       {"createStringProperty(Name)", "setPropReadOnly(never)", "addPropHelpFromXML(null)",
        "addProperty(false)"}},
      {"Tag",
       {"createStringProperty(Tag)", "setPropReadOnly(never)", "addPropHelpFromXML(null)",
        "addProperty(false)"}},
      {"Type",
       {"createStringProperty(Type)", "setPropReadOnly(always)", "addPropHelpFromXML(null)",
        "addProperty(false)"}},
      {"UserData",
       {"createHvArrayProperty(UserData)", "setPropReadOnly(never)", "addPropHelpFromXML(null)",
        "addProperty(false)"}},
      {"TimerFcn",
       {"createCallbackProperty(TimerFcn)", "setPropReadOnly(never)", "setPropCategory(1)",
        "addPropHelpFromXML(null)", "addProperty(false)"}},
      {"TimerPeriod",
       {"createDoubleProperty(TimerPeriod)", "setPropReadOnly(never)", "setPropCategory(1)",
        "addPropHelpFromXML(null)", "addProperty(false)"}},
      {"Timeout",
       {"createZeroInfPosDoubleProperty(Timeout)", "setPropReadOnly(never)",
        "addPropHelpFromXML(null)", "addProperty(false)"}},
      {"name", {}},
      {"Timer", {}},
      {"", {}},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(e.first);
    factory_.log.clear();
    schema->addGenericProperty(&factory_, e.first);
    EXPECT_EQ(factory_.log, e.second);
  }
  factory_.log.clear();
  schema->addGenericProperty(&factory_, nullptr);
  schema->addGenericProperty(nullptr, "Name");
  EXPECT_TRUE(factory_.log.empty());
}

TEST_F(SchemaDefinitionTest, GenericPropertiesBehaveForUsers) {
  TestSchema* schema = addClass(new TestSchema("Dev"));
  factory_.setTarget(schema);
  for (const char* name : {"Name", "Type", "UserData", "TimerFcn", "TimerPeriod", "Timeout"}) {
    schema->addGenericProperty(&factory_, name);
  }
  QxInterface* object = schema->createInstance(nullptr, nullptr, 0);
  ZLScopedHvArray type(object->getPropertyValue("Type"));
  EXPECT_EQ(zelhox::fcns::getString(type), "Dev");
  ZLScopedHvArray other(hvCreateString("Other"));
  EXPECT_EQ(hostErrorText([&] { object->setPropertyValue("Type", other); }),
            "vornix:set:setDenied|Changing the 'Type' property of Dev is not allowed.");
  EXPECT_EQ(doubleValue(object, "TimerPeriod"), 1.0);
  EXPECT_EQ(doubleValue(object, "Timeout"), 10.0);

  const auto* period =
      static_cast<const PropInfo*>(object->getProperty("TimerPeriod")->getObject());
  EXPECT_EQ(period->getPIConstraint(), kPIConstraintBounded);
  EXPECT_EQ(period->getPICategory(), kPICategoryCallback);
  EXPECT_EQ(hvGetPr(period->getPIConstraintValue())[0], 0.001);
  EXPECT_EQ(hvGetPr(period->getPIConstraintValue())[1], 2147483647.0);
  ZLScopedHvArray tooShort(hvCreateDoubleScalar(0.0001));
  EXPECT_EQ(
      hostErrorText([&] { object->setPropertyValue("TimerPeriod", tooShort); }).rfind("vornix:", 0),
      0u);
  ZLScopedHvArray ok(hvCreateDoubleScalar(2.5));
  object->setPropertyValue("TimerPeriod", ok);
  EXPECT_EQ(doubleValue(object, "TimerPeriod"), 2.5);
}

TEST_F(SchemaDefinitionTest, ProductsChooseTheTimerDefaults) {
  SlowSchema* schema = addClass(new SlowSchema);
  factory_.setTarget(schema);
  schema->addGenericProperty(&factory_, "TimerPeriod");
  schema->addGenericProperty(&factory_, "Timeout");
  QxInterface* object = schema->createInstance(nullptr, nullptr, 0);
  EXPECT_EQ(doubleValue(object, "TimerPeriod"), 0.25);
  EXPECT_EQ(doubleValue(object, "Timeout"), 5.0);
}

TEST_F(SchemaDefinitionTest, CreateInstanceForwardsToTheProduct) {
  TestSchema* schema = addClass(new TestSchema("Dev"));
  QxInterface* root = app_->getDefaultDatabase()->getRootObject();
  int payload = 7;
  void* args[] = {&payload};
  QxInterface* object = schema->createInstance(root, args, 1);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->getDatabaseClass(), schema);
  EXPECT_EQ(object->getUp(), root);
  EXPECT_NE(testproduct::containerOf(object), nullptr);
  EXPECT_EQ(schema->lastArgs, args);
  EXPECT_EQ(schema->lastCount, 1);
  QxInterface* bare = schema->createInstance(nullptr, nullptr, 0);
  EXPECT_NE(bare, object);
  EXPECT_EQ(schema->lastCount, 0);
}

TEST_F(SchemaDefinitionTest, InstanceSchemasGetNumberedRemovableNames) {
  auto* first = addClass(new TestInstanceSchema("Scope"));
  auto* second = addClass(new TestInstanceSchema("Scope"));
  const std::string a = first->getPulvraClassName();
  const std::string b = second->getPulvraClassName();
  EXPECT_NE(a, b);
  for (const std::string& name : {a, b}) {
    SCOPED_TRACE(name);
    ASSERT_GT(name.size(), 6u);
    EXPECT_EQ(name.substr(0, 6), "Scope_");
    EXPECT_EQ(name.find_first_not_of("0123456789", 6), std::string::npos);
  }
  EXPECT_TRUE(first->isInstanceSchema());
  EXPECT_FALSE(first->getKeepFlag());
  EXPECT_EQ(first->getNumberOfMethods(), 2);
  EXPECT_TRUE(addClass(new TestSchema("Kept"))->getKeepFlag());
}

TEST_F(SchemaDefinitionTest, UserDataIsACopyOfTheList) {
  TestSchema* schema = addClass(new TestSchema("Dev"));
  EXPECT_TRUE(schema->getSchemaUserData().empty());
  int a = 1;
  int b = 2;
  std::vector<void*> data = {&a, &b};
  schema->setSchemaUserData(data);
  data.clear();
  EXPECT_EQ(schema->getSchemaUserData(), (std::vector<void*>{&a, &b}));
  // Handing the schema a copy of its own list changes nothing.
  schema->setSchemaUserData(schema->getSchemaUserData());
  EXPECT_EQ(schema->getSchemaUserData(), (std::vector<void*>{&a, &b}));
  schema->setSchemaUserData({});
  EXPECT_TRUE(schema->getSchemaUserData().empty());
}

}  // namespace
}  // namespace zelobjsys
