// Tests of the zelsh lexer and parser: element separation, errors with places, recovery.
#include <gtest/gtest.h>

#include "interpreter.h"
#include "lexer.h"
#include "parser.h"

namespace zelsh {
namespace {

using namespace std::string_literals;

std::vector<StmtPtr> parseAll(const std::string& text, std::vector<SyntaxError>* errors) {
  Parser p(tokenize(text));
  std::vector<StmtPtr> out;
  for (;;) {
    try {
      StmtPtr s = p.next();
      if (!s) break;
      out.push_back(std::move(s));
    } catch (const SyntaxError& e) {
      errors->push_back(e);
    }
  }
  return out;
}

TEST(ZelshParser, WhiteSpaceSeparatesElementsOnlyInsideBrackets) {
  struct Case {
    const char* text;
    std::size_t elements;
  } cases[] = {{"[1 -2]", 2},      {"[1 - 2]", 1},   {"[1-2]", 1},    {"[a -b c]", 3},
               {"[f(1 -2) 3]", 2}, {"[1, 2, 3]", 3}, {"{'a' -1}", 2}, {"[(1 -2)]", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<SyntaxError> errors;
    auto stmts = parseAll(c.text, &errors);
    ASSERT_TRUE(errors.empty());
    ASSERT_EQ(stmts.size(), 1u);
    ASSERT_EQ(stmts[0]->value->rows.size(), 1u);
    EXPECT_EQ(stmts[0]->value->rows[0].size(), c.elements);
  }
}

TEST(ZelshParser, ErrorsNameTheirPlaceAndParsingGoesOnAtTheNextLine) {
  std::vector<SyntaxError> errors;
  auto stmts =
      parseAll("a = 1\nb = [1 2\nc = (3\nd = 'open\ne = 5 $\ng = 'a\0b'\nf = 6\n"s, &errors);
  ASSERT_EQ(errors.size(), 5u);
  EXPECT_EQ(errors[0].message, "Missing ']'");
  EXPECT_EQ(errors[0].line, 2);
  EXPECT_EQ(errors[0].column, 9);
  EXPECT_EQ(errors[1].line, 3);
  EXPECT_EQ(errors[2].message, "Unterminated string");
  EXPECT_EQ(errors[2].line, 4);
  EXPECT_EQ(errors[2].column, 5);
  EXPECT_EQ(errors[3].message, "Unexpected character '$'");
  EXPECT_EQ(errors[4].message, "A string cannot hold a NUL character");
  EXPECT_EQ(errors[4].column, 7);
  ASSERT_EQ(stmts.size(), 2u);
  EXPECT_EQ(stmts[0]->target, "a");
  EXPECT_EQ(stmts[1]->target, "f");
}

TEST(ZelshParser, StatementFormsAndTerminators) {
  std::vector<SyntaxError> errors;
  auto stmts = parseAll("x.A.B = 1; y = 2, disp(y)\nfunction f(a, b)\n  a\nend\n", &errors);
  ASSERT_TRUE(errors.empty());
  ASSERT_EQ(stmts.size(), 4u);
  EXPECT_EQ(stmts[0]->kind, Stmt::kAssign);
  EXPECT_EQ(stmts[0]->fields, (std::vector<std::string>{"A", "B"}));
  EXPECT_TRUE(stmts[0]->silent);
  EXPECT_FALSE(stmts[1]->silent);
  EXPECT_EQ(stmts[2]->kind, Stmt::kExpr);
  EXPECT_EQ(stmts[3]->kind, Stmt::kFunction);
  EXPECT_EQ(stmts[3]->params, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(stmts[3]->body->size(), 1u);
}

TEST(ZelshParser, IncompleteFunctionsAskForMoreLines) {
  EXPECT_TRUE(Interpreter::isIncomplete("function f(x)\n  disp(x)\n"));
  EXPECT_FALSE(Interpreter::isIncomplete("function f(x)\n  disp(x)\nend\n"));
  EXPECT_FALSE(Interpreter::isIncomplete("x = [1 2\n"));
}

TEST(ZelshParser, HostileNestingIsASyntaxErrorNotACrash) {
  std::vector<SyntaxError> errors;
  parseAll("x = " + std::string(20000, '(') + "1", &errors);
  parseAll("x = " + std::string(20000, '-') + "1", &errors);
  std::string chain = "x = 1";
  for (int i = 0; i < 20000; ++i) chain += "+1";
  parseAll(chain, &errors);
  std::string fields = "x = a";
  for (int i = 0; i < 20000; ++i) fields += ".b";
  parseAll(fields, &errors);
  ASSERT_EQ(errors.size(), 4u);
  for (const SyntaxError& e : errors)
    EXPECT_NE(e.message.find("nested too deeply"), std::string::npos);
}

}  // namespace
}  // namespace zelsh
