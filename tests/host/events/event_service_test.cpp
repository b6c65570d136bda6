// Tests of the event service (order, coalescing indexed and scanned, flushing, threads, stop), of
// HEventInfo's event structure, of HEventManager's hold on the service, and of TimerThread's
// schedule, period changes and stop, and of Event.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "zelhost/events/events.h"
#include "zelhost/events/hevent.h"
#include "zelhost/services/services.h"
#include "zelhost/services/zelhox.h"

using zelutil::CoalesceKey;
using zelutil::EventService;
using zelutil::IEvent;
using zelutil::Thread;
using zelutil::TimerThread;
using zelutil::Timestamp;

namespace {

std::atomic<int> deletedEvents{0};
std::vector<int> runLog;                   // host thread only
std::vector<std::pair<int, int>> merges;   // (queued, incoming)
const std::set<int>* accepting = nullptr;  // when set: the queued ids a coalescing event accepts

struct IdInfo : zelutil::IEventInfo {
  explicit IdInfo(int i) : id(i) {}
  int id;
};
int idOf(const zelutil::IEventInfo* info) { return static_cast<const IdInfo*>(info)->id; }

// An event of one owner and callback name; one with an owner merges with a queued event of the
// same owner and name (an empty name: any) whose id `accepting` lists. keyed selects the index.
class TestEvent : public IEvent {
 public:
  TestEvent(int id, const void* owner = nullptr, std::string name = "", bool keyed = false)
      : IEvent(new IdInfo(id)), owner_(owner), name_(std::move(name)), keyed_(keyed) {}
  ~TestEvent() override { ++deletedEvents; }
  bool isExecutable() const override { return executable; }
  bool serviceEvent(bool runFirst) override {
    if (owner_ == nullptr || !coalesces) return serviceOrCoalesceEvent(runFirst, nullptr, nullptr);
    Match match(owner_, name_);
    LogMerge merge;
    return serviceOrCoalesceEvent(runFirst, &match, &merge);
  }

  struct Match : zelutil::IMatchEventFcn {
    Match(const void* o, std::string n) : owner(o), name(std::move(n)) {}
    bool matches(const IEvent* e) const override {
      auto* t = dynamic_cast<const TestEvent*>(e);
      return t != nullptr && (owner == nullptr || t->owner_ == owner) &&
             (name.empty() || t->name_ == name) &&
             (accepting == nullptr || accepting->count(idOf(t->getEventInfo())) != 0);
    }
    const void* owner;
    std::string name;
  };
  struct LogMerge : zelutil::IMergeEventInfoFcn {
    void merge(zelutil::IEventInfo* queued, const zelutil::IEventInfo* incoming) override {
      merges.emplace_back(idOf(queued), idOf(incoming));
    }
  };
  bool executable = true;
  bool coalesces = true;  // false: handed over plainly, though it has an owner
  std::function<void(TestEvent*)> onRun;

 protected:
  bool execute() override {
    runLog.push_back(idOf(getEventInfo()));
    if (onRun) onRun(this);
    return true;
  }
  CoalesceKey getCoalesceKey() const override {
    // An empty name matches more than one key holds: such an event has to scan.
    return keyed_ && !name_.empty() ? CoalesceKey{owner_, name_} : CoalesceKey();
  }

 private:
  const void* owner_;
  std::string name_;
  bool keyed_;
};

class EventServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EventService::start();
    runLog.clear();
    merges.clear();
    deletedEvents = 0;
    accepting = nullptr;
  }
  void TearDown() override { EventService::stop(); }
};

TEST_F(EventServiceTest, RunsQueuedEventsInOrderDeletesThemAndDropsThemAtStop) {
  auto* skipped = new TestEvent(5);
  skipped->executable = false;
  EXPECT_TRUE((new TestEvent(1))->serviceEvent(false));
  EXPECT_TRUE((new TestEvent(2))->serviceEvent(false));
  EXPECT_TRUE(skipped->serviceEvent(false));
  EXPECT_TRUE((new TestEvent(3))->postEvent(nullptr));
  EXPECT_TRUE((new TestEvent(4))->serviceEvent(true));  // ahead of the others
  EXPECT_EQ(EventService::queuedCount(), 5u);
  EXPECT_EQ(deletedEvents, 0);
  EXPECT_EQ(EventService::processEvents(), 4u);
  EXPECT_EQ(runLog, (std::vector<int>{4, 1, 2, 3}));
  EXPECT_EQ(deletedEvents, 5);  // the one that was not executable too
  EXPECT_EQ(EventService::queuedCount(), 0u);
  // "drawnow" reaches the service while it runs.
  (new TestEvent(6))->serviceEvent(false);
  hoxProcessPendingEvents();
  EXPECT_EQ(runLog, (std::vector<int>{4, 1, 2, 3, 6}));
  // Stop deletes queued events unrun, later hand-overs are dropped, and a start takes them again.
  for (int i = 7; i < 10; ++i) (new TestEvent(i))->serviceEvent(false);
  EventService::stop();
  EXPECT_FALSE(EventService::isRunning());
  EXPECT_EQ(deletedEvents, 9);
  EXPECT_FALSE((new TestEvent(10))->serviceEvent(false));
  EXPECT_EQ(deletedEvents, 10);
  hoxProcessPendingEvents();
  EXPECT_EQ(EventService::processEvents(), 0u);
  EventService::stop();  // again: nothing
  EventService::start();
  EXPECT_TRUE((new TestEvent(11))->serviceEvent(false));
  EventService::processEvents();
  EXPECT_EQ(runLog, (std::vector<int>{4, 1, 2, 3, 6, 11}));
}

// A withdrawn hand-over deletes the event instead of queueing or coalescing it; the flag is read
// when the service takes the event, and an event that got through stays for the flush.
TEST_F(EventServiceTest, WithdrawnHandOversAreDeletedAndOthersStayForTheFlush) {
  std::atomic<bool> withdrawn{false};
  int owner = 0;
  auto* through = new TestEvent(1, &owner, "a", true);
  through->withdrawWhen(&withdrawn);
  EXPECT_TRUE(through->serviceEvent(false));
  withdrawn = true;  // too late for the queued one
  for (TestEvent* dropped : {new TestEvent(2), new TestEvent(3, &owner, "a", true)}) {
    dropped->withdrawWhen(&withdrawn);
    EXPECT_FALSE(dropped->serviceEvent(false));
  }
  EXPECT_EQ(deletedEvents, 2);
  EXPECT_TRUE(merges.empty());  // the coalescing one never reached the match
  EXPECT_EQ(EventService::queuedCount(), 1u);
  TestEvent::Match all(&owner, "");
  IEvent::flushEvents(&all, false);
  EXPECT_EQ(deletedEvents, 3);
  EXPECT_EQ(EventService::processEvents(), 0u);
}

// The per-key chains pick the same queued event as a scan of the whole queue, through insertions
// at both ends (4 goes ahead of 1 2 3), removals from a chain's middle (2), head (4) and whole
// (1 3) and tail (5 of b: 12 stays), and events without a key (name "") or owner scanning among
// keyed ones.
TEST_F(EventServiceTest, KeyChainsPickWhatAScanPicks) {
  int a = 0, b = 0;
  struct Step {
    std::set<int> ids;  // handing over: the queued ids it may merge into; flushing: those removed
    int id;             // 0: flush, -1: flush and run the flushed
    const void* owner;
    bool runFirst;
    int name = 0;  // of "TimerFcn", "", "ErrorFcn"
  };
  const char* names[] = {"TimerFcn", "", "ErrorFcn"};
  const std::vector<Step> steps = {
      {{}, 1, &a, false},        {{}, 2, &a, false},          {{}, 3, &a, false},
      {{}, 4, &a, true},         {{}, 5, &b, false},          {{2}, 0, nullptr, false},
      {{3, 1}, 6, &a, false},    {{3, 4}, 7, &a, false},      {{4}, 0, nullptr, false},
      {{1}, 8, &a, false},       {{1, 3}, 0, nullptr, false}, {{}, 9, &a, true},
      {{9}, 10, &a, false},      {{5}, 11, &b, false},        {{}, 12, &b, false},
      {{5}, -1, nullptr, false}, {{12}, 13, &b, true},        {{9}, 14, &a, false, 1},
      {{9}, 15, &a, false, 2},   {{15}, 16, &a, false, 1},    {{9}, 17, nullptr, false, 1},
  };
  for (bool keyed : {false, true}) {
    SCOPED_TRACE(keyed ? "indexed" : "scanned");
    runLog.clear();
    merges.clear();
    deletedEvents = 0;
    for (const Step& s : steps) {
      SCOPED_TRACE(s.id);
      accepting = &s.ids;
      if (s.id <= 0) {
        TestEvent::Match any(nullptr, "");
        IEvent::flushEvents(&any, s.id < 0);
      } else {
        const std::size_t mergesBefore = merges.size();
        const bool queued =
            (new TestEvent(s.id, s.owner, names[s.name], keyed))->serviceEvent(s.runFirst);
        EXPECT_EQ(queued, merges.size() == mergesBefore);
      }
    }
    IEvent::flushEvents(nullptr, true);  // flushes nothing
    EXPECT_EQ(EventService::queuedCount(), 4u);
    EXPECT_EQ(deletedEvents, 13);  // merged and flushed ones, at once
    EventService::processEvents();
    EXPECT_EQ(merges, (std::vector<std::pair<int, int>>{
                          {1, 6}, {4, 7}, {1, 8}, {9, 10}, {5, 11}, {12, 13}, {9, 14}, {15, 16}}));
    EXPECT_EQ(runLog, (std::vector<int>{5, 9, 12, 15, 17}));  // flushed with running: at once
  }
}

// Events handed over plainly wait apart from the queue until the host thread needs them; a
// coalescing event, a flush and an event placed first still see them where they arrived.
TEST_F(EventServiceTest, PlainHandOversAreSeenWhereTheyArrived) {
  int a = 0;
  for (bool keyed : {false, true}) {
    SCOPED_TRACE(keyed ? "indexed" : "scanned");
    runLog.clear();
    merges.clear();
    const std::set<int> first{1}, third{3};
    auto plain = [&](int id, const void* owner) {
      auto* event = new TestEvent(id, owner, "x", keyed);
      event->coalesces = false;
      return event;
    };
    EXPECT_TRUE(plain(1, &a)->serviceEvent(false));
    EXPECT_TRUE(plain(2, &a)->serviceEvent(false));
    accepting = &first;
    EXPECT_FALSE((new TestEvent(3, &a, "x", keyed))->serviceEvent(false));  // merges into 1
    EXPECT_TRUE(plain(3, nullptr)->serviceEvent(false));
    EXPECT_TRUE(plain(4, nullptr)->serviceEvent(true));
    accepting = &third;
    TestEvent::Match any(nullptr, "");
    IEvent::flushEvents(&any, false);
    accepting = nullptr;
    EXPECT_EQ(EventService::queuedCount(), 3u);
    EXPECT_EQ(EventService::processEvents(), 3u);
    EXPECT_EQ(merges, (std::vector<std::pair<int, int>>{{1, 3}}));
    EXPECT_EQ(runLog, (std::vector<int>{4, 1, 2}));
  }
}

TEST_F(EventServiceTest, EventsFromAnotherThreadRunOnceInOrder) {
  constexpr int kCount = 2000;
  std::atomic<bool> done{false};
  std::thread producer([&] {
    for (int i = 0; i < kCount; ++i) (new TestEvent(i))->serviceEvent(false);
    done = true;
  });
  const std::set<int> none;
  accepting = &none;
  TestEvent::Match nothing(nullptr, "");
  while (!done || EventService::queuedCount() > 0) {
    IEvent::flushEvents(&nothing, false);  // takes the producer's events in meanwhile
    EventService::processEvents();
  }
  producer.join();
  ASSERT_EQ(runLog.size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(runLog[i], i);
  EXPECT_EQ(deletedEvents, kCount);
}

TEST_F(EventServiceTest, NestedProcessingAndRequeuingAreSafe) {
  // An event that processes events (a callback calling drawnow) runs the rest.
  auto* outer = new TestEvent(1);
  outer->onRun = [](TestEvent*) { hoxProcessPendingEvents(); };
  outer->serviceEvent(false);
  (new TestEvent(2))->serviceEvent(false);
  (new TestEvent(3))->serviceEvent(false);
  EventService::processEvents();
  EXPECT_EQ(runLog, (std::vector<int>{1, 2, 3}));
  // A successor queued while running waits for the next call; a second hand-over is refused.
  runLog.clear();
  std::function<void(TestEvent*)> requeue = [&requeue](TestEvent* self) {
    EXPECT_FALSE(self->serviceEvent(false));
    auto* next = new TestEvent(7);
    next->onRun = requeue;
    next->serviceEvent(false);
  };
  auto* first = new TestEvent(7);
  first->onRun = requeue;
  EXPECT_TRUE(first->serviceEvent(false));
  EXPECT_FALSE(first->serviceEvent(false));
  EXPECT_EQ(EventService::processEvents(), 1u);
  EXPECT_EQ(EventService::processEvents(), 1u);
  EXPECT_EQ(runLog, (std::vector<int>{7, 7}));
  EXPECT_EQ(EventService::queuedCount(), 1u);
}

// The base record and one that gives no data: Data is an empty structure all the same.
TEST(EventServiceHEventTest, EventStructureHoldsAnEmptyDataStructureWhenNoneIsGiven) {
  struct NoData : HEventInfo {
    NoData() : HEventInfo(nullptr, false) {}
    hvArray* createHvEventData() const override { return nullptr; }
  } none;
  HEventInfo plain("Plain", false);
  for (const HEventInfo* info :
       {static_cast<const HEventInfo*>(&none), static_cast<const HEventInfo*>(&plain)}) {
    SCOPED_TRACE(info->getType());
    ZLScopedHvArray s(info->createPulvraStructure());
    EXPECT_EQ(zelhox::fcns::getString(hvGetField(s, 0, "Type")), info->getType());
    const hvArray* data = hvGetField(s, 0, "Data");
    ASSERT_TRUE(hvIsStruct(data));
    EXPECT_EQ(hvGetNumberOfElements(data), 1u);
    EXPECT_EQ(hvGetNumberOfFields(data), 0);
  }
}

TEST(EventServiceHEventTest, ManagerStartsAndStopsTheService) {
  EXPECT_EQ(HEventManager::getInstance(), nullptr);
  HEventManager* manager = HEventManager::createInstance();
  EXPECT_EQ(HEventManager::createInstance(), manager);
  EXPECT_EQ(HEventManager::getInstance(), manager);
  EXPECT_TRUE(EventService::isRunning());
  deletedEvents = 0;
  EXPECT_TRUE((new TestEvent(1))->serviceEvent(false));
  HEventManager::destroyInstance();
  EXPECT_EQ(deletedEvents, 1);
  EXPECT_FALSE(EventService::isRunning());
  EXPECT_EQ(HEventManager::getInstance(), nullptr);
  HEventManager::destroyInstance();  // nothing to do
}

using Runs = std::vector<std::pair<double, double>>;  // (due, started)

// Records when each run was due and when it started; each run takes busy seconds.
class RecordingTimer : public TimerThread {
 public:
  RecordingTimer(ExecutionMode mode, double period, double busy = 0.0)
      : TimerThread(mode, period), busy_(busy) {}
  ~RecordingTimer() override { stop(); }
  Runs runs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return runs_;
  }
  std::atomic<int> ticks{0};
  std::atomic<bool> inExecute{false};

 protected:
  void execute() override {
    inExecute = true;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      runs_.emplace_back(getExecutionTime().getTime(), Timestamp().getTime());
    }
    Thread::sleep(busy_);
    ++ticks;
    inExecute = false;
  }

 private:
  double busy_;
  mutable std::mutex mutex_;
  Runs runs_;
};

bool waitFor(const std::function<bool()>& condition, double seconds = 5.0) {
  const Timestamp start;
  while (!condition()) {
    if (Timestamp() - start > seconds) return false;
    Thread::sleep(0.001);
  }
  return true;
}

// Consecutive runs were due a whole number of periods apart: exactly one when every tick runs, at
// least minApart when missed ones are skipped. No run started before it was due.
void expectOnSchedule(const Runs& runs, double period, int minApart = 1) {
  ASSERT_FALSE(runs.empty());
  for (std::size_t i = 1; i < runs.size(); ++i) {
    SCOPED_TRACE(i);
    // Stamps near the epoch's present resolve about 0.25 us: allow 1 us.
    const double gap = runs[i].first - runs[i - 1].first;
    const double k = std::round(gap / period);
    EXPECT_NEAR(gap, k * period, 1e-6);
    EXPECT_TRUE(minApart == 1 ? k == 1.0 : k >= minApart) << k << " periods apart";
    EXPECT_GE(runs[i].second, runs[i].first - 2e-3);  // wall and steady clocks may differ a little
  }
}

TEST(TimerThreadTest, TicksOnAnAbsoluteScheduleCatchingUpOrSkippingLateRunsByMode) {
  // Busy runs take about 4.5 periods each.
  const struct {
    TimerThread::ExecutionMode mode;
    double busy;
    int minApart;
  } rows[] = {{TimerThread::executeEveryTick, 0.0, 1},
              {TimerThread::executeEveryTick, 0.045, 1},
              {TimerThread::skipMissedTicks, 0.045, 4}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.mode);
    SCOPED_TRACE(r.busy);
    RecordingTimer timer(r.mode, 0.01, r.busy);
    const Timestamp beforeStart;
    ASSERT_TRUE(timer.start());
    const Timestamp afterStart;
    EXPECT_FALSE(timer.start());
    ASSERT_TRUE(waitFor([&] { return timer.ticks >= 5 && (r.busy == 0 || timer.inExecute); }));
    timer.stop();
    EXPECT_FALSE(timer.inExecute) << "stop waits for a running execute";
    EXPECT_FALSE(timer.isRunning());
    const int ticks = timer.ticks;
    timer.stop();
    // A loaded machine delays runs (they catch up) but never adds any.
    EXPECT_LE(ticks, static_cast<int>((Timestamp() - beforeStart) / 0.01) + 1);
    const Runs runs = timer.runs();
    expectOnSchedule(runs, 0.01, r.minApart);
    // The first run is due one period after the call of start().
    EXPECT_GE(runs[0].first, beforeStart.getTime() + 0.01 - 1e-6);
    EXPECT_LE(runs[0].first, afterStart.getTime() + 0.01 + 1e-6);
    Thread::sleep(0.03);
    EXPECT_EQ(timer.ticks, ticks);
    EXPECT_TRUE(timer.start()) << "again after a stop";
    EXPECT_TRUE(waitFor([&] { return timer.ticks > ticks; }));
  }
}

TEST(TimerThreadTest, PeriodChangesFromAnotherThreadAndBadPeriodsAreRefused) {
  RecordingTimer timer(TimerThread::executeEveryTick, 30.0);
  for (double p : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
    SCOPED_TRACE(p);
    EXPECT_FALSE(timer.setPeriod(p));
    EXPECT_EQ(timer.getPeriod(), 30.0);
  }
  EXPECT_TRUE(timer.setPeriod(1e-6));
  EXPECT_EQ(timer.getPeriod(), TimerThread::kMinimumPeriod);
  EXPECT_EQ(TimerThread(TimerThread::executeEveryTick, -2.0).getPeriod(), 1.0);
  timer.setPeriod(30.0);
  timer.start();
  Thread::sleep(0.05);
  EXPECT_EQ(timer.ticks, 0);
  // The 30 s wait under way ends at once: the new period counts from the start.
  std::thread([&timer] { timer.setPeriod(0.02); }).join();
  EXPECT_TRUE(waitFor([&] { return timer.ticks >= 5; }, 2.0));
  timer.stop();
  expectOnSchedule(timer.runs(), 0.02);
}

// A stop, a stop request and the start after one end an hour's wait at once, and no tick runs.
TEST(TimerThreadTest, StopsEndALongWaitAtOnce) {
  RecordingTimer timer(TimerThread::executeEveryTick, 3600.0);
  const Timestamp before;
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(timer.start());
    Thread::sleep(0.01);  // well inside the wait
    if (round == 1) {
      timer.requestStop();  // the next start joins it
    } else {
      timer.stop();
    }
  }
  ASSERT_TRUE(timer.start());
  timer.stop();
  EXPECT_LT(Timestamp() - before, 60.0) << "a wait ran to its deadline";
  EXPECT_EQ(timer.ticks, 0);
}

// A thread that cannot get to its stop request until the test lets it, as one the scheduler has
// not reached yet.
class HeldThread : public Thread {
 public:
  ~HeldThread() override {
    gate.set();
    stop();
  }
  zelutil::Event gate{true, false};
  std::atomic<int> runs{0};

 protected:
  void starting() override { gate.reset(); }
  void run() override {
    ++runs;
    gate.wait(std::numeric_limits<double>::infinity());
  }
};

TEST(TimerThreadTest, RequestStopReturnsBeforeTheThreadEndsWhichTheNextStartJoins) {
  HeldThread thread;
  ASSERT_TRUE(thread.start());
  ASSERT_TRUE(waitFor([&] { return thread.runs == 1; }));
  thread.requestStop();  // would hang here if it joined
  EXPECT_FALSE(thread.isRunning());
  thread.requestStop();
  std::thread releaser([&] {
    Thread::sleep(0.05);
    thread.gate.set();
  });
  EXPECT_TRUE(thread.start());  // joins the held thread once it is released
  releaser.join();
  EXPECT_TRUE(waitFor([&] { return thread.runs == 2; }));
  EXPECT_TRUE(thread.isRunning());
}

TEST(TimerThreadTest, EventSignalsAcrossThreads) {
  zelutil::Event autoReset(false, true), manual(true, true);
  EXPECT_TRUE(autoReset.wait(0.0) && manual.wait(0.0));
  EXPECT_FALSE(autoReset.wait(-std::numeric_limits<double>::infinity()));  // consumed
  manual.reset();
  EXPECT_FALSE(manual.wait(0.01));
  std::thread setter([&] {
    Thread::sleep(0.02);
    autoReset.set();
  });
  EXPECT_TRUE(autoReset.wait(10.0));
  setter.join();
  Thread::sleep(std::nan(""));  // returns at once
}

}  // namespace
