// Tests of the property definition record.
#include "zelobjsys/prop_info.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/hv_values.h"
#include "common/test_records.h"
#include "zelhost/objects/qx_application.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/types/data_type.h"

namespace zelobjsys {
namespace {

using Record = TestPropInfo<>;
using Peer = PropInfoTestPeer;

class PropInfoTest : public ::testing::Test {
 protected:
  void TearDown() override { QxApplicationManager::shutdown(); }
};

TEST_F(PropInfoTest, NewRecordStartsWithTheDocumentedValues) {
  Record r("Voltage");
  EXPECT_STREQ(r.getPropertyName(), "Voltage");
  EXPECT_EQ(
      (std::vector<int>{r.getPIType(), r.getPIConstraint(), r.getPIReadOnly(), r.getPICategory(),
                        r.getPIIdentifier()}),
      (std::vector<int>{kPITypeAny, kPIConstraintNone, kPIReadOnlyNever, kPICategoryNone, 0}));
  EXPECT_EQ((std::vector<bool>{r.getPIDeviceSpecific(), r.isPropertyEnumerated(),
                               r.isInstanceProperty(), r.isInspectAccess(), r.isQxVisible(),
                               r.isExternalSetAccess(), r.isInitAccess()}),
            (std::vector<bool>{false, false, false, true, true, true, true}));
  const hvArray* constraint = r.getPIConstraintValue();
  ASSERT_NE(constraint, nullptr);
  EXPECT_TRUE(hvIsDouble(constraint) && hvGetM(constraint) == 0 && hvGetN(constraint) == 0);
  EXPECT_EQ(r.getPIDefaultValue(), nullptr);
  EXPECT_EQ(r.getPropertyDefault(), nullptr);
  EXPECT_EQ(r.getDescription(), "");
}

TEST_F(PropInfoTest, NullConstraintValueIsTheEmptyValueOfThePIType) {
  struct Case {
    int type;
    bool text;
  } cases[] = {{kPITypeAny, false},   {kPITypeCallback, true}, {kPITypeDouble, false},
               {kPITypeString, true}, {kPITypeStruct, false},  {kPITypeCell, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    Record r("P");
    Peer::setPIType(r, c.type);
    r.setPIConstraintValue(nullptr);
    r.setPIDefaultValue(nullptr);
    for (const hvArray* v : {r.getPIConstraintValue(), r.getPIDefaultValue()}) {
      ASSERT_NE(v, nullptr);
      EXPECT_TRUE(hvIsEmpty(v));
      EXPECT_EQ(hvIsChar(v), c.text);
      EXPECT_EQ(hvIsDouble(v), !c.text);
    }
  }
}

TEST_F(PropInfoTest, ValuesAreCopiedAndTheFactoryDefaultFollowsTheDefault) {
  Record r("Gain");
  ZLScopedHvArray bounds(hvtest::row({0, 10}));
  r.setPIConstraintValue(bounds);
  EXPECT_NE(r.getPIConstraintValue(), bounds.get());
  EXPECT_TRUE(hvIsEqual(r.getPIConstraintValue(), bounds));

  ZLScopedHvArray five(hvCreateDoubleScalar(5));
  r.setPIDefaultValue(five);
  EXPECT_EQ(r.getPropertyDefault(), nullptr) << "no data type yet, no factory default";
  Peer::initQxValuesBeforeAdd(r, "double");
  ASSERT_NE(r.getPropertyDefault(), nullptr);
  EXPECT_EQ(*static_cast<double*>(r.getPropertyDefault()), 5.0);

  ZLScopedHvArray seven(hvCreateDoubleScalar(7));
  r.setPIDefaultValue(seven);
  EXPECT_EQ(*static_cast<double*>(r.getPropertyDefault()), 7.0);
  EXPECT_EQ(hvGetScalar(r.getPIDefaultValue()), 7.0);
}

TEST_F(PropInfoTest, EnumeratedDefaultAndNoValue) {
  auto* type = new EnumStringType("PropInfoTestModeEnum");
  type->addEnumValue("auto", 1);
  type->addEnumValue("manual", 2);
  QxTypeRepository::addType(type);
  {
    Record r("Mode");
    Peer::setPIType(r, kPITypeString);
    Peer::setPIConstraint(r, kPIConstraintEnum);
    ZLScopedHvArray manual(hvCreateString("manual"));
    r.setPIDefaultValue(manual);
    Peer::initQxValuesBeforeAdd(r, "PropInfoTestModeEnum");
    ASSERT_NE(r.getPropertyDefault(), nullptr);
    EXPECT_EQ(*static_cast<int*>(r.getPropertyDefault()), 2);
    EXPECT_EQ(r.getPropertyStorageType(), kStorageTypeInt32);
    EXPECT_TRUE(r.isPropertyEnumerated());

    r.setPIDefaultValue(nullptr);
    EXPECT_EQ(r.getPropertyDefault(), nullptr) << "an enumeration without default has none";
    EXPECT_EQ(QxTypeRepository::getType("PropInfoTestModeEnum"), type);
  }
  // The enumerated record owned its type's registration; a bounded one does not.
  EXPECT_EQ(QxTypeRepository::getType("PropInfoTestModeEnum"), nullptr);
  delete type;
  {
    Record r("Level");
    Peer::setPIConstraint(r, kPIConstraintBounded);
    Peer::initQxValuesBeforeAdd(r, "double");
  }
  EXPECT_NE(QxTypeRepository::getType("double"), nullptr);
}

TEST_F(PropInfoTest, ReadOnlyAndCallbackTypesSetTheHostAccess) {
  struct Case {
    int readOnly;
    const char* type;
    bool externalSet;
    bool abortSet;  // asked for; callbacks never abort a set
  } cases[] = {{kPIReadOnlyAlways, "string", false, true},
               {kPIReadOnlyNever, "string", true, true},
               {kPIReadOnlyNever, "PULVRA callback", true, false},
               {kPIReadOnlyNever, "double", true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    Record r("P");
    Peer::setPIReadOnly(r, c.readOnly);
    Peer::setQxAbortSetAccess(r, true);
    Peer::initQxValuesBeforeAdd(r, c.type);
    EXPECT_EQ(r.isExternalSetAccess(), c.externalSet);
    EXPECT_EQ(r.isAbortSetAccess(), c.abortSet);
  }
}

TEST_F(PropInfoTest, StorageTypeByDataType) {
  struct Case {
    const char* type;
    int storage;
  } cases[] = {{"double", kStorageTypeDouble},     {"int", kStorageTypeInt32},
               {"string", kStorageTypeString},     {"PULVRA array", kStorageTypeHvArray},
               {"NReals", kStorageTypeRealVector}, {"Nints", kStorageTypeIntVector},
               {"handle", kStorageTypeOther},      {"bool", kStorageTypeOther},
               {"no such type", kStorageTypeOther}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    Record r("P");
    Peer::initQxValuesBeforeAdd(r, c.type);
    EXPECT_EQ(r.getPropertyStorageType(), c.storage);
    EXPECT_EQ(r.getPropertyStorageType(), c.storage) << "cached answer";
  }
}

TEST_F(PropInfoTest, OnlyUserDataMayHoldObjectsAmongHostArrays) {
  for (const char* name : {"UserData", "userdata", "USERDATA"}) {
    Record r(name);
    Peer::initQxValuesBeforeAdd(r, "PULVRA array");
    EXPECT_EQ(r.canContainQxInterfaces(nullptr),
              r.QxPropInfoTemplate::canContainQxInterfaces(nullptr))
        << name;
  }
  Record other("Data");
  Peer::initQxValuesBeforeAdd(other, "PULVRA array");
  EXPECT_FALSE(other.canContainQxInterfaces(nullptr));
}

TEST_F(PropInfoTest, DescriptionLinesAreIndented) {
  Record r("P");
  r.addDescriptionLine("First line.", nullptr, false);
  r.addDescriptionLine("", "", false);
  r.addDescriptionLine("Second.", "  ", false);
  EXPECT_EQ(r.getDescription(), "    First line.\n    \n      Second.\n");
  EXPECT_EQ(r.getPIDescription(), r.getDescription());
  r.setDescription("replaced");
  EXPECT_EQ(r.getDescription(), "replaced");
}

struct CountingGet : IGetFcn {
  explicit CountingGet(int* deaths) : deaths(deaths) {}
  ~CountingGet() override { ++*deaths; }
  void* get(QxInterface*, const KTIPropInfo*) override { return nullptr; }
  int* deaths;
};

TEST_F(PropInfoTest, CustomFunctionsAreSharedAndReleasedWithTheLastReference) {
  int deaths = 0;
  boost::shared_ptr<IGetFcn> kept;
  {
    Record r("P");
    r.setCustomGetFcn(new CountingGet(&deaths));
    kept = r.getCustomGetFcn();
    r.setCustomGetFcn(new CountingGet(&deaths));
    EXPECT_EQ(deaths, 0) << "the first function is still referenced";
    EXPECT_NE(r.getCustomGetFcn(), kept);
    EXPECT_EQ(r.getCustomSetFcn(), nullptr);
  }
  EXPECT_EQ(deaths, 1);
  kept.reset();
  EXPECT_EQ(deaths, 2);
}

}  // namespace
}  // namespace zelobjsys
