// Tests of the user's property get and set road: what the class's filter and the descriptor see,
// and the hooks. The identifiers and messages of refusals: tests/shell/host_objects.zel.
#include <memory>
#include <string>

#include "test_host_fixtures.h"

namespace hosttest {
namespace {

// A descriptor whose set throws an exception that counts how many of its kind are alive.
struct CountedException : GenericException, Counted<CountedException> {
  using GenericException::GenericException;
};
class ThrowingPropInfo : public MapPropInfo {
 public:
  ThrowingPropInfo() : MapPropInfo("Broken", "double") { setAccess(kAccessExternalSet, true); }
  void setValue(QxDatabaseClient*, QxInterface*, const void*) override {
    throw new CountedException("broken set");
  }
};

// Refuses negative numbers, as a product's constrained type would.
class NonNegative : public QxOverrideType {
 public:
  Exception* checkValue(const void* value) const override {
    if (*static_cast<const double*>(value) >= 0) return nullptr;
    return new ErrorIdException("test:negative", "Value must not be negative.");
  }
};

class PropertyAccessTest : public HostTest {
 protected:
  void SetUp() override {
    QxApplication* app = makeApp("access");
    cls = addClass(app, "meter");
    range = addProp(cls, "Range");
    label = addProp(cls, "Label", "string");
    readOnly = addProp(cls, "Status");
    hidden = addProp(cls, "Secret");
    untyped = addProp(cls, "Untyped");
    positive = addProp(cls, "Level");
    for (MapPropInfo* p : {range, label, hidden, untyped, positive})
      p->setAccess(kAccessExternalSet, true);
    hidden->setAccess(kAccessExternalGet, false);
    untyped->setDataType(nullptr);
    positive->setDataType(checker.createDataType("NonNegativeDouble", "double"));
    addProp(cls, "RangeMax");
    obj = cls->createObject(nullptr, nullptr, nullptr, 0, nullptr);
  }
  ::testing::AssertionResult setFails(QxInterface* o, const char* name, const hvArray* value,
                                      const std::string& id, const std::string& message = "") {
    return ThrowsHostError([&] { o->setPropertyValue(name, value); }, id, message);
  }
  NonNegative checker;  // outlives the host objects (shut down in TearDown)
  TestClass* cls = nullptr;
  MapPropInfo *range, *label, *readOnly, *hidden, *untyped, *positive;
  QxInterface* obj = nullptr;
  ZLScopedHvArray num{hvCreateDoubleScalar(1)};
};

TEST_F(PropertyAccessTest, ErrorsAndOnlyErrorsPassTheFilterWithTheDescriptorFound) {
  ZLScopedHvArray neg(hvCreateDoubleScalar(-1)), text(hvCreateString("volts"));
  std::unique_ptr<QxInterface> ref(obj->getReference());
  ref->setPropertyValue("Label", text);
  EXPECT_EQ(zelhox::fcns::getString(ZLScopedHvArray(obj->getPropertyValue("lab"))), "volts");
  EXPECT_EQ(cls->filtered, 0);
  const std::tuple<const char*, const hvArray*, const char*, const char*, QxPropInfo*> cases[] = {
      {"Nope", num, "InvalidProperty", "named 'Nope' for class 'meter'.", nullptr},
      {"Rang", num, "AmbiguousProperty", "'Range', 'RangeMax'", nullptr},
      {"Status", num, "SetDenied", "'Status' property of meter is not allowed.", readOnly},
      {"Range", text, "PULVRA:class:notNumericScalar", "", range},
      {"Label", num, "PULVRA:class:notString", "", label},
      {"Level", neg, "test:negative", "Value must not be negative.", positive},
      {"Untyped", num, "PULVRA:property:noDataType", "'Untyped'", untyped},
      {"Range", nullptr, "PULVRA:class:notNumericScalar", "", range},
      {nullptr, num, "InvalidProperty", "There is no property named ''", nullptr},
  };
  for (const auto& [name, value, id, message, prop] : cases) {
    SCOPED_TRACE(name ? name : "(null)");
    int before = cls->filtered;
    EXPECT_TRUE(setFails(obj, name, value, id, message));
    EXPECT_EQ(cls->filtered, before + 1);
    EXPECT_EQ(cls->lastFilteredProp, prop);
  }
  EXPECT_EQ(positive->sets + range->sets, 0);  // refused values never reach the descriptor
  EXPECT_TRUE(ThrowsHostError([&] { hvDestroyArray(obj->getPropertyValue("Secret")); },
                              "InvalidProperty", "cannot be read"));
  EXPECT_TRUE(ThrowsHostError([&] { hvDestroyArray(obj->getPropertyValue("Untyped")); },
                              "PULVRA:property:noDataType"));
  EXPECT_EQ(cls->filtered, 11);
  obj->destroy(nullptr);
  EXPECT_TRUE(ThrowsHostError([&] { hvDestroyArray(ref->getPropertyValue("Range")); },
                              "PULVRA:object:deleted", "Invalid or deleted object."));
  EXPECT_TRUE(setFails(ref.get(), "Range", num, "PULVRA:object:deleted"));
}

TEST_F(PropertyAccessTest, FilterReplacementIsThrownAndTheOriginalDeleted) {
  auto* broken = new ThrowingPropInfo;
  obj->addInstanceProperty(broken);
  QxInterface* seenObject = nullptr;
  std::string seenName;
  cls->filter = [&](Exception* e, QxInterface* o, QxPropInfo* p, const char* name) -> Exception* {
    seenObject = o;
    seenName = name;
    EXPECT_EQ(p, broken);
    EXPECT_EQ(CountedException::live, 1);
    return new ErrorIdException("test:replaced", std::string("wrapped: ") + e->getMessage());
  };
  std::unique_ptr<QxInterface> ref(obj->getReference());
  EXPECT_TRUE(setFails(ref.get(), "broken", num, "test:replaced", "wrapped: broken set"));
  EXPECT_EQ(seenObject, obj);
  EXPECT_EQ(CountedException::live, 0);
  EXPECT_EQ(seenName, "broken");
  // A filter that keeps the exception, or answers nothing: the same one reaches the caller.
  for (Exception* (*keep)(Exception*) :
       {+[](Exception* e) { return e; }, +[](Exception*) -> Exception* { return nullptr; }}) {
    cls->filter = [keep](Exception* e, QxInterface*, QxPropInfo*, const char*) { return keep(e); };
    EXPECT_TRUE(setFails(obj, "Broken", num, "Generic", "broken set"));
    EXPECT_EQ(CountedException::live, 0);
  }
}

TEST_F(PropertyAccessTest, HooksRunAroundTheValueOperations) {
  range->setSetFunction(
      [](QxInterface*, const hvArray* v) { return hvCreateDoubleScalar(hvGetScalar(v) * 2); });
  range->setGetFunction(
      [](QxInterface*, hvArray* v) { return hvCreateDoubleScalar(hvGetScalar(v) + 1); });
  ZLScopedHvArray three(hvCreateDoubleScalar(3));
  obj->setPropertyValue("Range", three);
  EXPECT_EQ(hvGetScalar(ZLScopedHvArray(obj->getPropertyValue("Range"))), 7);
  // A hook that changes nothing answers null.
  range->setSetFunction([](QxInterface*, const hvArray*) -> hvArray* { return nullptr; });
  obj->setPropertyValue("Range", three);
  range->setGetFunction(nullptr);
  EXPECT_EQ(hvGetScalar(ZLScopedHvArray(obj->getPropertyValue("Range"))), 3);
}

}  // namespace
}  // namespace hosttest
