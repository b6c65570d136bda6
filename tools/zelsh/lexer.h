// The zelsh lexer: turns script text into tokens that carry their line and column.
#ifndef ZELSH_LEXER_H
#define ZELSH_LEXER_H

#include <string>
#include <vector>

namespace zelsh {

enum class Tok {
  kNumber,
  kString,
  kIdent,
  kKeyword,  // function, end, true, false
  kOp,       // + - * / == != < <= > >= = . , ; ( ) [ ] { } @
  kNewline,
  kError,  // text that starts no token; text is the message
  kEnd,
};

struct Token {
  Tok kind;
  std::string text;  // identifier, keyword, operator, or the string's contents
  double number = 0;
  int line = 1;
  int column = 1;
  // Whether white space stood right before the token: inside brackets, "1 -2"
  // is two elements but "1 - 2" and "1-2" are one.
  bool spaceBefore = false;
};

// A syntax error at a place in the text.
struct SyntaxError {
  std::string message;
  int line;
  int column;
};

// Splits text into tokens; the last token is kEnd. An unterminated string or a
// character that starts no token becomes a kError token and the rest of that
// line is skipped, so that the statements before it still run. "#" starts a
// comment to the end of the line (outside strings).
std::vector<Token> tokenize(const std::string& text, int firstLine = 1);

}  // namespace zelsh

#endif  // ZELSH_LEXER_H
