// ProductObject: the product's own part of one device object, holding its property values and
// its timer.
#ifndef ZELOBJSYS_PRODUCT_OBJECT_H
#define ZELOBJSYS_PRODUCT_OBJECT_H

#include <memory>

#include "zelobjsys/property_container.h"

class QxInterface;

namespace zelobjsys {

class TimerEventManager;

// Made by a ProductSchema for every object of its class and deleted by it
// when the host releases the object. Products derive from it to keep more
// per object (a connection, a state) and make their schema create theirs.
//
// The container holds the values of the object's properties. The timer runs
// the "TimerFcn" callback every "TimerPeriod" seconds; it is made on the
// first startTimer. Destroying the part stops the timer and drops the
// object's queued events. Host thread only.
class ProductObject {
 public:
  explicit ProductObject(QxInterface* object);
  virtual ~ProductObject();
  ProductObject(const ProductObject&) = delete;
  ProductObject& operator=(const ProductObject&) = delete;

  PropertyContainer& container() { return container_; }
  QxInterface* object() const { return object_; }

  // Throws a ZLException* "vornix:product:noTimer" when the class has no
  // "TimerFcn" or "TimerPeriod" property.
  void startTimer();
  void stopTimer();
  // Queues an error event for the callback property `callbackProp`: the
  // callback gets an event of type "Error" with the identifier and message.
  // Throws a ZLException* "vornix:product:noCallback" when there is no such
  // property.
  void raiseError(const char* id, const char* message, const char* callbackProp = "ErrorFcn");

  // The part of a live object of a ProductSchema class; null for anything else.
  static ProductObject* of(QxInterface* object);

 private:
  QxInterface* object_;
  PropertyContainer container_;
  std::unique_ptr<TimerEventManager> timer_;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_PRODUCT_OBJECT_H
