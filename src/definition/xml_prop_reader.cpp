// XMLPropReader: parsing an XML property file with Xerces-C and moving a cursor over it.
#include "zelobjsys/xml_prop_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/XMLErrorCodes.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXException.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLEntityResolver.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLString.hpp>

namespace zelobjsys {
namespace {

namespace xc = xercesc;

// Names and values in element searches and attribute look-ups are compared on this
// many characters, the size of the fixed buffers that property files were written for.
constexpr std::size_t kCompareChars = 255;

// Property files have no use for many entity references; a hostile file with nested
// entities is refused after this many expansions instead of costing seconds.
constexpr XMLSize_t kEntityExpansionLimit = 1000;

// Runs `step`, answering false if Xerces reported a failure by exception. Other
// exceptions (std::bad_alloc) pass through.
template <typename Step>
bool runXerces(Step step) {
  try {
    step();
    return true;
  } catch (const xc::XMLException&) {
  } catch (const xc::DOMException&) {
  } catch (const xc::SAXException&) {
  } catch (const xc::OutOfMemoryException&) {
  }
  return false;
}

// Releases a string that XMLString::transcode allocated.
struct TranscodedRelease {
  void operator()(char* p) const { xc::XMLString::release(&p); }
  void operator()(XMLCh* p) const { xc::XMLString::release(&p); }
};
using LocalChars = std::unique_ptr<char, TranscodedRelease>;
using XmlChars = std::unique_ptr<XMLCh, TranscodedRelease>;

constexpr std::size_t kNotAscii = static_cast<std::size_t>(-1);

// The length of `text` cut to `limit` units, or kNotAscii when a unit within
// that is beyond ASCII. Property files are nearly all ASCII, which every local
// code page holds unchanged and which folds case on letters alone, so such
// text is converted and compared here without the transcoding service.
template <typename Char>
std::size_t asciiLength(const Char* text, std::size_t limit) {
  std::size_t n = 0;
  for (; n < limit && text[n] != 0; ++n) {
    if (static_cast<unsigned>(static_cast<std::make_unsigned_t<Char>>(text[n])) >= 0x80) {
      return kNotAscii;
    }
  }
  return n;
}

char16_t foldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c; }

// `text` from the local code page, cut to `maxChars` UTF-16 units; empty when it
// cannot be transcoded.
std::u16string toXml(const char* text, std::size_t maxChars = std::u16string::npos) {
  std::u16string out;
  const std::size_t ascii = asciiLength(text, std::strlen(text));
  if (ascii != kNotAscii) {
    out.assign(text, text + std::min(ascii, maxChars));
    return out;
  }
  runXerces([&] {
    XmlChars chars(xc::XMLString::transcode(text));
    if (chars) out.assign(chars.get());
  });
  if (out.size() > maxChars) out.resize(maxChars);
  return out;
}

// `text` as toXml gives it, held on the stack when it is short and ASCII (the
// names of elements and attributes that every look-up converts).
class WideText {
 public:
  WideText(const char* text, std::size_t maxChars) {
    const std::size_t ascii = asciiLength(text, std::strlen(text));
    const std::size_t count = std::min(ascii, maxChars);
    if (ascii == kNotAscii || count >= kInline) {
      heap_ = toXml(text, maxChars);
      text_ = heap_.c_str();
      return;
    }
    std::copy(text, text + count, inline_);
    inline_[count] = 0;
    text_ = inline_;
  }
  WideText(const WideText&) = delete;
  WideText& operator=(const WideText&) = delete;
  // NOLINTNEXTLINE(readability-identifier-naming): reads like std::string's
  const XMLCh* c_str() const { return text_; }

 private:
  static constexpr std::size_t kInline = 64;
  XMLCh inline_[kInline];
  std::u16string heap_;
  const XMLCh* text_;
};

std::u16string xmlString(const XMLCh* text, std::size_t maxChars = std::u16string::npos) {
  std::u16string out = text ? std::u16string(text) : std::u16string();
  if (out.size() > maxChars) out.resize(maxChars);
  return out;
}

bool equalsIgnoringCase(const std::u16string& a, const std::u16string& b) {
  return xc::XMLString::compareIString(a.c_str(), b.c_str()) == 0;
}

// The first `limit` units of a and b (null: empty) are equal ignoring case.
bool equalsIgnoringCase(const XMLCh* a, const XMLCh* b, std::size_t limit) {
  const std::size_t na = a ? asciiLength(a, limit) : 0;
  const std::size_t nb = b ? asciiLength(b, limit) : 0;
  if (na == kNotAscii || nb == kNotAscii) {
    return equalsIgnoringCase(xmlString(a, limit), xmlString(b, limit));
  }
  if (na != nb) return false;
  for (std::size_t i = 0; i < na; ++i) {
    if (foldAscii(a[i]) != foldAscii(b[i])) return false;
  }
  return true;
}

// The first `count` units of `text`, one less when that would split a surrogate pair.
std::u16string prefixOf(const std::u16string& text, std::size_t count) {
  if (count > 0 && count < text.size() && text[count - 1] >= 0xD800 && text[count - 1] <= 0xDBFF) {
    --count;
  }
  return text.substr(0, count);
}

// `text` in the local code page; false when it cannot be transcoded.
bool toLocal(const std::u16string& text, std::string* out) {
  return runXerces([&] {
    LocalChars chars(xc::XMLString::transcode(text.c_str()));
    out->assign(chars ? chars.get() : "");
  });
}

// Stores `text` in the local code page into `buf` of `len` bytes: the longest prefix
// of whole characters that fits in len - 1 bytes, then a zero byte. Multi-byte code
// pages can make a character longer than one byte, so the cut is searched for
// rather than computed.
void writeLocal(const XMLCh* text, char* buf, int len) {
  buf[0] = '\0';
  const std::size_t room = static_cast<std::size_t>(len) - 1;
  const std::size_t ascii = text ? asciiLength(text, room) : 0;
  if (ascii != kNotAscii) {
    for (std::size_t i = 0; i < ascii; ++i) buf[i] = static_cast<char>(text[i]);
    buf[ascii] = '\0';
    return;
  }
  const std::u16string whole = prefixOf(xmlString(text), room);
  std::string local;
  if (!toLocal(whole, &local)) return;
  if (local.size() > room) {
    std::size_t fits = 0, tooLong = whole.size();
    std::string candidate;
    while (tooLong - fits > 1) {
      const std::size_t mid = fits + (tooLong - fits) / 2;
      if (toLocal(prefixOf(whole, mid), &candidate) && candidate.size() <= room) {
        fits = mid;
      } else {
        tooLong = mid;
      }
    }
    if (!toLocal(prefixOf(whole, fits), &local) || local.size() > room) local.clear();
  }
  std::memcpy(buf, local.data(), local.size());
  buf[local.size()] = '\0';
}

constexpr const char* kCannotReadId = "vornix:xml:cannotRead";
constexpr const char* kNotWellFormedId = "vornix:xml:notWellFormed";
constexpr const char* kEntityLimitId = "vornix:xml:entityLimit";
constexpr const char* kPlatformId = "vornix:xml:platform";

XMLPropException* platformFailure() {
  return new XMLPropException(XMLPropException::kPlatformFailed, kPlatformId,
                              "The XML parser could not be started.");
}

// Keeps the XML platform initialised while it lives. Xerces counts Initialize and
// Terminate calls, so every reader holds one pair of its own. The first reader
// also takes one use that is never given back: setting the platform up (its
// transcoding service and character tables) costs as much as parsing a file of
// a hundred properties, and would otherwise be paid again by every class
// defined from a file.
class PlatformGuard {
 public:
  PlatformGuard() {
    if (!runXerces([] { xc::XMLPlatformUtils::Initialize(); })) {
      throw platformFailure();
    }
    static const bool kept = runXerces([] { xc::XMLPlatformUtils::Initialize(); });
    (void)kept;
  }
  ~PlatformGuard() { xc::XMLPlatformUtils::Terminate(); }
  PlatformGuard(const PlatformGuard&) = delete;
  PlatformGuard& operator=(const PlatformGuard&) = delete;
};

// Counts errors instead of leaving their reporting to how Xerces was built, and
// stops the parse at the first fatal one: the document is refused anyway, and some
// fatal errors (too many entity expansions) would otherwise let the scan go on.
class ErrorCounter : public xc::ErrorHandler {
 public:
  void warning(const xc::SAXParseException&) override {}
  void error(const xc::SAXParseException&) override { ++count_; }
  void fatalError(const xc::SAXParseException& e) override {
    ++count_;
    throw e;
  }
  void resetErrors() override { count_ = 0; }
  int count() const { return count_; }

 private:
  int count_ = 0;
};

// The first error the parser met: its code tells a refused entity expansion
// from a document that is not well-formed.
struct FirstError {
  bool seen = false;
  unsigned code = 0;
  std::string text;
  int line = 0;
  int column = 0;
};

// Notes the first error with its code and position before the error handler
// sees it; only the parser's own report carries the code.
class NotingParser : public xc::XercesDOMParser {
 public:
  explicit NotingParser(FirstError& first)
      : xc::XercesDOMParser(nullptr, xc::XMLPlatformUtils::fgMemoryManager), first_(first) {}
  void error(const unsigned int code, const XMLCh* const domain,
             const xc::XMLErrorReporter::ErrTypes type, const XMLCh* const text,
             const XMLCh* const systemId, const XMLCh* const publicId, const XMLFileLoc line,
             const XMLFileLoc column) override {
    if (!first_.seen && type != xc::XMLErrorReporter::ErrType_Warning) {
      first_.seen = true;
      first_.code = code;
      toLocal(xmlString(text), &first_.text);
      first_.line = static_cast<int>(line);
      first_.column = static_cast<int>(column);
    }
    xc::XercesDOMParser::error(code, domain, type, text, systemId, publicId, line, column);
  }

 private:
  FirstError& first_;
};

// Answers every request for an external entity or DTD with an empty one, so that a
// property file can neither read other files nor reach the network.
class RefuseExternalEntities : public xc::XMLEntityResolver {
 public:
  xc::InputSource* resolveEntity(xc::XMLResourceIdentifier*) override {
    static const XMLByte kNothing[] = {0};
    return new xc::MemBufInputSource(kNothing, 0, u"refused");
  }
};

XMLPropException* cannotRead(const char* fileName, int error) {
  std::string name = fileName ? fileName : "";
  return new XMLPropException(XMLPropException::kParseFailed, kCannotReadId,
                              "Cannot read the property file '" + name + "': " +
                                  (name.empty() ? "no file name" : std::strerror(error)) + ".");
}

// The whole content of the file `fileName`. The reader reads files itself rather
// than through Xerces, whose file reader leaks when a read fails (a directory, say).
std::string readFile(const char* fileName) {
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  errno = 0;
  std::unique_ptr<std::FILE, Closer> file(fileName && *fileName ? std::fopen(fileName, "rb")
                                                                : nullptr);
  if (!file) throw cannotRead(fileName, errno);
  std::string content;
  char chunk[8192];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) content.append(chunk, got);
  if (std::ferror(file.get())) throw cannotRead(fileName, errno ? errno : EIO);
  return content;
}

std::string quotedName(const char* fileName) {
  return std::string("the property file '") + (fileName ? fileName : "") + "'";
}

}  // namespace

class XMLPropReader::Impl {
 public:
  Impl(const std::string& text, std::string sourceName) : sourceName_(std::move(sourceName)) {
    makeParser();
    std::unique_ptr<xc::InputSource> source;
    if (!runXerces([&] {
          source.reset(new xc::MemBufInputSource(reinterpret_cast<const XMLByte*>(text.data()),
                                                 text.size(), u""));
        })) {
      throw platformFailure();
    }
    parse(*source);
  }

  xc::DOMNode* document() const { return parser_->getDocument(); }

  // Members are public inside the implementation class: XMLPropReader is its only user.
  xc::DOMNode* current = nullptr;
  xc::DOMNode* root = nullptr;
  xc::DOMNode* deviceRoot = nullptr;
  xc::DOMNode* helpRoot = nullptr;
  std::vector<xc::DOMNode*> saved;

 private:
  void makeParser() {
    const bool made = runXerces([&] {
      security_.reset(new xc::SecurityManager());
      security_->setEntityExpansionLimit(kEntityExpansionLimit);
      parser_.reset(new NotingParser(first_));
    });
    if (!made) throw platformFailure();
    parser_->setValidationScheme(xc::XercesDOMParser::Val_Never);
    parser_->setDoNamespaces(false);
    parser_->setDoSchema(false);
    parser_->setDoXInclude(false);
    // Entity text joins the surrounding text, so that getText reads a help text with
    // an entity in it whole instead of stopping at the entity.
    parser_->setCreateEntityReferenceNodes(false);
    parser_->setLoadExternalDTD(false);
    parser_->setDisableDefaultEntityResolution(true);
    parser_->setXMLEntityResolver(&resolver_);
    parser_->setSecurityManager(security_.get());
    parser_->setErrorHandler(&errors_);
  }

  void parse(const xc::InputSource& source) {
    const bool parsed = runXerces([&] { parser_->parse(source); });
    if (!parsed || errors_.count() > 0 || parser_->getErrorCount() > 0 || !document() ||
        !document()->getFirstChild()) {
      throw parseFailure();
    }
    current = root = deviceRoot = helpRoot = document()->getFirstChild();
  }

  XMLPropException* parseFailure() const {
    if (!first_.seen) {
      return new XMLPropException(XMLPropException::kParseFailed, kNotWellFormedId,
                                  "Cannot parse " + sourceName_ + ": it has no XML content.");
    }
    const bool entityLimit = first_.code == xc::XMLErrs::EntityExpansionLimitExceeded;
    std::string where = sourceName_ + ", line " + std::to_string(first_.line) + ", column " +
                        std::to_string(first_.column);
    std::string message = entityLimit ? "Refused " + where + ": it expands entities more than " +
                                            std::to_string(kEntityExpansionLimit) + " times (" +
                                            first_.text + ")."
                                      : "Cannot parse " + where + ": " + first_.text + ".";
    return new XMLPropException(XMLPropException::kParseFailed,
                                entityLimit ? kEntityLimitId : kNotWellFormedId, message,
                                first_.line, first_.column);
  }

  // Destroyed in reverse order: the parser and its document first, the platform last.
  PlatformGuard platform_;
  std::string sourceName_;
  FirstError first_;
  ErrorCounter errors_;
  RefuseExternalEntities resolver_;
  std::unique_ptr<xc::SecurityManager> security_;
  std::unique_ptr<xc::XercesDOMParser> parser_;
};

XMLPropException::XMLPropException(int code, const char* id, const std::string& message, int line,
                                   int column)
    : code_(code), line_(line), column_(column) {
  setID(id);
  setMessage("%s", message.c_str());
}

XMLPropReader::XMLPropReader(const char* fileName)
    : impl_(std::make_unique<Impl>(readFile(fileName), quotedName(fileName))) {}

XMLPropReader::XMLPropReader(const std::string& xmlText, const std::string& sourceName)
    : impl_(std::make_unique<Impl>(xmlText, sourceName)) {}

XMLPropReader::~XMLPropReader() = default;

void XMLPropReader::gotoFirstChild() {
  if (impl_->current) impl_->current = impl_->current->getFirstChild();
}

void XMLPropReader::gotoLastChild() {
  if (impl_->current) impl_->current = impl_->current->getLastChild();
}

void XMLPropReader::gotoNextSibling() {
  if (impl_->current) impl_->current = impl_->current->getNextSibling();
}

void XMLPropReader::gotoPreviousSibling() {
  if (impl_->current) impl_->current = impl_->current->getPreviousSibling();
}

void XMLPropReader::gotoParent() {
  if (impl_->current) impl_->current = impl_->current->getParentNode();
}

void XMLPropReader::gotoTop() { impl_->current = impl_->document(); }
void XMLPropReader::gotoRoot() { impl_->current = impl_->root; }
void XMLPropReader::gotoDeviceRoot() { impl_->current = impl_->deviceRoot; }
void XMLPropReader::gotoHelpRoot() { impl_->current = impl_->helpRoot; }

void XMLPropReader::markRoot() { impl_->root = impl_->current; }
void XMLPropReader::markDeviceRoot() { impl_->deviceRoot = impl_->current; }
void XMLPropReader::markHelpRoot() { impl_->helpRoot = impl_->current; }

const void* XMLPropReader::getBookmark() const { return impl_->current; }

void XMLPropReader::gotoBookmark(const void* bookmark) {
  impl_->current = static_cast<xc::DOMNode*>(const_cast<void*>(bookmark));
}

void XMLPropReader::pushPosition() { impl_->saved.push_back(impl_->current); }

void XMLPropReader::popPosition() {
  if (impl_->saved.empty()) return;
  impl_->current = impl_->saved.back();
  impl_->saved.pop_back();
}

bool XMLPropReader::isPositionValid() const { return impl_->current != nullptr; }

bool XMLPropReader::hasChildNodes() const {
  return impl_->current && impl_->current->hasChildNodes();
}

short XMLPropReader::getNodeType() const {
  if (!impl_->current) return 0;
  return static_cast<short>(impl_->current->getNodeType());
}

namespace {

enum class Match { kNo, kYes, kUnknown };

// A node name against an ASCII name ignoring case, decided on ASCII alone:
// kUnknown as soon as either holds anything else before they differ.
// Like equalsIgnoringCase, only the first `limit` units count.
Match asciiNameMatch(const XMLCh* node, const char* name, std::size_t limit) {
  if (node == nullptr) return Match::kUnknown;
  for (std::size_t i = 0; i < limit; ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c >= 0x80 || node[i] >= 0x80) return Match::kUnknown;
    if (foldAscii(node[i]) != foldAscii(c)) return Match::kNo;
    if (c == 0) return Match::kYes;
  }
  return Match::kYes;
}

}  // namespace

bool XMLPropReader::isNodeName(const char* name) const {
  if (!name || !impl_->current) return false;
  const XMLCh* nodeName = impl_->current->getNodeName();
  const Match quick = asciiNameMatch(nodeName, name, std::u16string::npos);
  if (quick != Match::kUnknown) return quick == Match::kYes;
  return equalsIgnoringCase(WideText(name, std::u16string::npos).c_str(), nodeName,
                            std::u16string::npos);
}

void XMLPropReader::getNodeName(char* buf, int len) const {
  if (!buf || len < 1) return;
  writeLocal(impl_->current ? impl_->current->getNodeName() : nullptr, buf, len);
}

void XMLPropReader::getNodeValue(char* buf, int len) const {
  if (!buf || len < 1) return;
  writeLocal(impl_->current ? impl_->current->getNodeValue() : nullptr, buf, len);
}

namespace {

// An attribute's value. The parser keeps it as one text child unless the
// file splits it (entity references); reading that child directly spares the
// DOM's general road, which casts its way through every child.
const XMLCh* attributeValue(const xc::DOMNode* attribute) {
  const xc::DOMNode* text = attribute->getFirstChild();
  if (text != nullptr && text->getNextSibling() == nullptr &&
      text->getNodeType() == xc::DOMNode::TEXT_NODE) {
    return text->getNodeValue();
  }
  return attribute->getNodeValue();
}

// The value of the attribute `name` of `element`; null when it has none.
const XMLCh* valueOf(const xc::DOMElement* element, const XMLCh* name) {
  const xc::DOMAttr* attribute = element->getAttributeNode(name);
  return attribute != nullptr ? attributeValue(attribute) : nullptr;
}

// Whether getAttributes can compare `name` byte by byte: getAttribute
// transcodes other names and cuts long ones, and reads those itself.
bool isPlainName(const char* name) { return asciiLength(name, std::strlen(name)) <= kCompareChars; }

// Whether an attribute's name is exactly the ASCII C string `name`.
bool isAttributeName(const XMLCh* attribute, const char* name) {
  std::size_t i = 0;
  for (; name[i] != '\0'; ++i) {
    if (attribute[i] != static_cast<unsigned char>(name[i])) return false;
  }
  return attribute[i] == 0;
}

}  // namespace

void XMLPropReader::getAttribute(const char* name, char* buf, int len) const {
  if (!impl_->current || !name || !buf || len < 1) return;
  if (impl_->current->getNodeType() != xc::DOMNode::ELEMENT_NODE) {
    buf[0] = '\0';
    return;
  }
  const auto* element = static_cast<const xc::DOMElement*>(impl_->current);
  writeLocal(valueOf(element, WideText(name, kCompareChars).c_str()), buf, len);
}

void XMLPropReader::getAttributes(AttributeRequest* requests, int count) const {
  if (requests == nullptr || !impl_->current) return;
  auto wanted = [](const AttributeRequest& r) {
    return r.name != nullptr && r.buf != nullptr && r.len >= 1;
  };
  for (int i = 0; i < count; ++i) {
    if (wanted(requests[i])) requests[i].buf[0] = '\0';
  }
  if (impl_->current->getNodeType() != xc::DOMNode::ELEMENT_NODE) return;
  const xc::DOMNamedNodeMap* attributes = impl_->current->getAttributes();
  const XMLSize_t present = attributes != nullptr ? attributes->getLength() : 0;
  // Files tend to give attributes in the order asked for: each search starts
  // after the last request found.
  int next = 0;
  for (XMLSize_t a = 0; a < present && count > 0; ++a) {
    const xc::DOMNode* attribute = attributes->item(a);
    const XMLCh* name = attribute->getNodeName();
    for (int k = 0; k < count; ++k) {
      const int i = (next + k) % count;
      AttributeRequest& r = requests[i];
      if (wanted(r) && isAttributeName(name, r.name)) {
        writeLocal(attributeValue(attribute), r.buf, r.len);
        next = i + 1;
        break;
      }
    }
  }
  for (int i = 0; i < count; ++i) {
    AttributeRequest& r = requests[i];
    if (wanted(r) && !isPlainName(r.name)) getAttribute(r.name, r.buf, r.len);
  }
}

void XMLPropReader::getText(char* buf, int len) {
  if (!impl_->current || !buf || len < 1) return;
  buf[0] = '\0';
  // The first text child: only text nodes are named "#text", and they have
  // no children, so this is where the sibling search for "#text" stops.
  for (const xc::DOMNode* child = impl_->current->getFirstChild(); child;
       child = child->getNextSibling()) {
    if (child->getNodeType() == xc::DOMNode::TEXT_NODE) {
      writeLocal(child->getNodeValue(), buf, len);
      return;
    }
  }
}

namespace {

// The attribute `name` of `node` as compared in searches; null for a non-element.
const XMLCh* comparedAttribute(const xc::DOMNode* node, const XMLCh* name) {
  if (node->getNodeType() != xc::DOMNode::ELEMENT_NODE) return nullptr;
  return valueOf(static_cast<const xc::DOMElement*>(node), name);
}

}  // namespace

bool XMLPropReader::findSiblingElement(const char* elementName, const char* attrName,
                                       const char* attrValue) {
  if (!impl_->current || !elementName || (attrName && !attrValue)) return false;
  std::optional<WideText> wanted;  // made when ASCII alone cannot decide
  auto isWanted = [&](const XMLCh* nodeName) {
    const Match quick = asciiNameMatch(nodeName, elementName, kCompareChars);
    if (quick != Match::kUnknown) return quick == Match::kYes;
    if (!wanted) wanted.emplace(elementName, kCompareChars);
    return equalsIgnoringCase(wanted->c_str(), nodeName, kCompareChars);
  };
  std::optional<WideText> attr, value;
  if (attrName) {
    attr.emplace(attrName, kCompareChars);
    value.emplace(attrValue, kCompareChars);
  }

  bool found = false;
  bool withChildren = false;
  xc::DOMNode* first = nullptr;
  xc::DOMNode* node = impl_->current;
  for (; node; node = node->getNextSibling()) {
    if (isWanted(node->getNodeName())) {
      found = true;
      withChildren = node->getFirstChild() != nullptr;
      if (attrName && !equalsIgnoringCase(comparedAttribute(node, attr->c_str()), value->c_str(),
                                          kCompareChars)) {
        found = withChildren = false;
        continue;
      }
    } else if (!found) {
      continue;
    }
    if (withChildren) break;
    if (!first) first = node;
  }
  // withChildren is only ever set together with found, and the walk stops there.
  if (found && withChildren) {
    impl_->current = node;
  } else if (first) {
    impl_->current = first;
  }
  return found;
}

}  // namespace zelobjsys
