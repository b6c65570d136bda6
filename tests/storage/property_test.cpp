// Tests of one property entry (sets, gets, numeric reads, enumeration test, listeners), of the
// built-in check functions and of instance property definitions.
#include "zelobjsys/property.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "storage/test_storage_fixtures.h"
#include "zelobjsys/bounded_constraint_check.h"

namespace zelobjsys {
namespace storagetest {
namespace {

using PropertyTest = StorageTest;

// Scalars are overwritten where they are held: reads and a type change must still see exactly
// what a fresh copy would hold.
TEST_F(PropertyTest, ScalarsSetOverTheHeldValueReadBackAsCopies) {
  const double reals[] = {2.5, -7};
  const int32_t ints[] = {3, -4};
  const bool bools[] = {true, false};
  struct Row {
    const char* type;
    std::size_t size;
    const void* values;
  } rows[] = {{"double", sizeof(double), reals}, {"int", 4, ints}, {"bool", 1, bools}};
  std::unique_ptr<PropInfo> text(record("Gain", "string"));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.type);
    auto bytes = [&row](const void* v) {
      return std::string(static_cast<const char*>(v), row.size);
    };
    std::unique_ptr<PropInfo> info(record("Gain", row.type));
    Property p(nullptr, info.get());
    for (int k = 0; k < 2; ++k) {
      const char* value = static_cast<const char*>(row.values) + k * row.size;
      alignas(double) char given[sizeof(double)];
      std::memcpy(given, value, row.size);
      p.setValue(given, true);
      std::memset(given, 0, sizeof given);  // the entry holds its own copy
      EXPECT_EQ(bytes(p.getValue()), bytes(value));
      p.setValue(p.getValue(), true);  // its own value over itself
      EXPECT_EQ(bytes(p.getValue()), bytes(value));
    }
    p.setValue(nullptr, false);  // a cleared value is no buffer to reuse
    EXPECT_EQ(p.getValue(), nullptr);
    p.setValue(row.values, false);
    EXPECT_EQ(bytes(p.getValue()), bytes(row.values));
    p.redefine(text.get());  // another type's values are no scalars of the old size
    p.setValue("a text longer than any scalar", false);
    p.setValue("x", false);
    EXPECT_STREQ(static_cast<const char*>(p.getValue()), "x");
    p.redefine(info.get());
    EXPECT_EQ(p.getValue(), nullptr);
  }
}

TEST_F(PropertyTest, RefusedSetsStoreNothingTellNobodyAndFailingListenersWarn) {
  enum Fail { kNone, kCheck, kSetGeneral, kSetPointer } fail = kNone;
  int sets = 0, laterChecks = 0, told = 0;
  std::unique_ptr<PropInfo> info(record("Gain", "double"));
  info->setCustomSetFcn(new FnSet([&](const void*) {
    ++sets;
    if (fail == kSetGeneral) throw ZLGeneralException("vornix:test:set", "set said %s", "no");
    if (fail == kSetPointer) throw new zelutil::ZLException("vornix:test:ptr", "pointer %d", 7);
  }));
  Property p(nullptr, info.get());
  p.addCheckFcn(new FnCheck([&fail](const void*) {
    if (fail == kCheck) throw ZLGeneralException("vornix:test:check", "check said no");
  }));
  p.addCheckFcn(new FnCheck([&laterChecks](const void*) { ++laterChecks; }));
  p.addListener(new FnListener([&told](void*) { ++told; }));
  double one = 1, two = 2;
  p.setValue(&one, true);
  struct Case {
    Fail fail;
    const char *id, *message;
    int ran;  // whether the later check and the set function ran
  } cases[] = {{kCheck, "vornix:test:check", "check said no", 0},
               {kSetGeneral, "vornix:test:set", "set said no", 1},
               {kSetPointer, "vornix:test:ptr", "pointer 7", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    fail = c.fail;
    const int setsBefore = sets, checksBefore = laterChecks;
    p.setIgnoreUntilSet(true);
    expectHostError([&] { p.setValue(&two, true); }, c.id, c.message);
    EXPECT_EQ(sets - setsBefore, c.ran);
    EXPECT_EQ(laterChecks - checksBefore, c.ran);
    EXPECT_FALSE(p.isIgnoreUntilSet());
    EXPECT_EQ(asDouble(p.getValue()), 1);
    EXPECT_EQ(told, 1);
  }
  fail = kCheck;  // without checks the refusing check is skipped; the set function still runs
  p.setValue(&two, false);
  EXPECT_EQ(asDouble(p.getValue()), 2);
  EXPECT_EQ(told, 2);
  // Errors of other kinds are not the entry's to report.
  p.addCheckFcn(new FnCheck([](const void*) { throw std::runtime_error("other"); }));
  fail = kNone;
  EXPECT_THROW(p.setValue(&one, true), std::runtime_error);
  EXPECT_EQ(asDouble(p.getValue()), 2);
  std::unique_ptr<PropInfo> untyped(record("Loose", "NoSuchType"));
  Property loose(nullptr, untyped.get());
  expectHostError([&] { loose.setValue(&one, true); }, "vornix:set:noDataType",
                  "Loose: The property has no data type to store a value with.");
  EXPECT_EQ(loose.getValue(), nullptr);
  EXPECT_FALSE(loose.isIgnoreUntilSet());
  // A listener's failure during a set becomes the "not undone" warning and stops the rest.
  double first = 1, second = 3;
  for (bool byPointer : {false, true}) {
    SCOPED_TRACE(byPointer);
    sinks_.warnings.clear();
    Property p(nullptr, info.get());
    p.addListener(new FnListener([byPointer](void*) {
      if (byPointer) throw new zelutil::ZLException("vornix:test:listen", "listener %s", "broke");
      throw ZLGeneralException("vornix:test:listen", "listener %s", "broke");
    }));
    bool secondTold = false;
    p.addListener(new FnListener([&secondTold](void*) { secondTold = true; }));
    p.setValue(&first, true);
    p.setValue(&second, true);
    EXPECT_EQ(asDouble(p.getValue()), 3);
    EXPECT_FALSE(secondTold);
    ASSERT_EQ(sinks_.warnings.size(), 2u);
    EXPECT_EQ(sinks_.warnings[1],
              Message("vornix:test:listen",
                      "An error occurred after the property value was updated. SET could not be "
                      "undone.\nlistener broke"));
  }
  Property r(nullptr, info.get());  // outside a set the listener's error reaches the caller
  r.addListener(new FnListener([](void*) { throw ZLGeneralException("vornix:test:x", "x"); }));
  EXPECT_THROW(r.notifyListeners(), ZLGeneralException);
  // Another kind passes on from a set; the previous value is still freed (the sanitizer checks).
  Property q(nullptr, info.get());
  q.setValue(&first, true);
  q.addListener(new FnListener([](void*) { throw std::logic_error("late"); }));
  EXPECT_THROW(q.setValue(&second, true), std::logic_error);
  EXPECT_EQ(asDouble(q.getValue()), 3);
}

// Numeric reads truncate and clamp to the int range; a custom get replaces the stored value and a
// failing one keeps it.
TEST_F(PropertyTest, NumericReadsAndCustomGets) {
  std::unique_ptr<PropInfo> info(record("Gain", "double")), intInfo(record("Count", "int")),
      textInfo(record("Label", "string"));
  Property p(nullptr, info.get()), count(nullptr, intInfo.get()), label(nullptr, textInfo.get());
  EXPECT_EQ(p.getValueAsInt() + p.getValueAsDouble(), 0);  // no value yet
  struct Case {
    double stored;
    int expected, err;
  } cases[] = {{-2.9, -2, 0},        {3.0e9, INT_MAX, ERANGE},   {-3.0e9, INT_MIN, ERANGE},
               {NAN, INT_MAX, EDOM}, {2147483647.0, INT_MAX, 0}, {-2147483648.0, INT_MIN, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    p.setValue(&c.stored, true);
    errno = 0;
    EXPECT_EQ(p.getValueAsInt(), c.expected);
    EXPECT_EQ(errno, c.err);
  }
  const int32_t seven = 7;
  count.setValue(&seven, true);
  EXPECT_EQ(count.getValueAsInt() + count.getValueAsDouble(), 14);
  int gets = 0;  // other storage: 0 without asking the custom get function
  label.setCustomGetFcn(new FnGet([&gets]() -> void* { return ++gets, nullptr; }));
  EXPECT_EQ(label.getValueAsInt() + label.getValueAsDouble() + gets, 0);
  enum { kGive, kGeneral, kPointer } mode = kGive;
  double next = 10, stored = 0;
  p.addListener(new FnListener([&stored](void* v) { stored = asDouble(v); }));
  p.setCustomGetFcn(new FnGet([&]() -> void* {
    if (mode == kGeneral) throw ZLGeneralException("vornix:test:get", "no %s", "value");
    if (mode == kPointer) throw new zelutil::ZLException("vornix:test:get", "no value");
    return new double(next++);
  }));
  EXPECT_EQ(asDouble(p.getValue()), 10);
  EXPECT_EQ(p.getValueAsDouble(), 11);
  for (auto failing : {kGeneral, kPointer}) {
    mode = failing;
    expectHostError([&] { p.getValue(); }, "vornix:test:get", "no value");
    p.notifyListeners();  // tells the stored value, not a fresh get
    EXPECT_EQ(stored, 11);
  }
}

TEST_F(PropertyTest, CheckValueAcceptsTheListedEnumerationValuesAndListenersAreTold) {
  enumType("PropertyTestMode", {{"auto", 1}, {"Manual", 2}, {"Off", 5}});
  std::unique_ptr<PropInfo> info(record("Mode", "PropertyTestMode"));
  Property p(nullptr, info.get());
  for (int32_t v : {1, 5, 0, 3}) {
    SCOPED_TRACE(v);
    EXPECT_EQ(thrown([&] { p.checkValue(&v, true); }),
              v == 1 || v == 5
                  ? ""
                  : "vornix:set:invalidEnumValue|The value provided is not a valid property "
                    "enumeration.");
  }
  int32_t unlisted = 3;
  EXPECT_NO_THROW(p.checkValue(&unlisted, false));
  EXPECT_THROW(p.checkValue(nullptr, true), ZLGeneralException);
  p.setValue(&unlisted, true);  // the set makes no enumeration test
  EXPECT_EQ(p.getValueAsInt(), 3);
  // A check's refusal reaches the caller unchanged, before the enumeration.
  p.addCheckFcn(new FnCheck([](const void*) { throw ZLGeneralException("vornix:test:c", "c"); }));
  EXPECT_EQ(thrown([&] { p.checkValue(&unlisted, true); }), "vornix:test:c|c");
  // Listeners are told in order; swapped lists go with their new entry.
  std::unique_ptr<PropInfo> gainInfo(record("Gain", "double")), offInfo(record("Offset", "double"));
  Property gain(nullptr, gainInfo.get()), offset(nullptr, offInfo.get());
  std::vector<std::string> log;
  gain.addListener(new LoggingListener(&log, "G"));
  gain.addListener(new LoggingListener(&log, "H"));
  offset.addListener(new LoggingListener(&log, "O"));
  double one = 1, two = 2, three = 3;
  gain.setIgnoreUntilSet(true);
  gain.setValue(&one, true);
  EXPECT_FALSE(gain.isIgnoreUntilSet());
  offset.setValue(&two, true);
  gain.swapListeners(&offset);
  gain.setValue(&three, true);
  offset.setValue(&three, true);
  EXPECT_EQ(log,
            (std::vector<std::string>{"G:Gain=1", "H:Gain=1", "O:Offset=2", "G:Gain=1", "H:Gain=1",
                                      "O:Gain=1", "O:Gain=3", "G:Offset=3", "H:Offset=3"}));
  log.clear();
  gain.swapListeners(&gain);  // one list: told once
  gain.swapListeners(nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"O:Gain=3"}));
}

using CheckFcnsTest = StorageTest;

// Scalars of both kinds at both bounds are in storage_checks.zel.
TEST_F(CheckFcnsTest, BoundedCheckTestsEveryElementAndOnlyWithTwoBounds) {
  ZLScopedHvArray ten(row({0, 10})), single(row({3})), none(hvCreateDoubleMatrix(0, 0));
  ZLScopedHvArray intBounds(hvCreateNumericMatrix(1, 2, hvINT32_CLASS));
  hvGetInt32Data(intBounds)[0] = 2;
  hvGetInt32Data(intBounds)[1] = 4;
  std::unique_ptr<PropInfo> gain(record("Gain", "double", nullptr, ten)),
      levels(record("Levels", "NReals", nullptr, ten)),
      steps(record("Steps", "Nints", nullptr, ten)), label(record("Label", "string", nullptr, ten)),
      oneBound(record("Level", "double", nullptr, single)),
      noBounds(record("Free", "double", nullptr, none)),
      taps(record("Taps", "double", nullptr, intBounds)),
      longName(record(std::string(600, 'G').c_str(), "double", nullptr, ten));  // past any buffer
  double reals[] = {1, 20, 3}, lowFirst[] = {-1, 20};
  int32_t ints[] = {0, 11};
  VectorRecord realVec{3, reals}, lowVec{2, lowFirst}, intVec{2, ints}, empty{0, nullptr},
      negative{-1, reals};
  const double d[] = {-1e9, 1.9, 4.1};
  const char *kBelow = "vornix:property:belowMinimum", *kAbove = "vornix:property:aboveMaximum";
  struct Case {
    const PropInfo* info;
    const void* value;
    const char* id;
  } cases[] = {
      {levels.get(), &realVec, kAbove}, {levels.get(), &lowVec, kBelow},  // the minimum first
      {levels.get(), &empty, ""},       {levels.get(), &negative, ""},
      {steps.get(), &intVec, kAbove},   {label.get(), "anything", ""},
      {oneBound.get(), &d[0], ""},      {noBounds.get(), &d[0], ""},
      {taps.get(), &d[1], kBelow},      {taps.get(), &d[2], kAbove},
      {gain.get(), nullptr, ""},        {longName.get(), &d[0], kBelow},
  };
  BoundedConstraintCheck check;  // the messages are in storage_checks.zel
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    const std::string refusal = thrown([&] { check.check(nullptr, c.info, c.value); });
    EXPECT_EQ(refusal.substr(0, refusal.find('|')), c.id);
    EXPECT_EQ(hostErrorText([&] { check.checkAndRaise(nullptr, c.info, c.value); }),
              *c.id ? refusal : "(no error)");
  }
}

using InstancePropInfoTest = StorageTest;

// The constraint's names, the default's text and the factory default (-1 for none).
std::string state(const PropInfo& r) {
  std::string s;
  const hvArray* cell = r.getPIConstraintValue();
  for (const std::string& n : hvIsCell(cell) ? hvtest::texts(cell) : std::vector<std::string>{})
    s += n + ",";
  const void* stored = r.getFactoryDefault();
  return s + "|" + zelhox::fcns::getString(r.getPIDefaultValue()) + "|" +
         std::to_string(stored != nullptr ? *static_cast<const int32_t*>(stored) : -1);
}

// What users reach through a device is in simdev_settings.zel and storage_settings.zel; here the
// values simdev refuses before they reach the record: another letter case, a number taken, no name.
TEST_F(InstancePropInfoTest, AddingAndRemovingKeepTypeConstraintAndDefaultInStep) {
  auto* type = keepType(new TypedEnumStringType("InstanceTestMode"));
  std::unique_ptr<InstancePropInfo> r(
      record<InstancePropInfo>("Mode", "InstanceTestMode", nullptr, nullptr, kPIConstraintEnum));
  PropInfoTestPeer::setPIType(*r, kPITypeString);
  r->setPIConstraintValue(nullptr);
  r->setPIDefaultValue(nullptr);
  EXPECT_TRUE(r->isInstanceProperty());
  r->addEnumValue("auto", 1);
  EXPECT_EQ(state(*r), "auto,|auto|1");
  for (const char* name : {"AUTO", "Manual", "Off", static_cast<const char*>(nullptr), "Hand"}) {
    r->addEnumValue(name, name != nullptr && *name != 'O' ? 2 : 5);
  }
  EXPECT_EQ(state(*r), "auto,Manual,Off,|auto|1");
  EXPECT_EQ(type->getNumberOfValues(), 3u);
  r->removeEnumValue("AUTO");
  EXPECT_EQ(state(*r), "Manual,Off,|Manual|2");
  r->clearEnumValues();
  EXPECT_EQ(state(*r), "||-1");
  EXPECT_EQ(type->getNumberOfValues(), 0u);
  // A record that is not enumerated ignores every change.
  std::unique_ptr<InstancePropInfo> gain(record<InstancePropInfo>("Gain", "double"));
  gain->addEnumValue("on", 1);
  gain->removeEnumValue("on");
  gain->clearEnumValues();
  EXPECT_TRUE(hvIsDouble(gain->getPIConstraintValue()) && hvIsEmpty(gain->getPIConstraintValue()));
  EXPECT_FALSE(std::unique_ptr<PropInfo>(record("Gain", "double"))->isInstanceProperty());
}

}  // namespace
}  // namespace storagetest
}  // namespace zelobjsys
