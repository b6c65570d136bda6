// What "help" shows.
#include "help.h"

#include <algorithm>
#include <ostream>

#include "hints.h"
#include "properties.h"
#include "zelhost/services/services.h"

namespace zelsh {

namespace {

struct Entry {
  const char* name;
  const char* usage;
  const char* description;
};

const Entry kStatements[] = {
    {"", "x = EXPR", "Assigns a variable and shows it (a final ';' keeps it quiet)."},
    {"", "x.Name = EXPR", "Sets a property of an object, or a field of a structure."},
    {"", "EXPR", "Evaluates and shows the value."},
    {"function", "function NAME(P1, P2, ...) ... end", "Defines a function of the session."},
};

const Entry kBuiltins[] = {
    {"class", "class(X)", "The class name of a value."},
    {"delete", "delete(OBJ)", "Deletes an object."},
    {"disp", "disp(X)", "Shows a value; a string's text bare."},
    {"drawnow", "drawnow()", "Runs queued events."},
    {"error", "error(ID, MESSAGE)", "Raises an error."},
    {"fieldnames", "fieldnames(X)", "The fields of a structure, or the properties of an object."},
    {"findprop", "findprop(OBJ, NAME)", "The descriptor object of a property, or []."},
    {"get", "get(OBJ[, NAME])", "One property's value, or a structure of them all."},
    {"help", "help [NAME], help(OBJ)", "Lists functions; one function; an object's properties."},
    {"isempty", "isempty(X)", "Whether a value has no elements."},
    {"isvalid", "isvalid(OBJ)", "Whether an object is still valid."},
    {"num2str", "num2str(X)", "The text of a number."},
    {"numel", "numel(X)", "The number of elements of a value."},
    {"pause", "pause(SECONDS)", "Waits while running events; Ctrl-C interrupts it."},
    {"set", "set(OBJ, NAME, VALUE)", "Sets a property."},
    {"warning", "warning(ID, MESSAGE)", "Shows a warning."},
};

const Entry kMethods[] = {
    {"propinfo", "propinfo(OBJ[, NAME])", "Type, constraint and default of a property, or of all."},
    {"prophelp", "prophelp(OBJ, NAME)", "The help text of a property."},
};

const Entry* find(const std::string& name) {
  for (const Entry& e : kStatements)
    if (name == e.name) return &e;
  for (const Entry& e : kBuiltins)
    if (name == e.name) return &e;
  for (const Entry& e : kMethods)
    if (name == e.name) return &e;
  return nullptr;
}

struct Line {
  std::string usage, description;
};

std::string userUsage(const Interpreter& in, const std::string& name) {
  std::string usage = name + "(";
  std::vector<std::string> params = in.userFunctionParams(name);
  for (std::size_t i = 0; i < params.size(); ++i) usage += (i > 0 ? ", " : "") + params[i];
  return usage + ")";
}

// Every function the session can call with its help, in groups.
std::vector<std::pair<std::string, std::vector<Line>>> listing(const Interpreter& in) {
  std::vector<std::pair<std::string, std::vector<Line>>> groups(5);
  groups[0].first = "Statements";
  for (const Entry& e : kStatements) groups[0].second.push_back({e.usage, e.description});
  groups[1].first = "Built-in functions";
  for (const std::string& name : in.builtinNames()) {
    std::string usage = name + "(...)", description;
    builtinHelp(name, &usage, &description);
    groups[1].second.push_back({usage, description});
  }
  groups[2].first = "Object methods";
  for (const Entry& e : kMethods) groups[2].second.push_back({e.usage, e.description});
  groups[3].first = "Product functions";
  std::vector<std::string> builtins = in.builtinNames();
  for (const std::string& name : hoxFunctionNames()) {
    if (std::binary_search(builtins.begin(), builtins.end(), name)) continue;
    HoxFunctionHelp h{name + "(...)", ""};
    hoxGetFunctionHelp(name.c_str(), &h);
    groups[3].second.push_back({h.usage, h.description});
  }
  groups[4].first = "Functions of this session";
  for (const std::string& name : in.userFunctionNames())
    groups[4].second.push_back({userUsage(in, name), ""});
  return groups;
}

void listAll(Interpreter& in) {
  auto groups = listing(in);
  std::size_t width = 0;
  for (const auto& g : groups)
    for (const Line& l : g.second) width = std::max(width, l.usage.size());
  std::ostream& out = in.out();
  for (const auto& g : groups) {
    if (g.second.empty()) continue;
    out << g.first << ":\n";
    for (const Line& l : g.second) {
      std::string line = "  " + l.usage;
      if (!l.description.empty())
        line += std::string(width + 2 - l.usage.size(), ' ') + l.description;
      out << line << '\n';
    }
  }
  out << "help NAME shows one function, help(OBJ) the properties of an object.\n";
}

std::vector<std::string> knownNames(const Interpreter& in) {
  std::vector<std::string> names = in.builtinNames();
  for (auto list : {in.userFunctionNames(), hoxFunctionNames()})
    names.insert(names.end(), list.begin(), list.end());
  for (const Entry& e : kMethods) names.push_back(e.name);
  return names;
}

void showOne(Interpreter& in, const std::string& name) {
  std::string usage, description;
  if (in.isUserFunction(name)) {
    usage = userUsage(in, name);
    description = "A function defined in this session.";
  } else if (!builtinHelp(name, &usage, &description)) {
    HoxFunctionHelp h;
    if (hoxGetFunctionHelp(name.c_str(), &h)) {
      usage = h.usage;
      description = h.description;
    } else if (hoxIsFunction(name.c_str())) {
      usage = name + "(...)";
      description = "A product function; its product gives no description.";
    } else {
      std::string close = closestName(knownNames(in), name);
      throw ShellError{"zelsh:help:unknownName",
                       "There is no function named '" + name + "'." +
                           (close.empty() ? "" : " Did you mean '" + close + "'?")};
    }
  }
  in.out() << usage << '\n';
  if (!description.empty()) in.out() << "  " << description << '\n';
}

// One property a line: name, type, what it accepts, what it is.
void showProperties(Interpreter& in, QxInterface* obj) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& name : shownProperties(obj)) {
    std::vector<std::string> row = {name, "", "", propertySummary(obj, name)};
    if (Value info = propertyInfo(obj, name)) {
      const hvArray* type = hvGetField(info.get(), 0, "Type");
      const hvArray* constraint = hvGetField(info.get(), 0, "Constraint");
      const hvArray* value = hvGetField(info.get(), 0, "ConstraintValue");
      row[1] = type != nullptr ? textOf(type) : "";
      if (constraint != nullptr && textOf(constraint) != "none" && value != nullptr &&
          !hvIsEmpty(value))
        row[2] = formatInline(value);
    }
    rows.push_back(row);
  }
  std::vector<std::size_t> widths(3, 0);
  for (const auto& row : rows)
    for (std::size_t c = 0; c < 3; ++c) widths[c] = std::max(widths[c], row[c].size());
  for (const auto& row : rows) {
    std::string line = " ";
    for (std::size_t c = 0; c < 4; ++c) {
      if (c < 3 && widths[c] == 0) continue;
      line += " " + row[c];
      if (c < 3) line += std::string(widths[c] - row[c].size() + 1, ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    in.out() << line << '\n';
  }
}

}  // namespace

bool builtinHelp(const std::string& name, std::string* usage, std::string* description) {
  const Entry* e = name.empty() ? nullptr : find(name);
  if (e == nullptr) return false;
  *usage = e->usage;
  *description = e->description;
  return true;
}

Value help(Interpreter& in, std::vector<const hvArray*>& args) {
  if (args.size() > 1)
    throw ShellError{"zelsh:wrongArgumentCount", "Wrong number of arguments for 'help'."};
  if (args.empty()) {
    listAll(in);
  } else if (hvIsChar(args[0])) {
    showOne(in, textOf(args[0]));
  } else if (hvIsObject(args[0]) && hvGetNumberOfElements(args[0]) == 1 &&
             hvGetObjectHandle(args[0]) != nullptr) {
    QxInterface* obj = hvGetObjectHandle(args[0]);
    if (!obj->isValid()) throw ShellError{"zelsh:deletedObject", "Invalid or deleted object."};
    showProperties(in, obj);
  } else {
    throw ShellError{"zelsh:wrongArgumentType",
                     "The value given to 'help' must be a name or an object."};
  }
  in.out().flush();
  return nullptr;
}

}  // namespace zelsh
