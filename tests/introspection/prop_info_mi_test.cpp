// Tests of "propinfo" called through the host: what only C++ reaches. Abbreviations, kinds of
// properties, order, hidden fields and odd arguments are in the shell tests.
#include "zelobjsys/prop_info_mi.h"

#include <gtest/gtest.h>

#include <string>

#include "introspection/introspection_fixture.h"

namespace zelobjsys {
namespace {

using PropInfoMITest = IntrospectionTest;

TEST_F(PropInfoMITest, ValuesAreCopiesInvisibleOnesAnswerAndDefaultsPassThroughTheType) {
  auto info = [&](const char* name) {
    return invoke("propinfo", {handle_, ZLScopedHvArray(hvCreateString(name))});
  };
  ZLScopedHvArray secret(info("Secret"));
  EXPECT_EQ(zelhox::fcns::getString(hvGetField(secret, 0, "DefaultValue")), "s");
  ZLScopedHvArray voltage(info("Voltage"));
  const hvArray* bounds = hvGetField(voltage, 0, "ConstraintValue");
  EXPECT_EQ(hvGetPr(bounds)[1], 10);
  EXPECT_NE(bounds, testproduct::recordOf(schema_, "Voltage")->getPIConstraintValue());
  // The default was given as "manual"; the type gives it back as it lists it.
  ZLScopedHvArray mode(info("Mode"));
  EXPECT_EQ(zelhox::fcns::getString(testproduct::recordOf(schema_, "Mode")->getPIDefaultValue()),
            "manual");
  EXPECT_EQ(zelhox::fcns::getString(hvGetField(mode, 0, "DefaultValue")), "Manual");
}

TEST_F(PropInfoMITest, MissingOrDeletedObjectIsRefused) {
  object_->destroy(QxDatabaseClient::getInternalClient());
  PropInfoMI method;  // reached without the host, which refuses a deleted object itself
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
