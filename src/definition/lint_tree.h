// The element tree the property file linter checks: names, attributes, text and line numbers.
#ifndef ZELOBJSYS_SRC_DEFINITION_LINT_TREE_H
#define ZELOBJSYS_SRC_DEFINITION_LINT_TREE_H

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zelobjsys {
namespace lint {

struct Element {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;  // in document order
  std::string text;                                             // direct text, joined
  int line = 0;
  std::vector<std::unique_ptr<Element>> children;

  bool is(const char* elementName) const;  // ignoring case, as the reader does
  // The attribute's value (names are case-sensitive, as the reader's look-ups
  // are); null when absent.
  const std::string* attribute(const char* attributeName) const;
};

// Parses a document that is known to be well-formed into its root element;
// null when it has none.
std::unique_ptr<Element> parseTree(const std::string& content);

}  // namespace lint
}  // namespace zelobjsys

#endif  // ZELOBJSYS_SRC_DEFINITION_LINT_TREE_H
