// Tests of callback events (wrappers, disabling, coalescing, flushing), their records, the timer
// manager, and zelobjsys::fcns (handles, the record lookup, the wait's order of precedence).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/host_errors.h"
#include "common/test_product.h"
#include "zelhost/events/events.h"
#include "zelhost/objects/qx_interface.h"
#include "zelobjsys/fcns.h"
#include "zelobjsys/hcallback_event.h"
#include "zelobjsys/hcallback_event_info.h"
#include "zelobjsys/property.h"
#include "zelobjsys/timer_event_manager.h"

namespace zelobjsys {

// Ticks by hand, without waiting for the thread.
class TimerEventManagerTestPeer {
 public:
  static void tick(TimerEventManager& m) { m.execute(); }
  static double maxDelay(const TimerEventManager& m) { return m.getMaxExecutionDelay(); }
  static zelutil::Timestamp lastDue(const TimerEventManager& m) { return m.getExecutionTime(); }
};

namespace eventstest {
namespace {

using Peer = TimerEventManagerTestPeer;
using zelutil::EventService;

// One run of the logging callback: the object value it got and a copy of the event.
struct CallbackRun {
  QxInterface* object = nullptr;  // null when the value was no object handle
  std::string objectText;         // the value's text when it was a string
  std::shared_ptr<hvArray> event;
  std::string type() const { return zelhox::fcns::getString(hvGetField(event.get(), 0, "Type")); }
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
    });
    hoxRegisterFunction("evt_fail", [](int, hvArray*[], int, hvArray*[]) {
      throw new ErrorIdException("test:callback:failed", "the callback failed");
    });
    hoxRegisterFunction("drawnow", [this](int, hvArray*[], int, hvArray*[]) {
      ++drawnows_;
      if (onDrawnow_) onDrawnow_();
      hoxProcessPendingEvents();
    });
  }
  void TearDown() override {
    zelutil::EventService::stop();
    hoxUnregisterFunction("evt_log");
    hoxUnregisterFunction("evt_fail");
    hoxRegisterFunction("drawnow",
                        [](int, hvArray*[], int, hvArray*[]) { hoxProcessPendingEvents(); });
    hoxSetCallbackEvaluator(oldEvaluator_);
    HostInterruptState::SetInterruptPending(false);
    properties_.clear();  // before the records they point to
    records_.clear();
    for (auto& ref : objects_) ref->destroy(QxDatabaseClient::getInternalClient());
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
    if (fn == nullptr) return p;
    ZLScopedHvArray handle(fcns::createFunctionHandle(fn));
    HCallback* callback = new HCallback(handle);
    p->setValue(callback, false);  // the property takes its own use
    callback->release(1);
    return p;
  }
  // A timer manager of a new object's TimerFcn (logging) and TimerPeriod (unset, with a default).
  struct Timed {
    QxInterface* object;
    Property* period;
    std::unique_ptr<TimerEventManager> manager;
  };
  Timed timed(double defaultPeriod, TimerEventInfo* info = nullptr) {
    QxInterface* object = newObject();
    Property* fcn = callbackProperty(object, "TimerFcn", "evt_log");
    ZLScopedHvArray period(hvCreateDoubleScalar(defaultPeriod));
    Timed t{object, property(object, "TimerPeriod", "double", period), nullptr};
    EXPECT_EQ(t.period->getValue(), nullptr);
    t.manager = std::make_unique<TimerEventManager>(*fcn, *t.period, object, "", info);
    return t;
  }
  static void setDouble(Property& p, double value) { p.setValue(&value, false); }

  std::vector<CallbackRun> runs_;
  int drawnows_ = 0;
  std::function<void()> onDrawnow_;
  MessageCapture sinks_;
  std::vector<std::unique_ptr<QxInterface>> objects_;
  std::vector<std::unique_ptr<PropInfo>> records_;
  std::vector<std::unique_ptr<Property>> properties_;
  HCallbackEvaluator* oldEvaluator_ = nullptr;
};

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

std::string idsOf(const std::vector<Message>& messages) {
  std::string ids;
  for (const Message& m : messages) ids += m.first + ";";
  return ids;
}

// Failing plain callbacks, their disabling and its warning are shown end to end by the shell's
// callback scripts; these are the cases no product reaches.
TEST_F(EventsTest, WrapperGivesTheObjectValueAndAFailureDisablesUnlessRefused) {
  hoxRegisterFunction("evt_wrap", [](int, hvArray* plhs[], int, hvArray* prhs[]) {
    plhs[0] = hvCreateString(hvGetObjectHandle(prhs[0]) != nullptr ? "wrapped" : "no object");
  });
  hoxRegisterFunction("evt_interrupt", [](int, hvArray* plhs[], int, hvArray*[]) {
    plhs[0] = hvCreateString("dropped");
    HostInterruptState::SetInterruptPending(true);
  });
  const struct {
    const char *callback, *wrapper;
    bool canBeDisabled, visible;
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
    sinks_.warnings.clear();
    sinks_.errors.clear();
    runs_.clear();
    QxInterface* device = newObject();
    Property* fcn = callbackProperty(device, "TimerFcn", c.callback);
    PropInfoTestPeer::setQxVisible(*const_cast<PropInfo*>(fcn->getPropInfo()), c.visible);
    ASSERT_TRUE(hand(fcn, device, false, c.wrapper, c.canBeDisabled));
    EventService::processEvents();
    HostInterruptState::SetInterruptPending(false);
    EXPECT_EQ(idsOf(sinks_.errors), c.error) << "a failure is reported once";
    std::string objects;
    for (const CallbackRun& run : runs_) objects += run.objectText + ";";
    EXPECT_EQ(objects, *c.error != '\0' ? "" : "wrapped;");
    EXPECT_EQ(fcn->isIgnoreUntilSet(), c.disabled);
    EXPECT_EQ(idsOf(sinks_.warnings),
              c.disabled && c.visible ? "vornix:callback:errInTimerFcn;" : "");
  }
  hoxUnregisterFunction("evt_interrupt");
  hoxUnregisterFunction("evt_wrap");
}

TEST_F(EventsTest, NoCallbackRunsNothingAndReportsFailure) {
  QxInterface* device = newObject();
  Property* empty = callbackProperty(device, "TimerFcn", nullptr);
  Property* notACallback = property(device, "Gain", "double");
  setDouble(*notACallback, 2.0);
  for (Property* prop : {static_cast<Property*>(nullptr), empty, notACallback}) {
    SCOPED_TRACE(prop == nullptr ? "no property" : prop->getPropInfo()->getName());
    DirectEvent event(prop, device, new TimerEventInfo, "", true, false);
    EXPECT_FALSE(HCallbackEvent::isExecutable(prop) || event.isExecutable() || event.execute());
    EXPECT_TRUE(prop == nullptr || !prop->isIgnoreUntilSet());
  }
  EXPECT_TRUE(runs_.empty());
  EXPECT_EQ(idsOf(sinks_.warnings) + idsOf(sinks_.errors), "");
}

TEST_F(EventsTest, CoalescesAndFlushesByObjectAndPropertyIgnoringCase) {
  QxInterface *a = newObject(), *b = newObject();
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
  using Base::Base;
  using Base::getTimestamp;
  using Base::setTimestamp;
};

bool sameTime(const hvArray* absTime, double seconds) {
  ZLScopedHvArray expected(zelhox::fcns::time::createTimeArray(zelutil::Timestamp(seconds)));
  return hvIsEqual(absTime, expected);
}

TEST(EventRecordsTest, TimerStampsAtDeliveryAndErrorKeepsItsBirthTime) {
  const double longAgo = zelutil::Timestamp().getTime() - 3600.0;
  Stamped<TimerEventInfo> timer;
  EXPECT_FALSE(timer.isErrorEvent());
  timer.setTimestamp(zelutil::Timestamp(longAgo));
  ZLScopedHvArray timerData(timer.createHvEventData());
  EXPECT_GT(timer.getTimestamp().getTime(), longAgo + 3500.0) << "renewed when delivered";
  EXPECT_TRUE(sameTime(hvGetField(timerData, 0, "AbsTime"), timer.getTimestamp().getTime()));
  Stamped<ErrorEventInfo> error("dev:io:timeout", "no answer");
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
  EXPECT_EQ(std::string(blank.getErrorID()) + blank.getErrorMessage(), "");
}

using fcns::WaitStatus;
using Objects = std::vector<QxInterface*>;

// A completion test that is complete at its poll number `at` (never for 0).
struct CountingComplete : fcns::IWaitCompleteFcn {
  explicit CountingComplete(int completeAt) : at(completeAt) {}
  bool isComplete(double) const override { return ++asked == at; }
  int at;
  mutable int asked = 0;
};

TEST_F(EventsTest, HandlesConvertBothWaysAndRecordsAreLookedUp) {
  QxInterface *a = newObject(), *b = newObject();
  ZLScopedHvArray one(fcns::createHandle(a)), two(fcns::createHandles({a, b}));
  EXPECT_EQ(fcns::getQxInterfaces(two), (Objects{fcns::getQxInterface(one), b}));
  std::unique_ptr<Vector> list(fcns::createHandleVector({b, a}));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(fcns::getQxInterfaces(list.get()), (Objects{b, a}));
  ZLScopedHvArray none(fcns::createHandles({}));
  EXPECT_TRUE(fcns::createHandleVector({}) == nullptr && fcns::getQxInterfaces(none).empty() &&
              fcns::getQxInterfaces(static_cast<const Vector*>(nullptr)).empty());
  // Values that name no live object are refused with the host's error.
  ZLScopedHvArray text(hvCreateString("scope"));
  for (const hvArray* bad : {text.get(), static_cast<hvArray*>(nullptr)}) {
    EXPECT_NE(hostErrorText([bad] { fcns::getQxInterface(bad); }), "(no error)");
    EXPECT_NE(hostErrorText([bad] { fcns::getQxInterfaces(bad); }), "(no error)");
  }
  // Records are found only when they are definition records, not any host descriptor.
  struct PlainDescriptor : QxPropInfoTemplate {
    PlainDescriptor() { setName("Plain"); }
    void* getValue(QxDatabaseClient*, QxInterface*) override { return nullptr; }
    void setValue(QxDatabaseClient*, QxInterface*, const void*) override {}
  };
  auto* record = new TestPropInfo<>("Gain");
  PropInfoTestPeer::initQxValuesBeforeAdd(*record, "double");
  a->addInstanceProperty(record);  // the object owns both from here
  a->addInstanceProperty(new PlainDescriptor);
  const PropInfo* found[] = {fcns::getPropInfo(a, "Gain"), fcns::getPropInfo(a, "gai")};
  EXPECT_TRUE(found[0] == record && found[1] == record);
  EXPECT_TRUE(!fcns::getPropInfo(a, "Plain") && !fcns::getPropInfo(a, "Missing") &&
              !fcns::getPropInfo(a, nullptr) && !fcns::getPropInfo(nullptr, "Gain"));
}

TEST_F(EventsTest, WaitHonoursItsOrderOfPrecedence) {
  const struct {
    const char* name;
    int completeAt;
    double timeout;
    bool interrupt, destroy;  // at drawnow
    WaitStatus status;
    int asked, drawnows;
  } cases[] = {
      {"complete at once", 1, 1.0, false, false, fcns::WaitComplete, 1, 0},
      {"zero timeout", 0, 0.0, false, false, fcns::WaitTimedOut, 2, 1},
      {"complete at the last poll", 2, 0.0, false, false, fcns::WaitComplete, 2, 1},
      {"NaN never times out", 20, std::nan(""), false, false, fcns::WaitComplete, 20, 19},
      {"interrupt before completion", 0, 10.0, true, false, fcns::WaitInterrupted, 1, 1},
      {"destruction before interrupt", 0, 10.0, true, true, fcns::WaitObjectDeleted, 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    drawnows_ = 0;
    QxInterface* watched = newObject();
    onDrawnow_ = [&] {
      if (c.interrupt) HostInterruptState::SetInterruptPending(true);
      if (c.destroy) watched->destroy(QxDatabaseClient::getInternalClient());
    };
    CountingComplete complete(c.completeAt);
    EXPECT_EQ(fcns::waitAndProcessEvents(complete, c.timeout, watched), c.status);
    EXPECT_EQ(complete.asked, c.asked);
    EXPECT_EQ(drawnows_, c.drawnows);
    EXPECT_FALSE(HostInterruptState::IsInterruptPending()) << "the interrupt is consumed";
    HostInterruptState::SetInterruptPending(false);
  }
  // A null object is never looked at; an error of the host's processing ends the wait.
  onDrawnow_ = nullptr;
  CountingComplete later(3);
  EXPECT_EQ(fcns::waitAndProcessEvents(later, 10.0, nullptr), fcns::WaitComplete);
  onDrawnow_ = [] { throw new ErrorIdException("test:drawnow", "drawnow failed"); };
  EXPECT_EQ(hostErrorText([&] { fcns::waitAndProcessEvents(later, 10.0, nullptr); }),
            "test:drawnow|drawnow failed");
  // Waiting for an event consumes an auto-reset signal only.
  onDrawnow_ = nullptr;
  for (bool manual : {false, true}) {
    SCOPED_TRACE(manual ? "manual reset" : "auto reset");
    zelutil::Event event(manual, false);
    event.set();
    EXPECT_EQ(fcns::waitAndProcessEvents(event, 0.0, nullptr), fcns::WaitComplete);
    EXPECT_EQ(fcns::waitAndProcessEvents(event, 0.0, nullptr),
              manual ? fcns::WaitComplete : fcns::WaitTimedOut);
  }
  EXPECT_FALSE(fcns::WaitForEventFcn(nullptr).isComplete(0.0));
}

TEST_F(EventsTest, PeriodFollowsItsPropertyForTheManagersLifeOnly) {
  Timed t = timed(0.25);
  EXPECT_EQ(t.period->getValueAsDouble(), 0.25) << "the factory default was stored";
  for (double set : {0.25, 0.5, 0.0, -1.0, 0.01}) {
    SCOPED_TRACE(set);
    setDouble(*t.period, set);
    const double period = set > 0 ? set : 0.5;  // a period the timer refuses changes nothing
    EXPECT_EQ(t.manager->getPeriod(), period);
    EXPECT_EQ(Peer::maxDelay(*t.manager), 2 * period);
  }
  t.manager.reset();
  // The listener left with the manager: a later set reaches nothing freed.
  setDouble(*t.period, 2.0);
  EXPECT_EQ(t.period->getValueAsDouble(), 2.0);
}

TEST_F(EventsTest, TickOverTwicePeriodLateIsDroppedAndOneWithinIsKept) {
  struct ProductRecord : TimerEventInfo {  // data of its own: none
    hvArray* createHvEventData() const override { return hvCreateStructMatrix(1, 1, 0, nullptr); }
  };
  Timed t = timed(1.0, new ProductRecord);
  // Lateness only grows, so periods chosen around the lateness seen now are exact just above it
  // and safe (30 s of slack) below it.
  const double lateness = zelutil::Timestamp() - Peer::lastDue(*t.manager);
  setDouble(*t.period, (lateness - 0.001) / 2);
  Peer::tick(*t.manager);
  EXPECT_EQ(EventService::queuedCount(), 0u);
  setDouble(*t.period, (lateness + 30.0) / 2);
  Peer::tick(*t.manager);
  Peer::tick(*t.manager);
  EXPECT_EQ(EventService::queuedCount(), 1u) << "the second tick merged into the first";
  ASSERT_EQ(EventService::processEvents(), 1u);
  EXPECT_EQ(runs_[0].object, t.object);
  EXPECT_EQ(runs_[0].type(), "Timer");
  EXPECT_EQ(hvGetNumberOfFields(hvGetField(runs_[0].event.get(), 0, "Data")), 0) << "the product's";
}

// Products may make timer events themselves: they coalesce, and a failing one disables its
// callback.
TEST_F(EventsTest, ProductMadeTimerEventsCoalesceAndAFailureDisables) {
  QxInterface* device = newObject();
  Property* fcn = callbackProperty(device, "TimerFcn", "evt_fail");
  for (int i = 0; i < 2; ++i)
    (new TimerCallbackEvent(fcn, device, new TimerEventInfo, ""))->serviceEvent(false);
  EXPECT_EQ(EventService::queuedCount(), 1u);
  EventService::processEvents();
  EXPECT_TRUE(fcn->isIgnoreUntilSet());
}

TEST_F(EventsTest, RunningTimersQueueOneTickEachAndStopTakesOnlyItsOwn) {
  Timed t = timed(0.001), u = timed(0.001);
  ASSERT_TRUE(hand(callbackProperty(t.object, "ErrorFcn", "evt_log"), t.object, true));
  t.manager->start();
  u.manager->start();
  for (const zelutil::Timestamp start; EventService::queuedCount() < 3;
       zelutil::Thread::sleep(1e-3)) {
    ASSERT_LT(zelutil::Timestamp() - start, 5.0);
  }
  zelutil::Thread::sleep(0.02);
  EXPECT_EQ(EventService::queuedCount(), 3u) << "later ticks merge into the queued one";
  t.manager->stop();
  EXPECT_FALSE(t.manager->isRunning());
  EXPECT_EQ(EventService::queuedCount(), 2u);
  zelutil::Thread::sleep(0.01);
  EXPECT_EQ(EventService::queuedCount(), 2u) << "no tick after stop";
  setDouble(*t.period, 1000.0);  // so that the tick below is not dropped as late
  Peer::tick(*t.manager);
  EXPECT_EQ(EventService::queuedCount(), 2u) << "a tick in flight at the stop is withdrawn";
  u.manager.reset();
  EXPECT_EQ(EventService::queuedCount(), 1u) << "the destructor stops too";
  ASSERT_EQ(EventService::processEvents(), 1u);
  EXPECT_EQ(runs_[0].type(), "Error");
}

}  // namespace
}  // namespace eventstest
}  // namespace zelobjsys
