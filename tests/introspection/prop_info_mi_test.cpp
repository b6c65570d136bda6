// Tests of "propinfo" called through the host: what only C++ reaches.
#include "zelobjsys/prop_info_mi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/hv_values.h"
#include "introspection/introspection_fixture.h"

namespace zelobjsys {
namespace {

using PropInfoMITest = IntrospectionTest;

std::vector<std::string> fieldNames(const hvArray* s) {
  std::vector<std::string> names;
  for (int k = 0; k < hvGetNumberOfFields(s); ++k) names.push_back(hvGetFieldNameByNumber(s, k));
  return names;
}

std::string text(const hvArray* s, const char* field) {
  return zelhox::fcns::getString(hvGetField(s, 0, field));
}

// Abbreviations, kinds of properties, order and odd arguments are in the shell tests.
TEST_F(PropInfoMITest, AnInvisiblePropertyAnswersWhenNamed) {
  ZLScopedHvArray info(invoke("propinfo", {handle_, ZLScopedHvArray(hvCreateString("Secret"))}));
  ASSERT_TRUE(hvIsStruct(info));
  EXPECT_EQ(fieldNames(info),
            (std::vector<std::string>{"Type", "Constraint", "ConstraintValue", "DefaultValue",
                                      "ReadOnly", "DeviceSpecific"}));
  EXPECT_EQ(text(info, "DefaultValue"), "s");
}

TEST_F(PropInfoMITest, ValuesAreCopiesAndDefaultsPassThroughTheType) {
  ZLScopedHvArray voltage(
      invoke("propinfo", {handle_, ZLScopedHvArray(hvCreateString("Voltage"))}));
  const hvArray* bounds = hvGetField(voltage, 0, "ConstraintValue");
  EXPECT_EQ(hvtest::doubles(bounds), (std::vector<double>{0, 10}));
  EXPECT_NE(bounds, testproduct::recordOf(schema_, "Voltage")->getPIConstraintValue());
  EXPECT_EQ(hvGetScalar(hvGetField(voltage, 0, "DefaultValue")), 5);

  // The default was given as "manual"; the type gives it back as it lists it.
  ZLScopedHvArray mode(invoke("propinfo", {handle_, ZLScopedHvArray(hvCreateString("Mode"))}));
  const PropInfo* modeRecord = testproduct::recordOf(schema_, "Mode");
  EXPECT_EQ(zelhox::fcns::getString(modeRecord->getPIDefaultValue()), "manual");
  EXPECT_EQ(text(mode, "DefaultValue"), "Manual");
  EXPECT_EQ(hvtest::texts(hvGetField(mode, 0, "ConstraintValue")),
            (std::vector<std::string>{"auto", "Manual", "off"}));
}

TEST_F(PropInfoMITest, MissingOrDeletedObjectIsRefused) {
  object_->destroy(QxDatabaseClient::getInternalClient());
  // The host refuses a handle of a deleted object (in the shell tests); the method refuses one
  // that reaches it some other way.
  PropInfoMI method;
  int n = -1;
  void* out[1] = {nullptr};
  for (QxInterface* object : {object_, static_cast<QxInterface*>(nullptr)}) {
    void* args[1] = {object};
    EXPECT_EQ(
        hostErrorText([&] { method.invokeMethod(method.getMethodSignature(0), &n, out, 1, args); }),
        "vornix:propinfo:invalidObject|Invalid or deleted object.");
    EXPECT_EQ(n, 0);
  }
}

}  // namespace
}  // namespace zelobjsys
