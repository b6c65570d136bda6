// The zelsh lexer.
#include "lexer.h"

#include <cctype>
#include <cstdlib>

namespace zelsh {

namespace {

bool isIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool isIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

class Lexer {
 public:
  Lexer(const std::string& text, int firstLine) : s_(text), line_(firstLine) {}

  std::vector<Token> run() {
    while (pos_ < s_.size()) {
      try {
        step();
      } catch (const SyntaxError& e) {
        push(Tok::kError, e.message, e.line, e.column);
        while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
      }
    }
    push(Tok::kEnd, "", line_, col());
    return std::move(out_);
  }

 private:
  int col() const { return static_cast<int>(pos_ - lineStart_) + 1; }
  char peek(std::size_t ahead = 0) const {
    return pos_ + ahead < s_.size() ? s_[pos_ + ahead] : '\0';
  }

  void push(Tok kind, std::string text, int line, int column) {
    Token t;
    t.kind = kind;
    t.text = std::move(text);
    t.line = line;
    t.column = column;
    t.spaceBefore = space_;
    out_.push_back(std::move(t));
    space_ = false;
  }

  void step() {
    char c = peek();
    if (c == ' ' || c == '\t' || c == '\r') {
      ++pos_;
      space_ = true;
    } else if (c == '#') {
      while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
    } else if (c == '\n') {
      push(Tok::kNewline, "\n", line_, col());
      ++pos_;
      ++line_;
      lineStart_ = pos_;
    } else if (c == '\'' || c == '"') {
      string(c);
    } else if (isDigit(c) || (c == '.' && isDigit(peek(1)))) {
      number();
    } else if (isIdentStart(c)) {
      ident();
    } else {
      op();
    }
  }

  void string(char quote) {
    int line = line_, column = col();
    ++pos_;
    std::string text;
    for (;;) {
      if (pos_ >= s_.size() || s_[pos_] == '\n') {
        throw SyntaxError{"Unterminated string", line, column};
      }
      // Host strings end at a NUL: a string holding one would be cut short.
      if (s_[pos_] == '\0') throw SyntaxError{"A string cannot hold a NUL character", line_, col()};
      char c = s_[pos_++];
      if (c == quote) {
        if (peek() != quote) break;
        ++pos_;  // a doubled quote stands for itself
      }
      text += c;
    }
    push(Tok::kString, std::move(text), line, column);
  }

  void number() {
    int column = col();
    std::size_t start = pos_;
    while (isDigit(peek())) ++pos_;
    if (peek() == '.' && !(peek(1) == '*' || peek(1) == '/')) {
      ++pos_;
      while (isDigit(peek())) ++pos_;
    }
    if ((peek() == 'e' || peek() == 'E') &&
        (isDigit(peek(1)) || ((peek(1) == '+' || peek(1) == '-') && isDigit(peek(2))))) {
      pos_ += 2;
      while (isDigit(peek())) ++pos_;
    }
    if (isIdentStart(peek())) throw SyntaxError{"Invalid number", line_, column};
    push(Tok::kNumber, s_.substr(start, pos_ - start), line_, column);
    out_.back().number = std::strtod(out_.back().text.c_str(), nullptr);
  }

  void ident() {
    int column = col();
    std::size_t start = pos_;
    while (isIdentChar(peek())) ++pos_;
    std::string word = s_.substr(start, pos_ - start);
    bool keyword = word == "function" || word == "end" || word == "true" || word == "false";
    push(keyword ? Tok::kKeyword : Tok::kIdent, std::move(word), line_, column);
  }

  void op() {
    int column = col();
    char c = peek();
    char n = peek(1);
    static const char* const two[] = {"==", "!=", "<=", ">=", "~="};
    for (const char* t : two) {
      if (c == t[0] && n == t[1]) {
        pos_ += 2;
        push(Tok::kOp, std::string(t) == "~=" ? "!=" : t, line_, column);
        return;
      }
    }
    if (std::string("+-*/<>=.,;()[]{}@").find(c) == std::string::npos || c == '\0') {
      std::string shown =
          std::isprint(static_cast<unsigned char>(c)) ? std::string(1, c) : std::string("?");
      throw SyntaxError{"Unexpected character '" + shown + "'", line_, column};
    }
    ++pos_;
    push(Tok::kOp, std::string(1, c), line_, column);
  }

  const std::string& s_;
  std::size_t pos_ = 0;
  std::size_t lineStart_ = 0;
  int line_;
  bool space_ = false;
  std::vector<Token> out_;
};

}  // namespace

std::vector<Token> tokenize(const std::string& text, int firstLine) {
  return Lexer(text, firstLine).run();
}

}  // namespace zelsh
