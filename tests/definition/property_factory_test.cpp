// Tests of PropertyFactory from C++: the create operations files cannot reach, the setters, adding
// to a class or an object. A whole product used through the host is in the shell scripts.
#include "zelobjsys/property_factory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "common/hv_values.h"
#include "common/test_product.h"
#include "zelhost/objects/qx_method_info.h"
#include "zelobjsys/application_type_manager.h"
#include "zelobjsys/pi_identifiers.h"

namespace zelobjsys {
namespace {

using namespace testproduct;
using namespace hvtest;

class PropertyFactoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    manager_ = ApplicationManager::getInstance();
    manager_->addProductApplication(kProductName);
    schema_ = new TestSchema("Dev");
    ASSERT_TRUE(manager_->addProductClass(kProductName, schema_));
  }
  void TearDown() override {
    if (ApplicationManager::isInitialized()) manager_->removeProductObjects(kProductName, false);
    stopTestProduct();
  }
  QxInterface* newObject() {
    QxInterface* object = schema_->createInstance(nullptr, nullptr, 0);
    manager_->addProductObject(kProductName, object);
    return object;
  }

  ApplicationManager* manager_ = nullptr;
  TestSchema* schema_ = nullptr;
};

// The kinds a property file defines (double, int and their constraints, string, enumeration) are
// in the shell tests; these are the ones only C++ creates.
TEST_F(PropertyFactoryTest, EveryCreateOperationFollowsTheTable) {
  Factory f(schema_, "");
  QxInterface* member = newObject();
  const std::vector<QxInterface*> members{member, member};
  ZLScopedHvArray structure(hvCreateStructMatrix(1, 1, 0, nullptr));
  ZLScopedHvArray anything(hvCreateDoubleScalar(4));
  const struct {
    const char* name;
    void* handle;
    const char* dataType;
    int type, constraint;
    std::vector<double> values;  // bounds for "bounded", then the numeric default
  } cases[] = {
      {"PDR",
       f.createPositiveDoubleRangeProperty("PDR", 1, 9, 2, 3),
       "PositiveDoubleRange",
       2,
       0,
       {1, 9, 2, 3}},
      {"DP", f.createDoublePairProperty("DP", -5, 5, -1, 1), "DoublePair", 2, 0, {-5, 5, -1, 1}},
      {"DA", f.createDoubleArrayProperty("DA", {1, 2, 3}), "NReals", 2, 3, {1, 2, 3}},
      {"IP", f.createIntPairProperty("IP", -3, 3, 1, 2), "IntPair", 2, 0, {-3, 3, 1, 2}},
      {"IA", f.createIntArrayProperty("IA", {4, 5}), "Nints", 2, 3, {4, 5}},
      {"H", f.createHandleProperty("H", kPITypeAny, member), "handle", 0, 3, {}},
      {"HV", f.createHandleVectorProperty("HV", kPITypeCell, &members), "handle vector", 5, 3, {}},
      {"A", f.createHvArrayProperty("A", anything), "PULVRA array", 0, 3, {4}},
      {"AT", f.createHvArrayProperty("AT", anything, kPITypeCell), "PULVRA array", 5, 3, {4}},
      {"CB", f.createCallbackProperty("CB", "myfcn"), "StrictHCallback", 1, 1, {}},
      {"ST", f.createStructureProperty("ST", structure), "PULVRAStructure", 4, 3, {}},
  };
  for (const auto& c : cases) f.addProperty(c.handle, false);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PropInfo* record = recordOf(schema_, c.name);
    ASSERT_NE(record, nullptr);
    ASSERT_NE(record->getQxDataType(), nullptr);
    EXPECT_STREQ(record->getQxDataType()->getName(), c.dataType);
    EXPECT_EQ(record->getPIType(), c.type);
    EXPECT_EQ(record->getPIConstraint(), c.constraint);
    std::vector<double> values = doubles(record->getPIConstraintValue());
    if (hvIsDouble(record->getPIDefaultValue())) {
      for (double v : doubles(record->getPIDefaultValue())) values.push_back(v);
    }
    EXPECT_EQ(values, c.values);
    EXPECT_FALSE(record->getPIDeviceSpecific());
    // Every record's host object shows its fields through "zlprop".
    EXPECT_EQ(record->getInterface()->getDatabaseClass(), manager_->getPropInfoQxC());
  }
  EXPECT_EQ(hvGetObjectHandle(recordOf(schema_, "H")->getPIDefaultValue()), member);
  EXPECT_EQ(hvGetNumberOfElements(recordOf(schema_, "HV")->getPIDefaultValue()), 2u);
  PropInfo* callback = recordOf(schema_, "CB");
  EXPECT_STREQ(hvGetFunctionHandle(callback->getPIDefaultValue()), "myfcn");
  EXPECT_EQ(callback->getPICategory(), kPICategoryCallback);
  EXPECT_TRUE(hvIsStruct(recordOf(schema_, "ST")->getPIDefaultValue()));
}

TEST_F(PropertyFactoryTest, NoDefaultWhereNoneIsGiven) {
  Factory f(schema_, "");
  const std::vector<QxInterface*> none;
  void* handles[] = {f.createHandleProperty("H", 0, nullptr),
                     f.createHandleVectorProperty("HV", 0, nullptr),
                     f.createCallbackProperty("CB", ""),
                     f.createCallbackProperty("CBN", static_cast<const char*>(nullptr)),
                     f.createStringProperty("S", nullptr), f.createHvArrayProperty("A", nullptr),
                     f.createStructureProperty("ST", nullptr),
                     // The protected form with "handle" and an empty list has no object to hold.
                     f.createHandleProperty("HE", 0, "handle", &none)};
  for (void* h : handles) f.addProperty(h, true);
  for (const char* name : {"H", "HV", "CB", "CBN", "S", "A", "ST", "HE"}) {
    SCOPED_TRACE(name);
    ASSERT_NE(recordOf(schema_, name), nullptr);
    EXPECT_TRUE(hvIsEmpty(recordOf(schema_, name)->getPIDefaultValue()));
    EXPECT_TRUE(recordOf(schema_, name)->getPIDeviceSpecific());
  }
}

TEST_F(PropertyFactoryTest, SettersRefineTheRecordAndIgnoreNullHandles) {
  Factory f(schema_, "");
  void* mode = f.createEnumProperty("Mode", "auto", 1);
  f.addEnumValue(mode, "Manual", 2);
  f.addEnumValue(mode, "AUTO", 3);  // there already, in another case
  f.addEnumValue(mode, "Hand", 2);  // a value taken by another text
  f.addEnumValue(mode, nullptr, 4);
  f.setDefaultValue(mode, 2.9);  // truncated to 2: Manual
  f.addProperty(mode, 7, true);
  PropInfo* record = recordOf(schema_, "Mode");
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(texts(record->getPIConstraintValue()), (std::vector<std::string>{"auto", "Manual"}));
  for (double v : {7.0, std::nan(""), 1e300, -1e300}) {
    f.setDefaultValue(mode, v);  // no such value: nothing changes
    EXPECT_EQ(zelhox::fcns::getString(record->getPIDefaultValue()), "Manual");
  }
  EXPECT_EQ(record->getPIIdentifier(), 7);
  const QxDataType* type = record->getQxDataType();
  ASSERT_TRUE(type->isEnumeration());
  EXPECT_EQ(*static_cast<const int*>(type->getEnumerationType()->getEnumValue("manual")), 2);

  void* volts = f.createDoubleProperty("Volts", 1);
  // Enumeration operations on a record that is no enumeration change nothing.
  f.addEnumValue(volts, "high", 1);
  f.setDefaultValue(volts, 2.5);
  f.setIdentifier(volts, 12);
  f.setPropReadOnly(volts, "always");
  f.setPropReadOnly(volts, "no such rule");  // ignored
  f.setInitAfterCreate(volts, false);
  f.setAbortSetAllowed(volts, true);
  f.setPropCategory(volts, kPICategoryStatus);
  f.addPropHelpLine(volts, nullptr);
  f.setVisible(volts, KTIPropFactory::kVisibleUser);
  f.setVisible(volts, static_cast<KTIPropFactory::VisibleAccess>(3));  // not a value: ignored
  f.addProperty(volts, false);
  f.addProperty(volts, false);  // the class holds it already: ignored
  PropInfo* v = recordOf(schema_, "Volts");
  EXPECT_EQ(doubles(v->getPIDefaultValue()), std::vector<double>{2.5});
  EXPECT_TRUE(hvIsEmpty(v->getPIConstraintValue()));
  EXPECT_EQ(v->getPIIdentifier(), 12);
  EXPECT_EQ(v->getPIReadOnly(), kPIReadOnlyAlways);
  EXPECT_FALSE(v->isExternalSetAccess() || v->isInitAccess() || v->isInspectAccess());
  EXPECT_TRUE(v->isAbortSetAccess() && v->isQxVisible());
  EXPECT_EQ(v->getPICategory(), kPICategoryStatus);
  for (int access : {0, 1, 2}) {  // none, user, all
    SCOPED_TRACE(access);
    const std::string name = "V" + std::to_string(access);
    void* h = f.createStringProperty(name.c_str(), "");
    f.setVisible(h, static_cast<KTIPropFactory::VisibleAccess>(access));
    f.addProperty(h, false);
    EXPECT_EQ(recordOf(schema_, name.c_str())->isQxVisible(), access > 0);
    EXPECT_EQ(recordOf(schema_, name.c_str())->isInspectAccess(), access == 2);
  }
  // Null handles are ignored by everything.
  f.addEnumValue(nullptr, "x", 1);
  f.setDefaultValue(nullptr, 1.0);
  f.setDefaultValue(nullptr, "x");
  f.setDefaultValue(nullptr, static_cast<const hvArray*>(nullptr));
  f.setPropReadOnly(nullptr, "always");
  f.setVisible(nullptr, KTIPropFactory::kVisibleAll);
  f.setCustomGetFcn(nullptr, nullptr);
  f.addProperty(nullptr, true);
  f.addProperty(nullptr, 3, true);
  f.addPropHelpFromXML(nullptr, "x");
}

TEST_F(PropertyFactoryTest, APropertyWithoutANameDefinesNothing) {
  Factory f(schema_, "");
  for (const char* name : {"", static_cast<const char*>(nullptr)}) {
    for (void* h : {f.createDoubleProperty(name, 1), f.createEnumProperty(name, "a", 0),
                    f.createStringProperty(name, "x"), f.createCallbackProperty(name, "")}) {
      EXPECT_EQ(h, nullptr);
      f.addProperty(h, false);
    }
  }
  EXPECT_EQ(schema_->getProperty("", true), nullptr);
  QxInterface* object = newObject();
  EXPECT_EQ(Factory(object, "").createIntProperty("", 3), nullptr);
  EXPECT_EQ(object->getInstanceProperty(""), nullptr);
}

TEST_F(PropertyFactoryTest, ATakenEnumerationTypeNameGetsANumber) {
  Factory f(schema_, "");
  auto squatter = std::make_unique<EnumStringType>("Mode_DevEnumType");
  QxTypeRepository::addType(squatter.get());
  f.addProperty(f.createEnumProperty("Mode", "a", 0), false);
  const std::string name = recordOf(schema_, "Mode")->getQxDataType()->getName();
  EXPECT_EQ(name.rfind("Mode_DevEnumType", 0), 0u);
  EXPECT_NE(name, "Mode_DevEnumType");
  EXPECT_EQ(manager_->getTypeManager(kProductName)->getType(name.c_str()),
            recordOf(schema_, "Mode")->getQxDataType());
  QxTypeRepository::removeType(squatter.get());
}

// Instance properties added through a container (enumerations included) are in the shell scripts.
TEST_F(PropertyFactoryTest, ObjectsReceiveInstanceProperties) {
  QxInterface* object = newObject();
  {
    Factory onObject(object, nullptr);  // no device name
    EXPECT_TRUE(onObject.isInstanceFactory());
    void* h = onObject.createEnumProperty("Gain", "low", 0);
    onObject.addEnumValue(h, "high", 1);
    onObject.addProperty(h, false);
  }
  QxInterface* gain = object->getInstanceProperty("Gain");
  ASSERT_NE(gain, nullptr);
  EXPECT_NE(dynamic_cast<InstancePropInfo*>(static_cast<QxPropInfo*>(gain->getObject())), nullptr);
  EXPECT_EQ(gain->getDatabaseClass(), manager_->getPropInfoQxC());
  EXPECT_EQ(recordOf(schema_, "Gain"), nullptr);  // not a class property
  EXPECT_FALSE(Factory(schema_, "").isInstanceFactory());
  ZLScopedHvArray gainValue(object->getPropertyValue("gain"));
  EXPECT_EQ(zelhox::fcns::getString(gainValue), "low");
}

TEST_F(PropertyFactoryTest, RecordsThatAreNeverAddedDieWithTheFactory) {
  Factory f(schema_, "");
  f.createDoubleProperty("Unused", 1);
  f.createEnumProperty("UnusedMode", "a", 0);
  void* twin = f.createDoubleProperty("Twin", 1);
  f.addProperty(f.createDoubleProperty("Twin", 2), false);
  // The class refuses a second "Twin"; the record stays the factory's.
  EXPECT_NE(hostErrorText([&] { f.addProperty(twin, false); }), "(no error)");
  // LeakSanitizer checks that the three records are freed with f.
}

}  // namespace
}  // namespace zelobjsys
