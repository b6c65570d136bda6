// GObject as a peer: the same 30 bounded doubles ("Voltage", Property1..29, each in [0, 10]), set
// and got by name with a notify handler as the one listener, created and destroyed, and GLib's
// idle dispatch as the callback event.
#include <benchmark/benchmark.h>
#include <glib-object.h>

#include <cstdint>
#include <string>
#include <vector>

#include "floor.h"
#include "measure.h"

namespace {

using zelbench::cycleValue;
using zelbench::kProperties;

struct BenchDev {
  GObject parent;
  double values[kProperties];
};

struct BenchDevClass {
  GObjectClass parent;
};

std::int64_t gCreated = 0;
std::int64_t gFinalized = 0;
GObjectClass* gParentClass = nullptr;

void benchDevSet(GObject* object, guint id, const GValue* value, GParamSpec*) {
  reinterpret_cast<BenchDev*>(object)->values[id - 1] = g_value_get_double(value);
}

void benchDevGet(GObject* object, guint id, GValue* value, GParamSpec*) {
  g_value_set_double(value, reinterpret_cast<BenchDev*>(object)->values[id - 1]);
}

void benchDevFinalize(GObject* object) {
  ++gFinalized;
  gParentClass->finalize(object);
}

void benchDevInit(GTypeInstance*, gpointer) { ++gCreated; }  // the values start zeroed

void benchDevClassInit(gpointer klass, gpointer) {
  gParentClass = static_cast<GObjectClass*>(g_type_class_peek_parent(klass));
  auto* objectClass = static_cast<GObjectClass*>(klass);
  objectClass->set_property = benchDevSet;
  objectClass->get_property = benchDevGet;
  objectClass->finalize = benchDevFinalize;
  GParamSpec* specs[kProperties + 1] = {};  // property ids start at 1
  for (int i = 0; i < kProperties; ++i) {
    const std::string name = i == 0 ? "Voltage" : zelbench::propertyName(i);
    specs[i + 1] = g_param_spec_double(name.c_str(), nullptr, nullptr, zelbench::kMinimum,
                                       zelbench::kMaximum, 0, G_PARAM_READWRITE);
  }
  g_object_class_install_properties(objectClass, kProperties + 1, specs);
}

GType benchDevType() {
  static const GType type = g_type_register_static_simple(
      G_TYPE_OBJECT, "ZelBenchDev", sizeof(BenchDevClass), benchDevClassInit, sizeof(BenchDev),
      benchDevInit, GTypeFlags(0));
  return type;
}

void onNotify(GObject*, GParamSpec*, gpointer told) { ++*static_cast<std::int64_t*>(told); }

// One object with a notify handler on Voltage, unreferenced with the case.
class Device {
 public:
  Device() : object_(G_OBJECT(g_object_new(benchDevType(), nullptr))) {
    g_signal_connect(object_, "notify::Voltage", G_CALLBACK(onNotify), &told_);
  }
  ~Device() { g_object_unref(object_); }
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  GObject* object() const { return object_; }
  std::int64_t told() const { return told_; }
  double voltage() const {
    double v = -1;
    g_object_get(object_, "Voltage", &v, nullptr);
    return v;
  }

 private:
  GObject* object_;
  std::int64_t told_ = 0;
};

void BM_GObjectSetByName(benchmark::State& state) {
  Device dev;
  std::int64_t n = 0;
  for (auto _ : state) g_object_set(dev.object(), "Voltage", cycleValue(n++), nullptr);
  zelbench::verifySets(state, dev.told(), n, dev.voltage(), cycleValue(n - 1));
}
BENCHMARK(BM_GObjectSetByName);

void BM_GObjectGetByName(benchmark::State& state) {
  Device dev;
  g_object_set(dev.object(), "Voltage", 3.0, nullptr);
  double got = 0;
  for (auto _ : state) {
    g_object_get(dev.object(), "Voltage", &got, nullptr);
    benchmark::DoNotOptimize(got);
  }
  zelbench::verifySets(state, dev.told(), 1, got, 3.0);
}
BENCHMARK(BM_GObjectGetByName);

// The nearest to a set without the host's lookup: values converted once, outside the loop
// (GObject still finds the property by name, through its hashed pool).
void BM_GObjectSetProperty(benchmark::State& state) {
  Device dev;
  GValue values[2] = {G_VALUE_INIT, G_VALUE_INIT};
  for (int i = 0; i < 2; ++i) {
    g_value_init(&values[i], G_TYPE_DOUBLE);
    g_value_set_double(&values[i], cycleValue(i));
  }
  std::int64_t n = 0;
  for (auto _ : state) g_object_set_property(dev.object(), "Voltage", &values[n++ & 1]);
  zelbench::verifySets(state, dev.told(), n, dev.voltage(), cycleValue(n - 1));
}
BENCHMARK(BM_GObjectSetProperty);

void countWarning(const gchar*, GLogLevelFlags, const gchar*, gpointer count) {
  ++*static_cast<std::int64_t*>(count);
}

// A value out of range: GObject leaves the property as it was and warns; the warnings are
// counted instead of printed.
void BM_GObjectSetRefused(benchmark::State& state) {
  Device dev;
  g_object_set(dev.object(), "Voltage", 3.0, nullptr);
  std::int64_t warnings = 0;
  const guint handler =
      g_log_set_handler("GLib-GObject", G_LOG_LEVEL_WARNING, countWarning, &warnings);
  std::int64_t n = 0;
  for (auto _ : state) {
    g_object_set(dev.object(), "Voltage", zelbench::kRefused, nullptr);
    ++n;
  }
  g_log_remove_handler("GLib-GObject", handler);
  // GObject tells its notify handlers of a refused set as well.
  if (zelbench::verifyCount(state, "warned", warnings, n))
    zelbench::verifySets(state, dev.told(), 1 + n, dev.voltage(), 3.0);
}
BENCHMARK(BM_GObjectSetRefused);

void BM_GObjectNewUnref(benchmark::State& state) {
  g_object_unref(g_object_new(benchDevType(), nullptr));  // the class is made on first use
  const std::int64_t created = gCreated, finalized = gFinalized;
  for (auto _ : state) {
    gpointer object = g_object_new(benchDevType(), nullptr);
    benchmark::DoNotOptimize(object);
    g_object_unref(object);
  }
  const std::int64_t n = static_cast<std::int64_t>(state.iterations());
  if (!zelbench::verifyCount(state, "created", gCreated - created, n) ||
      !zelbench::verifyCount(state, "finalized", gFinalized - finalized, n))
    return;
  // GObject's slice allocator keeps the blocks of finalized objects, so malloc sees no new heap
  // for new objects; the block an instance takes stands in.
  GTypeQuery query;
  g_type_query(benchDevType(), &query);
  state.counters["heap_bytes_per_object"] = query.instance_size;
}
BENCHMARK(BM_GObjectNewUnref);

void BM_GObjectNewSetAllUnref(benchmark::State& state) {
  const std::vector<std::string> names = zelbench::allPropertyNames();
  const std::int64_t created = gCreated, finalized = gFinalized;
  for (auto _ : state) {
    gpointer object = g_object_new(benchDevType(), nullptr);
    for (const std::string& name : names) g_object_set(object, name.c_str(), 1.0, nullptr);
    g_object_unref(object);
  }
  const std::int64_t n = static_cast<std::int64_t>(state.iterations());
  if (!zelbench::verifyCount(state, "created", gCreated - created, n)) return;
  zelbench::verifyCount(state, "finalized", gFinalized - finalized, n);
}
BENCHMARK(BM_GObjectNewSetAllUnref);

gboolean onIdle(gpointer ran) {
  ++*static_cast<std::int64_t*>(ran);
  return G_SOURCE_REMOVE;
}

// Hand over a batch of idle callbacks to the default main context, then dispatch them all.
void BM_GLibIdleDispatch(benchmark::State& state) {
  std::int64_t ran = 0, handed = 0;
  for (auto _ : state) {
    for (int i = 0; i < zelbench::kEventBatch; ++i) g_idle_add(onIdle, &ran);
    handed += zelbench::kEventBatch;
    while (ran < handed) {
      if (!g_main_context_iteration(nullptr, FALSE)) break;  // lost: the check below tells
    }
  }
  state.SetItemsProcessed(handed);
  zelbench::verifyCount(state, "ran", ran, handed);
}
BENCHMARK(BM_GLibIdleDispatch);

}  // namespace
