// psu: a bench power supply product, built on the library's product kit.
#include <memory>
#include <string>

#include "zelhost/objects/product_plugin.h"
#include "zelhost/services/services.h"
#include "zelhost/services/zelhox.h"
#include "zelobjsys/application_manager.h"
#include "zelobjsys/custom_fcns.h"
#include "zelobjsys/kti_prop_set_listener.h"
#include "zelobjsys/product_object.h"
#include "zelobjsys/product_schema.h"
#include "zelobjsys/property_file.h"

namespace psu {
namespace {

constexpr const char* kProduct = "psu";
constexpr const char* kClass = "supply";

using zelobjsys::PropertyContainer;

bool outputOn(const PropertyContainer& c) {
  const char* output = c.getEnumString("Output");
  return output != nullptr && std::string(output) == "on";
}

// Warns when the voltage changes while the terminals are live.
class VoltageListener : public zelobjsys::KTIPropSetListener {
 public:
  explicit VoltageListener(const PropertyContainer& c) : container_(c) {}
  void propertySet(const zelobjsys::KTIPropInfo*, void* value) override {
    if (value == nullptr || !outputOn(container_)) return;
    double volts = *static_cast<double*>(value);
    hoxWarnMsgIdAndTxt(
        "psu:liveChange",
        ("The output is on: the terminals now carry " + hoxNum2Str(volts) + " V.").c_str());
  }

 private:
  const PropertyContainer& container_;
};

// "MeasuredVoltage" is never stored: every get asks the supply.
class MeasuredVoltage : public zelobjsys::IGetFcn {
 public:
  explicit MeasuredVoltage(const PropertyContainer& c) : container_(c) {}
  void* get(QxInterface*, const zelobjsys::KTIPropInfo*) override {
    return new double(outputOn(container_) ? container_.getPropValueAsDouble("Voltage") : 0.0);
  }

 private:
  const PropertyContainer& container_;
};

// One supply: the kit's object part with the listener and the custom get.
class Supply : public zelobjsys::ProductObject {
 public:
  explicit Supply(QxInterface* object) : ProductObject(object) {
    container().addListener("Voltage", new VoltageListener(container()));
    container().setCustomGetFcn("MeasuredVoltage", new MeasuredVoltage(container()));
  }
};

class SupplySchema : public zelobjsys::ProductSchema {
 public:
  using ProductSchema::ProductSchema;

 protected:
  zelobjsys::ProductObject* createObjectPart(QxInterface* object) override {
    return new Supply(object);
  }
};

std::string pluginDir() {
  return zelobjsys::folderBeside(reinterpret_cast<const void*>(&pluginDir), "");
}

// Three standard properties, "Voltage" defined here, the rest from psu.xml.
void defineClass() {
  auto schema = std::make_unique<SupplySchema>(kClass);
  {
    zelobjsys::ProductFactory factory(schema.get(), nullptr);
    zelobjsys::PropertyFile file(factory, pluginDir() + "/psu.xml");
    for (const char* name : {"Name", "Tag", "UserData"}) schema->addGenericProperty(&factory, name);
    void* voltage = factory.createDoubleProperty("Voltage", 0, 30, 0);
    factory.addPropHelpLine(voltage, "Volts the supply sets, 0 to 30.");
    factory.addProperty(voltage, false);
    file.includeSection("Supply");
  }
  if (zelobjsys::ApplicationManager::getInstance()->addProductClass(kProduct, schema.get())) {
    schema.release();  // the product's application owns it now
  }
}

// supply(): a new power supply object.
void supply(int, hvArray* plhs[], int nrhs, hvArray*[]) {
  if (nrhs != 0) zelhox::fcns::error("psu:wrongArguments", "Usage: supply()");
  auto* manager = zelobjsys::ApplicationManager::getInstance();
  QxInterface* object =
      manager->getProductClass(kProduct, kClass)->createInstance(nullptr, nullptr, 0);
  manager->addProductObject(kProduct, object);
  plhs[0] = hvCreateObjectHandle(object);
}

void load() {
  zelobjsys::ApplicationManager::getInstance()->addProductApplication(kProduct);
  defineClass();
  hoxRegisterFunction("supply", supply);
}

void unload() {
  hoxUnregisterFunction("supply");
  if (!zelobjsys::ApplicationManager::isInitialized()) return;
  auto* manager = zelobjsys::ApplicationManager::getInstance();
  manager->removeProductObjects(kProduct, true);
  manager->removeProductApplication(kProduct);
}

const ZelProductPlugin kPlugin = {kZelProductAbiVersion, kProduct, load, unload};

}  // namespace
}  // namespace psu

extern "C" const ZelProductPlugin* zel_product_plugin(void) { return &psu::kPlugin; }
