// Internal: the record behind a property descriptor, shared by the descriptor, class and object
// code.
#ifndef ZELHOST_SRC_PROP_INFO_IMPL_H
#define ZELHOST_SRC_PROP_INFO_IMPL_H

#include <bitset>
#include <string>

#include "object_core.h"
#include "zelhost/objects/qx_prop_info.h"

struct QxPropInfoTemplate::Impl {
  QxObjectCore* host = nullptr;  // the descriptor's host object; counted
  std::string name;
  std::string description;
  QxDataType* type = nullptr;      // not owned
  void* factoryDefault = nullptr;  // owned; freed with `type`
  std::bitset<kAccessCount> access;
  QxClass* cls = nullptr;  // the class it was added to
  bool runtime = false;    // added to one object
  GetFunction getFn;
  SetFunction setFn;
};

#endif  // ZELHOST_SRC_PROP_INFO_IMPL_H
