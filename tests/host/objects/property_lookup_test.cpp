// Tests of property name lookup past its inline capacities: long superclass chains, many
// candidates, bytes outside ASCII.
#include <memory>
#include <string>
#include <vector>

#include "test_host_fixtures.h"

namespace hosttest {
namespace {

class PropertyLookupTest : public HostTest {
 protected:
  // A chain of `depth` classes, level0 the root and the last the most
  // derived; level i has "Level<i>" and its own "Shared".
  void SetUp() override {
    app = makeApp("lookuptest");
    QxClass* super = nullptr;
    for (int i = 0; i < kDepth; ++i) {
      TestClass* cls = addClass(app, ("level" + std::to_string(i)).c_str());
      if (super != nullptr) cls->setSuperClass(super);
      addProp(cls, ("Level" + std::to_string(i)).c_str());
      addProp(cls, "Shared");
      chain.push_back(cls);
      super = cls;
    }
  }
  // The found property's name and the class it belongs to ("Name@class"),
  // "" for none; an ambiguity's message.
  std::string found(const char* name) {
    try {
      QxInterface* h = chain.back()->getProperty(name);
      if (h == nullptr) return "";
      auto* prop = static_cast<QxPropInfo*>(h->getObject());
      return std::string(prop->getName()) + "@" + prop->getClass()->getName();
    } catch (Exception* e) {
      std::unique_ptr<Exception> owned(e);
      EXPECT_NE(dynamic_cast<AmbiguousPropertyException*>(e), nullptr);
      return owned->getMessage();
    }
  }

  static constexpr int kDepth = 12;  // more lists than a lookup keeps inline
  QxApplication* app = nullptr;
  std::vector<TestClass*> chain;
};

TEST_F(PropertyLookupTest, EveryListOfALongChainIsSearchedInOrder) {
  const struct {
    const char* name;
    const char* expected;
  } cases[] = {
      {"Level0", "Level0@level0"},  // the root's list, past the inline ones
      {"level0", "Level0@level0"},
      {"LEVEL9", "Level9@level9"},
      {"Level11", "Level11@level11"},
      {"Shared", "Shared@level11"},  // the most derived hides the others
      {"shared", "Shared@level11"},  // one name, twelve lists: one candidate
      {"sha", "Shared@level11"},
      {"Level1", "Level1@level1"},  // exact beats the abbreviation of Level10, Level11
      {"level1", "Level1@level1"},  // so does the name ignoring case
      {"Level12", ""},
      {"\xc3\x84", ""},
      {"Levels", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(found(c.name), c.expected);
  }
}

TEST_F(PropertyLookupTest, ManyCandidatesAreNamedTenAtMostInListOrder) {
  EXPECT_EQ(found("lev"),
            "Ambiguous property name 'lev': it could be 'Level11', 'Level10', 'Level9', 'Level8', "
            "'Level7', 'Level6', 'Level5', 'Level4', 'Level3', 'Level2', ....");
  // Five candidates in one list: more than a lookup keeps inline.
  TestClass* last = chain.back();
  for (const char* n : {"Mode1", "Mode2", "Mode3", "Mode4", "Mode5"}) addProp(last, n);
  EXPECT_EQ(found("mo"),
            "Ambiguous property name 'mo': it could be 'Mode1', 'Mode2', 'Mode3', 'Mode4', "
            "'Mode5'.");
}

TEST_F(PropertyLookupTest, CaseFoldingTouchesAsciiLettersOnly) {
  TestClass* last = chain.back();
  addProp(last, "\xc3\x84rger");  // "Ärger" in UTF-8
  addProp(last, "Z_9[x");
  const struct {
    const char* name;
    const char* expected;
  } cases[] = {
      {"\xc3\x84rger", "\xc3\x84rger@level11"},
      {"\xc3\x84RGER", "\xc3\x84rger@level11"},
      {"\xc3\xa4rger", ""},  // "ärger": not the same letter to an ASCII fold
      {"z_9[X", "Z_9[x@level11"},
      {"z_9{x", ""},  // '[' and '{' differ by the case bit but are no letters
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(found(c.name), c.expected);
  }
}

}  // namespace
}  // namespace hosttest

namespace hosttest {
namespace {

// Two instance properties of one exact name: the first is found until it
// goes, then the second, also after renames move either.
TEST_F(PropertyLookupTest, ANamesakeTakesOverTheExactName) {
  QxInterface* obj = chain.back()->createObject(QxDatabaseClient::getInternalClient(), nullptr,
                                                nullptr, 0, nullptr);
  auto* first = new MapPropInfo("Probe", "double");
  auto* second = new MapPropInfo("Probe", "double");
  obj->addInstanceProperty(first);  // the object owns both
  obj->addInstanceProperty(second);
  auto foundOnObject = [obj](const char* name) -> QxPropInfo* {
    QxInterface* h = obj->getProperty(name);
    return h != nullptr ? static_cast<QxPropInfo*>(h->getObject()) : nullptr;
  };
  EXPECT_EQ(foundOnObject("Probe"), first);
  second->setName("Sonde");
  EXPECT_EQ(foundOnObject("Sonde"), second);
  second->setName("Probe");
  EXPECT_EQ(foundOnObject("Probe"), first);  // the earlier one keeps the name
  first->setName("Other");
  EXPECT_EQ(foundOnObject("Probe"), second);
  EXPECT_EQ(foundOnObject("Other"), first);
  first->setName("Probe");
  EXPECT_TRUE(obj->removeInstanceProperty(second->getInterface()));
  EXPECT_EQ(foundOnObject("Probe"), first);
  EXPECT_TRUE(obj->removeInstanceProperty(first->getInterface()));
  EXPECT_EQ(foundOnObject("Probe"), nullptr);
  EXPECT_EQ(obj->getInstanceProperty("Probe"), nullptr);
}

// Instance names filed and unfiled in a scattered order, far past the first
// table sizes: every filed name stays found exactly, every removed one is
// gone, whatever runs of colliding slots the removals close up.
TEST_F(PropertyLookupTest, ExactNamesStayFoundThroughScatteredAddsAndRemovals) {
  QxInterface* obj = chain.back()->createObject(QxDatabaseClient::getInternalClient(), nullptr,
                                                nullptr, 0, nullptr);
  constexpr int kNames = 300;
  std::vector<MapPropInfo*> filed(kNames, nullptr);
  auto name = [](int i) { return "Inst" + std::to_string(i) + "x"; };
  auto check = [&](const char* step) {
    SCOPED_TRACE(step);
    for (int i = 0; i < kNames; ++i) {
      // The exact table alone, then the whole lookup (whose later stages
      // would hide a name the table lost).
      QxInterface* exact = obj->getInstanceProperty(name(i).c_str());
      ASSERT_EQ(exact != nullptr ? exact->getObject() : nullptr, filed[i]) << name(i);
      QxInterface* h = obj->getProperty(name(i).c_str());
      ASSERT_EQ(h != nullptr ? h->getObject() : nullptr, filed[i]) << name(i);
    }
    EXPECT_EQ(found("Level3"), "Level3@level3");  // the class lists still answer first
  };
  auto add = [&](int i) {
    filed[i] = new MapPropInfo(name(i).c_str(), "double");
    obj->addInstanceProperty(filed[i]);  // the object owns it
  };
  auto remove = [&](int i) {
    ASSERT_TRUE(obj->removeInstanceProperty(filed[i]->getInterface()));
    filed[i] = nullptr;
  };
  for (int i = 0; i < kNames; ++i) add(i);
  check("all filed");
  for (int i = 0; i < kNames; i += 3) remove((i * 7) % kNames);
  check("a third removed");
  for (int i = kNames - 1; i >= 0; i -= 2) {
    if (filed[i] != nullptr) remove(i);
  }
  check("more removed from the end");
  for (int i = 0; i < kNames; i += 5) {
    if (filed[i] == nullptr) add(i);
  }
  check("some filed again");
  // A superclass gaining a property is seen at once, until a subclass's namesake hides it.
  addProp(chain.front(), "Late");
  EXPECT_EQ(found("Late"), "Late@level0");
  addProp(chain[5], "Late");
  EXPECT_EQ(found("Late"), "Late@level5");
}

}  // namespace
}  // namespace hosttest
