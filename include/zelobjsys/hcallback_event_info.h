// The information records of callback events: HCallbackEventInfo, ErrorEventInfo,
// TimerEventInfo and TimerEventInfoDelegate.
#ifndef ZELOBJSYS_HCALLBACK_EVENT_INFO_H
#define ZELOBJSYS_HCALLBACK_EVENT_INFO_H

#include <cstdarg>

#include "zelhost/events/hevent.h"
#include "zelhost/services/zelutil.h"

namespace zelobjsys {

// The record of a callback event: the event type text and a time stamp, which
// the callback receives as the "AbsTime" field of the event's data. With
// stamp-at-delivery the stamp is renewed each time the data is built, so that
// the callback sees when it ran rather than when the event was made.
//
// Ownership: handed to exactly one callback event, which deletes it. Created
// on any thread (timer threads make one per tick); the data is built on the
// host thread once the event service has taken the event, so the record needs
// no lock.
class HCallbackEventInfo : public HEventInfo {
 public:
  HCallbackEventInfo(const char* type, bool isError, bool stampAtDelivery);
  ~HCallbackEventInfo() override;

  // A new 1x1 structure with the field "AbsTime"; the caller owns it.
  hvArray* createHvEventData() const override;

  bool isStampAtDelivery() const { return stampAtDelivery_; }

 protected:
  // The "AbsTime" value alone (renewing the stamp first when asked to); the
  // caller owns it.
  hvArray* createHvEventTime() const;
  zelutil::Timestamp getTimestamp() const { return timestamp_; }
  void setTimestamp(const zelutil::Timestamp& stamp) { timestamp_.setTime(stamp.getTime()); }

 private:
  bool stampAtDelivery_;
  // Renewed while the data is built, which is a const operation.
  mutable zelutil::Timestamp timestamp_;
};

// A device error reported to the object's error callback: type "Error", with
// the error's identifier and message next to the time at which the record was
// made (never renewed). Same ownership and threads as HCallbackEventInfo.
class ErrorEventInfo : public HCallbackEventInfo {
 public:
  // The message is printf-formatted from format and the arguments; a null id
  // or format is the empty text.
  ErrorEventInfo(const char* id, const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 3, 4)))
#endif
      ;
  ~ErrorEventInfo() override;

  const char* getErrorID() const { return error_.getID(); }
  const char* getErrorMessage() const { return error_.getMessage(); }
  void setErrorID(const char* id);
  void setMessage(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  void vsetMessage(const char* format, va_list args);

  // A new 1x1 structure with "AbsTime", "Message" and "MessageID" in that
  // order; the caller owns it.
  hvArray* createHvEventData() const override;

 protected:
  hvArray* createHvErrMsg() const;
  hvArray* createHvErrMsgID() const;

 private:
  zelutil::ZLException error_;
};

// A timer tick: type "Timer", stamped when the callback runs. A product may
// subclass it to hand its own data to every tick (see TimerEventInfoDelegate).
class TimerEventInfo : public HCallbackEventInfo {
 public:
  TimerEventInfo();
  ~TimerEventInfo() override;
};

// A tick's record that lets another timer record build the data, so that one
// product record (owned by the timer manager) serves every tick. The target is
// borrowed: it must outlive the delegate, which the timer manager ensures by
// flushing its queued events before it deletes the target. A null target
// gives the plain timer data.
class TimerEventInfoDelegate : public TimerEventInfo {
 public:
  explicit TimerEventInfoDelegate(const TimerEventInfo* target);
  ~TimerEventInfoDelegate() override;

  // The target's data; the caller owns it.
  hvArray* createHvEventData() const override;

  const TimerEventInfo* getTarget() const { return target_; }

 private:
  const TimerEventInfo* target_;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_HCALLBACK_EVENT_INFO_H
