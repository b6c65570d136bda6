// What zelsh reads about an object's properties for get, fieldnames, help, completion and hints.
#ifndef ZELSH_PROPERTIES_H
#define ZELSH_PROPERTIES_H

#include <string>
#include <vector>

#include "value.h"
#include "zelhost/objects/qx_interface.h"

namespace zelsh {

// The properties an object shows: its visible class and instance properties,
// ascending ignoring case. A class that marks none visible (a property's
// descriptor) shows the properties it lets the user read, in its own order.
std::vector<std::string> shownProperties(QxInterface* obj);

// The property's full name when the object has one of that name, ignoring
// case or abbreviated as lookup allows; empty otherwise (ambiguous too).
std::string canonicalProperty(QxInterface* obj, const std::string& name);

// What the class's "propinfo" method says of one property (a structure), or
// null when the class has no such method or the call fails.
Value propertyInfo(QxInterface* obj, const std::string& name);
// The first line of the class's "prophelp" text that says what the property
// is (the line after the heading), trimmed; empty when there is none.
std::string propertySummary(QxInterface* obj, const std::string& name);

// The texts an enumerated property accepts, in the property's order; empty
// for any other property.
std::vector<std::string> enumTexts(QxInterface* obj, const std::string& name);

}  // namespace zelsh

#endif  // ZELSH_PROPERTIES_H
