// The library's version, for products that want to log what they run on.
#include "zelobjsys/version.h"

namespace zelobjsys {
const char* version() { return ZELOBJSYS_VERSION_STRING; }
}  // namespace zelobjsys
