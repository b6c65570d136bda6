// Tests of the property file linter: each kind of problem found at its line, and clean files.
#include "zelobjsys/property_file_lint.h"

#include <gtest/gtest.h>

#include <fstream>

namespace zelobjsys {
namespace {

const std::string kDataDir = std::string(ZEL_TEST_DATA_DIR) + "/data/";

TEST(PropertyFileLint, FindsEachKindOfProblemAtItsLine) {
  const std::string file = kDataDir + "lint_faults.xml";
  const struct {
    int line;
    const char* id;
    const char* message;  // a part of it
  } expected[] = {
      {5, "unknownType", "Unknown type 'dubble' of 'Range'; did you mean 'double'?"},
      {6, "unknownConstraint", "did you mean 'zeroorpositive'?"},
      {7, "noName", "A property without a name"},
      {9, "duplicateName", "'Offset' is defined again (first at line 8)"},
      {10, "defaultOutOfBounds", "The default 9 of 'Level' is outside its bounds"},
      {11, "defaultNotInEnum", "'fast' of 'Mode' is not among its values (slow)"},
      {14, "minAboveMax", "'Span'"},
      {15, "unknownAttribute", "'readonly' of <Property>; did you mean 'readOnly'?"},
      {16, "unknownElement", "<propertee> in <Section>"},
      {17, "missingSection", "'Missing'"},
      {19, "badNumber", "'many' of 'Count' is no number"},
      {20, "noEnumValues", "'Choice'"},
      {23, "includeCycle", "'Loop'"},
      {25, "helpForUnknownProperty", "'Nothing'"},
      {27, "unknownElement", "<Note> in <AdaptorHelp>"},
  };
  std::vector<LintFinding> found = lintPropertyFile(file);
  ASSERT_EQ(found.size(), std::size(expected));
  for (std::size_t i = 0; i < found.size(); ++i) {
    SCOPED_TRACE(formatFinding(found[i]));
    EXPECT_EQ(found[i].file, file);
    EXPECT_EQ(found[i].line, expected[i].line);
    EXPECT_EQ(found[i].id, std::string("vornix:lint:") + expected[i].id);
    EXPECT_NE(found[i].message.find(expected[i].message), std::string::npos);
  }
}

TEST(PropertyFileLint, ASectionLimitsTheChecksAndUnreadableFilesAreOneFinding) {
  std::string clean = ::testing::TempDir() + "lint_clean.xml";
  std::ofstream(clean) << "<!-- c -->\n<M>\n<Section name='A'>\n"
                          "<property name='P' type='int' constraint='bounded' min='1' "
                          "max='3' default='2'/>\n<include tag='b'/>\n</Section>\n"
                          "<Section name='B'><property name='Q' type='string' "
                          "constraint='none'/></Section>\n"
                          "<Section name='Bad'><property name='P' type='float'/></Section>\n"
                          "<AdaptorHelp property='ErrorFcn'>x</AdaptorHelp>\n</M>\n";
  const struct {
    const char* what;
    std::string file;
    LintOptions options;
    std::vector<std::string> findings;  // "line id"
  } cases[] = {
      {"only the clean class", clean, {"a", {"ErrorFcn"}}, {}},
      {"help for a code property unknown",
       clean,
       {"A", {}},
       {"9 vornix:lint:helpForUnknownProperty"}},
      {"every section", clean, {"", {"ErrorFcn"}}, {"8 vornix:lint:unknownType"}},
      {"a missing section", clean, {"C", {"ErrorFcn"}}, {"2 vornix:lint:missingSection"}},
      {"malformed", kDataDir + "xml_malformed.xml", {}, {"4 vornix:xml:notWellFormed"}},
      {"missing", kDataDir + "no_such.xml", {}, {"0 vornix:xml:cannotRead"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> got;
    for (const LintFinding& f : lintPropertyFile(c.file, c.options)) {
      got.push_back(std::to_string(f.line) + " " + f.id);
    }
    EXPECT_EQ(got, c.findings);
  }
}

}  // namespace
}  // namespace zelobjsys
