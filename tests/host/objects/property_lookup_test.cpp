// Tests of property name lookup where zelsh cannot reach (tests/shell/host_objects.zel has the
// rest): long superclass chains, names differing in case only, bytes outside ASCII, renames and
// a crowded exact-name table.
#include <memory>
#include <string>
#include <vector>

#include "test_host_fixtures.h"

namespace hosttest {
namespace {

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
      {"sha", "Shared@level11", "Shared@level11"},
      {"Level1", "Level1@level1", "Level1@level1"},  // exact beats abbreviating Level10, Level11
      {"level1", "Level1@level1", "Level1@level1"},  // so does the name ignoring case
      {"lev", "!", "!"},
      {"alpha", "alpha@level11", "alpha@level11"},
      {"Alpha", "Alpha@level11", "Alpha@level11"},
      {"ALPHA", "!", "!"},  // two names ignoring case, in one list
      {"gain", "Gain@level11", "gain@"},
      {"GAIN", "Gain@level11", "!"},  // a class's and an object's name ignoring case
      {"Volt", "", "Voltage@"},
      {"\xc3\x84RGER", "\xc3\x84rger@level11", "\xc3\x84rger@level11"},
      {"\xc3\xa4rger", "", ""},  // not the same letter to an ASCII fold
      {"z_9[X", "Z_9[x@level11", "Z_9[x@level11"},
      {"z_9{x", "", ""},  // '[' and '{' differ by the case bit but are no letters
      {"Level12", "", ""},
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

}  // namespace
}  // namespace hosttest
