// The zelsh parser.
#include "parser.h"

#include <cstring>

namespace zelsh {

namespace {

constexpr int kMaxNesting = 200;

ExprPtr makeExpr(Expr::Kind kind, const Token& at) {
  auto e = std::make_unique<Expr>();
  e->kind = kind;
  e->line = at.line;
  e->column = at.column;
  return e;
}

std::string describe(const Token& t) {
  switch (t.kind) {
    case Tok::kEnd:
      return "end of input";
    case Tok::kNewline:
      return "end of line";
    case Tok::kString:
      return "a string";
    default:
      return "'" + t.text + "'";
  }
}

}  // namespace

Parser::Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

const Token& Parser::peek(std::size_t ahead) const {
  std::size_t i = pos_ + ahead;
  return i < tokens_.size() ? tokens_[i] : tokens_.back();
}

const Token& Parser::take() {
  const Token& t = peek();
  if (pos_ < tokens_.size() - 1) ++pos_;
  return t;
}

bool Parser::isOp(const char* op, std::size_t ahead) const {
  const Token& t = peek(ahead);
  return t.kind == Tok::kOp && t.text == op;
}

bool Parser::acceptOp(const char* op) {
  if (!isOp(op)) return false;
  take();
  return true;
}

void Parser::expectOp(const char* op, const char* what) {
  if (!acceptOp(op)) fail(std::string("Expected ") + what + ", found " + describe(peek()), peek());
}

void Parser::fail(const std::string& message, const Token& at) const {
  throw SyntaxError{at.kind == Tok::kError ? at.text : message, at.line, at.column};
}

void Parser::skipLine() {
  while (peek().kind != Tok::kNewline && peek().kind != Tok::kEnd) take();
  if (peek().kind == Tok::kNewline) take();
}

void Parser::skipBlankLines() {
  while (peek().kind == Tok::kNewline || isOp(";") || isOp(",")) take();
}

StmtPtr Parser::next() {
  skipBlankLines();
  if (peek().kind == Tok::kEnd) return nullptr;
  std::size_t start = pos_;
  try {
    return statement();
  } catch (const SyntaxError&) {
    matrixDepth_ = 0;
    nesting_ = 0;
    if (pos_ == start) take();
    // A broken function definition is skipped whole, up to its "end".
    if (tokens_[start].kind == Tok::kKeyword && tokens_[start].text == "function") {
      while (peek().kind != Tok::kEnd && !(peek().kind == Tok::kKeyword && peek().text == "end")) {
        take();
      }
      if (peek().kind != Tok::kEnd) take();
    }
    skipLine();
    throw;
  }
}

StmtPtr Parser::statement() {
  const Token& first = peek();
  if (first.kind == Tok::kKeyword && first.text == "function") return functionDefinition();
  if (first.kind == Tok::kKeyword && first.text == "end") fail("Unexpected 'end'", first);
  auto s = std::make_unique<Stmt>();
  s->line = first.line;
  s->column = first.column;
  if (isHelpCommand()) {  // "help NAME" reads better than help('NAME')
    s->kind = Stmt::kExpr;
    const Token& help = take();
    s->value = makeExpr(Expr::kCall, help);
    s->value->text = help.text;
    const Token& word = take();
    ExprPtr name = makeExpr(Expr::kString, word);
    name->text = word.text;
    s->value->args.push_back(std::move(name));
    finishStatement(*s);
    return s;
  }
  if (looksLikeAssignment()) {
    s->kind = Stmt::kAssign;
    s->target = take().text;
    while (acceptOp(".")) s->fields.push_back(take().text);
    expectOp("=", "'='");
  } else {
    s->kind = Stmt::kExpr;
  }
  s->value = expression();
  finishStatement(*s);
  return s;
}

bool Parser::isHelpCommand() const {
  const Token& name = peek(1);
  bool word = (name.kind == Tok::kIdent || name.kind == Tok::kKeyword) && name.spaceBefore;
  Tok after = peek(2).kind;
  return peek().kind == Tok::kIdent && peek().text == "help" && word &&
         (after == Tok::kNewline || after == Tok::kEnd || isOp(";", 2) || isOp(",", 2));
}

bool Parser::looksLikeAssignment() const {
  if (peek().kind != Tok::kIdent) return false;
  std::size_t i = 1;
  while (isOp(".", i) && peek(i + 1).kind == Tok::kIdent) i += 2;
  return isOp("=", i);
}

bool Parser::finishStatement(Stmt& s) {
  if (acceptOp(";")) {
    s.silent = true;
  } else if (acceptOp(",")) {
  } else if (peek().kind == Tok::kNewline) {
    take();
  } else if (peek().kind != Tok::kEnd) {
    fail("Unexpected " + describe(peek()), peek());
  }
  return s.silent;
}

StmtPtr Parser::functionDefinition() {
  auto s = std::make_unique<Stmt>();
  const Token& kw = take();
  s->kind = Stmt::kFunction;
  s->line = kw.line;
  s->column = kw.column;
  if (peek().kind != Tok::kIdent) fail("Expected a function name", peek());
  s->target = take().text;
  if (acceptOp("(")) {
    if (!acceptOp(")")) {
      do {
        if (peek().kind != Tok::kIdent) fail("Expected a parameter name", peek());
        s->params.push_back(take().text);
      } while (acceptOp(","));
      expectOp(")", "')'");
    }
  }
  s->body = std::make_shared<std::vector<StmtPtr>>();
  for (;;) {
    skipBlankLines();
    const Token& t = peek();
    if (t.kind == Tok::kEnd) {
      endedInsideFunction_ = true;
      fail("Missing 'end' of function '" + s->target + "'", t);
    }
    if (t.kind == Tok::kKeyword && t.text == "end") {
      take();
      break;
    }
    if (t.kind == Tok::kKeyword && t.text == "function") fail("Functions cannot be nested", t);
    s->body->push_back(statement());
  }
  s->silent = true;
  if (peek().kind != Tok::kEnd) finishStatement(*s);
  return s;
}

ExprPtr Parser::expression() {
  if (nesting_ >= kMaxNesting) fail("Expression is nested too deeply", peek());
  ++nesting_;
  struct Unnest {
    int& n;
    ~Unnest() { --n; }
  } unnest{nesting_};
  return comparison();
}

// A chain "a + b + c ..." builds a tree as deep as it is long; bound it like
// nesting.
void Parser::checkChain(int ops) const {
  if (nesting_ + ops > kMaxNesting) fail("Expression is nested too deeply", peek());
}

// One level of left-associative binary operators: operand (op operand)*.
ExprPtr Parser::binaryLevel(std::initializer_list<const char*> ops, ExprPtr (Parser::*operand)()) {
  int count = 0;
  ExprPtr left = (this->*operand)();
  for (;;) {
    const char* found = nullptr;
    for (const char* op : ops) {
      if (isOp(op)) found = op;
    }
    if (found == nullptr || elementEnds()) return left;
    checkChain(++count);
    ExprPtr e = makeExpr(Expr::kBinary, take());
    e->text = found;
    e->left = std::move(left);
    e->right = (this->*operand)();
    left = std::move(e);
  }
}

ExprPtr Parser::comparison() {
  return binaryLevel({"==", "!=", "<", "<=", ">", ">="}, &Parser::additive);
}

ExprPtr Parser::additive() { return binaryLevel({"+", "-"}, &Parser::multiplicative); }

ExprPtr Parser::multiplicative() { return binaryLevel({"*", "/"}, &Parser::unary); }

// Inside [] and {}, white space separates elements: "[1 -2]" has two
// elements, while "[1 - 2]" and "[1-2]" have one.
bool Parser::elementEnds() const {
  if (matrixDepth_ == 0) return false;
  const Token& t = peek();
  if (!t.spaceBefore) return false;
  if (t.kind == Tok::kOp && (t.text == "+" || t.text == "-")) return !peek(1).spaceBefore;
  return false;
}

ExprPtr Parser::unary() {
  if (isOp("-") || isOp("+")) {
    if (nesting_ >= kMaxNesting) fail("Expression is nested too deeply", peek());
    ++nesting_;
    struct Unnest {
      int& n;
      ~Unnest() { --n; }
    } unnest{nesting_};
    const Token& t = take();
    ExprPtr e = makeExpr(Expr::kUnary, t);
    e->text = t.text;
    e->left = unary();
    return e;
  }
  return postfix();
}

ExprPtr Parser::postfix() {
  int ops = 0;
  ExprPtr e = primary();
  for (;;) {
    if (isOp(".") && !(matrixDepth_ > 0 && peek().spaceBefore)) {
      checkChain(++ops);
      const Token& dot = take();
      if (peek().kind != Tok::kIdent && peek().kind != Tok::kKeyword) {
        fail("Expected a field name after '.'", peek());
      }
      ExprPtr f = makeExpr(Expr::kField, dot);
      f->text = take().text;
      f->left = std::move(e);
      e = std::move(f);
    } else {
      return e;
    }
  }
}

ExprPtr Parser::primary() {
  const Token& t = peek();
  switch (t.kind) {
    case Tok::kNumber: {
      ExprPtr e = makeExpr(Expr::kNumber, take());
      e->number = t.number;
      return e;
    }
    case Tok::kString: {
      ExprPtr e = makeExpr(Expr::kString, t);
      e->text = take().text;
      return e;
    }
    case Tok::kKeyword:
      if (t.text == "true" || t.text == "false") {
        ExprPtr e = makeExpr(Expr::kBool, t);
        e->number = t.text == "true" ? 1 : 0;
        take();
        return e;
      }
      fail("Unexpected '" + t.text + "'", t);
    case Tok::kIdent: {
      ExprPtr e = makeExpr(Expr::kIdent, t);
      e->text = take().text;
      if (isOp("(") && !(matrixDepth_ > 0 && peek().spaceBefore)) {
        take();
        e->kind = Expr::kCall;
        int saved = matrixDepth_;
        matrixDepth_ = 0;
        if (!acceptOp(")")) {
          do {
            e->args.push_back(expression());
          } while (acceptOp(","));
          expectOp(")", "')' to close the argument list");
        }
        matrixDepth_ = saved;
      }
      return e;
    }
    case Tok::kOp:
      if (t.text == "(") {
        take();
        int saved = matrixDepth_;
        matrixDepth_ = 0;
        ExprPtr e = expression();
        expectOp(")", "')'");
        matrixDepth_ = saved;
        return e;
      }
      if (t.text == "[") return literalRows("]", Expr::kMatrix);
      if (t.text == "{") return literalRows("}", Expr::kCell);
      if (t.text == "@") {
        ExprPtr e = makeExpr(Expr::kHandle, take());
        if (peek().kind != Tok::kIdent) fail("Expected a function name after '@'", peek());
        e->text = take().text;
        return e;
      }
      fail("Unexpected " + describe(t), t);
    default:
      fail("Unexpected " + describe(t), t);
  }
}

ExprPtr Parser::literalRows(const char* close, Expr::Kind kind) {
  ExprPtr e = makeExpr(kind, take());
  ++matrixDepth_;
  e->rows.emplace_back();
  for (;;) {
    if (acceptOp(close)) break;
    if (peek().kind == Tok::kEnd) fail(std::string("Expected '") + close + "'", peek());
    if (peek().kind == Tok::kNewline) fail(std::string("Missing '") + close + "'", peek());
    if (acceptOp(";")) {
      if (!e->rows.back().empty()) e->rows.emplace_back();
      continue;
    }
    if (acceptOp(",")) continue;
    e->rows.back().push_back(expression());
    const Token& after = peek();
    bool separated = after.spaceBefore ||
                     (after.kind == Tok::kOp && std::strchr(",;]}", after.text[0])) ||
                     after.kind == Tok::kNewline;
    if (!separated) fail("Unexpected " + describe(after), after);
  }
  if (e->rows.back().empty()) e->rows.pop_back();
  --matrixDepth_;
  return e;
}

}  // namespace zelsh
