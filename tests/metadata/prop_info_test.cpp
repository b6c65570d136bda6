// Tests of the property definition record, of its property-info class "zlprop" and of the
// PropInfoManager translations.
#include "zelobjsys/prop_info.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/host_errors.h"
#include "common/hv_values.h"
#include "common/test_product.h"

namespace zelobjsys {

// Ends the singleton, which only the application manager may do otherwise.
class PropInfoManagerTestPeer {
 public:
  static void destroy() { PropInfoManager::destroyInstance(); }
};

namespace {

using Record = TestPropInfo<>;
using Peer = PropInfoTestPeer;
using hvtest::row;

class PropInfoTest : public ::testing::Test {
 protected:
  void TearDown() override { QxApplicationManager::shutdown(); }
};

TEST_F(PropInfoTest, NullConstraintValueIsTheEmptyValueOfThePIType) {
  for (int type : {kPITypeAny, kPITypeCallback, kPITypeString, kPITypeStruct}) {
    SCOPED_TRACE(type);
    const bool text = type == kPITypeCallback || type == kPITypeString;
    Record r("P");
    Peer::setPIType(r, type);
    r.setPIConstraintValue(nullptr);
    r.setPIDefaultValue(nullptr);
    for (const hvArray* v : {r.getPIConstraintValue(), r.getPIDefaultValue()})
      EXPECT_TRUE(v && hvIsEmpty(v) && hvIsChar(v) == text && hvIsDouble(v) == !text);
  }
}

TEST_F(PropInfoTest, ValuesAreCopiedAndTheFactoryDefaultFollowsTheDefault) {
  Record r("Gain");
  ZLScopedHvArray bounds(row({0, 10})), five(hvCreateDoubleScalar(5)),
      seven(hvCreateDoubleScalar(7));
  r.setPIConstraintValue(bounds);
  EXPECT_NE(r.getPIConstraintValue(), bounds.get());
  EXPECT_TRUE(hvIsEqual(r.getPIConstraintValue(), bounds));
  r.setPIDefaultValue(five);
  EXPECT_EQ(r.getPropertyDefault(), nullptr);  // no data type yet
  Peer::initQxValuesBeforeAdd(r, "double");
  ASSERT_NE(r.getPropertyDefault(), nullptr);
  EXPECT_EQ(*static_cast<double*>(r.getPropertyDefault()), 5.0);
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
    EXPECT_EQ(r.getPropertyDefault(), nullptr);  // an enumeration without default has none
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

// Storage types by data type (the types devices have are in the shell scripts), the host access
// that read-only rules and callback types give, and host arrays that may hold objects.
TEST_F(PropInfoTest, DataTypeAndRulesSetStorageAndHostAccess) {
  struct Case {
    const char* type;
    int storage, readOnly;
    bool externalSet, abortSet;  // abort asked for; callbacks never abort a set
  } cases[] = {{"string", kStorageTypeString, kPIReadOnlyAlways, false, true},
               {"PULVRA callback", kStorageTypeOther, kPIReadOnlyNever, true, false},
               {"PULVRA array", kStorageTypeHvArray, kPIReadOnlyNever, true, true},
               {"NReals", kStorageTypeRealVector, kPIReadOnlyNever, true, true},
               {"Nints", kStorageTypeIntVector, kPIReadOnlyNever, true, true},
               {"bool", kStorageTypeOther, kPIReadOnlyNever, true, true},
               {"no such type", kStorageTypeOther, kPIReadOnlyNever, true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    Record r("P");
    Peer::setPIReadOnly(r, c.readOnly);
    Peer::setQxAbortSetAccess(r, true);
    Peer::initQxValuesBeforeAdd(r, c.type);
    EXPECT_EQ(r.getPropertyStorageType(), c.storage);
    EXPECT_EQ(r.getPropertyStorageType(), c.storage);  // the cached answer
    EXPECT_EQ(r.isExternalSetAccess(), c.externalSet);
    EXPECT_EQ(r.isAbortSetAccess(), c.abortSet);
  }
  for (const char* name : {"UserData", "userdata", "Data"}) {
    Record r(name);
    Peer::initQxValuesBeforeAdd(r, "PULVRA array");
    EXPECT_EQ(r.canContainQxInterfaces(nullptr), name[0] != 'D') << name;
  }
}

TEST_F(PropInfoTest, DescriptionLinesAreIndented) {
  Record r("P");
  r.addDescriptionLine("First line.", nullptr, false);
  r.addDescriptionLine("", "", false);
  r.addDescriptionLine("Second.", "  ", false);
  EXPECT_EQ(r.getPIDescription(), "    First line.\n    \n      Second.\n");
}

class CountedRecord : public TestPropInfo<> {
 public:
  explicit CountedRecord(const char* name) : TestPropInfo<>(name) {}
  ~CountedRecord() override { ++deleted; }
  static int deleted;
};
int CountedRecord::deleted = 0;

class PropInfoQxCTest : public ::testing::Test {
 protected:
  void SetUp() override { CountedRecord::deleted = 0; }
  void TearDown() override {
    cls_.reset();
    PropInfoManagerTestPeer::destroy();
    QxApplicationManager::shutdown();
  }
  // Bounded, always read-only, device-specific, status, double, default 5; its host object owns it.
  CountedRecord* makeRecord() {
    auto* r = new CountedRecord("Voltage");
    Peer::setPIType(*r, kPITypeDouble);
    Peer::setPIConstraint(*r, kPIConstraintBounded);
    Peer::setPIReadOnly(*r, kPIReadOnlyAlways);
    Peer::setPICategory(*r, kPICategoryStatus);
    Peer::setPIDeviceSpecific(*r, true);
    ZLScopedHvArray bounds(row({0, 10})), five(hvCreateDoubleScalar(5));
    r->setPIConstraintValue(bounds);
    r->setPIDefaultValue(five);
    Peer::initQxValuesBeforeAdd(*r, "double");
    r->getInterface()->setDatabaseClass(cls_.get());
    return r;
  }
  QxPropInfoTemplate* field(const char* name) {
    QxInterface* host = cls_->getProperty(name);
    return host != nullptr ? static_cast<QxPropInfoTemplate*>(host->getObject()) : nullptr;
  }
  static void destroy(QxInterface* object) {
    object->destroy(QxDatabaseClient::getInternalClient());
  }
  PropInfoManager& manager() { return *PropInfoManager::getInstance(); }

  std::unique_ptr<PropInfoQxC> cls_ = std::make_unique<PropInfoQxC>();
};

TEST_F(PropInfoQxCTest, TheClassRegistersItsEnumerationsAndTakesThemAway) {
  QxInterface* schema = QxApplicationManager::getApplication("schema");
  ASSERT_NE(schema, nullptr);
  QxInterface* prop = static_cast<QxApplication*>(schema->getObject())->getLocalClass("prop");
  ASSERT_NE(prop, nullptr);
  EXPECT_EQ(cls_->getSuperClass(), static_cast<QxClass*>(prop->getObject()));
  // A second class shares them; only the last one to go removes them.
  auto second = std::make_unique<PropInfoQxC>();
  cls_.reset();
  EXPECT_NE(QxTypeRepository::getType(kPITypeEnumName, true), nullptr);
  second.reset();
  for (const char* name :
       {kPITypeEnumName, kPIConstraintEnumName, kPIReadOnlyEnumName, kPICategoryEnumName}) {
    EXPECT_EQ(QxTypeRepository::getType(name, true), nullptr) << name;
  }
  // One registered beforehand is used unchanged and not deleted.
  EnumStringType own(kPIReadOnlyEnumName);
  own.addEnumValue("sometimes", 7);
  QxTypeRepository::addType(&own);
  cls_ = std::make_unique<PropInfoQxC>();
  EXPECT_EQ(QxTypeRepository::getType(kPIReadOnlyEnumName, true), &own);
  EXPECT_EQ(own.getNumberOfValues(), 1u);
  EXPECT_EQ(field("ReadOnly")->getDataType(), &own);
  cls_.reset();  // takes it out of the repository; `own` is freed by its owner
  EXPECT_EQ(QxTypeRepository::getType(kPIReadOnlyEnumName, true), nullptr);
}

TEST_F(PropInfoQxCTest, TheSystemWritesFieldsThroughTheirDescriptors) {
  CountedRecord* r = makeRecord();
  QxInterface* host = r->getInterface();
  QxDatabaseClient* client = QxDatabaseClient::getInternalClient();
  ZLScopedHvArray seven(hvCreateDoubleScalar(7)), word(hvCreateString("abc")), range(row({1, 2}));
  for (const hvArray* value : {seven.get(), word.get()}) {  // the text is refused: 7 stays
    SCOPED_TRACE(value == word.get());
    const std::string error =
        hostErrorText([&] { field("DefaultValue")->setValue(client, host, value); });
    EXPECT_EQ(error.substr(0, error.find('|')),
              value == word.get() ? "PULVRA:class:notNumericScalar" : "(no error)");
    EXPECT_TRUE(hvIsEqual(r->getPIDefaultValue(), seven));
    ASSERT_NE(r->getPropertyDefault(), nullptr);
    EXPECT_EQ(*static_cast<double*>(r->getPropertyDefault()), 7);
  }
  field("ConstraintValue")->setValue(client, host, range.get());
  EXPECT_TRUE(hvIsEqual(r->getPIConstraintValue(), range));
  EXPECT_NE(r->getPIConstraintValue(), range.get());
  const int32_t never = kPIReadOnlyNever, callback = kPICategoryCallback, str = kPITypeString,
                enumerated = kPIConstraintEnum;
  const bool no = false;
  field("ReadOnly")->setValue(client, host, &never);
  field("Category")->setValue(client, host, &callback);
  field("Type")->setValue(client, host, &str);
  field("Constraint")->setValue(client, host, &enumerated);
  field("DeviceSpecific")->setValue(client, host, &no);
  EXPECT_EQ((std::vector<int>{r->getPIReadOnly(), r->getPICategory(), r->getPIType(),
                              r->getPIConstraint(), r->getPIDeviceSpecific()}),
            (std::vector<int>{never, callback, str, enumerated, 0}));
  Peer::setPIConstraint(*r, kPIConstraintBounded);  // its data type is no enumeration of its own
  ZLScopedHvArray shown(host->getPropertyValue("Category"));
  EXPECT_EQ(zelhox::fcns::getString(shown), "callback");
  destroy(host);
}

// That users cannot set any field, and that a refused set changes nothing, is in
// metadata_fields.zel; what users read of every field is in the shell scripts.
TEST_F(PropInfoQxCTest, ArrayFieldsAreTheRecordsOwnAndRecordsDieWithTheirHostObjects) {
  EXPECT_FALSE(cls_->createClassSpecificObject(nullptr) ||
               cls_->createClassSpecificObject(nullptr, nullptr, 0));
  QxInterface* bare =
      cls_->createObject(QxDatabaseClient::getInternalClient(), nullptr, nullptr, 0, nullptr);
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(hostErrorText([&] { ZLScopedHvArray v(bare->getPropertyValue("Type")); }),
            "vornix:zlprop:notAProperty|The object is not the descriptor of a property.");
  destroy(bare);
  CountedRecord* r = makeRecord();
  QxInterface* host = r->getInterface();
  EXPECT_EQ(field("DefaultValue")->getValue(nullptr, host), r->getPIDefaultValue());
  EXPECT_EQ(field("ConstraintValue")->getValue(nullptr, host), r->getPIConstraintValue());
  // Either way the host object goes, the record goes once (LeakSanitizer checks the rest).
  destroy(host);
  EXPECT_EQ(CountedRecord::deleted, 1);
  makeRecord();
  makeRecord();
  cls_.reset();
  QxApplicationManager::shutdown();
  EXPECT_EQ(CountedRecord::deleted, 3);
}

// An enumeration's translations, a text none of its values is, and its values by identifier.
struct Translation {
  int (PropInfoManager::*id)(const char*) const;
  std::string (PropInfoManager::*text)(int) const;
  const char* unknown;
  std::vector<const char*> values;
};

TEST_F(PropInfoQxCTest, TheManagerTranslatesEveryValueBothWaysAndNothingElse) {
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
    for (int outside : {-1, count}) EXPECT_EQ((m.*e.text)(outside), "") << outside;
  }
  EXPECT_EQ(m.getConstraintID("ENUM"), 2);  // texts compare ignoring case
  EXPECT_EQ(m.addTypeValue(nullptr), -1);
  // Added values get new identifiers once; existing ones stay.
  EXPECT_EQ(
      (std::vector<int>{m.addReadOnlyValue("whileRunning"), m.addReadOnlyValue("WHILERUNNING"),
                        m.addTypeValue("double"), m.addTypeValue("matrix"),
                        m.addCategoryValue("acquisition"), m.getCategoryID("acquisition")}),
      (std::vector<int>{2, 2, 2, 6, 4, 4}));
  EXPECT_EQ(m.getReadOnlyString(2) + m.getTypeString(6), "whileRunningmatrix");
  // Added values go with the enumerations; a new class starts from the fixed ones.
  cls_.reset();
  cls_ = std::make_unique<PropInfoQxC>();
  EXPECT_EQ(m.getReadOnlyID("whileRunning"), -1);
  EXPECT_EQ(m.getReadOnlyString(2), "");
  // Without the property-info class there are no enumerations at all.
  cls_.reset();
  EXPECT_EQ(m.getTypeID("any") + m.addCategoryValue("custom"), -2);
  EXPECT_EQ(m.getReadOnlyString(0), "");
  EXPECT_EQ(QxTypeRepository::getType(kPICategoryEnumName, true), nullptr);
}

// Hiding through a device is in simdev_settings.zel.
TEST_F(PropInfoQxCTest, HiddenFieldsMatchExactlyAndGoWithTheManager) {
  PropInfoManager& m = manager();
  m.hideField("daq", "AnalogInput", "DefaultValue");
  EXPECT_TRUE(m.isFieldHidden("daq", "AnalogInput", "DefaultValue"));
  EXPECT_FALSE(m.isFieldHidden("daq", "AnalogInput", "defaultvalue"));
  EXPECT_FALSE(m.isFieldHidden("daq", "AnalogOutput", "DefaultValue"));
  EXPECT_FALSE(m.isFieldHidden("daqAnalog", "Input", "DefaultValue"));  // parts stay apart
  m.hideField(nullptr, "Scope", "Type");  // missing parts count as empty texts
  EXPECT_TRUE(m.isFieldHidden("", "Scope", "Type"));
  EXPECT_FALSE(m.isFieldHidden("Scope", nullptr, "Type"));
  PropInfoManagerTestPeer::destroy();
  EXPECT_FALSE(PropInfoManager::getInstance()->isFieldHidden("", "Scope", "Type"));
}

}  // namespace
}  // namespace zelobjsys
