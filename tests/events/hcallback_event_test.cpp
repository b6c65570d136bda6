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

const std::string kWarningText =
    "The TimerFcn callback is being disabled.\nTo enable the callback, set the TimerFcn property.";

using HCallbackEventTest = EventsTest;

TEST_F(HCallbackEventTest, CallbackGetsTheObjectHandleOrTheWrappersResultAndTheEvent) {
  QxInterface* device = newObject();
  Property* fcn = callbackProperty(device, "ErrorFcn", "evt_log");
  hoxRegisterFunction("evt_wrap", [](int, hvArray* plhs[], int, hvArray* prhs[]) {
    plhs[0] = hvCreateString(hvGetObjectHandle(prhs[0]) != nullptr ? "wrapped" : "no object");
  });

  ASSERT_TRUE(hand(fcn, device, false));
  ASSERT_TRUE(hand(fcn, device, false, "evt_wrap"));
  EXPECT_EQ(EventService::processEvents(), 2u);
  hoxUnregisterFunction("evt_wrap");

  ASSERT_EQ(runs_.size(), 2u);
  EXPECT_EQ(runs_[0].object, device);
  EXPECT_EQ(runs_[1].object, nullptr);
  EXPECT_EQ(runs_[1].objectText, "wrapped");
  for (const CallbackRun& run : runs_) {
    EXPECT_EQ(run.type(), "Error");
    EXPECT_EQ(zelhox::fcns::getString(run.data("Message")), "oops 1");
    EXPECT_EQ(zelhox::fcns::getString(run.data("MessageID")), "dev:err");
  }
  EXPECT_TRUE(warnings_.empty());
  EXPECT_TRUE(HCallbackEvent::isExecutable(fcn));
}

TEST_F(HCallbackEventTest, FailingCallbackIsDisabledAsItsEventAllows) {
  struct Case {
    const char* name;
    const char* callback;
    const char* wrapper;
    bool canBeDisabled;
    bool visible;
    bool disabled;
    bool warned;
  } cases[] = {
      {"fails, disableable", "evt_fail", "", true, true, true, true},
      {"wrapper fails", "evt_log", "evt_no_such_fn", true, true, true, true},
      {"fails, not disableable", "evt_fail", "", false, true, false, false},
      {"fails, hidden property", "evt_fail", "", true, false, true, false},
      {"succeeds", "evt_log", "", true, true, false, false},
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
    const bool failed = std::string(c.callback) == "evt_fail" || *c.wrapper != '\0';
    EXPECT_EQ(errors_.size(), failed ? 1u : 0u) << "the failure is reported once";
    EXPECT_EQ(runs_.size(), failed ? 0u : 1u);
    EXPECT_EQ(fcn->isIgnoreUntilSet(), c.disabled);
    EXPECT_EQ(HCallbackEvent::isExecutable(fcn), !c.disabled);
    if (c.warned) {
      ASSERT_EQ(warnings_.size(), 1u);
      EXPECT_EQ(warnings_[0].first, "vornix:callback:errInTimerFcn");
      EXPECT_EQ(warnings_[0].second, kWarningText);
    } else {
      EXPECT_TRUE(warnings_.empty());
    }
    if (!c.disabled) continue;
    // A silenced callback is skipped until its property is set again.
    ASSERT_TRUE(hand(fcn, device, false));
    EXPECT_EQ(EventService::processEvents(), 0u);
    setCallback(*fcn, "evt_log");
    EXPECT_TRUE(HCallbackEvent::isExecutable(fcn));
    ASSERT_TRUE(hand(fcn, device, false));
    EXPECT_EQ(EventService::processEvents(), 1u);
  }
}

TEST_F(HCallbackEventTest, ObjectBeingDestroyedIsNeverHeldAgainstTheCallback) {
  QxInterface* device = newObject();
  Property* fcn = callbackProperty(device, "TimerFcn", "evt_fail");
  DirectEvent event(fcn, device, new TimerEventInfo, "", true, true);
  EXPECT_TRUE(event.isExecutable());
  device->destroy(QxDatabaseClient::getInternalClient());
  EXPECT_FALSE(event.isExecutable());
  EXPECT_FALSE(event.execute());
  EXPECT_FALSE(fcn->isIgnoreUntilSet());
  EXPECT_TRUE(warnings_.empty());
}

TEST_F(HCallbackEventTest, NoCallbackRunsNothingAndReportsFailure) {
  QxInterface* device = newObject();
  Property* empty = callbackProperty(device, "TimerFcn", nullptr);
  double gain = 2.0;
  Property* notACallback = property(device, "Gain", "double");
  notACallback->setValue(&gain, false);
  struct Case {
    const char* name;
    Property* prop;
  } cases[] = {{"no property", nullptr}, {"no value", empty}, {"not a callback", notACallback}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DirectEvent event(c.prop, device, new TimerEventInfo, "", true, false);
    EXPECT_FALSE(HCallbackEvent::isExecutable(c.prop));
    EXPECT_FALSE(event.isExecutable());
    EXPECT_FALSE(event.execute());
    if (c.prop != nullptr) {
      EXPECT_FALSE(c.prop->isIgnoreUntilSet());
    }
  }
  EXPECT_TRUE(runs_.empty());
  EXPECT_TRUE(warnings_.empty());
  EXPECT_TRUE(errors_.empty());
}

TEST_F(HCallbackEventTest, CoalescesOnlyTheSameObjectAndPropertyIgnoringCase) {
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
}

TEST_F(HCallbackEventTest, FlushRemovesTheObjectsEventsByNameOrAll) {
  QxInterface* a = newObject();
  QxInterface* b = newObject();
  Property* timerA = callbackProperty(a, "TimerFcn", "evt_log");
  Property* errorA = callbackProperty(a, "ErrorFcn", "evt_log");
  Property* timerB = callbackProperty(b, "TimerFcn", "evt_log");
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
