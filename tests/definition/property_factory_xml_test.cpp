// Tests of PropertyFactory's XML operations: property definitions, sections, includes and help.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <fstream>
#include <sstream>

#include "common/hv_values.h"
#include "common/test_product.h"
#include "zelhost/types/data_type.h"
#include "zelobjsys/pi_identifiers.h"
#include "zelobjsys/prop_info_manager.h"
#include "zelobjsys/property_factory.h"
#include "zelobjsys/xml_prop_reader.h"

namespace zelobjsys {
namespace {

constexpr double kBig = 2147483647.0;
constexpr double kInf = INFINITY;

using namespace testproduct;
using namespace hvtest;

// Marks root, device root and help root on the first element (skipping comments).
void markFirstElement(XMLPropReader& reader) {
  reader.gotoTop();
  reader.gotoFirstChild();
  while (reader.isPositionValid() && reader.getNodeType() != 1) reader.gotoNextSibling();
  reader.markRoot();
  reader.markDeviceRoot();
  reader.markHelpRoot();
}

// Moves from the current element to its child element of that name.
void gotoChild(XMLPropReader& reader, const char* name) {
  reader.gotoFirstChild();
  while (reader.isPositionValid() && !reader.isNodeName(name)) reader.gotoNextSibling();
}

std::string file(const char* name) { return std::string(ZEL_TEST_DATA_DIR) + "/data/" + name; }

// The names of a class's properties in the order they were added.
std::vector<std::string> propertyNames(QxClass* cls) {
  std::vector<std::string> names;
  QxBreadthOnlyIterator props(cls->getProperties(), false);
  while (props.hasMoreElements()) {
    names.push_back(static_cast<QxPropInfo*>(props.nextElement()->getObject())->getName());
  }
  return names;
}

// A property element that defines the int property `name`.
std::string intProperty(const std::string& name) {
  return "<property name=\"" + name + "\" type=\"int\" constraint=\"none\"/>";
}

class PropertyFactoryXMLTest : public ::testing::Test {
 protected:
  void SetUp() override {
    manager_ = ApplicationManager::getInstance();
    manager_->addProductApplication(kProductName);
    PropInfoManager::getInstance()->addReadOnlyValue("whileRunning");
    schema_ = new TestSchema("Dev");
    ASSERT_TRUE(manager_->addProductClass(kProductName, schema_));
  }
  void TearDown() override { stopTestProduct(); }
  // A reader over <Device>properties</Device> with all marks on Device.
  std::unique_ptr<XMLPropReader> device(const std::string& properties) {
    auto reader = std::make_unique<XMLPropReader>("<Device>" + properties + "</Device>");
    markFirstElement(*reader);
    return reader;
  }
  PropInfo* define(const std::string& property) {
    std::unique_ptr<XMLPropReader> reader = device(property);
    Factory f(schema_, "");
    f.setXMLReader(reader.get());
    void* handle = f.createPropFromXML("P");
    if (handle == nullptr) return nullptr;
    f.addProperty(handle, false);
    return recordOf(schema_, "P");
  }

  ApplicationManager* manager_ = nullptr;
  TestSchema* schema_ = nullptr;
};

TEST_F(PropertyFactoryXMLTest, TypesAndConstraintsFollowTheTable) {
  struct Case {
    const char* type;
    const char* rule;  // the constraint attribute; null: none
    const char* more;
    const char* dataType;  // null: no property
    int constraint;
    std::vector<double> bounds;
    std::vector<double> defaults;
  } cases[] = {
      {"double", "none", R"(default="2.5")", "double", 3, {}, {2.5}},
      {"Double", "ZeroOrPositive", R"(default="1")", "ZeroOrPositiveDouble", 0, {0, kBig}, {1}},
      {"double",
       "zeroinforpositive",
       R"(default="Inf")",
       "ZeroOrPositiveDouble",
       0,
       {0, kInf},
       {kInf}},
      {"double", "bounded", "", "double", 0, {0, 1}, {0}},
      {"double", "bounded", R"(min="-2" max="x" default="-5")", "double", 0, {-2, 1}, {-2}},
      {"Int", "BOUNDED", R"(min="0" max="10" default="20")", "int", 0, {0, 10}, {10}},
      {"int", "bounded", R"(min="0" max="10" default="")", "int", 0, {0, 10}, {0}},
      {"int", "bounded", "", "int", 0, {INT_MIN, INT_MAX}, {0}},
      {"int", "none", R"(default="0x10")", "int", 3, {}, {16}},
      {"int", "none", R"(default="010")", "int", 3, {}, {8}},
      {"int", "none", R"(default="junk")", "int", 3, {}, {0}},
      {"int", "none", R"(default="99999999999")", "int", 3, {}, {INT_MAX}},
      {"int", "zeroorpositive", R"(default="3")", "ZeroOrPositiveInt", 0, {0, kBig}, {3}},
      {"int", "zeroinforpositive", R"(default="3")", "ZeroInfOrPositiveInt", 0, {0, kInf}, {3}},
      {"int", "positive", R"(default="3")", "PositiveInt", 0, {1, kBig}, {3}},
      {"int", "inforpositive", R"(default="3")", "InfOrPositiveInt", 0, {1, kInf}, {3}},
      {"string", "none", R"(default="abc")", "string", 3, {}, {}},
      {"double", "positive", R"(readOnly="always")", nullptr, 0, {}, {}},
      {"double", "inforpositive", "", nullptr, 0, {}, {}},
      {"int", nullptr, R"(default="1")", nullptr, 0, {}, {}},  // not even "none"
      {"float", "none", "", nullptr, 0, {}, {}},
      {"string", "enum", R"(default="a")", nullptr, 0, {}, {}},  // no values
  };
  for (const Case& c : cases) {
    std::string attributes = std::string("type=\"") + c.type + "\" " + c.more;
    if (c.rule != nullptr) attributes += std::string(" constraint=\"") + c.rule + "\"";
    SCOPED_TRACE(attributes);
    PropInfo* record = define("<property name=\"P\" " + attributes + "/>");
    if (c.dataType == nullptr) {
      EXPECT_EQ(record, nullptr);
      continue;
    }
    ASSERT_NE(record, nullptr);
    EXPECT_STREQ(record->getQxDataType()->getName(), c.dataType);
    EXPECT_EQ(record->getPIConstraint(), c.constraint);
    if (c.constraint == kPIConstraintBounded) {
      EXPECT_EQ(doubles(record->getPIConstraintValue()), c.bounds);
    }
    if (!c.defaults.empty()) {
      EXPECT_EQ(doubles(record->getPIDefaultValue()), c.defaults);
    }
    schema_ = nullptr;
    manager_->removeProductApplication(kProductName);
    SetUp();
  }
}

TEST_F(PropertyFactoryXMLTest, ChildrenReplaceAttributesAndEnumerationsGoByIdentifier) {
  PropInfo* bounded = define(R"(<property name="P" type="int" constraint="bounded" min="5"
      max="6" default="1" readOnly="whileRunning"><minconstraintvalue>-3</minconstraintvalue>
      <maxconstraintvalue>3</maxconstraintvalue><maxconstraintvalue>4</maxconstraintvalue>
      <defaultvalue>2</defaultvalue><help>first</help><help>Counts things.</help></property>)");
  ASSERT_NE(bounded, nullptr);
  EXPECT_EQ(doubles(bounded->getPIConstraintValue()), (std::vector<double>{-3, 4}));
  EXPECT_EQ(doubles(bounded->getPIDefaultValue()), std::vector<double>{2});
  EXPECT_EQ(bounded->getPIReadOnly(),
            PropInfoManager::getInstance()->getReadOnlyID("whileRunning"));
  EXPECT_EQ(bounded->getDescription().find("first"), std::string::npos);
  EXPECT_NE(bounded->getDescription().find("Counts things."), std::string::npos);

  struct Case {
    const char* defaultText;
    std::vector<std::string> order;
    const char* chosen;
  } cases[] = {
      {"c", {"c", "a", "b"}, "c"},
      {"nothing", {"a", "c", "b"}, "a"},
      {"C", {"a", "c", "b"}, "a"},  // the default is matched exactly
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.defaultText);
    std::unique_ptr<XMLPropReader> reader =
        device(std::string(R"(<property name="E" type="string" constraint="enum" default=")") +
               c.defaultText +
               R"("><enumconstraintvalue name="b" id="3"/><enumconstraintvalue name="a" id="1"/>
        <enumconstraintvalue name="c" id="2"/><enumconstraintvalue name="d" id="3"/>
        </property>)");
    auto* schema = new TestSchema(("Enum" + std::string(c.chosen) + c.defaultText).c_str());
    ASSERT_TRUE(manager_->addProductClass(kProductName, schema));
    Factory f(schema, "");
    f.setXMLReader(reader.get());
    f.addProperty(f.createPropFromXML("E"), false);
    PropInfo* record = recordOf(schema, "E");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(texts(record->getPIConstraintValue()), c.order);  // id 3 keeps b, not d
    EXPECT_EQ(zelhox::fcns::getString(record->getPIDefaultValue()), c.chosen);
    const EnumerationType* values = record->getQxDataType()->getEnumerationType();
    EXPECT_EQ(*static_cast<const int*>(values->getEnumValue("b")), 3);
    EXPECT_EQ(*static_cast<const int*>(values->getEnumValue("a")), 1);
  }
}

// A property file's values are cut to their maximum lengths: names and child
// elements to 63 characters, attributes to 31, help text to 2047.
TEST_F(PropertyFactoryXMLTest, ValuesAreCutToTheirMaximumLengths) {
  auto text = [](const char* name, const std::string& attributes, const std::string& children) {
    return std::string("<property name=\"") + name + R"(" type="string" constraint="none" )" +
           attributes + ">" + children + "</property>";
  };
  const struct {
    const char* name;
    std::size_t length;  // of the default or the help
    std::size_t kept;
    char fill;  // 'a': a default attribute, 'c': a default element, 'h': help
  } cases[] = {
      {"A31", 31, 31, 'a'}, {"A32", 32, 31, 'a'},       {"C63", 63, 63, 'c'},
      {"C64", 64, 63, 'c'}, {"H2047", 2047, 2047, 'h'}, {"H2048", 2048, 2047, 'h'},
  };
  std::string xml = R"(<Section name="S">)" + intProperty(std::string(63, 'n')) +
                    intProperty(std::string(64, 'm'));
  for (const auto& c : cases) {
    const std::string value(c.length, c.fill);
    if (c.fill == 'a') xml += text(c.name, "default=\"" + value + "\"", "");
    if (c.fill == 'c') xml += text(c.name, "", "<defaultvalue>" + value + "</defaultvalue>");
    if (c.fill == 'h') xml += text(c.name, "", "<help>" + value + "</help>");
  }
  std::unique_ptr<XMLPropReader> reader = device(xml + "</Section>");
  Factory f(schema_, "");
  f.setXMLReader(reader.get());
  f.includeXMLSection("S", false);
  const std::vector<std::string> names = propertyNames(schema_);
  ASSERT_EQ(names.size(), 8u);
  EXPECT_EQ(names[0], std::string(63, 'n'));
  EXPECT_EQ(names[1], std::string(63, 'm'));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PropInfo* record = recordOf(schema_, c.name);
    ASSERT_NE(record, nullptr);
    const std::string got = c.fill == 'h' ? record->getDescription()
                                          : zelhox::fcns::getString(record->getPIDefaultValue());
    EXPECT_EQ(static_cast<std::size_t>(std::count(got.begin(), got.end(), c.fill)), c.kept);
  }
}

TEST_F(PropertyFactoryXMLTest, CreatePropFromXMLSearchesTheDeviceRootByExactName) {
  std::unique_ptr<XMLPropReader> reader = device(R"(
      <property name="P" type="double" constraint="positive"/>
      <property name="P" type="double" constraint="none" default="4" optional="on"/>
      <property name="Q" type="double" constraint="none" default="1"/>)");
  Factory f(schema_, "");
  EXPECT_EQ(f.getXMLReader(), nullptr);
  EXPECT_EQ(f.createPropFromXML("P"), nullptr);  // no reader yet
  f.setXMLReader(reader.get());
  EXPECT_EQ(f.getXMLReader(), reader.get());
  reader->gotoDeviceRoot();
  gotoChild(*reader, "property");
  const void* before = reader->getBookmark();
  void* p = f.createPropFromXML("P");  // the first definition yields nothing: the next is tried
  EXPECT_EQ(reader->getBookmark(), before);  // the cursor is where it was
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(f.createPropFromXML("p"), nullptr);
  EXPECT_EQ(f.createPropFromXML(nullptr), nullptr);
  EXPECT_EQ(f.createPropFromXML("Missing"), nullptr);
  f.addProperty(p, false);
  EXPECT_EQ(doubles(recordOf(schema_, "P")->getPIDefaultValue()), std::vector<double>{4});
  EXPECT_EQ(recordOf(schema_, "Q"), nullptr);  // not added by createPropFromXML
}

TEST_F(PropertyFactoryXMLTest, SectionsAddPropertiesInFileOrderAndSurviveIncludeCycles) {
  XMLPropReader reader(file("factory_device.xml").c_str());
  markFirstElement(reader);
  Factory f(schema_, "");
  f.setXMLReader(&reader);
  f.includeXMLSection("main", false);
  for (const char* name : {"Gain", "Mask", "Shown", "Late"}) {
    SCOPED_TRACE(name);
    PropInfo* record = recordOf(schema_, name);
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(record->getPIDeviceSpecific());
  }
  EXPECT_EQ(recordOf(schema_, "Hidden"), nullptr);  // optional="on"
  EXPECT_EQ(recordOf(schema_, "TopLevel"), nullptr);
  EXPECT_EQ(doubles(recordOf(schema_, "Gain")->getPIDefaultValue()), std::vector<double>{10});
  EXPECT_EQ(doubles(recordOf(schema_, "Mask")->getPIDefaultValue()), std::vector<double>{16});
  EXPECT_EQ(doubles(recordOf(schema_, "Late")->getPIDefaultValue()), std::vector<double>{8});
  // File order: the included section comes in at its include element.
  EXPECT_EQ(propertyNames(schema_), (std::vector<std::string>{"Gain", "Mask", "Shown", "Late"}));

  // Loop includes Loop2, which includes Loop again: each is parsed once.
  MessageCapture log;
  f.includeXMLSection("Loop", true);
  EXPECT_NE(recordOf(schema_, "InLoop"), nullptr);
  EXPECT_NE(recordOf(schema_, "InLoop2"), nullptr);
  EXPECT_EQ(log.warningIds(), std::vector<std::string>{"vornix:xml:includeCycle"});
  EXPECT_NE(log.warnings[0].second.find("'Loop'"), std::string::npos);
  f.includeXMLSection("NoSuchSection", true);
  f.includeXMLSection(nullptr, true);

  // A section that includes itself directly, parsed from the cursor.
  XMLPropReader self(std::string(
      R"(<D><Section name="S"><include tag="S"/><property name="X" type="int" constraint="none"/>
      <property NAME="N" type="int" constraint="none"/><property name="" type="string"
      constraint="none"/></Section></D>)"));
  markFirstElement(self);
  auto* other = new TestSchema("Other");
  ASSERT_TRUE(manager_->addProductClass(kProductName, other));
  Factory g(other, "");
  g.setXMLReader(&self);
  g.parseXMLSection();  // at <D>: no properties, no includes
  EXPECT_EQ(recordOf(other, "X"), nullptr);
  gotoChild(self, "Section");
  g.parseXMLSection();
  // Attribute names are case-sensitive: NAME is no name, and a nameless property is skipped.
  EXPECT_EQ(propertyNames(other), std::vector<std::string>{"X"});
  EXPECT_EQ(log.warnings.size(), 2u);
}

// Generated files that ask for unbounded work are refused before anything is
// defined (a doubling include tree is in the shell scripts); long but
// legitimate ones are defined in linear time.
TEST_F(PropertyFactoryXMLTest, IncludeExpansionIsBoundedAndLinear) {
  auto chain = [](int length, const std::string& prefix) {
    std::string xml;
    for (int i = 0; i < length; ++i) {
      const std::string next = prefix + std::to_string(i + 1);
      xml += "<Section name=\"" + prefix + std::to_string(i) + "\"><include tag=\"" + next +
             "\"/>" + intProperty("P" + std::to_string(i)) + "</Section>";
    }
    return xml + "<Section name=\"" + prefix + std::to_string(length) + "\">" +
           intProperty("Last") + "</Section>";
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

  struct Case {
    const char* what;
    std::string sections;
    const char* top;
    const char* error;  // id and the sections its message names; null: defined
    std::vector<const char*> named;
    std::size_t properties;
    const char* last;
  } cases[] = {
      {"deep chain",
       chain(20000, "C"),
       "C0",
       "vornix:xml:includeDepth",
       {"'C0'", "'C1001'"},
       0,
       nullptr},
      {"chain at the depth limit", chain(depth, "C"), "C0", nullptr, {}, depth + 1u, "P0"},
      {"wide fan", fan(10000, "S"), "Top", nullptr, {}, 10000, "F9999"},
      // Names without keys are searched for: a fan of them stops at the search limit.
      {"wide fan without keys",
       fan(1100, "\xC3\xA9"),
       "Top",
       "vornix:xml:includeLimit",
       {"'Top'"},
       0,
       nullptr},
      {"narrow fan without keys", fan(30, "\xC3\xA9"), "Top", nullptr, {}, 30, "F29"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<XMLPropReader> reader = device(c.sections);
    auto* schema = new TestSchema(("Big" + std::to_string(n++)).c_str());
    ASSERT_TRUE(manager_->addProductClass(kProductName, schema));
    Factory f(schema, "");
    f.setXMLReader(reader.get());
    reader->gotoRoot();
    const void* before = reader->getBookmark();
    Message error;
    if (c.error != nullptr) {
      error = catchErrorId([&] { f.includeXMLSection(c.top, false); });
    } else {
      f.includeXMLSection(c.top, false);
    }
    EXPECT_EQ(error.first, c.error ? c.error : "");
    for (const char* name : c.named) EXPECT_NE(error.second.find(name), std::string::npos);
    EXPECT_EQ(reader->getBookmark(), before);
    const std::vector<std::string> names = propertyNames(schema);
    EXPECT_EQ(names.size(), c.properties);
    if (c.last != nullptr && !names.empty()) {
      EXPECT_EQ(names.back(), c.last);
    }
  }
}

// The indexed section lookup must include exactly what the plain search finds.
TEST_F(PropertyFactoryXMLTest, IndexedSectionLookupMatchesThePlainSearch) {
  const std::string longName(300, 'x');
  auto section = [](const std::string& element, const std::string& name, const char* property) {
    return "<" + element + name + ">" + (property ? intProperty(property) : " ") + "</" + element +
           ">";
  };
  const std::string files[] = {
      section("Section", R"( name="a")", "P0") + R"(<Section name="A"/>)" +
          section("Section", R"( name="A")", "P1"),
      R"(<Section name="a"/>)" + section("Section", R"( name="A")", nullptr) +
          section("Section", R"( name="a")", "P1"),
      section("Section", " name=\"\xC5\xBF\x61\"", "P0") +
          section("Section", R"( name="sa")", "P1"),
      section("Section", "", "P0") + section("Section", R"( name="")", "P1") +
          section("Section", R"( name="b")", "P2"),
      section("Section", R"( name="a?")", "P0") + section("section", R"( name="c")", "P1") +
          section("SECTION", R"( name="C")", "P2") + section("Sections", R"( name="d")", "P3"),
      section("Section", " name=\"" + longName + "1\"", "P0") +
          section("Section", " name=\"\xC3\xA9\"", "P1") + "<Group>" +
          section("Section", R"( name="g")", "P2") + "</Group>",
  };
  const std::string names[] = {"a", "A", "sa", "SA", "\xC5\xBF\x61", "b",       "", "a?",
                               "c", "d", "g",  "zz", longName + "2", "\xC3\xA9"};
  int n = 0;
  for (const std::string& text : files) {
    SCOPED_TRACE(text);
    std::unique_ptr<XMLPropReader> reader = device(text);
    for (const std::string& name : names) {
      SCOPED_TRACE(name);
      std::vector<std::string> expected;
      reader->gotoRoot();
      reader->gotoFirstChild();
      if (reader->findSiblingElement("Section", "name", name.c_str())) {
        gotoChild(*reader, "property");
        char buf[64] = "";
        reader->getAttribute("name", buf, sizeof buf);
        if (*buf != '\0') expected.push_back(buf);
      }
      auto* schema = new TestSchema(("Find" + std::to_string(n++)).c_str());
      ASSERT_TRUE(manager_->addProductClass(kProductName, schema));
      Factory f(schema, "");
      f.setXMLReader(reader.get());
      f.includeXMLSection(name.c_str(), false);
      EXPECT_EQ(propertyNames(schema), expected);
    }
  }
}

// The help text as the plain search builds it, for comparison with the factory's.
std::string expectedHelp(XMLPropReader& reader, const char* property, const char* device,
                         const char* text) {
  std::vector<std::pair<std::string, std::string>> lines;  // (indent, text)
  char buf[2048];
  bool found = false;
  std::string seeAlso;
  reader.pushPosition();
  reader.gotoHelpRoot();
  if (reader.isPositionValid()) {
    reader.gotoFirstChild();
    found = reader.findSiblingElement("AdaptorHelp", "property", property);
  }
  if (found) {
    reader.getText(buf, sizeof buf);
    lines.push_back({"", buf});
    reader.gotoFirstChild();
    reader.pushPosition();
    if (reader.findSiblingElement("DeviceHelp", "device", device)) {
      reader.getText(buf, sizeof buf);
      lines.push_back({"", ""});
      lines.push_back({"", buf});
    }
    reader.popPosition();
    if (reader.findSiblingElement("SeeAlso")) {
      reader.getText(buf, sizeof buf);
      seeAlso = buf;
    }
  }
  reader.popPosition();
  if (text != nullptr) {
    if (found) lines.push_back({"", ""});
    lines.push_back({"", text});
  }
  if (!seeAlso.empty()) lines.push_back({"", ""});
  std::string out;
  for (const auto& line : lines) zelutil::fcns::formatText(out, line.second, "    ", false, true);
  if (!seeAlso.empty()) zelutil::fcns::formatText(out, seeAlso, "    See also ", true, true);
  return out;
}

// The indexed help lookup must pick exactly what the plain search picks. (The
// device help of a bundled file is in the shell scripts.)
TEST_F(PropertyFactoryXMLTest, IndexedHelpLookupMatchesThePlainSearch) {
  const char* files[] = {
      // childless match, then a later match with content
      R"(<H><AdaptorHelp property="a"/><AdaptorHelp property="A">two</AdaptorHelp></H>)",
      // childless match cleared by a later AdaptorHelp of another name
      R"(<H><AdaptorHelp property="a"/><AdaptorHelp property="b"/></H>)",
      // childless match, other name, childless match again: the first is used
      R"(<H><AdaptorHelp property="a"/><AdaptorHelp property="b"/><AdaptorHelp property="A"/>
         <x/></H>)",
      // content after a mismatch; names of other elements in between
      R"(<H><SeeAlso>s</SeeAlso><adaptorhelp property="b">one</adaptorhelp>
         <ADAPTORHELP property="a">two<SeeAlso>b</SeeAlso></ADAPTORHELP></H>)",
      // an element without the attribute, and non-ASCII names: the plain search decides
      R"(<H><AdaptorHelp>none</AdaptorHelp><AdaptorHelp property="a">x</AdaptorHelp></H>)",
      ("<H><AdaptorHelp property=\"\xC5\xBF\x61\">long s</AdaptorHelp>"
       "<AdaptorHelp property=\"sa\">plain</AdaptorHelp></H>"),
      R"(<H><!-- only a comment --></H>)",
      R"(<H/>)",
  };
  const char* names[] = {"a", "A", "b", "sa", "SA", "c", "\xC5\xBF\x61", "a?"};
  int fileNo = 0;
  for (const char* text : files) {
    SCOPED_TRACE(text);
    XMLPropReader reader{std::string(text)};
    markFirstElement(reader);
    auto* schema = new TestSchema(("Help" + std::to_string(fileNo++)).c_str());
    ASSERT_TRUE(manager_->addProductClass(kProductName, schema));
    Factory f(schema, "");
    f.setXMLReader(&reader);
    for (const char* name : names) {
      SCOPED_TRACE(name);
      void* h = f.createDoubleProperty(name, 0);
      f.addPropHelpFromXML(h, "own");
      f.addProperty(h, false);
      EXPECT_EQ(recordOf(schema, name)->getDescription(), expectedHelp(reader, name, "", "own"));
    }
  }
}

}  // namespace
}  // namespace zelobjsys
