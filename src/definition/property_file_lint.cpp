// The property file linter: the checks, over the element tree of one file.
#include "zelobjsys/property_file_lint.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "definition/lint_tree.h"
#include "zelobjsys/xml_prop_reader.h"

namespace zelobjsys {
namespace {

using lint::Element;

const std::vector<std::string> kTypes = {"string", "double", "int"};
const std::map<std::string, std::vector<std::string>> kConstraints = {
    {"string", {"none", "enum"}},
    {"double", {"none", "zeroorpositive", "zeroinforpositive", "bounded"}},
    {"int",
     {"none", "zeroorpositive", "zeroinforpositive", "positive", "inforpositive", "bounded"}},
};
const std::vector<std::string> kPropertyAttributes = {
    "name",    "type", "readOnly", "deviceSpecific", "constraint",
    "default", "min",  "max",      "optional"};
const std::vector<std::string> kPropertyChildren = {"minconstraintvalue", "maxconstraintvalue",
                                                    "defaultvalue", "help", "enumconstraintvalue"};
// The library's standard properties, whose help a file may hold.
const std::vector<std::string> kStandardProperties = {
    "Name", "Tag", "Type", "UserData", "TimerFcn", "TimerPeriod", "Timeout"};

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool same(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str()) == 0;
}

std::size_t distance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1] ? 1 : 0)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The known name closest to a misspelt one; a name that holds the word (or
// that the word holds) is closest of all.
std::string nearest(const std::string& word, const std::vector<std::string>& known) {
  auto score = [&](const std::string& k) {
    const std::string w = lower(word), c = lower(k);
    bool holds = !w.empty() && (c.find(w) != std::string::npos || w.find(c) != std::string::npos);
    return holds ? 0 : distance(w, c);
  };
  std::string best = known.front();
  for (const std::string& k : known) {
    if (score(k) < score(best)) best = k;
  }
  return best;
}

std::string joined(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += (out.empty() ? "" : ", ") + w;
  return out;
}

bool contains(const std::vector<std::string>& list, const std::string& word, bool ignoreCase) {
  return std::any_of(list.begin(), list.end(),
                     [&](const std::string& k) { return ignoreCase ? same(k, word) : k == word; });
}

// Numbers read as the definition operations read them: a leading number counts.
bool readNumber(const std::string& text, bool integer, double* out) {
  const char* start = text.c_str();
  char* end = nullptr;
  *out = integer ? static_cast<double>(std::strtoll(start, &end, 0)) : std::strtod(start, &end);
  return end != start;
}

class Linter {
 public:
  Linter(std::string file, const LintOptions& options)
      : file_(std::move(file)), options_(options) {}

  std::vector<LintFinding> run(const Element& root) {
    indexSections(root);
    checkRootChildren(root);
    std::vector<const Element*> classRoots;
    if (options_.section.empty()) {
      for (const Element* s : sectionList_) classRoots.push_back(s);
    } else if (const Element* s = findSection(options_.section)) {
      classRoots.push_back(s);
    } else {
      report(root.line, "missingSection", "There is no section '" + options_.section + "'.");
    }
    std::set<const Element*> checked;
    for (const Element* s : classRoots) walkClass(*s, checked);
    checkHelp(root);
    std::stable_sort(findings_.begin(), findings_.end(),
                     [](const LintFinding& a, const LintFinding& b) { return a.line < b.line; });
    return std::move(findings_);
  }

 private:
  void report(int line, const char* kind, const std::string& message) {
    std::string id = std::string("vornix:lint:") + kind;
    if (!reported_.insert(std::to_string(line) + id + message).second) return;
    findings_.push_back({file_, line, id, message});
  }

  void indexSections(const Element& root) {
    for (const auto& child : root.children) {
      if (!child->is("Section")) continue;
      sectionList_.push_back(child.get());
      const std::string* name = child->attribute("name");
      if (name == nullptr) continue;
      // The reader prefers a same-named section with content over an empty one.
      const Element*& slot = sections_[lower(*name)];
      if (slot == nullptr || (slot->children.empty() && !child->children.empty())) {
        slot = child.get();
      }
    }
  }

  const Element* findSection(const std::string& name) const {
    auto it = sections_.find(lower(name));
    return it == sections_.end() ? nullptr : it->second;
  }

  void unknownElement(const Element& e, const std::string& where, const std::string& allowed) {
    report(e.line, "unknownElement",
           "Unknown element <" + e.name + "> in " + where + " (expected " + allowed + ").");
  }

  void checkAttributes(const Element& e, const std::vector<std::string>& allowed) {
    for (const auto& a : e.attributes) {
      if (contains(allowed, a.first, false)) continue;
      std::string hint = contains(allowed, a.first, true) ||
                                 distance(lower(a.first), lower(nearest(a.first, allowed))) <= 2
                             ? "; did you mean '" + nearest(a.first, allowed) + "'?"
                             : " (expected " + joined(allowed) + ").";
      report(e.line, "unknownAttribute",
             "Unknown attribute '" + a.first + "' of <" + e.name + ">" + hint);
    }
  }

  void checkRootChildren(const Element& root) {
    for (const auto& child : root.children) {
      if (child->is("Section")) {
        checkAttributes(*child, {"name"});
        checkSectionChildren(*child);
      } else if (child->is("AdaptorHelp")) {
        checkAttributes(*child, {"property"});
        for (const auto& part : child->children) {
          if (part->is("DeviceHelp")) {
            checkAttributes(*part, {"device"});
          } else if (part->is("SeeAlso")) {
            checkAttributes(*part, {});
          } else {
            unknownElement(*part, "<AdaptorHelp>", "DeviceHelp, SeeAlso");
          }
        }
      } else {
        unknownElement(*child, "the root element", "Section, AdaptorHelp");
      }
    }
  }

  void checkSectionChildren(const Element& section) {
    for (const auto& child : section.children) {
      if (child->is("property")) {
        checkAttributes(*child, kPropertyAttributes);
        for (const auto& part : child->children) {
          if (part->is("enumconstraintvalue")) {
            checkAttributes(*part, {"name", "id"});
          } else if (!contains(kPropertyChildren, lower(part->name), false)) {
            unknownElement(*part, "<property>", joined(kPropertyChildren));
          }
        }
      } else if (child->is("include")) {
        checkAttributes(*child, {"tag"});
      } else {
        unknownElement(*child, "<Section>", "property, include");
      }
    }
  }

  // The class a section defines: its properties and those of its includes.
  void walkClass(const Element& section, std::set<const Element*>& checked) {
    std::map<std::string, int> names;
    std::vector<const Element*> open;
    walkSection(section, open, names, checked);
  }

  void walkSection(const Element& section, std::vector<const Element*>& open,
                   std::map<std::string, int>& names, std::set<const Element*>& checked) {
    open.push_back(&section);
    for (const auto& child : section.children) {
      if (child->is("property")) {
        if (checked.insert(child.get()).second) checkProperty(*child);
        const std::string* optional = child->attribute("optional");
        const std::string* name = child->attribute("name");
        if ((optional != nullptr && *optional == "on") || name == nullptr || name->empty()) {
          continue;
        }
        auto first = names.emplace(*name, child->line);
        if (!first.second) {
          report(child->line, "duplicateName",
                 "The property '" + *name + "' is defined again (first at line " +
                     std::to_string(first.first->second) + ").");
        }
      } else if (child->is("include")) {
        followInclude(*child, open, names, checked);
      }
    }
    open.pop_back();
  }

  void followInclude(const Element& include, std::vector<const Element*>& open,
                     std::map<std::string, int>& names, std::set<const Element*>& checked) {
    const std::string* tag = include.attribute("tag");
    const Element* target = tag != nullptr ? findSection(*tag) : nullptr;
    if (target == nullptr) {
      report(include.line, "missingSection",
             "The include names no section" + (tag ? " '" + *tag + "'." : " (no tag)."));
      return;
    }
    if (std::find(open.begin(), open.end(), target) != open.end()) {
      report(include.line, "includeCycle",
             "Including '" + *tag + "' here includes it within itself.");
      return;
    }
    walkSection(*target, open, names, checked);
  }

  void checkProperty(const Element& p) {
    const std::string* name = p.attribute("name");
    if (name == nullptr || name->empty()) {
      report(p.line, "noName", "A property without a name is ignored.");
    }
    const std::string label = name != nullptr ? "'" + *name + "'" : "a property";
    std::string type = lower(p.attribute("type") ? *p.attribute("type") : "");
    if (!contains(kTypes, type, false)) {
      report(p.line, "unknownType",
             "Unknown type '" + type + "' of " + label + "; did you mean '" +
                 nearest(type, kTypes) + "'? The property is ignored.");
      return;
    }
    const std::vector<std::string>& allowed = kConstraints.at(type);
    std::string constraint = lower(p.attribute("constraint") ? *p.attribute("constraint") : "");
    if (!contains(allowed, constraint, false)) {
      report(p.line, "unknownConstraint",
             "Unknown constraint '" + constraint + "' for the " + type + " " + label +
                 "; did you mean '" + nearest(constraint, allowed) + "'? The property is ignored.");
      return;
    }
    std::string defaultText = valueOf(p, "default", "defaultvalue");
    if (constraint == "enum") {
      checkEnum(p, label, defaultText);
    } else if (type != "string") {
      checkNumbers(p, label, type == "int", constraint, defaultText);
    }
  }

  // An attribute, overridden by a child element's text as the reader does.
  static std::string valueOf(const Element& p, const char* attributeName, const char* child) {
    std::string value = p.attribute(attributeName) ? *p.attribute(attributeName) : "";
    for (const auto& c : p.children) {
      if (c->is(child)) value = c->text;
    }
    return value;
  }

  void checkEnum(const Element& p, const std::string& label, const std::string& defaultText) {
    std::map<long long, std::string> byId;  // the first of an id counts, as in the reader
    for (const auto& c : p.children) {
      if (!c->is("enumconstraintvalue")) continue;
      const std::string* id = c->attribute("id");
      const std::string* name = c->attribute("name");
      byId.emplace(id ? std::strtoll(id->c_str(), nullptr, 10) : 0, name ? *name : "");
    }
    std::vector<std::string> values;
    values.reserve(byId.size());
    for (const auto& v : byId) values.push_back(v.second);
    if (values.empty()) {
      report(p.line, "noEnumValues", "The enumerated " + label + " has no values and is ignored.");
    } else if (!contains(values, defaultText, false)) {
      report(p.line, "defaultNotInEnum",
             "The default '" + defaultText + "' of " + label + " is not among its values (" +
                 joined(values) + "); '" + values.front() + "' is used instead.");
    }
  }

  void checkNumbers(const Element& p, const std::string& label, bool integer,
                    const std::string& constraint, const std::string& defaultText) {
    double value = 0, lo = -HUGE_VAL, hi = HUGE_VAL;
    bool checkDefault = true;
    if (!defaultText.empty() && !readNumber(defaultText, integer, &value)) {
      report(p.line, "badNumber",
             "The default '" + defaultText + "' of " + label + " is no number.");
      checkDefault = false;
    }
    if (constraint == "bounded") {
      std::string minText = valueOf(p, "min", "minconstraintvalue");
      std::string maxText = valueOf(p, "max", "maxconstraintvalue");
      if (!readNumber(minText, integer, &lo)) lo = integer ? -2147483648.0 : 0.0;
      if (!readNumber(maxText, integer, &hi)) hi = integer ? 2147483647.0 : 1.0;
      if (lo > hi) {
        report(p.line, "minAboveMax", "The minimum of " + label + " is above its maximum.");
        return;
      }
    } else if (constraint == "zeroorpositive" || constraint == "zeroinforpositive") {
      lo = 0;
    } else if (constraint == "positive" || constraint == "inforpositive") {
      lo = 1;
    }
    if (checkDefault && (value < lo || value > hi)) {
      report(p.line, "defaultOutOfBounds",
             "The default " + (defaultText.empty() ? "0" : defaultText) + " of " + label +
                 " is outside its bounds; the definition clamps it.");
    }
  }

  void checkHelp(const Element& root) {
    std::set<std::string> defined;
    for (const Element* s : sectionList_) {
      for (const auto& c : s->children) {
        if (c->is("property") && c->attribute("name")) defined.insert(lower(*c->attribute("name")));
      }
    }
    for (const auto& list : {kStandardProperties, options_.codeProperties}) {
      for (const std::string& n : list) defined.insert(lower(n));
    }
    for (const auto& child : root.children) {
      const std::string* property = child->attribute("property");
      if (!child->is("AdaptorHelp") || property == nullptr) continue;
      if (defined.count(lower(*property)) == 0) {
        report(child->line, "helpForUnknownProperty",
               "Help for '" + *property + "', which no section of the file defines.");
      }
    }
  }

  std::string file_;
  const LintOptions& options_;
  std::vector<LintFinding> findings_;
  std::set<std::string> reported_;
  std::vector<const Element*> sectionList_;
  std::map<std::string, const Element*> sections_;  // by lower-case name
};

}  // namespace

std::vector<LintFinding> lintPropertyFile(const std::string& path, const LintOptions& options) {
  // The reader decides whether the file is readable and well-formed, with
  // its own protections and messages.
  try {
    XMLPropReader reader(path.c_str());
  } catch (XMLPropException* e) {
    std::unique_ptr<XMLPropException> owned(e);
    return {{path, e->getLine(), e->getID(), e->getMessage()}};
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  std::unique_ptr<lint::Element> root = lint::parseTree(content.str());
  if (!root) return {{path, 0, "vornix:xml:notWellFormed", "The file has no root element."}};
  return Linter(path, options).run(*root);
}

std::string formatFinding(const LintFinding& f) {
  return f.file + ":" + std::to_string(f.line) + ": " + f.id + ": " + f.message;
}

}  // namespace zelobjsys
