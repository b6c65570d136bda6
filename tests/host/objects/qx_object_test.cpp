// Tests of host objects: access flags, lifecycle, reference handles, the tree, descriptor ownership
// (zelsh's delete: tests/shell/descriptor_delete.zel), and the user's get and set road: what the
// class's filter and the descriptor see, and the hooks (refusals' identifiers and messages:
// tests/shell/host_objects.zel), and property name lookup where zelsh cannot reach (the same
// script has the rest): long superclass chains, names differing in case only, bytes outside
// ASCII, renames and a crowded exact-name table.
#include <malloc.h>

#include <memory>
#include <string>
#include <vector>

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
  EXPECT_EQ(cls->filtered, 7);
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

class PropertyLookupTest : public HostTest {
 protected:
  // A chain of kDepth classes, level0 the root; level i has "Level<i>" and its own "Shared".
  void SetUp() override {
    app = makeApp("lookuptest");
    for (int i = 0; i < kDepth; ++i) {
      TestClass* cls = addClass(app, ("level" + std::to_string(i)).c_str());
      if (!chain.empty()) cls->setSuperClass(chain.back());
      addProp(cls, ("Level" + std::to_string(i)).c_str());
      addProp(cls, "Shared");
      chain.push_back(cls);
    }
    for (const char* n : {"alpha", "Alpha", "Gain", "\xc3\x84rger", "Z_9[x"})
      addProp(chain.back(), n);
    obj = chain.back()->createObject(nullptr, nullptr, nullptr, 0, nullptr);
    for (const char* n : {"gain", "Voltage"})
      obj->addInstanceProperty(new MapPropInfo(n, "double"));
  }
  // "Name@class" of what `lookup` finds, "" for none, "!" for an ambiguity.
  static std::string found(const std::function<QxInterface*()>& lookup) {
    std::string got;
    if (!ThrowsHostError([&] { got = describe(lookup()); }, "AmbiguousProperty")) return got;
    return "!";
  }
  static std::string describe(QxInterface* h) {
    auto* prop = h ? static_cast<QxPropInfo*>(h->getObject()) : nullptr;
    const char* cls = prop && prop->getClass() ? prop->getClass()->getName() : "";
    return prop ? prop->getName() + std::string("@") + cls : "";
  }
  std::string inClass(const char* name) {
    return found([&] { return chain.back()->getProperty(name); });
  }
  QxPropInfo* onObject(const char* name) {
    QxInterface* h = obj->getProperty(name);
    return h ? static_cast<QxPropInfo*>(h->getObject()) : nullptr;
  }

  static constexpr int kDepth = 12;  // more lists than a lookup keeps inline
  QxApplication* app = nullptr;
  std::vector<TestClass*> chain;
  QxInterface* obj = nullptr;
};

TEST_F(PropertyLookupTest, EachStageSearchesEveryListInOrder) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"Level0", "Level0@level0", "Level0@level0"},  // the root's list, past the inline ones
      {"level0", "Level0@level0", "Level0@level0"},
      {"LEVEL9", "Level9@level9", "Level9@level9"},
      {"Shared", "Shared@level11", "Shared@level11"},  // the most derived hides the others
      {"shared", "Shared@level11", "Shared@level11"},  // one name, twelve lists: one candidate
      {"Level1", "Level1@level1", "Level1@level1"},    // exact beats abbreviating Level10, Level11
      {"level1", "Level1@level1", "Level1@level1"},    // so does the name ignoring case
      {"lev", "!", "!"},
      {"alpha", "alpha@level11", "alpha@level11"},
      {"Alpha", "Alpha@level11", "Alpha@level11"},
      {"ALPHA", "!", "!"},  // two names ignoring case, in one list
      {"gain", "Gain@level11", "gain@"},
      {"GAIN", "Gain@level11", "!"},  // a class's and an object's name ignoring case
      {"\xc3\x84RGER", "\xc3\x84rger@level11", "\xc3\x84rger@level11"},
      {"\xc3\xa4rger", "", ""},  // not the same letter to an ASCII fold
      {"z_9[X", "Z_9[x@level11", "Z_9[x@level11"},
      {"z_9{x", "", ""},  // '[' and '{' differ by the case bit but are no letters
      {"", "", ""},
      {nullptr, "", ""},
  };
  for (const auto& [name, viaClass, viaObject] : cases) {
    SCOPED_TRACE(name ? name : "(null)");
    EXPECT_EQ(inClass(name), viaClass);
    std::string got = found([&, n = name] { return obj->getProperty(n); });
    EXPECT_EQ(got, viaObject);
  }
  auto* level3 = static_cast<QxPropInfo*>(chain[3]->getProperty("Level3")->getObject());
  level3->setName("Deadline");  // a rename moves it in every index
  EXPECT_EQ(inClass("Level3"), "");
  EXPECT_EQ(inClass("dead"), "Deadline@level3");
  addProp(chain.front(), "Late");  // a superclass's new property is seen at once...
  EXPECT_EQ(inClass("Late"), "Late@level0");
  addProp(chain[5], "Late");  // ...until a subclass's namesake hides it
  EXPECT_EQ(inClass("Late"), "Late@level5");
}

// Two instance properties of one exact name: the first is found until it goes, then the
// second, also after renames move either.
TEST_F(PropertyLookupTest, ANamesakeTakesOverTheExactName) {
  auto* first = new MapPropInfo("Probe", "double");
  auto* second = new MapPropInfo("Probe", "double");
  obj->addInstanceProperty(first);  // the object owns both
  obj->addInstanceProperty(second);
  EXPECT_EQ(onObject("Probe"), first);
  second->setName("Sonde");
  EXPECT_EQ(onObject("Sonde"), second);
  second->setName("Probe");
  EXPECT_EQ(onObject("Probe"), first);  // the earlier one keeps the name
  first->setName("Other");
  EXPECT_EQ(Ptrs({onObject("Probe"), onObject("Other")}), Ptrs({second, first}));
  first->setName("Probe");
  EXPECT_TRUE(obj->removeInstanceProperty(second->getInterface()));
  EXPECT_EQ(onObject("Probe"), first);
  EXPECT_TRUE(obj->removeInstanceProperty(first->getInterface()));
  EXPECT_EQ(Ptrs({onObject("Probe"), obj->getInstanceProperty("Probe")}), Ptrs({nullptr, nullptr}));
}

// Instance names filed and unfiled in a scattered order, far past the first table sizes: every
// filed name stays found by the exact table alone and by the whole lookup (whose later stages
// would hide a name the table lost), whatever runs of colliding slots the removals close up.
TEST_F(PropertyLookupTest, ExactNamesStayFoundThroughScatteredAddsAndRemovals) {
  constexpr int kNames = 300;
  std::vector<MapPropInfo*> filed(kNames, nullptr);
  auto name = [](int i) { return "Inst" + std::to_string(i) + "x"; };
  auto toggle = [&](int i) {
    if (filed[i] != nullptr) {
      ASSERT_TRUE(obj->removeInstanceProperty(filed[i]->getInterface()));
      filed[i] = nullptr;
    } else {
      obj->addInstanceProperty(filed[i] = new MapPropInfo(name(i).c_str(), "double"));
    }
  };
  const std::tuple<int, int, int> steps[] = {{0, 1, 0}, {0, 3, 7}, {kNames - 1, -2, 1}, {0, 5, 1}};
  for (const auto& [from, step, scatter] : steps) {
    SCOPED_TRACE(step);
    for (int i = from; i >= 0 && i < kNames; i += step) {
      const int k = scatter ? (i * scatter) % kNames : i;
      if (step == 5 ? filed[k] == nullptr : (step == 1 || filed[k] != nullptr)) toggle(k);
    }
    for (int i = 0; i < kNames; ++i) {
      QxInterface* exact = obj->getInstanceProperty(name(i).c_str());
      ASSERT_EQ(Ptrs({exact ? exact->getObject() : nullptr, onObject(name(i).c_str())}),
                Ptrs({filed[i], filed[i]}))
          << name(i);
    }
    EXPECT_EQ(inClass("Level3"), "Level3@level3");
  }
  // Of every pair of names the first removed: the second stays found, also where the pair sits
  // across the end of the table.
  for (int a = 0; a < 40; ++a) {
    for (int b = 0; b < 40; ++b) {
      QxInterface* o = chain.back()->createObject(nullptr, nullptr, nullptr, 0, nullptr);
      auto* first = new MapPropInfo(name(a).c_str(), "double");
      o->addInstanceProperty(first);
      o->addInstanceProperty(new MapPropInfo(name(b + 40).c_str(), "double"));
      o->removeInstanceProperty(first->getInterface());
      ASSERT_NE(o->getInstanceProperty(name(b + 40).c_str()), nullptr) << a << " " << b;
      o->destroy(nullptr);
    }
  }
}

// Names are hashed and compared a word at a time, the last bytes in overlapping loads: of names
// of every length up to 20 that differ in one byte, at any place, each finds itself exactly and a
// third variant finds nothing.
TEST_F(PropertyLookupTest, NamesDifferingInAnyOneByteAreToldApart) {
  const std::string letters = "qwertyuiopasdfghjklzxc";
  for (std::size_t length = 1; length <= 20; ++length) {
    const std::string base = letters.substr(0, length);
    std::vector<std::pair<std::string, MapPropInfo*>> filed;
    auto file = [&](const std::string& n) {
      filed.emplace_back(n, new MapPropInfo(n.c_str(), "double"));
      obj->addInstanceProperty(filed.back().second);
    };
    file(base);
    for (std::size_t k = 0; k < length; ++k) file(std::string(base).replace(k, 1, "7"));
    for (const auto& [n, prop] : filed) EXPECT_EQ(onObject(n.c_str()), prop) << n;
    for (std::size_t k = 0; k < length; ++k) {
      const std::string unknown = std::string(base).replace(k, 1, "8");
      EXPECT_EQ(onObject(unknown.c_str()), nullptr) << unknown;
    }
    for (const auto& entry : filed) obj->removeInstanceProperty(entry.second->getInterface());
  }
}

}  // namespace
}  // namespace hosttest
