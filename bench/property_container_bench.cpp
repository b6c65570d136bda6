// Hot path of a property set and get through a PropertyContainer of 30 bounded doubles.
#include <benchmark/benchmark.h>

#include <string>

#include "alloc_counter.h"
#include "common/test_records.h"
#include "floor.h"
#include "zelhost/qx_application.h"
#include "zelhost/qx_class.h"
#include "zelhost/zelhox.h"
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

class CountingListener : public zelobjsys::KTIPropSetListener {
 public:
  void propertySet(const zelobjsys::KTIPropInfo*, void* value) override {
    benchmark::DoNotOptimize(value);
  }
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
    container_->addListener(kHotName, new CountingListener);
  }
  ~World() {
    delete container_;
    QxApplicationManager::shutdown();
  }
  PropertyContainer& container() { return *container_; }

 private:
  QxApplication* app_;
  PropertyContainer* container_;
};

void BM_ContainerSetBoundedDouble(benchmark::State& state) {
  World world;
  PropertyContainer& c = world.container();
  double x = 0;
  c.setPropValue(kHotName, &x, true);
  const zelbench::AllocCounts before = zelbench::allocCounts();
  for (auto _ : state) {
    x += 1;
    c.setPropValue(kHotName, &x, true);
  }
  const zelbench::AllocCounts after = zelbench::allocCounts();
  const auto n = static_cast<double>(state.iterations());
  state.counters["allocs_per_set"] =
      static_cast<double>(after.allocations - before.allocations) / n;
  state.counters["frees_per_set"] = static_cast<double>(after.frees - before.frees) / n;
}
BENCHMARK(BM_ContainerSetBoundedDouble);

void BM_ContainerGet(benchmark::State& state) {
  World world;
  PropertyContainer& c = world.container();
  double x = 3;
  c.setPropValue(kHotName, &x, true);
  for (auto _ : state) benchmark::DoNotOptimize(c.getPropValue(kHotName));
}
BENCHMARK(BM_ContainerGet);

}  // namespace
