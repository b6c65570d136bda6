// Property: the set sequence, custom get, numeric reads, enumeration test and listener handling.
#include "zelobjsys/property.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "zelhost/services/zelhox.h"
#include "zelhost/types/data_type.h"
#include "zelobjsys/prop_info.h"

namespace zelobjsys {

namespace {

constexpr const char* kInvalidEnumId = "vornix:set:invalidEnumValue";
constexpr const char* kInvalidEnumText = "The value provided is not a valid property enumeration.";
constexpr const char* kNotUndoneText =
    "An error occurred after the property value was updated. SET could not be undone.";
constexpr const char* kNoDataTypeId = "vornix:set:noDataType";

// Raises a ZLException thrown by pointer as a host error, freeing it first.
[[noreturn]] void postOwned(zelutil::ZLException* raw) {
  std::unique_ptr<zelutil::ZLException> owned(raw);
  ZLGeneralException general(owned ? owned->getID() : "", "%s", owned ? owned->getMessage() : "");
  owned.reset();
  general.post();
}

void warnNotUndone(const char* id, const char* message) {
  std::string text = kNotUndoneText;
  text += '\n';
  text += message != nullptr ? message : "";
  zelhox::fcns::warn(id, text.c_str(), 0);
}

// Truncates toward zero; values outside the int range are clamped and NaN
// reads as the largest int, as the C library's conversions report them.
int clampToInt(double x) {
  if (std::isnan(x)) {
    errno = EDOM;
    return std::numeric_limits<int32_t>::max();
  }
  if (x > 2147483647.0) {
    errno = ERANGE;
    return std::numeric_limits<int32_t>::max();
  }
  if (x < -2147483648.0) {
    errno = ERANGE;
    return std::numeric_limits<int32_t>::min();
  }
  return static_cast<int>(x);
}

// Bytes of a value of the category when it is a plain scalar stored as that
// many bytes, 0 otherwise.
std::uint8_t scalarSizeOf(const QxDataType* type) {
  switch (type != nullptr ? type->getStorageCategory() : kStorageNone) {
    case kStorageBool:
      return sizeof(bool);
    case kStorageInt32:
    case kStorageUInt32:
      return sizeof(int32_t);
    case kStorageReal:
    case kStorageDouble:
      return sizeof(double);
    default:
      return 0;
  }
}

bool sameEnumValue(int category, const void* a, const void* b) {
  switch (category) {
    case kStorageInt32:
    case kStorageUInt32:
      return *static_cast<const int32_t*>(a) == *static_cast<const int32_t*>(b);
    case kStorageReal:
      return *static_cast<const double*>(a) == *static_cast<const double*>(b);
    default:
      return false;
  }
}

}  // namespace

Property::Property(QxInterface* owner, const PropInfo* info)
    : Property(owner, info, info != nullptr ? info->getQxDataType() : nullptr,
               info != nullptr ? info->getCustomGetFcn() : nullptr,
               info != nullptr ? info->getCustomSetFcn() : nullptr) {}

Property::Property(QxInterface* owner, const PropInfo* info, QxDataType* dataType,
                   boost::shared_ptr<IGetFcn> getFcn, boost::shared_ptr<ISetFcn> setFcn)
    : scalarSize_(scalarSizeOf(dataType)),
      owner_(owner),
      propInfo_(info),
      dataType_(dataType),
      getFcn_(std::move(getFcn)),
      setFcn_(std::move(setFcn)) {}

void Property::redefine(const PropInfo* info) {
  void* old = value_;
  value_ = nullptr;
  destroyValue(old);  // with the data type that made it
  propInfo_ = info;
  dataType_ = info != nullptr ? info->getQxDataType() : nullptr;
  scalarSize_ = scalarSizeOf(dataType_);
  getFcn_ = info != nullptr ? info->getCustomGetFcn() : nullptr;
  setFcn_ = info != nullptr ? info->getCustomSetFcn() : nullptr;
  ignoreUntilSet_ = false;
}

std::weak_ptr<const void> Property::watch() {
  if (!alive_) alive_ = std::make_shared<char>();
  return alive_;
}

Property::~Property() {
  checks_.clear();
  listeners_.reset();
  destroyValue(value_);
  setFcn_.reset();
  getFcn_.reset();
}

void* Property::getValue() {
  if (!getFcn_) return value_;
  // Held here too: a get function may replace itself while it runs.
  boost::shared_ptr<IGetFcn> fcn = getFcn_;
  void* fresh = nullptr;
  try {
    fresh = fcn->get(owner_, propInfo_);
  } catch (const ZLGeneralException& e) {
    e.post();
  } catch (zelutil::ZLException* e) {
    postOwned(e);
  }
  void* previous = value_;
  value_ = fresh;
  if (previous != fresh) destroyValue(previous);
  return value_;
}

int Property::getValueAsInt() {
  const int storage = propInfo_ != nullptr ? propInfo_->getPropertyStorageType() : -1;
  if (storage != kStorageTypeInt32 && storage != kStorageTypeDouble) return 0;
  const void* value = getValue();
  if (value == nullptr) return 0;
  if (storage == kStorageTypeInt32) return *static_cast<const int32_t*>(value);
  return clampToInt(*static_cast<const double*>(value));
}

double Property::getValueAsDouble() {
  const int storage = propInfo_ != nullptr ? propInfo_->getPropertyStorageType() : -1;
  if (storage != kStorageTypeInt32 && storage != kStorageTypeDouble) return 0.0;
  const void* value = getValue();
  if (value == nullptr) return 0.0;
  if (storage == kStorageTypeInt32) return *static_cast<const int32_t*>(value);
  return *static_cast<const double*>(value);
}

void Property::setValue(const void* value, bool runChecksFlag) {
  ignoreUntilSet_ = false;
  if (dataType_ == nullptr) {
    ZLGeneralException(kNoDataTypeId, "%s: The property has no data type to store a value with.",
                       propInfo_ != nullptr ? propInfo_->getName() : "")
        .post();
  }
  if (runChecksFlag) runChecks(value);
  if (setFcn_) runCustomSet(value);

  if (assignInPlace(value)) {
    notifyAfterSet();
    return;
  }
  void* previous = value_;
  value_ = dataType_->copy(value);
  // The previous value goes on every path out, also when a listener throws
  // something that is not reported as a warning.
  struct ReleaseOnExit {
    const Property& self;
    void* value;
    ~ReleaseOnExit() { self.destroyValue(value); }
  } release{*this, previous};
  notifyAfterSet();
}

bool Property::assignInPlace(const void* value) {
  if (scalarSize_ == 0 || value_ == nullptr || value == nullptr) return false;
  std::memmove(value_, value, scalarSize_);  // value may be the held one itself
  return true;
}

void IPropCheckFcn::checkAndRaise(QxInterface* object, const PropInfo* info, const void* value) {
  try {
    check(object, info, value);
  } catch (const ZLGeneralException& e) {
    e.post();
  }
}

void Property::runChecks(const void* value) {
  // By index: a check may add further checks to this entry.
  for (std::size_t i = 0; i < checks_.size(); ++i)
    checks_[i]->checkAndRaise(owner_, propInfo_, value);
}

void Property::runCustomSet(const void* value) {
  boost::shared_ptr<ISetFcn> fcn = setFcn_;
  try {
    fcn->set(owner_, propInfo_, value);
  } catch (const ZLGeneralException& e) {
    e.post();
  } catch (zelutil::ZLException* e) {
    postOwned(e);
  }
}

void Property::notify(const ListenerList* list) {
  if (list == nullptr) return;
  // By index: a listener may add listeners while it is told.
  for (std::size_t i = 0; i < list->size(); ++i) (*list)[i]->propertySet(propInfo_, value_);
}

void Property::notifyAfterSet() {
  if (!listeners_ || listeners_->empty()) return;
  try {
    notify(listeners_.get());
  } catch (const ZLGeneralException& e) {
    warnNotUndone(e.getID(), e.getMessage());
  } catch (zelutil::ZLException* e) {
    std::unique_ptr<zelutil::ZLException> owned(e);
    warnNotUndone(owned ? owned->getID() : "", owned ? owned->getMessage() : "");
  }
}

void Property::notifyListeners() { notify(listeners_.get()); }

void Property::swapListeners(Property* other) {
  if (other == nullptr) return;
  std::swap(listeners_, other->listeners_);
  const ListenerList* formerlyMine = other->listeners_.get();
  notify(formerlyMine);
  if (listeners_.get() != formerlyMine) notify(listeners_.get());
}

void Property::addCheckFcn(IPropCheckFcn* fcn) {
  if (fcn == nullptr) return;
  checks_.add(CheckList::Held(fcn));
}

void Property::addSharedCheckFcn(IPropCheckFcn& fcn) {
  checks_.add(CheckList::Held(&fcn, CheckList::Drop(false)));
}

void Property::CheckList::add(Held fcn) {
  if (!first_) {
    first_ = std::move(fcn);
    return;
  }
  if (!rest_) rest_.reset(new Rest);
  rest_->push_back(std::move(fcn));
}

void Property::CheckList::clear() {
  first_.reset();
  rest_.reset();
}

void Property::addListener(KTIPropSetListener* listener) {
  if (listener == nullptr) return;
  if (!listeners_) listeners_.reset(new ListenerList);
  listeners_->emplace_back(listener);
}

std::unique_ptr<KTIPropSetListener> Property::removeListener(const KTIPropSetListener* listener) {
  if (!listeners_) return nullptr;
  ListenerList& list = *listeners_;
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (it->get() == listener) {
      std::unique_ptr<KTIPropSetListener> out = std::move(*it);
      list.erase(it);
      return out;
    }
  }
  return nullptr;
}

void Property::setCustomGetFcn(IGetFcn* fcn) { getFcn_.reset(fcn); }

void Property::checkValue(const void* value, bool checkEnumeration) {
  for (std::size_t i = 0; i < checks_.size(); ++i) {
    checks_[i]->check(owner_, propInfo_, value);
  }
  if (checkEnumeration && dataType_ != nullptr && dataType_->isEnumeration() &&
      !isPermittedEnumValue(value)) {
    throw ZLGeneralException(kInvalidEnumId, "%s", kInvalidEnumText);
  }
}

bool Property::isPermittedEnumValue(const void* value) const {
  std::unique_ptr<Enumeration> values(dataType_->getPossibleValues());
  if (!values || value == nullptr) return false;
  const int category = dataType_->getStorageCategory();
  while (values->hasMoreElements()) {
    const void* element = values->nextElement();
    if (element != nullptr && sameEnumValue(category, element, value)) return true;
  }
  return false;
}

void Property::destroyValue(void* value) const {
  if (value != nullptr && dataType_ != nullptr) dataType_->destroy(value);
}

}  // namespace zelobjsys
