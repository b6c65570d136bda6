// Values of the zelsh shell: owned host values and how they are shown.
#ifndef ZELSH_VALUE_H
#define ZELSH_VALUE_H

#include <memory>
#include <ostream>
#include <string>

#include "zelhost/values/hv_array.h"

namespace zelsh {

struct HvDeleter {
  void operator()(hvArray* a) const { hvDestroyArray(a); }
};
// An owned host value; null means "no value" (a call that returned nothing).
using Value = std::unique_ptr<hvArray, HvDeleter>;

inline Value own(hvArray* a) { return Value(a); }
inline Value copyOf(const hvArray* a) {
  return Value(a != nullptr ? hvDuplicateArray(a) : nullptr);
}

// The text of a char value; empty for anything else.
std::string textOf(const hvArray* v);

// The class name the user sees: double, logical, char, cell, struct,
// function_handle, or the object's class.
std::string className(const hvArray* v);

// One-line form of a value ("5", "[1 2; 3 4]", "'text'", "{'a', 2}", "@f",
// "<scope object>").
std::string formatInline(const hvArray* v);

// Whether a value is shown as a block of lines rather than inline: a 1x1
// structure, a cell holding a structure, or text with a line break.
bool isBlock(const hvArray* v);

// Writes a value as the shell shows it. With a name, "name = VALUE" or, for
// blocks, "name =" followed by the block.
void display(std::ostream& out, const hvArray* v, const std::string* name = nullptr);

}  // namespace zelsh

#endif  // ZELSH_VALUE_H
