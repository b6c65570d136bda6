// Tab completion: what may follow the text before the cursor, from what the session knows.
#ifndef ZELSH_COMPLETION_H
#define ZELSH_COMPLETION_H

#include <cstddef>
#include <string>
#include <vector>

#include "interpreter.h"

namespace zelsh {

struct Completion {
  std::size_t start = 0;                // the word being completed is line[start, cursor)
  std::vector<std::string> candidates;  // whole words, ascending ignoring case, no repeats
  bool ignoreCase = false;              // the typed word matched them ignoring case
  char quote = '\0';                    // inside quotes: the quote a unique text ends with
};

// Candidates for the word that ends at the cursor: function and variable
// names; after "obj." the object's properties (or a structure's fields);
// inside the quotes of "obj.Prop = '" or "set(obj, 'Prop', '" the property's
// enumeration texts; the property-name argument of propinfo, prophelp, get,
// set and findprop; file names inside the quotes of devclass's file
// argument. Reads variables only, never evaluates anything.
Completion complete(const Interpreter& in, const std::string& line, std::size_t cursor);

// The longest text every candidate starts with (ignoring case when asked;
// the first candidate's spelling then wins).
std::string commonPrefix(const std::vector<std::string>& candidates, bool ignoreCase);

}  // namespace zelsh

#endif  // ZELSH_COMPLETION_H
