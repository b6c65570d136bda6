// The host's built-in data types that hold host objects and callbacks: handle, handle vector,
// PULVRA callback.
#include <memory>

#include "builtin_type.h"
#include "host/values/hv_array_impl.h"
#include "host/values/object_refs.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/services.h"

namespace {

constexpr const char* kNotScalarHandle = "Parameter must be a scalar handle.";
constexpr const char* kNotHandleArray = "Parameter must be a scalar handle or an array of handles.";

// A live object's canonical handle held by the value, or null.
QxInterface* liveHandle(const hvArray* value, hvSize i) {
  QxInterface* handle = hvimpl::objectHandleAt(value, i);
  return hoxObjectIsLive(handle) ? handle : nullptr;
}

// The value pointer is the object's canonical QxInterface*, holding one count
// on the object's record.
class HandleType final : public BuiltinType {
 public:
  HandleType() : BuiltinType("handle", "handle", kStorageComposite) {}
  hvArray* toPulvra(const void* value) const override {
    return hvCreateObjectHandle(static_cast<QxInterface*>(const_cast<void*>(value)));
  }
  void* fromPulvra(const hvArray* value) const override {
    QxInterface* handle = hvIsScalar(value) ? liveHandle(value, 0) : nullptr;
    if (!handle) throw new GenericException(kNotScalarHandle);
    hoxRetainObject(handle);
    return handle;
  }
  void* copy(const void* value) const override {
    auto* handle = static_cast<QxInterface*>(const_cast<void*>(value));
    hoxRetainObject(handle);
    return handle;
  }
  void destroy(void* value) const override { hoxReleaseObject(static_cast<QxInterface*>(value)); }
};

// A Vector* of canonical handles, each holding one count; no handles is null.
class HandleVectorType final : public BuiltinType {
 public:
  HandleVectorType() : BuiltinType("handle vector", "Vector", kStorageComposite) {}

  hvArray* toPulvra(const void* value) const override {
    const auto* list = static_cast<const Vector*>(value);
    const std::size_t count = list ? list->size() : 0;
    std::unique_ptr<QxInterface*[]> handles(new QxInterface*[count ? count : 1]);
    for (std::size_t i = 0; i < count; ++i)
      handles[i] = static_cast<QxInterface*>(list->elementAt(i));
    return hvimpl::createObjectHandleArray(handles.get(), count);
  }

  void* fromPulvra(const hvArray* value) const override {
    if (!hvIsObject(value)) throw new GenericException(kNotHandleArray);
    const hvSize count = hvGetNumberOfElements(value);
    if (count == 0) return nullptr;
    for (hvSize i = 0; i < count; ++i)
      if (!liveHandle(value, i)) throw new GenericException(kNotHandleArray);
    auto list = std::make_unique<Vector>(count);
    for (hvSize i = 0; i < count; ++i) list->setElementAt(i, hvimpl::objectHandleAt(value, i));
    return retainAll(list.release());
  }

  void* copy(const void* value) const override {
    const auto* list = static_cast<const Vector*>(value);
    if (!list) return nullptr;
    auto out = std::make_unique<Vector>(list->size());
    for (std::size_t i = 0; i < list->size(); ++i) out->setElementAt(i, list->elementAt(i));
    return retainAll(out.release());
  }

  void destroy(void* value) const override {
    std::unique_ptr<Vector> list(static_cast<Vector*>(value));
    if (!list) return;
    for (std::size_t i = 0; i < list->size(); ++i)
      hoxReleaseObject(static_cast<QxInterface*>(list->elementAt(i)));
  }

 private:
  static Vector* retainAll(Vector* list) {
    for (std::size_t i = 0; i < list->size(); ++i)
      hoxRetainObject(static_cast<QxInterface*>(list->elementAt(i)));
    return list;
  }
};

// An HCallback*, shared by use count: a copy is one more use.
class CallbackType final : public BuiltinType {
 public:
  CallbackType() : BuiltinType("PULVRA callback", "HCallback", kStorageComposite) {}
  hvArray* toPulvra(const void* value) const override {
    if (!value) return hvCreateString("");
    return static_cast<const HCallback*>(value)->toPulvra();
  }
  void* fromPulvra(const hvArray* value) const override {
    if (!HCallback::isCallbackForm(value))
      hoxtypes::refuse("PULVRA:class:notCallback",
                       "Value must be a string, a function handle, or a cell array whose first "
                       "element is a string or a function handle.");
    return new HCallback(value);
  }
  void* copy(const void* value) const override {
    auto* callback = static_cast<HCallback*>(const_cast<void*>(value));
    if (callback) callback->addUse();
    return callback;
  }
  void destroy(void* value) const override {
    if (value) static_cast<HCallback*>(value)->release(1);
  }
};

}  // namespace

QxDataType* hoxtypes::handleType() {
  static HandleType type;
  return &type;
}

QxDataType* hoxtypes::handleVectorType() {
  static HandleVectorType type;
  return &type;
}

QxDataType* hoxtypes::callbackType() {
  static CallbackType type;
  return &type;
}
