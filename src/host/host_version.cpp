// The host layer's version, which plugins are checked against when they load.
#include "zelhost/version.h"

namespace zelhost {
const char* version() { return ZELHOST_VERSION_STRING; }
}  // namespace zelhost
