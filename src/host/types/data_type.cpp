// Host data types: Vector, the defaults of QxDataType, and the data types that QxOverrideType
// makes.
#include "zelhost/types/data_type.h"

#include <string>
#include <utility>

Vector::Vector() = default;
Vector::Vector(std::size_t n) : items_(n, nullptr) {}
void Vector::setSize(std::size_t n) { items_.resize(n, nullptr); }
std::size_t Vector::size() const { return items_.size(); }
void* Vector::elementAt(std::size_t i) const { return i < items_.size() ? items_[i] : nullptr; }
void Vector::setElementAt(std::size_t i, void* p) {
  if (i < items_.size()) items_[i] = p;
}

PulvraConversion::~PulvraConversion() = default;
bool PulvraConversion::fromPulvraInto(const hvArray*, void*, std::size_t) const { return false; }
Enumeration::~Enumeration() = default;
EnumerationType::~EnumerationType() = default;

QxDataType::QxDataType() = default;
// A type that dies while registered must not stay reachable by name.
QxDataType::~QxDataType() { QxTypeRepository::removeType(this); }
Exception* QxDataType::checkValue(const void*) const { return nullptr; }
bool QxDataType::isEnumeration() const { return false; }
Enumeration* QxDataType::getPossibleValues() const { return nullptr; }
const EnumerationType* QxDataType::getEnumerationType() const { return nullptr; }

namespace {

// Named like the override asked, stores and converts like its base, checks
// with the override. Both the rule and the base are borrowed: the rule owns
// this type, and the base must outlive it (built-ins always do).
class OverrideDataType final : public QxDataType {
 public:
  OverrideDataType(std::string name, const QxOverrideType* rule, const QxDataType* base)
      : name_(std::move(name)), rule_(rule), base_(base) {}

  Exception* checkValue(const void* value) const override { return rule_->checkValue(value); }
  const PulvraConversion* getPulvraConversion() const override {
    const PulvraConversion* own = rule_->getPulvraConversion();
    return own ? own : base_->getPulvraConversion();
  }
  const char* getName() const override { return name_.c_str(); }
  const char* getDeclarationName() const override { return base_->getDeclarationName(); }
  bool isEnumeration() const override { return base_->isEnumeration(); }
  int getStorageCategory() const override { return base_->getStorageCategory(); }
  void* copy(const void* value) const override { return base_->copy(value); }
  void destroy(void* value) const override { base_->destroy(value); }
  Enumeration* getPossibleValues() const override {
    Enumeration* own = rule_->getPossibleValues();
    return own ? own : base_->getPossibleValues();
  }
  const EnumerationType* getEnumerationType() const override { return base_->getEnumerationType(); }

 private:
  std::string name_;
  const QxOverrideType* rule_;
  const QxDataType* base_;
};

}  // namespace

QxOverrideType::QxOverrideType() = default;
QxOverrideType::~QxOverrideType() = default;
Exception* QxOverrideType::checkValue(const void*) const { return nullptr; }
const PulvraConversion* QxOverrideType::getPulvraConversion() const { return nullptr; }
const void* QxOverrideType::getJavaConversion() const { return nullptr; }
const void* QxOverrideType::getStringConversion() const { return nullptr; }
const void* QxOverrideType::getIntConversion() const { return nullptr; }
const void* QxOverrideType::getByteStreamConversion() const { return nullptr; }
const char* QxOverrideType::getPossibleValuesDescription() const { return nullptr; }
Enumeration* QxOverrideType::getPossibleValues() const { return nullptr; }

QxDataType* QxOverrideType::createDataType(const char* name, const char* baseTypeName) {
  if (!name || !baseTypeName) return nullptr;
  const QxDataType* base = QxTypeRepository::getType(baseTypeName, true);
  if (!base) return nullptr;
  made_.push_back(std::make_unique<OverrideDataType>(name, this, base));
  return made_.back().get();
}
