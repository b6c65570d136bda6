// The terminal prompt, on libedit (BSD licensed, so products may ship it).
#include "line_editor.h"

#include <histedit.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <sstream>

#include "completion.h"

namespace zelsh {

namespace {

// Events run this often while the prompt waits; short enough that a fast
// timer's ticks show as they happen.
constexpr int kIdlePollMs = 20;
constexpr int kHistorySize = 1000;

std::atomic<bool> resizePending{false};
void onResize(int) { resizePending = true; }

// Characters, not bytes: libedit deletes by character.
int characterCount(const std::string& s) {
  return static_cast<int>(std::count_if(
      s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

int terminalColumns() {
  winsize ws{};
  return ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 ? ws.ws_col : 80;
}

}  // namespace

std::string LineEditor::historyPath(const char* zelshHistory, const char* home) {
  if (zelshHistory != nullptr) return zelshHistory;
  if (home == nullptr || *home == '\0') return "";
  return std::string(home) + "/.zelsh_history";
}

LineEditor::LineEditor(Interpreter& interpreter, std::ostream& out, int fd)
    : interpreter_(interpreter), out_(out), fd_(fd) {
  std::setlocale(LC_CTYPE, "");  // so that libedit reads and shows UTF-8
  history_ = history_init();
  HistEvent ev;
  ::history(history_, &ev, H_SETSIZE, kHistorySize);
  ::history(history_, &ev, H_SETUNIQUE, 1);
  historyFile_ = historyPath(std::getenv("ZELSH_HISTORY"), std::getenv("HOME"));
  if (!historyFile_.empty()) ::history(history_, &ev, H_LOAD, historyFile_.c_str());

  el_ = el_init("zelsh", stdin, stdout, stderr);
  el_set(el_, EL_CLIENTDATA, this);
  el_set(el_, EL_EDITOR, "emacs");
  el_set(el_, EL_SIGNAL, 0);  // SIGINT stays the shell's
  el_set(el_, EL_PROMPT, &LineEditor::promptText);
  el_set(el_, EL_HIST, ::history, history_);
  el_set(el_, EL_GETCFN, &LineEditor::readChar);
  // The wide form keeps the names as given; the narrow one copies and leaks them.
  el_wset(el_, EL_ADDFN, L"zelsh-complete", L"Complete the word at the cursor",
          &LineEditor::completeWord);
  el_wset(el_, EL_ADDFN, L"zelsh-interrupt", L"Drop the line", &LineEditor::interruptLine);
  el_set(el_, EL_BIND, "^I", "zelsh-complete", nullptr);
  el_set(el_, EL_BIND, "^C", "zelsh-interrupt", nullptr);
  el_set(el_, EL_BIND, "^R", "em-inc-search-prev", nullptr);
  // Home, End, Delete and Ctrl+arrows as terminals send them.
  const char* keys[][2] = {
      {"\\e[H", "ed-move-to-beg"},       {"\\eOH", "ed-move-to-beg"},  {"\\e[1~", "ed-move-to-beg"},
      {"\\e[F", "ed-move-to-end"},       {"\\eOF", "ed-move-to-end"},  {"\\e[4~", "ed-move-to-end"},
      {"\\e[3~", "ed-delete-next-char"}, {"\\e[1;5C", "em-next-word"}, {"\\e[1;5D", "ed-prev-word"},
  };
  for (const auto& k : keys) el_set(el_, EL_BIND, k[0], k[1], nullptr);
  el_source(el_, nullptr);  // the user's ~/.editrc may rebind keys
  std::signal(SIGWINCH, onResize);
}

LineEditor::~LineEditor() {
  std::signal(SIGWINCH, SIG_DFL);
  el_end(el_);
  history_end(history_);
}

LineEditor& LineEditor::of(editline* el) {
  void* self = nullptr;
  el_get(el, EL_CLIENTDATA, &self);
  return *static_cast<LineEditor*>(self);
}

char* LineEditor::promptText(editline* el) { return const_cast<char*>(of(el).prompt_.c_str()); }

LineEditor::Result LineEditor::read(const std::string& prompt, std::string& line) {
  prompt_ = prompt;
  interrupted_ = false;
  HostInterruptState::SetInterruptPending(false);  // a Ctrl-C before the prompt is spent
  int count = 0;
  const char* text = el_gets(el_, &count);
  if (interrupted_) {
    HostInterruptState::SetInterruptPending(false);
    return Result::kInterrupted;
  }
  if (text == nullptr || count <= 0) return Result::kEnd;
  line.assign(text, static_cast<std::size_t>(count));
  if (!line.empty() && line.back() == '\n') line.pop_back();
  return Result::kLine;
}

void LineEditor::remember(const std::string& line) {
  if (line.find_first_not_of(" \t") == std::string::npos) return;
  HistEvent ev;
  ::history(history_, &ev, H_ENTER, line.c_str());
  if (historyFile_.empty() || historyWarned_) return;
  if (::history(history_, &ev, H_SAVE, historyFile_.c_str()) < 0) {
    historyWarned_ = true;
    out_ << "Warning (zelsh:history): Cannot write the history file '" << historyFile_
         << "': history is kept for this session only." << std::endl;
  }
}

// Waits for a key while running queued events. A Ctrl-C (the signal
// interrupts the wait) ends the line as if Return was typed, and read drops it.
int LineEditor::readChar(editline* el, wchar_t* out) {
  LineEditor& self = of(el);
  std::mbstate_t state{};
  for (;;) {
    if (resizePending.exchange(false)) el_resize(el);
    // The signal may also come while a key is being handled, not only
    // during the wait.
    if (HostInterruptState::IsInterruptPending()) {
      self.interrupted_ = true;
      *out = L'\n';
      return 1;
    }
    pollfd p{self.fd_, POLLIN, 0};
    int ready = poll(&p, 1, kIdlePollMs);
    if (ready == 0) {
      self.runIdleEvents();
      continue;
    }
    unsigned char byte = 0;
    ssize_t n = ready < 0 ? -1 : ::read(self.fd_, &byte, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n == 0 ? 0 : -1;
    wchar_t wc = 0;
    std::size_t used = std::mbrtowc(&wc, reinterpret_cast<const char*>(&byte), 1, &state);
    if (used == static_cast<std::size_t>(-2)) continue;  // more bytes of the character follow
    if (used == static_cast<std::size_t>(-1)) {
      state = std::mbstate_t{};  // not valid in this encoding: dropped
      continue;
    }
    *out = wc;
    return 1;
  }
}

// Runs the queued events; whatever they print goes above the prompt, which is
// then drawn again with the half-typed line.
void LineEditor::runIdleEvents() {
  std::ostringstream captured;
  std::streambuf* previous = out_.rdbuf(captured.rdbuf());
  interpreter_.processEvents();
  out_.rdbuf(previous);
  std::string text = captured.str();
  if (text.empty()) return;
  // From the first row of the prompt down, everything is drawn anew.
  const LineInfo* info = el_line(el_);
  std::size_t column =
      prompt_.size() +
      static_cast<std::size_t>(characterCount(std::string(info->buffer, info->cursor)));
  std::size_t rowsUp = column / static_cast<std::size_t>(terminalColumns());
  std::string shown = rowsUp > 0 ? "\033[" + std::to_string(rowsUp) + "A" : "";
  shown += "\r\033[J";
  for (char c : text) shown += c == '\n' ? std::string("\r\n") : std::string(1, c);
  if (text.back() != '\n') shown += "\r\n";
  out_ << shown << std::flush;
  el_set(el_, EL_REFRESH);
}

unsigned char LineEditor::interruptLine(editline* el, int) {
  of(el).interrupted_ = true;
  return CC_NEWLINE;
}

unsigned char LineEditor::completeWord(editline* el, int) {
  LineEditor& self = of(el);
  const LineInfo* info = el_line(el);
  std::string line(info->buffer, info->lastchar);
  std::size_t cursor = static_cast<std::size_t>(info->cursor - info->buffer);
  Completion c = complete(self.interpreter_, line, cursor);
  if (c.candidates.empty()) return CC_REFRESH_BEEP;
  std::string typed = line.substr(c.start, cursor - c.start);
  bool unique = c.candidates.size() == 1;
  std::string replacement = unique ? c.candidates[0] : commonPrefix(c.candidates, c.ignoreCase);
  if (replacement.size() < typed.size()) replacement = typed;
  if (unique && c.quote != '\0' && replacement.back() != '/') replacement += c.quote;
  if (replacement != typed) {
    el_deletestr(el, characterCount(typed));
    el_insertstr(el, replacement.c_str());
    return CC_REFRESH;
  }
  if (unique) return CC_REFRESH;
  self.listCandidates(c.candidates);
  return CC_REDISPLAY;
}

// In columns across the terminal, as shells list file names.
void LineEditor::listCandidates(const std::vector<std::string>& candidates) {
  std::size_t width = 0;
  for (const std::string& c : candidates) width = std::max(width, c.size());
  width += 2;
  std::size_t perRow = std::max<std::size_t>(1, terminalColumns() / width);
  std::size_t rows = (candidates.size() + perRow - 1) / perRow;
  std::string text = "\r\n";
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t i = r; i < candidates.size(); i += rows) {
      std::string cell = candidates[i];
      if (i + rows < candidates.size()) cell.resize(width, ' ');
      text += cell;
    }
    text += "\r\n";
  }
  out_ << text << std::flush;
}

}  // namespace zelsh
