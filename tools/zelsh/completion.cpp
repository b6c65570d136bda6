// Tab completion from the session's functions, variables and objects.
#include "completion.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "properties.h"
#include "zelhost/services/services.h"
#include "zelhost/services/zelutil.h"

namespace zelsh {

namespace {

bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool startsWith(const std::string& s, const std::string& prefix, bool ignoreCase) {
  if (s.size() < prefix.size()) return false;
  if (!ignoreCase) return s.compare(0, prefix.size(), prefix) == 0;
  return zelutil::caselessCompare(s.substr(0, prefix.size()), prefix) == 0;
}

std::string trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// An open bracket: the name of the called function (empty for [ and {) and
// where each of its arguments starts.
struct Open {
  std::string callee;
  std::vector<std::size_t> argStarts;
};

// Where the text before the cursor stands: inside which calls, and whether
// inside a string (quoteAt is then the opening quote's position).
struct Context {
  std::vector<Open> opens;
  std::size_t quoteAt = std::string::npos;
  bool comment = false;
};

std::string identifierBefore(const std::string& text, std::size_t end) {
  while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  std::size_t b = end;
  while (b > 0 && isWordChar(text[b - 1])) --b;
  return text.substr(b, end - b);
}

Context scan(const std::string& text) {
  Context c;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char ch = text[i];
    if (c.quoteAt != std::string::npos) {
      if (ch != text[c.quoteAt]) continue;
      if (i + 1 < text.size() && text[i + 1] == ch) {
        ++i;  // a doubled quote stands for itself
      } else {
        c.quoteAt = std::string::npos;
      }
    } else if (ch == '\'' || ch == '"') {
      c.quoteAt = i;
    } else if (ch == '#') {
      c.comment = true;
      return c;
    } else if (ch == '(' || ch == '[' || ch == '{') {
      c.opens.push_back({ch == '(' ? identifierBefore(text, i) : "", {i + 1}});
    } else if ((ch == ')' || ch == ']' || ch == '}') && !c.opens.empty()) {
      c.opens.pop_back();
    } else if (ch == ',' && !c.opens.empty()) {
      c.opens.back().argStarts.push_back(i + 1);
    } else if ((ch == ';' || ch == '\n') && c.opens.empty()) {
      c.opens.clear();
    }
  }
  return c;
}

QxInterface* objectVariable(const Interpreter& in, const std::string& name) {
  const hvArray* v = in.variable(name);
  if (v == nullptr || !hvIsObject(v) || hvGetNumberOfElements(v) != 1) return nullptr;
  QxInterface* obj = hvGetObjectHandle(v);
  return obj != nullptr && obj->isValid() ? obj : nullptr;
}

// The text of a string literal ('a''b' gives a'b); false for anything else.
bool literalText(const std::string& expr, std::string* out) {
  std::string t = trim(expr);
  if (t.size() < 2 || (t[0] != '\'' && t[0] != '"') || t.back() != t[0]) return false;
  out->clear();
  for (std::size_t i = 1; i + 1 < t.size(); ++i) {
    if (t[i] == t[0]) {
      if (t[i + 1] != t[0] || i + 2 >= t.size()) return false;
      ++i;
    }
    *out += t[i];
  }
  return true;
}

std::vector<std::string> enumFor(QxInterface* obj, const std::string& prop) {
  std::string name = canonicalProperty(obj, prop);
  return name.empty() ? std::vector<std::string>() : enumTexts(obj, name);
}

std::vector<std::string> fileNames(const std::string& typed) {
  std::size_t slash = typed.rfind('/');
  std::string dir = slash == std::string::npos ? "" : typed.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? typed : typed.substr(slash + 1);
  std::vector<std::string> names;
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return names;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == ".." || !startsWith(name, base, false)) continue;
    if (name[0] == '.' && (base.empty() || base[0] != '.')) continue;
    struct stat st;
    bool isDir = stat((dir + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    names.push_back(dir + name + (isDir ? "/" : ""));
  }
  closedir(d);
  return names;
}

// Completion inside quotes: the texts that may stand there, unfiltered.
std::vector<std::string> stringChoices(const Interpreter& in, const std::string& line,
                                       const Context& c, bool* ignoreCase) {
  std::string before = line.substr(0, c.quoteAt);
  std::size_t end = before.find_last_not_of(" \t");
  // obj.Prop = '
  if (end != std::string::npos && before[end] == '=' &&
      (end == 0 || std::string("=!<>").find(before[end - 1]) == std::string::npos)) {
    std::string lhs = before.substr(0, end);
    lhs.resize(lhs.find_last_not_of(" \t") + 1);  // npos + 1 empties it
    std::string prop = identifierBefore(lhs, lhs.size());
    std::size_t dot = lhs.size() - prop.size();
    if (prop.empty() || dot == 0 || lhs[dot - 1] != '.') return {};
    QxInterface* obj = objectVariable(in, identifierBefore(lhs, dot - 1));
    *ignoreCase = true;
    return obj != nullptr ? enumFor(obj, prop) : std::vector<std::string>();
  }
  if (c.opens.empty() || c.opens.back().callee.empty()) return {};
  const Open& call = c.opens.back();
  if (!trim(line.substr(call.argStarts.back(), c.quoteAt - call.argStarts.back())).empty())
    return {};
  std::size_t arg = call.argStarts.size() - 1;
  auto argText = [&](std::size_t i) {
    return line.substr(call.argStarts[i], call.argStarts[i + 1] - 1 - call.argStarts[i]);
  };
  if (call.callee == "devclass" && arg == 1) return fileNames(line.substr(c.quoteAt + 1));
  static const std::set<std::string> kTakesProperty = {"propinfo", "prophelp", "get", "set",
                                                       "findprop"};
  if (arg == 0 || kTakesProperty.count(call.callee) == 0) return {};
  QxInterface* obj = objectVariable(in, trim(argText(0)));
  if (obj == nullptr) return {};
  *ignoreCase = true;
  if (arg == 1) return shownProperties(obj);
  std::string prop;
  if (call.callee == "set" && arg == 2 && literalText(argText(1), &prop)) return enumFor(obj, prop);
  return {};
}

// Completion of a name: a property or field after "x.", else any function or variable.
std::vector<std::string> nameChoices(const Interpreter& in, const std::string& line,
                                     std::size_t start, bool* ignoreCase) {
  if (start > 0 && line[start - 1] == '.') {
    std::string base = identifierBefore(line, start - 1);
    std::size_t baseAt = start - 1 - base.size();
    if (base.empty() || (baseAt > 0 && line[baseAt - 1] == '.')) return {};
    const hvArray* v = in.variable(base);
    if (QxInterface* obj = objectVariable(in, base)) {
      *ignoreCase = true;
      return shownProperties(obj);
    }
    std::vector<std::string> fields;
    if (v != nullptr && hvIsStruct(v) && hvGetNumberOfElements(v) == 1) {
      for (int k = 0; k < hvGetNumberOfFields(v); ++k)
        fields.push_back(hvGetFieldNameByNumber(v, k));
    }
    return fields;
  }
  std::vector<std::string> names = {"function", "end", "true", "false", "Inf", "NaN"};
  for (auto list :
       {in.variableNames(), in.userFunctionNames(), in.builtinNames(), hoxFunctionNames()}) {
    names.insert(names.end(), list.begin(), list.end());
  }
  return names;
}

}  // namespace

Completion complete(const Interpreter& in, const std::string& line, std::size_t cursor) {
  Completion result;
  std::string before = line.substr(0, std::min(cursor, line.size()));
  Context c = scan(before);
  if (c.comment) return result;
  std::vector<std::string> choices;
  if (c.quoteAt != std::string::npos) {
    result.start = c.quoteAt + 1;
    result.quote = before[c.quoteAt];
    choices = stringChoices(in, before, c, &result.ignoreCase);
  } else {
    result.start = before.size();
    while (result.start > 0 && isWordChar(before[result.start - 1])) --result.start;
    if (result.start < before.size() &&
        std::isdigit(static_cast<unsigned char>(before[result.start])))
      return result;
    choices = nameChoices(in, before, result.start, &result.ignoreCase);
  }
  std::string typed = before.substr(result.start);
  for (const std::string& choice : choices) {
    if (startsWith(choice, typed, result.ignoreCase)) result.candidates.push_back(choice);
  }
  std::stable_sort(result.candidates.begin(), result.candidates.end(), zelutil::caselessIsLessThan);
  result.candidates.erase(std::unique(result.candidates.begin(), result.candidates.end()),
                          result.candidates.end());
  return result;
}

std::string commonPrefix(const std::vector<std::string>& candidates, bool ignoreCase) {
  if (candidates.empty()) return "";
  std::string prefix = candidates[0];
  for (const std::string& c : candidates) {
    std::size_t n = 0;
    while (n < prefix.size() && n < c.size() &&
           (ignoreCase ? std::tolower(static_cast<unsigned char>(prefix[n])) ==
                             std::tolower(static_cast<unsigned char>(c[n]))
                       : prefix[n] == c[n]))
      ++n;
    prefix.resize(n);
  }
  return prefix;
}

}  // namespace zelsh
