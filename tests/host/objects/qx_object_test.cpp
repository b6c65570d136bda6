// Tests of host objects: access flags, lifecycle, reference handles, the tree, descriptor ownership
// (zelsh's delete: tests/shell/descriptor_delete.zel), and the user's get and set road: what the
// class's filter and the descriptor see, and the hooks (refusals' identifiers and messages:
// tests/shell/host_objects.zel).
#include <malloc.h>

#include <memory>
#include <string>

#include "common/host_errors.h"
#include "test_host_fixtures.h"

namespace hosttest {
namespace {

class QxObjectTest : public HostTest {
 protected:
  void SetUp() override {
    app = makeApp("objtest");
    base = addClass(app, "base");
    addProp(base, "Tag");
    cls = addClass(app, "device");
    cls->setSuperClass(base);
    for (const char* n : {"Timeout", "Name", "Gain"}) addProp(cls, n);
    obj = cls->createObject(QxDatabaseClient::getInternalClient(), nullptr, nullptr, 0, nullptr);
    for (const char* n : {"Voltage", "gain"})
      obj->addInstanceProperty(new MapPropInfo(n, "double"));
  }
  QxInterface* make(QxInterface* up = nullptr) {
    return cls->createObject(nullptr, up, nullptr, 0, nullptr);
  }
  QxApplication* app = nullptr;
  TestClass *base = nullptr, *cls = nullptr;
  QxInterface* obj = nullptr;
};

TEST_F(QxObjectTest, DescriptorsKeepAddOrderRefuseADuplicateAndStartWithDefaultAccess) {
  MapPropInfo p("Timeout", "double");  // a duplicate: stays the caller's
  EXPECT_TRUE(ThrowsHostError([&] { cls->addProperty(&p); }, "Generic",
                              "The class 'device' already has a property named 'Timeout'."));
  cls->addProperty(nullptr);  // ignored
  std::string names;
  for (QxBreadthOnlyIterator it(cls->getProperties(), false); it.hasMoreElements();)
    names += static_cast<QxPropInfo*>(it.nextElement()->getObject())->getName() + std::string(" ");
  EXPECT_EQ(names, "Timeout Name Gain ");
  QxBreadthOnlyIterator none(nullptr, false);
  EXPECT_EQ(Ptrs({none.nextElement()}), Ptrs({nullptr}));
  // Access flags start with the gets and the internal set.
  for (int f = 0; f <= kAccessCount; ++f) {
    SCOPED_TRACE(f);  // kAccessCount itself is out of range: never set
    bool expected = f == kAccessExternalGet || f == kAccessInternalGet || f == kAccessInternalSet;
    EXPECT_EQ(p.getAccess(static_cast<QxAccessFlag>(f)), expected);
    p.setAccess(static_cast<QxAccessFlag>(f), !expected);
  }
  EXPECT_EQ(Facts({p.getAccess(kAccessCount), p.isReadOnly(), p.isVisible(), p.isInspectAccess()}),
            Facts({false, false, true, true}));
}

TEST_F(QxObjectTest, DestroyReleasesOwnPartBeforeInstancePropertiesThenChildren) {
  QxInterface* child = make(obj);
  std::unique_ptr<QxInterface> childRef(child->getReference());
  std::unique_ptr<QxInterface> voltRef(obj->getInstanceProperty("Voltage")->getReference());
  bool instanceSeenDuringRelease = false;
  cls->onRelease = [&](QxInterface* o) {
    if (o != obj) return;
    instanceSeenDuringRelease = o->getInstanceProperty("Voltage") != nullptr;
    EXPECT_EQ(o->getLifecycleState(), kLifecycleBeingDestroyed);
    EXPECT_NE(o->getObject(), nullptr);
  };
  std::unique_ptr<QxInterface> ref(obj->getReference());
  EXPECT_NE(ref.get(), obj->getCanonical());
  EXPECT_EQ(Ptrs({ref->getCanonical(), ref->getObject()}),
            Ptrs({obj->getCanonical(), obj->getObject()}));
  EXPECT_EQ(obj->getLifecycleState(), kLifecycleConstructed);
  int before = MapPropInfo::live;
  obj->destroy(QxDatabaseClient::getInternalClient());
  ref->destroy(nullptr);  // a second destroy does nothing
  // The object and its child released; the instance properties after the object's own part.
  EXPECT_EQ(Facts({instanceSeenDuringRelease, cls->releases, MapPropInfo::live, TestObject::live}),
            Facts({true, 2, before - 2, 0}));
  EXPECT_EQ(ref->getLifecycleState(), kLifecycleDestroyed);
  EXPECT_EQ(Facts({ref->isValid(), childRef->isValid(), voltRef->isValid()}), Facts({0, 0, 0}));
  EXPECT_EQ(Ptrs({ref->getObject(), ref->getInstanceProperties(), childRef->getUp()}),
            Ptrs({nullptr, nullptr, nullptr}));
  // A failing release still destroys the object.
  cls->failRelease = true;
  std::unique_ptr<QxInterface> other(make()->getReference());
  EXPECT_TRUE(ThrowsHostError([&] { other->destroy(nullptr); }, "test:release"));
  EXPECT_EQ(other->getLifecycleState(), kLifecycleDestroyed);
  cls->failRelease = false;
}

// Whatever an object held goes with it: many made and destroyed leave the heap as it was.
TEST_F(QxObjectTest, DestroyedObjectsLeaveNoHeapBehind) {
  auto cycle = [&] {
    QxInterface* o = make();
    o->addInstanceProperty(new MapPropInfo("P", "double"));
    { std::unique_ptr<QxInterface> reference(make(o)->getReference()); }
    o->destroy(nullptr);
  };
  cycle();
  const std::size_t before = mallinfo2().uordblks;
  for (int i = 0; i < 500; ++i) cycle();
  EXPECT_LT(mallinfo2().uordblks, before + 16000);  // a lost 32-byte block per cycle is 16000
}

TEST_F(QxObjectTest, TreeKeepsOrderMovesAndRefusesCycles) {
  QxInterface* a = hoxCreateObject(nullptr, nullptr);
  QxInterface* b = hoxCreateObject(nullptr, nullptr);
  QxInterface* c = hoxCreateObject(nullptr, nullptr);
  b->addBelow(a);
  c->addBelow(a);
  EXPECT_EQ(Ptrs({a->getFirstDown(), b->getNext(), c->getUp()}), Ptrs({b, c, a}));
  c->addBelow(b);  // moves
  EXPECT_EQ(Ptrs({b->getNext(), b->getFirstDown()}), Ptrs({nullptr, c}));
  EXPECT_TRUE(ThrowsHostError([&] { a->addBelow(c); }, "PULVRA:object:treeCycle"));
  EXPECT_TRUE(ThrowsHostError([&] { a->addBelow(a); }, "PULVRA:object:treeCycle"));
  c->addBelow(nullptr);  // unlinks
  EXPECT_EQ(Ptrs({c->getUp(), b->getFirstDown()}), Ptrs({nullptr, nullptr}));
  std::unique_ptr<QxInterface> bRef(b->getReference());
  b->destroy(nullptr);
  EXPECT_EQ(a->getFirstDown(), nullptr);
  EXPECT_TRUE(ThrowsHostError([&] { c->addBelow(bRef.get()); }, "PULVRA:object:deleted"));
}

TEST_F(QxObjectTest, CreateObjectPassesArgumentsAndUndoesFailures) {
  int one = 1, two = 2;
  void* args[] = {&one, &two};
  QxInterface* root = app->getDefaultDatabase()->getRootObject();
  QxInterface* o = cls->createObject(nullptr, root, args, 2, nullptr);
  EXPECT_EQ(static_cast<TestObject*>(o->getObject())->args, (std::vector<int>{1, 2}));
  EXPECT_EQ(Ptrs({o->getDatabaseClass(), o->getUp()}), Ptrs({cls, root}));
  cls->failCreate = true;
  EXPECT_TRUE(ThrowsHostError([&] { make(root); }, "test:create"));
  EXPECT_EQ(Ptrs({root->getFirstDown(), o->getNext()}), Ptrs({o, nullptr}));
  cls->failCreate = false;
  cls->abstract = true;
  EXPECT_TRUE(ThrowsHostError([&] { make(); }, "PULVRA:object:abstractClass"));
}

// Like the library's property-info class: takes over descriptors' host objects, deletes them.
class DescriptorClass : public TestClass {
 public:
  using TestClass::TestClass;
  void releaseObjectPart(QxInterface* object) override {
    delete static_cast<QxPropInfo*>(object->getObject());
  }
};

TEST_F(QxObjectTest, OnlyTheOwnerReleasesDescriptorsAndTheHostsOwnObjects) {
  int base0 = MapPropInfo::live;
  auto* loose = new MapPropInfo("Loose", "double");
  QxInterface* volt = obj->getInstanceProperty("Voltage");
  QxInterface* timeout = cls->getProperty("Timeout");
  QxInterface* stray = hoxCreateObject(nullptr, nullptr);
  // Not deletable (the descriptors' messages: descriptor_delete.zel), nor movable.
  int row = 0;
  for (QxInterface* o : {timeout, volt, timeout->getUp(), volt->getUp(), cls->getInterface(),
                         app->getInterface(), app->getDefaultDatabase()->getRootObject()}) {
    SCOPED_TRACE(row++);
    EXPECT_TRUE(ThrowsHostError([&] { o->destroy(nullptr); }, "PULVRA:object:notDeletable"));
    EXPECT_TRUE(o->isValid());
    QxInterface* up = o->getUp();
    for (QxInterface* parent : {static_cast<QxInterface*>(nullptr), obj})
      EXPECT_TRUE(ThrowsHostError([&] { o->addBelow(parent); }, "PULVRA:object:notMovable"));
    EXPECT_EQ(o->getUp(), up);
  }
  // Nor does a list of descriptors take anything else.
  EXPECT_TRUE(
      ThrowsHostError([&] { stray->addBelow(timeout->getUp()); }, "PULVRA:object:notMovable"));
  EXPECT_EQ(stray->getUp(), nullptr);
  // Nothing changed: every property is still found.
  EXPECT_EQ(Ptrs({obj->getProperty("Timeout"), obj->getProperty("volt"), obj->getProperty("Tag")}),
            Ptrs({timeout, volt, base->getProperty("Tag")}));
  EXPECT_EQ(MapPropInfo::live, base0 + 1);
  loose->getInterface()->destroy(nullptr);  // added nowhere yet: dies with its host object
  EXPECT_EQ(MapPropInfo::live, base0);
  // The object releases its own instance properties, and only those.
  EXPECT_EQ(Facts({obj->removeInstanceProperty(timeout), obj->removeInstanceProperty(obj),
                   obj->removeInstanceProperty(nullptr), obj->removeInstanceProperty(volt)}),
            Facts({false, false, false, true}));
  EXPECT_EQ(Ptrs({obj->getInstanceProperty("Voltage"), obj->getInstanceProperties()}),
            Ptrs({nullptr, obj->getInstanceProperty("gain")}));
  EXPECT_EQ(MapPropInfo::live, base0 - 1);
  // A descriptor handed to another class keeps the chain: when its class goes, that class's
  // release deletes it.
  auto* descrClass = addClass<DescriptorClass>(app, "descr");
  cls->getProperty("Gain")->setDatabaseClass(descrClass);
  for (QxClass* c :
       {static_cast<QxClass*>(descrClass), static_cast<QxClass*>(cls), static_cast<QxClass*>(base)})
    c->setKeepFlag(false);
  QxApplicationManager::removeApplication(app);
  EXPECT_EQ(Facts({MapPropInfo::live, TestObject::live}), Facts({0, 0}));
}

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
    for (MapPropInfo* p : {range, label, hidden, untyped}) p->setAccess(kAccessExternalSet, true);
    hidden->setAccess(kAccessExternalGet, false);
    untyped->setDataType(nullptr);
    obj = cls->createObject(nullptr, nullptr, nullptr, 0, nullptr);
  }
  ::testing::AssertionResult setFails(QxInterface* o, const char* name, const hvArray* value,
                                      const std::string& id, const std::string& message = "") {
    return ThrowsHostError([&] { o->setPropertyValue(name, value); }, id, message);
  }
  TestClass* cls = nullptr;
  MapPropInfo *range, *label, *readOnly, *hidden, *untyped;
  QxInterface* obj = nullptr;
  ZLScopedHvArray num{hvCreateDoubleScalar(1)};
};

TEST_F(PropertyAccessTest, ErrorsAndOnlyErrorsPassTheFilterWithTheDescriptorFound) {
  ZLScopedHvArray text(hvCreateString("volts"));
  std::unique_ptr<QxInterface> ref(obj->getReference());
  ref->setPropertyValue("Label", text);
  EXPECT_EQ(zelhox::fcns::getString(ZLScopedHvArray(obj->getPropertyValue("lab"))), "volts");
  EXPECT_EQ(cls->filtered, 0);
  const std::tuple<const char*, const hvArray*, const char*, const char*, QxPropInfo*> cases[] = {
      {"Nope", num, "InvalidProperty", "named 'Nope' for class 'meter'.", nullptr},
      {"Status", num, "SetDenied", "'Status' property of meter is not allowed.", readOnly},
      {"Range", text, "PULVRA:class:notNumericScalar", "", range},
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
  EXPECT_EQ(range->sets, 0);  // refused values never reach the descriptor
  EXPECT_TRUE(ThrowsHostError([&] { hvDestroyArray(obj->getPropertyValue("Secret")); },
                              "InvalidProperty", "cannot be read"));
  EXPECT_TRUE(ThrowsHostError([&] { hvDestroyArray(obj->getPropertyValue("Untyped")); },
                              "PULVRA:property:noDataType"));
  EXPECT_EQ(cls->filtered, 8);
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
  EXPECT_EQ(Ptrs({seenObject, seenName == "broken" ? nullptr : obj}), Ptrs({obj, nullptr}));
  EXPECT_EQ(CountedException::live, 0);
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
  range->setGetFunction([](QxInterface*, hvArray*) -> hvArray* { return nullptr; });
  EXPECT_EQ(hvGetScalar(ZLScopedHvArray(obj->getPropertyValue("Range"))), 3);
}

}  // namespace
}  // namespace hosttest
