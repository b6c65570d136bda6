// Tests of host applications: registration, local classes, removal with the keep flag, "schema" and
// shutdown.
#include <memory>
#include <string>

#include "common/host_errors.h"
#include "test_host_fixtures.h"

namespace hosttest {
namespace {

struct CountedClass : TestClass, Counted<CountedClass> {
  using TestClass::TestClass;
};
using QxApplicationTest = HostTest;

TEST_F(QxApplicationTest, ApplicationsAndTheirClassesRegisterByExactName) {
  QxApplication* app = makeApp("prod");
  EXPECT_EQ(QxApplicationManager::getApplication("prod"), app->getInterface());
  EXPECT_EQ(app->getInterface()->getObject(), app);
  EXPECT_EQ(QxApplicationManager::getApplication("PROD"), nullptr);
  EXPECT_EQ(QxApplicationManager::getApplication(nullptr), nullptr);
  std::unique_ptr<QxApplication> twin(makeApp("prod"));  // a taken name: the creator keeps it
  QxApplicationManager::removeApplication(twin.get());   // not registered: ignored
  EXPECT_EQ(QxApplicationManager::getApplication("prod")->getObject(), app);
  // "schema" and its "prop" class, the class of every descriptor, always exist.
  auto* schema =
      static_cast<QxApplication*>(QxApplicationManager::getApplication("schema")->getObject());
  auto* propClass = static_cast<QxClass*>(schema->getLocalClass("prop")->getObject());
  EXPECT_EQ(propClass->getApplication(), schema);
  EXPECT_EQ(MapPropInfo("X", "double").getInterface()->getDatabaseClass(), propClass);

  TestClass* a = addClass(app, "A");
  TestClass* b = addClass(app, "B");
  EXPECT_EQ(a->getApplication(), app);
  EXPECT_TRUE(a->getKeepFlag());
  TestClass again("A");
  EXPECT_TRUE(ThrowsHostError([&] { app->addLocalClass(&again); }, "ClassRedefined", "'A'"));
  EXPECT_EQ(again.getApplication(), nullptr);
  EXPECT_TRUE(
      ThrowsHostError([&] { makeApp("other")->addLocalClass(b); }, "Generic", "already belongs"));
  EXPECT_EQ(app->getLocalClass("B")->getObject(), b);
  EXPECT_EQ(app->getLocalClass("b"), nullptr);
  std::string names;
  for (QxBreadthOnlyIterator it(app->getLocalClasses(), false); it.hasMoreElements();)
    names += static_cast<QxClass*>(it.nextElement()->getObject())->getName();
  EXPECT_EQ(names, "AB");
  a->setName("C");  // renaming moves the class in the index
  EXPECT_EQ(app->getLocalClass("A"), nullptr);
  EXPECT_EQ(app->getLocalClass("C")->getObject(), a);
}

TEST_F(QxApplicationTest, RemovalDestroysObjectsAndClassesUnlessKept) {
  QxApplication* app = makeApp("prod");
  auto* removable = addClass<CountedClass>(app, "removable");
  auto* kept = addClass<CountedClass>(app, "kept");
  removable->setKeepFlag(false);
  addProp(removable, "P");
  addProp(kept, "Q");
  QxInterface* root = app->getDefaultDatabase()->getRootObject();
  auto refTo = [](QxInterface* o) { return std::unique_ptr<QxInterface>(o->getReference()); };
  auto inDb = refTo(removable->createObject(nullptr, root, nullptr, 0, nullptr));
  auto loose = refTo(removable->createObject(nullptr, nullptr, nullptr, 0, nullptr));
  auto keptObj = refTo(kept->createObject(nullptr, root, nullptr, 0, nullptr));
  auto rootRef = refTo(root), appRef = refTo(app->getInterface());
  inDb->addInstanceProperty(new MapPropInfo("I", "double"));
  QxApplicationManager::removeApplication(app);
  EXPECT_EQ(QxApplicationManager::getApplication("prod"), nullptr);
  // Database objects go, kept class or not; an object outside it goes with its class.
  for (auto* ref : {inDb.get(), loose.get(), keptObj.get(), rootRef.get(), appRef.get()})
    EXPECT_FALSE(ref->isValid());
  EXPECT_EQ(TestObject::live, 0);
  EXPECT_EQ(CountedClass::live, 1);
  EXPECT_EQ(kept->getApplication(), nullptr);
  EXPECT_NE(kept->getProperty("Q"), nullptr);
  EXPECT_EQ(MapPropInfo::live, 1);
  QxApplication* next = makeApp("prod");  // the kept class can join a new one under its name
  next->addLocalClass(kept);
  EXPECT_EQ(next->getLocalClass("kept")->getObject(), kept);
  // A failing release is warned and the removal goes on.
  TestClass* failing = addClass(next, "C");
  failing->setKeepFlag(false);
  failing->failRelease = true;
  for (int i = 0; i < 2; ++i)
    failing->createObject(nullptr, next->getDefaultDatabase()->getRootObject(), nullptr, 0,
                          nullptr);
  MessageCapture messages;
  QxApplicationManager::removeApplication(next);
  EXPECT_EQ(messages.warnings.size(), 2u);
  EXPECT_EQ(TestObject::live, 0);
  QxApplicationManager::shutdown();
  EXPECT_EQ(CountedClass::live, 0);
  EXPECT_EQ(MapPropInfo::live, 0);
}

TEST_F(QxApplicationTest, ShutdownFreesEverythingAndTheHostComesBack) {
  QxApplication* app = makeApp("prod");
  TestClass* cls = addClass(app, "C");
  addProp(cls, "P");
  cls->createObject(nullptr, app->getDefaultDatabase()->getRootObject(), nullptr, 0, nullptr);
  ZLScopedHvArray held(hvCreateObjectHandle(hoxCreateObject(nullptr, nullptr)));
  new MapPropInfo("NeverAdded", "double");  // the host frees it at shutdown
  QxApplicationManager::shutdown();
  EXPECT_EQ(MapPropInfo::live, 0);
  EXPECT_EQ(TestObject::live, 0);
  EXPECT_EQ(hvGetObjectHandle(held)->getLifecycleState(), kLifecycleDestroyed);
  QxApplicationManager::shutdown();  // twice is harmless
  EXPECT_NE(QxApplicationManager::getApplication("schema"), nullptr);
  EXPECT_EQ(QxApplicationManager::getApplication("prod"), nullptr);
  EXPECT_NE(addProp(addClass(makeApp("prod"), "C"), "P"), nullptr);
}

}  // namespace
}  // namespace hosttest
