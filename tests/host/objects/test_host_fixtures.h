// Test helpers for the host object system: a concrete class, a map-backed descriptor, a fixture and
// set/get assertions.
#ifndef ZELHOST_TESTS_TEST_HOST_FIXTURES_H
#define ZELHOST_TESTS_TEST_HOST_FIXTURES_H

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
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

// The own part that TestClass makes for each object.
struct TestObject {
  static int& live() {
    static int n = 0;
    return n;
  }
  TestObject() { ++live(); }
  ~TestObject() { --live(); }
  std::vector<int> args;  // the int arguments given to createObject
};

// A concrete host class. Its objects' own parts are TestObjects; it counts
// releases, and tests may install a filter for property access errors and
// a failure of object creation or release.
class TestClass : public QxClass {
 public:
  explicit TestClass(const char* name) { setName(name); }
  bool isHandleClass() const override { return true; }
  bool isAbstractClass() const override { return abstract; }
  void* createClassSpecificObject(QxInterface*, void** args, int count) override {
    if (failCreate) throw new ErrorIdException("test:create", "creation refused");
    auto obj = std::make_unique<TestObject>();
    for (int i = 0; i < count; ++i) obj->args.push_back(*static_cast<int*>(args[i]));
    return obj.release();  // the host hands it back in releaseObjectPart
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

  bool abstract = false;
  bool failCreate = false;
  bool failRelease = false;
  int releases = 0;
  int filtered = 0;
  QxPropInfo* lastFilteredProp = nullptr;
  std::function<void(QxInterface*)> onRelease;
  std::function<Exception*(Exception*, QxInterface*, QxPropInfo*, const char*)> filter;
};

// A descriptor that keeps each object's value in a map, in its data type's
// storage (copied on set, freed on replacement and with the descriptor).
class MapPropInfo : public QxPropInfoTemplate {
 public:
  static int& live() {
    static int n = 0;
    return n;
  }
  MapPropInfo(const char* name, const char* typeName) {
    ++live();
    setName(name);
    setDataType(QxTypeRepository::getType(typeName, true));
  }
  ~MapPropInfo() override {
    --live();
    for (auto& entry : values_) getDataType()->destroy(entry.second);
  }
  void* getValue(QxDatabaseClient*, QxInterface* object) override {
    ++gets;
    auto it = values_.find(object->getCanonical());
    return it == values_.end() ? nullptr : it->second;
  }
  void setValue(QxDatabaseClient*, QxInterface* object, const void* value) override {
    ++sets;
    if (failSet) throw new GenericException("set failed");
    void*& slot = values_[object->getCanonical()];
    getDataType()->destroy(slot);
    slot = getDataType()->copy(value);
  }
  bool failSet = false;
  int gets = 0;
  int sets = 0;

 private:
  std::map<QxInterface*, void*> values_;
};

// The identifier of a host exception: an ErrorIdException's own, else the
// name of its kind.
inline std::string hostErrorId(const Exception* e) {
  if (auto* id = dynamic_cast<const ErrorIdException*>(e)) return id->getId();
  if (dynamic_cast<const InvalidPropertyException*>(e)) return "InvalidProperty";
  if (dynamic_cast<const SetDeniedException*>(e)) return "SetDenied";
  if (dynamic_cast<const AmbiguousPropertyException*>(e)) return "AmbiguousProperty";
  if (dynamic_cast<const InvalidEnumValueException*>(e)) return "InvalidEnumValue";
  if (dynamic_cast<const ClassRedefinedException*>(e)) return "ClassRedefined";
  if (dynamic_cast<const GenericException*>(e)) return "Generic";
  return "Exception";
}

// Runs `action`, which must throw a host exception by pointer; checks its
// identifier (see hostErrorId) and that its message contains `message`.
inline ::testing::AssertionResult ThrowsHostError(const std::function<void()>& action,
                                                  const std::string& id,
                                                  const std::string& message = "") {
  try {
    action();
  } catch (Exception* raw) {
    std::unique_ptr<Exception> e(raw);
    std::string gotId = hostErrorId(e.get());
    std::string text = e->getMessage();
    if (gotId != id || text.find(message) == std::string::npos)
      return ::testing::AssertionFailure() << "got (" << gotId << ") \"" << text << "\", expected ("
                                           << id << ") containing \"" << message << "\"";
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "no host exception was thrown";
}

// A user's set of a property that must fail with that identifier and text.
inline ::testing::AssertionResult SetFails(QxInterface* object, const char* name,
                                           const hvArray* value, const std::string& id,
                                           const std::string& message = "") {
  return ThrowsHostError([&] { object->setPropertyValue(name, value); }, id, message);
}

// Shuts the host down after every test, so that each starts from nothing
// and LeakSanitizer sees what a test left behind.
class HostTest : public ::testing::Test {
 protected:
  void TearDown() override { QxApplicationManager::shutdown(); }

  // A new application named `name` (the host owns it).
  QxApplication* makeApp(const char* name) { return new QxApplication(name, true); }
  // A new TestClass added to `app` (the application owns it).
  TestClass* addClass(QxApplication* app, const char* name) {
    auto cls = std::make_unique<TestClass>(name);
    app->addLocalClass(cls.get());
    return cls.release();
  }
  // A new descriptor added to `cls` (the class owns it).
  MapPropInfo* addProp(QxClass* cls, const char* name, const char* typeName = "double") {
    auto prop = std::make_unique<MapPropInfo>(name, typeName);
    cls->addProperty(prop.get());
    return prop.release();
  }
};

}  // namespace hosttest

#endif  // ZELHOST_TESTS_TEST_HOST_FIXTURES_H
