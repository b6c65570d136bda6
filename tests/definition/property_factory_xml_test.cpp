// Tests of PropertyFactory's XML operations that only C++ reaches: the cursor, the order of
// definition, expansion limits. Definitions from files and the lookups of sections and help are
// in the shell scripts (definition_types.zel, definition_lookup.zel).
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "common/test_product.h"
#include "zelobjsys/property_file.h"
#include "zelobjsys/xml_prop_reader.h"

namespace zelobjsys {
namespace {

using namespace testproduct;

// The names of a class's properties in the order they were added, joined by spaces.
std::string propertyNames(QxClass* cls) {
  std::string names;
  QxBreadthOnlyIterator props(cls->getProperties(), false);
  while (props.hasMoreElements()) {
    names += (names.empty() ? "" : " ") +
             std::string(static_cast<QxPropInfo*>(props.nextElement()->getObject())->getName());
  }
  return names;
}

std::string intProperty(const std::string& name) {
  return "<property name=\"" + name + "\" type=\"int\" constraint=\"none\"/>";
}

class PropertyFactoryXMLTest : public ::testing::Test {
 protected:
  void SetUp() override {
    manager_ = ApplicationManager::getInstance();
    manager_->addProductApplication(kProductName);
  }
  void TearDown() override { stopTestProduct(); }
  // A reader over <Device>properties</Device> with all marks on Device.
  std::unique_ptr<XMLPropReader> device(const std::string& properties) {
    auto reader = std::make_unique<XMLPropReader>("<Device>" + properties + "</Device>");
    markRootElement(*reader);
    return reader;
  }
  TestSchema* newClass() {
    auto* schema = new TestSchema(("Dev" + std::to_string(classes_++)).c_str());
    EXPECT_TRUE(manager_->addProductClass(kProductName, schema));
    return schema;
  }

  ApplicationManager* manager_ = nullptr;
  int classes_ = 0;
};

TEST_F(PropertyFactoryXMLTest, CreatePropFromXMLSearchesTheDeviceRootByExactName) {
  std::unique_ptr<XMLPropReader> reader = device(R"(
      <property name="P" type="double" constraint="positive"/>
      <property name="P" type="double" constraint="none" default="4" optional="on"/>
      <property name="Q" type="double" constraint="none" default="1"/>)");
  TestSchema* schema = newClass();
  Factory f(schema, "");
  EXPECT_EQ(f.createPropFromXML("P"), nullptr);  // no reader yet
  f.setXMLReader(reader.get());
  reader->gotoDeviceRoot();
  reader->gotoFirstChild();
  const void* before = reader->getBookmark();
  void* p = f.createPropFromXML("P");  // the first definition yields nothing: the next is tried
  EXPECT_EQ(reader->getBookmark(), before);
  ASSERT_NE(p, nullptr);
  for (const char* other : {"p", static_cast<const char*>(nullptr), "Missing"})
    EXPECT_EQ(f.createPropFromXML(other), nullptr);
  f.addProperty(p, false);
  EXPECT_EQ(hvGetScalar(recordOf(schema, "P")->getPIDefaultValue()), 4);
  EXPECT_EQ(propertyNames(schema), "P");  // Q is not added by createPropFromXML
}

TEST_F(PropertyFactoryXMLTest, SectionsDefineInFileOrderAndParseFromTheCursor) {
  XMLPropReader reader((std::string(ZEL_TEST_DATA_DIR) + "/data/factory_device.xml").c_str());
  markRootElement(reader);
  TestSchema* schema = newClass();
  Factory f(schema, "");
  f.setXMLReader(&reader);
  f.includeXMLSection("main", false);
  f.includeXMLSection(nullptr, true);
  EXPECT_EQ(propertyNames(schema), "Gain Mask Shown Late");

  XMLPropReader self(std::string(
      R"(<D><Section name="S"><include tag="S"/><property name="X" type="int" constraint="none"/>
      </Section></D>)"));
  markRootElement(self);
  TestSchema* other = newClass();
  Factory g(other, "");
  g.setXMLReader(&self);
  g.parseXMLSection();  // at <D>: no properties, no includes
  EXPECT_EQ(propertyNames(other), "");
  self.gotoFirstChild();
  g.parseXMLSection();
  EXPECT_EQ(propertyNames(other), "X");

  // The root and the device root keep an index each: one name finds each its own section.
  XMLPropReader two("<R><Section name=\"S\">" + intProperty("InRoot") +
                    "</Section><D><Section name=\"S\">" + intProperty("InDevice") +
                    "</Section></D></R>");
  two.gotoTop();
  two.gotoFirstChild();
  two.markRoot();
  two.gotoFirstChild();
  two.gotoNextSibling();
  two.markDeviceRoot();
  TestSchema* both = newClass();
  Factory h(both, "");
  h.setXMLReader(&two);
  h.includeXMLSection("S", true);
  h.includeXMLSection("S", false);
  EXPECT_EQ(propertyNames(both), "InDevice InRoot");
}

// Generated files that ask for unbounded work are refused before anything is
// defined (a doubling include tree is in the shell scripts); long but
// legitimate ones are defined in linear time.
TEST_F(PropertyFactoryXMLTest, IncludeExpansionIsBoundedAndLinear) {
  auto chain = [](int length) {
    std::string xml;
    for (int i = 0; i < length; ++i) {
      xml += "<Section name=\"C" + std::to_string(i) + "\"><include tag=\"C" +
             std::to_string(i + 1) + "\"/>" + intProperty("P" + std::to_string(i)) + "</Section>";
    }
    return xml + "<Section name=\"C" + std::to_string(length) + "\">" + intProperty("Last") +
           "</Section>";
  };
  auto fan = [](int width, const std::string& prefix) {
    std::string includes, sections;
    for (int i = 0; i < width; ++i) {
      const std::string name = prefix + std::to_string(i);
      includes += "<include tag=\"" + name + "\"/>";
      sections +=
          "<Section name=\"" + name + "\">" + intProperty("F" + std::to_string(i)) + "</Section>";
    }
    return "<Section name=\"Top\">" + includes + "</Section>" + sections;
  };
  const int depth = static_cast<int>(PropertyFactory::kMaxIncludeDepth);
  // Names without keys are searched for: a fan of them stops at the search limit.
  const struct {
    std::string sections;
    const char* top;
    std::string error;  // id and the sections its message names; empty: defined
    std::size_t properties;
    const char* last;
  } cases[] = {
      {chain(20000), "C0", "vornix:xml:includeDepth| 'C0' 'C1001'", 0, ""},
      {chain(depth), "C0", "", depth + 1u, "P0"},
      {fan(10000, "S"), "Top", "", 10000, "F9999"},
      {fan(1100, "\xC3\xA9"), "Top", "vornix:xml:includeLimit| 'Top'", 0, ""},
      {fan(30, "\xC3\xA9"), "Top", "", 30, "F29"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error + " " + std::to_string(c.properties));
    std::unique_ptr<XMLPropReader> reader = device(c.sections);
    TestSchema* schema = newClass();
    Factory f(schema, "");
    f.setXMLReader(reader.get());
    reader->gotoRoot();
    const void* before = reader->getBookmark();
    const std::string error = hostErrorText([&] { f.includeXMLSection(c.top, false); });
    std::istringstream named(c.error);
    for (std::string part; named >> part;) EXPECT_NE(error.find(part), std::string::npos) << part;
    EXPECT_EQ(error == "(no error)", c.error.empty()) << error;
    EXPECT_EQ(reader->getBookmark(), before);
    const std::string names = propertyNames(schema);
    const std::size_t n = names.empty() ? 0 : std::count(names.begin(), names.end(), ' ') + 1;
    EXPECT_EQ(n, c.properties);
    EXPECT_EQ(names.substr(names.rfind(' ') + 1), c.last);
  }
}

}  // namespace
}  // namespace zelobjsys
