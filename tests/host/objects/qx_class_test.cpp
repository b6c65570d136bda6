// Tests of host classes' methods (dispatch by argument kinds, conversions, returns, errors,
// superclass methods) and of applications (registration, local classes, removal with the keep
// flag, "schema", shutdown).
#include <malloc.h>

#include <memory>
#include <string>

#include "common/host_errors.h"
#include "test_host_fixtures.h"

namespace hosttest {
namespace {

// Names the chosen signature and the arguments that arrived, as its result and in `last`.
class DescribeMI : public QxMethodInfo {
 public:
  DescribeMI() {
    setName("describe");
    add({"handle"}, "string");
    add({"handle", "string"}, "string");
    add({"handle", "double"}, "string");
    add({"handle", "NReals"}, "string");  // a type that its conversion decides for
    add({"handle", "PULVRA array"}, "PULVRA array");
    add({"bool"}, "");
  }
  void invokeMethod(const QxMethodSignature* signature, int* nReturned, void** returned, int nArgs,
                    void** args) override {
    last = "sig";
    for (int i = 0; i < getNumberOfSignatures(); ++i)
      if (getMethodSignature(i) == signature) last += std::to_string(i);
    for (int i = 0; i < nArgs; ++i) {
      const std::string type = signature->getArgumentTypeName(i);
      if (type == "handle") last += args[i] == lastObject ? " obj" : " other";
      if (type == "string") last += std::string(" ") + static_cast<const char*>(args[i]);
      if (type == "double") last += " " + std::to_string(*static_cast<double*>(args[i]));
      if (type == "PULVRA array" || type == "NReals") last += " " + type;
      if (type == "bool") last += *static_cast<bool*>(args[i]) ? " true" : " false";
    }
    if (fail) throw new ErrorIdException("test:method", "method failed");
    *nReturned = signature->getNumberOfReturnTypes();
    ZLScopedHvArray value(hvCreateString(last.c_str()));
    if (*nReturned)
      returned[0] = signature->getReturnType(0)->getPulvraConversion()->fromPulvra(value);
  }
  std::string last;
  QxInterface* lastObject = nullptr;
  bool fail = false;

 private:
  void add(std::initializer_list<const char*> args, const char* ret) {
    auto sig = std::make_unique<QxMethodSignature>();
    for (const char* a : args) sig->addArgument(a);
    if (*ret) sig->addReturnType(ret);
    addMethodSignature(sig.release());
  }
};

class QxMethodTest : public HostTest {
 protected:
  void SetUp() override {
    QxApplication* app = makeApp("methods");
    base = addClass(app, "base");
    base->addMethod(method = new DescribeMI);
    cls = addClass(app, "derived");
    cls->setSuperClass(base);
    method->lastObject = obj = cls->createObject(nullptr, nullptr, nullptr, 0, nullptr);
  }
  // Calls "describe" with the arguments (which it frees) and returns its text result.
  std::string call(const std::vector<hvArray*>& args, const char* name = "describe") {
    std::vector<std::unique_ptr<hvArray, void (*)(hvArray*)>> owned;
    owned.reserve(args.size());
    for (hvArray* a : args) owned.emplace_back(a, hvDestroyArray);
    std::vector<const hvArray*> raw(args.begin(), args.end());
    ZLScopedHvArray result(hoxInvokeMethod(cls, name, static_cast<int>(raw.size()), raw.data()));
    return result.get() ? zelhox::fcns::getString(result) : "(none)";
  }
  TestClass *base = nullptr, *cls = nullptr;
  DescribeMI* method = nullptr;
  QxInterface* obj = nullptr;
};

TEST_F(QxMethodTest, TheFirstFittingSignatureIsChosen) {
  EXPECT_EQ(Ptrs({cls->getMethod("describe"), method->getClass()}), Ptrs({method, base}));
  const std::tuple<std::vector<hvArray*>, const char*, const char*> cases[] = {
      {{hvCreateObjectHandle(obj)}, "sig0 obj", "sig0 obj"},
      {{hvCreateObjectHandle(obj), hvCreateString("all")}, "sig1 obj all", "sig1 obj all"},
      {{hvCreateObjectHandle(obj), hvCreateDoubleScalar(2)}, "sig2 obj 2.000000", ""},
      {{hvCreateObjectHandle(obj), hvCreateCellMatrix(1, 2)}, "sig4 obj PULVRA array", ""},
      // A double matrix is no scalar, nor a logical a number: the conversions decide.
      {{hvCreateObjectHandle(obj), hvCreateDoubleMatrix(1, 3)}, "sig3 obj NReals", ""},
      {{hvCreateObjectHandle(obj), hvCreateLogicalScalar(true)}, "sig4 obj PULVRA array", ""},
      {{hvCreateLogicalScalar(true)}, "(none)", "sig5 true"},
      {{hvCreateDoubleScalar(0)}, "(none)", "sig5 false"},
  };
  for (const auto& [args, result, last] : cases) {
    SCOPED_TRACE(result);
    EXPECT_EQ(call(args), result);
    EXPECT_EQ(method->last, *last ? last : result);
  }
  // Signatures and types out of range on either side; a class lists its own methods only.
  const QxMethodSignature* sig = method->getMethodSignature(1);
  EXPECT_EQ(Ptrs({sig->getArgumentType(2), sig->getArgumentTypeName(-1),
                  method->getMethodSignature(6), cls->getMethodAt(0), base->getMethodAt(0)}),
            Ptrs({nullptr, nullptr, nullptr, nullptr, method}));
}

TEST_F(QxMethodTest, UnknownNamesUnfitArgumentsAndFailuresAreHostErrors) {
  EXPECT_TRUE(ThrowsHostError([&] { call({}, "nosuch"); }, "PULVRA:method:undefined", "'nosuch'"));
  EXPECT_TRUE(ThrowsHostError([&] { hoxInvokeMethod(nullptr, nullptr, 0, nullptr); },
                              "PULVRA:method:undefined"));
  // An empty handle array is not a 1x1 handle (other unfit arguments: simdev_errors.zel).
  EXPECT_TRUE(ThrowsHostError([&] { call({hvCreateObjectHandle(nullptr)}); },
                              "PULVRA:method:noSignature", "'describe'"));
  method->fail = true;  // the arguments converted for it are freed
  auto failing = [&] { call({hvCreateObjectHandle(obj), hvCreateString("y")}); };
  EXPECT_TRUE(ThrowsHostError(failing, "test:method"));
  EXPECT_EQ(method->last, "sig1 obj y");
  method->fail = false;  // nothing that a call converts or returns is left behind
  call({hvCreateObjectHandle(obj), hvCreateString("warm")});
  const std::size_t before = mallinfo2().uordblks;
  for (int i = 0; i < 300; ++i)
    call({hvCreateObjectHandle(obj), hvCreateString("a long enough text")});
  EXPECT_LT(mallinfo2().uordblks, before + 9600);  // a lost 32-byte block per call is 9600
}

struct CountedClass : TestClass, Counted<CountedClass> {
  using TestClass::TestClass;
};
using QxApplicationTest = HostTest;

TEST_F(QxApplicationTest, ApplicationsAndTheirClassesRegisterByExactName) {
  QxApplication* app = makeApp("prod");
  EXPECT_EQ(Ptrs({QxApplicationManager::getApplication("prod"), app->getInterface()->getObject(),
                  QxApplicationManager::getApplication("PROD"),
                  QxApplicationManager::getApplication(nullptr)}),
            Ptrs({app->getInterface(), app, nullptr, nullptr}));
  std::unique_ptr<QxApplication> twin(makeApp("prod"));  // a taken name: the creator keeps it
  QxApplicationManager::removeApplication(twin.get());   // not registered: ignored
  EXPECT_EQ(QxApplicationManager::getApplication("prod")->getObject(), app);
  // "schema" and its "prop" class, the class of every descriptor, always exist.
  auto* schema =
      static_cast<QxApplication*>(QxApplicationManager::getApplication("schema")->getObject());
  auto* propClass = static_cast<QxClass*>(schema->getLocalClass("prop")->getObject());
  EXPECT_EQ(Ptrs({propClass->getApplication(),
                  MapPropInfo("X", "double").getInterface()->getDatabaseClass()}),
            Ptrs({schema, propClass}));
  TestClass* a = addClass(app, "A");
  TestClass* b = addClass(app, "B");
  EXPECT_EQ(a->getApplication(), app);
  EXPECT_TRUE(a->getKeepFlag());
  TestClass again("A");
  EXPECT_TRUE(ThrowsHostError([&] { app->addLocalClass(&again); }, "ClassRedefined", "'A'"));
  EXPECT_EQ(again.getApplication(), nullptr);
  EXPECT_TRUE(
      ThrowsHostError([&] { makeApp("other")->addLocalClass(b); }, "Generic", "already belongs"));
  EXPECT_EQ(Ptrs({app->getLocalClass("B")->getObject(), app->getLocalClass("b")}),
            Ptrs({b, nullptr}));
  std::string names;
  for (QxBreadthOnlyIterator it(app->getLocalClasses(), false); it.hasMoreElements();)
    names += static_cast<QxClass*>(it.nextElement()->getObject())->getName();
  EXPECT_EQ(names, "AB");
  a->setName("C");  // renaming moves the class in the index
  EXPECT_EQ(Ptrs({app->getLocalClass("A"), app->getLocalClass("C")->getObject()}),
            Ptrs({nullptr, a}));
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
  EXPECT_EQ(Facts({TestObject::live, CountedClass::live, MapPropInfo::live}), Facts({0, 1, 1}));
  EXPECT_EQ(kept->getApplication(), nullptr);
  EXPECT_NE(kept->getProperty("Q"), nullptr);
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
  EXPECT_EQ(Facts({static_cast<int>(messages.warnings.size()), TestObject::live}), Facts({2, 0}));
  QxApplicationManager::shutdown();
  EXPECT_EQ(Facts({CountedClass::live, MapPropInfo::live}), Facts({0, 0}));
}

// The registry files every record by its place in a list; records leaving
// in a scattered order must leave each remaining one findable exactly once.
TEST_F(QxApplicationTest, AClassGoingTakesExactlyItsObjectsStillAlive) {
  QxApplication* app = makeApp("prod");
  TestClass* cls = addClass(app, "C");
  cls->setKeepFlag(false);
  std::vector<std::unique_ptr<QxInterface>> refs;
  refs.reserve(30);
  for (int i = 0; i < 30; ++i)
    refs.emplace_back(cls->createObject(nullptr, nullptr, nullptr, 0, nullptr)->getReference());
  for (int i : {14, 0, 29, 3, 27, 15, 6, 21, 9, 12}) refs[i]->destroy(nullptr);
  EXPECT_EQ(Facts({TestObject::live, cls->releases}), Facts({20, 10}));
  QxApplicationManager::removeApplication(app);  // and the class with it
  EXPECT_EQ(TestObject::live, 0);
  for (const auto& ref : refs) EXPECT_FALSE(ref->isValid());
}

TEST_F(QxApplicationTest, ShutdownFreesEverythingAndTheHostComesBack) {
  QxApplication* app = makeApp("prod");
  TestClass* cls = addClass(app, "C");
  addProp(cls, "P");
  cls->createObject(nullptr, app->getDefaultDatabase()->getRootObject(), nullptr, 0, nullptr);
  ZLScopedHvArray held(hvCreateObjectHandle(hoxCreateObject(nullptr, nullptr)));
  new MapPropInfo("NeverAdded", "double");  // the host frees it at shutdown
  QxApplicationManager::shutdown();
  EXPECT_EQ(
      Facts({MapPropInfo::live, TestObject::live, hvGetObjectHandle(held)->getLifecycleState()}),
      Facts({0, 0, kLifecycleDestroyed}));
  QxApplicationManager::shutdown();  // twice is harmless
  EXPECT_NE(QxApplicationManager::getApplication("schema"), nullptr);
  EXPECT_EQ(QxApplicationManager::getApplication("prod"), nullptr);
  EXPECT_NE(addProp(addClass(makeApp("prod"), "C"), "P"), nullptr);
}

}  // namespace
}  // namespace hosttest
