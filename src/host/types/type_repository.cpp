// The host's type repository: data types by exact name, the built-ins, and the type servers asked
// for the rest.
#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "builtin_type.h"
#include "zelhost/types/data_type.h"

namespace {

struct Registry {
  std::map<std::string, QxDataType*, std::less<>> types;
  std::vector<QxTypeServer*> servers;
};

// Never destroyed: data types and servers with static lifetime unregister
// themselves in their destructors, which may run after any other static's.
Registry& registry() {
  static Registry* instance = new Registry;
  return *instance;
}

// Still registered (a server may have been removed, even deleted, meanwhile).
bool isRegisteredServer(const QxTypeServer* server) {
  const auto& servers = registry().servers;
  return std::find(servers.begin(), servers.end(), server) != servers.end();
}

}  // namespace

QxTypeServer::QxTypeServer() = default;
QxTypeServer::~QxTypeServer() { QxTypeRepository::removeTypeServer(this); }
QxDataType* QxTypeServer::getType(const char*) { return nullptr; }

void QxTypeRepository::addType(QxDataType* type) {
  const char* name = type ? type->getName() : nullptr;
  // The built-ins always answer to their names; a type may not shadow them.
  if (!name || hoxtypes::findBuiltinType(name)) return;
  registry().types[name] = type;
}

// By identity, without calling the type: ~QxDataType calls this when the
// derived part is already gone.
void QxTypeRepository::removeType(QxDataType* type) {
  if (!type) return;
  auto& types = registry().types;
  for (auto it = types.begin(); it != types.end();) {
    it = it->second == type ? types.erase(it) : std::next(it);
  }
}

QxDataType* QxTypeRepository::getType(const char* name, bool) {
  if (!name) return nullptr;
  if (QxDataType* builtin = hoxtypes::findBuiltinType(name)) return builtin;
  const auto& types = registry().types;
  const auto it = types.find(std::string_view(name));
  if (it != types.end()) return it->second;
  // A server may add or remove servers while it answers: walk a snapshot.
  const std::vector<QxTypeServer*> servers = registry().servers;
  for (QxTypeServer* server : servers) {
    if (!isRegisteredServer(server)) continue;
    if (QxDataType* found = server->getType(name)) return found;
  }
  return nullptr;
}

void QxTypeRepository::addTypeServer(QxTypeServer* server) {
  auto& servers = registry().servers;
  if (server && std::find(servers.begin(), servers.end(), server) == servers.end())
    servers.push_back(server);
}

void QxTypeRepository::removeTypeServer(QxTypeServer* server) {
  auto& servers = registry().servers;
  servers.erase(std::remove(servers.begin(), servers.end(), server), servers.end());
}
