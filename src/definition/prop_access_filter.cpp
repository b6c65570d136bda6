// SchemaDefinition::filterPropAccessException: property-access errors rewritten into the family's
// identifiers.
#include <cstring>
#include <string>

#include "zelhost/objects/qx_prop_info.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/zelutil.h"
#include "zelobjsys/schema_definition.h"

namespace zelobjsys {

namespace {

const char kScalarHandleText[] = "Parameter must be a scalar handle";
const char kHostClassIdPrefix[] = "PULVRA:class:";

bool startsWith(const char* text, const char* prefix) {
  return text != nullptr && std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

Exception* replaceWith(const char* id, const std::string& message) {
  return new ErrorIdException(id, message);
}

std::string enumMessage(const Exception& e, const std::string& propName) {
  std::string text = e.getTempStaticMessage();
  if (!text.empty() && text.back() == '.') text = zelutil::truncate(text, text.size() - 1);
  return text + " for the '" + propName + "' property";
}

// Callback properties get one text for every kind of bad value, except for
// the library's own refusals, which already say what is wrong.
bool replacesCallbackError(const Exception& e) {
  const auto* idError = dynamic_cast<const ErrorIdException*>(&e);
  return idError == nullptr || startsWith(idError->getId(), kHostClassIdPrefix);
}

std::string callbackMessage(const std::string& propName) {
  return propName +
         " must be set to a string, function handle or a 1-by-N cell array.\n"
         "The first element of the 1-by-N cell array must be a string or function handle.";
}

}  // namespace

Exception* SchemaDefinition::filterPropAccessException(Exception* e, QxInterface* /*object*/,
                                                       QxPropInfo* prop, const char* /*name*/) {
  if (e == nullptr) return e;
  if (dynamic_cast<InvalidPropertyException*>(e) != nullptr) {
    return replaceWith("vornix:getset:invalidProperty", e->getMessage());
  }
  if (dynamic_cast<SetDeniedException*>(e) != nullptr) {
    return replaceWith("vornix:set:setDenied", e->getMessage());
  }
  if (dynamic_cast<AmbiguousPropertyException*>(e) != nullptr) {
    return replaceWith("vornix:getset:ambiguousProperty", e->getMessage());
  }
  if (dynamic_cast<GenericException*>(e) != nullptr &&
      startsWith(e->getTempStaticMessage(), kScalarHandleText)) {
    return replaceWith("vornix:set:scalarHandle", e->getMessage());
  }
  if (prop == nullptr) return e;
  const std::string propName = prop->getName() != nullptr ? prop->getName() : "";
  if (dynamic_cast<InvalidEnumValueException*>(e) != nullptr) {
    return replaceWith("vornix:set:invalidEnum", enumMessage(*e, propName));
  }
  if (!endsWith(propName, "Fcn") || !replacesCallbackError(*e)) return e;
  return replaceWith("vornix:set:invalidFcn", callbackMessage(propName));
}

}  // namespace zelobjsys
