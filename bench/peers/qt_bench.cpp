// Qt as a peer: the same 30 doubles as Q_PROPERTYs, set and read by name, written through a
// cached meta-property, created and destroyed, and a posted event run by processEvents.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEvent>
#include <QMetaProperty>
#include <QVariant>

#include <cstdint>

#include "measure.h"
#include "peers/qt_device.h"

namespace zelbench {

std::int64_t QtDevice::created = 0;
std::int64_t QtDevice::destroyed = 0;

}  // namespace zelbench

namespace {

using zelbench::cycleValue;
using zelbench::QtDevice;

// One application for the whole run, never destroyed: Qt allows one per process. It runs on
// Qt's own event loop rather than GLib's, so that the GLib cases' main context stays their own.
QCoreApplication& application() {
  static int argc = 1;
  static char name[] = "zel_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = [] {
    qputenv("QT_NO_GLIB", "1");
    return new QCoreApplication(argc, argv);
  }();
  return *app;
}

// A device with one listener on Voltage.
class Device {
 public:
  Device() {
    QObject::connect(&device_, &QtDevice::voltageChanged, [this](double) { ++told_; });
  }
  QtDevice& device() { return device_; }
  std::int64_t told() const { return told_; }

 private:
  QtDevice device_;
  std::int64_t told_ = 0;
};

void BM_QtSetProperty(benchmark::State& state) {
  Device dev;
  const QVariant values[2] = {cycleValue(0), cycleValue(1)};  // converted once, outside the loop
  std::int64_t n = 0;
  for (auto _ : state) dev.device().setProperty("Voltage", values[n++ & 1]);
  zelbench::verifySets(state, dev.told(), n, dev.device().voltage(), cycleValue(n - 1));
}
BENCHMARK(BM_QtSetProperty);

void BM_QtProperty(benchmark::State& state) {
  Device dev;
  dev.device().setVoltage(3);
  double got = 0;
  for (auto _ : state) {
    got = dev.device().property("Voltage").toDouble();
    benchmark::DoNotOptimize(got);
  }
  zelbench::verifySets(state, dev.told(), 1, got, 3.0);
}
BENCHMARK(BM_QtProperty);

// The index found once, outside the loop: no name lookup per write.
void BM_QtMetaPropertyWrite(benchmark::State& state) {
  Device dev;
  const QMetaObject* meta = dev.device().metaObject();
  const QMetaProperty property = meta->property(meta->indexOfProperty("Voltage"));
  const QVariant values[2] = {cycleValue(0), cycleValue(1)};
  std::int64_t n = 0;
  for (auto _ : state) property.write(&dev.device(), values[n++ & 1]);
  zelbench::verifySets(state, dev.told(), n, dev.device().voltage(), cycleValue(n - 1));
}
BENCHMARK(BM_QtMetaPropertyWrite);

void BM_QtNewDelete(benchmark::State& state) {
  const std::int64_t created = QtDevice::created, destroyed = QtDevice::destroyed;
  for (auto _ : state) {
    auto* device = new QtDevice;
    benchmark::DoNotOptimize(device);
    delete device;
  }
  const auto n = static_cast<std::int64_t>(state.iterations());
  if (!zelbench::verifyCount(state, "created", QtDevice::created - created, n) ||
      !zelbench::verifyCount(state, "destroyed", QtDevice::destroyed - destroyed, n))
    return;
  state.counters["heap_bytes_per_object"] =
      zelbench::heapPerObject([] { return new QtDevice; }, [](QtDevice* d) { delete d; });
}
BENCHMARK(BM_QtNewDelete);

// Counts the user events it is sent.
class Receiver : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() != QEvent::User) return QObject::event(e);
    ++ran;
    return true;
  }
  std::int64_t ran = 0;
};

// Post a batch of events to an object of this thread, then run them all.
void BM_QtPostEvent(benchmark::State& state) {
  application();
  Receiver receiver;
  std::int64_t handed = 0;
  for (auto _ : state) {
    for (int i = 0; i < zelbench::kEventBatch; ++i)
      QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    handed += zelbench::kEventBatch;
    QCoreApplication::processEvents();
  }
  state.SetItemsProcessed(handed);
  zelbench::verifyCount(state, "ran", receiver.ran, handed);
}
BENCHMARK(BM_QtPostEvent);

}  // namespace
