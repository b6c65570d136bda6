// Tests of PropInfoManager: name/identifier translations, added values and hidden fields.
#include "zelobjsys/prop_info_manager.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "zelhost/objects/qx_application.h"
#include "zelhost/types/data_type.h"
#include "zelobjsys/prop_info_qxc.h"

namespace zelobjsys {

// Ends the singleton, which only the application manager may do otherwise.
class PropInfoManagerTestPeer {
 public:
  static void destroy() { PropInfoManager::destroyInstance(); }
};

namespace {

std::size_t valueCount(const char* enumName) {
  auto* type = dynamic_cast<TypedEnumStringType*>(QxTypeRepository::getType(enumName, true));
  return type != nullptr ? type->getNumberOfValues() : 0;
}

class PropInfoManagerTest : public ::testing::Test {
 protected:
  void SetUp() override { enumerations_ = std::make_unique<PropInfoQxC>(); }
  void TearDown() override {
    enumerations_.reset();
    PropInfoManagerTestPeer::destroy();
    QxApplicationManager::shutdown();
  }

  PropInfoManager& manager() { return *PropInfoManager::getInstance(); }

  std::unique_ptr<PropInfoQxC> enumerations_;  // registers the four enumerations
};

// One of the four enumerations: its two translations, a text that none of
// its values is (one of another enumeration too) and its values by identifier.
struct Translation {
  int (PropInfoManager::*id)(const char*) const;
  std::string (PropInfoManager::*text)(int) const;
  const char* unknown;
  std::vector<const char*> values;
};

TEST_F(PropInfoManagerTest, TranslatesEveryValueBothWaysAndNothingElse) {
  using M = PropInfoManager;
  const std::vector<const char*> types = {"any", "callback", "double", "string", "struct", "cell"},
                                 categories = {"none", "callback", "trigger", "status"};
  const Translation enums[] = {
      {&M::getTypeID, &M::getTypeString, "matrix", types},
      {&M::getConstraintID, &M::getConstraintString, "", {"bounded", "callback", "enum", "none"}},
      {&M::getReadOnlyID, &M::getReadOnlyString, nullptr, {"always", "never"}},
      {&M::getCategoryID, &M::getCategoryString, "always", categories},
  };
  PropInfoManager& m = manager();
  for (const Translation& e : enums) {
    SCOPED_TRACE(e.values[0]);
    const int count = static_cast<int>(e.values.size());
    for (int id = 0; id < count; ++id) {
      EXPECT_EQ((m.*e.id)(e.values[id]), id) << e.values[id];
      EXPECT_EQ((m.*e.text)(id), e.values[id]);
    }
    EXPECT_EQ((m.*e.id)(e.unknown), -1);
    for (int outside : {-1, count, 1000}) EXPECT_EQ((m.*e.text)(outside), "") << outside;
  }
  EXPECT_EQ(m.getConstraintID("ENUM"), 2);  // texts compare ignoring case
  EXPECT_EQ(m.addTypeValue(nullptr), -1);

  // Without the property-info class there are no enumerations at all.
  enumerations_.reset();
  EXPECT_EQ(m.getTypeID("any"), -1);
  EXPECT_EQ(m.getReadOnlyString(0), "");
  EXPECT_EQ(m.addCategoryValue("custom"), -1);
  EXPECT_EQ(QxTypeRepository::getType(kPICategoryEnumName, true), nullptr);
}

TEST_F(PropInfoManagerTest, AddedValuesGetNewIdentifiersOnceAndExistingOnesStay) {
  PropInfoManager& m = manager();
  const int whileRunning = m.addReadOnlyValue("whileRunning");
  EXPECT_EQ(whileRunning, 2);
  EXPECT_EQ(m.getReadOnlyID("whileRunning"), whileRunning);
  EXPECT_EQ(m.getReadOnlyString(whileRunning), "whileRunning");
  EXPECT_EQ(m.addReadOnlyValue("whileRunning"), whileRunning);
  EXPECT_EQ(m.addReadOnlyValue("WHILERUNNING"), whileRunning);
  EXPECT_EQ(valueCount(kPIReadOnlyEnumName), 3u);

  EXPECT_EQ(m.addTypeValue("double"), 2);
  EXPECT_EQ(valueCount(kPITypeEnumName), 6u);
  EXPECT_EQ(m.addTypeValue("matrix"), 6);
  EXPECT_EQ(m.getTypeString(6), "matrix");

  EXPECT_EQ(m.addCategoryValue("acquisition"), 4);
  EXPECT_EQ(m.getCategoryID("acquisition"), 4);

  // Added values go with the enumerations; a new class starts from the fixed ones.
  enumerations_.reset();
  enumerations_ = std::make_unique<PropInfoQxC>();
  EXPECT_EQ(m.getReadOnlyID("whileRunning"), -1);
  EXPECT_EQ(valueCount(kPIReadOnlyEnumName), 2u);
}

TEST_F(PropInfoManagerTest, HiddenFieldsMatchExactlyOnTheJoinedKey) {
  PropInfoManager& m = manager();
  EXPECT_FALSE(m.isFieldHidden("daq", "AnalogInput", "DefaultValue"));
  m.hideField("daq", "AnalogInput", "DefaultValue");
  m.hideField("daq", "AnalogInput", "DefaultValue");
  EXPECT_TRUE(m.isFieldHidden("daq", "AnalogInput", "DefaultValue"));
  EXPECT_FALSE(m.isFieldHidden("daq", "AnalogInput", "defaultvalue"));
  EXPECT_FALSE(m.isFieldHidden("daq", "AnalogOutput", "DefaultValue"));
  // Keys are plain concatenations, so every split of the same characters matches.
  EXPECT_TRUE(m.isFieldHidden("daqAnalog", "Input", "DefaultValue"));
  EXPECT_TRUE(m.isFieldHidden("", "daqAnalogInputDefault", "Value"));
  // Missing parts count as empty texts.
  m.hideField(nullptr, "Scope", "Type");
  EXPECT_TRUE(m.isFieldHidden("", "Scope", "Type"));
  EXPECT_TRUE(m.isFieldHidden("Scope", nullptr, "Type"));
  // They go with the singleton.
  PropInfoManagerTestPeer::destroy();
  EXPECT_FALSE(PropInfoManager::getInstance()->isFieldHidden("", "Scope", "Type"));
}

}  // namespace
}  // namespace zelobjsys
