// simdev's device objects and their class: what a product author writes for each instrument family.
#ifndef SIMDEV_SIM_DEVICE_H
#define SIMDEV_SIM_DEVICE_H

#include <memory>

#include "zelobjsys/property_container.h"
#include "zelobjsys/property_factory.h"
#include "zelobjsys/schema_definition.h"
#include "zelobjsys/timer_event_manager.h"

namespace simdev {

// The product's own part of one device object: its property values and its
// timer. Owned by the host object (the class's releaseObjectPart deletes it).
class SimDevice {
 public:
  explicit SimDevice(QxInterface* object);
  ~SimDevice();
  SimDevice(const SimDevice&) = delete;
  SimDevice& operator=(const SimDevice&) = delete;

  zelobjsys::PropertyContainer& container() { return container_; }
  // Starts or stops "TimerFcn" every "TimerPeriod" seconds and sets "Running".
  void start();
  void stop();
  // Queues an error event for "ErrorFcn".
  void raiseError(const char* id, const char* message);

  // The device of a host object, or null when it is not a simdev device.
  static SimDevice* of(QxInterface* object);

 private:
  void setRunning(const char* value);

  QxInterface* object_;
  zelobjsys::PropertyContainer container_;
  std::unique_ptr<zelobjsys::TimerEventManager> timer_;
};

// A device class. Its properties come from the standard set, two of simdev's
// own ("ErrorFcn", "Running") and an XML property file.
class SimSchema : public zelobjsys::SchemaDefinition {
 public:
  explicit SimSchema(const char* className) { setName(className, true); }
  bool isHandleClass() const override { return true; }
  bool isAbstractClass() const override { return false; }
  void releaseObjectPart(QxInterface* object) override;

 protected:
  void* createProductObject(QxInterface* object, void** args, int count) override;
};

// Makes simdev's records: class records on a class, instance records on an
// object or its container.
class SimFactory : public zelobjsys::PropertyFactory {
 public:
  using PropertyFactory::PropertyFactory;

 protected:
  zelobjsys::PropInfo* createPropInfo(const char* name) override;
};

}  // namespace simdev

#endif  // SIMDEV_SIM_DEVICE_H
