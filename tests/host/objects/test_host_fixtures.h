// Test helpers for the host object system: a concrete class, a map-backed descriptor, a fixture and
// error assertions.
#ifndef ZELHOST_TESTS_TEST_HOST_FIXTURES_H
#define ZELHOST_TESTS_TEST_HOST_FIXTURES_H

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "zelhost/objects/qx_application.h"
#include "zelhost/objects/qx_class.h"
#include "zelhost/objects/qx_interface.h"
#include "zelhost/objects/qx_method_info.h"
#include "zelhost/objects/qx_prop_info.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/services.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/types/data_type.h"
#include "zelhost/values/hv_array.h"

namespace hosttest {

// Several pointers or facts compared in one assertion.
using Ptrs = std::vector<const void*>;
using Facts = std::vector<int>;

// Counts the live instances of T.
template <class T>
struct Counted {
  static inline int live = 0;
  Counted() { ++live; }
  Counted(const Counted&) { ++live; }
  ~Counted() { --live; }
};

// The own part that TestClass makes for each object: the int arguments of createObject.
struct TestObject : Counted<TestObject> {
  std::vector<int> args;
};

// A concrete host class that counts releases and filtered errors; tests may install a filter
// and make creation or release fail.
class TestClass : public QxClass {
 public:
  explicit TestClass(const char* name) { setName(name); }
  bool isHandleClass() const override { return true; }
  bool isAbstractClass() const override { return abstract; }
  void* createClassSpecificObject(QxInterface*, void** args, int count) override {
    if (failCreate) throw new ErrorIdException("test:create", "creation refused");
    auto* obj = new TestObject;  // the host hands it back in releaseObjectPart
    for (int i = 0; i < count; ++i) obj->args.push_back(*static_cast<int*>(args[i]));
    return obj;
  }
  void releaseObjectPart(QxInterface* object) override {
    ++releases;
    if (onRelease) onRelease(object);
    delete static_cast<TestObject*>(object->getObject());
    if (failRelease) throw new ErrorIdException("test:release", "release failed");
  }
  Exception* filterPropAccessException(Exception* e, QxInterface* object, QxPropInfo* prop,
                                       const char* name) override {
    ++filtered;
    lastFilteredProp = prop;
    return filter ? filter(e, object, prop, name) : e;
  }

  bool abstract = false, failCreate = false, failRelease = false;
  int releases = 0, filtered = 0;
  QxPropInfo* lastFilteredProp = nullptr;
  std::function<void(QxInterface*)> onRelease;
  std::function<Exception*(Exception*, QxInterface*, QxPropInfo*, const char*)> filter;
};

// A descriptor that keeps each object's value in a map, in its data type's storage.
class MapPropInfo : public QxPropInfoTemplate, public Counted<MapPropInfo> {
 public:
  MapPropInfo(const char* name, const char* typeName) {
    setName(name);
    setDataType(QxTypeRepository::getType(typeName, true));
  }
  ~MapPropInfo() override {
    for (auto& entry : values_) getDataType()->destroy(entry.second);
  }
  void* getValue(QxDatabaseClient*, QxInterface* object) override {
    auto it = values_.find(object->getCanonical());
    return it == values_.end() ? nullptr : it->second;
  }
  void setValue(QxDatabaseClient*, QxInterface* object, const void* value) override {
    ++sets;
    void*& slot = values_[object->getCanonical()];
    getDataType()->destroy(slot);
    slot = getDataType()->copy(value);
  }
  int sets = 0;

 private:
  std::map<QxInterface*, void*> values_;
};

// Runs `action`, which must throw a host exception by pointer whose identifier (an
// ErrorIdException's own, else the name of its kind) is `id` and whose message holds `message`.
inline ::testing::AssertionResult ThrowsHostError(const std::function<void()>& action,
                                                  const std::string& id,
                                                  const std::string& message = "") {
  try {
    action();
  } catch (Exception* raw) {
    std::unique_ptr<Exception> e(raw);
    std::string got = dynamic_cast<ClassRedefinedException*>(raw) ? "ClassRedefined" : "Generic";
    if (auto* withId = dynamic_cast<ErrorIdException*>(raw)) got = withId->getId();
    if (dynamic_cast<InvalidPropertyException*>(raw)) got = "InvalidProperty";
    if (dynamic_cast<SetDeniedException*>(raw)) got = "SetDenied";
    if (dynamic_cast<AmbiguousPropertyException*>(raw)) got = "AmbiguousProperty";
    if (got == id && std::string(e->getMessage()).find(message) != std::string::npos)
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << got << ") " << e->getMessage();
  }
  return ::testing::AssertionFailure() << "no host exception was thrown";
}

// Shuts the host down after every test: each starts from nothing, and LeakSanitizer sees leaks.
class HostTest : public ::testing::Test {
 protected:
  void TearDown() override { QxApplicationManager::shutdown(); }
  QxApplication* makeApp(const char* name) { return new QxApplication(name, true); }  // host owns
  template <class C = TestClass>
  C* addClass(QxApplication* app, const char* name) {  // the application owns it
    auto cls = std::make_unique<C>(name);
    app->addLocalClass(cls.get());
    return cls.release();
  }
  MapPropInfo* addProp(QxClass* cls, const char* name, const char* typeName = "double") {
    auto prop = std::make_unique<MapPropInfo>(name, typeName);
    cls->addProperty(prop.get());  // the class owns it
    return prop.release();
  }
};

}  // namespace hosttest

#endif  // ZELHOST_TESTS_TEST_HOST_FIXTURES_H
