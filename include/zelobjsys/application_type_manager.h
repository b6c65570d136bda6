// ApplicationTypeManager: the type server that owns the data types one product application makes.
#ifndef ZELOBJSYS_APPLICATION_TYPE_MANAGER_H
#define ZELOBJSYS_APPLICATION_TYPE_MANAGER_H

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "zelhost/types/data_type.h"
#include "zelhost/values/hv_array.h"

namespace zelobjsys {

class ApplicationTypeManagerTestPeer;
class PropertyFactory;

// Holds the data types that one product makes at run time, chiefly the
// enumerated type of each enumerated property. Registered with the type
// repository as a type server (by ApplicationManager), it answers the host's
// requests by exact name; the types are never added to the repository
// itself.
//
// Ownership: the manager owns every type it made, including one that a later
// type of the same name displaced (a property may still use it); all die with
// the manager, which must be unregistered first. Not copyable: two managers
// would delete the same types. Host thread only.
class ApplicationTypeManager : public QxTypeServer {
 public:
  explicit ApplicationTypeManager(const char* name);
  ~ApplicationTypeManager() override;
  ApplicationTypeManager(const ApplicationTypeManager&) = delete;
  ApplicationTypeManager& operator=(const ApplicationTypeManager&) = delete;

  // Exact (case-sensitive) lookup among this manager's types; null when absent
  // or for a null name. Borrowed.
  QxDataType* getType(const char* name) override;
  const std::string& getName() const { return name_; }

 private:
  friend class PropertyFactory;
  friend class ApplicationTypeManagerTestPeer;

  // Takes the type; it becomes the one answered for its name.
  void addType(QxDataType* type);
  // The repository's type of that name when it has one; otherwise a new
  // enumeration whose texts are the strings of the cell array names, numbered
  // by values (valueCount of them; missing values number a text by its
  // position). Null for a null name. Borrowed.
  QxDataType* createNewEnumType(const char* name, const hvArray* names, const int* values,
                                std::size_t valueCount);

  std::string name_;
  std::map<std::string, std::unique_ptr<QxDataType>> types_;
  std::vector<std::unique_ptr<QxDataType>> displaced_;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_APPLICATION_TYPE_MANAGER_H
