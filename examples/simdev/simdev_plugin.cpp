// The simdev product plugin: registers the product and the functions it offers to the host
// language.
#include <sys/stat.h>

#include <memory>
#include <string>

#include "sim_device.h"
#include "sim_records.h"
#include "zelhost/data_type.h"
#include "zelhost/product_plugin.h"
#include "zelhost/qx_application.h"
#include "zelhost/qx_interface.h"
#include "zelhost/services.h"
#include "zelhost/zelhox.h"
#include "zelobjsys/application_manager.h"
#include "zelobjsys/instance_prop_info.h"
#include "zelobjsys/prop_info_manager.h"
#include "zelobjsys/xml_prop_reader.h"

namespace simdev {
namespace {

constexpr const char* kProduct = "simdev";

using zelhox::fcns::error;
using zelobjsys::ApplicationManager;

// ------------------------------------------------------------ arguments

void checkCount(const char* usage, int nrhs, int min, int max) {
  if (nrhs < min || nrhs > max)
    error("simdev:wrongArguments", (std::string("Usage: ") + usage).c_str());
}

std::string textArg(hvArray* prhs[], int i, const char* usage) {
  if (!hvIsChar(prhs[i])) error("simdev:wrongArguments", (std::string("Usage: ") + usage).c_str());
  return zelhox::fcns::getString(prhs[i]);
}

SimDevice& deviceArg(hvArray* prhs[], int i, const char* usage) {
  QxInterface* object = hvIsObject(prhs[i]) ? hvGetObjectHandle(prhs[i]) : nullptr;
  if (object == nullptr) error("simdev:wrongArguments", (std::string("Usage: ") + usage).c_str());
  SimDevice* device = SimDevice::of(object);
  if (device == nullptr) error("simdev:invalidDevice", "The object is not a valid simdev device.");
  return *device;
}

// ------------------------------------------------------------ devclass

bool fileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A relative name is looked up in the current folder, then among the bundled files.
std::string findPropertyFile(const std::string& name) {
  if (fileExists(name) || (!name.empty() && name[0] == '/')) return name;
  std::string bundled = std::string(SIMDEV_DATA_DIR) + "/" + name;
  return fileExists(bundled) ? bundled : name;
}

// Puts the three marks on the root element (the first top-level element).
bool markRootElement(zelobjsys::XMLPropReader& reader) {
  reader.gotoTop();
  reader.gotoFirstChild();
  while (reader.isPositionValid() && reader.getNodeType() != 1) reader.gotoNextSibling();
  if (!reader.isPositionValid()) return false;
  reader.markRoot();
  reader.markDeviceRoot();
  reader.markHelpRoot();
  return true;
}

bool hasSection(zelobjsys::XMLPropReader& reader, const std::string& section) {
  reader.pushPosition();
  reader.gotoRoot();
  reader.gotoFirstChild();
  bool found =
      reader.isPositionValid() && reader.findSiblingElement("Section", "name", section.c_str());
  reader.popPosition();
  return found;
}

std::unique_ptr<zelobjsys::XMLPropReader> openPropertyFile(const std::string& name) {
  std::string path = findPropertyFile(name);
  if (!fileExists(path)) {
    error("simdev:fileNotFound", ("Cannot find the property file '" + name + "'.").c_str());
  }
  std::unique_ptr<zelobjsys::XMLPropReader> reader;
  try {
    reader = std::make_unique<zelobjsys::XMLPropReader>(path.c_str());
  } catch (zelobjsys::XMLPropException* e) {
    delete e;
  }
  if (!reader || !markRootElement(*reader)) {
    error("simdev:badPropertyFile",
          ("The property file '" + name + "' is not well-formed XML.").c_str());
  }
  return reader;
}

// The standard properties, then simdev's own, then the XML section.
void defineProperties(SimSchema& schema, SimFactory& factory, const std::string& section) {
  for (const char* name :
       {"Name", "Tag", "Type", "UserData", "TimerFcn", "TimerPeriod", "Timeout"}) {
    schema.addGenericProperty(&factory, name);
  }
  void* errorFcn = factory.createCallbackProperty("ErrorFcn", "");
  factory.addPropHelpFromXML(errorFcn, nullptr);
  factory.addProperty(errorFcn, false);

  void* running = factory.createEnumProperty("Running", "off", 0);
  factory.addEnumValue(running, "on", 1);
  factory.setPropReadOnly(running, "always");
  factory.addPropHelpLine(running, "Whether the device is running: start and stop change it.");
  factory.addProperty(running, false);

  factory.includeXMLSection(section.c_str(), false);
}

void devclass(int, hvArray* plhs[], int nrhs, hvArray* prhs[]) {
  const char* usage = "devclass(CLASS, XMLFILE[, SECTION[, DEVICE]])";
  checkCount(usage, nrhs, 2, 4);
  std::string className = textArg(prhs, 0, usage);
  std::string file = textArg(prhs, 1, usage);
  std::string section = nrhs > 2 ? textArg(prhs, 2, usage) : className;
  std::string device = nrhs > 3 ? textArg(prhs, 3, usage) : "";
  if (className.empty() || !zelobjsys::SchemaDefinition::isValidClassName(className.c_str())) {
    error("simdev:invalidClassName",
          ("Invalid class name '" + className + "': use letters, digits and underscores.").c_str());
  }
  ApplicationManager* manager = ApplicationManager::getInstance();
  if (manager->isProductClass(kProduct, className.c_str())) {
    error("simdev:classExists", ("The class '" + className + "' is already defined.").c_str());
  }
  std::unique_ptr<zelobjsys::XMLPropReader> reader = openPropertyFile(file);
  if (!hasSection(*reader, section)) {
    error("simdev:sectionNotFound",
          ("The property file '" + file + "' has no section '" + section + "'.").c_str());
  }
  auto schema = std::make_unique<SimSchema>(className.c_str());
  {
    SimFactory factory(schema.get(), device.c_str());
    factory.setXMLReader(reader.get());
    defineProperties(*schema, factory, section);
  }
  schema->addGenericMethod("GetToolbarName");
  if (!manager->addProductClass(kProduct, schema.get())) {
    error("simdev:classExists", ("The class '" + className + "' is already defined.").c_str());
  }
  schema.release();  // the product's application owns it now
  (void)plhs;
}

// ------------------------------------------------------------ objects

void device(int, hvArray* plhs[], int nrhs, hvArray* prhs[]) {
  const char* usage = "device(CLASS)";
  checkCount(usage, nrhs, 1, 1);
  std::string className = textArg(prhs, 0, usage);
  ApplicationManager* manager = ApplicationManager::getInstance();
  zelobjsys::SchemaDefinition* schema = manager->getProductClass(kProduct, className.c_str());
  if (schema == nullptr) {
    error("simdev:unknownClass",
          ("There is no device class '" + className + "': define it with devclass first.").c_str());
  }
  QxInterface* object = schema->createInstance(nullptr, nullptr, 0);
  manager->addProductObject(kProduct, object);
  plhs[0] = hvCreateObjectHandle(object);
}

void start(int, hvArray*[], int nrhs, hvArray* prhs[]) {
  checkCount("start(OBJ)", nrhs, 1, 1);
  deviceArg(prhs, 0, "start(OBJ)").start();
}

void stop(int, hvArray*[], int nrhs, hvArray* prhs[]) {
  checkCount("stop(OBJ)", nrhs, 1, 1);
  deviceArg(prhs, 0, "stop(OBJ)").stop();
}

void raiseerror(int, hvArray*[], int nrhs, hvArray* prhs[]) {
  const char* usage = "raiseerror(OBJ, ID, MESSAGE)";
  checkCount(usage, nrhs, 3, 3);
  SimDevice& device = deviceArg(prhs, 0, usage);
  device.raiseError(textArg(prhs, 1, usage).c_str(), textArg(prhs, 2, usage).c_str());
}

// ------------------------------------------------------------ settings

zelobjsys::InstancePropInfo& settingArg(SimDevice& device, const std::string& name) {
  zelobjsys::InstancePropInfo* info = device.container().getInstancePropInfo(name.c_str());
  if (info == nullptr || !info->isPropertyEnumerated()) {
    error("simdev:notASetting", ("'" + name + "' is not a setting of this device.").c_str());
  }
  return *info;
}

// One above the largest value the setting has, so that numbers stay unique.
int nextSettingId(zelobjsys::InstancePropInfo& info) {
  int next = 0;
  std::unique_ptr<Enumeration> values(info.getQxDataType()->getPossibleValues());
  while (values && values->hasMoreElements()) {
    int v = *static_cast<int*>(values->nextElement());
    if (v >= next) next = v + 1;
  }
  return next;
}

void addsetting(int, hvArray*[], int nrhs, hvArray* prhs[]) {
  const char* usage = "addsetting(OBJ, PROP, TEXT[, ID])";
  checkCount(usage, nrhs, 3, 4);
  SimDevice& device = deviceArg(prhs, 0, usage);
  std::string prop = textArg(prhs, 1, usage);
  std::string text = textArg(prhs, 2, usage);
  if (nrhs == 4 && !(hvIsNumeric(prhs[3]) && hvGetNumberOfElements(prhs[3]) == 1)) {
    error("simdev:wrongArguments", (std::string("Usage: ") + usage).c_str());
  }
  if (!device.container().isPropertyAvailable(prop.c_str())) {
    if (!zelobjsys::SchemaDefinition::isValidClassName(prop.c_str()) || prop.empty()) {
      error("simdev:invalidPropertyName", ("Invalid property name '" + prop + "'.").c_str());
    }
    int id = nrhs == 4 ? static_cast<int>(hvGetScalar(prhs[3])) : 0;
    SimFactory factory(&device.container(), "");
    void* handle = factory.createEnumProperty(prop.c_str(), text.c_str(), id);
    factory.addProperty(handle, false);
    return;
  }
  zelobjsys::InstancePropInfo& info = settingArg(device, prop);
  int id = nrhs == 4 ? static_cast<int>(hvGetScalar(prhs[3])) : nextSettingId(info);
  info.addEnumValue(text.c_str(), id);
}

void removesetting(int, hvArray*[], int nrhs, hvArray* prhs[]) {
  const char* usage = "removesetting(OBJ, PROP, TEXT)";
  checkCount(usage, nrhs, 3, 3);
  SimDevice& device = deviceArg(prhs, 0, usage);
  settingArg(device, textArg(prhs, 1, usage)).removeEnumValue(textArg(prhs, 2, usage).c_str());
}

void clearsettings(int, hvArray*[], int nrhs, hvArray* prhs[]) {
  const char* usage = "clearsettings(OBJ, PROP)";
  checkCount(usage, nrhs, 2, 2);
  SimDevice& device = deviceArg(prhs, 0, usage);
  settingArg(device, textArg(prhs, 1, usage)).clearEnumValues();
}

void hidefield(int, hvArray*[], int nrhs, hvArray* prhs[]) {
  const char* usage = "hidefield(CLASS, FIELD)";
  checkCount(usage, nrhs, 2, 2);
  std::string className = textArg(prhs, 0, usage);
  std::string field = textArg(prhs, 1, usage);
  zelobjsys::PropInfoManager::getInstance()->hideField(kProduct, className.c_str(), field.c_str());
}

// ------------------------------------------------------------ the plugin

const struct {
  const char* name;
  HoxFunction fn;
} kFunctions[] = {
    {"devclass", devclass},
    {"device", device},
    {"start", start},
    {"stop", stop},
    {"raiseerror", raiseerror},
    {"addsetting", addsetting},
    {"removesetting", removesetting},
    {"clearsettings", clearsettings},
    {"hidefield", hidefield},
};

void load() {
  ApplicationManager* manager = ApplicationManager::getInstance();
  manager->addProductApplication(kProduct);
  zelobjsys::PropInfoManager::getInstance()->addReadOnlyValue("whileRunning");
  for (const auto& f : kFunctions) hoxRegisterFunction(f.name, f.fn);
}

// Asks every device's timer to stop before any is destroyed: the threads then
// end side by side, and destroying the devices one by one only joins threads
// that are gone or going, instead of waiting for each in turn.
void stopAllTimers(ApplicationManager& manager) {
  QxApplication* app = manager.getProductApplication(kProduct);
  if (app == nullptr) return;
  QxBreadthOnlyIterator objects(app->getDefaultDatabase()->getRootObject()->getFirstDown(), false);
  while (objects.hasMoreElements()) {
    if (SimDevice* device = SimDevice::of(objects.nextElement())) device->stop();
  }
}

void unload() {
  for (const auto& f : kFunctions) hoxUnregisterFunction(f.name);
  if (!ApplicationManager::isInitialized()) return;
  ApplicationManager* manager = ApplicationManager::getInstance();
  stopAllTimers(*manager);
  manager->removeProductObjects(kProduct, true);
  manager->removeProductApplication(kProduct);  // the last product takes the registry down
}

const ZelProductPlugin kPlugin = {kZelProductAbiVersion, kProduct, load, unload};

}  // namespace
}  // namespace simdev

extern "C" const ZelProductPlugin* zel_product_plugin(void) { return &simdev::kPlugin; }
