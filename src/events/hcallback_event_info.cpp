// The records of callback events and the event data each of them builds.
#include "zelobjsys/hcallback_event_info.h"

#include "zelhost/services/zelhox.h"

namespace zelobjsys {

namespace {

const char* textOrEmpty(const char* text) { return text != nullptr ? text : ""; }

}  // namespace

// ---------------------------------------------------------------- HCallbackEventInfo

HCallbackEventInfo::HCallbackEventInfo(const char* type, bool isError, bool stampAtDelivery)
    : HEventInfo(type, isError), stampAtDelivery_(stampAtDelivery) {}

HCallbackEventInfo::~HCallbackEventInfo() = default;

hvArray* HCallbackEventInfo::createHvEventTime() const {
  if (stampAtDelivery_) timestamp_.setToNow();
  return zelhox::fcns::time::createTimeArray(timestamp_);
}

hvArray* HCallbackEventInfo::createHvEventData() const {
  const char* names[] = {"AbsTime"};
  ZLScopedHvArray data(hvCreateStructMatrix(1, 1, 1, names));
  hvSetFieldByNumber(data, 0, 0, createHvEventTime());  // the structure takes it
  return data.release();
}

// ---------------------------------------------------------------- ErrorEventInfo

ErrorEventInfo::ErrorEventInfo(const char* id, const char* format, ...)
    : HCallbackEventInfo("Error", true, false), error_(textOrEmpty(id), "%s", "") {
  va_list args;
  va_start(args, format);
  vsetMessage(format, args);
  va_end(args);
}

ErrorEventInfo::~ErrorEventInfo() = default;

void ErrorEventInfo::setErrorID(const char* id) { error_.setID(textOrEmpty(id)); }

void ErrorEventInfo::setMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vsetMessage(format, args);
  va_end(args);
}

void ErrorEventInfo::vsetMessage(const char* format, va_list args) {
  if (format == nullptr) {
    error_.setMessage("%s", "");
    return;
  }
  error_.vsetMessage(format, args);
}

hvArray* ErrorEventInfo::createHvErrMsg() const { return hvCreateString(error_.getMessage()); }

hvArray* ErrorEventInfo::createHvErrMsgID() const { return hvCreateString(error_.getID()); }

hvArray* ErrorEventInfo::createHvEventData() const {
  const char* names[] = {"AbsTime", "Message", "MessageID"};
  ZLScopedHvArray data(hvCreateStructMatrix(1, 1, 3, names));
  // The structure takes each field value.
  hvSetFieldByNumber(data, 0, 0, createHvEventTime());
  hvSetFieldByNumber(data, 0, 1, createHvErrMsg());
  hvSetFieldByNumber(data, 0, 2, createHvErrMsgID());
  return data.release();
}

// ---------------------------------------------------------------- timer records

TimerEventInfo::TimerEventInfo() : HCallbackEventInfo("Timer", false, true) {}

TimerEventInfo::~TimerEventInfo() = default;

TimerEventInfoDelegate::TimerEventInfoDelegate(const TimerEventInfo* target) : target_(target) {}

TimerEventInfoDelegate::~TimerEventInfoDelegate() = default;

hvArray* TimerEventInfoDelegate::createHvEventData() const {
  if (target_ == nullptr) return TimerEventInfo::createHvEventData();
  return target_->createHvEventData();
}

}  // namespace zelobjsys
