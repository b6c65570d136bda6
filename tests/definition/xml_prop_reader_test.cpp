// Tests of XMLPropReader: construction failures, the cursor, text out and element search.
#include "zelobjsys/xml_prop_reader.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace zelobjsys {
namespace {

// The code of the XMLPropException that `make` throws, or -1 when it throws none.
int failureCode(const std::function<void()>& make, std::string* idAndMessage = nullptr) {
  try {
    make();
  } catch (XMLPropException* e) {
    std::unique_ptr<XMLPropException> owned(e);
    if (idAndMessage) *idAndMessage = std::string(e->getID()) + " " + e->getMessage();
    return owned->getCode();
  }
  return -1;
}

// Runs a text-out operation into a buffer of `len` bytes that starts as "?".
std::string textOut(const std::function<void(char*, int)>& out, int len = 256) {
  std::string buf(std::max(len, 2), '\0');
  buf[0] = '?';
  out(&buf[0], len);
  return std::string(buf.c_str());
}

std::string nodeName(const XMLPropReader& r) {
  return textOut([&](char* b, int n) { r.getNodeName(b, n); });
}
std::string attribute(const XMLPropReader& r, const char* name, int len = 256) {
  return textOut([&](char* b, int n) { r.getAttribute(name, b, n); }, len);
}
std::string text(XMLPropReader& r) {
  return textOut([&](char* b, int n) { r.getText(b, n); });
}

TEST(XMLPropReaderTest, MarksStartOnTheFirstTopLevelNodeEvenAComment) {
  XMLPropReader reader(ZEL_TEST_DATA_DIR "/data/xml_comment_first.xml");
  for (auto go :
       {&XMLPropReader::gotoRoot, &XMLPropReader::gotoDeviceRoot, &XMLPropReader::gotoHelpRoot}) {
    reader.gotoTop();
    (reader.*go)();
    EXPECT_EQ(reader.getNodeType(), 8);
  }
  reader.gotoNextSibling();
  EXPECT_TRUE(reader.isNodeName("simmeter"));
  reader.markDeviceRoot();
  reader.gotoTop();
  EXPECT_EQ(reader.getNodeType(), 9);
  reader.gotoDeviceRoot();
  EXPECT_EQ(nodeName(reader), "SimMeter");
}

TEST(XMLPropReaderTest, UnreadableOrMalformedTextFailsNamingWhereAndWhy) {
  // Failures of files are in the shell tests (definition_files.zel).
  const std::pair<std::function<void()>, const char*> cases[] = {
      {[] { XMLPropReader r(static_cast<const char*>(nullptr)); }, "vornix:xml:cannotRead"},
      {[] { XMLPropReader r{std::string()}; }, "vornix:xml:notWellFormed"},
      {[] { XMLPropReader r(std::string("Timeout = 5")); },
       "vornix:xml:notWellFormed Cannot parse the XML text, line 1, column 1: "},
      {[] { XMLPropReader r(std::string("<a><b></a>"), "t.xml"); },
       "vornix:xml:notWellFormed Cannot parse t.xml, line 1, column 9: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.second);
    std::string got;
    EXPECT_EQ(failureCode(c.first, &got), XMLPropException::kParseFailed);
    EXPECT_NE(got.find(c.second), std::string::npos) << got;
  }
  // A failed construction leaves the XML platform usable.
  XMLPropReader reader(std::string("<a>x</a>"));
  EXPECT_EQ(text(reader), "x");
}

TEST(XMLPropReaderTest, SeveralReadersLiveAtOnce) {
  auto first = std::make_unique<XMLPropReader>(std::string("<first a='1'/>"));
  {
    XMLPropReader second(std::string("<second/>"));
    EXPECT_EQ(failureCode([] { XMLPropReader r(std::string("<broken")); }), 1);
    EXPECT_EQ(nodeName(second), "second");
  }
  EXPECT_EQ(attribute(*first, "a"), "1");
  first.reset();
  XMLPropReader again(std::string("<again/>"));
  EXPECT_EQ(nodeName(again), "again");
}

TEST(XMLPropReaderTest, GetAttributeStoresAtMostLenMinusOneCharacters) {
  const std::string forty(40, 'v');
  XMLPropReader reader("<property name='" + forty + "' Type='int'>text</property>");
  EXPECT_EQ(attribute(reader, "name", 1), "");
  EXPECT_EQ(attribute(reader, "name", 32), forty.substr(0, 31));
  EXPECT_EQ(attribute(reader, "name", 41), forty);
  EXPECT_EQ(attribute(reader, "Type"), "int");
  EXPECT_EQ(attribute(reader, nullptr), "?") << "a null name writes nothing";
  EXPECT_EQ(attribute(reader, "name", 0), "?");
  reader.getAttribute("name", nullptr, 10);

  EXPECT_EQ(textOut([&](char* b, int n) { reader.getNodeName(b, n); }, 5), "prop");
  EXPECT_EQ(textOut([&](char* b, int n) { reader.getNodeValue(b, n); }), "");
  reader.gotoFirstChild();
  EXPECT_EQ(attribute(reader, "name"), "") << "a text node has no attributes";
  EXPECT_EQ(textOut([&](char* b, int n) { reader.getNodeValue(b, n); }, 3), "te");
}

// The one-pass read must answer exactly what one getAttribute per name does,
// whatever the names, the values, the order and the room.
TEST(XMLPropReaderTest, GetAttributesReadsWhatGetAttributeReads) {
  const std::string longName(300, 'a');
  const std::string elements[] = {
      "<p name='V' type='double' min='0' max='1&amp;2' default='&#x41;B' readOnly=''/>",
      "<p max='9' min='8' Type='int' \xC3\xA9='acc\xC3\xA9nt' name='x\xE2\x82\xACy'/>",
      "<p " + longName + "='long' " + longName.substr(0, 255) + "='cut'/>",
      "<p>text only</p>",
      "<!DOCTYPE p [<!ENTITY e 'xy'>]><p min='1&e;2' max='&e;'/>",
  };
  const std::string names[] = {"name",     "type", "Type",     "min",    "max", "default",
                               "readOnly", "none", "\xC3\xA9", longName, ""};
  for (const std::string& xml : elements) {
    SCOPED_TRACE(xml.substr(0, 80));
    XMLPropReader reader(xml);
    if (reader.getNodeType() != 1) reader.gotoNextSibling();         // past a DOCTYPE
    for (int pass = 0; pass < 2; ++pass, reader.gotoFirstChild()) {  // the element, then a text
      for (int len : {1, 3, 64}) {
        std::vector<std::string> bufs(std::size(names), "?" + std::string(63, '\0'));
        std::vector<XMLPropReader::AttributeRequest> requests;
        for (std::size_t i = 0; i < std::size(names); ++i) {
          requests.push_back({names[i].c_str(), &bufs[i][0], len});
        }
        std::reverse(requests.begin() + 2, requests.end());
        reader.getAttributes(requests.data(), static_cast<int>(requests.size()));
        for (std::size_t i = 0; i < std::size(names); ++i) {
          SCOPED_TRACE(names[i].substr(0, 20) + " len " + std::to_string(len));
          EXPECT_EQ(std::string(bufs[i].c_str()), attribute(reader, names[i].c_str(), len));
        }
      }
    }
  }
  XMLPropReader entities(elements[0]);
  EXPECT_EQ(attribute(entities, "max") + attribute(entities, "default"), "1&2AB");
  XMLPropReader declared(elements[4]);
  declared.gotoNextSibling();
  EXPECT_EQ(attribute(declared, "min") + attribute(declared, "max"), "1xy2xy");
  XMLPropReader reader(std::string("<p a='1'/>"));
  char kept[] = "?";
  XMLPropReader::AttributeRequest odd[] = {{nullptr, kept, 2}, {"a", nullptr, 2}, {"a", kept, 0}};
  reader.getAttributes(odd, 3);
  reader.getAttributes(nullptr, 3);
  EXPECT_STREQ(kept, "?") << "requests without a name, a buffer or room write nothing";
}

TEST(XMLPropReaderTest, GetTextReadsTheFirstTextChildOnly) {
  XMLPropReader reader(std::string("<h><!--c--><![CDATA[x]]><e>in</e>tail<e/>more</h>"));
  EXPECT_EQ(text(reader), "tail");
  XMLPropReader plain(std::string("<h>a<e/>b</h>"));
  EXPECT_EQ(text(plain), "a");
  XMLPropReader none(std::string("<h><e>in</e></h>"));
  EXPECT_EQ(text(none), "");
}

TEST(XMLPropReaderTest, TextOutNeverSplitsAMultiByteCharacter) {
  XMLPropReader reader(std::string("<p v='a\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E'/>"));
  const std::string full = attribute(reader, "v");
  ASSERT_FALSE(full.empty());
  for (int len = 1; len <= static_cast<int>(full.size()) + 1; ++len) {
    SCOPED_TRACE(len);
    const std::string cut = attribute(reader, "v", len);
    EXPECT_LE(cut.size(), static_cast<std::size_t>(len - 1));
    EXPECT_EQ(full.compare(0, cut.size(), cut), 0);
    if (cut.size() == full.size()) continue;
    EXPECT_NE(full[cut.size()] & 0xC0, 0x80) << "cut inside a UTF-8 sequence";
    EXPECT_GE(cut.size() + 4, static_cast<std::size_t>(len)) << "cut more than one character";
  }
}

TEST(XMLPropReaderTest, IsNodeNameIgnoresCase) {
  const std::string longName(70, 'n');
  XMLPropReader reader("<property><" + longName + "/></property>");
  EXPECT_FALSE(reader.isNodeName(nullptr));
  reader.gotoFirstChild();
  EXPECT_TRUE(reader.isNodeName(longName.c_str()));
  EXPECT_FALSE(reader.isNodeName(longName.substr(0, 63).c_str()));
  reader.gotoNextSibling();
  EXPECT_FALSE(reader.isNodeName("property"));

  // Letters beyond ASCII fold as well, also into ASCII ones (the Kelvin sign); ASCII names of
  // elements are in the shell tests.
  const char* const cases[][3] = {
      {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", "1"},
      {"ab\xC3\xA9", "ab", "0"},
      {"\xE2\x84\xAA", "k", "1"},
      {"k", "\xE2\x84\xAA", "1"},
      {"stra\303\237e", "STRASSE", "0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c[0]) + " / " + c[1]);
    XMLPropReader named(std::string("<") + c[0] + "/>");
    EXPECT_EQ(named.isNodeName(c[1]), c[2][0] == '1');
  }
}

TEST(XMLPropReaderTest, FindSiblingElementPrefersMatchesWithChildren) {
  const struct {
    const char* xml;
    const char* element;
    const char* attr;
    const char* value;
    bool found;
    const char* endsOn;  // "id" of the node the cursor ends on
  } cases[] = {
      {"<Section id='1' name='B'/><Section id='2' name='B'><p/></Section>", "section", "name", "b",
       true, "2"},
      {"<Section id='1' name='B'/>", "Section", "name", "B", true, "1"},
      {"<Section id='1' name='B'/><Section id='2' name='D'><p/></Section>", "Section", "name", "B",
       false, "1"},
      {"<x id='0'/><Section id='1' name='B'/><Section id='2' name='B'/>", "Section", "name", "B",
       true, "1"},
      {"<x id='0'/><Section id='1'><p/></Section><Section id='2'><p/></Section>", "SECTION",
       nullptr, nullptr, true, "1"},
      {"<x id='0'/><y id='1'/>", "Section", nullptr, nullptr, false, "0"},
      {"<x id='0'/><Section id='1' name='B'/>", "Section", "name", nullptr, false, "0"},
      {"<x id='0'/>", nullptr, nullptr, nullptr, false, "0"},
      {"<x id='0'/><Section id='1' name='\xC3\xA9t\xC3\xA9'/>", "section", "NAME", "x", false, "0"},
      {"<x id='0'/><Section id='1' name='\xE2\x84\xAA'/>", "section", "name", "K", true, "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xml);
    XMLPropReader reader(std::string("<root>") + c.xml + "</root>");
    reader.gotoFirstChild();
    EXPECT_EQ(reader.findSiblingElement(c.element, c.attr, c.value), c.found);
    EXPECT_EQ(attribute(reader, "id"), c.endsOn);
  }

  // Names and values are compared on their first 255 characters.
  const std::string longName(300, 'e');
  const std::string longValue(260, 'v');
  const struct {
    std::string element;
    std::string value;
    bool found;
  } cut[] = {
      {std::string(255, 'E') + "zz", std::string(255, 'V') + "x", true},
      {std::string(254, 'E') + "z", longValue, false},
      {longName, std::string(254, 'v') + "x", false},
      {std::string(255, 'e'), std::string(255, 'v'), true},
  };
  XMLPropReader reader("<root><" + longName + " id='1' name='" + longValue + "'/></root>");
  reader.gotoFirstChild();
  for (const auto& c : cut) {
    SCOPED_TRACE(c.element.size());
    EXPECT_EQ(reader.findSiblingElement(c.element.c_str(), "name", c.value.c_str()), c.found);
  }
}

TEST(XMLPropReaderTest, MovesAndStackAtAnInvalidPositionAreHarmless) {
  XMLPropReader reader(std::string("<a><b/>t<c/></a>"));
  reader.popPosition();
  EXPECT_TRUE(reader.isNodeName("a")) << "popping an empty stack does nothing";
  reader.pushPosition();
  reader.gotoLastChild();
  EXPECT_TRUE(reader.isNodeName("c"));
  reader.gotoPreviousSibling();
  EXPECT_EQ(reader.getNodeType(), 3);
  reader.gotoParent();
  reader.gotoParent();
  EXPECT_EQ(reader.getNodeType(), 9);
  reader.gotoParent();
  ASSERT_FALSE(reader.isPositionValid());
  reader.pushPosition();

  for (auto move : {&XMLPropReader::gotoFirstChild, &XMLPropReader::gotoLastChild,
                    &XMLPropReader::gotoNextSibling, &XMLPropReader::gotoPreviousSibling,
                    &XMLPropReader::gotoParent}) {
    (reader.*move)();
    EXPECT_FALSE(reader.isPositionValid());
  }
  EXPECT_FALSE(reader.hasChildNodes());
  EXPECT_EQ(reader.getNodeType(), 0);
  EXPECT_EQ(nodeName(reader), "");
  EXPECT_EQ(text(reader), "?") << "an invalid position writes nothing";
  EXPECT_EQ(textOut([&](char* b, int n) { reader.getNodeValue(b, n); }), "");
  EXPECT_FALSE(reader.findSiblingElement("a"));

  reader.gotoRoot();
  reader.popPosition();
  EXPECT_FALSE(reader.isPositionValid()) << "an invalid position is saved too";
  reader.popPosition();
  EXPECT_TRUE(reader.isNodeName("a"));
  EXPECT_TRUE(reader.hasChildNodes());
  reader.popPosition();
  EXPECT_TRUE(reader.isNodeName("a"));
}

}  // namespace
}  // namespace zelobjsys
