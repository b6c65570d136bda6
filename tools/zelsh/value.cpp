// How zelsh shows values.
#include "value.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "zelhost/objects/qx_class.h"
#include "zelhost/objects/qx_interface.h"

namespace zelsh {

namespace {

std::string formatNumber(double x) {
  if (std::isnan(x)) return "NaN";
  if (std::isinf(x)) return x > 0 ? "Inf" : "-Inf";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", x);
  return buf;
}

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

std::string objectText(const hvArray* v, hvSize i) {
  (void)i;
  QxInterface* obj = hvGetObjectHandle(v);
  if (obj == nullptr || !obj->isValid()) return "<deleted object>";
  QxClass* cls = obj->getDatabaseClass();
  return std::string("<") + (cls != nullptr ? cls->getName() : "object") + " object>";
}

// "[a b; c d]" from a function that formats element i.
template <class F>
std::string grid(const hvArray* v, const char* open, const char* close, const char* sep,
                 F element) {
  hvSize m = hvGetM(v), n = hvGetN(v);
  if (m == 0 || n == 0) return std::string(open) + close;
  std::string out = open;
  for (hvSize r = 0; r < m; ++r) {
    if (r > 0) out += "; ";
    for (hvSize c = 0; c < n; ++c) {
      if (c > 0) out += sep;
      out += element(c * m + r);
    }
  }
  return out + close;
}

bool cellHoldsStruct(const hvArray* v) {
  if (!hvIsCell(v)) return false;
  for (hvSize i = 0; i < hvGetNumberOfElements(v); ++i) {
    if (hvIsStruct(hvGetCell(v, i))) return true;
  }
  return false;
}

bool isMultiLineText(const hvArray* v) {
  return hvIsChar(v) && textOf(v).find('\n') != std::string::npos;
}

void writeBlock(std::ostream& out, const hvArray* v, int indent);

void writeField(std::ostream& out, const std::string& name, const hvArray* v, int indent) {
  out << std::string(indent, ' ') << "  " << name << ':';
  if (isBlock(v)) {
    out << '\n';
    writeBlock(out, v, indent + 2);
  } else {
    out << ' ' << formatInline(v) << '\n';
  }
}

void writeBlock(std::ostream& out, const hvArray* v, int indent) {
  if (hvIsStruct(v) && hvGetNumberOfElements(v) == 1) {
    for (int k = 0; k < hvGetNumberOfFields(v); ++k) {
      writeField(out, hvGetFieldNameByNumber(v, k), hvGetFieldByNumber(v, 0, k), indent);
    }
  } else if (cellHoldsStruct(v)) {
    for (hvSize i = 0; i < hvGetNumberOfElements(v); ++i) {
      out << std::string(indent, ' ') << '{' << i + 1 << "}\n";
      const hvArray* e = hvGetCell(v, i);
      if (isBlock(e)) {
        writeBlock(out, e, indent + 2);
      } else {
        out << std::string(indent + 2, ' ') << formatInline(e) << '\n';
      }
    }
  } else if (isMultiLineText(v)) {
    out << textOf(v) << '\n';  // exactly what disp prints
  } else {
    out << std::string(indent, ' ') << formatInline(v) << '\n';
  }
}

}  // namespace

std::string textOf(const hvArray* v) {
  char* raw = hvArrayToString(v);
  std::string s = raw != nullptr ? raw : "";
  hvFree(raw);
  return s;
}

std::string className(const hvArray* v) {
  if (hvGetClassID(v) != hvOBJECT_CLASS) return hvGetClassName(v);
  QxInterface* obj = hvGetObjectHandle(v);
  QxClass* cls = obj != nullptr ? obj->getDatabaseClass() : nullptr;
  return cls != nullptr ? cls->getName() : "handle";
}

std::string formatInline(const hvArray* v) {
  if (v == nullptr) return "[]";
  switch (hvGetClassID(v)) {
    case hvDOUBLE_CLASS:
    case hvINT32_CLASS:
      if (hvGetNumberOfElements(v) == 1) return formatNumber(hvGetElementAsDouble(v, 0));
      return grid(v, "[", "]", " ",
                  [&](hvSize i) { return formatNumber(hvGetElementAsDouble(v, i)); });
    case hvLOGICAL_CLASS:
      if (hvGetNumberOfElements(v) == 1) return hvGetScalar(v) != 0 ? "true" : "false";
      return grid(v, "[", "]", " ", [&](hvSize i) {
        return std::string(hvGetElementAsDouble(v, i) != 0 ? "true" : "false");
      });
    case hvCHAR_CLASS:
      return quoted(textOf(v));
    case hvCELL_CLASS:
      return grid(v, "{", "}", ", ", [&](hvSize i) { return formatInline(hvGetCell(v, i)); });
    case hvFUNCTION_CLASS: {
      const char* name = hvGetFunctionHandle(v);
      return std::string("@") + (name != nullptr ? name : "");
    }
    case hvOBJECT_CLASS:
      if (hvGetNumberOfElements(v) == 1) return objectText(v, 0);
      return grid(v, "[", "]", " ", [&](hvSize i) { return objectText(v, i); });
    case hvSTRUCT_CLASS: {
      std::ostringstream s;
      s << '<' << hvGetM(v) << 'x' << hvGetN(v) << " struct>";
      return s.str();
    }
    default:
      return "<unknown>";
  }
}

bool isBlock(const hvArray* v) {
  return (hvIsStruct(v) && hvGetNumberOfElements(v) == 1) || cellHoldsStruct(v) ||
         isMultiLineText(v);
}

void display(std::ostream& out, const hvArray* v, const std::string* name) {
  if (name == nullptr) {
    writeBlock(out, v, 0);
  } else if (isBlock(v)) {
    out << *name << " =\n";
    writeBlock(out, v, 0);
  } else {
    out << *name << " = " << formatInline(v) << '\n';
  }
}

}  // namespace zelsh
