// ProductObject, ProductSchema, ProductFactory and the stored records: the pieces every product
// otherwise writes by hand.
#include "zelobjsys/product_object.h"

#include "zelhost/services/zelutil.h"
#include "zelobjsys/hcallback_event.h"
#include "zelobjsys/hcallback_event_info.h"
#include "zelobjsys/product_schema.h"
#include "zelobjsys/property.h"
#include "zelobjsys/stored_prop_info.h"
#include "zelobjsys/timer_event_manager.h"

namespace zelobjsys {

void* getStoredValue(PropInfo& record, QxInterface* object) {
  ProductObject* part = ProductObject::of(object);
  void* value = part != nullptr ? part->container().getPropValue(record.getName()) : nullptr;
  return value != nullptr ? value : record.getFactoryDefault();
}

void setStoredValue(PropInfo& record, QxInterface* object, const void* value) {
  if (ProductObject* part = ProductObject::of(object)) {
    part->container().setPropValue(record.getName(), value, true);
  }
}

ProductObject::ProductObject(QxInterface* object) : object_(object), container_(object) {}

ProductObject::~ProductObject() {
  timer_.reset();  // stops the thread and drops its queued ticks
  HCallbackEvent::flushEvents(object_, "", false);
}

ProductObject* ProductObject::of(QxInterface* object) {
  if (object == nullptr || !object->isValid()) return nullptr;
  if (dynamic_cast<ProductSchema*>(object->getDatabaseClass()) == nullptr) return nullptr;
  return static_cast<ProductObject*>(object->getObject());
}

void ProductObject::startTimer() {
  if (!timer_) {
    Property* callback = container_.getProperty("TimerFcn");
    Property* period = container_.getProperty("TimerPeriod");
    if (callback == nullptr || period == nullptr) {
      throw new zelutil::ZLException("vornix:product:noTimer",
                                     "This object has no TimerFcn and TimerPeriod properties.");
    }
    timer_ = std::make_unique<TimerEventManager>(*callback, *period, object_, "", nullptr);
  }
  timer_->start();
}

void ProductObject::stopTimer() {
  if (timer_) timer_->stop();
}

void ProductObject::raiseError(const char* id, const char* message, const char* callbackProp) {
  Property* callback = container_.getProperty(callbackProp);
  if (callback == nullptr) {
    throw new zelutil::ZLException("vornix:product:noCallback",
                                   "This object has no callback property '%s'.", callbackProp);
  }
  auto* info = new ErrorEventInfo(id, "%s", message);
  auto* event = new HCallbackEvent(callback, object_, info, "", true, false);
  event->serviceEvent(false);  // the event service owns it now
}

void ProductSchema::releaseObjectPart(QxInterface* object) {
  delete static_cast<ProductObject*>(object->getObject());
}

ProductObject* ProductSchema::createObjectPart(QxInterface* object) {
  return new ProductObject(object);
}

void* ProductSchema::createProductObject(QxInterface* object, void**, int) {
  return createObjectPart(object);
}

PropInfo* ProductFactory::createPropInfo(const char* name) {
  if (isInstanceFactory()) return new StoredInstancePropInfo(name);
  return new StoredPropInfo(name);
}

}  // namespace zelobjsys
