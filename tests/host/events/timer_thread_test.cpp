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

TEST(TimerThreadTest, TicksOnAnAbsoluteScheduleCatchingUpOrSkippingLateRunsByMode) {
  const struct {
    TimerThread::ExecutionMode mode;
    double busy;  // each run takes about 4.5 periods when set
  } rows[] = {{TimerThread::executeEveryTick, 0.0},
              {TimerThread::executeEveryTick, 0.045},
              {TimerThread::skipMissedTicks, 0.045}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.mode);
    SCOPED_TRACE(r.busy);
    RecordingTimer timer(r.mode, 0.01, r.busy);
    const Timestamp beforeStart;
    ASSERT_TRUE(timer.start());
    const Timestamp afterStart;
    EXPECT_FALSE(timer.start());
    ASSERT_TRUE(waitFor([&] { return timer.ticks >= 5; }));
    if (r.busy > 0) {
      ASSERT_TRUE(waitFor([&] { return timer.inExecute.load(); }));
    }
    timer.stop();
    EXPECT_FALSE(timer.inExecute) << "stop waits for a running execute";
    EXPECT_FALSE(timer.isRunning());
    const int ticks = timer.ticks;
    timer.stop();
    // A loaded machine delays runs (they catch up) but never adds any.
    EXPECT_LE(ticks, static_cast<int>((Timestamp() - beforeStart) / 0.01) + 1);
    auto runs = timer.dueAndStarted();
    expectOnSchedule(runs, 0.01);
    for (std::size_t i = 1; i < runs.size(); ++i) {
      const double gap = runs[i].first - runs[i - 1].first;
      if (r.mode == TimerThread::executeEveryTick) {
        EXPECT_NEAR(gap, 0.01, 1e-6) << "every due time gets a run";
      } else {
        EXPECT_GE(gap, 0.04 - 1e-6);
      }
    }
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
  const std::vector<double> refused = {0.0, -1.0, std::nan(""),
                                       std::numeric_limits<double>::infinity()};
  for (double p : refused) {
    SCOPED_TRACE(p);
    EXPECT_FALSE(timer.setPeriod(p));
    EXPECT_EQ(timer.getPeriod(), 30.0);
  }
  EXPECT_TRUE(timer.setPeriod(1e-6));
  EXPECT_EQ(timer.getPeriod(), TimerThread::minimumPeriod);
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

// A thread that cannot get to its stop request until the test lets it, as one the scheduler has not
// reached yet.
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

}  // namespace
