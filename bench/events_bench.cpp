// Callback events through the event service (plain, from a producer thread, coalescing beside few
// or many unrelated queued events) and the tick lateness of a 1 ms timer.
#include <benchmark/benchmark.h>

#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "alloc_counter.h"
#include "common/test_product.h"
#include "measure.h"
#include "zelhost/events/events.h"
#include "zelhost/events/timer_thread.h"
#include "zelhost/objects/qx_interface.h"
#include "zelhost/services/services.h"
#include "zelhost/services/zelhox.h"
#include "zelobjsys/fcns.h"
#include "zelobjsys/hcallback_event.h"
#include "zelobjsys/hcallback_event_info.h"
#include "zelobjsys/property.h"
#include "zelobjsys/timer_event_manager.h"

namespace {

using zelobjsys::HCallbackEvent;
using zelobjsys::Property;
using zelobjsys::PropInfo;
using zelutil::EventService;

// How many callbacks ran; only the host thread runs them.
long gCallbacksRun = 0;

// Objects whose callback properties run a host function that only counts.
class CallbackWorld {
 public:
  CallbackWorld() {
    EventService::start();
    hoxRegisterFunction("bench_noop", [](int, hvArray*[], int, hvArray*[]) { ++gCallbacksRun; });
  }
  ~CallbackWorld() {
    EventService::stop();
    properties_.clear();
    records_.clear();
    for (auto& ref : objects_) ref->destroy(QxDatabaseClient::getInternalClient());
    hoxUnregisterFunction("bench_noop");
  }

  // A callback property of a new object.
  Property* callback(const char* name) {
    QxInterface* object = hoxCreateObject(nullptr, nullptr);
    objects_.emplace_back(object->getReference());
    auto record = std::make_unique<zelobjsys::TestPropInfo<>>(name);
    zelobjsys::PropInfoTestPeer::initQxValuesBeforeAdd(*record, "PULVRA callback");
    auto prop = std::make_unique<Property>(object, record.get());
    ZLScopedHvArray handle(zelobjsys::fcns::createFunctionHandle("bench_noop"));
    HCallback* cb = new HCallback(handle);
    prop->setValue(cb, false);
    cb->release(1);
    records_.push_back(std::move(record));
    properties_.push_back(std::move(prop));
    return properties_.back().get();
  }

  // A double property, defaulting to value, of the object that owns callbackProp.
  Property* number(Property* callbackProp, const char* name, double value) {
    auto record = std::make_unique<zelobjsys::TestPropInfo<>>(name);
    ZLScopedHvArray initial(hvCreateDoubleScalar(value));
    record->setPIDefaultValue(initial);
    zelobjsys::PropInfoTestPeer::initQxValuesBeforeAdd(*record, "double");
    auto prop = std::make_unique<Property>(callbackProp->getOwner(), record.get());
    records_.push_back(std::move(record));
    properties_.push_back(std::move(prop));
    return properties_.back().get();
  }

 private:
  std::vector<std::unique_ptr<QxInterface>> objects_;
  std::vector<std::unique_ptr<PropInfo>> records_;
  std::vector<std::unique_ptr<Property>> properties_;
};

bool hand(Property* prop, bool coalescable) {
  auto* event = new HCallbackEvent(prop, prop->getOwner(), new zelobjsys::TimerEventInfo, "", true,
                                   coalescable);
  return event->serviceEvent(false);  // the service owns it
}

// Hand over a batch of events, then run them all: the full road of a callback.
void BM_EventHandAndRun(benchmark::State& state) {
  CallbackWorld world;
  Property* prop = world.callback("ErrorFcn");
  constexpr int kBatch = zelbench::kEventBatch;
  const long ranBefore = gCallbacksRun;
  const zelbench::AllocCounts before = zelbench::allocCounts();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) hand(prop, false);
    benchmark::DoNotOptimize(EventService::processEvents());
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  state.counters["allocs_per_event"] =
      static_cast<double>(zelbench::allocCounts().allocations - before.allocations) /
      static_cast<double>(state.iterations() * kBatch);
  zelbench::verifyCount(state, "ran", gCallbacksRun - ranBefore,
                        static_cast<std::int64_t>(state.iterations()) * kBatch);
}
BENCHMARK(BM_EventHandAndRun);

// One producer thread hands events over while the host thread runs them: the
// rate of events handed over and run.
void BM_EventProducerThread(benchmark::State& state) {
  CallbackWorld world;
  Property* prop = world.callback("ErrorFcn");
  constexpr long kEvents = 20000;
  for (auto _ : state) {
    const long target = gCallbacksRun + kEvents;
    std::thread producer([prop] {
      for (long i = 0; i < kEvents; ++i) hand(prop, false);
    });
    while (gCallbacksRun < target) {
      if (EventService::processEvents() == 0) std::this_thread::yield();
    }
    producer.join();
  }
  state.SetItemsProcessed(state.iterations() * kEvents);
  state.counters["events_per_iteration"] = kEvents;
}
BENCHMARK(BM_EventProducerThread)->Unit(benchmark::kMillisecond)->UseRealTime();

// A tick whose predecessor is still queued merges into it; the queue also
// holds range(0) unrelated callback events, which coalescing must not scan.
void BM_EventCoalesce(benchmark::State& state) {
  CallbackWorld world;
  std::vector<Property*> unrelated;
  unrelated.reserve(static_cast<std::size_t>(state.range(0)));
  for (int i = 0; i < state.range(0); ++i) unrelated.push_back(world.callback("TimerFcn"));
  for (Property* p : unrelated) hand(p, true);
  Property* prop = world.callback("TimerFcn");
  hand(prop, true);
  for (auto _ : state) benchmark::DoNotOptimize(hand(prop, true));
  state.SetItemsProcessed(state.iterations());
  state.counters["queued"] = static_cast<double>(EventService::queuedCount());
}
BENCHMARK(BM_EventCoalesce)->Arg(10)->Arg(10000);

// How late the ticks of a 1 ms timer start after their due time.
class LatenessProbe : public zelutil::TimerThread {
 public:
  LatenessProbe() : TimerThread(executeEveryTick, 0.001) {}
  ~LatenessProbe() override { stop(); }
  std::vector<double> take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::move(lateness_);
  }

 private:
  void execute() override {
    const double late = zelutil::Timestamp() - getExecutionTime();
    std::lock_guard<std::mutex> lock(mutex_);
    lateness_.push_back(late);
  }
  std::mutex mutex_;
  std::vector<double> lateness_;
};

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0.0;
  const auto k = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
  return values[k];
}

// Each iteration runs the timer for 10 s.
// The floor of a tick's lateness: a thread that only waits on a condition
// variable for the same 1 ms deadlines, with the same timer slack, as long as
// the probe ran. How late such a wait ends is the machine's, not the timer's.
std::vector<double> bareWaitLateness(double seconds) {
  std::vector<double> late;
  std::thread waiter([&late, seconds] {
#ifdef __linux__
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    std::mutex mutex;
    std::condition_variable never;
    const auto origin = std::chrono::steady_clock::now();
    const int ticks = static_cast<int>(seconds * 1000);
    late.reserve(static_cast<std::size_t>(ticks));
    for (int i = 1; i <= ticks; ++i) {
      const auto due = origin + std::chrono::microseconds(1000 * i);
      std::unique_lock<std::mutex> lock(mutex);
      never.wait_until(lock, due, [] { return false; });
      late.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - due).count());
    }
  });
  waiter.join();
  return late;
}

void BM_TimerTickLateness(benchmark::State& state) {
  std::vector<double> all, bare;
  for (auto _ : state) {
    LatenessProbe probe;
    probe.start();
    zelutil::Thread::sleep(10.0);
    probe.stop();
    std::vector<double> got = probe.take();
    all.insert(all.end(), got.begin(), got.end());
    got = bareWaitLateness(10.0);
    bare.insert(bare.end(), got.begin(), got.end());
  }
  state.counters["ticks"] = static_cast<double>(all.size());
  state.counters["late_median_us"] = percentile(all, 0.5) * 1e6;
  state.counters["late_p99_us"] = percentile(all, 0.99) * 1e6;
  state.counters["floor_median_us"] = percentile(bare, 0.5) * 1e6;
  state.counters["floor_p99_us"] = percentile(bare, 0.99) * 1e6;
}
BENCHMARK(BM_TimerTickLateness)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// 200 objects run 1 ms timers while the host thread runs their ticks; then
// each timer is stopped in turn, as a script stops its devices one by one.
// The time of one stop is the figure: it must not wait for the scheduler to
// get round to a thread buried under its busy siblings.
void BM_StopManyTimers(benchmark::State& state) {
  constexpr int kTimers = 200;
  std::vector<double> stops, joins;
  for (auto _ : state) {
    CallbackWorld world;
    std::vector<std::unique_ptr<zelobjsys::TimerEventManager>> timers;
    for (int i = 0; i < kTimers; ++i) {
      Property* fcn = world.callback("TimerFcn");
      Property* period = world.number(fcn, "TimerPeriod", 0.001);
      timers.push_back(std::make_unique<zelobjsys::TimerEventManager>(
          *fcn, *period, fcn->getOwner(), "", nullptr));
      timers.back()->start();
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < until) EventService::processEvents();
    for (auto& timer : timers) {
      const auto start = std::chrono::steady_clock::now();
      timer->stop();
      stops.push_back(
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      EventService::processEvents();
    }
    const auto start = std::chrono::steady_clock::now();
    timers.clear();
    joins.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  state.counters["stop_median_ms"] = percentile(stops, 0.5) * 1e3;
  state.counters["stop_max_ms"] = *std::max_element(stops.begin(), stops.end()) * 1e3;
  state.counters["destroy_all_ms"] = percentile(joins, 0.5) * 1e3;
  // Every stop and the destruction of the stopped timers, over all iterations.
  const double all = std::accumulate(stops.begin(), stops.end(), 0.0) +
                     std::accumulate(joins.begin(), joins.end(), 0.0);
  state.counters["stop_all_ms"] = all / static_cast<double>(joins.size()) * 1e3;
}
BENCHMARK(BM_StopManyTimers)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
