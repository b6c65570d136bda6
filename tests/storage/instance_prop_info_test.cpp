// Tests of instance property definitions: enumeration values kept in step with type, constraint and
// default.
#include "zelobjsys/instance_prop_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "storage/test_storage_fixtures.h"

namespace zelobjsys {
namespace storagetest {
namespace {

class InstancePropInfoTest : public StorageTest {
 protected:
  // An enumerated instance record of PI type string with its own, empty type.
  std::unique_ptr<InstancePropInfo> enumRecord(const char* typeName) {
    type_ = keepType(new TypedEnumStringType(typeName));
    auto* r = record<InstancePropInfo>("Mode", typeName, nullptr, nullptr, kPIConstraintEnum);
    PropInfoTestPeer::setPIType(*r, kPITypeString);
    r->setPIConstraintValue(nullptr);
    r->setPIDefaultValue(nullptr);
    return std::unique_ptr<InstancePropInfo>(r);
  }

  static std::vector<std::string> names(const PropInfo& r) {
    const hvArray* cell = r.getPIConstraintValue();
    return hvIsCell(cell) ? hvtest::texts(cell) : std::vector<std::string>{};
  }

  // The default as text, and the factory default (the stored int) or -1.
  static std::pair<std::string, int> defaults(const PropInfo& r) {
    const void* stored = r.getFactoryDefault();
    return {zelhox::fcns::getString(r.getPIDefaultValue()),
            stored != nullptr ? *static_cast<const int32_t*>(stored) : -1};
  }

  void expectCleared(const PropInfo& r) {
    for (const hvArray* a : {r.getPIConstraintValue(), r.getPIDefaultValue()}) {
      EXPECT_TRUE(hvIsChar(a));
      EXPECT_TRUE(hvIsEmpty(a));
    }
    EXPECT_EQ(r.getFactoryDefault(), nullptr);
    EXPECT_EQ(type_->getNumberOfValues(), 0u);
  }

  TypedEnumStringType* type_ = nullptr;
};

TEST_F(InstancePropInfoTest, AddingAndRemovingKeepTypeConstraintAndDefaultInStep) {
  auto r = enumRecord("InstanceTestMode");
  EXPECT_TRUE(r->isInstanceProperty());
  r->addEnumValue("auto", 1);
  EXPECT_EQ(names(*r), std::vector<std::string>{"auto"});
  EXPECT_EQ(defaults(*r), std::make_pair(std::string("auto"), 1));
  r->addEnumValue("AUTO", 7);  // present in another letter case
  EXPECT_EQ(type_->getNumberOfValues(), 1u);
  r->addEnumValue("Manual", 2);
  r->addEnumValue("Off", 5);
  r->addEnumValue(nullptr, 9);
  r->addEnumValue("Hand", 2);  // a value taken by another text
  EXPECT_EQ(names(*r), (std::vector<std::string>{"auto", "Manual", "Off"}));
  EXPECT_EQ(defaults(*r), std::make_pair(std::string("auto"), 1));
  EXPECT_EQ(type_->getNumberOfValues(), 3u);
  EXPECT_TRUE(InstancePropInfoTestPeer::isEnumValue(*r, "MANUAL"));
  EXPECT_FALSE(InstancePropInfoTestPeer::isEnumValue(*r, "on"));

  // Removing the default moves it to the first remaining name.
  r->removeEnumValue("AUTO");
  EXPECT_EQ(names(*r), (std::vector<std::string>{"Manual", "Off"}));
  EXPECT_EQ(defaults(*r), std::make_pair(std::string("Manual"), 2));
  EXPECT_EQ(type_->getEnumerationType()->getEnumValue("auto"), nullptr);
  r->removeEnumValue("Off");
  r->removeEnumValue("missing");
  EXPECT_EQ(names(*r), std::vector<std::string>{"Manual"});
  EXPECT_EQ(defaults(*r), std::make_pair(std::string("Manual"), 2));
  r->removeEnumValue("manual");  // the last one: both become the empty text
  expectCleared(*r);

  // Clearing empties everything and the list starts afresh.
  for (const char* name : {"a", "b", "c"}) r->addEnumValue(name, name[0]);
  r->clearEnumValues();
  expectCleared(*r);
  r->addEnumValue("b", 4);
  EXPECT_EQ(defaults(*r), std::make_pair(std::string("b"), 4));
}

TEST_F(InstancePropInfoTest, RecordsThatAreNotEnumeratedIgnoreEveryChange) {
  std::unique_ptr<InstancePropInfo> r(record<InstancePropInfo>("Gain", "double"));
  r->addEnumValue("on", 1);
  r->removeEnumValue("on");
  r->clearEnumValues();
  EXPECT_TRUE(hvIsDouble(r->getPIConstraintValue()));
  EXPECT_TRUE(hvIsEmpty(r->getPIConstraintValue()));
  EXPECT_FALSE(InstancePropInfoTestPeer::isEnumValue(*r, "on"));
  std::unique_ptr<PropInfo> classRecord(record("Gain", "double"));
  EXPECT_FALSE(classRecord->isInstanceProperty());
}

TEST_F(InstancePropInfoTest, ValuesAddedAtRunTimeAreAcceptedByTheContainer) {
  PropertyContainer& c = *containerOf(newDevice());
  auto r = enumRecord("InstanceTestMode");
  r->addEnumValue("idle", 1);
  PropertyContainerTestPeer::addInstanceProperty(c, r.release());  // the object owns it now
  InstancePropInfo* mode = c.getInstancePropInfo("Mode");
  ASSERT_NE(mode, nullptr);
  EXPECT_STREQ(c.getEnumString("Mode"), "idle");
  const int32_t busy = 2;
  EXPECT_FALSE(c.checkPropValue("Mode", &busy));
  mode->addEnumValue("busy", busy);
  EXPECT_TRUE(c.checkPropValue("Mode", &busy));
  EXPECT_STREQ(c.getEnumString("Mode", &busy), "busy");
}

}  // namespace
}  // namespace storagetest
}  // namespace zelobjsys
