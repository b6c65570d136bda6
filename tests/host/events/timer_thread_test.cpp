// Tests of TimerThread's schedule, period changes and stop, and of Event.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "zelhost/events/events.h"

using zelutil::Thread;
using zelutil::TimerThread;
using zelutil::Timestamp;

namespace {

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
  std::thread setter([&] {
    Thread::sleep(0.02);
    autoReset.set();
  });
  EXPECT_TRUE(autoReset.wait(10.0));
  setter.join();
  Thread::sleep(std::nan(""));  // returns at once
}

}  // namespace
