// Tests of callback events driven through the event service by hand: what the callback gets,
// disabling, coalescing and flushing.
#include "zelobjsys/hcallback_event.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "events/test_events_fixtures.h"
#include "zelobjsys/hcallback_event_info.h"

namespace zelobjsys {
namespace eventstest {
namespace {

using zelutil::EventService;

// Runs execute directly, which the service otherwise does.
class DirectEvent : public HCallbackEvent {
 public:
  using HCallbackEvent::execute;
  using HCallbackEvent::HCallbackEvent;
};

// Hands over a new event; true when it was queued.
bool hand(Property* prop, QxInterface* object, bool coalescable,
          const std::string& wrapper = std::string(), bool canBeDisabled = true) {
  auto* event = new HCallbackEvent(prop, object, new ErrorEventInfo("dev:err", "oops %d", 1),
                                   wrapper, canBeDisabled, coalescable);
  return event->serviceEvent(false);  // the service owns it now
}

using HCallbackEventTest = EventsTest;

TEST_F(HCallbackEventTest, CallbackRunsWithTheObjectOrTheWrappersValueAndIsDisabledOnFailure) {
  hoxRegisterFunction("evt_wrap", [](int, hvArray* plhs[], int, hvArray* prhs[]) {
    plhs[0] = hvCreateString(hvGetObjectHandle(prhs[0]) != nullptr ? "wrapped" : "no object");
  });
  hoxRegisterFunction("evt_interrupt", [](int, hvArray* plhs[], int, hvArray*[]) {
    plhs[0] = hvCreateString("dropped");
    HostInterruptState::SetInterruptPending(true);
  });
  struct Case {
    const char* name;
    const char* callback;
    const char* wrapper;
    bool canBeDisabled;
    bool visible;
    const char* error;  // the one error reported, or null
    bool disabled;
    bool warned;
  } cases[] = {
      {"fails, disableable", "evt_fail", "", true, true, "test:callback:failed", true, true},
      {"wrapper fails", "evt_log", "evt_no_such_fn", true, true, "PULVRA:undefinedFunction", true,
       true},
      {"wrapper interrupted", "evt_log", "evt_interrupt", true, true, "PULVRA:interrupt", true,
       true},
      {"fails, not disableable", "evt_fail", "", false, true, "test:callback:failed", false, false},
      {"fails, hidden property", "evt_fail", "", true, false, "test:callback:failed", true, false},
      {"succeeds", "evt_log", "", true, true, nullptr, false, false},
      {"wrapper succeeds", "evt_log", "evt_wrap", true, true, nullptr, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    warnings_.clear();
    errors_.clear();
    runs_.clear();
    QxInterface* device = newObject();
    Property* fcn = callbackProperty(device, "TimerFcn", c.callback);
    PropInfoTestPeer::setQxVisible(*const_cast<PropInfo*>(fcn->getPropInfo()), c.visible);

    ASSERT_TRUE(hand(fcn, device, false, c.wrapper, c.canBeDisabled));
    EventService::processEvents();
    HostInterruptState::SetInterruptPending(false);
    if (c.error != nullptr) {
      ASSERT_EQ(errors_.size(), 1u) << "the failure is reported once";
      EXPECT_EQ(errors_[0].first, c.error);
    } else {
      EXPECT_TRUE(errors_.empty());
    }
    ASSERT_EQ(runs_.size(), c.error != nullptr ? 0u : 1u);
    if (c.error == nullptr) {
      EXPECT_EQ(runs_[0].object, *c.wrapper == '\0' ? device : nullptr);
      EXPECT_EQ(runs_[0].objectText, *c.wrapper == '\0' ? "" : "wrapped");
      EXPECT_EQ(runs_[0].type(), "Error");
      EXPECT_EQ(zelhox::fcns::getString(runs_[0].data("Message")), "oops 1");
      EXPECT_EQ(zelhox::fcns::getString(runs_[0].data("MessageID")), "dev:err");
    }
    EXPECT_EQ(fcn->isIgnoreUntilSet(), c.disabled);
    EXPECT_EQ(HCallbackEvent::isExecutable(fcn), !c.disabled);
    ASSERT_EQ(warnings_.size(), c.warned ? 1u : 0u);
    if (c.warned) {
      EXPECT_EQ(warnings_[0].first, "vornix:callback:errInTimerFcn");
      EXPECT_EQ(warnings_[0].second,
                "The TimerFcn callback is being disabled.\nTo enable the callback, set the "
                "TimerFcn property.");
    }
    if (!c.disabled) continue;
    // A silenced callback is skipped until its property is set again.
    ASSERT_TRUE(hand(fcn, device, false));
    EXPECT_EQ(EventService::processEvents(), 0u);
    setCallback(*fcn, "evt_log");
    ASSERT_TRUE(hand(fcn, device, false));
    EXPECT_EQ(EventService::processEvents(), 1u);
  }
  hoxUnregisterFunction("evt_interrupt");
  hoxUnregisterFunction("evt_wrap");
}

TEST_F(HCallbackEventTest, CallbackMayReplaceItsPropertyOrDestroyItsObject) {
  QxInterface* device = newObject();
  Property* fcn = callbackProperty(device, "TimerFcn", "evt_log");
  // The running callback loses the property's use of it; its run goes on.
  onRun_ = [&](const CallbackRun&) { setCallback(*fcn, "evt_destroy"); };
  hoxRegisterFunction("evt_destroy", [device](int, hvArray*[], int, hvArray*[]) {
    device->destroy(QxDatabaseClient::getInternalClient());
    throw new ErrorIdException("test:callback:gone", "failed after destroying its object");
  });
  DirectEvent first(fcn, device, new TimerEventInfo, "", true, true);
  EXPECT_TRUE(first.execute());
  EXPECT_EQ(runs_.size(), 1u);
  EXPECT_TRUE(first.isExecutable()) << "the replacement is ready to run";

  // A failure while the object is being destroyed is not held against the callback.
  DirectEvent second(fcn, device, new TimerEventInfo, "", true, true);
  EXPECT_FALSE(second.execute());
  hoxUnregisterFunction("evt_destroy");
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0].first, "test:callback:gone");
  EXPECT_FALSE(second.isExecutable());
  EXPECT_FALSE(fcn->isIgnoreUntilSet());
  EXPECT_TRUE(HCallbackEvent::isExecutable(fcn));
  EXPECT_TRUE(warnings_.empty());
}

TEST_F(HCallbackEventTest, NoCallbackRunsNothingAndReportsFailure) {
  QxInterface* device = newObject();
  Property* empty = callbackProperty(device, "TimerFcn", nullptr);
  Property* notACallback = property(device, "Gain", "double");
  setDouble(*notACallback, 2.0);
  for (Property* prop : {static_cast<Property*>(nullptr), empty, notACallback}) {
    SCOPED_TRACE(prop == nullptr ? "no property" : prop->getPropInfo()->getName());
    DirectEvent event(prop, device, new TimerEventInfo, "", true, false);
    EXPECT_FALSE(HCallbackEvent::isExecutable(prop));
    EXPECT_FALSE(event.isExecutable());
    EXPECT_FALSE(event.execute());
    if (prop != nullptr) {
      EXPECT_FALSE(prop->isIgnoreUntilSet());
    }
  }
  EXPECT_TRUE(runs_.empty());
  EXPECT_TRUE(warnings_.empty());
  EXPECT_TRUE(errors_.empty());
}

TEST_F(HCallbackEventTest, CoalescesAndFlushesByObjectAndPropertyIgnoringCase) {
  QxInterface* a = newObject();
  QxInterface* b = newObject();
  Property* timerA = callbackProperty(a, "TimerFcn", "evt_log");
  Property* timerAUpper = callbackProperty(a, "TIMERFCN", "evt_log");
  Property* errorA = callbackProperty(a, "ErrorFcn", "evt_log");
  Property* timerB = callbackProperty(b, "TimerFcn", "evt_log");

  EXPECT_TRUE(hand(timerA, a, true));
  EXPECT_FALSE(hand(timerAUpper, a, true)) << "merged into the queued one";
  EXPECT_TRUE(hand(errorA, a, true));
  EXPECT_TRUE(hand(timerB, b, true));
  EXPECT_TRUE(hand(timerA, a, false)) << "not coalescable";
  EXPECT_TRUE(hand(timerA, nullptr, true));
  EXPECT_TRUE(hand(timerA, nullptr, true)) << "no object: never coalesces";
  EXPECT_EQ(EventService::queuedCount(), 6u);
  EXPECT_EQ(EventService::processEvents(), 6u);
  // Once the queued one ran, the next one is queued again.
  EXPECT_TRUE(hand(timerAUpper, a, true));
  EXPECT_EQ(EventService::processEvents(), 1u);
  runs_.clear();

  hand(timerA, a, false);
  hand(errorA, a, false);
  hand(timerB, b, false);
  HCallbackEvent::flushEvents(a, "timerfcn", false);
  EXPECT_EQ(EventService::queuedCount(), 2u);
  HCallbackEvent::flushEvents(nullptr, "", false);
  EXPECT_EQ(EventService::queuedCount(), 2u) << "a null object selects nothing";
  HCallbackEvent::flushEvents(a, "", false);
  EXPECT_EQ(EventService::queuedCount(), 1u);
  EXPECT_TRUE(runs_.empty());
  // Flushed with running: it runs now, on this thread.
  HCallbackEvent::flushEvents(b, "TimerFcn", true);
  EXPECT_EQ(EventService::queuedCount(), 0u);
  ASSERT_EQ(runs_.size(), 1u);
  EXPECT_EQ(runs_[0].object, b);
}

}  // namespace
}  // namespace eventstest
}  // namespace zelobjsys
