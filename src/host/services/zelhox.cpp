// zelhox: host errors and warnings for library code, host strings, host time values.
#include "zelhost/services/zelhox.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <memory>
#include <string>

#include "zelhost/services/services.h"

// ---------------------------------------------------------------- ZLGeneralException

ZLGeneralException::ZLGeneralException(const char* id, const char* format, ...) {
  setID(id);
  va_list args;
  va_start(args, format);
  vsetMessage(format, args);
  va_end(args);
}

ZLGeneralException::ZLGeneralException(const ZLGeneralException& other) = default;

ZLGeneralException& ZLGeneralException::operator=(const ZLGeneralException& other) = default;

ZLGeneralException::~ZLGeneralException() = default;

void ZLGeneralException::post() const { hoxErrMsgIdAndTxt(getID(), getMessage()); }

namespace zelhox {
namespace fcns {

void error(const char* id, const char* text, int /*unused*/) { hoxErrMsgIdAndTxt(id, text); }

void warn(const char* id, const char* text, int /*unused*/) { hoxWarnMsgIdAndTxt(id, text); }

std::string getString(const hvArray* value) {
  std::unique_ptr<char, void (*)(void*)> text(hvArrayToString(value), hvFree);
  return text ? std::string(text.get()) : std::string();
}

void setErrorExceptionFcn(void (*fn)(const char* id, const char* message)) {
  hoxSetErrorExceptionFcn(fn);
}

namespace time {

namespace {

// The zone that localtime_r converts with: TZ as it reads now and what tzset
// last made of it. A memo made under one zone is not used under another, even
// one with the same names and offsets but other rules.
struct ZoneIdentity {
  bool hasTz = false;
  std::string tz;
  const char* standardName = nullptr;
  const char* daylightName = nullptr;
  long offset = 0;
  int hasDaylight = 0;

  bool isCurrent() const {
    const char* now = std::getenv("TZ");
    if ((now != nullptr) != hasTz || (now != nullptr && tz != now)) return false;
    return standardName == tzname[0] && daylightName == tzname[1] && offset == timezone &&
           hasDaylight == daylight;
  }
  void setToCurrent() {
    const char* now = std::getenv("TZ");
    hasTz = now != nullptr;
    tz = now != nullptr ? now : "";
    standardName = tzname[0];
    daylightName = tzname[1];
    offset = timezone;
    hasDaylight = daylight;
  }
};

// The last whole second converted on this thread. Callback events come many
// to a second, and the conversion (the zone's rules, under the C library's
// lock) is the dearest part of a time value; a second maps to one local time
// whatever daylight saving does around it, so the memo is exact.
struct LocalSecondMemo {
  bool valid = false;
  std::time_t second = 0;
  ZoneIdentity zone;
  std::tm broken{};
};

bool convertSecond(std::time_t t, std::tm& broken) {
  thread_local LocalSecondMemo memo;
  // localtime_r sets the zone up on first use; the identity is read after it.
  if (memo.valid && memo.second == t && memo.zone.isCurrent()) {
    broken = memo.broken;
    return true;
  }
  if (localtime_r(&t, &broken) == nullptr) return false;
  memo.valid = true;
  memo.second = t;
  memo.zone.setToCurrent();
  memo.broken = broken;
  return true;
}

// The broken-down local time of a stamp, or false when the stamp is not a
// time the C library can represent (NaN, infinite, or beyond time_t).
bool localTimeOf(double seconds, std::tm& broken, double& fraction) {
  if (!std::isfinite(seconds)) return false;
  const double whole = std::floor(seconds);
  // 2^62 s is far beyond any calendar; the bound keeps the cast defined.
  if (std::fabs(whole) > 4.6e18) return false;
  if (!convertSecond(static_cast<std::time_t>(whole), broken)) return false;
  fraction = seconds - whole;
  return true;
}

}  // namespace

hvArray* createTimeArray(const zelutil::Timestamp& stamp) {
  hvArray* row = hvCreateDoubleMatrix(1, 6);
  double* data = hvGetPr(row);
  if (data == nullptr) return row;
  std::tm broken{};
  double fraction = 0.0;
  if (!localTimeOf(stamp.getTime(), broken, fraction)) {
    for (int i = 0; i < 6; ++i) data[i] = std::numeric_limits<double>::quiet_NaN();
    return row;
  }
  data[0] = broken.tm_year + 1900.0;
  data[1] = broken.tm_mon + 1.0;
  data[2] = broken.tm_mday;
  data[3] = broken.tm_hour;
  data[4] = broken.tm_min;
  data[5] = broken.tm_sec + fraction;
  return row;
}

}  // namespace time
}  // namespace fcns
}  // namespace zelhox
