// zelhox: scoped host values, host errors and warnings for library code, host time values.
#ifndef ZELHOST_ZELHOX_H
#define ZELHOST_ZELHOX_H

#include <string>

#include "zelhost/services/zelutil.h"
#include "zelhost/values/hv_array.h"

// Owns one host value and frees it at the end of its scope.
class ZLScopedHvArray {
 public:
  explicit ZLScopedHvArray(hvArray* a = nullptr) : a_(a) {}
  ~ZLScopedHvArray() { hvDestroyArray(a_); }
  ZLScopedHvArray(const ZLScopedHvArray&) = delete;
  ZLScopedHvArray& operator=(const ZLScopedHvArray&) = delete;

  // Frees the held value and takes a.
  void reset(hvArray* a = nullptr) {
    if (a != a_) hvDestroyArray(a_);
    a_ = a;
  }
  // Gives the value up without freeing it.
  hvArray* release() {
    hvArray* a = a_;
    a_ = nullptr;
    return a;
  }
  hvArray* get() const { return a_; }
  operator hvArray*() const { return a_; }
  operator const hvArray*() const { return a_; }

 private:
  hvArray* a_;
};

// A library error to be raised in the host: post() raises it as the error of
// the current host call (through hoxErrMsgIdAndTxt) and does not return.
class ZLGeneralException : public zelutil::ZLException {
 public:
  ZLGeneralException(const char* id, const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 3, 4)))
#endif
      ;
  ZLGeneralException(const ZLGeneralException& other);
  ZLGeneralException& operator=(const ZLGeneralException& other);
  ~ZLGeneralException() override;
  [[noreturn]] void post() const;
};

namespace zelhox {
namespace fcns {

// Raises a host error (never returns). The third argument is kept for callers.
[[noreturn]] void error(const char* id, const char* text, int unused = 0);
// Shows a host warning and returns.
void warn(const char* id, const char* text, int unused = 0);
// The text of a host string; empty for null or a value that is not text.
std::string getString(const hvArray* value);
// Installs fn(id, message), which must throw; host errors then go through it.
void setErrorExceptionFcn(void (*fn)(const char* id, const char* message));

namespace time {
// The host value of an absolute time: a 1x6 double row
// [year month day hour minute seconds] in local time, seconds with fraction.
hvArray* createTimeArray(const zelutil::Timestamp& stamp);
}  // namespace time

}  // namespace fcns
}  // namespace zelhox

#endif  // ZELHOST_ZELHOX_H
