// Tests of PropInfoManager: name/identifier translations, added values and hidden fields.
#include "zelobjsys/prop_info_manager.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

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

TEST_F(PropInfoManagerTest, TranslatesEveryValueBothWays) {
  struct Entry {
    const char* text;
    int id;
  };
  const Entry types[] = {{"any", 0},    {"callback", 1}, {"double", 2},
                         {"string", 3}, {"struct", 4},   {"cell", 5}};
  const Entry constraints[] = {{"bounded", 0}, {"callback", 1}, {"enum", 2}, {"none", 3}};
  const Entry readOnly[] = {{"always", 0}, {"never", 1}};
  const Entry categories[] = {{"none", 0}, {"callback", 1}, {"trigger", 2}, {"status", 3}};
  PropInfoManager& m = manager();
  for (const Entry& e : types) {
    SCOPED_TRACE(e.text);
    EXPECT_EQ(m.getTypeID(e.text), e.id);
    EXPECT_EQ(m.getTypeString(e.id), e.text);
  }
  for (const Entry& e : constraints) {
    SCOPED_TRACE(e.text);
    EXPECT_EQ(m.getConstraintID(e.text), e.id);
    EXPECT_EQ(m.getConstraintString(e.id), e.text);
  }
  for (const Entry& e : readOnly) {
    SCOPED_TRACE(e.text);
    EXPECT_EQ(m.getReadOnlyID(e.text), e.id);
    EXPECT_EQ(m.getReadOnlyString(e.id), e.text);
  }
  for (const Entry& e : categories) {
    SCOPED_TRACE(e.text);
    EXPECT_EQ(m.getCategoryID(e.text), e.id);
    EXPECT_EQ(m.getCategoryString(e.id), e.text);
  }
  // The enumerations compare texts ignoring case.
  EXPECT_EQ(m.getConstraintID("ENUM"), 2);
}

TEST_F(PropInfoManagerTest, UnknownTextsAndIdentifiersGiveMinusOneAndEmptyText) {
  PropInfoManager& m = manager();
  EXPECT_EQ(m.getTypeID("matrix"), -1);
  EXPECT_EQ(m.getConstraintID(""), -1);
  EXPECT_EQ(m.getReadOnlyID(nullptr), -1);
  EXPECT_EQ(m.getCategoryID("always"), -1);  // a value of another enumeration
  EXPECT_EQ(m.getTypeString(6), "");
  EXPECT_EQ(m.getConstraintString(-1), "");
  EXPECT_EQ(m.getReadOnlyString(1000), "");
  EXPECT_EQ(m.getCategoryString(4), "");
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
}

TEST_F(PropInfoManagerTest, TheSingletonIsKeptUntilDestroyed) {
  PropInfoManager* first = PropInfoManager::getInstance();
  EXPECT_EQ(PropInfoManager::getInstance(), first);
  first->hideField("p", "c", "f");
  PropInfoManagerTestPeer::destroy();
  EXPECT_FALSE(PropInfoManager::getInstance()->isFieldHidden("p", "c", "f"));
}

}  // namespace
}  // namespace zelobjsys
