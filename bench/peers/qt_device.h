// The Qt peer's device: the same 30 doubles as our measured class ("Voltage", Property1..29), as
// Q_PROPERTYs. Voltage has a setter that keeps it in [0, 10] and tells of every accepted value;
// the others are plain members.
#ifndef ZELOBJSYS_BENCH_PEERS_QT_DEVICE_H
#define ZELOBJSYS_BENCH_PEERS_QT_DEVICE_H

#include <QObject>

#include <cstdint>

#include "floor.h"

namespace zelbench {

class QtDevice : public QObject {
  Q_OBJECT
  Q_PROPERTY(double Voltage READ voltage WRITE setVoltage NOTIFY voltageChanged)
  Q_PROPERTY(double Property1 MEMBER property1_ NOTIFY changed)
  Q_PROPERTY(double Property2 MEMBER property2_ NOTIFY changed)
  Q_PROPERTY(double Property3 MEMBER property3_ NOTIFY changed)
  Q_PROPERTY(double Property4 MEMBER property4_ NOTIFY changed)
  Q_PROPERTY(double Property5 MEMBER property5_ NOTIFY changed)
  Q_PROPERTY(double Property6 MEMBER property6_ NOTIFY changed)
  Q_PROPERTY(double Property7 MEMBER property7_ NOTIFY changed)
  Q_PROPERTY(double Property8 MEMBER property8_ NOTIFY changed)
  Q_PROPERTY(double Property9 MEMBER property9_ NOTIFY changed)
  Q_PROPERTY(double Property10 MEMBER property10_ NOTIFY changed)
  Q_PROPERTY(double Property11 MEMBER property11_ NOTIFY changed)
  Q_PROPERTY(double Property12 MEMBER property12_ NOTIFY changed)
  Q_PROPERTY(double Property13 MEMBER property13_ NOTIFY changed)
  Q_PROPERTY(double Property14 MEMBER property14_ NOTIFY changed)
  Q_PROPERTY(double Property15 MEMBER property15_ NOTIFY changed)
  Q_PROPERTY(double Property16 MEMBER property16_ NOTIFY changed)
  Q_PROPERTY(double Property17 MEMBER property17_ NOTIFY changed)
  Q_PROPERTY(double Property18 MEMBER property18_ NOTIFY changed)
  Q_PROPERTY(double Property19 MEMBER property19_ NOTIFY changed)
  Q_PROPERTY(double Property20 MEMBER property20_ NOTIFY changed)
  Q_PROPERTY(double Property21 MEMBER property21_ NOTIFY changed)
  Q_PROPERTY(double Property22 MEMBER property22_ NOTIFY changed)
  Q_PROPERTY(double Property23 MEMBER property23_ NOTIFY changed)
  Q_PROPERTY(double Property24 MEMBER property24_ NOTIFY changed)
  Q_PROPERTY(double Property25 MEMBER property25_ NOTIFY changed)
  Q_PROPERTY(double Property26 MEMBER property26_ NOTIFY changed)
  Q_PROPERTY(double Property27 MEMBER property27_ NOTIFY changed)
  Q_PROPERTY(double Property28 MEMBER property28_ NOTIFY changed)
  Q_PROPERTY(double Property29 MEMBER property29_ NOTIFY changed)

 public:
  QtDevice() { ++created; }
  ~QtDevice() override { ++destroyed; }

  double voltage() const { return voltage_; }
  // A value out of range leaves the property as it was: Qt has no way to report it.
  void setVoltage(double v) {
    if (v < kMinimum || v > kMaximum) return;
    voltage_ = v;
    emit voltageChanged(v);
  }

  static std::int64_t created;
  static std::int64_t destroyed;

 signals:
  void voltageChanged(double value);
  void changed();

 private:
  double voltage_ = 0;
  double property1_ = 0;
  double property2_ = 0;
  double property3_ = 0;
  double property4_ = 0;
  double property5_ = 0;
  double property6_ = 0;
  double property7_ = 0;
  double property8_ = 0;
  double property9_ = 0;
  double property10_ = 0;
  double property11_ = 0;
  double property12_ = 0;
  double property13_ = 0;
  double property14_ = 0;
  double property15_ = 0;
  double property16_ = 0;
  double property17_ = 0;
  double property18_ = 0;
  double property19_ = 0;
  double property20_ = 0;
  double property21_ = 0;
  double property22_ = 0;
  double property23_ = 0;
  double property24_ = 0;
  double property25_ = 0;
  double property26_ = 0;
  double property27_ = 0;
  double property28_ = 0;
  double property29_ = 0;
};

}  // namespace zelbench

#endif  // ZELOBJSYS_BENCH_PEERS_QT_DEVICE_H
