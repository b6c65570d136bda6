// Internal to the host layer: the base of the built-in data types and the helpers their conversions
// share.
#ifndef ZELHOST_SRC_BUILTIN_TYPE_H
#define ZELHOST_SRC_BUILTIN_TYPE_H

#include <cstdint>
#include <string_view>

#include "zelhost/types/data_type.h"

// A built-in data type with a fixed name, declaration name and storage
// category, which is its own host conversion. The host owns every built-in
// (process-lifetime statics); the values they make belong to the caller. Host
// thread only.
class BuiltinType : public QxDataType, public PulvraConversion {
 public:
  BuiltinType(const char* name, const char* declaration, int category)
      : name_(name), declaration_(declaration), category_(category) {}

  const PulvraConversion* getPulvraConversion() const override { return this; }
  const char* getName() const override { return name_; }
  const char* getDeclarationName() const override { return declaration_; }
  int getStorageCategory() const override { return category_; }

 private:
  const char* name_;
  const char* declaration_;
  int category_;
};

namespace hoxtypes {

// The built-in type of that exact name, or null.
QxDataType* findBuiltinType(std::string_view name);

// The built-ins that hold host objects or callbacks (builtin_object_types.cpp).
QxDataType* handleType();
QxDataType* handleVectorType();
QxDataType* callbackType();

// Refuses a value in a conversion: throws new ErrorIdException(id, message).
[[noreturn]] void refuse(const char* id, const char* message);

// Rounds toward zero into the int32 range: out-of-range values saturate and
// NaN becomes 0, without ever casting an out-of-range double.
int32_t toInt32Saturated(double x);

}  // namespace hoxtypes

#endif  // ZELHOST_SRC_BUILTIN_TYPE_H
