// The user's property get and set road: lookup, access check, conversion, type check, value
// operation, error filter.
#include <cstddef>
#include <memory>
#include <string>

#include "object_core.h"
#include "zelhost/objects/qx_class.h"
#include "zelhost/objects/qx_interface.h"
#include "zelhost/objects/qx_prop_info.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/types/data_type.h"

namespace {

std::string className(const QxInterface* object) {
  const QxClass* cls = object->getDatabaseClass();
  return cls ? cls->getName() : "object";
}

// Sets *found as soon as it is known, so that a later error can name it.
void findDescriptor(QxInterface* object, const char* name, QxPropInfo** found) {
  if (!object->isValid())
    throw new ErrorIdException("PULVRA:object:deleted", "Invalid or deleted object.");
  QxInterface* host = object->getProperty(name);
  QxObjectCore* core = QxObjectCore::of(host);
  *found = core ? core->descriptor() : nullptr;
  if (!*found)
    throw new InvalidPropertyException(std::string("There is no property named '") +
                                       (name ? name : "") + "' for class '" + className(object) +
                                       "'.");
}

// The descriptor's data type and its conversion (neither null), or a host
// error naming the property.
struct TypeAndConversion {
  QxDataType* type;
  const PulvraConversion* conversion;
};
TypeAndConversion typeOf(QxPropInfo* prop, QxInterface* object) {
  QxDataType* type = prop->getDataType(object);
  const PulvraConversion* conversion = type ? type->getPulvraConversion() : nullptr;
  if (!conversion)
    throw new ErrorIdException("PULVRA:property:noDataType",
                               std::string("The '") + prop->getName() +
                                   "' property has no data type to convert values with.");
  return {type, conversion};
}

// Owns a value in a data type's storage.
struct StoredValue {
  QxDataType* type;
  void* value;
  ~StoredValue() {
    if (value) type->destroy(value);
  }
};

// Owns a value that a descriptor's getValue handed out.
struct GotValue {
  QxPropInfo* prop;
  QxInterface* object;
  void* value;
  ~GotValue() {
    try {
      prop->releaseValue(QxDatabaseClient::getInternalClient(), object, value);
    } catch (Exception* e) {
      delete e;  // a destructor cannot pass it on
    } catch (...) {
    }
  }
};

// What the class's filter chooses for a host exception; the exception it
// replaced is deleted.
Exception* filtered(Exception* e, QxInterface* object, QxPropInfo* prop, const char* name) {
  std::unique_ptr<Exception> given(e);
  QxClass* cls = object->getDatabaseClass();
  Exception* chosen = cls ? cls->filterPropAccessException(e, object, prop, name) : e;
  if (!chosen || chosen == e) return given.release();
  return chosen;  // `given` deletes the replaced exception
}

// Checks and stores a value that does not convert into a buffer, in a frame
// of its own that owns the converted copy.
void storeCopy(QxInterface* object, QxPropInfo* prop, const TypeAndConversion& to,
               const hvArray* value) {
  const StoredValue stored{to.type, to.conversion->fromPulvra(value)};
  if (Exception* refusal = to.type->checkValue(stored.value)) throw refusal;
  prop->setValue(QxDatabaseClient::getInternalClient(), object, stored.value);
}

// Converts, checks and stores a value. A plain scalar converts into a buffer
// here: a set of a number allocates nothing, and this frame owns nothing, so a
// refusal from the store unwinds through it without stopping.
void store(QxInterface* object, QxPropInfo* prop, const hvArray* value) {
  const TypeAndConversion to = typeOf(prop, object);
  alignas(std::max_align_t) unsigned char buffer[16];
  if (!to.conversion->fromPulvraInto(value, buffer, sizeof buffer))
    return storeCopy(object, prop, to, value);
  if (Exception* refusal = to.type->checkValue(buffer)) throw refusal;
  prop->setValue(QxDatabaseClient::getInternalClient(), object, buffer);
}

// The custom set function, when there is one, may hand back a value to store
// instead.
void setThroughType(QxInterface* object, QxPropInfo* prop, const hvArray* value) {
  const auto& setFn = prop->getSetFunction();
  if (!setFn) return store(object, prop, value);
  const ZLScopedHvArray replaced(setFn(object, value));
  store(object, prop, replaced.get() ? replaced.get() : value);
}

hvArray* getThroughType(QxInterface* object, QxPropInfo* prop) {
  const PulvraConversion* conversion = typeOf(prop, object).conversion;
  GotValue got{prop, object, prop->getValue(QxDatabaseClient::getInternalClient(), object)};
  ZLScopedHvArray result(conversion->toPulvra(got.value));
  if (const auto& getFn = prop->getGetFunction()) {
    hvArray* changed = getFn(object, result.get());
    if (changed && changed != result.get()) result.reset(changed);
  }
  return result.release();  // the caller frees it
}

}  // namespace

void QxInterface::setPropertyValue(const char* name, const hvArray* value) {
  QxInterface* object = getCanonical();
  QxPropInfo* prop = nullptr;
  Exception* failure = nullptr;
  try {
    findDescriptor(object, name, &prop);
    if (!prop->isExternalSetAccess())
      throw new SetDeniedException(std::string("Changing the '") + prop->getName() +
                                   "' property of " + className(object) + " is not allowed.");
    setThroughType(object, prop, value);
    return;
  } catch (Exception* e) {
    failure = filtered(e, object, prop, name);
  }
  // Thrown once the handler has ended: a throw inside it would have to stop
  // unwinding on its way out to end the handler.
  throw failure;
}

hvArray* QxInterface::getPropertyValue(const char* name) {
  QxInterface* object = getCanonical();
  QxPropInfo* prop = nullptr;
  Exception* failure = nullptr;
  try {
    findDescriptor(object, name, &prop);
    if (!prop->isExternalGetAccess())
      throw new InvalidPropertyException(std::string("The '") + prop->getName() + "' property of " +
                                         className(object) + " cannot be read.");
    return getThroughType(object, prop);
  } catch (Exception* e) {
    failure = filtered(e, object, prop, name);
  }
  throw failure;
}
