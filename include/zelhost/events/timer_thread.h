// Threads of the host layer: Thread, WorkThread, the periodic TimerThread and the Event flag.
#ifndef ZELHOST_TIMER_THREAD_H
#define ZELHOST_TIMER_THREAD_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>

#include "zelhost/services/zelutil.h"

namespace zelutil {

// An owned thread of execution with hooks around its life. start() and stop()
// may be called from any thread (they are serialised); run() executes on the
// new thread. The object must outlive the thread: a subclass whose run() uses
// its own members calls stop() in its destructor.
class Thread {
 public:
  Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  // Stops (joins) a thread still running.
  virtual ~Thread();

  // Calls starting() here, then launches the thread, which calls running()
  // and run(). False (and nothing happens) when the thread already runs.
  bool start();
  // Calls stopping() here and waits until run() has returned. Idempotent.
  // Called from the thread itself, it only asks it to stop (it cannot wait for
  // itself); the thread is joined by the next start, stop or the destructor.
  void stop();
  // Asks the thread to stop (requestingStop()) and returns without waiting for
  // it: a thread buried under busy siblings may take the scheduler a long
  // while to reach. isRunning() is false from here; the next start, stop or
  // the destructor joins the thread, calling stopping() first.
  void requestStop();
  // True between start() and the end of stop() or requestStop().
  bool isRunning() const;

  // Sleeps this many seconds; zero, negative and non-finite values return at
  // once.
  static void sleep(double seconds);

 protected:
  // The body of the thread.
  virtual void run() = 0;
  // Called by start() on the starting thread before the thread is launched.
  virtual void starting();
  // Called on the new thread before run().
  virtual void running();
  // Called by stop() on the stopping thread, and before any join: tell run()
  // to return.
  virtual void stopping();
  // Called by requestStop(): tell run() to return, without waiting for
  // anything the thread may hold. The default calls stopping().
  virtual void requestingStop();

  // True on the thread that runs run().
  bool isCurrentThread() const;

 private:
  void body();

  mutable std::mutex lifeMutex_;  // serialises start and stop
  std::thread thread_;
  std::atomic<std::thread::id> runnerId_{};
  std::atomic<bool> running_{false};
};

// A thread that works until it is asked to stop, and can sleep in a way that a
// stop request (or wake()) ends at once.
class WorkThread : public Thread {
 protected:
  void starting() override;
  void stopping() override;
  // Never waits for the wait lock: a thread preempted while holding it, among
  // many busy ones, could keep the requester waiting for hundreds of
  // milliseconds. When the lock is taken, the request may miss a wait that is
  // about to begin; that wait then ends at its deadline, and stop() and
  // start(), which call stopping() before they join, end it at once.
  void requestingStop() override;

  // Waits until the deadline, a stop request or wake(), whichever comes first.
  // True when a stop was requested.
  bool waitUntil(std::chrono::steady_clock::time_point deadline);
  // Ends the current (or next) waitUntil early. Safe from any thread.
  void wake();
  bool isStopRequested() const { return stopRequested_.load(); }
  // The flag behind isStopRequested, for hand-overs that a stop withdraws
  // (IEvent::withdrawWhen). Lives as long as the thread object.
  const std::atomic<bool>& stopRequest() const { return stopRequested_; }

 private:
  mutable std::mutex waitMutex_;
  std::condition_variable waitCond_;
  // Written under waitMutex_ (the waits test it there), except by
  // requestingStop(); read without it.
  std::atomic<bool> stopRequested_{false};
  bool woken_ = false;
};

// Calls execute() on its own thread once per period, on an absolute schedule:
// the k-th run is due at start + k * period, so runs do not drift, and a run is
// never early. After a period change the schedule restarts from the last due
// time (from the start when none ran yet). start(), stop() and setPeriod() may
// be called from any thread.
class TimerThread : public WorkThread {
 public:
  enum ExecutionMode {
    // Every due time gets its own run, late ones back to back (execute can see
    // how late it is from getExecutionTime and drop the run).
    executeEveryTick = 0,
    // Due times that passed while a run was late are skipped: one late run,
    // then back on the schedule.
    skipMissedTicks = 1,
  };

  // The shortest period; shorter positive periods are raised to it.
  static constexpr double kMinimumPeriod = 0.001;

  // A period that setPeriod refuses makes a period of 1 second.
  TimerThread(ExecutionMode mode, double period);
  // Stops the thread. A subclass that overrides execute() must call stop() in
  // its own destructor: here execute() is no longer the subclass's.
  ~TimerThread() override;

  // Sets the period in seconds, taking effect for the run being waited for.
  // Refuses (false, no change) a period that is not a positive finite number.
  bool setPeriod(double seconds);
  double getPeriod() const;
  ExecutionMode getExecutionMode() const { return mode_; }

  // The time at which the current (or last) run was due.
  Timestamp getExecutionTime() const;

 protected:
  void starting() override;
  void run() override;
  // One run, on the timer thread. Should not throw: an escaped exception is
  // dropped so that the schedule goes on.
  virtual void execute();

 private:
  double nextDue(double anchor, double ticks, double period, double elapsed) const;
  void runOnce();

  const ExecutionMode mode_;
  // Set by starting() before the thread is launched; read only by it.
  std::chrono::steady_clock::time_point origin_;
  double wallOrigin_ = 0.0;
  std::atomic<double> period_;
  std::atomic<double> executionTime_{0.0};
};

// A signal between threads, after the fashion of a Win32 event: set() makes it
// signalled and wakes waiters; an auto-reset event is consumed by the wait that
// sees it, a manual-reset one stays signalled until reset(). The members are
// public because waiting code locks and waits on them directly; they are only
// touched with mutex held.
class Event {
 public:
  Event(bool manualReset, bool initialState);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void set();
  void reset();
  // Waits up to this many seconds for the signal; true when it came. NaN or
  // infinite waits without limit; zero or negative only looks.
  bool wait(double seconds);

  boost::mutex mutex;
  boost::condition_variable cond;
  bool manualReset;
  bool signalled;
};

}  // namespace zelutil

#endif  // ZELHOST_TIMER_THREAD_H
