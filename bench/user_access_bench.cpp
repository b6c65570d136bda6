// The user's road through the host: set and get by name on a product object, and creating and
// destroying such an object, with its heap bytes.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <string>
#include <vector>

#include "alloc_counter.h"
#include "common/test_product.h"
#include "floor.h"
#include "zelhost/qx_interface.h"
#include "zelobjsys/kti_prop_set_listener.h"

namespace {

using zelobjsys::testproduct::RecordingFactory;
using zelobjsys::testproduct::TestSchema;

class QuietListener : public zelobjsys::KTIPropSetListener {
 public:
  void propertySet(const zelobjsys::KTIPropInfo*, void* value) override {
    benchmark::DoNotOptimize(value);
  }
};

// A product class of 30 bounded doubles: "Voltage" and Property1..29, so that
// "volt" is a unique abbreviation. Torn down with the host.
class ProductWorld {
 public:
  ProductWorld() {
    app_ = zelobjsys::testproduct::startTestProduct();
    schema_ = new TestSchema("BenchDev");
    app_->addLocalClass(schema_);  // the application owns it
    factory_.setTarget(schema_);
    factory_.addProperty(factory_.createDoubleProperty("Voltage", -1e9, 1e9, 0), true);
    for (int i = 1; i < zelbench::kProperties; ++i) {
      const std::string name = zelbench::propertyName(i);
      factory_.addProperty(factory_.createDoubleProperty(name.c_str(), -1e9, 1e9, 0), true);
    }
  }
  ~ProductWorld() { zelobjsys::testproduct::stopTestProduct(); }

  TestSchema* schema() { return schema_; }
  // An object with one listener on Voltage.
  QxInterface* object() {
    QxInterface* object = schema_->createInstance(nullptr, nullptr, 0);
    zelobjsys::testproduct::containerOf(object)->addListener("Voltage", new QuietListener);
    return object;
  }

 private:
  QxApplication* app_ = nullptr;
  TestSchema* schema_ = nullptr;
  RecordingFactory factory_;  // outlives the host's records
};

void userSet(benchmark::State& state, const char* name) {
  ProductWorld world;
  QxInterface* object = world.object();
  ZLScopedHvArray value(hvCreateDoubleScalar(1));  // converted once, outside the loop
  for (auto _ : state) object->setPropertyValue(name, value);
}

void BM_UserSetExact(benchmark::State& state) { userSet(state, "Voltage"); }
BENCHMARK(BM_UserSetExact);

void BM_UserSetAbbreviation(benchmark::State& state) { userSet(state, "volt"); }
BENCHMARK(BM_UserSetAbbreviation);

void BM_UserGet(benchmark::State& state) {
  ProductWorld world;
  QxInterface* object = world.object();
  for (auto _ : state) {
    ZLScopedHvArray got(object->getPropertyValue("Voltage"));
    benchmark::DoNotOptimize(got.get());
  }
}
BENCHMARK(BM_UserGet);

// createInstance with its container, then its destruction; the counter is the
// heap an object holds while it lives.
void BM_ObjectCreateDestroy(benchmark::State& state) {
  ProductWorld world;
  QxDatabaseClient* client = QxDatabaseClient::getInternalClient();
  world.schema()->createInstance(nullptr, nullptr, 0)->destroy(client);  // warm up
  for (auto _ : state) {
    QxInterface* object = world.schema()->createInstance(nullptr, nullptr, 0);
    benchmark::DoNotOptimize(object);
    object->destroy(client);
  }
  constexpr int kHeld = 100;
  const std::size_t before = mallinfo2().uordblks;
  std::vector<QxInterface*> held;
  held.reserve(kHeld);
  const std::size_t reserved = mallinfo2().uordblks;
  for (int i = 0; i < kHeld; ++i)
    held.push_back(world.schema()->createInstance(nullptr, nullptr, 0));
  const std::size_t after = mallinfo2().uordblks;
  for (QxInterface* object : held) object->destroy(client);
  benchmark::DoNotOptimize(before);
  state.counters["heap_bytes_per_object"] =
      static_cast<double>(after - reserved) / static_cast<double>(kHeld);
}
BENCHMARK(BM_ObjectCreateDestroy);

}  // namespace
