// ApplicationTypeManager: a product's own data types, served to the host by name.
#include "zelobjsys/application_type_manager.h"

#include "zelhost/services/zelhox.h"

namespace zelobjsys {

ApplicationTypeManager::ApplicationTypeManager(const char* name)
    : name_(name != nullptr ? name : "") {}

ApplicationTypeManager::~ApplicationTypeManager() = default;

QxDataType* ApplicationTypeManager::getType(const char* name) {
  if (name == nullptr) return nullptr;
  auto found = types_.find(name);
  return found != types_.end() ? found->second.get() : nullptr;
}

void ApplicationTypeManager::addType(QxDataType* type) {
  std::unique_ptr<QxDataType> owned(type);
  if (!owned) return;
  std::unique_ptr<QxDataType>& slot = types_[owned->getName()];
  if (slot == owned) {
    owned.release();  // already ours
    return;
  }
  // A record may still point at the earlier type: keep it alive.
  if (slot) displaced_.push_back(std::move(slot));
  slot = std::move(owned);
}

QxDataType* ApplicationTypeManager::createNewEnumType(const char* name, const hvArray* names,
                                                      const int* values, std::size_t valueCount) {
  if (name == nullptr) return nullptr;
  if (QxDataType* known = QxTypeRepository::getType(name, true)) return known;
  auto type = std::make_unique<EnumStringType>(name);
  const hvSize count = hvIsCell(names) ? hvGetNumberOfElements(names) : 0;
  for (hvSize i = 0; i < count; ++i) {
    const int value = values != nullptr && i < valueCount ? values[i] : static_cast<int>(i);
    type->addEnumValue(zelhox::fcns::getString(hvGetCell(names, i)).c_str(), value);
  }
  QxDataType* made = type.get();
  addType(type.release());  // the manager owns it now
  return made;
}

}  // namespace zelobjsys
