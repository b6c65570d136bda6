// rival: a test product that tries to register simdev's "device", built once
// for this host's version and once claiming a later major version.
#include "zelhost/objects/product_plugin.h"
#include "zelhost/services/services.h"
#include "zelhost/services/zelhox.h"

namespace {

void device(int, hvArray* plhs[], int, hvArray*[]) { plhs[0] = hvCreateString("rival's device"); }
void rivalfn(int, hvArray* plhs[], int, hvArray*[]) { plhs[0] = hvCreateString("rival is here"); }

void load() {
  hoxRegisterFunction("device", device);
  hoxRegisterFunction("rivalfn", rivalfn);
}

void unload() {
  hoxUnregisterFunction("device");
  hoxUnregisterFunction("rivalfn");
}

const ZelProductPlugin kPlugin = {kZelProductAbiVersion + RIVAL_MAJOR_SHIFT * 10000, "rival", load,
                                  unload};

}  // namespace

extern "C" const ZelProductPlugin* zel_product_plugin(void) { return &kPlugin; }
