// The private pieces of PropertyFactory that its two source files share.
#ifndef ZELOBJSYS_SRC_DEFINITION_PROPERTY_FACTORY_INTERNAL_H
#define ZELOBJSYS_SRC_DEFINITION_PROPERTY_FACTORY_INTERNAL_H

#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "zelobjsys/prop_info.h"
#include "zelobjsys/property_factory.h"
#include "zelobjsys/xml_prop_reader.h"

namespace zelobjsys {

namespace xmlfile {

// Maximum lengths (characters) of the values read from a property file.
constexpr int kNameChars = 63;
constexpr int kShortChars = 31;
constexpr int kOptionalChars = 15;
constexpr int kHelpChars = 2047;
// Longer texts are compared on their first this many characters by the reader.
constexpr std::size_t kComparedChars = 255;

// The attribute `name` of the element at the cursor, cut to `maxChars` characters.
inline std::string attributeOf(const XMLPropReader& reader, const char* name, int maxChars) {
  // Every attribute of every property is read through here: the usual sizes
  // use a buffer on the stack, and a short value then needs no heap at all.
  constexpr int kOnStack = 2 * static_cast<int>(kComparedChars) + 1;
  if (maxChars <= kOnStack) {
    char buf[kOnStack + 1];
    buf[0] = '\0';
    reader.getAttribute(name, buf, maxChars + 1);
    return std::string(buf);
  }
  std::string buf(static_cast<std::size_t>(maxChars) + 1, '\0');
  reader.getAttribute(name, &buf[0], maxChars + 1);
  buf.resize(std::strlen(buf.c_str()));
  return buf;
}

// Saves the reader's position and restores it on every way out.
class SavedPosition {
 public:
  explicit SavedPosition(XMLPropReader& reader) : reader_(reader) { reader_.pushPosition(); }
  ~SavedPosition() { reader_.popPosition(); }
  SavedPosition(const SavedPosition&) = delete;
  SavedPosition& operator=(const SavedPosition&) = delete;

 private:
  XMLPropReader& reader_;
};

}  // namespace xmlfile

// One property under definition; its address is the property handle.
struct PropertyFactory::PropHandler {
  PropInfo* record = nullptr;
  // Set until a target takes the record.
  std::unique_ptr<PropInfo> owned;
  std::string dataTypeName;
  // The values of the enumeration texts, in the order of the constraint value.
  std::vector<int> enumValues;
  bool isEnumeration = false;
};

// The fields of one property element, cut to their maximum lengths.
struct PropertyFactory::XMLProperty {
  std::string name, type, readOnly, deviceSpecific, constraint, defaultText, min, max, help;
  // Enumeration texts by ascending id; the first text of an id wins.
  std::map<int, std::string> enumValues;
};

// Answers "which AdaptorHelp does the search from the help root's first
// child pick for this property" in constant time, with the same result as
// XMLPropReader::findSiblingElement("AdaptorHelp", "property", name): a help
// file of thousands of properties is otherwise searched once per property.
// Built once per reader and help root. Keys fold ASCII letters only; a file
// with an AdaptorHelp attribute that is empty, holds anything but printable
// ASCII or is long enough to be cut in the comparison is not indexed, and
// such names are not looked up: the plain search answers instead.
class PropertyFactory::HelpIndex {
 public:
  // Walks the siblings from the help root's first child; the cursor is left
  // where it was.
  HelpIndex(XMLPropReader& reader);
  // Whether this index describes the reader's help root as it is now.
  bool isFor(XMLPropReader& reader) const;
  bool usable() const { return usable_; }
  // The node the search would stop at (a bookmark), or null when it finds
  // nothing. Only for usable indexes and indexable names.
  const void* find(const std::string& propertyName) const;
  // Names that the index can answer for.
  static bool indexable(const std::string& text);
  static std::string fold(const std::string& text);

 private:
  struct Matches {
    const void* firstWithChildren = nullptr;
    const void* firstChildless = nullptr;
  };
  const XMLPropReader* reader_;
  const void* helpRoot_;
  bool usable_ = true;
  std::unordered_map<std::string, Matches> byName_;
  // The key of the last AdaptorHelp: a childless match is kept only when no
  // later AdaptorHelp with another name cleared it.
  std::string lastKey_;
  bool any_ = false;
};

// Answers "which Section does an include of this name parse" for the siblings
// that the search starts at (the first child of the root or of the device
// root), with the same result as XMLPropReader::findSiblingElement("Section",
// "name", name) followed by the parse: the first match with content, since an
// empty match defines nothing. Built once per reader and mark, it makes an
// include a hash look-up instead of a walk over all sections, so a chain of
// thousands of sections stays linear. Keys fold ASCII letters only: names
// with anything but printable ASCII (or empty, or with '?', which is what an
// untranscodable name reads back as) are left to the reader's search.
class PropertyFactory::SectionIndex {
 public:
  SectionIndex(XMLPropReader& reader, bool fromDeviceRoot);
  // Whether this index describes the reader's mark as it is now.
  bool isFor(XMLPropReader& reader) const;

  struct Found {
    const void* section;  // a bookmark; null when nothing is included
    bool searched;        // the answer took a walk over all the siblings
  };
  // The cursor is left where it was.
  Found find(XMLPropReader& reader, const std::string& name);
  std::size_t siblings() const { return siblings_; }

 private:
  static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
  struct Entry {
    const void* section;
    std::size_t ordinal;  // position among the siblings
  };
  Found search(XMLPropReader& reader, const std::string& name);

  const XMLPropReader* reader_;
  bool fromDeviceRoot_;
  const void* mark_;
  const void* first_ = nullptr;
  std::size_t siblings_ = 0;
  // The first Section with content of each folded name.
  std::unordered_map<std::string, Entry> byName_;
  // The position of the first Section with content whose name the keys cannot
  // answer for: a plain name found after it may still match it.
  std::size_t firstUnkeyed_ = kNone;
  // Answers of the reader's search, by exact name.
  std::unordered_map<std::string, const void*> searched_;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_SRC_DEFINITION_PROPERTY_FACTORY_INTERNAL_H
