// Tests of the product kit's property files: finding the root element and the section.
#include "zelobjsys/property_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "common/test_product.h"
#include "zelobjsys/application_manager.h"
#include "zelobjsys/product_schema.h"

namespace zelobjsys {
namespace {

using testproduct::recordOf;

class PropertyFileTest : public ::testing::Test {
 protected:
  // The factory reaches the application manager: nothing outlives the test.
  void SetUp() override { testproduct::startTestProduct(); }
  void TearDown() override { testproduct::stopTestProduct(); }

  // Writes `text` into a file of the test's own folder; its path.
  std::string write(const std::string& name, const std::string& text) {
    std::string path = ::testing::TempDir() + name;
    std::ofstream(path) << text;
    return path;
  }
};

TEST_F(PropertyFileTest, TheSectionIsFoundWhateverPrecedesTheRootElement) {
  const std::string body =
      "<Meter><Section name='Basic'>"
      "<property name='Range' type='double' constraint='bounded' min='0' max='5' default='1'/>"
      "</Section></Meter>";
  const struct {
    const char* what;
    std::string prefix;
  } cases[] = {
      {"nothing", ""},
      {"declaration and comment", "<?xml version='1.0'?>\n<!-- meter -->\n"},
      {"processing instruction", "<?style sheet?>"},
      {"document type", "<!DOCTYPE Meter>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ProductSchema schema("KitMeter");
    ProductFactory factory(&schema, nullptr);
    definePropertiesFromFile(factory, write("kit_meter.xml", c.prefix + body), "basic");
    PropInfo* range = recordOf(&schema, "Range");
    ASSERT_NE(range, nullptr);
    EXPECT_EQ(factory.getXMLReader(), nullptr);  // the file is not kept
  }
}

TEST_F(PropertyFileTest, MissingFilesAndSectionsAreNamedAndRelativeNamesUseTheSearchFolder) {
  const std::string dir = ::testing::TempDir();
  write("kit_found.xml",
        "<M><Section name='S'><property name='P' type='string' constraint='none'/></Section></M>");
  const struct {
    const char* name;
    const char* section;
    std::string searchDir;
    const char* error;  // "" when it defines P
  } cases[] = {
      {"kit_found.xml", "S", dir, ""},
      {"kit_found.xml", "T", dir,
       "vornix:xml:sectionNotFound|The property file 'kit_found.xml' has no section 'T'."},
      {"kit_found.xml", "S", "", "vornix:xml:cannotRead"},
      {"kit_missing.xml", "S", dir, "vornix:xml:cannotRead"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.section + " in '" + c.searchDir + "'");
    ProductSchema schema("KitFound");
    ProductFactory factory(&schema, nullptr);
    std::string error;
    try {
      definePropertiesFromFile(factory, c.name, c.section, c.searchDir);
    } catch (zelutil::ZLException* e) {
      std::unique_ptr<zelutil::ZLException> owned(e);
      error = std::string(e->getID()) + "|" + e->getMessage();
    }
    EXPECT_EQ(error.substr(0, std::strlen(c.error)), c.error);
    EXPECT_EQ(recordOf(&schema, "P") != nullptr, *c.error == '\0');
  }
}

}  // namespace
}  // namespace zelobjsys
