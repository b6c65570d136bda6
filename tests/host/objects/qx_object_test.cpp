// Tests of host objects: name lookup, access flags, lifecycle, reference handles, the tree and
// descriptor ownership.
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
    for (const char* n : {"Tag", "Type", "Name"}) addProp(base, n);
    cls = addClass(app, "device");
    cls->setSuperClass(base);
    for (const char* n : {"Timeout", "TimerFcn", "TimerPeriod", "Name", "alpha", "Alpha"})
      addProp(cls, n);
    obj = cls->createObject(QxDatabaseClient::getInternalClient(), nullptr, nullptr, 0, nullptr);
    obj->addInstanceProperty(new MapPropInfo("Voltage", "double"));
    obj->addInstanceProperty(new MapPropInfo("gain", "double"));
    addProp(cls, "Gain");
  }
  // The found property's name, "" for none, "!" for an ambiguity.
  static std::string found(const std::function<QxInterface*()>& lookup) {
    try {
      QxInterface* h = lookup();
      return h ? static_cast<QxPropInfo*>(h->getObject())->getName() : "";
    } catch (Exception* e) {
      std::unique_ptr<Exception> owned(e);
      EXPECT_NE(dynamic_cast<AmbiguousPropertyException*>(e), nullptr);
      return "!";
    }
  }
  QxApplication* app = nullptr;
  TestClass* base = nullptr;
  TestClass* cls = nullptr;
  QxInterface* obj = nullptr;
};

TEST_F(QxObjectTest, LookupIsExactThenCaselessThenUniqueAbbreviation) {
  struct Case {
    const char* name;
    const char* viaClass;
    const char* viaObject;
  } cases[] = {
      {"Timeout", "Timeout", "Timeout"},
      {"timeout", "Timeout", "Timeout"},
      {"TIMERF", "TimerFcn", "TimerFcn"},
      {"timerp", "TimerPeriod", "TimerPeriod"},
      {"Timer", "!", "!"},
      {"Tag", "Tag", "Tag"},
      {"ta", "Tag", "Tag"},
      {"Ty", "Type", "Type"},
      {"T", "!", "!"},
      {"name", "Name", "Name"},
      {"alpha", "alpha", "alpha"},
      {"Alpha", "Alpha", "Alpha"},
      {"ALPHA", "!", "!"},
      {"Volt", "", "Voltage"},
      {"gain", "Gain", "gain"},
      {"Gain", "Gain", "Gain"},
      {"GAIN", "Gain", "!"},
      {"Timeoutx", "", ""},
      {"", "", ""},
      {"Nope", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(found([&] { return cls->getProperty(c.name); }), c.viaClass);
    EXPECT_EQ(found([&] { return obj->getProperty(c.name); }), c.viaObject);
  }
  EXPECT_EQ(cls->getProperty(nullptr), nullptr);
  // The subclass's "Name" hides the superclass's of the same exact name.
  EXPECT_EQ(static_cast<QxPropInfo*>(cls->getProperty("Name")->getObject())->getClass(), cls);
}

TEST_F(QxObjectTest, AmbiguityMessageNamesTheCandidates) {
  EXPECT_TRUE(ThrowsHostError([&] { cls->getProperty("Timer"); }, "AmbiguousProperty",
                              "'Timer': it could be 'TimerFcn', 'TimerPeriod'"));
}

TEST_F(QxObjectTest, RenamingADescriptorMovesItInTheIndex) {
  auto* prop = static_cast<QxPropInfo*>(cls->getProperty("Timeout")->getObject());
  prop->setName("Deadline");
  EXPECT_EQ(cls->getProperty("Timeout"), nullptr);
  EXPECT_EQ(cls->getProperty("dead"), prop->getInterface());
}

TEST_F(QxObjectTest, AddPropertyRefusesADuplicateAndKeepsAddOrder) {
  MapPropInfo dup("Timeout", "double");  // stays the caller's
  EXPECT_TRUE(ThrowsHostError([&] { cls->addProperty(&dup); }, "Generic",
                              "The class 'device' already has a property named 'Timeout'."));
  std::string names;
  for (QxBreadthOnlyIterator it(cls->getProperties(), false); it.hasMoreElements();)
    names += static_cast<QxPropInfo*>(it.nextElement()->getObject())->getName() + std::string(" ");
  EXPECT_EQ(names, "Timeout TimerFcn TimerPeriod Name alpha Alpha Gain ");
  cls->addProperty(nullptr);  // ignored
  QxBreadthOnlyIterator none(nullptr, false);
  EXPECT_FALSE(none.hasMoreElements());
  EXPECT_EQ(none.nextElement(), nullptr);
}

TEST_F(QxObjectTest, AccessFlagsStartWithGetsAndInternalSet) {
  MapPropInfo p("P", "double");
  for (int f = 0; f < kAccessCount; ++f) {
    SCOPED_TRACE(f);
    bool expected = f == kAccessExternalGet || f == kAccessInternalGet || f == kAccessInternalSet;
    EXPECT_EQ(p.getAccess(static_cast<QxAccessFlag>(f)), expected);
  }
  EXPECT_TRUE(p.isReadOnly());
  EXPECT_FALSE(p.isVisible());
  p.setAccess(kAccessExternalSet, true);
  p.setAccess(kAccessVisible, true);
  p.setAccess(kAccessInspect, true);
  EXPECT_FALSE(p.isReadOnly());
  EXPECT_TRUE(p.isVisible());
  EXPECT_TRUE(p.isInspectAccess());
  EXPECT_FALSE(p.isInitAccess());
  p.setAccess(kAccessCount, true);  // out of range: ignored
  EXPECT_FALSE(p.getAccess(kAccessCount));
}

TEST_F(QxObjectTest, DestroyReleasesOwnPartBeforeInstancePropertiesThenChildren) {
  QxInterface* child =
      cls->createObject(QxDatabaseClient::getInternalClient(), obj, nullptr, 0, nullptr);
  std::unique_ptr<QxInterface> childRef(child->getReference());
  std::unique_ptr<QxInterface> voltRef(obj->getInstanceProperty("Voltage")->getReference());
  bool instanceSeenDuringRelease = false;
  cls->onRelease = [&](QxInterface* o) {
    if (o == obj) {
      instanceSeenDuringRelease = o->getInstanceProperty("Voltage") != nullptr;
      EXPECT_EQ(o->getLifecycleState(), kLifecycleBeingDestroyed);
      EXPECT_NE(o->getObject(), nullptr);
    }
  };
  std::unique_ptr<QxInterface> ref(obj->getReference());
  EXPECT_EQ(obj->getLifecycleState(), kLifecycleConstructed);
  int before = MapPropInfo::live();
  obj->destroy(QxDatabaseClient::getInternalClient());
  EXPECT_TRUE(instanceSeenDuringRelease);
  EXPECT_EQ(cls->releases, 2);  // the object and its child
  EXPECT_EQ(MapPropInfo::live(), before - 2);
  EXPECT_EQ(ref->getLifecycleState(), kLifecycleDestroyed);
  EXPECT_FALSE(ref->isValid());
  EXPECT_EQ(ref->getObject(), nullptr);
  EXPECT_EQ(ref->getInstanceProperties(), nullptr);
  EXPECT_FALSE(childRef->isValid());
  EXPECT_EQ(childRef->getUp(), nullptr);
  EXPECT_FALSE(voltRef->isValid());
  ref->destroy(nullptr);  // a second destroy does nothing
  EXPECT_EQ(cls->releases, 2);
  EXPECT_EQ(TestObject::live(), 0);
}

TEST_F(QxObjectTest, AFailingReleaseStillDestroysTheObject) {
  cls->failRelease = true;
  std::unique_ptr<QxInterface> ref(obj->getReference());
  EXPECT_TRUE(ThrowsHostError([&] { obj->destroy(nullptr); }, "test:release"));
  EXPECT_EQ(ref->getLifecycleState(), kLifecycleDestroyed);
  cls->failRelease = false;
}

TEST_F(QxObjectTest, HandlesKeepTheRecordButNotTheObject) {
  QxInterface* canonical = obj->getCanonical();
  std::unique_ptr<QxInterface> ref(obj->getReference());
  EXPECT_NE(ref.get(), canonical);
  EXPECT_EQ(ref->getCanonical(), canonical);
  EXPECT_EQ(ref->getObject(), obj->getObject());
  ZLScopedHvArray value(hvCreateObjectHandle(obj));
  ref.reset();
  obj->destroy(nullptr);
  // The host value still reads the destroyed object through its handle.
  QxInterface* held = hvGetObjectHandle(value);
  ASSERT_EQ(held, canonical);
  EXPECT_EQ(held->getLifecycleState(), kLifecycleDestroyed);
}

TEST_F(QxObjectTest, TreeKeepsOrderMovesAndRefusesCycles) {
  QxInterface* a = hoxCreateObject(nullptr, nullptr);
  QxInterface* b = hoxCreateObject(nullptr, nullptr);
  QxInterface* c = hoxCreateObject(nullptr, nullptr);
  b->addBelow(a);
  c->addBelow(a);
  EXPECT_EQ(a->getFirstDown(), b);
  EXPECT_EQ(b->getNext(), c);
  EXPECT_EQ(c->getUp(), a);
  c->addBelow(b);  // moves
  EXPECT_EQ(b->getNext(), nullptr);
  EXPECT_EQ(b->getFirstDown(), c);
  EXPECT_TRUE(ThrowsHostError([&] { a->addBelow(c); }, "PULVRA:object:treeCycle"));
  EXPECT_TRUE(ThrowsHostError([&] { a->addBelow(a); }, "PULVRA:object:treeCycle"));
  c->addBelow(nullptr);  // unlinks
  EXPECT_EQ(c->getUp(), nullptr);
  EXPECT_EQ(b->getFirstDown(), nullptr);
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
  EXPECT_EQ(o->getDatabaseClass(), cls);
  EXPECT_EQ(o->getUp(), root);
  cls->failCreate = true;
  EXPECT_TRUE(ThrowsHostError([&] { cls->createObject(nullptr, root, nullptr, 0, nullptr); },
                              "test:create"));
  EXPECT_EQ(root->getFirstDown(), o);
  EXPECT_EQ(o->getNext(), nullptr);
  cls->failCreate = false;
  cls->abstract = true;
  EXPECT_TRUE(ThrowsHostError([&] { cls->createObject(nullptr, nullptr, nullptr, 0, nullptr); },
                              "PULVRA:object:abstractClass"));
}

// A class like the library's property-info class: it takes over descriptors'
// host objects and deletes the descriptor when one is released.
class DescriptorClass : public TestClass {
 public:
  DescriptorClass() : TestClass("descr") {}
  void releaseObjectPart(QxInterface* object) override {
    ++releases;
    delete static_cast<QxPropInfo*>(object->getObject());
  }
};

TEST_F(QxObjectTest, OnlyTheOwnerReleasesDescriptorsAndTheHostsOwnObjects) {
  int base0 = MapPropInfo::live();
  auto* loose = new MapPropInfo("Loose", "double");
  QxInterface* volt = obj->getInstanceProperty("Voltage");
  QxInterface* timeout = cls->getProperty("Timeout");
  const std::string notDeletable = "PULVRA:object:notDeletable|";
  struct Case {
    const char* what;
    QxInterface* object;
    std::string error;
  } cases[] = {
      {"class property", timeout,
       notDeletable +
           "The descriptor of the property 'Timeout' belongs to its class and cannot be deleted."},
      {"instance property", volt,
       notDeletable +
           "The descriptor of the property 'Voltage' belongs to its object and cannot be deleted."},
      {"a class's property list", timeout->getUp(), ""},
      {"an object's instance list", volt->getUp(), ""},
      {"a class's own object", cls->getInterface(), ""},
      {"an application's own object", app->getInterface(), ""},
      {"a database root", app->getDefaultDatabase()->getRootObject(), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error = hostErrorText([&] { c.object->destroy(nullptr); });
    if (c.error.empty()) {
      EXPECT_EQ(error.rfind(notDeletable, 0), 0u) << error;
    } else {
      EXPECT_EQ(error, c.error);
    }
    EXPECT_TRUE(c.object->isValid());
    QxInterface* up = c.object->getUp();
    for (QxInterface* parent : {static_cast<QxInterface*>(nullptr), obj}) {
      EXPECT_TRUE(ThrowsHostError([&] { c.object->addBelow(parent); }, "PULVRA:object:notMovable"));
    }
    EXPECT_EQ(c.object->getUp(), up);
  }
  // Nor does a list of descriptors take anything else.
  QxInterface* stray = hoxCreateObject(nullptr, nullptr);
  EXPECT_TRUE(
      ThrowsHostError([&] { stray->addBelow(timeout->getUp()); }, "PULVRA:object:notMovable"));
  EXPECT_EQ(stray->getUp(), nullptr);
  // Nothing changed: every property is still found and works.
  EXPECT_EQ(MapPropInfo::live(), base0 + 1);
  for (const char* name : {"Timeout", "Voltage", "Tag", "gain"}) {
    SCOPED_TRACE(name);
    QxInterface* found = obj->getProperty(name);
    ASSERT_NE(found, nullptr);
    auto* descriptor = static_cast<QxPropInfo*>(found->getObject());
    double two = 2;
    descriptor->setValue(QxDatabaseClient::getInternalClient(), obj, &two);
    EXPECT_EQ(*static_cast<double*>(descriptor->getValue(nullptr, obj)), 2);
  }
  // A descriptor added nowhere yet dies with its host object.
  loose->getInterface()->destroy(nullptr);
  EXPECT_EQ(MapPropInfo::live(), base0);

  // The object releases its own instance properties, and only those.
  EXPECT_FALSE(obj->removeInstanceProperty(timeout));
  EXPECT_FALSE(obj->removeInstanceProperty(obj));
  EXPECT_FALSE(obj->removeInstanceProperty(nullptr));
  EXPECT_TRUE(obj->removeInstanceProperty(volt));
  EXPECT_EQ(obj->getInstanceProperty("Voltage"), nullptr);
  EXPECT_EQ(static_cast<QxPropInfo*>(obj->getInstanceProperties()->getObject())->getName(),
            std::string("gain"));
  EXPECT_EQ(MapPropInfo::live(), base0 - 1);

  // A descriptor handed to another class keeps the chain: when its class goes,
  // that class's release deletes it.
  auto* descrClass = new DescriptorClass;
  app->addLocalClass(descrClass);
  auto* gain = static_cast<QxPropInfo*>(cls->getProperty("Gain")->getObject());
  gain->getInterface()->setDatabaseClass(descrClass);
  for (QxClass* c :
       {static_cast<QxClass*>(descrClass), static_cast<QxClass*>(cls), static_cast<QxClass*>(base)})
    c->setKeepFlag(false);
  QxApplicationManager::removeApplication(app);
  EXPECT_EQ(MapPropInfo::live(), 0);
  EXPECT_EQ(TestObject::live(), 0);
}

}  // namespace
}  // namespace hosttest
