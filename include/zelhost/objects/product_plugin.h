// The one C entry point of a product plugin, which the host looks up after loading the plugin.
#ifndef ZELHOST_PRODUCT_PLUGIN_H
#define ZELHOST_PRODUCT_PLUGIN_H

#include "zelhost/version.h"

extern "C" {

// What a product plugin tells the host. load() registers the product's
// application and the functions it offers to the host language (with
// hoxRegisterFunction); unload() removes them again and frees everything the
// product made. Both run on the host thread.
struct ZelProductPlugin {
  int abiVersion;  // kZelProductAbiVersion of the headers the plugin was built with
  const char* name;
  void (*load)(void);
  void (*unload)(void);
};

// The symbol every plugin exports:
//   extern "C" const ZelProductPlugin* zel_product_plugin(void);
typedef const ZelProductPlugin* (*ZelProductEntry)(void);
}

// The version of the headers a plugin is compiled with, packed as
// major * 10000 + minor * 100 + patch. The host loads plugins of its own
// major version only: a different major version may lay out any class of the
// host or the library differently.
constexpr int zelPackVersion(int major, int minor, int patch) {
  return major * 10000 + minor * 100 + patch;
}
constexpr int kZelProductAbiVersion =
    zelPackVersion(ZELHOST_VERSION_MAJOR, ZELHOST_VERSION_MINOR, ZELHOST_VERSION_PATCH);
constexpr int zelVersionMajor(int packed) { return packed / 10000; }
constexpr const char* kZelProductEntryName = "zel_product_plugin";

#endif  // ZELHOST_PRODUCT_PLUGIN_H
