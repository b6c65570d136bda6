// The user's road through the host: set and get by name on a product object, and creating and
// destroying such an object, with its heap bytes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "alloc_counter.h"
#include "common/test_product.h"
#include "floor.h"
#include "measure.h"
#include "zelhost/objects/qx_interface.h"
#include "zelhost/services/exceptions.h"
#include "zelobjsys/kti_prop_set_listener.h"

namespace {

using zelobjsys::testproduct::TestSchema;

using zelbench::cycleValue;

// Counts the sets it is told of.
class CountingListener : public zelobjsys::KTIPropSetListener {
 public:
  explicit CountingListener(std::int64_t* told) : told_(told) {}
  void propertySet(const zelobjsys::KTIPropInfo*, void* value) override {
    benchmark::DoNotOptimize(value);
    ++*told_;
  }

 private:
  std::int64_t* told_;
};

// A product class of 30 (or `properties`) doubles bounded to [0, 10]: "Voltage" and
// Property1..29, so that "volt" is a unique abbreviation. Torn down with the host.
class ProductWorld {
 public:
  explicit ProductWorld(int properties = zelbench::kProperties) {
    app_ = zelobjsys::testproduct::startTestProduct();
    schema_ = new TestSchema("BenchDev");
    app_->addLocalClass(schema_);  // the application owns it
    zelobjsys::testproduct::Factory factory(schema_, nullptr);
    factory.addProperty(
        factory.createDoubleProperty("Voltage", zelbench::kMinimum, zelbench::kMaximum, 0), true);
    for (int i = 1; i < properties; ++i) {
      const std::string name = zelbench::propertyName(i);
      factory.addProperty(
          factory.createDoubleProperty(name.c_str(), zelbench::kMinimum, zelbench::kMaximum, 0),
          true);
    }
  }
  ~ProductWorld() { zelobjsys::testproduct::stopTestProduct(); }

  TestSchema* schema() { return schema_; }
  // An object with one listener on Voltage, which counts into told().
  QxInterface* object() {
    QxInterface* object = schema_->createInstance(nullptr, nullptr, 0);
    zelobjsys::testproduct::containerOf(object)->addListener("Voltage",
                                                             new CountingListener(&told_));
    return object;
  }
  std::int64_t told() const { return told_; }

 private:
  QxApplication* app_ = nullptr;
  TestSchema* schema_ = nullptr;
  std::int64_t told_ = 0;
};

double voltage(QxInterface* object) {
  ZLScopedHvArray got(object->getPropertyValue("Voltage"));
  return hvGetScalar(got);
}

// The values are converted once, outside the loop; the counters are operator new calls per set.
void userSet(benchmark::State& state, const char* name, int properties = zelbench::kProperties) {
  ProductWorld world(properties);
  QxInterface* object = world.object();
  ZLScopedHvArray values[2] = {ZLScopedHvArray(hvCreateDoubleScalar(cycleValue(0))),
                               ZLScopedHvArray(hvCreateDoubleScalar(cycleValue(1)))};
  // A fresh entry holds no value yet: its first set makes the place later sets reuse.
  object->setPropertyValue(name, values[1]);
  std::int64_t n = 0;
  const zelbench::AllocCounts before = zelbench::allocCounts();
  for (auto _ : state) object->setPropertyValue(name, values[n++ & 1]);
  const zelbench::AllocCounts after = zelbench::allocCounts();
  state.counters["allocs_per_set"] =
      static_cast<double>(after.allocations - before.allocations) / static_cast<double>(n);
  zelbench::verifySets(state, world.told(), n + 1, voltage(object), cycleValue(n - 1));
}

void BM_UserSetExact(benchmark::State& state) { userSet(state, "Voltage"); }
BENCHMARK(BM_UserSetExact);

// The same set among 3,000 properties: a lookup must not grow with the class.
void BM_UserSetExactWide(benchmark::State& state) { userSet(state, "Voltage", 3000); }
BENCHMARK(BM_UserSetExactWide);

void BM_UserSetCaseInsensitive(benchmark::State& state) { userSet(state, "voltage"); }
BENCHMARK(BM_UserSetCaseInsensitive);

void BM_UserSetAbbreviation(benchmark::State& state) { userSet(state, "volt"); }
BENCHMARK(BM_UserSetAbbreviation);

// A value out of range: the host raises an error and the property keeps its value.
void BM_UserSetRefused(benchmark::State& state) {
  ProductWorld world;
  QxInterface* object = world.object();
  ZLScopedHvArray good(hvCreateDoubleScalar(3));
  object->setPropertyValue("Voltage", good);
  ZLScopedHvArray bad(hvCreateDoubleScalar(zelbench::kRefused));
  std::int64_t refused = 0;
  for (auto _ : state) {
    try {
      object->setPropertyValue("Voltage", bad);
    } catch (Exception* e) {
      delete e;
      ++refused;
    }
  }
  if (zelbench::verifyCount(state, "refused", refused, state.iterations()))
    zelbench::verifySets(state, world.told(), 1, voltage(object), 3);
}
BENCHMARK(BM_UserSetRefused);

// The least a refusal costs under the host's error convention: one host error
// with an identifier and a message, thrown by pointer from a call and caught.
[[gnu::noinline]] void raiseHostError() {
  throw new ErrorIdException("vornix:set:outOfRange", "Voltage must be in [0, 10].");
}

void BM_HostErrorThrow(benchmark::State& state) {
  std::int64_t caught = 0;
  for (auto _ : state) {
    try {
      raiseHostError();
    } catch (Exception* e) {
      delete e;
      ++caught;
    }
  }
  zelbench::verifyCount(state, "caught", caught, state.iterations());
}
BENCHMARK(BM_HostErrorThrow);

void BM_UserGet(benchmark::State& state) {
  ProductWorld world;
  QxInterface* object = world.object();
  ZLScopedHvArray three(hvCreateDoubleScalar(3));
  object->setPropertyValue("Voltage", three);
  double got = 0;
  for (auto _ : state) {
    ZLScopedHvArray value(object->getPropertyValue("Voltage"));
    got = hvGetScalar(value);
    benchmark::DoNotOptimize(got);
  }
  zelbench::verifySets(state, world.told(), 1, got, 3);
}
BENCHMARK(BM_UserGet);

// createInstance with its container, then its destruction; the counter is the
// heap an object holds while it lives.
void createDestroy(benchmark::State& state, int properties) {
  ProductWorld world(properties);
  QxDatabaseClient* client = QxDatabaseClient::getInternalClient();
  world.schema()->createInstance(nullptr, nullptr, 0)->destroy(client);  // warm up
  for (auto _ : state) {
    QxInterface* object = world.schema()->createInstance(nullptr, nullptr, 0);
    benchmark::DoNotOptimize(object);
    object->destroy(client);
  }
  state.counters["heap_bytes_per_object"] = zelbench::heapPerObject(
      [&world] { return world.schema()->createInstance(nullptr, nullptr, 0); },
      [client](QxInterface* object) { object->destroy(client); });
}

void BM_ObjectCreateDestroy(benchmark::State& state) {
  createDestroy(state, zelbench::kProperties);
}
BENCHMARK(BM_ObjectCreateDestroy);

// Entries are made when first used: this is creation with every property set
// once by name, and the heap such an object holds.
void BM_ObjectCreateSetAllDestroy(benchmark::State& state) {
  ProductWorld world;
  QxDatabaseClient* client = QxDatabaseClient::getInternalClient();
  const std::vector<std::string> names = zelbench::allPropertyNames();
  ZLScopedHvArray one(hvCreateDoubleScalar(1));
  auto makeAndSet = [&] {
    QxInterface* object = world.schema()->createInstance(nullptr, nullptr, 0);
    for (const std::string& name : names) object->setPropertyValue(name.c_str(), one);
    return object;
  };
  for (auto _ : state) makeAndSet()->destroy(client);
  QxInterface* check = makeAndSet();
  std::int64_t stored = 0;
  for (const std::string& name : names) {
    stored += zelobjsys::testproduct::containerOf(check)->getPropValueAsDouble(name.c_str()) == 1;
  }
  check->destroy(client);
  if (!zelbench::verifyCount(state, "stored", stored, zelbench::kProperties)) return;
  state.counters["heap_bytes_per_object"] =
      zelbench::heapPerObject(makeAndSet, [client](QxInterface* o) { o->destroy(client); });
}
BENCHMARK(BM_ObjectCreateSetAllDestroy);

// The same with a hundred times the properties: time and heap per property against the 30.
// With none: what the host's object record and an empty container cost alone.
void BM_ObjectCreateDestroyMany(benchmark::State& state) {
  createDestroy(state, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_ObjectCreateDestroyMany)->Arg(3000)->Arg(0);

}  // namespace
