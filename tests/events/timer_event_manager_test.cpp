// Tests of the timer manager: period from its property, the lateness rule, stop flushing, and
// several 1 ms timers retuned while the host processes their events.
#include "zelobjsys/timer_event_manager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <vector>

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

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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
  Timed timed(double defaultPeriod) {
    Timed t;
    t.object = newObject();
    t.fcn = callbackProperty(t.object, "TimerFcn", "evt_log");
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
  EXPECT_EQ(t.period->getValueAsDouble(), 0.25) << "the factory default was stored";
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

TEST_F(TimerEventManagerTest, TickOverTwicePeriodLateIsDroppedAndOneWithinIsKept) {
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
  // Lateness only grows, so periods chosen around the lateness seen now are
  // exact just above it and safe (30 s of slack) below it.
  const double lateness = zelutil::Timestamp() - Peer::lastDue(*m);
  setDouble(*t.period, (lateness - 0.001) / 2);
  Peer::tick(*m);
  EXPECT_EQ(EventService::queuedCount(), 0u);

  setDouble(*t.period, (lateness + 30.0) / 2);
  Peer::tick(*m);
  Peer::tick(*m);
  EXPECT_EQ(EventService::queuedCount(), 1u) << "the second tick merged into the first";
  ASSERT_EQ(EventService::processEvents(), 1u);
  ASSERT_EQ(runs_.size(), 1u);
  EXPECT_EQ(runs_[0].object, t.object);
  EXPECT_EQ(runs_[0].type(), "Timer");
  EXPECT_EQ(zelhox::fcns::getString(runs_[0].data("Product")), "scope");
}

TEST_F(TimerEventManagerTest, FastTimersRetunedWhileRunningStayCoalescedAndStopOnlyTheirTicks) {
  constexpr std::size_t kTimers = 3;
  std::vector<Timed> ts;
  std::vector<std::unique_ptr<TimerEventManager>> ms;
  std::map<QxInterface*, std::size_t> ran;
  std::set<QxInterface*> stopped;
  for (std::size_t i = 0; i < kTimers; ++i) {
    ts.push_back(timed(0.001));
    ms.push_back(manager(ts[i]));
  }
  onRun_ = [&](const CallbackRun& run) {
    EXPECT_FALSE(stopped.count(run.object) != 0 && run.type() == "Timer") << "ran after stop";
    ++ran[run.object];
  };
  for (auto& m : ms) m->start();
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t turn = 0; secondsSince(start) < 1.5; ++turn) {
    setDouble(*ts[turn % kTimers].period, turn % 3 == 0 ? 0.002 : 0.001);
    EXPECT_LE(EventService::queuedCount(), kTimers) << "at most one queued tick per timer";
    EventService::processEvents();
    zelutil::Thread::sleep(0.0002);
  }
  for (const Timed& t : ts) EXPECT_GE(ran[t.object], 10u) << "starved";

  // Each stop takes exactly its own queued tick away, the last one's by its
  // destructor; another event of the same object stays.
  Property* errorFcn = callbackProperty(ts[0].object, "ErrorFcn", "evt_log");
  (new HCallbackEvent(errorFcn, ts[0].object, new ErrorEventInfo("dev:e", "e"), "", true, true))
      ->serviceEvent(false);
  for (std::size_t k = 0; k < kTimers; ++k) {
    SCOPED_TRACE(k);
    ASSERT_TRUE(waitForQueued(kTimers - k + 1));
    stopped.insert(ts[k].object);
    if (k + 1 < kTimers) {
      ms[k]->stop();
      EXPECT_FALSE(ms[k]->isRunning());
    } else {
      ms[k].reset();
    }
    EXPECT_EQ(EventService::queuedCount(), kTimers - k);
  }
  runs_.clear();
  EXPECT_EQ(EventService::processEvents(), 1u);
  ASSERT_EQ(runs_.size(), 1u);
  EXPECT_EQ(runs_[0].type(), "Error");
}

}  // namespace
}  // namespace eventstest
}  // namespace zelobjsys
