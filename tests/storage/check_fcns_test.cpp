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

// The identifier of the refusal, or "" when the check accepts; the message
// goes to *message.
std::string refusal(IPropCheckFcn& check, const PropInfo* info, const void* value,
                    std::string* message = nullptr) {
  try {
    check.check(nullptr, info, value);
    return "";
  } catch (const ZLGeneralException& e) {
    if (message != nullptr) *message = e.getMessage();
    return e.getID();
  }
}

TEST_F(CheckFcnsTest, BoundedCheckTestsEveryNumberInclusively) {
  ZLScopedHvArray tenBounds(row({0, 10})), fiveBounds(row({1, 5})), single(row({3}));
  std::unique_ptr<PropInfo> gain(record("Gain", "double", nullptr, tenBounds));
  std::unique_ptr<PropInfo> count(record("Count", "int", nullptr, fiveBounds));
  std::unique_ptr<PropInfo> levels(record("Levels", "NReals", nullptr, tenBounds));
  std::unique_ptr<PropInfo> steps(record("Steps", "Nints", nullptr, tenBounds));
  std::unique_ptr<PropInfo> label(record("Label", "string", nullptr, tenBounds));
  std::unique_ptr<PropInfo> oneBound(record("Level", "double", nullptr, single));

  double reals[] = {1, 20, 3}, lowFirst[] = {-1, 20};
  int32_t ints[] = {0, 11};
  VectorRecord realVec{3, reals}, lowVec{2, lowFirst}, intVec{2, ints}, empty{0, nullptr},
      negative{-1, reals};
  const double d[] = {0, 10, 5.5, NAN, -0.001, 10.5, -1e9};
  const int32_t n[] = {1, 5, 0, 6};
  const char text[] = "anything";
  struct Case {
    const PropInfo* info;
    const void* value;
    const char* id;
  } cases[] = {
      {gain.get(), &d[0], ""},
      {gain.get(), &d[1], ""},
      {gain.get(), &d[2], ""},
      {gain.get(), &d[3], ""},
      {gain.get(), &d[4], "vornix:property:belowMinimum"},
      {gain.get(), &d[5], "vornix:property:aboveMaximum"},
      {count.get(), &n[0], ""},
      {count.get(), &n[1], ""},
      {count.get(), &n[2], "vornix:property:belowMinimum"},
      {count.get(), &n[3], "vornix:property:aboveMaximum"},
      {levels.get(), &realVec, "vornix:property:aboveMaximum"},
      {levels.get(), &lowVec, "vornix:property:belowMinimum"},  // minimum first, first element
      {levels.get(), &empty, ""},
      {levels.get(), &negative, ""},
      {steps.get(), &intVec, "vornix:property:aboveMaximum"},
      {label.get(), text, ""},
      {oneBound.get(), &d[6], ""},  // fewer than two bounds: nothing to test against
      {gain.get(), nullptr, ""},
  };
  BoundedConstraintCheck check;
  for (std::size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    SCOPED_TRACE(i);
    std::string message;
    EXPECT_EQ(refusal(check, cases[i].info, cases[i].value, &message), cases[i].id);
    // What a set raises is the same refusal as a host error, however it is built.
    EXPECT_EQ(hostErrorText([&] { check.checkAndRaise(nullptr, cases[i].info, cases[i].value); }),
              *cases[i].id ? std::string(cases[i].id) + "|" + message : "(no error)");
  }
  std::string message;
  refusal(check, gain.get(), &d[4], &message);
  EXPECT_EQ(message,
            "Gain: Property value can not be set below the minimum value constraint. "
            "See PROPINFO(OBJ,'PROPERTY').");
  refusal(check, count.get(), &n[3], &message);
  EXPECT_EQ(message, std::string("Count: ") + kAbove);
  refusal(check, levels.get(), &lowVec, &message);
  EXPECT_EQ(message, std::string("Levels: ") + kBelow);
}

TEST_F(CheckFcnsTest, ReadOnlyRuleRefusesWhileTheControllingNameMatchesExactly) {
  enumType("RunningState", {{"off", 0}, {"on", 1}});
  std::unique_ptr<PropInfo> runningInfo(record("Running", "RunningState"));
  std::unique_ptr<PropInfo> recordMode(record("RecordMode", "double"));
  std::unique_ptr<PropInfo> gainInfo(record("Gain", "double"));
  Property running(nullptr, runningInfo.get()), gain(nullptr, gainInfo.get());
  ReadOnlyCheckFcn whileOn(&running, "on"), whileOnUpper(&running, "On");
  ReadOnlyCheckFcn notEnumerated(&gain, "on");
  const double any = 1;

  EXPECT_EQ(refusal(whileOn, recordMode.get(), &any), "");  // no value yet
  struct Case {
    int32_t running;
    const char* id;
  } cases[] = {{1, "vornix:property:readOnly"}, {0, ""}, {99, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.running);
    running.setValue(&c.running, false);
    std::string message;
    EXPECT_EQ(refusal(whileOn, recordMode.get(), &any, &message), c.id);
    if (*c.id != '\0') {
      EXPECT_EQ(message, "RecordMode: Property can not be set while Running is set to 'on'.");
    }
    EXPECT_EQ(refusal(whileOnUpper, recordMode.get(), &any), "");
  }
  gain.setValue(&any, false);
  EXPECT_EQ(refusal(notEnumerated, recordMode.get(), &any), "");
  ReadOnlyCheckFcn noControl(nullptr, nullptr);
  EXPECT_EQ(refusal(noControl, recordMode.get(), &any), "");
}

}  // namespace
}  // namespace storagetest
}  // namespace zelobjsys
