// Tests of instance property definitions: enumeration values kept in step with type, constraint and
// default. Adding, removing and clearing through a device are in simdev_settings.zel.
#include "zelobjsys/instance_prop_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "storage/test_storage_fixtures.h"

namespace zelobjsys {
namespace storagetest {
namespace {

using InstancePropInfoTest = StorageTest;

// The constraint's names, the default's text and the factory default (-1 for none).
std::string state(const PropInfo& r) {
  std::string s;
  const hvArray* cell = r.getPIConstraintValue();
  for (const std::string& n : hvIsCell(cell) ? hvtest::texts(cell) : std::vector<std::string>{})
    s += n + ",";
  const void* stored = r.getFactoryDefault();
  return s + "|" + zelhox::fcns::getString(r.getPIDefaultValue()) + "|" +
         std::to_string(stored != nullptr ? *static_cast<const int32_t*>(stored) : -1);
}

// Values that simdev refuses before they reach the record: another letter
// case, a number taken, no name; and removals by another letter case.
TEST_F(InstancePropInfoTest, AddingAndRemovingKeepTypeConstraintAndDefaultInStep) {
  auto* type = keepType(new TypedEnumStringType("InstanceTestMode"));
  std::unique_ptr<InstancePropInfo> r(
      record<InstancePropInfo>("Mode", "InstanceTestMode", nullptr, nullptr, kPIConstraintEnum));
  PropInfoTestPeer::setPIType(*r, kPITypeString);
  r->setPIConstraintValue(nullptr);
  r->setPIDefaultValue(nullptr);
  EXPECT_TRUE(r->isInstanceProperty());
  r->addEnumValue("auto", 1);
  EXPECT_EQ(state(*r), "auto,|auto|1");
  r->addEnumValue("AUTO", 7);
  r->addEnumValue("Manual", 2);
  r->addEnumValue("Off", 5);
  r->addEnumValue(nullptr, 9);
  r->addEnumValue("Hand", 2);
  EXPECT_EQ(state(*r), "auto,Manual,Off,|auto|1");
  EXPECT_EQ(type->getNumberOfValues(), 3u);
  EXPECT_TRUE(InstancePropInfoTestPeer::isEnumValue(*r, "MANUAL"));
  EXPECT_FALSE(InstancePropInfoTestPeer::isEnumValue(*r, "on"));
  r->removeEnumValue("AUTO");
  EXPECT_EQ(state(*r), "Manual,Off,|Manual|2");
  EXPECT_EQ(type->getEnumerationType()->getEnumValue("auto"), nullptr);
  r->removeEnumValue("Off");
  r->removeEnumValue("missing");
  EXPECT_EQ(state(*r), "Manual,|Manual|2");
  for (bool clear : {false, true}) {
    SCOPED_TRACE(clear);
    if (clear) {
      for (const char* name : {"a", "b", "c"}) r->addEnumValue(name, name[0]);
      r->clearEnumValues();
    } else {
      r->removeEnumValue("manual");  // the last one
    }
    for (const hvArray* a : {r->getPIConstraintValue(), r->getPIDefaultValue()}) {
      EXPECT_TRUE(hvIsChar(a) && hvIsEmpty(a));
    }
    EXPECT_EQ(r->getFactoryDefault(), nullptr);
    EXPECT_EQ(type->getNumberOfValues(), 0u);
  }
}

TEST_F(InstancePropInfoTest, RecordsThatAreNotEnumeratedIgnoreEveryChange) {
  std::unique_ptr<InstancePropInfo> r(record<InstancePropInfo>("Gain", "double"));
  r->addEnumValue("on", 1);
  r->removeEnumValue("on");
  r->clearEnumValues();
  EXPECT_TRUE(hvIsDouble(r->getPIConstraintValue()) && hvIsEmpty(r->getPIConstraintValue()));
  EXPECT_FALSE(InstancePropInfoTestPeer::isEnumValue(*r, "on"));
  EXPECT_FALSE(std::unique_ptr<PropInfo>(record("Gain", "double"))->isInstanceProperty());
}

}  // namespace
}  // namespace storagetest
}  // namespace zelobjsys
