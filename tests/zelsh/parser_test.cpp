// Tests of the zelsh lexer and parser: statements left open, nesting limits.
#include <gtest/gtest.h>

#include "interpreter.h"
#include "lexer.h"
#include "parser.h"

namespace zelsh {
namespace {

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

TEST(ZelshParser, IncompleteFunctionsAskForMoreLines) {
  EXPECT_TRUE(Interpreter::isIncomplete("function f(x)\n  disp(x)\n"));
  EXPECT_FALSE(Interpreter::isIncomplete("function f(x)\n  disp(x)\nend\n"));
  EXPECT_FALSE(Interpreter::isIncomplete("x = [1 2\n"));
}

TEST(ZelshParser, HostileNestingIsASyntaxErrorNotACrash) {
  auto repeated = [](const char* part) {
    std::string s;
    for (int i = 0; i < 20000; ++i) s += part;
    return s;
  };
  for (const std::string& text : {"x = " + repeated("(") + "1", "x = " + repeated("-") + "1",
                                  "x = 1" + repeated("+1"), "x = a" + repeated(".b")}) {
    SCOPED_TRACE(text.substr(0, 8));
    std::vector<SyntaxError> errors;
    parseAll(text, &errors);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].message.find("nested too deeply"), std::string::npos);
  }
}

}  // namespace
}  // namespace zelsh
