// lintPropertyFile: what the lenient XML property file reader would silently ignore or change.
#ifndef ZELOBJSYS_PROPERTY_FILE_LINT_H
#define ZELOBJSYS_PROPERTY_FILE_LINT_H

#include <string>
#include <vector>

namespace zelobjsys {

// One problem: where it is and what it is. Identifiers start with
// "vornix:lint:" (or the reader's "vornix:xml:" when the file cannot be read
// or parsed at all).
struct LintFinding {
  std::string file;
  int line = 0;
  std::string id;
  std::string message;
};

struct LintOptions {
  // Only this section and the sections it includes; empty: every section.
  std::string section;
  // Properties the product defines in code whose help the file holds (the
  // library's standard properties are always known).
  std::vector<std::string> codeProperties;
};

// Reads the file and reports, in line order: unknown elements and attributes,
// properties without a name, unknown types and constraints (with the nearest
// known name), numbers that do not read, min above max, defaults outside their
// bounds or not among their enumeration values, enumerations without values,
// duplicate names within a class, includes of missing sections, include
// cycles and help for properties that do not exist. Empty when the file is
// clean. The definition operations stay lenient; this is what products run
// in their tests and what `zelsh --lint` prints.
std::vector<LintFinding> lintPropertyFile(const std::string& path,
                                          const LintOptions& options = LintOptions());

// "FILE:LINE: ID: MESSAGE"
std::string formatFinding(const LintFinding& finding);

}  // namespace zelobjsys

#endif  // ZELOBJSYS_PROPERTY_FILE_LINT_H
