// A device class with properties of several kinds, and helpers that call its methods through the
// host.
#ifndef ZELOBJSYS_TESTS_INTROSPECTION_INTROSPECTION_FIXTURE_H
#define ZELOBJSYS_TESTS_INTROSPECTION_INTROSPECTION_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/test_product.h"
#include "zelhost/objects/qx_method_info.h"
#include "zelhost/services/zelhox.h"

namespace zelobjsys {

class IntrospectionTest : public ::testing::Test {
 protected:
  // The standard properties that start with T, and: Voltage (bounded 0..10, one help line), Mode
  // (auto, Manual, off; default given as "manual"), Beta (double) and Secret (invisible).
  void SetUp() override {
    app_ = testproduct::startTestProduct();
    schema_ = new testproduct::TestSchema("IntroDev");
    app_->addLocalClass(schema_);  // the application owns it
    testproduct::Factory f(schema_, nullptr);
    for (const char* name : {"Tag", "Type", "TimerFcn", "TimerPeriod", "Timeout"}) {
      schema_->addGenericProperty(&f, name);
    }
    void* voltage = f.createDoubleProperty("Voltage", 0, 10, 5);
    f.addPropHelpLine(voltage, "Output voltage in volts.");
    f.addProperty(voltage, true);
    void* mode = f.createEnumProperty("Mode", "auto", 1);
    f.addEnumValue(mode, "Manual", 2);
    f.addEnumValue(mode, "off", 3);
    f.setDefaultValue(mode, "manual");
    f.addProperty(mode, false);
    f.addProperty(f.createDoubleProperty("Beta", 2), false);
    void* secret = f.createStringProperty("Secret", "s");
    f.setVisible(secret, KTIPropFactory::kVisibleNone);
    f.addProperty(secret, false);
    object_ = schema_->createInstance(nullptr, nullptr, 0);
    handle_.reset(hvCreateObjectHandle(object_));
  }
  void TearDown() override { testproduct::stopTestProduct(); }

  // Calls a method of the class through the host with the given values.
  hvArray* invoke(const char* method, const std::vector<const hvArray*>& args) {
    return hoxInvokeMethod(schema_, method, static_cast<int>(args.size()), args.data());
  }
  // The error such a call raises ("id|message"), or "(no error)".
  std::string invokeError(const char* method, const std::vector<const hvArray*>& args) {
    return hostErrorText([&] { ZLScopedHvArray result(invoke(method, args)); });
  }

  QxApplication* app_ = nullptr;
  testproduct::TestSchema* schema_ = nullptr;
  QxInterface* object_ = nullptr;
  ZLScopedHvArray handle_;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_TESTS_INTROSPECTION_INTROSPECTION_FIXTURE_H
