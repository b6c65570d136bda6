// The one C entry point of a product plugin, which the host looks up after loading the plugin.
#ifndef ZELHOST_PRODUCT_PLUGIN_H
#define ZELHOST_PRODUCT_PLUGIN_H

extern "C" {

// What a product plugin tells the host. load() registers the product's
// application and the functions it offers to the host language (with
// hoxRegisterFunction); unload() removes them again and frees everything the
// product made. Both run on the host thread.
struct ZelProductPlugin {
  int abiVersion;  // kZelProductAbiVersion
  const char* name;
  void (*load)(void);
  void (*unload)(void);
};

// The symbol every plugin exports:
//   extern "C" const ZelProductPlugin* zel_product_plugin(void);
typedef const ZelProductPlugin* (*ZelProductEntry)(void);
}

constexpr int kZelProductAbiVersion = 1;
constexpr const char* kZelProductEntryName = "zel_product_plugin";

#endif  // ZELHOST_PRODUCT_PLUGIN_H
