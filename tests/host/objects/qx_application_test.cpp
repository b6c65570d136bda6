// Tests of host applications: registration, local classes, removal with the keep flag, "schema" and
// shutdown.
#include <memory>
#include <string>

#include "test_host_fixtures.h"

namespace hosttest {
namespace {

// A TestClass that counts its deletions.
class CountedClass : public TestClass {
 public:
  static int& live() {
    static int n = 0;
    return n;
  }
  explicit CountedClass(const char* name) : TestClass(name) { ++live(); }
  ~CountedClass() override { --live(); }
};

using QxApplicationTest = HostTest;

TEST_F(QxApplicationTest, ApplicationsRegisterByExactName) {
  QxApplication* app = makeApp("prod");
  QxInterface* handle = QxApplicationManager::getApplication("prod");
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(handle->getObject(), app);
  EXPECT_EQ(app->getInterface(), handle);
  EXPECT_EQ(QxApplicationManager::getApplication("PROD"), nullptr);
  EXPECT_EQ(QxApplicationManager::getApplication(nullptr), nullptr);
  // A taken name registers nothing: the creator keeps the application.
  std::unique_ptr<QxApplication> twin(makeApp("prod"));
  EXPECT_EQ(QxApplicationManager::getApplication("prod")->getObject(), app);
  QxApplicationManager::removeApplication(twin.get());  // not registered: ignored
  EXPECT_EQ(QxApplicationManager::getApplication("prod")->getObject(), app);
}

TEST_F(QxApplicationTest, SchemaAndItsPropClassAlwaysExist) {
  QxInterface* schema = QxApplicationManager::getApplication("schema");
  ASSERT_NE(schema, nullptr);
  auto* app = static_cast<QxApplication*>(schema->getObject());
  QxInterface* prop = app->getLocalClass("prop");
  ASSERT_NE(prop, nullptr);
  auto* propClass = static_cast<QxClass*>(prop->getObject());
  EXPECT_EQ(propClass->getInterface(), prop);
  EXPECT_EQ(propClass->getApplication(), app);
  MapPropInfo descriptor("X", "double");
  EXPECT_EQ(descriptor.getInterface()->getDatabaseClass(), propClass);
}

TEST_F(QxApplicationTest, LocalClassesKeepOrderAndRefuseRedefinition) {
  QxApplication* app = makeApp("prod");
  TestClass* a = addClass(app, "A");
  TestClass* b = addClass(app, "B");
  EXPECT_EQ(a->getApplication(), app);
  TestClass again("A");
  EXPECT_TRUE(ThrowsHostError([&] { app->addLocalClass(&again); }, "ClassRedefined", "'A'"));
  EXPECT_EQ(again.getApplication(), nullptr);
  EXPECT_EQ(app->getLocalClass("B")->getObject(), b);
  EXPECT_EQ(app->getLocalClass("b"), nullptr);
  std::string names;
  for (QxBreadthOnlyIterator it(app->getLocalClasses(), false); it.hasMoreElements();)
    names += static_cast<QxClass*>(it.nextElement()->getObject())->getName();
  EXPECT_EQ(names, "AB");
  QxApplication* other = makeApp("other");
  EXPECT_TRUE(ThrowsHostError([&] { other->addLocalClass(b); }, "Generic", "already belongs"));
  a->setName("C");  // renaming moves the class in the index
  EXPECT_EQ(app->getLocalClass("A"), nullptr);
  EXPECT_EQ(app->getLocalClass("C")->getObject(), a);
  EXPECT_TRUE(a->getKeepFlag());
}

TEST_F(QxApplicationTest, RemovalDestroysObjectsAndClassesUnlessKept) {
  QxApplication* app = makeApp("prod");
  auto* removable = new CountedClass("removable");
  auto* kept = new CountedClass("kept");
  app->addLocalClass(removable);
  app->addLocalClass(kept);
  removable->setKeepFlag(false);
  addProp(removable, "P");
  addProp(kept, "Q");
  QxInterface* root = app->getDefaultDatabase()->getRootObject();
  std::unique_ptr<QxInterface> inDb(
      removable->createObject(nullptr, root, nullptr, 0, nullptr)->getReference());
  // An object outside the database still goes with its class.
  std::unique_ptr<QxInterface> loose(
      removable->createObject(nullptr, nullptr, nullptr, 0, nullptr)->getReference());
  std::unique_ptr<QxInterface> keptObj(
      kept->createObject(nullptr, root, nullptr, 0, nullptr)->getReference());
  std::unique_ptr<QxInterface> rootRef(root->getReference());
  std::unique_ptr<QxInterface> appRef(app->getInterface()->getReference());
  inDb->addInstanceProperty(new MapPropInfo("I", "double"));
  EXPECT_EQ(MapPropInfo::live(), 3);

  QxApplicationManager::removeApplication(app);
  EXPECT_EQ(QxApplicationManager::getApplication("prod"), nullptr);
  EXPECT_FALSE(inDb->isValid());
  EXPECT_FALSE(loose->isValid());
  EXPECT_FALSE(keptObj->isValid());  // database objects go, kept class or not
  EXPECT_FALSE(rootRef->isValid());
  EXPECT_FALSE(appRef->isValid());
  EXPECT_EQ(TestObject::live(), 0);
  EXPECT_EQ(CountedClass::live(), 1);
  EXPECT_EQ(kept->getApplication(), nullptr);
  EXPECT_NE(kept->getProperty("Q"), nullptr);
  EXPECT_EQ(MapPropInfo::live(), 1);
  // The kept class can join a new application under its name.
  QxApplication* next = makeApp("prod");
  next->addLocalClass(kept);
  EXPECT_EQ(next->getLocalClass("kept")->getObject(), kept);

  QxApplicationManager::shutdown();
  EXPECT_EQ(CountedClass::live(), 0);
  EXPECT_EQ(MapPropInfo::live(), 0);
}

TEST_F(QxApplicationTest, FailingObjectReleaseIsWarnedAndRemovalGoesOn) {
  QxApplication* app = makeApp("prod");
  TestClass* cls = addClass(app, "C");
  cls->setKeepFlag(false);
  cls->failRelease = true;
  QxInterface* root = app->getDefaultDatabase()->getRootObject();
  cls->createObject(nullptr, root, nullptr, 0, nullptr);
  cls->createObject(nullptr, root, nullptr, 0, nullptr);
  std::vector<std::string> warnings;
  HoxMessageSink previous =
      hoxSetWarningSink([&](const std::string& id, const std::string&) { warnings.push_back(id); });
  QxApplicationManager::removeApplication(app);
  hoxSetWarningSink(previous);
  EXPECT_EQ(warnings.size(), 2u);
  EXPECT_EQ(TestObject::live(), 0);
}

TEST_F(QxApplicationTest, ShutdownFreesEverythingAndTheHostComesBack) {
  QxApplication* app = makeApp("prod");
  TestClass* cls = addClass(app, "C");
  addProp(cls, "P");
  cls->createObject(nullptr, app->getDefaultDatabase()->getRootObject(), nullptr, 0, nullptr);
  QxInterface* orphan = hoxCreateObject(nullptr, nullptr);
  new MapPropInfo("NeverAdded", "double");  // the host frees it at shutdown
  ZLScopedHvArray held(hvCreateObjectHandle(orphan));
  QxApplicationManager::shutdown();
  EXPECT_EQ(MapPropInfo::live(), 0);
  EXPECT_EQ(TestObject::live(), 0);
  EXPECT_EQ(hvGetObjectHandle(held)->getLifecycleState(), kLifecycleDestroyed);
  QxApplicationManager::shutdown();  // twice is harmless
  EXPECT_NE(QxApplicationManager::getApplication("schema"), nullptr);
  EXPECT_EQ(QxApplicationManager::getApplication("prod"), nullptr);
  QxApplication* again = makeApp("prod");
  TestClass* cls2 = addClass(again, "C");
  EXPECT_NE(addProp(cls2, "P"), nullptr);
}

}  // namespace
}  // namespace hosttest
