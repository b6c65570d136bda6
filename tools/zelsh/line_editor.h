// The prompt at a terminal: line editing, history kept across sessions, Tab
// completion, and queued events run while the user reads or types.
#ifndef ZELSH_LINE_EDITOR_H
#define ZELSH_LINE_EDITOR_H

#include <ostream>
#include <string>

#include "interpreter.h"

struct editline;
struct history;

namespace zelsh {

class LineEditor {
 public:
  enum class Result { kLine, kEnd, kInterrupted };

  // fd and standard output must be a terminal. The history file is
  // $ZELSH_HISTORY, else ~/.zelsh_history.
  LineEditor(Interpreter& interpreter, std::ostream& out, int fd);
  ~LineEditor();
  LineEditor(const LineEditor&) = delete;
  LineEditor& operator=(const LineEditor&) = delete;

  // Shows the prompt and reads one line (without its newline). Ctrl-C gives
  // kInterrupted with the line dropped; Ctrl-D on an empty line gives kEnd.
  Result read(const std::string& prompt, std::string& line);
  // Keeps a line in the history (and the history file).
  void remember(const std::string& line);

  // The history file for an environment's values (empty: none).
  static std::string historyPath(const char* zelshHistory, const char* home);

 private:
  static int readChar(editline* el, wchar_t* out);
  static unsigned char completeWord(editline* el, int key);
  static unsigned char interruptLine(editline* el, int key);
  static char* promptText(editline* el);
  static LineEditor& of(editline* el);
  void runIdleEvents();
  void listCandidates(const std::vector<std::string>& candidates);

  Interpreter& interpreter_;
  std::ostream& out_;
  int fd_;
  editline* el_;
  history* history_;
  std::string historyFile_;
  std::string prompt_;
  bool interrupted_ = false;
  bool historyWarned_ = false;
};

}  // namespace zelsh

#endif  // ZELSH_LINE_EDITOR_H
