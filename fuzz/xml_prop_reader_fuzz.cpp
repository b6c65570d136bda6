// libFuzzer target: arbitrary bytes as an XML property file, then every move, query and search of
// the reader over the whole document.
#include "zelobjsys/xml_prop_reader.h"

#include <xercesc/util/PlatformUtils.hpp>

#include "fuzz_values.h"

using zelobjsys::XMLPropException;
using zelobjsys::XMLPropReader;

namespace {

constexpr int kMaxDepth = 64;

// Text out into buffers of several sizes, including the one-byte edge.
void readTexts(XMLPropReader& r, const char* probe) {
  char tiny[1], small[4], big[512];
  for (int len : {0, 1}) r.getNodeName(tiny, len);
  r.getNodeName(small, sizeof small);
  r.getNodeValue(small, sizeof small);
  r.getNodeValue(big, sizeof big);
  r.getAttribute("name", big, sizeof big);
  r.getAttribute(probe, small, sizeof small);
  r.getAttribute(nullptr, big, sizeof big);
  r.getText(small, sizeof small);
  r.getText(big, sizeof big);
  r.getText(nullptr, 1);
}

// Searches and neighbour moves, each undone so that the walk goes on from here.
void probeAround(XMLPropReader& r, const char* probe) {
  const char* const searches[][3] = {{"Section", "name", probe},
                                     {"property", nullptr, nullptr},
                                     {"#text", nullptr, nullptr},
                                     {probe, probe, "on"},
                                     {probe, "x", nullptr}};
  for (const auto& s : searches) {
    r.pushPosition();
    if (r.findSiblingElement(s[0], s[1], s[2])) readTexts(r, probe);
    r.popPosition();
  }
  r.pushPosition();
  r.gotoLastChild();
  r.gotoPreviousSibling();
  r.gotoParent();
  r.gotoParent();
  r.markHelpRoot();
  r.popPosition();
}

void visit(XMLPropReader& r, const char* probe, int depth) {
  (void)r.getNodeType();
  (void)r.hasChildNodes();
  (void)r.isNodeName(probe);
  (void)r.isNodeName("property");
  readTexts(r, probe);
  probeAround(r, probe);
  if (depth >= kMaxDepth) return;
  r.pushPosition();
  for (r.gotoFirstChild(); r.isPositionValid(); r.gotoNextSibling()) {
    r.pushPosition();
    visit(r, probe, depth + 1);
    r.popPosition();
  }
  r.popPosition();
}

}  // namespace

// The XML platform stays initialised across inputs, so that each reader's own pairing is cheap.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  xercesc::XMLPlatformUtils::Initialize();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // A name to look for, at most 300 characters: the 255-character limit is crossed now and then.
  const std::string probe = bytes.substr(0, 300).c_str();
  std::unique_ptr<XMLPropReader> reader;
  if (!zelfuzz::tolerated<XMLPropException>([&] { reader.reset(new XMLPropReader(bytes)); }))
    return 0;
  XMLPropReader& r = *reader;
  r.gotoTop();
  r.markRoot();
  visit(r, probe.c_str(), 0);
  r.gotoRoot();
  r.gotoDeviceRoot();
  // Past the document node every position is invalid; nothing may fail there.
  r.gotoTop();
  r.gotoParent();
  r.gotoFirstChild();
  r.markDeviceRoot();
  visit(r, probe.c_str(), 0);
  r.popPosition();
  r.popPosition();
  return 0;
}
