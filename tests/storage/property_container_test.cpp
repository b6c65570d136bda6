// Tests of the property container: lookups, sets, enumerations, listeners, instance properties,
// read-only rules.
#include "zelobjsys/property_container.h"

#include <gtest/gtest.h>

#include <type_traits>

#include "storage/test_storage_fixtures.h"
#include "zelobjsys/kti_prop_factory.h"
#include "zelobjsys/prop_info_manager.h"
#include "zelobjsys/property.h"
#include "zelobjsys/timer_event_manager.h"

namespace zelobjsys {
namespace storagetest {
namespace {

static_assert(!std::is_copy_constructible_v<PropertyContainer> &&
                  !std::is_copy_assignable_v<PropertyContainer>,
              "entries have one owner");
static_assert(std::is_abstract_v<KTIPropFactory> && !std::is_destructible_v<KTIPropFactory>,
              "factories are not deleted through the interface");
static_assert(sizeof(KTIPropFactory::VisibleAccess) == 4 && KTIPropFactory::kVisibleAll == 2,
              "setVisible takes a 32-bit access");

class PropertyContainerTest : public StorageTest {
 protected:
  // Class properties Gain (double, bounded [0 10]), Offset (double) and Mode
  // (enumeration auto = 1, Manual = 2), then one device.
  PropertyContainer& standardDevice() {
    enumType("ContainerTestMode", {{"auto", 1}, {"Manual", 2}});
    ZLScopedHvArray bounds(row({0, 10}));
    cls_->addProperty(record("Gain", "double", nullptr, bounds));
    cls_->addProperty(record("Offset", "double"));
    cls_->addProperty(record("Mode", "ContainerTestMode"));
    return *containerOf(newDevice());
  }
};

TEST_F(PropertyContainerTest, NamesWithoutAnEntryAnswerNothingAndTakeNothing) {
  PropertyContainer& c = standardDevice();
  for (const char* name : {"gain", "Gai", "", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(name != nullptr ? name : "(null)");
    double v = 5;
    c.setPropValue(name, &v, true);
    EXPECT_FALSE(c.checkPropValue(name, &v));
    EXPECT_EQ(c.getPropValue(name), nullptr);
    EXPECT_EQ(c.getPropValueAsInt(name), 0);
    EXPECT_EQ(c.getPropValueAsDouble(name), 0.0);
    EXPECT_EQ(c.getIPropInfo(name), nullptr);
    EXPECT_EQ(c.getProperty(name), nullptr);
    EXPECT_EQ(c.getInstancePropInfo(name), nullptr);
    EXPECT_EQ(c.getEnumString(name), nullptr);
    EXPECT_EQ(c.getEnumID(name, "auto"), nullptr);
    std::unique_ptr<IGetFcn> get(new FnGet([] { return nullptr; }));
    std::unique_ptr<KTIPropSetListener> listener(new FnListener([](void*) {}));
    EXPECT_FALSE(c.setCustomGetFcn(name, get.get()));
    EXPECT_FALSE(c.addListener(name, listener.get()));
    c.notifyListeners(name);
    c.removeInstanceProperty(name);
  }
  EXPECT_EQ(c.getPropValue("Gain"), nullptr);
}

TEST_F(PropertyContainerTest, ByNameEntriesAreSetCheckedTranslatedAndTold) {
  PropertyContainer& c = standardDevice();
  const double five = 5, twenty = 20;
  expectHostError([&] { c.setPropValue("Gain", &twenty, true); }, "vornix:property:aboveMaximum",
                  "Gain: Property value can not be set above the maximum value constraint. "
                  "See PROPINFO(OBJ,'PROPERTY').");
  EXPECT_EQ(c.getPropValue("Gain"), nullptr);
  c.setPropValue("Gain", &twenty, false);
  EXPECT_EQ(c.getPropValueAsDouble("Gain"), 20);
  EXPECT_TRUE(c.checkPropValue("Gain", &five));
  EXPECT_FALSE(c.checkPropValue("Gain", &twenty));

  const int32_t unlisted = 7;
  EXPECT_FALSE(c.checkPropValue("Mode", &unlisted));
  c.setPropValue("Mode", &unlisted, true);  // no enumeration test of its own
  EXPECT_EQ(c.getPropValueAsInt("Mode"), 7);

  // Host errors thrown by pointer turn into false too, and are freed.
  c.addCheckFcn("Offset", new FnCheck([](const void*) {
                  throw new ErrorIdException("vornix:test:ptr", "refused");
                }));
  EXPECT_FALSE(c.checkPropValue("Offset", &five));

  // Enumeration names and values.
  const int32_t manual = 2, autoValue = 1, unnamed = 9;
  c.setPropValue("Mode", &manual, true);
  EXPECT_STREQ(c.getEnumString("Mode"), "Manual");
  EXPECT_STREQ(c.getEnumString("Mode", &autoValue), "auto");
  EXPECT_EQ(c.getEnumString("Mode", &unnamed), nullptr);
  const void* id = c.getEnumID("Mode", "MANUAL");
  ASSERT_NE(id, nullptr);
  EXPECT_EQ(*static_cast<const int32_t*>(id), 2);
  EXPECT_EQ(c.getEnumID("Mode", nullptr), c.getPropValue("Mode"));
  EXPECT_EQ(c.getEnumID("Mode", "none"), nullptr);

  // Listeners, custom gets and flags.
  std::vector<std::string> log;
  EXPECT_TRUE(c.addListener("Offset", new LoggingListener(&log, "o")));
  EXPECT_TRUE(c.addListener("Gain", new LoggingListener(&log, "g")));
  const double one = 1, two = 2;
  c.setPropValue("Gain", &one, true);
  c.setPropValue("Offset", &two, false);  // past the refusing check
  EXPECT_EQ(log, (std::vector<std::string>{"g:Gain=1.000000", "o:Offset=2.000000"}));
  EXPECT_EQ(c.getEnumString("Offset"), nullptr);  // no enumeration
  EXPECT_EQ(c.getEnumID("Offset", "auto"), nullptr);
  log.clear();
  c.notifyListeners("Offset");
  c.notifyListeners();
  EXPECT_EQ(
      log, (std::vector<std::string>{"o:Offset=2.000000", "g:Gain=1.000000", "o:Offset=2.000000"}));

  EXPECT_TRUE(c.setCustomGetFcn("Gain", new FnGet([] { return new double(8.5); })));
  EXPECT_EQ(c.getPropValueAsDouble("Gain"), 8.5);
  EXPECT_EQ(c.getPropValueAsInt("Gain"), 8);

  for (const char* name : {"Gain", "Offset", "Mode"}) c.getProperty(name)->setIgnoreUntilSet(true);
  c.clearIgnoreUntilSet();
  for (const char* name : {"Gain", "Offset", "Mode"}) {
    EXPECT_FALSE(c.getProperty(name)->isIgnoreUntilSet()) << name;
  }
}

TEST_F(PropertyContainerTest, InstancePropertiesAreAddedWithTheirDefaultAndRemoved) {
  ZLScopedHvArray four(hvCreateDoubleScalar(4)), six(hvCreateDoubleScalar(6));
  cls_->addProperty(record("Gain", "double", four));
  cls_->addProperty(record("Level", "double", four));
  QxInterface* object = hoxCreateObject(cls_, nullptr);
  object->addBelow(app_->getDefaultDatabase()->getRootObject());
  // Its default lies outside its bounds: a default is stored without checks.
  ZLScopedHvArray bounds(row({0, 1}));
  object->addInstanceProperty(record<InstancePropInfo>("Trigger", "double", four, bounds));
  object->addInstanceProperty(record<InstancePropInfo>("Level", "double", six));  // a namesake
  auto* quiet = record<InstancePropInfo>("Quiet", "double", four);
  quiet->setAccess(kAccessInit, false);
  object->addInstanceProperty(quiet);
  {
    PropertyContainer c(object);
    EXPECT_EQ(c.getPropValue("Gain"), nullptr);
    EXPECT_EQ(c.getPropValueAsDouble("Trigger"), 4);
    EXPECT_EQ(c.getPropValue("Quiet"), nullptr);
    EXPECT_EQ(c.getPropValueAsDouble("Level"), 6);  // the later namesake's entry
    EXPECT_NE(c.getInstancePropInfo("Level"), nullptr);
    EXPECT_EQ(c.getInstancePropInfo("Gain"), nullptr);
    EXPECT_EQ(c.getPropInfo("Gain")->getName(), std::string("Gain"));

    PropertyContainerTestPeer::addInstanceProperty(c,
                                                   record<InstancePropInfo>("Late", "double", six));
    EXPECT_EQ(c.getPropValueAsDouble("Late"), 6);
    EXPECT_NE(object->getInstanceProperty("Late"), nullptr);

    c.removeInstanceProperty("Gain");  // a class property stays
    EXPECT_TRUE(c.isPropertyAvailable("Gain"));
    c.removeInstanceProperty("Trigger");
    EXPECT_FALSE(c.isPropertyAvailable("Trigger"));
    EXPECT_EQ(object->getInstanceProperty("Trigger"), nullptr);
    EXPECT_EQ(c.getNumberProps(), 4);
    // The room of the removed entry serves the next one; the others keep theirs.
    PropertyContainerTestPeer::addInstanceProperty(
        c, record<InstancePropInfo>("Trigger2", "double", six));
    EXPECT_EQ(c.getPropValueAsDouble("Trigger2"), 6);
    EXPECT_EQ(c.getPropValueAsDouble("Late"), 6);
    EXPECT_EQ(c.getPropValueAsDouble("Level"), 6);
    EXPECT_EQ(c.getPropInfo("Quiet"), quiet);
    EXPECT_EQ(c.getNumberProps(), 5);
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
    const char* name;
    int added;  // checks added after the bounds, named A, B, ...
    bool namesake;
    double value;
    const char* ran;
    bool refused;
  } cases[] = {
      {"bounds alone", 0, false, 5, "", false},
      {"bounds refuse before the others", 2, false, 20, "", true},
      {"in range: all in order", 3, false, 5, "ABC", false},
      {"namesake: bounds after the others", 3, true, 20, "ABC", true},
      {"namesake, one other", 1, true, 20, "A", true},
      {"namesake, bounds alone", 0, true, 20, "", true},
      {"namesake, in range", 2, true, 5, "AB", false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    PropertyContainer& c = *containerOf(newDevice());
    std::string ran;
    for (int i = 0; i < k.added; ++i) {
      const char tag = static_cast<char>('A' + i);
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

TEST_F(PropertyContainerTest, ReadOnlyRulesFollowTheControllingProperty) {
  const int whileRunning = PropInfoManager::getInstance()->getReadOnlyID("whileRunning");
  ASSERT_GE(whileRunning, 0);
  enumType("RunningState", {{"off", 0}, {"on", 1}});
  ZLScopedHvArray off(hvCreateString("off"));
  auto* recordMode = record("RecordMode", "double");
  PropInfoTestPeer::setPIReadOnly(*recordMode, whileRunning);
  cls_->addProperty(recordMode);
  cls_->addProperty(record("Gain", "double"));
  cls_->addProperty(record("Running", "RunningState", off));
  QxInterface* first = newDevice();
  QxInterface* second = newDevice();
  PropertyContainer& c = *containerOf(first);
  PropertyContainer& other = *containerOf(second);

  c.configureReadOnlyCheckFcn(&c, "whileRunning", "Running", "on");
  c.configureReadOnlyCheckFcn(&c, "whileRunning", "NoSuchProperty", "on");
  other.configureReadOnlyCheckFcn(&c, "whileRunning", "Running", "on");  // controlled from c
  EXPECT_STREQ(c.getEnumString("Running"), "off");  // the factory default, given now

  const double one = 1;
  c.setPropValue("RecordMode", &one, true);
  c.setPropValue("Running", c.getEnumID("Running", "on"), true);
  for (PropertyContainer* target : {&c, &other}) {
    expectHostError([&] { target->setPropValue("RecordMode", &one, true); },
                    "vornix:property:readOnly",
                    "RecordMode: Property can not be set while Running is set to 'on'.");
    target->setPropValue("Gain", &one, true);
  }
  c.setPropValue("Running", c.getEnumID("Running", "off"), true);
  other.setPropValue("RecordMode", &one, true);
  EXPECT_EQ(other.getPropValueAsDouble("RecordMode"), 1);

  // A rule held by another container than its controlling entry's follows a
  // namesake of that entry and never reads one that is gone.
  ZLScopedHvArray on(hvCreateString("on"));
  auto* alwaysRule = record("Locked", "double");
  PropInfoTestPeer::setPIReadOnly(*alwaysRule, kPIReadOnlyAlways);
  cls_->addProperty(alwaysRule);
  enum Change { kRemoved, kNamesake, kObjectDestroyed };
  struct Case {
    const char* what;
    Change change;
    bool refusedAfter;
  } cases[] = {{"instance property removed", kRemoved, false},
               {"namesake added", kNamesake, true},
               {"controlling object destroyed", kObjectDestroyed, false}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    QxInterface* controlling = newDevice();
    PropertyContainer& a = *containerOf(controlling);
    PropertyContainer& b = *containerOf(newDevice());
    PropertyContainerTestPeer::addInstanceProperty(
        a, record<InstancePropInfo>("State", "RunningState", on));
    a.configureReadOnlyCheckFcn(&a, "always", "State", "on");
    b.configureReadOnlyCheckFcn(&a, "always", "State", "on");
    EXPECT_FALSE(b.checkPropValue("Locked", &one));
    if (k.change == kRemoved) a.removeInstanceProperty("State");
    if (k.change == kNamesake) {
      PropertyContainerTestPeer::addInstanceProperty(
          a, record<InstancePropInfo>("State", "RunningState", on));
    }
    if (k.change == kObjectDestroyed) {
      controlling->destroy(nullptr);
    } else {
      EXPECT_EQ(a.checkPropValue("Locked", &one), !k.refusedAfter);
    }
    EXPECT_EQ(b.checkPropValue("Locked", &one), !k.refusedAfter);
    if (k.change == kNamesake) {
      a.setPropValue("State", a.getEnumID("State", "off"), false);
      EXPECT_TRUE(b.checkPropValue("Locked", &one));
    }
  }
}

TEST_F(PropertyContainerTest, ANamesakeTakesOverTheEntriesThatATimerHolds) {
  ZLScopedHvArray half(hvCreateDoubleScalar(0.5)), quarter(hvCreateDoubleScalar(0.25));
  ZLScopedHvArray bounds(row({0, 1}));
  cls_->addProperty(record("TimerFcn", "double"));
  cls_->addProperty(record("TimerPeriod", "double", half, bounds));
  QxInterface* device = newDevice();
  PropertyContainer& c = *containerOf(device);
  auto timer = std::make_unique<TimerEventManager>(
      *c.getProperty("TimerFcn"), *c.getProperty("TimerPeriod"), device, "", nullptr);
  EXPECT_EQ(timer->getPeriod(), 0.5);
  for (const char* name : {"TimerFcn", "TimerPeriod"}) {
    PropertyContainerTestPeer::addInstanceProperty(
        c, record<InstancePropInfo>(name, "double", quarter));
  }
  EXPECT_EQ(timer->getPeriod(), 0.25);  // the namesake's default reached the timer
  const double two = 2;                 // the earlier definition's bounds no longer apply
  EXPECT_TRUE(c.checkPropValue("TimerPeriod", &two));
  c.setPropValue("TimerPeriod", &two, true);
  EXPECT_EQ(timer->getPeriod(), 2);
  timer.reset();  // takes its listener back from the entry
}

TEST_F(PropertyContainerTest, SwapPropListenersTradesWithNamesakesOnly) {
  PropertyContainer& a = standardDevice();
  PropertyContainer& b = *containerOf(newDevice());
  const double one = 1, two = 2;
  a.setPropValue("Gain", &one, true);
  b.setPropValue("Offset", &two, true);
  std::vector<std::string> log;
  a.addListener("Gain", new LoggingListener(&log, "aG"));
  a.addListener("Offset", new LoggingListener(&log, "aO"));
  b.addListener("Gain", new LoggingListener(&log, "bG"));
  a.swapPropListeners(&b);
  EXPECT_EQ(log, (std::vector<std::string>{"aG:Gain=1.000000", "bG:Gain=1.000000",
                                           "aO:Offset=-1.000000"}));
  log.clear();
  b.setPropValue("Offset", &one, true);
  a.setPropValue("Offset", &one, true);
  a.setPropValue("Gain", &two, true);
  EXPECT_EQ(log, (std::vector<std::string>{"aO:Offset=1.000000", "bG:Gain=2.000000"}));
}

}  // namespace
}  // namespace storagetest
}  // namespace zelobjsys
