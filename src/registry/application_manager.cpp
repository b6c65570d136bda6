// ApplicationManager: start-up, product registration, class and object bookkeeping, tear-down.
#include "zelobjsys/application_manager.h"

#include <string>
#include <vector>

#include "zelhost/events/hevent.h"
#include "zelhost/objects/qx_application.h"
#include "zelhost/objects/qx_class.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/services.h"
#include "zelhost/services/zelhox.h"
#include "zelobjsys/application_type_manager.h"
#include "zelobjsys/constrained_data_types.h"
#include "zelobjsys/prop_info_manager.h"
#include "zelobjsys/prop_info_qxc.h"
#include "zelobjsys/schema_definition.h"

namespace zelobjsys {

namespace {

ErrorIdException* newErrorIdException(const char* id, const char* message) {
  return new ErrorIdException(id != nullptr ? id : "", message != nullptr ? message : "");
}

// Host errors raised by library code become thrown ErrorIdExceptions, which
// is what every caller up to the user expects. Thrown from a frame that owns
// nothing (the texts are made in the call above), so that unwinding does not
// stop here.
void throwErrorIdException(const char* id, const char* message) {
  ErrorIdException* error = newErrorIdException(id, message);
  throw error;
}

QxClass* classOf(QxInterface* classObject) {
  return classObject != nullptr ? static_cast<QxClass*>(classObject->getObject()) : nullptr;
}

}  // namespace

// A product's issued class names (request key to name) and its type manager.
struct ApplicationManager::ProductEntry {
  explicit ProductEntry(const std::string& name) : types(name.c_str()) {}
  std::map<std::string, std::string> classNames;
  ApplicationTypeManager types;
};

ApplicationManager* ApplicationManager::_zelAppManager = nullptr;

ApplicationManager* ApplicationManager::getInstance() {
  if (_zelAppManager != nullptr) return _zelAppManager;
  zelhox::fcns::setErrorExceptionFcn(&throwErrorIdException);
  // Stored before anything is built: code run below may ask for it.
  _zelAppManager = new ApplicationManager();
  _zelAppManager->createZELApplication();
  PropInfoManager::createInstance();
  HEventManager::createInstance();
  return _zelAppManager;
}

bool ApplicationManager::isInitialized() { return _zelAppManager != nullptr; }

ApplicationManager::ApplicationManager()
    : familyTypes_(std::make_unique<ApplicationTypeManager>(getZELApplicationName())) {
  QxTypeRepository::addTypeServer(familyTypes_.get());
}

ApplicationManager::~ApplicationManager() {
  // Product applications first: their properties use the types of the
  // managers below and the property-info class of the family application.
  for (auto& product : products_) {
    if (QxApplication* app = findApplication(product.first.c_str())) {
      makeClassesRemovable(app);
      QxApplicationManager::removeApplication(app);
    }
  }
  if (QxApplication* family = getZELApplication()) {
    makeClassesRemovable(family);
    QxApplicationManager::removeApplication(family);
  }
  for (auto& product : products_) QxTypeRepository::removeTypeServer(&product.second->types);
  QxTypeRepository::removeTypeServer(familyTypes_.get());
  unregisterBaseTypes();
  HEventManager::destroyInstance();
  PropInfoManager::destroyInstance();
}

void ApplicationManager::releaseInstance() {
  delete _zelAppManager;
  _zelAppManager = nullptr;
}

bool ApplicationManager::removeZELApplication() {
  if (!products_.empty()) return false;
  releaseInstance();  // `this` is gone after this line
  return true;
}

void ApplicationManager::createZELApplication() {
  if (findApplication(getZELApplicationName()) != nullptr) return;
  registerBaseTypes();
  auto* family = new QxApplication(getZELApplicationName(), true);  // the host owns it
  std::unique_ptr<PropInfoQxC> propInfoClass(new PropInfoQxC);
  family->addLocalClass(propInfoClass.get());
  propInfoClass.release();  // the application owns it now
}

QxApplication* ApplicationManager::getZELApplication() const {
  return findApplication(getZELApplicationName());
}

QxApplication* ApplicationManager::findApplication(const char* name) {
  if (name == nullptr) return nullptr;
  QxInterface* app = QxApplicationManager::getApplication(name);
  return app != nullptr ? static_cast<QxApplication*>(app->getObject()) : nullptr;
}

void ApplicationManager::makeClassesRemovable(QxApplication* app) {
  if (app == nullptr) return;
  QxBreadthOnlyIterator classes(app->getLocalClasses(), false);
  while (classes.hasMoreElements()) {
    if (QxClass* cls = classOf(classes.nextElement())) cls->setKeepFlag(false);
  }
}

void ApplicationManager::registerBaseTypes() { datatypes::registerConstrainedDataTypes(); }

void ApplicationManager::unregisterBaseTypes() { datatypes::removeConstrainedDataTypes(); }

void ApplicationManager::addProductApplication(const char* product) {
  if (product == nullptr || products_.count(product) != 0) return;
  // Neither the family's application nor the host's own "schema" is a
  // product's: removing the product would take "zlprop" (or the host's "prop",
  // the class of every descriptor's host object) away from everyone.
  const std::string name(product);
  if (name == getZELApplicationName() || name == "schema") return;
  if (findApplication(product) == nullptr) {
    new QxApplication(product, true);  // the host owns it
  }
  auto entry = std::make_unique<ProductEntry>(product);
  QxTypeRepository::addTypeServer(&entry->types);
  products_.emplace(product, std::move(entry));
}

void ApplicationManager::removeProductApplication(const char* product) {
  auto found = product != nullptr ? products_.find(product) : products_.end();
  // Only a registered product's application goes: any other (the family's
  // own above all) still serves the products that are registered.
  if (found != products_.end()) {
    if (QxApplication* app = findApplication(product)) {
      makeClassesRemovable(app);
      QxApplicationManager::removeApplication(app);
    }
    QxTypeRepository::removeTypeServer(&found->second->types);
    products_.erase(found);
  }
  removeZELApplication();  // `this` may be gone after this line
}

QxApplication* ApplicationManager::getProductApplication(const char* product) const {
  if (product == nullptr || products_.count(product) == 0) return nullptr;
  return findApplication(product);
}

bool ApplicationManager::addProductClass(const char* product, QxClass* cls) {
  QxApplication* app = getProductApplication(product);
  if (app == nullptr || cls == nullptr) return false;
  try {
    app->addLocalClass(cls);
  } catch (ClassRedefinedException* e) {
    delete e;
    return false;
  }
  return true;
}

SchemaDefinition* ApplicationManager::getProductClass(const char* product,
                                                      const char* className) const {
  QxApplication* app = getProductApplication(product);
  if (app == nullptr || className == nullptr) return nullptr;
  return dynamic_cast<SchemaDefinition*>(classOf(app->getLocalClass(className)));
}

bool ApplicationManager::isProductClass(const char* product, const char* className) const {
  return getProductClass(product, className) != nullptr;
}

void ApplicationManager::addProductObject(const char* product, QxInterface* object) {
  QxApplication* app = getProductApplication(product);
  if (app == nullptr || object == nullptr) return;
  object->addBelow(app->getDefaultDatabase()->getRootObject());
}

std::pair<std::string, std::string> ApplicationManager::destroyObject(QxInterface* handle) {
  try {
    handle->destroy(QxDatabaseClient::getInternalClient());
  } catch (Exception* thrown) {
    std::unique_ptr<Exception> owned(thrown);
    return {"vornix:removeObjects:exceptionThrown", owned->getTempStaticMessage()};
  } catch (...) {
    return {"vornix:removeObjects:unhandledError",
            "An unhandled error occurred while deleting an object."};
  }
  return {};
}

void ApplicationManager::removeProductObjects(const char* product, bool warn) {
  QxApplication* app = getProductApplication(product);
  if (app == nullptr) return;
  // Collected first: destroying an object changes the list being walked.
  std::vector<std::unique_ptr<QxInterface>> handles;
  QxBreadthOnlyIterator objects(app->getDefaultDatabase()->getRootObject()->getFirstDown(), false);
  while (objects.hasMoreElements()) handles.emplace_back(objects.nextElement()->getReference());
  for (std::unique_ptr<QxInterface>& handle : handles) {
    std::pair<std::string, std::string> failure = destroyObject(handle.get());
    if (warn && !failure.first.empty()) {
      warn = false;
      hoxWarnMsgIdAndTxt(failure.first.c_str(), failure.second.c_str());
    }
  }
}

const char* ApplicationManager::requestClassName(const char* product, const char* baseName,
                                                 const char* qualifier) const {
  auto found = product != nullptr ? products_.find(product) : products_.end();
  if (found == products_.end()) return "";
  const std::string base = baseName != nullptr ? baseName : "";
  const std::string key = base + (qualifier != nullptr ? qualifier : "");
  std::map<std::string, std::string>& names = found->second->classNames;
  auto issued = names.find(key);
  if (issued == names.end()) {
    const std::string name = base + "_" + std::to_string(names.size() + 1);
    issued = names.emplace(key, name).first;
  }
  return issued->second.c_str();
}

ApplicationTypeManager* ApplicationManager::getTypeManager(const char* product) const {
  auto found = product != nullptr ? products_.find(product) : products_.end();
  return found != products_.end() ? &found->second->types : nullptr;
}

ApplicationTypeManager* ApplicationManager::getClassTypeManager(const QxClass* cls) const {
  const QxApplication* app = cls != nullptr ? cls->getApplication() : nullptr;
  ApplicationTypeManager* types = app != nullptr ? getTypeManager(app->getName()) : nullptr;
  return types != nullptr ? types : familyTypes_.get();
}

QxClass* ApplicationManager::getPropInfoQxC() const {
  QxApplication* family = getZELApplication();
  return family != nullptr ? classOf(family->getLocalClass(kPropInfoClassName)) : nullptr;
}

}  // namespace zelobjsys
