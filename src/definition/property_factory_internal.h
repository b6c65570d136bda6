// The private pieces of PropertyFactory that its two source files share.
#ifndef ZELOBJSYS_SRC_DEFINITION_PROPERTY_FACTORY_INTERNAL_H
#define ZELOBJSYS_SRC_DEFINITION_PROPERTY_FACTORY_INTERNAL_H

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "zelobjsys/prop_info.h"
#include "zelobjsys/property_factory.h"

namespace zelobjsys {

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

}  // namespace zelobjsys

#endif  // ZELOBJSYS_SRC_DEFINITION_PROPERTY_FACTORY_INTERNAL_H
