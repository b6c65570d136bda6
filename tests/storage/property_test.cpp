// Tests of one property entry: the set sequence, custom gets, numeric reads, enumeration test,
// listener swaps.
#include "zelobjsys/property.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "storage/test_storage_fixtures.h"

namespace zelobjsys {
namespace storagetest {
namespace {

using PropertyTest = StorageTest;

// Scalars are overwritten where they are held: every read, every listener and
// a type change must still see exactly what a fresh copy would hold.
TEST_F(PropertyTest, ScalarsSetOverTheHeldValueReadBackAsCopies) {
  const double reals[] = {2.5, -7, 1e300};
  const int32_t ints[] = {3, -4, 2147483647};
  const bool bools[] = {true, false, true};
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
    auto nth = [&row](int k) { return static_cast<const char*>(row.values) + k * row.size; };
    std::unique_ptr<PropInfo> info(record("Gain", row.type));
    Property p(nullptr, info.get());
    std::vector<std::string> told, expected;
    bool scalar = true;  // whether the listener may read row.size bytes
    p.addListener(new FnListener([&](void* v) {
      if (scalar) told.push_back(v != nullptr ? bytes(v) : "-");
    }));
    for (int k = 0; k < 3; ++k) {
      alignas(double) char given[sizeof(double)];
      std::memcpy(given, nth(k), row.size);
      p.setValue(given, true);
      std::memset(given, 0, sizeof given);  // the entry holds its own copy
      EXPECT_EQ(bytes(p.getValue()), bytes(nth(k)));
      p.setValue(p.getValue(), true);  // its own value over itself
      EXPECT_EQ(bytes(p.getValue()), bytes(nth(k)));
      expected.insert(expected.end(), 2, bytes(nth(k)));
    }
    EXPECT_EQ(told, expected);
    p.setValue(nullptr, false);  // a cleared value is no buffer to reuse
    EXPECT_EQ(p.getValue(), nullptr);
    p.setValue(row.values, false);
    EXPECT_EQ(bytes(p.getValue()), bytes(row.values));
    scalar = false;  // another type takes over: its values are no scalars of the old size
    p.redefine(text.get());
    p.setValue("a text longer than any scalar", false);
    p.setValue("x", false);
    EXPECT_STREQ(static_cast<const char*>(p.getValue()), "x");
    p.redefine(info.get());
    EXPECT_EQ(p.getValue(), nullptr);
    p.setValue(row.values, false);
    EXPECT_EQ(bytes(p.getValue()), bytes(row.values));
  }
}

TEST_F(PropertyTest, RefusedSetsStoreNothingTellNobodyAndStillClearTheFlag) {
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
    const char* id;
    const char* message;
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
  fail = kSetGeneral;
  expectHostError([&] { p.setValue(&one, false); }, "vornix:test:set", "set said no");
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
}

TEST_F(PropertyTest, FailingListenerBecomesTheUndoneWarningAndStopsTheRest) {
  std::unique_ptr<PropInfo> info(record("Gain", "double"));
  double first = 1, second = 3;
  for (bool byPointer : {false, true}) {
    SCOPED_TRACE(byPointer);
    warnings_.clear();
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
    ASSERT_EQ(warnings_.size(), 2u);
    EXPECT_EQ(warnings_[1], Message("vornix:test:listen",
                                    "An error occurred after the property value was updated. SET "
                                    "could not be undone.\nlistener broke"));
  }
  Property p(nullptr, info.get());  // outside a set the listener's error reaches the caller
  p.addListener(new FnListener([](void*) { throw ZLGeneralException("vornix:test:x", "x"); }));
  EXPECT_THROW(p.notifyListeners(), ZLGeneralException);
  // An error of another kind passes on from a set, and the previous value is
  // still freed (the sanitizer run sees a leak otherwise).
  Property q(nullptr, info.get());
  q.setValue(&first, true);
  q.addListener(new FnListener([](void*) { throw std::logic_error("late"); }));
  EXPECT_THROW(q.setValue(&second, true), std::logic_error);
  EXPECT_EQ(asDouble(q.getValue()), 3);
}

TEST_F(PropertyTest, CustomGetReplacesTheStoredValueAndAFailureKeepsIt) {
  enum { kGive, kGeneral, kPointer } mode = kGive;
  double next = 10, stored = 0;
  std::unique_ptr<PropInfo> info(record("Gain", "double"));
  Property p(nullptr, info.get());
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

TEST_F(PropertyTest, NumericReadsTruncateAndClampToTheIntRange) {
  std::unique_ptr<PropInfo> info(record("Gain", "double")), intInfo(record("Count", "int")),
      textInfo(record("Label", "string"));
  Property p(nullptr, info.get()), count(nullptr, intInfo.get()), label(nullptr, textInfo.get());
  EXPECT_EQ(p.getValueAsInt(), 0);  // no value yet
  EXPECT_EQ(p.getValueAsDouble(), 0.0);
  struct Case {
    double stored;
    int expected, err;
  } cases[] = {{2.9, 2, 0},
               {-2.9, -2, 0},
               {3.0e9, INT_MAX, ERANGE},
               {-3.0e9, INT_MIN, ERANGE},
               {NAN, INT_MAX, EDOM},
               {2147483647.0, INT_MAX, 0},
               {-2147483648.0, INT_MIN, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    p.setValue(&c.stored, true);
    errno = 0;
    EXPECT_EQ(p.getValueAsInt(), c.expected);
    EXPECT_EQ(errno, c.err);
  }
  const int32_t seven = 7;
  count.setValue(&seven, true);
  EXPECT_EQ(count.getValueAsInt(), 7);
  EXPECT_EQ(count.getValueAsDouble(), 7.0);
  int gets = 0;  // other storage: 0 without asking the custom get function
  label.setCustomGetFcn(new FnGet([&gets]() -> void* { return ++gets, nullptr; }));
  EXPECT_EQ(label.getValueAsInt(), 0);
  EXPECT_EQ(label.getValueAsDouble(), 0.0);
  EXPECT_EQ(gets, 0);
}

TEST_F(PropertyTest, CheckValueAcceptsExactlyTheListedEnumerationValues) {
  enumType("PropertyTestMode", {{"auto", 1}, {"Manual", 2}, {"Off", 5}});
  std::unique_ptr<PropInfo> info(record("Mode", "PropertyTestMode"));
  Property p(nullptr, info.get());
  for (int32_t v : {1, 2, 5, 0, 3, -1}) {
    SCOPED_TRACE(v);
    std::string message;
    const bool listed = v == 1 || v == 2 || v == 5;
    EXPECT_EQ(thrownId([&] { p.checkValue(&v, true); }, &message),
              listed ? "" : "vornix:set:invalidEnumValue");
    EXPECT_EQ(message, listed ? "" : "The value provided is not a valid property enumeration.");
  }
  int32_t three = 3;
  EXPECT_NO_THROW(p.checkValue(&three, false));
  EXPECT_THROW(p.checkValue(nullptr, true), ZLGeneralException);
  p.setValue(&three, true);  // the set makes no enumeration test
  EXPECT_EQ(p.getValueAsInt(), 3);
  // A check's refusal reaches the caller unchanged, before the enumeration.
  p.addCheckFcn(new FnCheck([](const void*) { throw ZLGeneralException("vornix:test:c", "c"); }));
  EXPECT_EQ(thrownId([&] { p.checkValue(&three, true); }), "vornix:test:c");
}

TEST_F(PropertyTest, ListenersAreToldInOrderAndSwappedListsGoWithTheirNewEntry) {
  std::unique_ptr<PropInfo> gainInfo(record("Gain", "double")),
      offsetInfo(record("Offset", "double"));
  Property gain(nullptr, gainInfo.get()), offset(nullptr, offsetInfo.get());
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

}  // namespace
}  // namespace storagetest
}  // namespace zelobjsys
