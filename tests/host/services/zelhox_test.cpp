// Tests of zelhox: scoped host values, library errors and warnings in the host, host time values.
#include "zelhost/services/zelhox.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <functional>
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

TEST_F(ZelhoxErrorsTest, GeneralExceptionPostsAsHostErrorWarningsReturn) {
  ZLGeneralException e("vornix:set:bad", "Value %d is %s.", 5, "too big");
  ZLGeneralException copy(e);
  copy.prependMessage("Setting: ");
  EXPECT_STREQ(e.getMessage(), "Value 5 is too big.");
  EXPECT_EQ(catchErrorId([&] { copy.post(); }),
            Message("vornix:set:bad", "Setting: Value 5 is too big."));
  zelhox::fcns::warn("lib:warn", "careful", 0);
  EXPECT_EQ(warnings_, std::vector<Message>{Message("lib:warn", "careful")});
  zelhox::fcns::setErrorExceptionFcn(throwCustom);
  EXPECT_EQ(hoxGetErrorExceptionFcn(), &throwCustom);
  for (const auto& [post, expected] :
       {std::make_pair(std::function<void()>([&] { e.post(); }),
                       CustomError{"vornix:set:bad", "Value 5 is too big."}),
        std::make_pair(std::function<void()>([] { zelhox::fcns::error("lib:err", "direct", 0); }),
                       CustomError{"lib:err", "direct"})}) {
    try {
      post();
      ADD_FAILURE() << "returned";
    } catch (const CustomError& c) {
      EXPECT_EQ(c.id + "|" + c.message, expected.id + "|" + expected.message);
    }
  }
  ZLScopedHvArray text(hvCreateString("hello")), number(hvCreateDoubleScalar(1));
  EXPECT_EQ(zelhox::fcns::getString(text), "hello");
  EXPECT_EQ(zelhox::fcns::getString(number) + zelhox::fcns::getString(nullptr), "");
}

// Sets TZ for the test and puts the previous zone back.
class ZoneGuard {
 public:
  ZoneGuard() : had_(std::getenv("TZ") != nullptr), old_(had_ ? std::getenv("TZ") : "") {}
  ~ZoneGuard() { had_ ? use(old_.c_str()) : (unsetenv("TZ"), tzset()); }
  void use(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }

 private:
  bool had_;
  std::string old_;
};

// Fractions (also before the epoch, counting forward from the whole second),
// consecutive stamps on both sides of daylight-saving changes, and a change of
// zone within one second: each gives its own zone's local time.
TEST(TimeArrayTest, LocalCalendarTimeFollowsZoneAndDaylightSaving) {
  const char* const kCentral = "CET-1CEST,M3.5.0,M10.5.0/3";
  struct Row {
    const char* zone;
    double seconds;  // since the epoch, UTC
    double expected[6];
  };
  const Row rows[] = {
      {"UTC0", 1626253530.375, {2021, 7, 14, 9, 5, 30.375}},
      {"UTC0", -0.25, {1969, 12, 31, 23, 59, 59.75}},
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
    ASSERT_TRUE(hvIsDouble(time) && hvGetM(time) == 1 && hvGetN(time) == 6);
    for (int i = 0; i < 6; ++i)
      EXPECT_NEAR(hvGetElementAsDouble(time, i), row.expected[i], 1e-6) << i;
  }
  for (double bad : {std::nan(""), HUGE_VAL, 1e300}) {
    ZLScopedHvArray none(zelhox::fcns::time::createTimeArray(zelutil::Timestamp(bad)));
    ASSERT_EQ(hvGetN(none), 6u);
    EXPECT_TRUE(std::isnan(hvGetElementAsDouble(none, 0))) << bad;
  }
}

}  // namespace
