// Tests of the built-in check functions: bounds and read-only rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "storage/test_storage_fixtures.h"
#include "zelobjsys/bounded_constraint_check.h"
#include "zelobjsys/property.h"
#include "zelobjsys/read_only_check_fcn.h"

namespace zelobjsys {
namespace storagetest {
namespace {

constexpr const char* kBelow =
    "Property value can not be set below the minimum value constraint. "
    "See PROPINFO(OBJ,'PROPERTY').";
constexpr const char* kAbove =
    "Property value can not be set above the maximum value constraint. "
    "See PROPINFO(OBJ,'PROPERTY').";

using CheckFcnsTest = StorageTest;

TEST_F(CheckFcnsTest, BoundedCheckTestsEveryNumberInclusively) {
  ZLScopedHvArray tenBounds(row({0, 10})), fiveBounds(row({1, 5})), single(row({3}));
  ZLScopedHvArray none(hvCreateDoubleMatrix(0, 0)),
      intBounds(hvCreateNumericMatrix(1, 2, hvINT32_CLASS));
  hvGetInt32Data(intBounds)[0] = 2;
  hvGetInt32Data(intBounds)[1] = 4;
  std::unique_ptr<PropInfo> gain(record("Gain", "double", nullptr, tenBounds));
  std::unique_ptr<PropInfo> count(record("Count", "int", nullptr, fiveBounds));
  std::unique_ptr<PropInfo> levels(record("Levels", "NReals", nullptr, tenBounds));
  std::unique_ptr<PropInfo> steps(record("Steps", "Nints", nullptr, tenBounds));
  std::unique_ptr<PropInfo> label(record("Label", "string", nullptr, tenBounds));
  std::unique_ptr<PropInfo> oneBound(record("Level", "double", nullptr, single));
  std::unique_ptr<PropInfo> noBounds(record("Free", "double", nullptr, none));
  std::unique_ptr<PropInfo> intLimits(record("Taps", "double", nullptr, intBounds));

  double reals[] = {1, 20, 3}, lowFirst[] = {-1, 20};
  int32_t ints[] = {0, 11};
  VectorRecord realVec{3, reals}, lowVec{2, lowFirst}, intVec{2, ints}, empty{0, nullptr},
      negative{-1, reals};
  const double d[] = {0, 10, 5.5, NAN, -0.001, 10.5, -1e9, 1.9, 4.1};
  const int32_t n[] = {1, 5, 0, 6};
  const char text[] = "anything";
  const std::string below = kBelow, above = kAbove;
  struct Case {
    const PropInfo* info;
    const void* value;
    const char* id;
    std::string message;  // without the name
  } cases[] = {
      {gain.get(), &d[0], "", ""},
      {gain.get(), &d[1], "", ""},
      {gain.get(), &d[2], "", ""},
      {gain.get(), &d[3], "", ""},
      {gain.get(), &d[4], "vornix:property:belowMinimum", "Gain: " + below},
      {gain.get(), &d[5], "vornix:property:aboveMaximum", "Gain: " + above},
      {count.get(), &n[0], "", ""},
      {count.get(), &n[1], "", ""},
      {count.get(), &n[2], "vornix:property:belowMinimum", "Count: " + below},
      {count.get(), &n[3], "vornix:property:aboveMaximum", "Count: " + above},
      {levels.get(), &realVec, "vornix:property:aboveMaximum", "Levels: " + above},
      // The minimum is tested first, and on the first element first.
      {levels.get(), &lowVec, "vornix:property:belowMinimum", "Levels: " + below},
      {levels.get(), &empty, "", ""},
      {levels.get(), &negative, "", ""},
      {steps.get(), &intVec, "vornix:property:aboveMaximum", "Steps: " + above},
      {label.get(), text, "", ""},
      // Fewer than two bounds: nothing to test against.
      {oneBound.get(), &d[6], "", ""},
      {noBounds.get(), &d[6], "", ""},
      {intLimits.get(), &d[7], "vornix:property:belowMinimum", "Taps: " + below},
      {intLimits.get(), &d[8], "vornix:property:aboveMaximum", "Taps: " + above},
      {gain.get(), nullptr, "", ""},
  };
  BoundedConstraintCheck check;
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    std::string message;
    EXPECT_EQ(thrownId([&] { check.check(nullptr, c.info, c.value); }, &message), c.id);
    EXPECT_EQ(message, c.message);
    // What a set raises is the same refusal as a host error, however it is built.
    EXPECT_EQ(hostErrorText([&] { check.checkAndRaise(nullptr, c.info, c.value); }),
              *c.id ? std::string(c.id) + "|" + c.message : "(no error)");
  }
}

TEST_F(CheckFcnsTest, ReadOnlyRuleRefusesWhileTheControllingNameMatchesExactly) {
  enumType("RunningState", {{"off", 0}, {"on", 1}});
  std::unique_ptr<PropInfo> runningInfo(record("Running", "RunningState"));
  std::unique_ptr<PropInfo> recordMode(record("RecordMode", "double"));
  std::unique_ptr<PropInfo> gainInfo(record("Gain", "double"));
  Property running(nullptr, runningInfo.get()), gain(nullptr, gainInfo.get());
  ReadOnlyCheckFcn whileOn(&running, "on"), whileOnUpper(&running, "On");
  ReadOnlyCheckFcn notEnumerated(&gain, "on"), noControl(nullptr, nullptr);
  const double any = 1;
  auto refusal = [&](ReadOnlyCheckFcn& rule, std::string* message = nullptr) {
    return thrownId([&] { rule.check(nullptr, recordMode.get(), &any); }, message);
  };

  EXPECT_EQ(refusal(whileOn), "");  // no value yet
  for (int32_t state : {1, 0, 99}) {
    SCOPED_TRACE(state);
    running.setValue(&state, false);
    std::string message;
    EXPECT_EQ(refusal(whileOn, &message), state == 1 ? "vornix:property:readOnly" : "");
    if (state == 1) {
      EXPECT_EQ(message, "RecordMode: Property can not be set while Running is set to 'on'.");
    }
    EXPECT_EQ(refusal(whileOnUpper), "");
  }
  gain.setValue(&any, false);
  EXPECT_EQ(refusal(notEnumerated), "");
  EXPECT_EQ(refusal(noControl), "");
  // The rule reads what the controlling property's get function gives, not
  // the value stored last ("off" here).
  running.setCustomGetFcn(new FnGet([] { return new int32_t(1); }));
  EXPECT_EQ(refusal(whileOn), "vornix:property:readOnly");
}

}  // namespace
}  // namespace storagetest
}  // namespace zelobjsys
