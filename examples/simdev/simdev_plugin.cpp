// The simdev product plugin: registers the product and the functions it offers to the host
// language.
#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim_device.h"
#include "zelhost/objects/product_plugin.h"
#include "zelhost/objects/qx_application.h"
#include "zelhost/objects/qx_interface.h"
#include "zelhost/services/services.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/services/zelutil.h"
#include "zelhost/types/data_type.h"
#include "zelobjsys/application_manager.h"
#include "zelobjsys/instance_prop_info.h"
#include "zelobjsys/prop_info_manager.h"
#include "zelobjsys/property_file.h"

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

// The bundled property files, looked up when a name is not found from the current folder.
std::string bundledDir() {
  return zelobjsys::folderBeside(reinterpret_cast<const void*>(&bundledDir), SIMDEV_DATA_RELDIR);
}

// The standard properties, then simdev's own, then the XML section.
void defineProperties(SimSchema& schema, SimFactory& factory, const std::string& file,
                      const std::string& section) {
  zelobjsys::PropertyFile xml(factory, file, bundledDir());  // the help of the generic ones too
  for (const char* name :
       {"Name", "Tag", "Type", "UserData", "TimerFcn", "TimerPeriod", "Timeout"}) {
    schema.addGenericProperty(&factory, name);
  }
  void* errorFcn = factory.createCallbackProperty("ErrorFcn", "");
  factory.addPropHelpLine(errorFcn, "Callback run when the device reports an error.");
  factory.addProperty(errorFcn, false);

  void* running = factory.createEnumProperty("Running", "off", 0);
  factory.addEnumValue(running, "on", 1);
  factory.setPropReadOnly(running, "always");
  factory.addPropHelpLine(running, "Whether the device is running: start and stop change it.");
  factory.addProperty(running, false);

  xml.includeSection(section);
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
  auto schema = std::make_unique<SimSchema>(className.c_str());
  {
    SimFactory factory(schema.get(), device.c_str());
    defineProperties(*schema, factory, file, section);
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
int nextSettingId(zelobjsys::InstancePropInfo& info, const std::string& prop) {
  int64_t next = 0;
  std::unique_ptr<Enumeration> values(info.getQxDataType()->getPossibleValues());
  while (values && values->hasMoreElements()) {
    int v = *static_cast<int*>(values->nextElement());
    if (v >= next) next = int64_t{v} + 1;
  }
  if (next > INT32_MAX) {
    error(
        "simdev:noSettingId",
        ("The setting '" + prop + "' has no free ID above its largest one: give the ID.").c_str());
  }
  return static_cast<int>(next);
}

// The stored ID is an int32: anything else would be cast into another value.
int settingIdArg(const hvArray* value) {
  const double id = hvGetScalar(value);
  if (!(id >= INT32_MIN && id <= INT32_MAX) || id != std::trunc(id)) {
    error("simdev:invalidSettingId",
          "The ID of a setting must be an integer from -2147483648 to 2147483647.");
  }
  return static_cast<int>(id);
}

// A name that differs from a property's only in letter case would make both
// ambiguous to the user.
void refuseNameClash(zelobjsys::PropertyContainer& container, const std::string& prop) {
  std::vector<const char*> names(static_cast<std::size_t>(container.getNumberProps()));
  container.getPropNames(names.data());
  for (const char* name : names) {
    if (name != nullptr && zelutil::caselessCompare(name, prop.c_str()) == 0) {
      error("simdev:propertyNameClash", ("The device already has a property '" + std::string(name) +
                                         "': a setting cannot be named '" + prop + "'.")
                                            .c_str());
    }
  }
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
  const bool idGiven = nrhs == 4;
  const int givenId = idGiven ? settingIdArg(prhs[3]) : 0;
  if (!device.container().isPropertyAvailable(prop.c_str())) {
    if (!zelobjsys::SchemaDefinition::isValidClassName(prop.c_str()) || prop.empty()) {
      error("simdev:invalidPropertyName", ("Invalid property name '" + prop + "'.").c_str());
    }
    refuseNameClash(device.container(), prop);
    SimFactory factory(&device.container(), "");
    void* handle = factory.createEnumProperty(prop.c_str(), text.c_str(), givenId);
    factory.addProperty(handle, false);
    return;
  }
  zelobjsys::InstancePropInfo& info = settingArg(device, prop);
  const EnumerationType* values = info.getQxDataType()->getEnumerationType();
  if (const void* present = values->getEnumValue(text.c_str())) {
    // The same text again changes nothing; with another ID it would not be
    // what the caller asked for.
    if (idGiven && *static_cast<const int32_t*>(present) != givenId) {
      error("simdev:settingExists",
            ("The setting '" + prop + "' already has '" + values->getEnumString(present) +
             "' with the ID " + std::to_string(*static_cast<const int32_t*>(present)) + ".")
                .c_str());
    }
    return;
  }
  const int id = idGiven ? givenId : nextSettingId(info, prop);
  const int32_t wanted = id;
  if (const char* owner = values->getEnumString(&wanted)) {
    error("simdev:settingIdTaken", ("The ID " + std::to_string(id) + " of the setting '" + prop +
                                    "' already belongs to '" + owner + "'.")
                                       .c_str());
  }
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
  const char* usage;
  const char* description;
} kFunctions[] = {
    {"devclass", devclass, "devclass(CLASS, XMLFILE[, SECTION[, DEVICE]])",
     "Defines a device class from a section of a property file."},
    {"device", device, "device(CLASS)", "Creates a device of a defined class."},
    {"start", start, "start(OBJ)", "Starts the device's timer and sets Running to 'on'."},
    {"stop", stop, "stop(OBJ)", "Stops the device's timer and sets Running to 'off'."},
    {"raiseerror", raiseerror, "raiseerror(OBJ, ID, MESSAGE)",
     "Queues an error event for the device's ErrorFcn."},
    {"addsetting", addsetting, "addsetting(OBJ, PROP, TEXT[, ID])",
     "Adds a value to an enumerated instance property, creating it when missing."},
    {"removesetting", removesetting, "removesetting(OBJ, PROP, TEXT)",
     "Removes one value of an enumerated instance property."},
    {"clearsettings", clearsettings, "clearsettings(OBJ, PROP)",
     "Removes every value of an enumerated instance property."},
    {"hidefield", hidefield, "hidefield(CLASS, FIELD)", "Hides a propinfo field for the class."},
};

void load() {
  ApplicationManager* manager = ApplicationManager::getInstance();
  manager->addProductApplication(kProduct);
  zelobjsys::PropInfoManager::getInstance()->addReadOnlyValue("whileRunning");
  for (const auto& f : kFunctions) {
    hoxRegisterFunction(f.name, f.fn);
    hoxSetFunctionHelp(f.name, f.usage, f.description);
  }
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
