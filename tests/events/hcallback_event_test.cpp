// Tests of callback events driven through the event service by hand (wrappers, disabling,
// coalescing, flushing) and of the event records' data and time stamps.
#include "zelobjsys/hcallback_event.h"

#include <gtest/gtest.h>

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
bool hand(Property* prop, QxInterface* object, bool coalescable, const std::string& wrapper = "",
          bool canBeDisabled = true) {
  return (new HCallbackEvent(prop, object, new ErrorEventInfo("dev:err", "oops"), wrapper,
                             canBeDisabled, coalescable))
      ->serviceEvent(false);  // the service owns it now
}

using HCallbackEventTest = EventsTest;

std::string idsOf(const std::vector<Message>& messages) {
  std::string ids;
  for (const Message& m : messages) ids += m.first + ";";
  return ids;
}

// Failing plain callbacks, their disabling and its warning are shown end to end by the shell's
// callback scripts; these are the cases no product reaches.
TEST_F(HCallbackEventTest, WrapperGivesTheObjectValueAndAFailureDisablesUnlessRefused) {
  hoxRegisterFunction("evt_wrap", [](int, hvArray* plhs[], int, hvArray* prhs[]) {
    plhs[0] = hvCreateString(hvGetObjectHandle(prhs[0]) != nullptr ? "wrapped" : "no object");
  });
  hoxRegisterFunction("evt_interrupt", [](int, hvArray* plhs[], int, hvArray*[]) {
    plhs[0] = hvCreateString("dropped");
    HostInterruptState::SetInterruptPending(true);
  });
  const struct {
    const char* callback;
    const char* wrapper;
    bool canBeDisabled;
    bool visible;
    const char* error;  // the errors reported
    bool disabled;
  } cases[] = {
      {"evt_log", "evt_no_such_fn", true, true, "PULVRA:undefinedFunction;", true},
      {"evt_log", "evt_interrupt", true, true, "PULVRA:interrupt;", true},
      {"evt_fail", "", false, true, "test:callback:failed;", false},  // not to be disabled
      {"evt_fail", "", true, false, "test:callback:failed;", true},   // hidden: silently
      {"evt_log", "evt_wrap", true, true, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.callback) + " " + c.wrapper);
    warnings_.clear();
    errors_.clear();
    runs_.clear();
    QxInterface* device = newObject();
    Property* fcn = callbackProperty(device, "TimerFcn", c.callback);
    PropInfoTestPeer::setQxVisible(*const_cast<PropInfo*>(fcn->getPropInfo()), c.visible);
    ASSERT_TRUE(hand(fcn, device, false, c.wrapper, c.canBeDisabled));
    EventService::processEvents();
    HostInterruptState::SetInterruptPending(false);
    EXPECT_EQ(idsOf(errors_), c.error) << "a failure is reported once";
    std::string objects;
    for (const CallbackRun& run : runs_) objects += run.objectText + ";";
    EXPECT_EQ(objects, *c.error != '\0' ? "" : "wrapped;");
    EXPECT_EQ(fcn->isIgnoreUntilSet(), c.disabled);
    EXPECT_EQ(HCallbackEvent::isExecutable(fcn), !c.disabled);
    EXPECT_EQ(idsOf(warnings_), c.disabled && c.visible ? "vornix:callback:errInTimerFcn;" : "");
  }
  hoxUnregisterFunction("evt_interrupt");
  hoxUnregisterFunction("evt_wrap");
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
    EXPECT_TRUE(prop == nullptr || !prop->isIgnoreUntilSet());
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
  EXPECT_EQ(EventService::processEvents(), 6u);
  EXPECT_TRUE(hand(timerAUpper, a, true)) << "once the queued one ran, queued again";
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
  HCallbackEvent::flushEvents(b, "TimerFcn", true);  // runs it now, on this thread
  EXPECT_EQ(EventService::queuedCount(), 0u);
  ASSERT_EQ(runs_.size(), 1u);
  EXPECT_EQ(runs_[0].object, b);
}

// Reaches the protected stamp of a record.
template <class Base>
struct Stamped : Base {
  template <class... Args>
  explicit Stamped(Args... args) : Base(args...) {}
  using Base::getTimestamp;
  using Base::setTimestamp;
};

bool sameTime(const hvArray* absTime, double seconds) {
  ZLScopedHvArray expected(zelhox::fcns::time::createTimeArray(zelutil::Timestamp(seconds)));
  return hvIsEqual(absTime, expected);
}

TEST(HCallbackEventInfoTest, TimerStampsAtDeliveryAndErrorKeepsItsBirthTime) {
  const double longAgo = zelutil::Timestamp().getTime() - 3600.0;
  Stamped<TimerEventInfo> timer;
  EXPECT_FALSE(timer.isErrorEvent());
  timer.setTimestamp(zelutil::Timestamp(longAgo));
  ZLScopedHvArray timerData(timer.createHvEventData());
  EXPECT_GT(timer.getTimestamp().getTime(), longAgo + 3500.0) << "renewed when delivered";
  EXPECT_TRUE(sameTime(hvGetField(timerData, 0, "AbsTime"), timer.getTimestamp().getTime()));
  Stamped<ErrorEventInfo> error("dev:io:timeout", "device %s did not answer", "scope1");
  EXPECT_TRUE(error.isErrorEvent());
  error.setTimestamp(zelutil::Timestamp(longAgo));
  error.setErrorID("dev:io:reset");
  error.setMessage("%d retries", 3);
  ZLScopedHvArray errorData(error.createHvEventData());
  EXPECT_TRUE(sameTime(hvGetField(errorData, 0, "AbsTime"), longAgo)) << "never renewed";
  EXPECT_EQ(zelhox::fcns::getString(hvGetField(errorData, 0, "MessageID")), "dev:io:reset");
  EXPECT_EQ(zelhox::fcns::getString(hvGetField(errorData, 0, "Message")), "3 retries");
  ZLScopedHvArray plain(TimerEventInfoDelegate(nullptr).createHvEventData());
  EXPECT_NE(hvGetField(plain, 0, "AbsTime"), nullptr) << "a delegate without a target";
  // Null texts are empty, not crashes.
  ErrorEventInfo blank(nullptr, nullptr);
  EXPECT_STREQ(blank.getErrorMessage(), "");
  blank.setErrorID(nullptr);
  blank.setMessage(nullptr);
  EXPECT_STREQ(blank.getErrorID(), "");
  EXPECT_STREQ(blank.getErrorMessage(), "");
}

}  // namespace
}  // namespace eventstest
}  // namespace zelobjsys
