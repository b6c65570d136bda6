// simdev's device objects, class, factory and records.
#include "sim_device.h"

#include "sim_records.h"
#include "zelobjsys/hcallback_event.h"
#include "zelobjsys/hcallback_event_info.h"
#include "zelobjsys/property.h"

namespace simdev {

void* getStoredValue(zelobjsys::PropInfo& record, QxInterface* object) {
  SimDevice* device = SimDevice::of(object);
  void* value = device != nullptr ? device->container().getPropValue(record.getName()) : nullptr;
  return value != nullptr ? value : record.getFactoryDefault();
}

void setStoredValue(zelobjsys::PropInfo& record, QxInterface* object, const void* value) {
  if (SimDevice* device = SimDevice::of(object)) {
    device->container().setPropValue(record.getName(), value, true);
  }
}

SimDevice::SimDevice(QxInterface* object) : object_(object), container_(object) {
  // Properties whose XML says readOnly="whileRunning" refuse sets while
  // "Running" is 'on'.
  container_.configureReadOnlyCheckFcn(&container_, "whileRunning", "Running", "on");
}

SimDevice::~SimDevice() {
  timer_.reset();  // stops the thread and drops its queued ticks
  zelobjsys::HCallbackEvent::flushEvents(object_, "", false);
}

SimDevice* SimDevice::of(QxInterface* object) {
  if (object == nullptr || !object->isValid()) return nullptr;
  if (dynamic_cast<SimSchema*>(object->getDatabaseClass()) == nullptr) return nullptr;
  return static_cast<SimDevice*>(object->getObject());
}

void SimDevice::start() {
  if (!timer_) {
    timer_ = std::make_unique<zelobjsys::TimerEventManager>(*container_.getProperty("TimerFcn"),
                                                            *container_.getProperty("TimerPeriod"),
                                                            object_, "", nullptr);
  }
  setRunning("on");
  timer_->start();
}

void SimDevice::stop() {
  if (timer_) timer_->stop();
  setRunning("off");
}

void SimDevice::setRunning(const char* value) {
  // "Running" is read-only for users; the product sets it directly.
  container_.setPropValue("Running", container_.getEnumID("Running", value), false);
}

void SimDevice::raiseError(const char* id, const char* message) {
  auto* info = new zelobjsys::ErrorEventInfo(id, "%s", message);
  auto* event = new zelobjsys::HCallbackEvent(container_.getProperty("ErrorFcn"), object_, info, "",
                                              true, false);
  event->serviceEvent(false);  // the event service owns it now
}

void SimSchema::releaseObjectPart(QxInterface* object) {
  delete static_cast<SimDevice*>(object->getObject());
}

void* SimSchema::createProductObject(QxInterface* object, void**, int) {
  return new SimDevice(object);
}

zelobjsys::PropInfo* SimFactory::createPropInfo(const char* name) {
  if (isInstanceFactory()) return new SimInstancePropInfo(name);
  return new SimPropInfo(name);
}

}  // namespace simdev
