// Tests of property files from C++: no search folder, the reader's lifetime, the linter's options
// that the shell does not pass. Bundled files, what precedes the root element, missing sections and
// every kind of finding (definition_lint.lint) are in the shell tests.
#include "zelobjsys/property_file.h"

#include <gtest/gtest.h>

#include <fstream>

#include "common/test_product.h"
#include "zelobjsys/product_schema.h"
#include "zelobjsys/property_file_lint.h"

namespace zelobjsys {
namespace {

TEST(PropertyFileTest, WithoutASearchFolderOnlyTheCurrentOneIsSearchedAndTheFileIsNotKept) {
  testproduct::startTestProduct();  // the factory reaches the application manager
  const std::string dir = ::testing::TempDir();
  std::ofstream(dir + "kit_found.xml")
      << "<M><Section name='S'><property name='P' type='string' constraint='none'/></Section></M>";
  for (const std::string& searchDir : {dir, std::string()}) {
    SCOPED_TRACE(searchDir);
    ProductSchema schema("KitFound");
    ProductFactory factory(&schema, nullptr);
    std::string error = "(none)";
    try {
      definePropertiesFromFile(factory, "kit_found.xml", "S", searchDir);
    } catch (zelutil::ZLException* e) {
      std::unique_ptr<zelutil::ZLException> owned(e);
      error = e->getID();
    }
    EXPECT_EQ(error, searchDir.empty() ? "vornix:xml:cannotRead" : "(none)");
    EXPECT_EQ(testproduct::recordOf(&schema, "P") != nullptr, !searchDir.empty());
    EXPECT_EQ(factory.getXMLReader(), nullptr);
  }
  testproduct::stopTestProduct();
}

TEST(PropertyFileLint, HelpForAPropertyTheCodeDefinesIsNoFinding) {
  const std::string file = std::string(ZEL_TEST_DATA_DIR) + "/../shell/data/lint_sections.xml";
  EXPECT_TRUE(lintPropertyFile(file, {"a", {"ErrorFcn"}}).empty());
  EXPECT_EQ(lintPropertyFile(file, {"a", {"ErrorFcnX"}}).size(), 1u);
}

}  // namespace
}  // namespace zelobjsys
