// Property facts for the shell's discovery features.
#include "properties.h"

#include <algorithm>

#include "interpreter.h"
#include "zelhost/objects/qx_class.h"
#include "zelhost/objects/qx_method_info.h"
#include "zelhost/objects/qx_prop_info.h"
#include "zelhost/services/zelutil.h"

namespace zelsh {

namespace {

void collect(QxInterface* list, bool visibleOnly, std::vector<std::string>& names) {
  QxBreadthOnlyIterator it(list, false);
  while (it.hasMoreElements()) {
    auto* prop = static_cast<QxPropInfoTemplate*>(it.nextElement()->getObject());
    if (prop == nullptr) continue;
    if (visibleOnly ? prop->isVisible() : prop->isExternalGetAccess())
      names.push_back(prop->getName());
  }
}

// Calls a method of the object's class with (obj, name); null on any failure,
// which completion and help must never show.
Value callPropertyMethod(QxInterface* obj, const char* method, const std::string& name) {
  QxClass* cls = obj != nullptr && obj->isValid() ? obj->getDatabaseClass() : nullptr;
  if (cls == nullptr || cls->getMethod(method) == nullptr) return nullptr;
  Value self = own(hvCreateObjectHandle(obj));
  Value prop = own(hvCreateString(name.c_str()));
  const hvArray* args[] = {self.get(), prop.get()};
  try {
    return own(hoxInvokeMethod(cls, method, 2, args));
  } catch (...) {
    (void)currentError();  // frees whatever was thrown
    return nullptr;
  }
}

std::string trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

}  // namespace

std::vector<std::string> shownProperties(QxInterface* obj) {
  std::vector<std::string> names;
  QxClass* cls = obj->getDatabaseClass();
  QxInterface* classList = cls != nullptr ? cls->getProperties() : nullptr;
  collect(classList, true, names);
  collect(obj->getInstanceProperties(), true, names);
  if (names.empty()) {
    collect(classList, false, names);
    collect(obj->getInstanceProperties(), false, names);
    return names;
  }
  std::stable_sort(names.begin(), names.end(), zelutil::caselessIsLessThan);
  return names;
}

std::string canonicalProperty(QxInterface* obj, const std::string& name) {
  if (obj == nullptr || !obj->isValid() || name.empty()) return "";
  try {
    QxInterface* prop = obj->getProperty(name.c_str(), true);
    auto* info = prop != nullptr ? static_cast<QxPropInfoTemplate*>(prop->getObject()) : nullptr;
    return info != nullptr ? info->getName() : "";
  } catch (...) {
    (void)currentError();
    return "";
  }
}

Value propertyInfo(QxInterface* obj, const std::string& name) {
  Value info = callPropertyMethod(obj, "propinfo", name);
  if (!info || !hvIsStruct(info.get()) || hvGetNumberOfElements(info.get()) != 1) return nullptr;
  return info;
}

std::string propertySummary(QxInterface* obj, const std::string& name) {
  Value help = callPropertyMethod(obj, "prophelp", name);
  if (!help || !hvIsChar(help.get())) return "";
  std::string text = textOf(help.get());
  std::size_t heading = text.find('\n');
  while (heading != std::string::npos) {
    std::size_t end = text.find('\n', heading + 1);
    std::string line = trim(text.substr(heading + 1, end - heading - 1));
    if (!line.empty()) return line;
    heading = end;
  }
  return "";
}

std::vector<std::string> enumTexts(QxInterface* obj, const std::string& name) {
  std::vector<std::string> texts;
  Value info = propertyInfo(obj, name);
  if (!info) return texts;
  const hvArray* constraint = hvGetField(info.get(), 0, "Constraint");
  const hvArray* values = hvGetField(info.get(), 0, "ConstraintValue");
  if (constraint == nullptr || textOf(constraint) != "enum" || values == nullptr ||
      !hvIsCell(values))
    return texts;
  for (hvSize i = 0; i < hvGetNumberOfElements(values); ++i) {
    const hvArray* v = hvGetCell(values, i);
    if (v != nullptr && hvIsChar(v)) texts.push_back(textOf(v));
  }
  return texts;
}

}  // namespace zelsh
