// zelutil: time stamps, the library exception, string helpers, the text formatter, sequential ids.
#ifndef ZELHOST_ZELUTIL_H
#define ZELHOST_ZELUTIL_H

#include <cstdarg>
#include <string>
#include <type_traits>

namespace zelutil {

// A point in time, in seconds since the epoch as a double (wall clock, so it
// can be shown as a date). Differences of two stamps are elapsed seconds.
class Timestamp {
 public:
  Timestamp();  // now
  explicit Timestamp(double seconds);
  double getTime() const { return seconds_; }
  void setTime(double seconds) { seconds_ = seconds; }
  void setToNow();
  double operator-(const Timestamp& other) const { return seconds_ - other.seconds_; }

 private:
  double seconds_;
};

// The library's exception: an identifier and a printf-formatted message.
// Thrown by pointer; the catcher deletes it.
class ZLException {
 public:
  ZLException(const char* id, const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 3, 4)))
#endif
      ;
  ZLException(const ZLException& other);
  ZLException& operator=(const ZLException& other);
  virtual ~ZLException();

  void setID(const char* id);
  void vsetMessage(const char* format, va_list args);
  void setMessage(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  void prependMessage(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  const char* getID() const;
  const char* getMessage() const;

 protected:
  ZLException();

 private:
  std::string id_;
  std::string message_;
};

// printf into a std::string (any length).
std::string vformat(const char* format, va_list args);
std::string format(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// 0 when equal ignoring ASCII case; else <0 or >0 as strcmp of the folded texts.
int caselessCompare(const std::string& a, const std::string& b);
int caselessCompare(const std::string& a, const char* b);
bool caselessIsLessThan(const std::string& a, const std::string& b);
std::string toUpper(const std::string& s);
// The first n characters (all of s when shorter).
std::string truncate(const std::string& s, std::size_t n);

}  // namespace zelutil

// Appends decimal digits.
std::string operator+(const std::string& s, int n);
// Appends decimal digits. Only an argument of type long matches: a plain
// overload would also catch `text += int` inside the standard library (which
// appends a character there) and make it ambiguous or change its meaning.
template <typename T, typename std::enable_if<std::is_same<T, long>::value, int>::type = 0>
std::string& operator+=(std::string& s, T n) {
  return s.append(std::to_string(n));
}

namespace zelutil {
namespace fcns {

// Appends text to out, each output line starting with indent. With wrap, lines
// are broken at blanks so that no line exceeds 80 characters (a word longer
// than that stands alone), and continuation lines are indented with as many
// blanks as indent has characters; without wrap the text's own line breaks
// are kept and each of its lines gets the indent. With terminate, the result
// ends with a line feed. An empty text gives one (indented, empty) line.
void formatText(std::string& out, const std::string& text, const std::string& indent, bool wrap,
                bool terminate);

// 1, 2, 3, ... for the life of the process; safe from any thread.
long getSequentialID();

}  // namespace fcns
}  // namespace zelutil

#endif  // ZELHOST_ZELUTIL_H
