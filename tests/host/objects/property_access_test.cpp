// Tests of the user's property get and set road: conversions, checks, access, errors and the
// class's filter.
#include <memory>
#include <string>

#include "test_host_fixtures.h"

namespace hosttest {
namespace {

// An exception that counts how many of its kind are alive.
class CountedException : public GenericException {
 public:
  static int& live() {
    static int n = 0;
    return n;
  }
  explicit CountedException(const char* text) : GenericException(text) { ++live(); }
  ~CountedException() override { --live(); }
};

// A descriptor whose value operations throw what the test says.
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
    if (*static_cast<const double*>(value) < 0)
      return new ErrorIdException("test:negative", "Value must not be negative.");
    return nullptr;
  }
};

class PropertyAccessTest : public HostTest {
 protected:
  void SetUp() override {
    QxApplication* app = makeApp("access");
    cls = addClass(app, "meter");
    range = addProp(cls, "Range");
    range->setAccess(kAccessExternalSet, true);
    label = addProp(cls, "Label", "string");
    label->setAccess(kAccessExternalSet, true);
    readOnly = addProp(cls, "Status");
    hidden = addProp(cls, "Secret");
    hidden->setAccess(kAccessExternalGet, false);
    hidden->setAccess(kAccessExternalSet, true);
    untyped = addProp(cls, "Untyped");
    untyped->setDataType(nullptr);
    untyped->setAccess(kAccessExternalSet, true);
    positive = addProp(cls, "Level");
    positive->setDataType(checker.createDataType("NonNegativeDouble", "double"));
    positive->setAccess(kAccessExternalSet, true);
    addProp(cls, "RangeMax");
    obj =
        cls->createObject(nullptr, app->getDefaultDatabase()->getRootObject(), nullptr, 0, nullptr);
  }
  NonNegative checker;  // outlives the host objects (shut down in TearDown)
  TestClass* cls = nullptr;
  MapPropInfo *range = nullptr, *label = nullptr, *readOnly = nullptr, *hidden = nullptr,
              *untyped = nullptr, *positive = nullptr;
  QxInterface* obj = nullptr;
};

TEST_F(PropertyAccessTest, SetThenGetConvertsBothWays) {
  ZLScopedHvArray five(hvCreateDoubleScalar(5));
  obj->setPropertyValue("range", five);  // case-insensitive
  ZLScopedHvArray back(obj->getPropertyValue("Range"));
  EXPECT_TRUE(hvIsEqual(back, five));
  ZLScopedHvArray text(hvCreateString("volts"));
  std::unique_ptr<QxInterface> ref(obj->getReference());
  ref->setPropertyValue("Label", text);  // through a reference handle
  ZLScopedHvArray got(obj->getPropertyValue("lab"));
  EXPECT_EQ(zelhox::fcns::getString(got), "volts");
  EXPECT_EQ(cls->filtered, 0);
}

TEST_F(PropertyAccessTest, ErrorsCarryIdentifiersAndPassTheFilter) {
  ZLScopedHvArray num(hvCreateDoubleScalar(1));
  ZLScopedHvArray neg(hvCreateDoubleScalar(-1));
  ZLScopedHvArray text(hvCreateString("x"));
  struct Case {
    const char* name;
    const hvArray* value;
    std::string id;
    std::string message;
    QxPropInfo* prop;
  } cases[] = {
      {"Nope", num, "InvalidProperty", "There is no property named 'Nope' for class 'meter'.",
       nullptr},
      {"Rang", num, "AmbiguousProperty", "'Range', 'RangeMax'", nullptr},
      {"Status", num, "SetDenied", "Changing the 'Status' property of meter is not allowed.",
       readOnly},
      {"Range", text, "PULVRA:class:notNumericScalar", "", range},
      {"Label", num, "PULVRA:class:notString", "", label},
      {"Level", neg, "test:negative", "Value must not be negative.", positive},
      {"Untyped", num, "PULVRA:property:noDataType", "'Untyped'", untyped},
      {"Range", nullptr, "PULVRA:class:notNumericScalar", "", range},
      {nullptr, num, "InvalidProperty", "There is no property named ''", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name ? c.name : "(null)");
    int before = cls->filtered;
    EXPECT_TRUE(SetFails(obj, c.name, c.value, c.id, c.message));
    EXPECT_EQ(cls->filtered, before + 1);
    EXPECT_EQ(cls->lastFilteredProp, c.prop);
  }
  // Refused values never reach the descriptor.
  EXPECT_EQ(positive->sets, 0);
  EXPECT_EQ(range->sets, 0);
}

TEST_F(PropertyAccessTest, GetErrorsPassTheFilterToo) {
  EXPECT_TRUE(ThrowsHostError([&] { hvDestroyArray(obj->getPropertyValue("Secret")); },
                              "InvalidProperty", "cannot be read"));
  EXPECT_TRUE(ThrowsHostError([&] { hvDestroyArray(obj->getPropertyValue("Untyped")); },
                              "PULVRA:property:noDataType"));
  EXPECT_EQ(cls->filtered, 2);
  std::unique_ptr<QxInterface> ref(obj->getReference());
  obj->destroy(nullptr);
  EXPECT_TRUE(ThrowsHostError([&] { hvDestroyArray(ref->getPropertyValue("Range")); },
                              "PULVRA:object:deleted", "Invalid or deleted object."));
  ZLScopedHvArray num(hvCreateDoubleScalar(1));
  EXPECT_TRUE(SetFails(ref.get(), "Range", num, "PULVRA:object:deleted"));
}

TEST_F(PropertyAccessTest, FilterReplacementIsThrownAndTheOriginalDeleted) {
  auto* broken = new ThrowingPropInfo;
  obj->addInstanceProperty(broken);
  ZLScopedHvArray num(hvCreateDoubleScalar(1));
  QxInterface* seenObject = nullptr;
  std::string seenName;
  cls->filter = [&](Exception* e, QxInterface* o, QxPropInfo* p, const char* name) -> Exception* {
    seenObject = o;
    seenName = name;
    EXPECT_EQ(p, broken);
    EXPECT_EQ(CountedException::live(), 1);
    return new ErrorIdException("test:replaced", std::string("wrapped: ") + e->getMessage());
  };
  std::unique_ptr<QxInterface> ref(obj->getReference());
  EXPECT_TRUE(SetFails(ref.get(), "broken", num, "test:replaced", "wrapped: broken set"));
  EXPECT_EQ(CountedException::live(), 0);
  EXPECT_EQ(seenObject, obj);
  EXPECT_EQ(seenName, "broken");
  // A filter that keeps the exception: the same one reaches the caller.
  cls->filter = [](Exception* e, QxInterface*, QxPropInfo*, const char*) { return e; };
  EXPECT_TRUE(SetFails(obj, "Broken", num, "Generic", "broken set"));
  EXPECT_EQ(CountedException::live(), 0);
  // A filter that answers nothing is taken as keeping it.
  cls->filter = [](Exception*, QxInterface*, QxPropInfo*, const char*) -> Exception* {
    return nullptr;
  };
  EXPECT_TRUE(SetFails(obj, "Broken", num, "Generic", "broken set"));
}

TEST_F(PropertyAccessTest, HooksRunAroundTheValueOperations) {
  range->setSetFunction(
      [](QxInterface*, const hvArray* v) { return hvCreateDoubleScalar(hvGetScalar(v) * 2); });
  range->setGetFunction(
      [](QxInterface*, hvArray* v) { return hvCreateDoubleScalar(hvGetScalar(v) + 1); });
  ZLScopedHvArray three(hvCreateDoubleScalar(3));
  obj->setPropertyValue("Range", three);
  ZLScopedHvArray got(obj->getPropertyValue("Range"));
  EXPECT_EQ(hvGetScalar(got), 7);
  // A hook that changes nothing answers null.
  range->setSetFunction([](QxInterface*, const hvArray*) -> hvArray* { return nullptr; });
  obj->setPropertyValue("Range", three);
  range->setGetFunction(nullptr);
  ZLScopedHvArray plain(obj->getPropertyValue("Range"));
  EXPECT_EQ(hvGetScalar(plain), 3);
}

}  // namespace
}  // namespace hosttest
