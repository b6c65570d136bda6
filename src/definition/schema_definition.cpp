// SchemaDefinition and InstanceSchemaDefinition: standard methods, standard properties, object
// creation.
#include "zelobjsys/schema_definition.h"

#include <cstring>
#include <memory>
#include <string>

#include "zelhost/services/zelutil.h"
#include "zelobjsys/inspector_toolbar_name_mi.h"
#include "zelobjsys/kti_prop_factory.h"
#include "zelobjsys/pi_identifiers.h"
#include "zelobjsys/prop_help_mi.h"
#include "zelobjsys/prop_info_mi.h"

namespace zelobjsys {

namespace {

// Bounds of the standard "TimerPeriod": a millisecond up to the largest
// 32-bit integer of seconds.
constexpr double kMinTimerPeriod = 0.001;
constexpr double kMaxTimerPeriod = 2147483647.0;

bool isNameCharacter(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

SchemaDefinition::SchemaDefinition() {
  // The class owns its methods from the moment addMethod returns.
  std::unique_ptr<QxMethodInfo> propInfo(new PropInfoMI);
  addMethod(propInfo.get());
  propInfo.release();
  std::unique_ptr<QxMethodInfo> propHelp(new PropHelpMI);
  addMethod(propHelp.get());
  propHelp.release();
}

SchemaDefinition::~SchemaDefinition() = default;

bool SchemaDefinition::isValidClassName(const char* name) {
  if (name == nullptr) return false;
  for (const char* p = name; *p != '\0'; ++p) {
    if (!isNameCharacter(static_cast<unsigned char>(*p))) return false;
  }
  return true;
}

void SchemaDefinition::addGenericProperty(KTIPropFactory* factory, const char* name) {
  if (factory == nullptr || name == nullptr) return;
  const std::string n = name;
  void* handle = nullptr;
  const char* readOnly = "never";
  bool timerCategory = false;
  if (n == "Name" || n == "Tag") {
    handle = factory->createStringProperty(name, "");
  } else if (n == "Type") {
    handle = factory->createStringProperty(name, getPulvraClassName());
    readOnly = "always";
  } else if (n == "UserData") {
    handle = factory->createHvArrayProperty(name, static_cast<const hvArray*>(nullptr));
  } else if (n == "TimerFcn") {
    handle = factory->createCallbackProperty(name, "");
    timerCategory = true;
  } else if (n == "TimerPeriod") {
    handle = factory->createDoubleProperty(name, kMinTimerPeriod, kMaxTimerPeriod,
                                           getDefaultTimerPeriod());
    timerCategory = true;
  } else if (n == "Timeout") {
    handle = factory->createZeroInfPosDoubleProperty(name, getDefaultTimeout());
  } else {
    return;
  }
  factory->setPropReadOnly(handle, readOnly);
  if (timerCategory) factory->setPropCategory(handle, kPICategoryCallback);
  factory->addPropHelpFromXML(handle, nullptr);
  factory->addProperty(handle, false);
}

void SchemaDefinition::addGenericMethod(const char* name) {
  if (name == nullptr || std::strcmp(name, "GetToolbarName") != 0) return;
  std::unique_ptr<QxMethodInfo> method(new InspectorToolbarNameMI);
  addMethod(method.get());
  method.release();  // the class owns it now
}

void SchemaDefinition::addProperties(KTIPropFactory* /*factory*/) {}

QxInterface* SchemaDefinition::createInstance(QxInterface* parent, void** args, int count) {
  return createObject(QxDatabaseClient::getInternalClient(), parent, args, count, nullptr);
}

const char* SchemaDefinition::getPulvraClassName() {
  const char* name = getName();
  return name != nullptr ? name : "";
}

bool SchemaDefinition::isInstanceSchema() const { return false; }

void SchemaDefinition::setSchemaUserData(const std::vector<void*>& data) {
  if (&data != &userData_) userData_ = data;
}

void* SchemaDefinition::createClassSpecificObject(QxInterface* object) {
  return createClassSpecificObject(object, nullptr, 0);
}

void* SchemaDefinition::createClassSpecificObject(QxInterface* object, void** args, int count) {
  return createProductObject(object, args, count);
}

double SchemaDefinition::getDefaultTimerPeriod() const { return 1.0; }

double SchemaDefinition::getDefaultTimeout() const { return 10.0; }

InstanceSchemaDefinition::InstanceSchemaDefinition(const char* baseName) {
  std::string name = baseName != nullptr ? baseName : "";
  name += "_";
  name += zelutil::fcns::getSequentialID();
  setName(name.c_str(), true);
  setKeepFlag(false);
}

InstanceSchemaDefinition::~InstanceSchemaDefinition() = default;

bool InstanceSchemaDefinition::isInstanceSchema() const { return true; }

}  // namespace zelobjsys
