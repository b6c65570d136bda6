// Tests of the timer manager: period from its property, late ticks dropped, stop flushing, and a
// stress run of several 1 ms timers retuned while the host processes their events.
#include "zelobjsys/timer_event_manager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <map>
#include <memory>
#include <vector>

#include "events/test_events_fixtures.h"

namespace zelobjsys {

// Reaches the manager's private tick and delay, so that ticks can be made by
// hand without waiting for the thread.
class TimerEventManagerTestPeer {
 public:
  static void tick(TimerEventManager& m) { m.execute(); }
  static double maxDelay(const TimerEventManager& m) { return m.getMaxExecutionDelay(); }
  static void setMaxDelay(TimerEventManager& m, double s) { m.setMaxExecutionDelay(s); }
};

namespace eventstest {
namespace {

using Peer = TimerEventManagerTestPeer;
using zelutil::EventService;

constexpr double kNoLimit = std::numeric_limits<double>::infinity();

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Processes events for about this long; returns how many ran.
std::size_t pump(double seconds) {
  const auto start = std::chrono::steady_clock::now();
  std::size_t ran = 0;
  while (secondsSince(start) < seconds) {
    ran += EventService::processEvents();
    zelutil::Thread::sleep(0.0005);
  }
  return ran;
}

// Waits (bounded) until the queue holds n events.
bool waitForQueued(std::size_t n) {
  const auto start = std::chrono::steady_clock::now();
  while (EventService::queuedCount() != n) {
    if (secondsSince(start) > 5.0) return false;
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
  };
  Timed timed(double defaultPeriod, const char* callback = "evt_log") {
    Timed t;
    t.object = newObject();
    t.fcn = callbackProperty(t.object, "TimerFcn", callback);
    ZLScopedHvArray period(hvCreateDoubleScalar(defaultPeriod));
    t.period = property(t.object, "TimerPeriod", "double", period);
    return t;
  }
  std::unique_ptr<TimerEventManager> manager(const Timed& t, TimerEventInfo* info = nullptr) {
    return std::make_unique<TimerEventManager>(*t.fcn, *t.period, t.object, "", info);
  }
};

TEST_F(TimerEventManagerTest, PeriodFollowsItsPropertyForTheManagersLifeOnly) {
  Timed t = timed(0.25);
  ASSERT_EQ(t.period->getValue(), nullptr);
  auto m = manager(t);
  ASSERT_NE(t.period->getValue(), nullptr) << "the factory default was stored";
  EXPECT_EQ(t.period->getValueAsDouble(), 0.25);
  EXPECT_EQ(m->getPeriod(), 0.25);
  EXPECT_EQ(Peer::maxDelay(*m), 0.5);

  struct Case {
    double set;
    double period;
  } cases[] = {{0.5, 0.5}, {0.0, 0.5}, {-1.0, 0.5}, {0.01, 0.01}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set);
    setDouble(*t.period, c.set);
    EXPECT_EQ(m->getPeriod(), c.period) << "a period the timer refuses changes nothing";
    EXPECT_EQ(Peer::maxDelay(*m), 2 * c.period);
  }
  m.reset();
  // The listener left with the manager: a later set reaches nothing freed.
  setDouble(*t.period, 2.0);
  EXPECT_EQ(t.period->getValueAsDouble(), 2.0);
}

TEST_F(TimerEventManagerTest, TicksCarryTheTimerRecordAndLateOnesAreDropped) {
  // A product record whose data every tick delivers.
  class ProductRecord : public TimerEventInfo {
   public:
    hvArray* createHvEventData() const override {
      const char* names[] = {"Product"};
      hvArray* s = hvCreateStructMatrix(1, 1, 1, names);
      hvSetFieldByNumber(s, 0, 0, hvCreateString("scope"));
      return s;
    }
  };
  Timed t = timed(1.0);
  auto m = manager(t, new ProductRecord);
  // Not started, the tick's due time is long past: far too late.
  Peer::tick(*m);
  EXPECT_EQ(EventService::queuedCount(), 0u);

  Peer::setMaxDelay(*m, kNoLimit);
  Peer::tick(*m);
  Peer::tick(*m);
  EXPECT_EQ(EventService::queuedCount(), 1u) << "the second tick merged into the first";
  ASSERT_EQ(EventService::processEvents(), 1u);
  ASSERT_EQ(runs_.size(), 1u);
  EXPECT_EQ(runs_[0].object, t.object);
  EXPECT_EQ(runs_[0].type(), "Timer");
  EXPECT_EQ(zelhox::fcns::getString(runs_[0].data("Product")), "scope");

  // A running timer whose every tick is late makes no event at all.
  setDouble(*t.period, 0.002);
  Peer::setMaxDelay(*m, -1.0);
  m->start();
  EXPECT_EQ(pump(0.1), 0u);
  Peer::setMaxDelay(*m, kNoLimit);
  EXPECT_GT(pump(0.1), 0u);
  m->stop();
}

TEST_F(TimerEventManagerTest, StopFlushesOnlyThisTimersQueuedTicks) {
  Timed t = timed(0.001);
  Property* errorFcn = callbackProperty(t.object, "ErrorFcn", "evt_log");
  Timed other = timed(1.0);
  auto m = manager(t);
  auto otherManager = manager(other);
  Peer::setMaxDelay(*otherManager, kNoLimit);
  Peer::tick(*otherManager);
  (new HCallbackEvent(errorFcn, t.object, new ErrorEventInfo("dev:e", "e"), "", true, true))
      ->serviceEvent(false);
  m->start();
  ASSERT_TRUE(waitForQueued(3u));
  m->stop();
  EXPECT_FALSE(m->isRunning());
  EXPECT_EQ(EventService::queuedCount(), 2u);
  EXPECT_EQ(EventService::processEvents(), 2u);
  EXPECT_EQ(EventService::queuedCount(), 0u);
  for (const CallbackRun& run : runs_) {
    EXPECT_FALSE(run.object == t.object && run.type() == "Timer") << "a tick of the stopped timer";
  }
  EXPECT_EQ(runs_.size(), 2u);
}

TEST_F(TimerEventManagerTest, StopEndsAnHourLongWaitAndTheTimerStartsAgain) {
  Timed t = timed(3600.0);
  auto m = manager(t);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    m->start();
    EXPECT_TRUE(m->isRunning());
    m->stop();  // hangs (CTest's timeout) unless the wait is cut short
    EXPECT_FALSE(m->isRunning());
  }
  setDouble(*t.period, 0.001);
  m->start();
  EXPECT_TRUE(waitForQueued(1u));
  m.reset();
  EXPECT_EQ(EventService::queuedCount(), 0u);
}

TEST_F(TimerEventManagerTest, FailingTimerCallbackIsDisabledWhileTicksGoOn) {
  Timed t = timed(1.0, "evt_fail");
  auto m = manager(t);
  Peer::setMaxDelay(*m, kNoLimit);
  Peer::tick(*m);
  EXPECT_EQ(EventService::processEvents(), 1u);
  ASSERT_EQ(warnings_.size(), 1u);
  EXPECT_EQ(warnings_[0].first, "vornix:callback:errInTimerFcn");
  EXPECT_TRUE(t.fcn->isIgnoreUntilSet());
  Peer::tick(*m);
  EXPECT_EQ(EventService::queuedCount(), 1u) << "ticks still make events";
  EXPECT_EQ(EventService::processEvents(), 0u) << "which do not run while disabled";
  setCallback(*t.fcn, "evt_log");
  Peer::tick(*m);
  EXPECT_EQ(EventService::processEvents(), 1u);
  EXPECT_EQ(runs_.size(), 1u);
}

TEST_F(TimerEventManagerTest, RetuningARunningTimerChangesItsRate) {
  Timed t = timed(0.04);
  auto m = manager(t);
  m->start();
  const std::size_t slow = pump(0.4);
  setDouble(*t.period, 0.005);
  EXPECT_EQ(Peer::maxDelay(*m), 0.01);
  const std::size_t fast = pump(0.4);
  m->stop();
  // About 10 and 80 ticks; wide margins for a loaded machine.
  EXPECT_GE(slow, 3u);
  EXPECT_LE(slow, 12u);
  EXPECT_GT(fast, 2 * slow);
}

TEST_F(TimerEventManagerTest, StressManyFastTimersLoseNoneRunNoneTwiceOrAfterStop) {
  constexpr std::size_t kTimers = 4;
  std::vector<Timed> ts;
  std::vector<std::unique_ptr<TimerEventManager>> ms;
  std::map<QxInterface*, std::size_t> indexOf;
  std::vector<std::size_t> ran(kTimers, 0);
  std::vector<bool> stopped(kTimers, false);
  for (std::size_t i = 0; i < kTimers; ++i) {
    ts.push_back(timed(0.001));
    ms.push_back(manager(ts[i]));
    indexOf[ts[i].object] = i;
  }
  onRun_ = [&](const CallbackRun& run) {
    const std::size_t i = indexOf.at(run.object);
    EXPECT_FALSE(stopped[i]) << "timer " << i << " ran after its stop";
    ++ran[i];
  };
  for (auto& m : ms) m->start();

  const auto start = std::chrono::steady_clock::now();
  for (std::size_t turn = 0; secondsSince(start) < 2.0; ++turn) {
    setDouble(*ts[turn % kTimers].period, turn % 3 == 0 ? 0.002 : 0.001);
    EXPECT_LE(EventService::queuedCount(), kTimers) << "at most one queued tick per timer";
    EventService::processEvents();
    zelutil::Thread::sleep(0.0002);
  }
  const double elapsed = secondsSince(start);
  for (std::size_t i = 0; i < kTimers; ++i) {
    SCOPED_TRACE(i);
    EXPECT_GE(ran[i], 20u) << "starved";
    EXPECT_LE(ran[i], static_cast<std::size_t>(elapsed / 0.001) + 2) << "more runs than ticks";
  }

  // Idle host: each timer keeps exactly one tick queued, which runs once.
  for (auto& t : ts) setDouble(*t.period, 0.001);
  ASSERT_TRUE(waitForQueued(kTimers));
  const std::vector<std::size_t> before = ran;
  EXPECT_EQ(EventService::processEvents(), kTimers);
  for (std::size_t i = 0; i < kTimers; ++i) EXPECT_EQ(ran[i], before[i] + 1);

  // Each stop takes exactly its own queued tick away.
  for (std::size_t k = 0; k < kTimers; ++k) {
    SCOPED_TRACE(k);
    ASSERT_TRUE(waitForQueued(kTimers - k));
    ms[k]->stop();
    stopped[k] = true;
    EXPECT_EQ(EventService::queuedCount(), kTimers - k - 1);
  }
  EXPECT_EQ(EventService::processEvents(), 0u);
  ms.clear();
}

}  // namespace
}  // namespace eventstest
}  // namespace zelobjsys
