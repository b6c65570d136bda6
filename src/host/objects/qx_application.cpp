// Host applications and their manager: local classes, default databases, removal, the "schema"
// application, shutdown.
#include "zelhost/objects/qx_application.h"

#include <algorithm>
#include <string>
#include <vector>

#include "class_impl.h"
#include "object_core.h"
#include "zelhost/objects/qx_prop_info.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/services.h"

namespace {

// The host's own class of descriptors' host objects: releasing such an
// object deletes its descriptor.
class HostPropClass : public QxClass {
 public:
  HostPropClass() {
    setName("prop");
    setKeepFlag(false);
  }
  bool isHandleClass() const override { return true; }
  bool isAbstractClass() const override { return false; }
  void releaseObjectPart(QxInterface* object) override {
    QxObjectCore* core = QxObjectCore::of(object);
    delete (core ? core->descriptor() : nullptr);
  }
};

// What the manager owns. Built on first use, freed by shutdown.
struct HostState {
  std::vector<QxApplication*> apps;  // registration order; owned
  std::vector<QxClass*> kept;        // classes that outlived their application
  QxApplication* schema = nullptr;
  QxClass* prop = nullptr;
  bool building = false;
};

HostState* gState = nullptr;

HostState& ensureHost() {
  if (!gState) gState = new HostState;
  HostState& s = *gState;
  if (!s.schema && !s.building) {
    s.building = true;
    s.schema = new QxApplication("schema", false);
    s.prop = new HostPropClass;
    s.schema->addLocalClass(s.prop);
    s.building = false;
  }
  return s;
}

QxApplication* findApp(const HostState& s, const std::string& name) {
  for (QxApplication* app : s.apps) {
    if (name == app->getName()) return app;
  }
  return nullptr;
}

std::vector<QxObjectCore*> retainedChildren(QxObjectCore* parent) {
  std::vector<QxObjectCore*> out;
  for (QxObjectCore* c = parent ? parent->firstChild() : nullptr; c; c = c->next()) {
    c->retain();
    out.push_back(c);
  }
  return out;
}

// Destroys an application's object; a failure is reported as a warning, as
// nobody above can handle it.
void destroyReporting(QxObjectCore* core) {
  try {
    core->destroy();
  } catch (Exception* e) {
    hoxWarnMsgIdAndTxt("PULVRA:application:objectRelease", e->getMessage());
    delete e;
  } catch (...) {
    hoxWarnMsgIdAndTxt("PULVRA:application:objectRelease",
                       "An unhandled error occurred while deleting an object.");
  }
}

}  // namespace

QxClass* hoxPropClass() { return ensureHost().prop; }

struct QxApplication::Impl {
  std::string name;
  bool dynamic = true;
  bool registered = false;
  QxObjectCore* host = nullptr;     // counted
  QxObjectCore* classes = nullptr;  // named list of class host objects; counted
  QxDatabase database;
  QxObjectCore* root = nullptr;  // counted
};

namespace {

QxObjectCore* makeOwnedObject(void* ownPart) {
  QxObjectCore* core = QxObjectCore::create(nullptr, ownPart);
  core->setOwnerOnly();
  core->retain();  // the application's count
  return core;
}

}  // namespace

QxApplication::QxApplication(const char* name, bool dynamic) : impl_(new Impl) {
  impl_->name = name ? name : "";
  impl_->dynamic = dynamic;
  impl_->host = makeOwnedObject(this);
  impl_->classes = makeOwnedObject(nullptr);
  impl_->classes->makeIndexed();
  impl_->root = makeOwnedObject(nullptr);
  impl_->database.root_ = impl_->root->handle();
  HostState& s = ensureHost();
  if (!findApp(s, impl_->name)) {
    s.apps.push_back(this);
    impl_->registered = true;
  }
}

QxApplication::~QxApplication() {
  if (impl_->registered && gState) {
    HostState& s = *gState;
    s.apps.erase(std::remove(s.apps.begin(), s.apps.end(), this), s.apps.end());
    if (s.schema == this) {
      s.schema = nullptr;
      s.prop = nullptr;
    }
  }
  // Objects first: they may refer to the classes.
  for (QxObjectCore* core : retainedChildren(impl_->root)) {
    destroyReporting(core);
    core->release();
  }
  destroyReporting(impl_->root);
  std::vector<QxObjectCore*> classes = retainedChildren(impl_->classes);
  std::reverse(classes.begin(), classes.end());  // later classes may build on earlier ones
  for (QxObjectCore* core : classes) {
    auto* cls = static_cast<QxClass*>(core->ownPart());
    if (cls && cls->getKeepFlag() && gState) {
      core->unlink();
      cls->impl_->application = nullptr;
      gState->kept.push_back(cls);
    } else if (cls) {
      hoxDeleteClass(cls);
    }
    core->release();
  }
  for (QxObjectCore* core : {impl_->classes, impl_->root, impl_->host}) {
    core->detachOwnPart();
    core->destroyQuietly();
    core->release();
  }
  delete impl_;
}

const char* QxApplication::getName() const { return impl_->name.c_str(); }

QxInterface* QxApplication::getInterface() const { return impl_->host->handle(); }

QxInterface* QxApplication::getLocalClasses() const {
  QxObjectCore* first = impl_->classes->firstChild();
  return first ? first->handle() : nullptr;
}

void QxApplication::addLocalClass(QxClass* cls) {
  if (!cls) return;
  const char* name = cls->getName();
  if (impl_->classes->findExact(name))
    throw new ClassRedefinedException("The class '" + std::string(name) +
                                      "' is already defined in the application '" + impl_->name +
                                      "'.");
  if (cls->impl_->application)
    throw new GenericException("The class '" + std::string(name) +
                               "' already belongs to the application '" +
                               cls->impl_->application->getName() + "'.");
  if (gState) {
    // A kept class that is added again belongs to its new application.
    auto& kept = gState->kept;
    kept.erase(std::remove(kept.begin(), kept.end(), cls), kept.end());
  }
  impl_->classes->appendNamed(QxObjectCore::of(cls->getInterface()), name);
  cls->impl_->application = this;
}

QxInterface* QxApplication::getLocalClass(const char* name) const {
  QxObjectCore* hit = name ? impl_->classes->findExact(name) : nullptr;
  return hit ? hit->handle() : nullptr;
}

QxDatabase* QxApplication::getDefaultDatabase() { return &impl_->database; }

QxInterface* QxDatabase::getRootObject() const { return root_; }

QxInterface* QxApplicationManager::getApplication(const char* name) {
  QxApplication* app = findApp(ensureHost(), name ? name : "");
  return app ? app->getInterface() : nullptr;
}

void QxApplicationManager::removeApplication(QxApplication* app) {
  if (!app || !gState) return;
  auto& apps = gState->apps;
  if (std::find(apps.begin(), apps.end(), app) == apps.end()) return;  // not ours to delete
  delete app;
}

void QxApplicationManager::shutdown() {
  if (!gState) return;
  HostState& s = *gState;
  s.building = true;  // nothing rebuilds "schema" while it is being taken down
  // Products first, newest first; "schema" last, since classes of other
  // applications build on its "prop".
  for (bool again = true; again;) {
    while (s.apps.size() > (s.schema ? 1u : 0u)) {
      QxApplication* last = s.apps.back() == s.schema ? s.apps.front() : s.apps.back();
      delete last;
    }
    while (!s.kept.empty()) {
      QxClass* cls = s.kept.back();
      s.kept.pop_back();
      hoxDeleteClass(cls);
    }
    if (s.schema) delete s.schema;
    for (QxObjectCore* core : hoxreg::allLiveObjects()) {
      core->destroyQuietly();
      core->release();
    }
    again = !s.apps.empty() || !s.kept.empty();
  }
  delete gState;
  gState = nullptr;
}
