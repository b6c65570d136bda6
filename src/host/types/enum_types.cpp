// Enumerated host data types: texts with int32 values, converted from host strings ignoring case.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/values/hv_array_impl.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/zelutil.h"
#include "zelhost/types/data_type.h"

namespace {

struct EnumEntry {
  std::string text;
  std::unique_ptr<int32_t> value;  // a stable address for getEnumValue
  int visibility;
};

// Walks its own copies of the values, so that a change of the type while the
// caller walks cannot leave it with dangling pointers.
class ValueEnumeration final : public Enumeration {
 public:
  explicit ValueEnumeration(std::vector<int32_t> values) : values_(std::move(values)) {}
  bool hasMoreElements() override { return next_ < values_.size(); }
  void* nextElement() override { return next_ < values_.size() ? &values_[next_++] : nullptr; }

 private:
  std::vector<int32_t> values_;
  std::size_t next_ = 0;
};

// The text as the user should see it in "There is no enumerated value ...".
std::string describeNonText(const hvArray* value) {
  if ((hvIsNumeric(value) || hvIsLogical(value)) && hvIsScalar(value)) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", hvGetScalar(value));
    return std::string("There is no enumerated value named '") + text + "'.";
  }
  return "A value of class " + std::string(hvGetClassName(value)) + " (" +
         std::to_string(hvGetM(value)) + "x" + std::to_string(hvGetN(value)) +
         ") is not an enumerated value.";
}

}  // namespace

class TypedEnumStringType::Impl final : public PulvraConversion, public EnumerationType {
 public:
  explicit Impl(const char* name) : name_(name ? name : "") {}

  std::string name_;
  std::vector<EnumEntry> entries_;

  // Exact text first, then ignoring case.
  const EnumEntry* findText(const char* text) const {
    if (!text) return nullptr;
    for (const EnumEntry& e : entries_)
      if (e.text == text) return &e;
    for (const EnumEntry& e : entries_)
      if (zelutil::caselessCompare(e.text, text) == 0) return &e;
    return nullptr;
  }

  const EnumEntry* findValue(const void* value) const {
    if (!value) return nullptr;
    const int32_t wanted = *static_cast<const int32_t*>(value);
    for (const EnumEntry& e : entries_)
      if (*e.value == wanted) return &e;
    return nullptr;
  }

  hvArray* toPulvra(const void* value) const override {
    const EnumEntry* e = findValue(value);
    return hvCreateString(e ? e->text.c_str() : "");
  }

  void* fromPulvra(const hvArray* value) const override {
    if (!hvIsChar(value) || (hvGetM(value) != 1 && !hvIsEmpty(value)))
      throw new InvalidEnumValueException(describeNonText(value));
    const std::string text(value->slots<char>(), value->numel());
    const EnumEntry* e = findText(text.c_str());
    if (!e)
      throw new InvalidEnumValueException("There is no enumerated value named '" + text + "'.");
    return new int32_t(*e->value);
  }

  const void* getEnumValue(const char* text) const override {
    const EnumEntry* e = findText(text);
    return e ? e->value.get() : nullptr;
  }

  const char* getEnumString(const void* value) const override {
    const EnumEntry* e = findValue(value);
    return e ? e->text.c_str() : nullptr;
  }
};

TypedEnumStringType::TypedEnumStringType(const char* name) : impl_(std::make_unique<Impl>(name)) {}
TypedEnumStringType::~TypedEnumStringType() = default;

void TypedEnumStringType::addEnumValue(const char* text, const void* value, int visibility) {
  // A second text of a value would read back as the first one: ignored, as a
  // second spelling of a text is.
  if (!text || !value || impl_->findText(text) || impl_->findValue(value)) return;
  impl_->entries_.push_back(
      EnumEntry{text, std::make_unique<int32_t>(*static_cast<const int32_t*>(value)), visibility});
}

void TypedEnumStringType::removeEnumValue(const char* text) {
  const EnumEntry* e = impl_->findText(text);
  if (e) impl_->entries_.erase(impl_->entries_.begin() + (e - impl_->entries_.data()));
}

void TypedEnumStringType::removeEnumValue(const void* value) {
  // Every text of that value goes: none may answer for a removed value.
  while (const EnumEntry* e = impl_->findValue(value))
    impl_->entries_.erase(impl_->entries_.begin() + (e - impl_->entries_.data()));
}

std::size_t TypedEnumStringType::getNumberOfValues() const { return impl_->entries_.size(); }
const PulvraConversion* TypedEnumStringType::getPulvraConversion() const { return impl_.get(); }
const char* TypedEnumStringType::getName() const { return impl_->name_.c_str(); }
const char* TypedEnumStringType::getDeclarationName() const { return "int"; }
bool TypedEnumStringType::isEnumeration() const { return true; }
int TypedEnumStringType::getStorageCategory() const { return kStorageInt32; }

void* TypedEnumStringType::copy(const void* value) const {
  return value ? new int32_t(*static_cast<const int32_t*>(value)) : nullptr;
}

void TypedEnumStringType::destroy(void* value) const { delete static_cast<int32_t*>(value); }

Enumeration* TypedEnumStringType::getPossibleValues() const {
  std::vector<int32_t> values;
  values.reserve(impl_->entries_.size());
  for (const EnumEntry& e : impl_->entries_) values.push_back(*e.value);
  return new ValueEnumeration(std::move(values));
}

const EnumerationType* TypedEnumStringType::getEnumerationType() const { return impl_.get(); }

EnumStringType::EnumStringType(const char* name) : TypedEnumStringType(name) {}

void EnumStringType::addEnumValue(const char* text) {
  std::unique_ptr<Enumeration> values(getPossibleValues());
  bool any = false;
  int64_t largest = 0;
  while (values->hasMoreElements()) {
    const int32_t v = *static_cast<int32_t*>(values->nextElement());
    largest = any ? std::max<int64_t>(largest, v) : v;
    any = true;
  }
  const int64_t next = any ? largest + 1 : 0;
  // Past the largest int32 no new value can be numbered without a clash.
  if (next > INT32_MAX) return;
  addEnumValue(text, static_cast<int>(next));
}

void EnumStringType::addEnumValue(const char* text, int value) {
  const int32_t stored = value;
  TypedEnumStringType::addEnumValue(text, &stored, 1);
}
