// The zelsh parser: statements one at a time, so that a script runs up to a syntax error and on
// after it.
#ifndef ZELSH_PARSER_H
#define ZELSH_PARSER_H

#include <initializer_list>
#include <vector>

#include "ast.h"
#include "lexer.h"

namespace zelsh {

class Parser {
 public:
  explicit Parser(std::vector<Token> tokens);

  // The next statement, or null at the end of the text. Throws SyntaxError;
  // after one, the parser has skipped to the start of the next line, so the
  // caller may go on.
  StmtPtr next();
  // Whether the text ended inside a function definition (the interactive
  // shell then reads more lines).
  bool endedInsideFunction() const { return endedInsideFunction_; }

 private:
  const Token& peek(std::size_t ahead = 0) const;
  const Token& take();
  bool isOp(const char* op, std::size_t ahead = 0) const;
  bool acceptOp(const char* op);
  void expectOp(const char* op, const char* what);
  [[noreturn]] void fail(const std::string& message, const Token& at) const;
  void skipLine();
  void skipBlankLines();

  StmtPtr statement();
  StmtPtr functionDefinition();
  bool finishStatement(Stmt& s);
  bool looksLikeAssignment() const;
  bool isHelpCommand() const;

  ExprPtr binaryLevel(std::initializer_list<const char*> ops, ExprPtr (Parser::*operand)());
  ExprPtr expression();
  ExprPtr comparison();
  ExprPtr additive();
  ExprPtr multiplicative();
  ExprPtr unary();
  ExprPtr postfix();
  ExprPtr primary();
  ExprPtr literalRows(const char* close, Expr::Kind kind);
  bool elementEnds() const;
  void checkChain(int ops) const;

  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
  int matrixDepth_ = 0;  // inside [] or {} (and not inside parentheses there)
  int nesting_ = 0;      // expression depth, bounded so hostile text cannot exhaust the stack
  bool endedInsideFunction_ = false;
};

}  // namespace zelsh

#endif  // ZELSH_PARSER_H
