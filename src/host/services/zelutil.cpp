// zelutil: time stamps, the library exception, string helpers, the text formatter, sequential ids.
#include "zelhost/services/zelutil.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <vector>

namespace zelutil {

namespace {

double nowSeconds() {
  const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration<double>(sinceEpoch).count();
}

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int caselessCompareTexts(const char* a, std::size_t na, const char* b, std::size_t nb) {
  const std::size_t n = na < nb ? na : nb;
  for (std::size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(foldAscii(a[i]));
    const auto cb = static_cast<unsigned char>(foldAscii(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (na == nb) return 0;
  return na < nb ? -1 : 1;
}

}  // namespace

// ---------------------------------------------------------------- Timestamp

Timestamp::Timestamp() : seconds_(nowSeconds()) {}

Timestamp::Timestamp(double seconds) : seconds_(seconds) {}

void Timestamp::setToNow() { seconds_ = nowSeconds(); }

// ---------------------------------------------------------------- ZLException

ZLException::ZLException() = default;

ZLException::ZLException(const char* id, const char* format, ...) {
  setID(id);
  va_list args;
  va_start(args, format);
  vsetMessage(format, args);
  va_end(args);
}

ZLException::ZLException(const ZLException& other) = default;

ZLException& ZLException::operator=(const ZLException& other) = default;

ZLException::~ZLException() = default;

void ZLException::setID(const char* id) { id_ = id != nullptr ? id : ""; }

void ZLException::vsetMessage(const char* format, va_list args) {
  message_ = zelutil::vformat(format, args);
}

void ZLException::setMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vsetMessage(format, args);
  va_end(args);
}

void ZLException::prependMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string prefix = zelutil::vformat(format, args);
  va_end(args);
  message_.insert(0, prefix);
}

const char* ZLException::getID() const { return id_.c_str(); }

const char* ZLException::getMessage() const { return message_.c_str(); }

// ---------------------------------------------------------------- formatting

std::string vformat(const char* format, va_list args) {
  if (format == nullptr) return std::string();
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length <= 0) return std::string();
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
  va_list fill;
  va_copy(fill, args);
  std::vsnprintf(buffer.data(), buffer.size(), format, fill);
  va_end(fill);
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

std::string format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = vformat(format, args);
  va_end(args);
  return text;
}

// ---------------------------------------------------------------- strings

int caselessCompare(const std::string& a, const std::string& b) {
  return caselessCompareTexts(a.data(), a.size(), b.data(), b.size());
}

int caselessCompare(const std::string& a, const char* b) {
  const std::string other = b != nullptr ? std::string(b) : std::string();
  return caselessCompare(a, other);
}

bool caselessIsLessThan(const std::string& a, const std::string& b) {
  return caselessCompare(a, b) < 0;
}

std::string toUpper(const std::string& s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string truncate(const std::string& s, std::size_t n) { return s.substr(0, n); }

}  // namespace zelutil

std::string operator+(const std::string& s, int n) { return s + std::to_string(n); }

namespace zelutil {
namespace fcns {

namespace {

const std::size_t kLineWidth = 80;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::vector<std::string> splitWords(const std::string& text) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && isBlank(text[i])) ++i;
    const std::size_t start = i;
    while (i < text.size() && !isBlank(text[i])) ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

// Words joined by single blanks; a line takes words while it stays within the
// width, and a word that cannot fit even on a fresh line stands alone.
void appendWrapped(std::string& out, const std::string& text, const std::string& indent) {
  const std::string continuation(indent.size(), ' ');
  std::string line = indent;
  bool lineHasWord = false;
  for (const std::string& word : splitWords(text)) {
    if (lineHasWord && line.size() + 1 + word.size() > kLineWidth) {
      out += line;
      out += '\n';
      line = continuation;
      lineHasWord = false;
    }
    if (lineHasWord) line += ' ';
    line += word;
    lineHasWord = true;
  }
  out += line;
}

void appendLines(std::string& out, const std::string& text, const std::string& indent) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find('\n', start);
    out += indent;
    out.append(text, start, end == std::string::npos ? std::string::npos : end - start);
    if (end == std::string::npos) break;
    out += '\n';
    start = end + 1;
  }
}

}  // namespace

void formatText(std::string& out, const std::string& text, const std::string& indent, bool wrap,
                bool terminate) {
  if (wrap) {
    appendWrapped(out, text, indent);
  } else {
    appendLines(out, text, indent);
  }
  if (terminate) out += '\n';
}

long getSequentialID() {
  static std::atomic<long> last{0};
  return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

}  // namespace fcns
}  // namespace zelutil
