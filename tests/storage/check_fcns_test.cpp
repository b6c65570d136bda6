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
      taps(record("Taps", "double", nullptr, intBounds));
  double reals[] = {1, 20, 3}, lowFirst[] = {-1, 20};
  int32_t ints[] = {0, 11};
  VectorRecord realVec{3, reals}, lowVec{2, lowFirst}, intVec{2, ints}, empty{0, nullptr},
      negative{-1, reals};
  const double d[] = {-1e9, 1.9, 4.1, 10.5};
  const std::string below =
      ": Property value can not be set below the minimum value constraint. "
      "See PROPINFO(OBJ,'PROPERTY').";
  const std::string above =
      ": Property value can not be set above the maximum value constraint. "
      "See PROPINFO(OBJ,'PROPERTY').";
  const char* kBelow = "vornix:property:belowMinimum";
  const char* kAbove = "vornix:property:aboveMaximum";
  struct Case {
    const PropInfo* info;
    const void* value;
    const char* id;
    std::string message;
  } cases[] = {
      {gain.get(), &d[3], kAbove, "Gain" + above},
      {levels.get(), &realVec, kAbove, "Levels" + above},
      {levels.get(), &lowVec, kBelow, "Levels" + below},  // the minimum first, first element first
      {levels.get(), &empty, "", ""},
      {levels.get(), &negative, "", ""},
      {steps.get(), &intVec, kAbove, "Steps" + above},
      {label.get(), "anything", "", ""},
      {oneBound.get(), &d[0], "", ""},
      {noBounds.get(), &d[0], "", ""},
      {taps.get(), &d[1], kBelow, "Taps" + below},
      {taps.get(), &d[2], kAbove, "Taps" + above},
      {gain.get(), nullptr, "", ""},
  };
  BoundedConstraintCheck check;
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    std::string message;
    EXPECT_EQ(thrownId([&] { check.check(nullptr, c.info, c.value); }, &message), c.id);
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(hostErrorText([&] { check.checkAndRaise(nullptr, c.info, c.value); }),
              *c.id ? std::string(c.id) + "|" + c.message : "(no error)");
  }
}

// The refusal and its message on a real device are in storage_checks.zel.
TEST_F(CheckFcnsTest, ReadOnlyRuleRefusesWhileTheControllingNameMatchesExactly) {
  enumType("RunningState", {{"off", 0}, {"on", 1}});
  std::unique_ptr<PropInfo> runningInfo(record("Running", "RunningState")),
      recordMode(record("RecordMode", "double")), gainInfo(record("Gain", "double"));
  Property running(nullptr, runningInfo.get()), gain(nullptr, gainInfo.get());
  ReadOnlyCheckFcn whileOn(&running, "on"), whileOnUpper(&running, "On");
  ReadOnlyCheckFcn notEnumerated(&gain, "on"), noControl(nullptr, nullptr);
  const double any = 1;
  auto refusal = [&](ReadOnlyCheckFcn& rule) {
    return thrownId([&] { rule.check(nullptr, recordMode.get(), &any); });
  };
  EXPECT_EQ(refusal(whileOn), "");  // no value yet
  for (int32_t state : {1, 0, 99}) {
    SCOPED_TRACE(state);
    running.setValue(&state, false);
    EXPECT_EQ(refusal(whileOn), state == 1 ? "vornix:property:readOnly" : "");
    EXPECT_EQ(refusal(whileOnUpper), "");
  }
  gain.setValue(&any, false);
  EXPECT_EQ(refusal(notEnumerated), "");
  EXPECT_EQ(refusal(noControl), "");
  // The rule reads the controlling property's get function, not the value stored last ("off").
  running.setCustomGetFcn(new FnGet([] { return new int32_t(1); }));
  EXPECT_EQ(refusal(whileOn), "vornix:property:readOnly");
}

}  // namespace
}  // namespace storagetest
}  // namespace zelobjsys
