// simdev's device objects and their class, on the library's product kit.
#ifndef SIMDEV_SIM_DEVICE_H
#define SIMDEV_SIM_DEVICE_H

#include "zelobjsys/product_object.h"
#include "zelobjsys/product_schema.h"

namespace simdev {

// One device: the kit's object part, plus a "Running" state that start and
// stop keep and that makes readOnly="whileRunning" properties refuse sets.
class SimDevice : public zelobjsys::ProductObject {
 public:
  explicit SimDevice(QxInterface* object);

  // Starts or stops "TimerFcn" every "TimerPeriod" seconds and sets "Running".
  void start();
  void stop();

  // The device of a host object, or null when it is not a simdev device.
  static SimDevice* of(QxInterface* object);

 private:
  void setRunning(const char* value);
};

// A device class: its objects are SimDevices.
class SimSchema : public zelobjsys::ProductSchema {
 public:
  using ProductSchema::ProductSchema;

 protected:
  zelobjsys::ProductObject* createObjectPart(QxInterface* object) override {
    return new SimDevice(object);
  }
};

using SimFactory = zelobjsys::ProductFactory;

}  // namespace simdev

#endif  // SIMDEV_SIM_DEVICE_H
