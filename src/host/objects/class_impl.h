// Internal: the record behind a host class, shared by the class and application code.
#ifndef ZELHOST_SRC_CLASS_IMPL_H
#define ZELHOST_SRC_CLASS_IMPL_H

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "object_core.h"
#include "zelhost/objects/qx_class.h"
#include "zelhost/objects/qx_method_info.h"

struct QxClass::Impl {
  std::string name;
  std::string description;
  QxClass* superClass = nullptr;
  QxApplication* application = nullptr;
  QxObjectCore* host = nullptr;  // the class's host object; counted
  std::vector<std::unique_ptr<QxMethodInfo>> methods;
  std::unordered_map<std::string, QxMethodInfo*> firstMethodByName;
  bool keep = true;
};

// Destroys every live object of the class (so nothing refers to it), then
// deletes it. Null is ignored.
void hoxDeleteClass(QxClass* cls);

// The host's own property class "prop" of the application "schema", built
// on first use.
QxClass* hoxPropClass();

#endif  // ZELHOST_SRC_CLASS_IMPL_H
