// Tests of the property file linter's options that the shell does not pass; every kind of finding
// is in the shell tests (definition_lint.lint).
#include "zelobjsys/property_file_lint.h"

#include <gtest/gtest.h>

namespace zelobjsys {
namespace {

TEST(PropertyFileLint, HelpForAPropertyTheCodeDefinesIsNoFinding) {
  const std::string file = std::string(ZEL_TEST_DATA_DIR) + "/../shell/data/lint_sections.xml";
  EXPECT_TRUE(lintPropertyFile(file, {"a", {"ErrorFcn"}}).empty());
  EXPECT_EQ(lintPropertyFile(file, {"a", {"ErrorFcnX"}}).size(), 1u);
}

}  // namespace
}  // namespace zelobjsys
