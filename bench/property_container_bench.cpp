// Hot path of a property set and get through a PropertyContainer of 30 bounded doubles.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "alloc_counter.h"
#include "common/test_product.h"
#include "floor.h"
#include "measure.h"
#include "zelhost/objects/qx_application.h"
#include "zelhost/objects/qx_class.h"
#include "zelhost/services/zelhox.h"
#include "zelobjsys/kti_prop_set_listener.h"
#include "zelobjsys/property_container.h"

namespace {

using zelobjsys::PropertyContainer;

using zelbench::kProperties;
constexpr const char* kHotName = "Property17";

class BenchClass : public QxClass {
 public:
  BenchClass() { setName("BenchDevice"); }
  void* createClassSpecificObject(QxInterface*) override { return nullptr; }
  bool isHandleClass() const override { return true; }
  bool isAbstractClass() const override { return false; }
  void releaseObjectPart(QxInterface*) override {}
};

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

// A class of 30 bounded double properties, one object and its container with
// one listener on the measured property. Torn down with the host.
class World {
 public:
  World() {
    app_ = new QxApplication("bench", true);
    auto* cls = new BenchClass;
    app_->addLocalClass(cls);
    ZLScopedHvArray bounds(hvCreateDoubleMatrix(1, 2));
    hvGetPr(bounds)[0] = -1e9;
    hvGetPr(bounds)[1] = 1e9;
    for (int i = 0; i < kProperties; ++i) {
      const std::string name = zelbench::propertyName(i);
      auto* r = new zelobjsys::TestPropInfo<>(name.c_str());
      zelobjsys::PropInfoTestPeer::setPIConstraint(*r, zelobjsys::kPIConstraintBounded);
      r->setPIConstraintValue(bounds);
      zelobjsys::PropInfoTestPeer::initQxValuesBeforeAdd(*r, "double");
      cls->addProperty(r);
    }
    QxInterface* object =
        cls->createObject(QxDatabaseClient::getInternalClient(),
                          app_->getDefaultDatabase()->getRootObject(), nullptr, 0, nullptr);
    container_ = new PropertyContainer(object);
    container_->addListener(kHotName, new CountingListener(&told_));
  }
  ~World() {
    delete container_;
    QxApplicationManager::shutdown();
  }
  PropertyContainer& container() { return *container_; }
  std::int64_t told() const { return told_; }
  double value() const { return container_->getPropValueAsDouble(kHotName); }

 private:
  std::int64_t told_ = 0;
  QxApplication* app_;
  PropertyContainer* container_;
};

void BM_ContainerSetBoundedDouble(benchmark::State& state) {
  World world;
  PropertyContainer& c = world.container();
  double x = 0;
  c.setPropValue(kHotName, &x, true);
  std::int64_t n = 0;
  const zelbench::AllocCounts before = zelbench::allocCounts();
  for (auto _ : state) {
    x = zelbench::cycleValue(n++);
    c.setPropValue(kHotName, &x, true);
  }
  const zelbench::AllocCounts after = zelbench::allocCounts();
  const auto sets = static_cast<double>(n);
  state.counters["allocs_per_set"] =
      static_cast<double>(after.allocations - before.allocations) / sets;
  state.counters["frees_per_set"] = static_cast<double>(after.frees - before.frees) / sets;
  zelbench::verifySets(state, world.told(), n + 1, world.value(), zelbench::cycleValue(n - 1));
}
BENCHMARK(BM_ContainerSetBoundedDouble);

void BM_ContainerGet(benchmark::State& state) {
  World world;
  PropertyContainer& c = world.container();
  double x = 3;
  c.setPropValue(kHotName, &x, true);
  const void* got = nullptr;
  for (auto _ : state) {
    got = c.getPropValue(kHotName);
    benchmark::DoNotOptimize(got);
  }
  zelbench::verifySets(state, world.told(), 1, got ? *static_cast<const double*>(got) : -1, 3);
}
BENCHMARK(BM_ContainerGet);

}  // namespace
