// libFuzzer target: arbitrary bytes as an XML property file, defined into a class through the
// property factory (sections, includes, single properties and help).
#include <algorithm>
#include "fuzz_values.h"

#include "zelhost/objects/qx_application.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/services.h"
#include "zelobjsys/application_manager.h"
#include "zelobjsys/product_schema.h"
#include "zelobjsys/property_file.h"
#include "zelobjsys/xml_prop_reader.h"

namespace {

using namespace zelobjsys;

constexpr const char* kProduct = "fuzzprod";

// Root and device root on the first element; the help root on its child "Help", else there too.
void placeMarks(XMLPropReader& reader) {
  if (!markRootElement(reader)) return;
  reader.gotoFirstChild();
  if (reader.findSiblingElement("Help")) reader.markHelpRoot();
  reader.gotoRoot();
}

void defineFrom(XMLPropReader& reader, const std::string& probe) {
  ApplicationManager* manager = ApplicationManager::getInstance();
  auto* schema = new ProductSchema("FuzzDev");
  if (!manager->addProductClass(kProduct, schema)) {
    delete schema;
    return;
  }
  ProductFactory factory(schema, probe.c_str());
  factory.setXMLReader(&reader);
  // Every section of the root, as a product parsing the whole file would.
  reader.gotoRoot();
  if (reader.isPositionValid()) reader.gotoFirstChild();
  while (reader.isPositionValid()) {
    if (reader.isNodeName("Section"))
      zelfuzz::tolerated<Exception>([&] { factory.parseXMLSection(); });
    reader.gotoNextSibling();
  }
  zelfuzz::tolerated<Exception>([&] { factory.includeXMLSection(probe.c_str(), false); });
  reader.gotoDeviceRoot();
  zelfuzz::tolerated<Exception>([&] { factory.parseXMLSection(); });
  void* single = factory.createPropFromXML(probe.c_str());
  factory.addPropHelpFromXML(single, "extra");
  void* plain = factory.createDoubleProperty(probe.c_str(), 1);
  factory.addPropHelpFromXML(plain, nullptr);
  factory.addPropHelpFromXML(plain, probe.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool started = [] {
    hoxSetWarningSink([](const std::string&, const std::string&) {});
    // A second product keeps the registry alive between inputs.
    ApplicationManager::getInstance()->addProductApplication("fuzzkeep");
    return true;
  }();
  (void)started;
  const std::string text(reinterpret_cast<const char*>(data), size);
  // The first line, when short, doubles as a property or section name to look for.
  const std::string probe = text.substr(0, std::min<std::size_t>(text.find('\n'), 40));
  std::unique_ptr<XMLPropReader> reader;
  if (!zelfuzz::tolerated<XMLPropException>([&] { reader.reset(new XMLPropReader(text)); }))
    return 0;
  placeMarks(*reader);
  ApplicationManager::getInstance()->addProductApplication(kProduct);
  defineFrom(*reader, probe);
  // The product's classes, records and enumerated types go with it.
  ApplicationManager::getInstance()->removeProductApplication(kProduct);
  return 0;
}
