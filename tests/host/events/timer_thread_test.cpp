// Tests of TimerThread's schedule, period changes and stop, of Event, and a timers-and-events
// stress run.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "zelhost/events/events.h"

using zelutil::EventService;
using zelutil::Thread;
using zelutil::TimerThread;
using zelutil::Timestamp;

namespace {

// Counts its runs and records when each was due and when it started.
class RecordingTimer : public TimerThread {
 public:
  RecordingTimer(ExecutionMode mode, double period, double busySeconds = 0.0)
      : TimerThread(mode, period), busy_(busySeconds) {}
  ~RecordingTimer() override { stop(); }

  std::vector<std::pair<double, double>> dueAndStarted() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return runs_;
  }
  std::atomic<int> ticks{0};
  std::atomic<bool> inExecute{false};

 protected:
  void execute() override {
    inExecute = true;
    const double started = Timestamp().getTime();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      runs_.emplace_back(getExecutionTime().getTime(), started);
    }
    Thread::sleep(busy_);
    ++ticks;
    inExecute = false;
  }

 private:
  double busy_;
  mutable std::mutex mutex_;
  std::vector<std::pair<double, double>> runs_;
};

bool waitFor(const std::function<bool()>& condition, double seconds = 5.0) {
  const Timestamp start;
  while (!condition()) {
    if (Timestamp() - start > seconds) return false;
    Thread::sleep(0.001);
  }
  return true;
}

// Due times lie on the grid first + k * period, and no run starts early.
void expectOnSchedule(const std::vector<std::pair<double, double>>& runs, double period) {
  ASSERT_FALSE(runs.empty());
  for (std::size_t i = 0; i < runs.size(); ++i) {
    SCOPED_TRACE(i);
    // Stamps near the epoch's present resolve about 0.25 us: allow 1 us.
    const double k = std::round((runs[i].first - runs[0].first) / period);
    EXPECT_NEAR(runs[i].first - runs[0].first, k * period, 1e-6);
    EXPECT_GE(runs[i].second, runs[i].first - 2e-3);  // wall and steady clocks may differ a little
  }
}

TEST(TimerThreadTest, TicksOnceAPeriodOnAnAbsoluteSchedule) {
  RecordingTimer timer(TimerThread::executeEveryTick, 0.01);
  const Timestamp beforeStart;
  ASSERT_TRUE(timer.start());
  const Timestamp afterStart;
  EXPECT_FALSE(timer.start());
  Thread::sleep(0.3);
  timer.stop();
  const Timestamp stopped;
  // A loaded machine delays runs (they catch up) but never adds any.
  const int ticks = timer.ticks;
  EXPECT_GE(ticks, 5);
  EXPECT_LE(ticks, static_cast<int>((stopped - beforeStart) / 0.01) + 1);
  auto runs = timer.dueAndStarted();
  expectOnSchedule(runs, 0.01);
  // Every due time gets a run: consecutive runs are one period apart.
  for (std::size_t i = 1; i < runs.size(); ++i)
    EXPECT_NEAR(runs[i].first - runs[i - 1].first, 0.01, 1e-6);
  // The first run is due one period after the call of start().
  EXPECT_GE(runs[0].first, beforeStart.getTime() + 0.01 - 1e-6);
  EXPECT_LE(runs[0].first, afterStart.getTime() + 0.01 + 1e-6);
}

TEST(TimerThreadTest, PeriodChangesFromAnotherThreadAndBadPeriodsAreRefused) {
  RecordingTimer timer(TimerThread::executeEveryTick, 30.0);
  const std::vector<double> refused = {0.0, -1.0, std::nan(""),
                                       std::numeric_limits<double>::infinity()};
  for (double p : refused) {
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
  auto runs = timer.dueAndStarted();
  expectOnSchedule(runs, 0.02);
}

TEST(TimerThreadTest, StopWaitsForARunningExecuteAndIsIdempotent) {
  RecordingTimer timer(TimerThread::executeEveryTick, 0.005, 0.15);
  timer.start();
  ASSERT_TRUE(waitFor([&] { return timer.inExecute.load(); }));
  timer.stop();
  EXPECT_FALSE(timer.inExecute);
  EXPECT_FALSE(timer.isRunning());
  const int ticks = timer.ticks;
  timer.stop();
  Thread::sleep(0.03);
  EXPECT_EQ(timer.ticks, ticks);
  // It starts again after a stop.
  EXPECT_TRUE(timer.start());
  EXPECT_TRUE(waitFor([&] { return timer.ticks > ticks; }));
}

// A thread that cannot get to its stop request until the test lets it, as one
// the scheduler has not reached yet.
class HeldThread : public Thread {
 public:
  ~HeldThread() override {
    release();
    stop();
  }
  void release() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      held_ = false;
    }
    cond_.notify_all();
  }
  std::atomic<int> runs{0};

 protected:
  void starting() override { held_ = true; }
  void run() override {
    ++runs;
    std::unique_lock<std::mutex> lock(mutex_);
    cond_.wait(lock, [this] { return !held_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cond_;
  bool held_ = false;
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
    thread.release();
  });
  EXPECT_TRUE(thread.start());  // joins the held thread once it is released
  releaser.join();
  EXPECT_TRUE(waitFor([&] { return thread.runs == 2; }));
  EXPECT_TRUE(thread.isRunning());
}

TEST(TimerThreadTest, LateRunsAreCaughtUpOrSkippedByMode) {
  for (auto mode : {TimerThread::executeEveryTick, TimerThread::skipMissedTicks}) {
    SCOPED_TRACE(mode);
    RecordingTimer timer(mode, 0.01, 0.045);  // each run takes about 4.5 periods
    timer.start();
    ASSERT_TRUE(waitFor([&] { return timer.ticks >= 5; }));
    timer.stop();
    auto runs = timer.dueAndStarted();
    expectOnSchedule(runs, 0.01);
    for (std::size_t i = 1; i < runs.size(); ++i) {
      const double gap = runs[i].first - runs[i - 1].first;
      if (mode == TimerThread::executeEveryTick) {
        EXPECT_NEAR(gap, 0.01, 1e-6);
      } else {
        EXPECT_GE(gap, 0.04 - 1e-6);
      }
    }
  }
}

TEST(TimerThreadTest, EventSignalsAcrossThreads) {
  zelutil::Event autoReset(false, true);
  EXPECT_TRUE(autoReset.wait(0.0));
  EXPECT_FALSE(autoReset.wait(0.0));  // consumed
  EXPECT_FALSE(autoReset.wait(-std::numeric_limits<double>::infinity()));
  zelutil::Event manual(true, false);
  manual.set();
  EXPECT_TRUE(manual.wait(0.0));
  EXPECT_TRUE(manual.wait(0.0));
  manual.reset();
  EXPECT_FALSE(manual.wait(0.01));

  const Timestamp start;
  std::thread setter([&] {
    Thread::sleep(0.02);
    autoReset.set();
  });
  EXPECT_TRUE(autoReset.wait(10.0));
  EXPECT_LT(Timestamp() - start, 5.0);
  setter.join();
  Thread::sleep(std::nan(""));  // returns at once
}

// Several 1 ms timers hand events over while the host thread changes their
// periods and processes events: every queued event runs exactly once, none
// after the service stopped, and every event is deleted.
class StressEvent : public zelutil::IEvent {
 public:
  StressEvent(int timer, int seq, bool keyed)
      : IEvent(nullptr), timer_(timer), seq_(seq), keyed_(keyed) {}
  ~StressEvent() override { ++deleted; }
  bool serviceEvent(bool runFirst) override {
    if (!keyed_) return serviceOrCoalesceEvent(runFirst, nullptr, nullptr);
    SameTimer match(timer_);
    return serviceOrCoalesceEvent(runFirst, &match, nullptr);
  }
  static std::atomic<int> deleted;
  static std::set<std::pair<int, int>>* ran;  // host thread only

 protected:
  bool execute() override {
    EXPECT_TRUE(ran->insert({timer_, seq_}).second) << "ran twice";
    return true;
  }
  zelutil::CoalesceKey getCoalesceKey() const override {
    return keyed_ ? zelutil::CoalesceKey{&deleted, std::to_string(timer_)} : zelutil::CoalesceKey();
  }

 private:
  struct SameTimer : zelutil::IMatchEventFcn {
    explicit SameTimer(int t) : timer(t) {}
    bool matches(const IEvent* e) const override {
      auto* s = dynamic_cast<const StressEvent*>(e);
      return s != nullptr && s->timer_ == timer;
    }
    int timer;
  };
  int timer_, seq_;
  bool keyed_;
};
std::atomic<int> StressEvent::deleted{0};
std::set<std::pair<int, int>>* StressEvent::ran = nullptr;

class EventTimer : public TimerThread {
 public:
  EventTimer(int id, bool coalescing)
      : TimerThread(executeEveryTick, 0.001), id_(id), coalescing_(coalescing) {}
  ~EventTimer() override { stop(); }
  std::atomic<int> created{0}, queued{0};

 protected:
  void execute() override {
    auto* e = new StressEvent(id_, created++, coalescing_);
    if (e->serviceEvent(false)) ++queued;  // e belongs to the service now
  }

 private:
  int id_;
  bool coalescing_;
};

TEST(TimerThreadTest, StressTimersAndEventService) {
  std::set<std::pair<int, int>> ran;
  StressEvent::ran = &ran;
  StressEvent::deleted = 0;
  EventService::start();
  std::vector<std::unique_ptr<EventTimer>> timers;
  for (int i = 0; i < 4; ++i) timers.push_back(std::make_unique<EventTimer>(i, i % 2 == 1));
  for (auto& t : timers) t->start();
  const Timestamp start;
  for (int round = 0; Timestamp() - start < 2.0; ++round) {
    EventService::processEvents();
    if (round % 50 == 0) timers[round / 50 % 4]->setPeriod(0.001 * (1 + round % 3));
    Thread::sleep(0.001);
  }
  for (auto& t : timers) t->stop();
  EventService::processEvents();
  EXPECT_EQ(EventService::queuedCount(), 0u);

  // Events still queued when the service stops are deleted, never run.
  const std::size_t ranBefore = ran.size();
  (new StressEvent(99, 0, false))->serviceEvent(false);
  EventService::stop();
  EventService::processEvents();
  EXPECT_EQ(ran.size(), ranBefore);

  int created = 0;
  std::size_t queued = 0;
  for (auto& t : timers) {
    created += t->created;
    queued += static_cast<std::size_t>(t->queued);
    EXPECT_GT(t->created, 100);
  }
  EXPECT_EQ(ran.size(), queued);  // every queued event ran, once
  EXPECT_EQ(StressEvent::deleted, created + 1);
  StressEvent::ran = nullptr;
}

}  // namespace
