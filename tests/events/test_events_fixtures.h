// Shared fixture of the event tests: bare objects with hand-built properties, a running event
// service, and host functions that log the callbacks they run.
#ifndef ZELOBJSYS_TESTS_EVENTS_TEST_EVENTS_FIXTURES_H
#define ZELOBJSYS_TESTS_EVENTS_TEST_EVENTS_FIXTURES_H

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/host_errors.h"
#include "common/test_records.h"
#include "zelhost/events/events.h"
#include "zelhost/objects/qx_interface.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/services.h"
#include "zelhost/services/zelhox.h"
#include "zelobjsys/fcns.h"
#include "zelobjsys/property.h"

namespace zelobjsys {
namespace eventstest {

// One run of the logging callback: the object value it got and a copy of the event.
struct CallbackRun {
  QxInterface* object = nullptr;  // null when the value was no object handle
  std::string objectText;         // the value's text when it was a string
  std::shared_ptr<hvArray> event;

  std::string type() const { return zelhox::fcns::getString(hvGetField(event.get(), 0, "Type")); }
  hvArray* data(const char* field) const {
    return hvGetField(hvGetField(event.get(), 0, "Data"), 0, field);
  }
};

class EventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zelutil::EventService::start();
    oldEvaluator_ = hoxSetCallbackEvaluator(nullptr);
    hoxRegisterFunction("evt_log", [this](int, hvArray*[], int nrhs, hvArray* prhs[]) {
      CallbackRun run;
      run.object = hvGetObjectHandle(prhs[0]);
      run.objectText = zelhox::fcns::getString(prhs[0]);
      if (nrhs > 1) run.event.reset(hvDuplicateArray(prhs[1]), hvDestroyArray);
      runs_.push_back(run);
      if (onRun_) onRun_(run);
    });
    hoxRegisterFunction("evt_fail", [](int, hvArray*[], int, hvArray*[]) {
      throw new ErrorIdException("test:callback:failed", "the callback failed");
    });
  }

  void TearDown() override {
    zelutil::EventService::stop();
    hoxUnregisterFunction("evt_log");
    hoxUnregisterFunction("evt_fail");
    hoxSetCallbackEvaluator(oldEvaluator_);
    HostInterruptState::SetInterruptPending(false);
    properties_.clear();  // before the records they point to
    records_.clear();
    for (auto& ref : objects_) ref->destroy(QxDatabaseClient::getInternalClient());
    objects_.clear();
  }

  // The fixture keeps a reference, so that the handle stays valid after a test destroys it.
  QxInterface* newObject() {
    QxInterface* object = hoxCreateObject(nullptr, nullptr);
    objects_.emplace_back(object->getReference());
    return object;
  }

  // A property entry of object with a record of that type, kept until the end of the test.
  Property* property(QxInterface* object, const char* name, const char* typeName,
                     const hvArray* defaultValue = nullptr) {
    auto record = std::make_unique<TestPropInfo<>>(name);
    record->setPIDefaultValue(defaultValue);
    PropInfoTestPeer::initQxValuesBeforeAdd(*record, typeName);
    properties_.push_back(std::make_unique<Property>(object, record.get()));
    records_.push_back(std::move(record));
    return properties_.back().get();
  }

  // A callback property holding a function handle to fn (none for null).
  Property* callbackProperty(QxInterface* object, const char* name, const char* fn) {
    Property* p = property(object, name, "PULVRA callback");
    if (fn != nullptr) setCallback(*p, fn);
    return p;
  }

  static void setCallback(Property& p, const char* fn) {
    ZLScopedHvArray handle(fcns::createFunctionHandle(fn));
    HCallback* callback = new HCallback(handle);
    p.setValue(callback, false);  // the property takes its own use
    callback->release(1);
  }

  static void setDouble(Property& p, double value) { p.setValue(&value, false); }

  std::vector<CallbackRun> runs_;
  std::function<void(const CallbackRun&)> onRun_;
  MessageCapture sinks_;
  std::vector<Message>& warnings_ = sinks_.warnings;
  std::vector<Message>& errors_ = sinks_.errors;

 private:
  std::vector<std::unique_ptr<QxInterface>> objects_;
  std::vector<std::unique_ptr<PropInfo>> records_;
  std::vector<std::unique_ptr<Property>> properties_;
  HCallbackEvaluator* oldEvaluator_ = nullptr;
};

}  // namespace eventstest
}  // namespace zelobjsys

#endif  // ZELOBJSYS_TESTS_EVENTS_TEST_EVENTS_FIXTURES_H
