// PropertyFactory: properties and help text from an XML property file.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "property_factory_internal.h"
#include "zelhost/services/zelutil.h"
#include "zelobjsys/xml_prop_reader.h"

namespace zelobjsys {

using namespace xmlfile;

namespace {

// Read into the stack: a heap buffer of the longest allowed text per help
// line was megabytes of fresh pages for a large file.
std::string textOf(XMLPropReader& reader, int maxChars) {
  char buf[kHelpChars + 1];
  const int len = maxChars < kHelpChars ? maxChars + 1 : kHelpChars + 1;
  buf[0] = '\0';
  reader.getText(buf, len);
  return std::string(buf);
}

// Like sscanf "%lf": leading blanks, then the longest number; false when none.
bool parseDouble(const std::string& text, double* out) {
  const char* start = text.c_str();
  char* end = nullptr;
  const double value = std::strtod(start, &end);
  if (end == start) return false;
  *out = value;
  return true;
}

// Like sscanf "%i" (0x hexadecimal, 0 octal, else decimal), but a value
// beyond the int range is clamped instead of undefined.
bool parseInt(const std::string& text, int* out) {
  const char* start = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(start, &end, 0);
  if (end == start) return false;
  *out = value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : static_cast<int>(value);
  return true;
}

// A leading decimal integer, 0 when there is none (clamped like parseInt).
int leadingDecimal(const std::string& text) {
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  return value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

bool sameText(const std::string& a, const char* b) { return zelutil::caselessCompare(a, b) == 0; }

}  // namespace

// ---------------------------------------------------------------- reader

void PropertyFactory::setXMLReader(XMLPropReader* reader) {
  reader_ = reader;
  // A new reader may sit where the old one was.
  helpIndex_.reset();
  for (std::unique_ptr<SectionIndex>& index : sectionIndexes_) index.reset();
}

XMLPropReader* PropertyFactory::getXMLReader() const { return reader_; }

// ---------------------------------------------------------------- properties

void PropertyFactory::readAttributes(XMLProperty& p) const {
  char name[kNameChars + 1], type[kShortChars + 1], readOnly[kShortChars + 1],
      deviceSpecific[kShortChars + 1], constraint[kShortChars + 1], defaultText[kShortChars + 1],
      min[kShortChars + 1], max[kShortChars + 1];
  XMLPropReader::AttributeRequest wanted[] = {
      {"name", name, sizeof name},
      {"type", type, sizeof type},
      {"readOnly", readOnly, sizeof readOnly},
      {"deviceSpecific", deviceSpecific, sizeof deviceSpecific},
      {"constraint", constraint, sizeof constraint},
      {"default", defaultText, sizeof defaultText},
      {"min", min, sizeof min},
      {"max", max, sizeof max},
  };
  reader_->getAttributes(wanted, static_cast<int>(std::size(wanted)));
  p.name = name;
  p.type = type;
  p.readOnly = readOnly;
  p.deviceSpecific = deviceSpecific;
  p.constraint = constraint;
  p.defaultText = defaultText;
  p.min = min;
  p.max = max;
}

void* PropertyFactory::createPropFromXMLNode() {
  if (reader_ == nullptr || !reader_->isNodeName("property")) return nullptr;
  XMLProperty p;
  readAttributes(p);
  {
    SavedPosition saved(*reader_);
    for (reader_->gotoFirstChild(); reader_->isPositionValid(); reader_->gotoNextSibling()) {
      if (reader_->isNodeName("minconstraintvalue")) {
        p.min = textOf(*reader_, kNameChars);
      } else if (reader_->isNodeName("maxconstraintvalue")) {
        p.max = textOf(*reader_, kNameChars);
      } else if (reader_->isNodeName("defaultvalue")) {
        p.defaultText = textOf(*reader_, kNameChars);
      } else if (reader_->isNodeName("help")) {
        p.help = textOf(*reader_, kHelpChars);
      } else if (reader_->isNodeName("enumconstraintvalue")) {
        p.enumValues.emplace(leadingDecimal(attributeOf(*reader_, "id", kShortChars)),
                             attributeOf(*reader_, "name", kNameChars));
      }
    }
  }
  void* handle = createFromXMLProperty(p);
  if (handle == nullptr) return nullptr;
  if (!p.readOnly.empty()) setPropReadOnly(handle, p.readOnly.c_str());
  addPropHelpFromXML(handle, p.help.empty() ? nullptr : p.help.c_str());
  return handle;
}

void* PropertyFactory::createFromXMLProperty(const XMLProperty& p) {
  const char* name = p.name.c_str();
  const std::string& c = p.constraint;
  if (sameText(p.type, "string")) {
    if (sameText(c, "none")) return createStringProperty(name, p.defaultText.c_str());
    if (sameText(c, "enum")) return createEnumFromXML(p);
  } else if (sameText(p.type, "double")) {
    double value = 0.0;
    if (!parseDouble(p.defaultText, &value)) value = 0.0;
    if (sameText(c, "none")) return createDoubleProperty(name, value);
    if (sameText(c, "zeroorpositive")) return createZeroPosDoubleProperty(name, value);
    if (sameText(c, "zeroinforpositive")) return createZeroInfPosDoubleProperty(name, value);
    if (sameText(c, "bounded")) {
      double lo = 0.0, hi = 1.0;
      parseDouble(p.min, &lo);
      parseDouble(p.max, &hi);
      value = value < lo ? lo : value > hi ? hi : value;
      return createDoubleProperty(name, lo, hi, value);
    }
  } else if (sameText(p.type, "int")) {
    int value = 0;
    if (!parseInt(p.defaultText, &value)) value = 0;
    if (sameText(c, "none")) return createIntProperty(name, value);
    if (sameText(c, "zeroorpositive")) return createZeroPosIntProperty(name, value);
    if (sameText(c, "zeroinforpositive")) return createZeroInfPosIntProperty(name, value);
    if (sameText(c, "positive")) return createPosIntProperty(name, value);
    if (sameText(c, "inforpositive")) return createInfPosIntProperty(name, value);
    if (sameText(c, "bounded")) {
      int lo = INT_MIN, hi = INT_MAX;
      parseInt(p.min, &lo);
      parseInt(p.max, &hi);
      value = value < lo ? lo : value > hi ? hi : value;
      return createIntProperty(name, lo, hi, value);
    }
  }
  return nullptr;
}

void* PropertyFactory::createEnumFromXML(const XMLProperty& p) {
  if (p.enumValues.empty()) return nullptr;  // no value, so no default either
  auto chosen = p.enumValues.begin();
  for (auto it = p.enumValues.begin(); it != p.enumValues.end(); ++it) {
    if (it->second == p.defaultText) {
      chosen = it;
      break;
    }
  }
  void* handle = createEnumProperty(p.name.c_str(), chosen->second.c_str(), chosen->first);
  for (auto it = p.enumValues.begin(); it != p.enumValues.end(); ++it) {
    if (it != chosen) addEnumValue(handle, it->second.c_str(), it->first);
  }
  return handle;
}

void* PropertyFactory::createPropFromXML(const char* name) {
  if (reader_ == nullptr || name == nullptr) return nullptr;
  SavedPosition saved(*reader_);
  reader_->gotoDeviceRoot();
  if (reader_->isPositionValid()) reader_->gotoFirstChild();
  void* handle = nullptr;
  for (; handle == nullptr && reader_->isPositionValid(); reader_->gotoNextSibling()) {
    if (reader_->isNodeName("property") && attributeOf(*reader_, "name", kNameChars) == name) {
      handle = createPropFromXMLNode();
    }
  }
  return handle;
}

// ---------------------------------------------------------------- help

void PropertyFactory::addPropHelpFromXML(void* handle, const char* text) const {
  PropHandler* h = getPropHandler(handle);
  if (reader_ == nullptr || h == nullptr) return;
  PropInfo& record = *h->record;
  auto addLine = [&record](const std::string& line) {
    record.addDescriptionLine(line.c_str(), "", false);
  };
  bool foundAdaptorHelp = false;
  std::string seeAlso;
  {
    SavedPosition saved(*reader_);
    reader_->gotoHelpRoot();
    if (reader_->isPositionValid()) {
      reader_->gotoFirstChild();
      foundAdaptorHelp = findAdaptorHelp(record.getName());
    }
    if (foundAdaptorHelp) {
      addLine(textOf(*reader_, kHelpChars));
      reader_->gotoFirstChild();
      reader_->pushPosition();
      if (reader_->findSiblingElement("DeviceHelp", "device", deviceName_.c_str())) {
        addLine("");
        addLine(textOf(*reader_, kHelpChars));
      }
      reader_->popPosition();
      if (reader_->findSiblingElement("SeeAlso")) seeAlso = textOf(*reader_, kHelpChars);
    }
  }
  if (text != nullptr) {
    if (foundAdaptorHelp) addLine("");
    addLine(text);
  }
  if (!seeAlso.empty()) {
    addLine("");
    record.addDescriptionLine(seeAlso.c_str(), "See also ", true);
  }
}

bool PropertyFactory::findAdaptorHelp(const char* propertyName) const {
  const std::string name = propertyName != nullptr ? propertyName : "";
  const HelpIndex& index = helpIndex();
  if (!index.usable() || !HelpIndex::indexable(name)) {
    return reader_->findSiblingElement("AdaptorHelp", "property", name.c_str());
  }
  const void* node = index.find(name);
  if (node == nullptr) return false;
  reader_->gotoBookmark(node);
  return true;
}

const PropertyFactory::HelpIndex& PropertyFactory::helpIndex() const {
  if (!helpIndex_ || !helpIndex_->isFor(*reader_)) helpIndex_.reset(new HelpIndex(*reader_));
  return *helpIndex_;
}

PropertyFactory::HelpIndex::HelpIndex(XMLPropReader& reader) : reader_(&reader) {
  SavedPosition saved(reader);
  reader.gotoHelpRoot();
  helpRoot_ = reader.getBookmark();
  if (!reader.isPositionValid()) return;
  for (reader.gotoFirstChild(); reader.isPositionValid(); reader.gotoNextSibling()) {
    if (!reader.isNodeName("AdaptorHelp")) continue;
    const std::string property = attributeOf(reader, "property", 2 * kComparedChars);
    if (!indexable(property)) {
      usable_ = false;
      byName_.clear();
      return;
    }
    lastKey_ = fold(property);
    any_ = true;
    Matches& matches = byName_[lastKey_];
    const void*& slot = reader.hasChildNodes() ? matches.firstWithChildren : matches.firstChildless;
    if (slot == nullptr) slot = reader.getBookmark();
  }
}

bool PropertyFactory::HelpIndex::isFor(XMLPropReader& reader) const {
  if (&reader != reader_) return false;
  SavedPosition saved(reader);
  reader.gotoHelpRoot();
  return reader.getBookmark() == helpRoot_;
}

const void* PropertyFactory::HelpIndex::find(const std::string& propertyName) const {
  const std::string key = fold(propertyName);
  auto found = byName_.find(key);
  if (found == byName_.end()) return nullptr;
  // A match with content ends the search; a childless one counts only when no
  // later AdaptorHelp of another name cleared it.
  if (found->second.firstWithChildren != nullptr) return found->second.firstWithChildren;
  return any_ && lastKey_ == key ? found->second.firstChildless : nullptr;
}

bool PropertyFactory::HelpIndex::indexable(const std::string& text) {
  // Outside printable ASCII the reader's comparison folds more than letters
  // (and a text that the local code page cannot hold reads back empty or with
  // substitutes), so those names are left to the plain search.
  if (text.empty() || text.size() >= kComparedChars) return false;
  for (unsigned char c : text) {
    if (c < 0x20 || c >= 0x7F || c == '?') return false;
  }
  return true;
}

std::string PropertyFactory::HelpIndex::fold(const std::string& text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

}  // namespace zelobjsys
