// Defining a class from a generated XML property file, against a bare DOM parse and walk of the
// same file.
#include <benchmark/benchmark.h>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "common/test_product.h"
#include "zelobjsys/application_manager.h"
#include "zelobjsys/property_factory.h"
#include "zelobjsys/property_file.h"
#include "zelobjsys/xml_prop_reader.h"

namespace {

namespace xc = xercesc;
using zelobjsys::testproduct::TestSchema;

constexpr const char* kProduct = "benchxml";

// The library's factory making the test product's records, as a product's
// factory does.
class Factory : public zelobjsys::PropertyFactory {
 public:
  using PropertyFactory::PropertyFactory;

 protected:
  zelobjsys::PropInfo* createPropInfo(const char* name) override {
    if (isInstanceFactory()) {
      return new zelobjsys::testproduct::DeviceRecord<zelobjsys::InstancePropInfo>(name);
    }
    return new zelobjsys::testproduct::DeviceRecord<>(name);
  }
};

// A property file of `count` bounded doubles in the section "Bench", each with
// an AdaptorHelp entry (text and a SeeAlso), written once per size to the
// temporary folder.
const std::string& propertyFile(int count) {
  static std::map<int, std::string> made;
  auto found = made.find(count);
  if (found != made.end()) return found->second;
  const std::string path = "/tmp/zel_bench_props_" + std::to_string(count) + ".xml";
  std::ofstream out(path);
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PropertyFile>\n  <Section name=\"Bench\">\n";
  for (int i = 0; i < count; ++i) {
    out << "    <property name=\"Prop" << i
        << "\" type=\"double\" constraint=\"bounded\" min=\"0\" max=\"100\" default=\"1\"/>\n";
  }
  out << "  </Section>\n";
  for (int i = 0; i < count; ++i) {
    out << "  <AdaptorHelp property=\"Prop" << i << "\">What Prop" << i
        << " sets, in volts.<SeeAlso>Prop" << (i + 1) % count << "</SeeAlso></AdaptorHelp>\n";
  }
  out << "</PropertyFile>\n";
  return made.emplace(count, path).first->second;
}

// Reading the file, then the class's properties and their help through the
// factory. The class is never added to an application: it dies with the
// iteration.
void BM_XmlDefineClass(benchmark::State& state) {
  const std::string& path = propertyFile(static_cast<int>(state.range(0)));
  const std::string last = "Prop" + std::to_string(state.range(0) - 1);
  zelobjsys::ApplicationManager::getInstance()->addProductApplication(kProduct);
  for (auto _ : state) {
    zelobjsys::XMLPropReader reader(path.c_str());
    zelobjsys::markRootElement(reader);
    auto schema = std::make_unique<TestSchema>("BenchXmlDev");
    {
      Factory factory(schema.get(), "bench");
      factory.setXMLReader(&reader);
      factory.includeXMLSection("Bench", false);
    }
    if (schema->getProperty(last.c_str(), true) == nullptr) {
      state.SkipWithError("the class lacks the file's last property");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  QxApplicationManager::shutdown();
}
// The first run of a size pays for growing the heap; enough runs make that
// vanish from the per-property cost.
BENCHMARK(BM_XmlDefineClass)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(2);

// Visits every node, reading each element's attributes and each text.
long walk(const xc::DOMNode* node) {
  long seen = 0;
  for (const xc::DOMNode* n = node; n != nullptr; n = n->getNextSibling()) {
    ++seen;
    if (const xc::DOMNamedNodeMap* attributes = n->getAttributes()) {
      for (XMLSize_t i = 0; i < attributes->getLength(); ++i) {
        benchmark::DoNotOptimize(attributes->item(i)->getNodeValue());
        ++seen;
      }
    }
    if (n->getNodeType() == xc::DOMNode::TEXT_NODE) benchmark::DoNotOptimize(n->getNodeValue());
    seen += walk(n->getFirstChild());
  }
  return seen;
}

// The floor of a definition: the same file parsed into a DOM and walked.
void BM_XercesParseWalk(benchmark::State& state) {
  const std::string& path = propertyFile(static_cast<int>(state.range(0)));
  xc::XMLPlatformUtils::Initialize();
  {
    for (auto _ : state) {
      xc::XercesDOMParser parser;
      parser.setValidationScheme(xc::XercesDOMParser::Val_Never);
      parser.setDoNamespaces(false);
      parser.parse(path.c_str());
      benchmark::DoNotOptimize(walk(parser.getDocument()));
    }
  }
  xc::XMLPlatformUtils::Terminate();
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_XercesParseWalk)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(1);

}  // namespace
