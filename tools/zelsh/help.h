// The "help" built-in: statements and functions with a usage line, one function, an object's
// properties.
#ifndef ZELSH_HELP_H
#define ZELSH_HELP_H

#include <string>
#include <vector>

#include "interpreter.h"

namespace zelsh {

// help, help NAME (or help('NAME')), help(OBJ).
Value help(Interpreter& in, std::vector<const hvArray*>& args);

// The usage line and description of a built-in function or object method;
// false for other names.
bool builtinHelp(const std::string& name, std::string* usage, std::string* description);

}  // namespace zelsh

#endif  // ZELSH_HELP_H
