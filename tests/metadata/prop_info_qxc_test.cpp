// Tests of the property-info class "zlprop": enumerations, the seven fields, record lifetime.
#include "zelobjsys/prop_info_qxc.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/host_errors.h"
#include "common/hv_values.h"
#include "common/test_records.h"
#include "zelhost/objects/qx_application.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/types/data_type.h"

namespace zelobjsys {
namespace {

using Peer = PropInfoTestPeer;

const char* const kEnumNames[] = {kPITypeEnumName, kPIConstraintEnumName, kPIReadOnlyEnumName,
                                  kPICategoryEnumName};

// A record that counts its deletions.
class CountedRecord : public TestPropInfo<> {
 public:
  explicit CountedRecord(const char* name) : TestPropInfo<>(name) {}
  ~CountedRecord() override { ++deleted; }
  static int deleted;
};
int CountedRecord::deleted = 0;

using hvtest::row;

class PropInfoQxCTest : public ::testing::Test {
 protected:
  void SetUp() override { CountedRecord::deleted = 0; }
  void TearDown() override {
    cls_.reset();
    QxApplicationManager::shutdown();
  }

  // A bounded, always read-only, device-specific status property of type
  // double with default 5, whose host object has the class "zlprop". The
  // host object owns the record from here on.
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

  // The descriptor of one of the class's fields.
  QxPropInfoTemplate* field(const char* name) {
    QxInterface* host = cls_->getProperty(name);
    return host != nullptr ? static_cast<QxPropInfoTemplate*>(host->getObject()) : nullptr;
  }

  static void destroy(QxInterface* object) {
    object->destroy(QxDatabaseClient::getInternalClient());
  }

  std::unique_ptr<PropInfoQxC> cls_ = std::make_unique<PropInfoQxC>();
};

TEST_F(PropInfoQxCTest, TheClassRegistersItsEnumerationsAndTakesThemAway) {
  EXPECT_STREQ(cls_->getName(), "zlprop");
  QxInterface* schema = QxApplicationManager::getApplication("schema");
  ASSERT_NE(schema, nullptr);
  QxInterface* prop = static_cast<QxApplication*>(schema->getObject())->getLocalClass("prop");
  ASSERT_NE(prop, nullptr);
  EXPECT_EQ(cls_->getSuperClass(), static_cast<QxClass*>(prop->getObject()));

  const struct {
    const char* enumName;
    std::size_t count;
    const char* text;
    int value;
  } expected[] = {{kPITypeEnumName, 6, "cell", 5},
                  {kPIConstraintEnumName, 4, "enum", 2},
                  {kPIReadOnlyEnumName, 2, "never", 1},
                  {kPICategoryEnumName, 4, "trigger", 2}};
  for (const auto& e : expected) {
    SCOPED_TRACE(e.enumName);
    auto* type = dynamic_cast<TypedEnumStringType*>(QxTypeRepository::getType(e.enumName, true));
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->getNumberOfValues(), e.count);
    const void* value = type->getEnumerationType()->getEnumValue(e.text);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(*static_cast<const int32_t*>(value), e.value);
  }
  // A second class shares them; only the last one to go removes them.
  auto second = std::make_unique<PropInfoQxC>();
  cls_.reset();
  EXPECT_NE(QxTypeRepository::getType(kPITypeEnumName, true), nullptr);
  second.reset();
  for (const char* name : kEnumNames) EXPECT_EQ(QxTypeRepository::getType(name, true), nullptr);
}

TEST_F(PropInfoQxCTest, AnEnumerationRegisteredBeforehandIsUsedUnchangedAndNotDeleted) {
  cls_.reset();
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

  ZLScopedHvArray seven(hvCreateDoubleScalar(7));
  field("DefaultValue")->setValue(client, host, seven.get());
  EXPECT_TRUE(hvIsEqual(r->getPIDefaultValue(), seven));
  ASSERT_NE(r->getPropertyDefault(), nullptr);
  EXPECT_EQ(*static_cast<double*>(r->getPropertyDefault()), 7);

  // A default that the data type cannot convert leaves both defaults as they were.
  ZLScopedHvArray word(hvCreateString("abc"));
  auto refused = hostError<ErrorIdException>(
      [&] { field("DefaultValue")->setValue(client, host, word.get()); });
  ASSERT_NE(refused, nullptr);
  EXPECT_STREQ(refused->getId(), "PULVRA:class:notNumericScalar");
  EXPECT_TRUE(hvIsEqual(r->getPIDefaultValue(), seven));
  ASSERT_NE(r->getPropertyDefault(), nullptr);
  EXPECT_EQ(*static_cast<double*>(r->getPropertyDefault()), 7);

  ZLScopedHvArray range(row({1, 2}));
  field("ConstraintValue")->setValue(client, host, range.get());
  EXPECT_TRUE(hvIsEqual(r->getPIConstraintValue(), range));
  EXPECT_NE(r->getPIConstraintValue(), range.get());

  const int32_t never = kPIReadOnlyNever, callback = kPICategoryCallback, str = kPITypeString;
  const int32_t enumerated = kPIConstraintEnum;
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
// metadata_fields.zel.
TEST_F(PropInfoQxCTest, AnObjectThatIsNoRecordGivesAnErrorNotACrash) {
  EXPECT_EQ(cls_->createClassSpecificObject(nullptr), nullptr);
  EXPECT_EQ(cls_->createClassSpecificObject(nullptr, nullptr, 0), nullptr);
  QxInterface* bare =
      cls_->createObject(QxDatabaseClient::getInternalClient(), nullptr, nullptr, 0, nullptr);
  ASSERT_NE(bare, nullptr);
  auto e = hostError<ErrorIdException>([&] { ZLScopedHvArray v(bare->getPropertyValue("Type")); });
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(e->getId(), "vornix:zlprop:notAProperty");
  EXPECT_STREQ(e->getMessage(), "The object is not the descriptor of a property.");
  destroy(bare);
}

// What users read of every field is in the shell scripts; the array fields
// hand out the record's own arrays, which stay the record's.
TEST_F(PropInfoQxCTest, ArrayFieldsAreTheRecordsOwnAndRecordsDieWithTheirHostObjects) {
  CountedRecord* r = makeRecord();
  QxInterface* host = r->getInterface();
  ZLScopedHvArray status(host->getPropertyValue("Category"));
  EXPECT_EQ(zelhox::fcns::getString(status), "status");
  EXPECT_EQ(field("DefaultValue")->getValue(nullptr, host), r->getPIDefaultValue());
  EXPECT_EQ(field("ConstraintValue")->getValue(nullptr, host), r->getPIConstraintValue());
  // Either way the host object goes, the record goes once (LeakSanitizer
  // checks that nothing is left).
  destroy(host);
  EXPECT_EQ(CountedRecord::deleted, 1);
  makeRecord();
  makeRecord();
  cls_.reset();
  QxApplicationManager::shutdown();
  EXPECT_EQ(CountedRecord::deleted, 3);
}

}  // namespace
}  // namespace zelobjsys
