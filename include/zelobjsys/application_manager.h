// ApplicationManager: the process-wide registry of the product family's applications, classes and
// objects.
#ifndef ZELOBJSYS_APPLICATION_MANAGER_H
#define ZELOBJSYS_APPLICATION_MANAGER_H

#include <map>
#include <memory>
#include <string>

class QxApplication;
class QxClass;
class QxInterface;

namespace zelobjsys {

class ApplicationTypeManager;
class SchemaDefinition;

// Where the products of the family meet the host. The first getInstance
// builds the family's world: the error-exception function, the application
// "vornix" with the constrained data types and the property-info class
// "zlprop", the property-info enumerations and the host event service. Each
// product then registers its own host application and receives a type
// manager for its data types, unique class names, and operations to add
// classes and objects and remove them again. Removing the last product tears
// the world down and destroys the manager; the next getInstance builds it
// again.
//
// Ownership: the manager owns its product entries and their type managers;
// the host owns the applications, classes and objects once added. Returned
// pointers are borrowed. Not copyable (a singleton). Host thread only; no
// locks.
class ApplicationManager {
 public:
  static ApplicationManager* getInstance();
  static bool isInitialized();

  ApplicationManager(const ApplicationManager&) = delete;
  ApplicationManager& operator=(const ApplicationManager&) = delete;

  // A name that is registered already, the family's own ("vornix"), or null,
  // changes nothing.
  void addProductApplication(const char* product);
  // Removes the product's classes and application; a name that is not a
  // registered product removes no application. Destroys the manager when no
  // product remains (also when the name was unknown).
  void removeProductApplication(const char* product);
  // The product's host application; null when the product is unknown or the
  // host no longer has its application.
  QxApplication* getProductApplication(const char* product) const;
  // The application takes the class and true is returned. False, and the
  // caller keeps the class, when there is no such product application or it
  // holds a class of that name already (a repeated registration is no error).
  bool addProductClass(const char* product, QxClass* cls);
  // The product's class of that name when it is a schema, else null.
  SchemaDefinition* getProductClass(const char* product, const char* className) const;
  bool isProductClass(const char* product, const char* className) const;
  // Links the object below the root of the product's default database.
  void addProductObject(const char* product, QxInterface* object);
  // Destroys every object of the product's default database. Failures do not
  // stop the loop; with warn, the first of them is shown as one warning.
  void removeProductObjects(const char* product, bool warn);
  // "base_N", the same name for the same base and qualifier (joined), N one
  // above the number of names the product was given so far. The text stays
  // valid while the product is registered; "" for an unknown product.
  const char* requestClassName(const char* product, const char* baseName,
                               const char* qualifier) const;
  ApplicationTypeManager* getTypeManager(const char* product) const;
  // Where the enumerated types of a class's properties live: the type
  // manager of the product whose application holds the class, else (a class
  // not yet registered, or of another application) the family's own, whose
  // types live until the manager is destroyed. Never null.
  ApplicationTypeManager* getClassTypeManager(const QxClass* cls) const;
  // The family's property-info class "zlprop", or null.
  QxClass* getPropInfoQxC() const;

 private:
  friend class ApplicationManagerTestPeer;  // unit tests

  struct ProductEntry;
  using ProductMap = std::map<std::string, std::unique_ptr<ProductEntry>>;

  ApplicationManager();
  ~ApplicationManager();

  static void releaseInstance();
  static const char* getZELApplicationName() { return "vornix"; }
  void createZELApplication();
  QxApplication* getZELApplication() const;
  bool removeZELApplication();
  static void makeClassesRemovable(QxApplication* app);
  static void registerBaseTypes();
  static void unregisterBaseTypes();
  static QxApplication* findApplication(const char* name);
  // Destroys one collected object; returns the failure's warning (id, text)
  // or an empty id.
  static std::pair<std::string, std::string> destroyObject(QxInterface* handle);

  ProductMap products_;
  // Enumerated types of classes that belong to no product application yet.
  std::unique_ptr<ApplicationTypeManager> familyTypes_;

  static ApplicationManager* _zelAppManager;  // NOLINT(readability-identifier-naming)
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_APPLICATION_MANAGER_H
