// Tests of the timer manager: period from its property, the lateness rule, coalesced ticks and the
// flush at stop.
#include "zelobjsys/timer_event_manager.h"

#include <gtest/gtest.h>

#include <memory>

#include "events/test_events_fixtures.h"

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

// Waits (bounded) until the queue holds n events.
bool waitForQueued(std::size_t n) {
  const zelutil::Timestamp start;
  while (EventService::queuedCount() != n) {
    if (zelutil::Timestamp() - start > 5.0) return false;
    zelutil::Thread::sleep(0.0005);
  }
  return true;
}

class TimerEventManagerTest : public EventsTest {
 protected:
  struct Timed {
    QxInterface* object;
    Property* fcn;
    Property* period;
    std::unique_ptr<TimerEventManager> manager;
  };
  Timed timed(double defaultPeriod, TimerEventInfo* info = nullptr) {
    Timed t;
    t.object = newObject();
    t.fcn = callbackProperty(t.object, "TimerFcn", "evt_log");
    ZLScopedHvArray period(hvCreateDoubleScalar(defaultPeriod));
    t.period = property(t.object, "TimerPeriod", "double", period);
    EXPECT_EQ(t.period->getValue(), nullptr);
    t.manager = std::make_unique<TimerEventManager>(*t.fcn, *t.period, t.object, "", info);
    return t;
  }
};

TEST_F(TimerEventManagerTest, PeriodFollowsItsPropertyForTheManagersLifeOnly) {
  Timed t = timed(0.25);
  EXPECT_EQ(t.period->getValueAsDouble(), 0.25) << "the factory default was stored";
  // A period the timer refuses changes nothing.
  for (double set : {0.25, 0.5, 0.0, -1.0, 0.01}) {
    SCOPED_TRACE(set);
    if (set != 0.25) setDouble(*t.period, set);
    const double period = set > 0 ? set : 0.5;
    EXPECT_EQ(t.manager->getPeriod(), period);
    EXPECT_EQ(Peer::maxDelay(*t.manager), 2 * period);
  }
  t.manager.reset();
  // The listener left with the manager: a later set reaches nothing freed.
  setDouble(*t.period, 2.0);
  EXPECT_EQ(t.period->getValueAsDouble(), 2.0);
}

TEST_F(TimerEventManagerTest, TickOverTwicePeriodLateIsDroppedAndOneWithinIsKept) {
  struct ProductRecord : TimerEventInfo {
    hvArray* createHvEventData() const override {
      const char* names[] = {"Product"};
      hvArray* s = hvCreateStructMatrix(1, 1, 1, names);
      hvSetFieldByNumber(s, 0, 0, hvCreateString("scope"));
      return s;
    }
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
  ASSERT_EQ(runs_.size(), 1u);
  EXPECT_EQ(runs_[0].object, t.object);
  EXPECT_EQ(runs_[0].type(), "Timer");
  EXPECT_EQ(zelhox::fcns::getString(runs_[0].data("Product")), "scope");
}

TEST_F(TimerEventManagerTest, RunningTimersQueueOneTickEachAndStopTakesOnlyItsOwn) {
  Timed t = timed(0.001), u = timed(0.001);
  Property* errorFcn = callbackProperty(t.object, "ErrorFcn", "evt_log");
  (new HCallbackEvent(errorFcn, t.object, new ErrorEventInfo("dev:e", "e"), "", true, true))
      ->serviceEvent(false);
  t.manager->start();
  u.manager->start();
  ASSERT_TRUE(waitForQueued(3));
  zelutil::Thread::sleep(0.02);
  EXPECT_EQ(EventService::queuedCount(), 3u) << "later ticks merge into the queued one";
  t.manager->stop();
  EXPECT_FALSE(t.manager->isRunning());
  EXPECT_EQ(EventService::queuedCount(), 2u);
  zelutil::Thread::sleep(0.01);
  EXPECT_EQ(EventService::queuedCount(), 2u) << "no tick after stop";
  u.manager.reset();
  EXPECT_EQ(EventService::queuedCount(), 1u) << "the destructor stops too";
  EXPECT_EQ(EventService::processEvents(), 1u);
  ASSERT_EQ(runs_.size(), 1u);
  EXPECT_EQ(runs_[0].type(), "Error");
}

}  // namespace
}  // namespace eventstest
}  // namespace zelobjsys
