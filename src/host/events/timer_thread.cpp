// Thread, WorkThread, TimerThread and Event: the host layer's own threads and their signal.
#include "zelhost/events/timer_thread.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include <boost/chrono.hpp>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace zelutil {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Waits never exceed a day at a time, so that a huge period cannot overflow
// the clock's arithmetic; the timer loop simply waits again.
constexpr double kLongestWait = 86400.0;

bool isValidPeriod(double seconds) { return std::isfinite(seconds) && seconds > 0.0; }

double elapsedSince(SteadyClock::time_point origin) {
  return std::chrono::duration<double>(SteadyClock::now() - origin).count();
}

// The steady time point of an offset from origin, rounded up so that waking at
// it is never before the offset.
SteadyClock::time_point deadlineAt(SteadyClock::time_point origin, double offset) {
  const double now = elapsedSince(origin);
  offset = std::min(offset, now + kLongestWait);
  return origin +
         std::chrono::ceil<std::chrono::nanoseconds>(std::chrono::duration<double>(offset));
}

}  // namespace

// ---------------------------------------------------------------- Thread

Thread::Thread() = default;

Thread::~Thread() {
  // A subclass should have stopped already; this only avoids std::terminate
  // for a joinable thread. From the thread itself it cannot be joined.
  if (isCurrentThread()) {
    if (thread_.joinable()) thread_.detach();
    return;
  }
  std::lock_guard<std::mutex> lock(lifeMutex_);
  if (thread_.joinable()) thread_.join();
  running_ = false;
}

bool Thread::start() {
  if (isCurrentThread()) return false;
  std::lock_guard<std::mutex> lock(lifeMutex_);
  if (running_) return false;
  // A thread that stopped itself, or was asked to, is still to be joined.
  if (thread_.joinable()) {
    stopping();
    thread_.join();
  }
  starting();
  running_ = true;
  thread_ = std::thread([this] { body(); });
  return true;
}

void Thread::stop() {
  if (isCurrentThread()) {
    stopping();
    return;
  }
  std::lock_guard<std::mutex> lock(lifeMutex_);
  if (thread_.joinable()) {
    stopping();
    thread_.join();
  }
  running_ = false;
}

void Thread::requestStop() {
  if (isCurrentThread()) {
    stopping();
    return;
  }
  std::lock_guard<std::mutex> lock(lifeMutex_);
  if (thread_.joinable()) requestingStop();
  running_ = false;
}

bool Thread::isRunning() const { return running_; }

void Thread::sleep(double seconds) {
  if (!std::isfinite(seconds) || seconds <= 0.0) return;
  std::this_thread::sleep_for(std::chrono::duration<double>(std::min(seconds, kLongestWait)));
}

void Thread::starting() {}
void Thread::running() {}
void Thread::stopping() {}
void Thread::requestingStop() { stopping(); }

bool Thread::isCurrentThread() const { return runnerId_.load() == std::this_thread::get_id(); }

void Thread::body() {
  runnerId_ = std::this_thread::get_id();
  running();
  run();
  runnerId_ = std::thread::id();
}

// ---------------------------------------------------------------- WorkThread

void WorkThread::starting() {
  std::lock_guard<std::mutex> lock(waitMutex_);
  stopRequested_ = false;
  woken_ = false;
}

void WorkThread::stopping() {
  {
    std::lock_guard<std::mutex> lock(waitMutex_);
    stopRequested_ = true;
  }
  waitCond_.notify_all();
}

void WorkThread::requestingStop() {
  stopRequested_ = true;
  std::unique_lock<std::mutex> lock(waitMutex_, std::try_to_lock);
  if (!lock.owns_lock()) return;
  lock.unlock();
  waitCond_.notify_all();
}

bool WorkThread::waitUntil(SteadyClock::time_point deadline) {
  std::unique_lock<std::mutex> lock(waitMutex_);
  waitCond_.wait_until(lock, deadline, [this] { return stopRequested_ || woken_; });
  woken_ = false;
  return stopRequested_;
}

void WorkThread::wake() {
  {
    std::lock_guard<std::mutex> lock(waitMutex_);
    woken_ = true;
  }
  waitCond_.notify_all();
}

// ---------------------------------------------------------------- TimerThread

TimerThread::TimerThread(ExecutionMode mode, double period)
    : mode_(mode), period_(isValidPeriod(period) ? std::max(period, kMinimumPeriod) : 1.0) {}

TimerThread::~TimerThread() { stop(); }

bool TimerThread::setPeriod(double seconds) {
  if (!isValidPeriod(seconds)) return false;
  period_ = std::max(seconds, kMinimumPeriod);
  wake();
  return true;
}

double TimerThread::getPeriod() const { return period_; }

Timestamp TimerThread::getExecutionTime() const { return Timestamp(executionTime_.load()); }

void TimerThread::execute() {}

double TimerThread::nextDue(double anchor, double ticks, double period, double elapsed) const {
  double due = anchor + (ticks + 1.0) * period;
  if (mode_ == skipMissedTicks && elapsed - due >= period) {
    // Jump to the latest due time that has passed: one late run, not many.
    due = anchor + (ticks + 1.0 + std::floor((elapsed - due) / period)) * period;
  }
  return due;
}

void TimerThread::starting() {
  WorkThread::starting();
  // The schedule counts from the call of start(), however long the new thread
  // takes to come up.
  origin_ = SteadyClock::now();
  wallOrigin_ = Timestamp().getTime();
}

void TimerThread::run() {
#ifdef __linux__
  // Linux lets a timed wait end up to 50 us late by default, to batch
  // wake-ups; a timer's ticks should start on time.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
  const SteadyClock::time_point origin = origin_;
  const double wallOrigin = wallOrigin_;
  double period = period_;
  double anchor = 0.0;  // seconds after origin from which ticks are counted
  double ticks = 0.0;   // index of the last due time after the anchor
  double lastDue = 0.0;
  for (;;) {
    const double wanted = period_;
    if (wanted != period) {
      anchor = lastDue;
      ticks = 0.0;
      period = wanted;
    }
    double due = nextDue(anchor, ticks, period, elapsedSince(origin));
    if (waitUntil(deadlineAt(origin, due))) return;
    // Woken early (a new period or a spurious wake-up): plan again.
    if (elapsedSince(origin) < due) continue;
    ticks = std::round((due - anchor) / period);
    lastDue = due;
    executionTime_ = wallOrigin + due;
    runOnce();
  }
}

void TimerThread::runOnce() {
  try {
    execute();
  } catch (ZLException* e) {
    delete e;
  } catch (...) {
    // Nobody on this thread could report it; the schedule goes on.
  }
}

// ---------------------------------------------------------------- Event

Event::Event(bool manual, bool initialState) : manualReset(manual), signalled(initialState) {}

void Event::set() {
  {
    boost::lock_guard<boost::mutex> lock(mutex);
    signalled = true;
  }
  cond.notify_all();
}

void Event::reset() {
  boost::lock_guard<boost::mutex> lock(mutex);
  signalled = false;
}

bool Event::wait(double seconds) {
  boost::unique_lock<boost::mutex> lock(mutex);
  const auto isSet = [this] { return signalled; };
  if (std::isnan(seconds) || (std::isinf(seconds) && seconds > 0.0)) {
    cond.wait(lock, isSet);
  } else if (seconds > 0.0) {
    const auto limit = boost::chrono::duration<double>(std::min(seconds, kLongestWait));
    cond.wait_for(lock, boost::chrono::duration_cast<boost::chrono::nanoseconds>(limit), isSet);
  }
  const bool got = signalled;
  if (got && !manualReset) signalled = false;
  return got;
}

}  // namespace zelutil
