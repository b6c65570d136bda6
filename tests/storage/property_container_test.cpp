// Tests of the property container: lookups and its name index, sets, enumerations, listeners,
// instance properties, read-only rules.
#include "zelobjsys/property_container.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "storage/test_storage_fixtures.h"
#include "zelobjsys/prop_info_manager.h"
#include "zelobjsys/property.h"
#include "zelobjsys/read_only_check_fcn.h"

namespace zelobjsys {
namespace storagetest {
namespace {

class PropertyContainerTest : public StorageTest {
 protected:
  // Gain (double, bounded [0 10]), Offset (double), Mode (enumeration auto = 1, Manual = 2).
  PropertyContainer& standardDevice() {
    enumType("ContainerTestMode", {{"auto", 1}, {"Manual", 2}});
    ZLScopedHvArray bounds(row({0, 10}));
    cls_->addProperty(record("Gain", "double", nullptr, bounds));
    cls_->addProperty(record("Offset", "double"));
    cls_->addProperty(record("Mode", "ContainerTestMode"));
    return *containerOf(newDevice());
  }
  using Log = std::vector<std::string>;
};

// Refusals by bounds with their messages, and enumeration names on a device,
// are in storage_checks.zel.
TEST_F(PropertyContainerTest, ByNameEntriesAreSetCheckedTranslatedAndTold) {
  PropertyContainer& c = standardDevice();
  std::unique_ptr<IGetFcn> get(new FnGet([] { return nullptr; }));
  std::unique_ptr<KTIPropSetListener> listener(new FnListener([](void*) {}));
  for (const char* name : {"gain", "", static_cast<const char*>(nullptr)}) {  // no entry
    SCOPED_TRACE(name != nullptr ? name : "(null)");
    double v = 5;
    c.setPropValue(name, &v, true);
    EXPECT_FALSE(c.checkPropValue(name, &v));
    EXPECT_EQ(c.getPropValueAsInt(name) + c.getPropValueAsDouble(name), 0);
    EXPECT_EQ(c.getPropValue(name), nullptr);
    EXPECT_EQ(c.getIPropInfo(name), nullptr);
    EXPECT_EQ(c.getInstancePropInfo(name), nullptr);
    EXPECT_EQ(c.getEnumString(name), nullptr);
    EXPECT_EQ(c.getEnumID(name, "auto"), nullptr);
    EXPECT_FALSE(c.setCustomGetFcn(name, get.get()));
    EXPECT_FALSE(c.addListener(name, listener.get()));
    c.notifyListeners(name);
    c.removeInstanceProperty(name);
  }
  const double one = 1, two = 2, five = 5, twenty = 20;
  c.setPropValue("Gain", &twenty, false);  // no checks: past the bounds
  EXPECT_EQ(c.getPropValueAsDouble("Gain"), 20);
  EXPECT_TRUE(c.checkPropValue("Gain", &five));
  EXPECT_FALSE(c.checkPropValue("Gain", &twenty));
  const int32_t unlisted = 7, manual = 2, autoValue = 1, unnamed = 9;
  EXPECT_FALSE(c.checkPropValue("Mode", &unlisted));
  c.setPropValue("Mode", &unlisted, true);  // no enumeration test of its own
  EXPECT_EQ(c.getPropValueAsInt("Mode"), 7);
  // Host errors thrown by pointer turn into false too, and are freed.
  c.addCheckFcn("Offset", new FnCheck([](const void*) {
                  throw new ErrorIdException("vornix:test:ptr", "refused");
                }));
  EXPECT_FALSE(c.checkPropValue("Offset", &five));
  c.setPropValue("Mode", &manual, true);
  EXPECT_STREQ(c.getEnumString("Mode"), "Manual");
  EXPECT_STREQ(c.getEnumString("Mode", &autoValue), "auto");
  EXPECT_EQ(c.getEnumString("Mode", &unnamed), nullptr);
  EXPECT_EQ(*static_cast<const int32_t*>(c.getEnumID("Mode", "MANUAL")), 2);
  EXPECT_EQ(c.getEnumID("Mode", nullptr), c.getPropValue("Mode"));
  EXPECT_EQ(c.getEnumID("Mode", "none"), nullptr);
  EXPECT_EQ(c.getEnumString("Offset"), nullptr);  // no enumeration
  EXPECT_EQ(c.getEnumID("Offset", "auto"), nullptr);
  Log log;
  EXPECT_TRUE(c.addListener("Offset", new LoggingListener(&log, "o")));
  EXPECT_TRUE(c.addListener("Gain", new LoggingListener(&log, "g")));
  c.setPropValue("Gain", &one, true);
  c.setPropValue("Offset", &two, false);  // past the refusing check
  c.notifyListeners("Offset");
  c.notifyListeners();
  EXPECT_EQ(log, (Log{"g:Gain=1", "o:Offset=2", "o:Offset=2", "g:Gain=1", "o:Offset=2"}));
  EXPECT_TRUE(c.setCustomGetFcn("Gain", new FnGet([] { return new double(8.5); })));
  EXPECT_EQ(c.getPropValueAsDouble("Gain"), 8.5);
  EXPECT_EQ(c.getPropValueAsInt("Gain"), 8);
  c.getProperty("Gain")->setIgnoreUntilSet(true);
  c.getProperty("Mode")->setIgnoreUntilSet(true);
  c.clearIgnoreUntilSet();
  EXPECT_FALSE(c.getProperty("Gain")->isIgnoreUntilSet() ||
               c.getProperty("Mode")->isIgnoreUntilSet());
}

TEST_F(PropertyContainerTest, InstancePropertiesAreAddedWithTheirDefaultAndRemoved) {
  ZLScopedHvArray four(hvCreateDoubleScalar(4)), six(hvCreateDoubleScalar(6)), bounds(row({0, 1}));
  cls_->addProperty(record("Gain", "double", four));
  QxInterface* object = hoxCreateObject(cls_, nullptr);
  object->addBelow(app_->getDefaultDatabase()->getRootObject());
  // Its default lies outside its bounds: a default is stored without checks.
  object->addInstanceProperty(record<InstancePropInfo>("Trigger", "double", four, bounds));
  auto* quiet = record<InstancePropInfo>("Quiet", "double", four);
  quiet->setAccess(kAccessInit, false);
  object->addInstanceProperty(quiet);
  auto add = [this](PropertyContainer& c, const char* name, const hvArray* v) {
    PropertyContainerTestPeer::addInstanceProperty(c, record<InstancePropInfo>(name, "double", v));
  };
  {
    PropertyContainer c(object);
    EXPECT_EQ(c.getPropValue("Gain"), nullptr);
    EXPECT_EQ(c.getPropValueAsDouble("Trigger"), 4);
    EXPECT_EQ(c.getPropValue("Quiet"), nullptr);
    EXPECT_NE(c.getInstancePropInfo("Trigger"), nullptr);
    EXPECT_EQ(c.getInstancePropInfo("Gain"), nullptr);
    add(c, "Late", six);
    EXPECT_EQ(c.getPropValueAsDouble("Late"), 6);
    EXPECT_NE(object->getInstanceProperty("Late"), nullptr);
    c.removeInstanceProperty("Gain");  // a class property stays
    EXPECT_TRUE(c.isPropertyAvailable("Gain"));
    c.removeInstanceProperty("Trigger");
    EXPECT_FALSE(c.isPropertyAvailable("Trigger"));
    EXPECT_EQ(object->getInstanceProperty("Trigger"), nullptr);
    EXPECT_EQ(c.getNumberProps(), 3);
    add(c, "Trigger2", six);  // takes the removed entry's room; the others keep theirs
    EXPECT_EQ(c.getPropValueAsDouble("Trigger2") + c.getPropValueAsDouble("Late"), 12);
    EXPECT_EQ(c.getPropInfo("Quiet"), quiet);
    EXPECT_EQ(c.getNumberProps(), 4);
  }
  // A refused default leaves no half-made container.
  auto* refusing = record<InstancePropInfo>("Refusing", "double", four);
  refusing->setCustomSetFcn(
      new FnSet([](const void*) { throw ZLGeneralException("vornix:test:set", "no default"); }));
  object->addInstanceProperty(refusing);
  expectHostError([&] { PropertyContainer c(object); }, "vornix:test:set", "no default");
}

TEST_F(PropertyContainerTest, ChecksRunInTheOrderAddedAndANamesakePutsItsBoundsLast) {
  ZLScopedHvArray bounds(row({0, 10}));
  cls_->addProperty(record("Gain", "double", nullptr, bounds));
  struct Case {
    int added;  // checks added after the bounds, named A, B, ...
    bool namesake;
    double value;
    const char* ran;
    bool refused;
  } cases[] = {{0, false, 5, "", false},   {2, false, 20, "", true}, {3, false, 5, "ABC", false},
               {3, true, 20, "ABC", true}, {1, true, 20, "A", true}, {0, true, 20, "", true},
               {2, true, 5, "AB", false}};
  for (const Case& k : cases) {
    SCOPED_TRACE(&k - cases);
    PropertyContainer& c = *containerOf(newDevice());
    std::string ran;
    for (char tag = 'A'; tag < 'A' + k.added; ++tag) {
      c.addCheckFcn("Gain", new FnCheck([&ran, tag](const void*) { ran += tag; }));
    }
    if (k.namesake) {
      PropertyContainerTestPeer::addInstanceProperty(
          c, record<InstancePropInfo>("Gain", "double", nullptr, bounds));
    }
    const std::string error = hostErrorText([&] { c.setPropValue("Gain", &k.value, true); });
    EXPECT_EQ(ran, k.ran);
    EXPECT_EQ(error.rfind("vornix:property:aboveMaximum|", 0) == 0, k.refused) << error;
    EXPECT_EQ(c.getPropValueAsDouble("Gain"), k.refused ? 0 : k.value);
  }
}

// A rule on the device's own "Running" is in storage_checks.zel; here rules
// are held by another container than the controlling entry's.
TEST_F(PropertyContainerTest, ReadOnlyRulesFollowTheControllingProperty) {
  enumType("PIReadOnlyEnumType", {{"always", 0}, {"never", 1}, {"whileRunning", 2}});
  const int whileRunning = PropInfoManager::getInstance()->getReadOnlyID("whileRunning");
  ASSERT_GE(whileRunning, 0);
  enumType("RunningState", {{"off", 0}, {"on", 1}});
  ZLScopedHvArray off(hvCreateString("off")), on(hvCreateString("on"));
  auto* recordMode = record("RecordMode", "double");
  PropInfoTestPeer::setPIReadOnly(*recordMode, whileRunning);
  auto* alwaysRule = record("Locked", "double");
  PropInfoTestPeer::setPIReadOnly(*alwaysRule, kPIReadOnlyAlways);
  for (PropInfo* r :
       {recordMode, record("Gain", "double"), record("Running", "RunningState", off), alwaysRule}) {
    cls_->addProperty(r);
  }
  PropertyContainer& c = *containerOf(newDevice());
  PropertyContainer& other = *containerOf(newDevice());
  c.configureReadOnlyCheckFcn(&c, "whileRunning", "NoSuchProperty", "on");
  other.configureReadOnlyCheckFcn(&c, "whileRunning", "Running", "on");
  const double one = 1;
  c.setPropValue("Running", c.getEnumID("Running", "on"), true);
  expectHostError([&] { other.setPropValue("RecordMode", &one, true); }, "vornix:property:readOnly",
                  "RecordMode: Property can not be set while Running is set to 'on'.");
  other.setPropValue("Gain", &one, true);
  c.setPropValue("RecordMode", &one, true);
  c.setPropValue("Running", c.getEnumID("Running", "off"), true);
  other.setPropValue("RecordMode", &one, true);
  EXPECT_EQ(other.getPropValueAsDouble("RecordMode"), 1);
  // A rule of its own: the text matches exactly, a controlling property that is no enumeration or
  // none never refuses, and the controlling property's get function is what the rule reads.
  Property& running = *c.getProperty("Running");
  ReadOnlyCheckFcn whileOn(&running, "on"), whileOnUpper(&running, "On");
  ReadOnlyCheckFcn notEnumerated(c.getProperty("Gain"), "on"), noControl(nullptr, nullptr);
  auto refused = [&](ReadOnlyCheckFcn& rule) {
    return !thrown([&] { rule.check(nullptr, recordMode, &one); }).empty();
  };
  const int32_t unnamed = 99;
  running.setValue(&unnamed, false);
  EXPECT_FALSE(refused(whileOn));
  running.setValue(c.getEnumID("Running", "on"), false);
  EXPECT_TRUE(refused(whileOn));
  EXPECT_FALSE(refused(whileOnUpper) || refused(notEnumerated) || refused(noControl));
  running.setValue(c.getEnumID("Running", "off"), false);
  running.setCustomGetFcn(new FnGet([] { return new int32_t(1); }));
  EXPECT_TRUE(refused(whileOn));
  // It follows a namesake of the controlling entry and never reads one that is gone.
  enum Change { kRemoved, kNamesake, kObjectDestroyed };
  for (Change change : {kRemoved, kNamesake, kObjectDestroyed}) {
    SCOPED_TRACE(change);
    QxInterface* controlling = newDevice();
    PropertyContainer& a = *containerOf(controlling);
    PropertyContainer& b = *containerOf(newDevice());
    auto addState = [&] {
      PropertyContainerTestPeer::addInstanceProperty(
          a, record<InstancePropInfo>("State", "RunningState", on));
    };
    addState();
    a.configureReadOnlyCheckFcn(&a, "always", "State", "on");
    b.configureReadOnlyCheckFcn(&a, "always", "State", "on");
    EXPECT_FALSE(b.checkPropValue("Locked", &one));
    if (change == kRemoved) a.removeInstanceProperty("State");
    if (change == kNamesake) addState();
    if (change == kObjectDestroyed) controlling->destroy(nullptr);
    EXPECT_TRUE(change == kObjectDestroyed ||
                a.checkPropValue("Locked", &one) == (change != kNamesake));
    EXPECT_EQ(b.checkPropValue("Locked", &one), change != kNamesake);
    if (change == kNamesake) {
      a.setPropValue("State", a.getEnumID("State", "off"), false);
      EXPECT_TRUE(b.checkPropValue("Locked", &one));
    }
  }
}

TEST_F(PropertyContainerTest, SwapPropListenersTradesWithNamesakesOnly) {
  PropertyContainer& a = standardDevice();
  PropertyContainer& b = *containerOf(newDevice());
  const double one = 1, two = 2;
  a.setPropValue("Gain", &one, true);
  b.setPropValue("Offset", &two, true);
  Log log;
  a.addListener("Gain", new LoggingListener(&log, "aG"));
  a.addListener("Offset", new LoggingListener(&log, "aO"));
  b.addListener("Gain", new LoggingListener(&log, "bG"));
  a.swapPropListeners(&b);
  EXPECT_EQ(log, (Log{"aG:Gain=1", "bG:Gain=1", "aO:Offset=-1"}));
  log.clear();
  b.setPropValue("Offset", &one, true);
  a.setPropValue("Offset", &one, true);
  a.setPropValue("Gain", &two, true);
  EXPECT_EQ(log, (Log{"aO:Offset=1", "bG:Gain=2"}));
}

// A descriptor that is not one of the library's records: it gets no entry.
class HostOnlyDescriptor : public QxPropInfoTemplate {
 public:
  explicit HostOnlyDescriptor(const std::string& name) {
    setName(name.c_str());
    setDataType(QxTypeRepository::getType("double", true));
  }
  void* getValue(QxDatabaseClient*, QxInterface*) override { return nullptr; }
  void setValue(QxDatabaseClient*, QxInterface*, const void*) override {}
};

// Each name finds its own entry; a longer, shorter or case-flipped text finds none.
void expectFoundExactly(const PropertyContainer& c, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    const KTIPropInfo* info = c.getIPropInfo(name.c_str());
    ASSERT_NE(info, nullptr) << name;
    EXPECT_EQ(info->getPropertyName(), name);
    std::string upper = name;
    for (char& ch : upper) ch = static_cast<char>(ch ^ 0x20);
    for (const std::string& miss : {name + "x", name.substr(0, name.size() - 1), upper}) {
      if (std::find(names.begin(), names.end(), miss) != names.end()) continue;
      EXPECT_FALSE(c.isPropertyAvailable(miss.c_str())) << miss;
    }
  }
}

// Names that share prefixes and lengths and differ only in case collide in every way a short
// table allows; instance properties grow it past several doublings, and removals must leave the
// probe chains whole. Descriptors of other kinds among the records get no entry.
TEST_F(PropertyContainerTest, EveryNameIsFoundExactlyAsTheIndexGrowsAndShrinks) {
  ZLScopedHvArray one(hvCreateDoubleScalar(1)), two(hvCreateDoubleScalar(2));
  std::vector<std::string> names = {"a", "A", "aa"};
  for (int i = 0; i < 150; ++i) {
    names.push_back("P" + std::to_string(i));
    if (i % 10 == 0) names.push_back("p" + std::to_string(i));
  }
  const std::size_t classRecords = names.size();
  for (std::size_t k = 0; k < classRecords; ++k) {
    const std::string n = names[k];
    cls_->addProperty(record(n.c_str(), "double", one));
    if (n[0] != 'p') continue;
    for (const char* tag : {"H", "h"}) cls_->addProperty(new HostOnlyDescriptor(tag + n));
    cls_->addProperty(record<InstancePropInfo>(("I" + n).c_str(), "double"));
    names.push_back("I" + n);
  }
  PropertyContainer& c = *containerOf(newDevice());
  for (std::size_t k = 0; k < classRecords; ++k)
    EXPECT_FALSE(c.getPropInfo(("H" + names[k]).c_str()));
  for (int i = 0; i < 40; ++i) {
    names.push_back("Extra" + std::to_string(i));
    PropertyContainerTestPeer::addInstanceProperty(
        c, record<InstancePropInfo>(names.back().c_str(), "double", one));
  }
  PropertyContainerTestPeer::addInstanceProperty(c, record<InstancePropInfo>("a", "double", two));
  EXPECT_EQ(c.getPropValueAsDouble("a"), 2);  // the namesake took the class entry
  ASSERT_EQ(c.getNumberProps(), static_cast<int>(names.size()));
  expectFoundExactly(c, names);
  for (int i = 0; i < 40; i += 2) {
    const std::string name = "Extra" + std::to_string(i);
    c.removeInstanceProperty(name.c_str());
    EXPECT_EQ(c.getProperty(name.c_str()), nullptr) << name;
    names.erase(std::find(names.begin(), names.end(), name));
  }
  EXPECT_EQ(c.getNumberProps(), static_cast<int>(names.size()));
  expectFoundExactly(c, names);
  EXPECT_EQ(c.getPropValueAsDouble("Extra39"), 1);
}

std::vector<std::string> namesOf(const PropertyContainer& c) {
  std::vector<const char*> names(static_cast<std::size_t>(c.getNumberProps()));
  c.getPropNames(names.data());
  return {names.begin(), names.end()};
}

// Objects of one class share the order and index of its names; whatever
// changes the class's records, or one object's instance properties, must
// change exactly the objects it concerns.
TEST_F(PropertyContainerTest, ObjectsShareTheirClassLayoutUntilTheClassOrTheObjectChanges) {
  using Names = std::vector<std::string>;
  auto *a = record("a", "double"), *c = record("c", "double");
  for (auto* r : {record("b", "double"), a, c}) cls_->addProperty(r);
  PropertyContainer& one = *containerOf(newDevice());
  EXPECT_EQ(namesOf(one), (Names{"a", "b", "c"}));
  PropertyContainerTestPeer::addInstanceProperty(one, record<InstancePropInfo>("aa", "double"));
  auto* upper = record("B", "double");  // made first: adding it alone must count
  PropertyContainer& two = *containerOf(newDevice());
  EXPECT_EQ(namesOf(one), (Names{"a", "aa", "b", "c"}));
  EXPECT_EQ(namesOf(two), (Names{"a", "b", "c"}));
  EXPECT_FALSE(two.isPropertyAvailable("aa"));

  cls_->addProperty(upper);
  PropertyContainer& three = *containerOf(newDevice());
  EXPECT_EQ(namesOf(three), (Names{"B", "a", "b", "c"}));
  EXPECT_FALSE(two.isPropertyAvailable("B")) << "an object keeps the entries it was made with";
  a->setName("d");  // the same records under other names
  EXPECT_EQ(namesOf(*containerOf(newDevice())), (Names{"B", "b", "c", "d"}));
  c->setName("b");  // a renamed record can become a namesake: the later one defines the entry
  PropertyContainer& renamed = *containerOf(newDevice());
  EXPECT_EQ(namesOf(renamed), (Names{"B", "b", "d"}));
  EXPECT_EQ(renamed.getPropInfo("b"), c);

  // More classes in turn than a thread keeps layouts for.
  std::vector<DeviceClass*> classes;
  for (int k = 0; k < 6; ++k) {
    classes.push_back(new DeviceClass(("Other" + std::to_string(k)).c_str()));
    app_->addLocalClass(classes.back());
    for (int p = 0; p <= k; ++p) {
      classes.back()->addProperty(record(("p" + std::to_string(p)).c_str(), "double"));
    }
  }
  for (int round = 0; round < 2; ++round) {
    for (int k = 0; k < 6; ++k) {
      SCOPED_TRACE(k);
      QxInterface* object = classes[static_cast<std::size_t>(k)]->createObject(
          QxDatabaseClient::getInternalClient(), app_->getDefaultDatabase()->getRootObject(),
          nullptr, 0, nullptr);
      const PropertyContainer& c = *containerOf(object);
      EXPECT_EQ(c.getNumberProps(), k + 1);
      EXPECT_TRUE(c.isPropertyAvailable(("p" + std::to_string(k)).c_str()));
      EXPECT_FALSE(c.isPropertyAvailable(("p" + std::to_string(k + 1)).c_str()));
    }
  }
}

// Entries are made when first used, from what their records held when the
// object was made: a custom function given to a record later reaches only
// objects made later, as it did when every entry was made with its object.
// And no object means no hold on the product's functions.
TEST_F(PropertyContainerTest, AnEntryMadeLaterIsTheOneItsObjectWasMadeWith) {
  auto* gain = record("Gain", "double");
  cls_->addProperty(gain);
  PropertyContainer& before = *containerOf(newDevice());
  gain->setCustomGetFcn(new FnGet([] { return new double(5); }));
  PropertyContainer& after = *containerOf(newDevice());
  EXPECT_EQ(before.getPropValue("Gain"), nullptr);
  EXPECT_EQ(after.getPropValueAsDouble("Gain"), 5);

  struct Counted : IGetFcn {
    explicit Counted(bool* gone) : gone(gone) {}
    ~Counted() override { *gone = true; }
    void* get(QxInterface*, const KTIPropInfo*) override { return nullptr; }
    bool* gone;
  };
  bool gone = false;
  gain->setCustomGetFcn(new Counted(&gone));
  QxInterface* object = newDevice();
  containerOf(object)->getPropValue("Gain");
  object->destroy(QxDatabaseClient::getInternalClient());
  gain->setCustomGetFcn(nullptr);
  EXPECT_TRUE(gone) << "the function outlived every object made with it";
}

}  // namespace
}  // namespace storagetest
}  // namespace zelobjsys
