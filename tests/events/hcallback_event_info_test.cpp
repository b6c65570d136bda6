// Tests of the event records: the data each builds, its time stamp, and the delegate's target.
#include "zelobjsys/hcallback_event_info.h"

#include <gtest/gtest.h>

#include <string>

#include "zelhost/services/zelhox.h"

namespace zelobjsys {
namespace {

// Reaches the protected stamp of a record.
template <class Base>
struct Stamped : Base {
  template <class... Args>
  explicit Stamped(Args... args) : Base(args...) {}
  using Base::getTimestamp;
  using Base::setTimestamp;
};

std::string field(const hvArray* s, const char* name) {
  return zelhox::fcns::getString(hvGetField(s, 0, name));
}

bool sameTime(const hvArray* absTime, double seconds) {
  ZLScopedHvArray expected(zelhox::fcns::time::createTimeArray(zelutil::Timestamp(seconds)));
  return hvIsEqual(absTime, expected);
}

TEST(HCallbackEventInfoTest, TimerStampsAtDeliveryAndErrorKeepsItsBirthTime) {
  const double longAgo = zelutil::Timestamp().getTime() - 3600.0;
  Stamped<TimerEventInfo> timer;
  EXPECT_FALSE(timer.isErrorEvent());
  timer.setTimestamp(zelutil::Timestamp(longAgo));
  ZLScopedHvArray timerData(timer.createHvEventData());
  ASSERT_EQ(hvGetNumberOfFields(timerData), 1);
  EXPECT_GT(timer.getTimestamp().getTime(), longAgo + 3500.0) << "renewed when delivered";
  EXPECT_TRUE(sameTime(hvGetField(timerData, 0, "AbsTime"), timer.getTimestamp().getTime()));

  Stamped<ErrorEventInfo> error("dev:io:timeout", "device %s did not answer", "scope1");
  EXPECT_TRUE(error.isErrorEvent());
  error.setTimestamp(zelutil::Timestamp(longAgo));
  ZLScopedHvArray errorData(error.createHvEventData());
  EXPECT_TRUE(sameTime(hvGetField(errorData, 0, "AbsTime"), longAgo)) << "never renewed";
  EXPECT_EQ(field(errorData, "Message"), "device scope1 did not answer");
  EXPECT_EQ(field(errorData, "MessageID"), "dev:io:timeout");

  error.setErrorID("dev:io:reset");
  error.setMessage("%d retries", 3);
  ZLScopedHvArray event(error.createPulvraStructure());
  EXPECT_EQ(field(event, "Type"), "Error");
  EXPECT_EQ(field(hvGetField(event, 0, "Data"), "MessageID"), "dev:io:reset");
  EXPECT_EQ(field(hvGetField(event, 0, "Data"), "Message"), "3 retries");

  // Null texts are empty, not crashes.
  ErrorEventInfo blank(nullptr, nullptr);
  EXPECT_STREQ(blank.getErrorMessage(), "");
  blank.setErrorID(nullptr);
  blank.setMessage(nullptr);
  EXPECT_STREQ(blank.getErrorID(), "");
  EXPECT_STREQ(blank.getErrorMessage(), "");
}

// A product's timer record with data of its own.
class CountingTimerInfo : public TimerEventInfo {
 public:
  hvArray* createHvEventData() const override {
    const char* names[] = {"Count"};
    hvArray* s = hvCreateStructMatrix(1, 1, 1, names);
    hvSetFieldByNumber(s, 0, 0, hvCreateDoubleScalar(++built));
    return s;
  }
  mutable int built = 0;
};

TEST(HCallbackEventInfoTest, DelegateDeliversItsTargetsDataOrThePlainTimerData) {
  CountingTimerInfo target;
  TimerEventInfoDelegate delegate(&target);
  EXPECT_EQ(delegate.getType(), "Timer");
  ZLScopedHvArray event(delegate.createPulvraStructure());
  const hvArray* data = hvGetField(event, 0, "Data");
  EXPECT_EQ(hvGetScalar(hvGetField(data, 0, "Count")), 1.0);
  EXPECT_EQ(hvGetField(data, 0, "AbsTime"), nullptr);
  EXPECT_EQ(target.built, 1);

  ZLScopedHvArray plain(TimerEventInfoDelegate(nullptr).createHvEventData());
  EXPECT_NE(hvGetField(plain, 0, "AbsTime"), nullptr);
}

}  // namespace
}  // namespace zelobjsys
