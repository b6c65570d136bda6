// Building the linter's element tree with a SAX parse, which, unlike the DOM, knows lines.
#include "definition/lint_tree.h"

#include <strings.h>

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax/Locator.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

namespace zelobjsys {
namespace lint {
namespace {

namespace xc = xercesc;

std::string local(const XMLCh* text) {
  if (text == nullptr) return "";
  char* chars = xc::XMLString::transcode(text);
  std::string out = chars != nullptr ? chars : "";
  xc::XMLString::release(&chars);
  return out;
}

class TreeBuilder : public xc::DefaultHandler {
 public:
  void setDocumentLocator(const xc::Locator* const locator) override { locator_ = locator; }

  void startElement(const XMLCh* const, const XMLCh* const, const XMLCh* const qname,
                    const xc::Attributes& attributes) override {
    auto element = std::make_unique<Element>();
    element->name = local(qname);
    element->line = locator_ != nullptr ? static_cast<int>(locator_->getLineNumber()) : 0;
    for (XMLSize_t i = 0; i < attributes.getLength(); ++i) {
      element->attributes.emplace_back(local(attributes.getQName(i)),
                                       local(attributes.getValue(i)));
    }
    Element* raw = element.get();
    if (open_.empty()) {
      root_ = std::move(element);
    } else {
      open_.back()->children.push_back(std::move(element));
    }
    open_.push_back(raw);
  }

  void endElement(const XMLCh* const, const XMLCh* const, const XMLCh* const) override {
    open_.pop_back();
  }

  void characters(const XMLCh* const chars, const XMLSize_t length) override {
    if (open_.empty()) return;
    std::u16string text(chars, chars + length);
    open_.back()->text += local(text.c_str());
  }

  void fatalError(const xc::SAXParseException& e) override { throw e; }

  // The document was already read by the property file reader with the same
  // protections; this keeps the second parse from reaching outside the file.
  xc::InputSource* resolveEntity(const XMLCh* const, const XMLCh* const) override {
    static const XMLByte kNothing[] = {0};
    return new xc::MemBufInputSource(kNothing, 0, u"refused");
  }

  std::unique_ptr<Element> take() { return std::move(root_); }

 private:
  const xc::Locator* locator_ = nullptr;
  std::unique_ptr<Element> root_;
  std::vector<Element*> open_;
};

}  // namespace

bool Element::is(const char* elementName) const {
  return strcasecmp(name.c_str(), elementName) == 0;
}

const std::string* Element::attribute(const char* attributeName) const {
  for (const auto& a : attributes) {
    if (a.first == attributeName) return &a.second;
  }
  return nullptr;
}

std::unique_ptr<Element> parseTree(const std::string& content) {
  xc::XMLPlatformUtils::Initialize();
  std::unique_ptr<Element> root;
  {
    std::unique_ptr<xc::SAX2XMLReader> parser(xc::XMLReaderFactory::createXMLReader());
    xc::SecurityManager security;
    security.setEntityExpansionLimit(1000);
    TreeBuilder builder;
    parser->setFeature(xc::XMLUni::fgSAX2CoreNameSpaces, false);
    parser->setFeature(xc::XMLUni::fgSAX2CoreValidation, false);
    parser->setFeature(xc::XMLUni::fgXercesLoadExternalDTD, false);
    parser->setFeature(xc::XMLUni::fgXercesDisableDefaultEntityResolution, true);
    parser->setProperty(xc::XMLUni::fgXercesSecurityManager, &security);
    parser->setEntityResolver(&builder);
    parser->setContentHandler(&builder);
    parser->setErrorHandler(&builder);
    try {
      xc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(content.data()), content.size(),
                                   u"");
      parser->parse(source);
      root = builder.take();
    } catch (const xc::SAXException&) {
    } catch (const xc::XMLException&) {
    }
  }
  xc::XMLPlatformUtils::Terminate();
  return root;
}

}  // namespace lint
}  // namespace zelobjsys
