// simdev's device objects.
#include "sim_device.h"

namespace simdev {

SimDevice::SimDevice(QxInterface* object) : ProductObject(object) {
  // Properties whose XML says readOnly="whileRunning" refuse sets while
  // "Running" is 'on'.
  container().configureReadOnlyCheckFcn(&container(), "whileRunning", "Running", "on");
}

SimDevice* SimDevice::of(QxInterface* object) {
  if (object == nullptr || !object->isValid()) return nullptr;
  if (dynamic_cast<SimSchema*>(object->getDatabaseClass()) == nullptr) return nullptr;
  return static_cast<SimDevice*>(ProductObject::of(object));
}

void SimDevice::start() {
  setRunning("on");
  startTimer();
}

void SimDevice::stop() {
  stopTimer();
  setRunning("off");
}

void SimDevice::setRunning(const char* value) {
  // "Running" is read-only for users; the product sets it directly.
  container().setPropValue("Running", container().getEnumID("Running", value), false);
}

}  // namespace simdev
