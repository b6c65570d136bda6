// Tests of the event records: the data each builds, its time stamp, and the delegate's target.
#include "zelobjsys/hcallback_event_info.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "zelhost/services/zelhox.h"

namespace zelobjsys {
namespace {

// Reaches the protected stamp of a record.
template <class Base>
struct Stamped : Base {
  using Base::Base;
  using Base::getTimestamp;
  using Base::setTimestamp;
};

// Variadic constructors are not inherited.
struct StampedError : ErrorEventInfo {
  StampedError(const char* id, const char* format, const char* arg)
      : ErrorEventInfo(id, format, arg) {}
  using ErrorEventInfo::getTimestamp;
  using ErrorEventInfo::setTimestamp;
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
  EXPECT_EQ(timer.getType(), "Timer");
  EXPECT_FALSE(timer.isErrorEvent());
  timer.setTimestamp(zelutil::Timestamp(longAgo));
  ZLScopedHvArray timerData(timer.createHvEventData());
  ASSERT_EQ(hvGetNumberOfFields(timerData), 1);
  EXPECT_GT(timer.getTimestamp().getTime(), longAgo + 3500.0) << "renewed when delivered";
  EXPECT_TRUE(sameTime(hvGetField(timerData, 0, "AbsTime"), timer.getTimestamp().getTime()));

  StampedError error("dev:io:timeout", "device %s did not answer", "scope1");
  EXPECT_EQ(error.getType(), "Error");
  EXPECT_TRUE(error.isErrorEvent());
  error.setTimestamp(zelutil::Timestamp(longAgo));
  ZLScopedHvArray errorData(error.createHvEventData());
  ASSERT_EQ(hvGetNumberOfFields(errorData), 3);
  EXPECT_STREQ(hvGetFieldNameByNumber(errorData, 0), "AbsTime");
  EXPECT_STREQ(hvGetFieldNameByNumber(errorData, 1), "Message");
  EXPECT_STREQ(hvGetFieldNameByNumber(errorData, 2), "MessageID");
  EXPECT_TRUE(sameTime(hvGetField(errorData, 0, "AbsTime"), longAgo)) << "never renewed";
  EXPECT_EQ(field(errorData, "Message"), "device scope1 did not answer");
  EXPECT_EQ(field(errorData, "MessageID"), "dev:io:timeout");

  // The whole structure a callback gets carries the type next to the data.
  error.setErrorID("dev:io:reset");
  error.setMessage("%d retries", 3);
  ZLScopedHvArray event(error.createPulvraStructure());
  EXPECT_EQ(field(event, "Type"), "Error");
  const hvArray* data = hvGetField(event, 0, "Data");
  EXPECT_EQ(field(data, "MessageID"), "dev:io:reset");
  EXPECT_EQ(field(data, "Message"), "3 retries");
}

TEST(HCallbackEventInfoTest, NullTextsAreEmptyNotCrashes) {
  ErrorEventInfo error(nullptr, nullptr);
  EXPECT_STREQ(error.getErrorID(), "");
  EXPECT_STREQ(error.getErrorMessage(), "");
  error.setErrorID(nullptr);
  ZLScopedHvArray data(error.createHvEventData());
  EXPECT_EQ(field(data, "MessageID"), "");
}

// A product's timer record with data of its own.
class CountingTimerInfo : public TimerEventInfo {
 public:
  hvArray* createHvEventData() const override {
    ++built;
    const char* names[] = {"Count"};
    hvArray* s = hvCreateStructMatrix(1, 1, 1, names);
    hvSetFieldByNumber(s, 0, 0, hvCreateDoubleScalar(built));
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

  TimerEventInfoDelegate orphan(nullptr);
  ZLScopedHvArray plain(orphan.createHvEventData());
  EXPECT_NE(hvGetField(plain, 0, "AbsTime"), nullptr);
}

}  // namespace
}  // namespace zelobjsys
