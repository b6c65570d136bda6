// The line zelsh adds after an error about a property: what the user may have meant.
#ifndef ZELSH_HINTS_H
#define ZELSH_HINTS_H

#include <string>
#include <vector>

#include "zelhost/objects/qx_interface.h"

namespace zelsh {

// Edits between two names, ignoring case: inserting, deleting or replacing
// a letter, or swapping two neighbours.
std::size_t editDistance(const std::string& a, const std::string& b);

// The one name close to what was given (at most a third of its letters
// wrong, at least one allowed); empty when none or several are that close.
std::string closestName(const std::vector<std::string>& names, const std::string& given);

// "Did you mean 'X'?" after an error that the object has no property of that
// name; "Allowed values: 'a', 'b'." after a value the enumerated property
// refused; empty for other errors.
std::string propertyHint(QxInterface* obj, const std::string& name, const std::string& errorId);

}  // namespace zelsh

#endif  // ZELSH_HINTS_H
