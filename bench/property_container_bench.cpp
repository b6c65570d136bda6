// Hot path of a property set and get through a PropertyContainer, against a plain std::map floor.
#if defined(__GNUC__) && !defined(__clang__)
// The replaced operator new and delete below pair malloc with free on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <new>
#include <string>

#include "common/test_records.h"
#include "zelhost/qx_application.h"
#include "zelhost/qx_class.h"
#include "zelhost/zelhox.h"
#include "zelobjsys/kti_prop_set_listener.h"
#include "zelobjsys/property_container.h"

namespace {

// The allocations of the measuring thread, so that a set's can be counted
// without a locked instruction on every allocation.
thread_local long gAllocations = 0;

}  // namespace

void* operator new(std::size_t size) {
  ++gAllocations;
  if (void* p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using zelobjsys::PropertyContainer;

constexpr int kProperties = 30;
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
      const std::string name = "Property" + std::to_string(i);
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
  const long before = gAllocations;
  for (auto _ : state) {
    x += 1;
    c.setPropValue(kHotName, &x, true);
  }
  state.counters["allocs_per_set"] =
      static_cast<double>(gAllocations - before) / static_cast<double>(state.iterations());
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

// The floor: a map of 30 names to doubles, found by the same text.
std::map<std::string, double, std::less<>> floorMap() {
  std::map<std::string, double, std::less<>> m;
  for (int i = 0; i < kProperties; ++i) m["Property" + std::to_string(i)] = 0;
  return m;
}

void BM_MapFloorSet(benchmark::State& state) {
  auto m = floorMap();
  const char* name = kHotName;
  double x = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(name);
    x += 1;
    m.find(std::string_view(name))->second = x;
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MapFloorSet);

void BM_MapFloorGet(benchmark::State& state) {
  auto m = floorMap();
  const char* name = kHotName;
  for (auto _ : state) {
    benchmark::DoNotOptimize(name);
    benchmark::DoNotOptimize(&m.find(std::string_view(name))->second);
  }
}
BENCHMARK(BM_MapFloorGet);

}  // namespace
