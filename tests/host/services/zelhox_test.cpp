// Tests of zelhox: scoped host values, library errors and warnings in the host, host time values.
#include "zelhost/services/zelhox.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>

#include "host/services/service_test_support.h"

namespace {

TEST(ZLScopedHvArrayTest, ResetAndReleaseHandOwnershipOn) {
  hvArray* first = hvCreateDoubleScalar(1);
  ZLScopedHvArray held(first);
  EXPECT_EQ(held.get(), first);
  held.reset(first);  // the same value again: kept, not freed
  EXPECT_EQ(hvGetScalar(held), 1.0);
  held.reset(hvCreateDoubleScalar(2));  // frees the first (LeakSanitizer checks)
  EXPECT_EQ(hvGetScalar(held), 2.0);

  hvArray* given = held.release();
  EXPECT_EQ(held.get(), nullptr);
  ZLScopedHvArray taker(given);  // LeakSanitizer checks the hand-over
}

using ZelhoxErrorsTest = ServiceSinksTest;

struct CustomError {
  std::string id;
  std::string message;
};

void throwCustom(const char* id, const char* message) { throw CustomError{id, message}; }

TEST_F(ZelhoxErrorsTest, GeneralExceptionPostsAsHostError) {
  ZLGeneralException e("vornix:set:bad", "Value %d is %s.", 5, "too big");
  ZLGeneralException copy(e);
  copy.prependMessage("Setting: ");
  EXPECT_STREQ(e.getMessage(), "Value 5 is too big.");
  Message posted = catchErrorId([&] { copy.post(); });
  EXPECT_EQ(posted, Message("vornix:set:bad", "Setting: Value 5 is too big."));

  zelhox::fcns::setErrorExceptionFcn(throwCustom);
  EXPECT_EQ(hoxGetErrorExceptionFcn(), &throwCustom);
  try {
    e.post();
    ADD_FAILURE() << "post returned";
  } catch (const CustomError& c) {
    EXPECT_EQ(c.id, "vornix:set:bad");
    EXPECT_EQ(c.message, "Value 5 is too big.");
  }
  try {
    zelhox::fcns::error("lib:err", "direct", 0);
    ADD_FAILURE() << "error returned";
  } catch (const CustomError& c) {
    EXPECT_EQ(c.id, "lib:err");
  }
}

TEST_F(ZelhoxErrorsTest, WarningsReturnAndStringsAreRead) {
  zelhox::fcns::warn("lib:warn", "careful", 0);
  EXPECT_EQ(warnings_, std::vector<Message>{Message("lib:warn", "careful")});

  ZLScopedHvArray text(hvCreateString("hello"));
  ZLScopedHvArray number(hvCreateDoubleScalar(1));
  ZLScopedHvArray empty(hvCreateString(""));
  EXPECT_EQ(zelhox::fcns::getString(text), "hello");
  EXPECT_EQ(zelhox::fcns::getString(number), "");
  EXPECT_EQ(zelhox::fcns::getString(empty), "");
  EXPECT_EQ(zelhox::fcns::getString(nullptr), "");
}

TEST(TimeArrayTest, LocalCalendarTimeWithFraction) {
  std::tm when{};
  when.tm_year = 2021 - 1900;
  when.tm_mon = 6;  // July
  when.tm_mday = 14;
  when.tm_hour = 9;
  when.tm_min = 5;
  when.tm_sec = 30;
  when.tm_isdst = -1;
  const double seconds = static_cast<double>(std::mktime(&when)) + 0.375;
  ZLScopedHvArray row(zelhox::fcns::time::createTimeArray(zelutil::Timestamp(seconds)));
  ASSERT_TRUE(hvIsDouble(row));
  ASSERT_EQ(hvGetM(row), 1u);
  ASSERT_EQ(hvGetN(row), 6u);
  const double expected[] = {2021, 7, 14, 9, 5, 30.375};
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_DOUBLE_EQ(hvGetElementAsDouble(row, i), expected[i]);
  }

  // Before the epoch the fraction still counts forward from the whole second.
  ZLScopedHvArray early(zelhox::fcns::time::createTimeArray(zelutil::Timestamp(-0.25)));
  EXPECT_NEAR(hvGetElementAsDouble(early, 5), 59.75, 1e-9);

  for (double bad : {std::nan(""), HUGE_VAL, 1e300}) {
    SCOPED_TRACE(bad);
    ZLScopedHvArray none(zelhox::fcns::time::createTimeArray(zelutil::Timestamp(bad)));
    ASSERT_EQ(hvGetN(none), 6u);
    EXPECT_TRUE(std::isnan(hvGetElementAsDouble(none, 0)));
  }
}

// Sets TZ for the test and puts the previous zone back.
class ZoneGuard {
 public:
  ZoneGuard() {
    const char* old = std::getenv("TZ");
    hadZone_ = old != nullptr;
    if (hadZone_) old_ = old;
  }
  ~ZoneGuard() {
    if (hadZone_) {
      setenv("TZ", old_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  void use(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }

 private:
  bool hadZone_ = false;
  std::string old_;
};

// Consecutive stamps within one second and on both sides of daylight-saving
// changes, and a change of zone within one second: each gives its own zone's
// local time.
TEST(TimeArrayTest, FollowsDaylightSavingAndZoneChanges) {
  const char* const kCentral = "CET-1CEST,M3.5.0,M10.5.0/3";
  struct Row {
    const char* zone;
    double seconds;  // since the epoch, UTC
    double expected[6];
  };
  const Row rows[] = {
      {kCentral, 1774745999.25, {2026, 3, 29, 1, 59, 59.25}},  // 00:59:59 UTC, winter
      {kCentral, 1774745999.75, {2026, 3, 29, 1, 59, 59.75}},  // same second
      {kCentral, 1774746000.5, {2026, 3, 29, 3, 0, 0.5}},      // summer time begins
      {kCentral, 1774745999.5, {2026, 3, 29, 1, 59, 59.5}},    // back before it
      {kCentral, 1792889999.0, {2026, 10, 25, 2, 59, 59}},     // last summer second
      {kCentral, 1792890000.0, {2026, 10, 25, 2, 0, 0}},       // the hour repeats
      {kCentral, 1792893599.0, {2026, 10, 25, 2, 59, 59}},
      {"UTC0", 1792893599.0, {2026, 10, 25, 1, 59, 59}},  // same second, new zone
      {"EST5EDT,M3.2.0,M11.1.0", 1792893599.0, {2026, 10, 24, 21, 59, 59}},
      // Same names and offsets, summer time from the fourth Sunday instead of
      // the last: the same second is converted again.
      {kCentral, 1774267200.0, {2026, 3, 23, 13, 0, 0}},
      {"CET-1CEST,M3.4.0,M10.5.0/3", 1774267200.0, {2026, 3, 23, 14, 0, 0}},
  };
  ZoneGuard zone;
  std::string current;
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.zone) + " " + std::to_string(row.seconds));
    if (current != row.zone) zone.use(row.zone);
    current = row.zone;
    ZLScopedHvArray time(zelhox::fcns::time::createTimeArray(zelutil::Timestamp(row.seconds)));
    for (int i = 0; i < 6; ++i) {
      SCOPED_TRACE(i);
      EXPECT_DOUBLE_EQ(hvGetElementAsDouble(time, i), row.expected[i]);
    }
  }
}

}  // namespace
