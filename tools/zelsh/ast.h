// The zelsh syntax tree: expressions and statements.
#ifndef ZELSH_AST_H
#define ZELSH_AST_H

#include <memory>
#include <string>
#include <vector>

namespace zelsh {

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
  enum Kind {
    kNumber,
    kString,
    kBool,
    kIdent,
    kMatrix,
    kCell,
    kHandle,
    kField,
    kCall,
    kUnary,
    kBinary
  };
  Kind kind;
  int line = 0;
  int column = 0;
  double number = 0;
  std::string text;  // string contents, identifier, field or function name, operator
  ExprPtr left;      // operand, object of a field access
  ExprPtr right;
  std::vector<ExprPtr> args;               // call arguments
  std::vector<std::vector<ExprPtr>> rows;  // matrix and cell literals
};

struct Stmt;
using StmtPtr = std::unique_ptr<Stmt>;

struct Stmt {
  enum Kind { kExpr, kAssign, kFunction };
  Kind kind;
  int line = 0;
  int column = 0;
  bool silent = false;                         // ended with ";"
  std::string target;                          // assignment: the variable; function: its name
  std::vector<std::string> fields;             // assignment: x.A.B = ... gives {A, B}
  ExprPtr value;                               // assignment right side, or the expression
  std::vector<std::string> params;             // function parameters
  std::shared_ptr<std::vector<StmtPtr>> body;  // function body (shared with the definition)
};

}  // namespace zelsh

#endif  // ZELSH_AST_H
