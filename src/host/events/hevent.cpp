// HEventInfo's event structure and HEventManager's hold on the event service.
#include "zelhost/events/hevent.h"

#include "zelhost/services/zelhox.h"

namespace {

hvArray* createEmptyStruct() { return hvCreateStructMatrix(1, 1, 0, nullptr); }

HEventManager* theManager = nullptr;

}  // namespace

// ---------------------------------------------------------------- HEventInfo

HEventInfo::HEventInfo(const char* type, bool isError)
    : type_(type != nullptr ? type : ""), isError_(isError) {}

HEventInfo::~HEventInfo() = default;

hvArray* HEventInfo::createHvEventData() const { return createEmptyStruct(); }

hvArray* HEventInfo::createPulvraStructure() const {
  ZLScopedHvArray data(createHvEventData());
  if (data.get() == nullptr) data.reset(createEmptyStruct());
  const char* names[] = {"Type", "Data"};
  ZLScopedHvArray event(hvCreateStructMatrix(1, 1, 2, names));
  hvSetFieldByNumber(event, 0, 0, hvCreateString(type_.c_str()));
  hvSetFieldByNumber(event, 0, 1, data.release());  // the structure takes it
  return event.release();
}

// ---------------------------------------------------------------- HEventManager

HEventManager::HEventManager() { zelutil::EventService::start(); }

HEventManager::~HEventManager() { zelutil::EventService::stop(); }

HEventManager* HEventManager::createInstance() {
  if (theManager == nullptr) theManager = new HEventManager;
  return theManager;
}

void HEventManager::destroyInstance() {
  HEventManager* manager = theManager;
  theManager = nullptr;
  delete manager;
}

HEventManager* HEventManager::getInstance() { return theManager; }
