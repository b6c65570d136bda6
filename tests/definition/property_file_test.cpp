// Tests of the product kit's property files from C++: the search folder and the reader's lifetime.
// What comes before the root element and missing sections are in the shell tests.
#include "zelobjsys/property_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "common/test_product.h"
#include "zelobjsys/application_manager.h"
#include "zelobjsys/product_schema.h"

namespace zelobjsys {
namespace {

TEST(PropertyFileTest, RelativeNamesUseTheSearchFolderAndTheFileIsNotKept) {
  testproduct::startTestProduct();  // the factory reaches the application manager
  const std::string dir = ::testing::TempDir();
  std::ofstream(dir + "kit_found.xml")
      << "<M><Section name='S'><property name='P' type='string' constraint='none'/></Section></M>";
  const struct {
    const char* name;
    std::string searchDir;
    const char* error;  // "" when it defines P
  } cases[] = {
      {"kit_found.xml", dir, ""},
      {"kit_found.xml", "", "vornix:xml:cannotRead"},
      {"kit_missing.xml", dir, "vornix:xml:cannotRead"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " in '" + c.searchDir + "'");
    ProductSchema schema("KitFound");
    ProductFactory factory(&schema, nullptr);
    std::string error;
    try {
      definePropertiesFromFile(factory, c.name, "S", c.searchDir);
    } catch (zelutil::ZLException* e) {
      std::unique_ptr<zelutil::ZLException> owned(e);
      error = e->getID();
    }
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(testproduct::recordOf(&schema, "P") != nullptr, *c.error == '\0');
    EXPECT_EQ(factory.getXMLReader(), nullptr);
  }
  testproduct::stopTestProduct();
}

}  // namespace
}  // namespace zelobjsys
