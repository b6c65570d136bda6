// PropInfoManager: names and identifiers of the property-info enumerations, and hidden "propinfo"
// fields.
#ifndef ZELOBJSYS_PROP_INFO_MANAGER_H
#define ZELOBJSYS_PROP_INFO_MANAGER_H

#include <string>
#include <vector>

class EnumerationType;

namespace zelobjsys {

class ApplicationManager;
class PropInfoManagerTestPeer;

// Translates between the names and identifiers of the four property-info
// enumerations ("PITypeEnumType", "PIConstraintEnumType", "PIReadOnlyEnumType",
// "PICategoryEnumType"), which live in the host type repository while the
// property-info class exists, and keeps the fields that "propinfo" hides per
// package and class. Each translation looks its enumeration up again, so
// values that products add are seen at once. A text that is not a value gives
// -1; an identifier without a value gives the empty text; a missing
// enumeration behaves as an empty one.
//
// A process-wide singleton created with the application manager; host thread
// only.
class PropInfoManager {
 public:
  static PropInfoManager* getInstance();

  PropInfoManager(const PropInfoManager&) = default;
  PropInfoManager& operator=(const PropInfoManager&) = default;

  int getTypeID(const char* text) const;
  std::string getTypeString(int id) const;
  int addTypeValue(const char* text) const;

  int getConstraintID(const char* text) const;
  std::string getConstraintString(int id) const;

  int getReadOnlyID(const char* text) const;
  std::string getReadOnlyString(int id) const;
  int addReadOnlyValue(const char* text) const;

  int getCategoryID(const char* text) const;
  std::string getCategoryString(int id) const;
  int addCategoryValue(const char* text) const;

  // A field is hidden for one package and class, each text compared exactly
  // (case counts); a missing text counts as an empty one.
  void hideField(const char* package, const char* className, const char* field);
  bool isFieldHidden(const char* package, const char* className, const char* field) const;

 private:
  friend class ApplicationManager;
  friend class PropInfoManagerTestPeer;

  PropInfoManager() = default;
  ~PropInfoManager() = default;
  static void createInstance();
  static void destroyInstance();

  int getPIEnumID(const char* typeName, const char* text) const;
  std::string getPIEnumStr(const char* typeName, int id) const;
  int addPIEnumValue(const char* typeName, const char* text) const;
  const EnumerationType* getEnumDataType(const char* typeName) const;
  void createUniqueKey(std::string& key, const char* package, const char* className,
                       const char* field) const;

  std::vector<std::string> hiddenKeys_;
  static PropInfoManager* _singleton;  // NOLINT(readability-identifier-naming)
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_PROP_INFO_MANAGER_H
