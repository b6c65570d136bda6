// ContainerLayout and the per-thread class layouts that containers of one class share.
#include "container_layout.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <typeinfo>
#include <utility>

#include "zelhost/objects/qx_interface.h"
#include "zelhost/objects/qx_prop_info.h"
#include "zelobjsys/prop_info.h"

namespace zelobjsys {

namespace {

// FNV-1a over the bytes of a name, measuring its length on the way: one pass
// over a short text, no strlen first.
std::size_t hashName(const char* name, std::size_t* length) {
  std::uint64_t h = 14695981039346656037ULL;
  const char* p = name;
  for (; *p != '\0'; ++p) h = (h ^ static_cast<unsigned char>(*p)) * 1099511628211ULL;
  *length = static_cast<std::size_t>(p - name);
  return static_cast<std::size_t>(h ^ (h >> 29));
}

const char* nameOf(const PropInfo* info) {
  const char* name = info->getName();
  return name != nullptr ? name : "";
}

}  // namespace

EntryDefinition::EntryDefinition(const PropInfo* info)
    : record(info),
      dataType(info->getQxDataType()),
      getFcn(info->getFcn_),
      setFcn(info->setFcn_),
      bounded(info->getPIConstraint() == kPIConstraintBounded) {}

bool EntryDefinition::sameAs(const PropInfo* info) const {
  return record == info && dataType == info->getQxDataType() && getFcn == info->getFcn_ &&
         setFcn == info->setFcn_ && bounded == (info->getPIConstraint() == kPIConstraintBounded);
}

ContainerLayout::ContainerLayout(std::vector<std::string> names,
                                 std::vector<EntryDefinition> definitions)
    : names_(std::move(names)), definitions_(std::move(definitions)) {
  std::size_t size = 8;
  while (size < 2 * (names_.size() + 1)) size *= 2;
  index_.assign(size, 0);
  const std::size_t mask = size - 1;
  for (std::size_t position = 0; position < names_.size(); ++position) {
    std::size_t length = 0;
    std::size_t i = hashName(names_[position].c_str(), &length) & mask;
    while (index_[i] != 0) i = (i + 1) & mask;
    index_[i] = static_cast<std::uint32_t>(position + 1);
  }
}

std::size_t ContainerLayout::find(const char* name) const {
  std::size_t length = 0;
  const std::size_t mask = index_.size() - 1;
  for (std::size_t i = hashName(name, &length) & mask;; i = (i + 1) & mask) {
    const std::uint32_t slot = index_[i];
    if (slot == 0) return kNone;
    const std::string& key = names_[slot - 1];
    if (key.size() == length && std::memcmp(key.data(), name, length) == 0) return slot - 1;
  }
}

std::size_t ContainerLayout::lowerBound(const char* name) const {
  const auto at = std::lower_bound(names_.begin(), names_.end(), name,
                                   [](const std::string& key, const char* n) { return key < n; });
  return static_cast<std::size_t>(at - names_.begin());
}

std::shared_ptr<const ContainerLayout> ContainerLayout::withInserted(std::size_t position,
                                                                     const char* name,
                                                                     const PropInfo* record) const {
  std::vector<std::string> names(names_);
  std::vector<EntryDefinition> definitions(definitions_);
  const auto at = static_cast<std::ptrdiff_t>(position);
  names.emplace(names.begin() + at, name);
  definitions.emplace(definitions.begin() + at, record);
  return std::make_shared<const ContainerLayout>(std::move(names), std::move(definitions));
}

std::shared_ptr<const ContainerLayout> ContainerLayout::withErased(std::size_t position) const {
  std::vector<std::string> names(names_);
  std::vector<EntryDefinition> definitions(definitions_);
  const auto at = static_cast<std::ptrdiff_t>(position);
  names.erase(names.begin() + at);
  definitions.erase(definitions.begin() + at);
  return std::make_shared<const ContainerLayout>(std::move(names), std::move(definitions));
}

// A dynamic_cast per descriptor was a sixth of making an object; whether a
// descriptor is a record depends on its most-derived type alone, so the cast
// runs once for each change of type along the list, and a record's
// descriptor part (PropInfo's own, non-virtual base) converts statically.
const PropInfo* RecordCast::operator()(QxInterface* descriptorObject) {
  void* ownPart = descriptorObject != nullptr ? descriptorObject->getObject() : nullptr;
  auto* descriptor = static_cast<QxPropInfoTemplate*>(ownPart);
  if (descriptor == nullptr) return nullptr;
  const std::type_info* type = &typeid(*descriptor);
  if (type != type_) {
    const PropInfo* record = dynamic_cast<PropInfo*>(descriptor);
    type_ = type;
    isRecord_ = record != nullptr;
    return record;
  }
  return isRecord_ ? static_cast<PropInfo*>(descriptor) : nullptr;
}

namespace {

// Whether the list from `first` holds exactly the layout's records, in order,
// each still under the name it had: then the layout is the list's.
bool describesList(const ClassLayout& made, QxInterface* first) {
  RecordCast recordOf;
  std::size_t k = 0;
  for (QxBreadthOnlyIterator it(first, false); it.hasMoreElements();) {
    const PropInfo* info = recordOf(it.nextElement());
    if (info == nullptr) continue;
    if (k == made.records.size() || !made.records[k].sameAs(info) ||
        std::strcmp(made.recordNames[k].c_str(), nameOf(info)) != 0) {
      return false;
    }
    ++k;
  }
  return k == made.records.size();
}

std::shared_ptr<const ClassLayout> makeClassLayout(QxInterface* first) {
  auto made = std::make_shared<ClassLayout>();
  RecordCast recordOf;
  for (QxBreadthOnlyIterator it(first, false); it.hasMoreElements();) {
    if (const PropInfo* info = recordOf(it.nextElement())) {
      made->records.emplace_back(info);
      made->recordNames.emplace_back(nameOf(info));
      made->holdsFunctions =
          made->holdsFunctions || made->records.back().getFcn || made->records.back().setFcn;
    }
  }
  // Byte order of the names; namesakes stay in list order, and the last of
  // them defines the entry.
  std::vector<std::size_t> order(made->records.size());
  std::iota(order.begin(), order.end(), 0);
  const std::vector<std::string>& names = made->recordNames;
  std::stable_sort(order.begin(), order.end(),
                   [&names](std::size_t a, std::size_t b) { return names[a] < names[b]; });
  std::vector<std::string> distinct;
  std::vector<EntryDefinition> definedBy;
  distinct.reserve(order.size());
  definedBy.reserve(order.size());
  for (std::size_t k = 0; k < order.size(); ++k) {
    if (k + 1 < order.size() && names[order[k + 1]] == names[order[k]]) continue;
    distinct.push_back(names[order[k]]);
    definedBy.push_back(made->records[order[k]]);
  }
  made->layout = std::make_shared<const ContainerLayout>(std::move(distinct), std::move(definedBy));
  return made;
}

}  // namespace

std::shared_ptr<const ClassLayout> classLayoutOf(const void* cls, QxInterface* first) {
  constexpr std::size_t kKept = 4;
  struct Kept {
    const void* cls = nullptr;
    std::uint64_t revision = 0;  // when it was last found to describe the list
    std::shared_ptr<const ClassLayout> strong;
    std::weak_ptr<const ClassLayout> weak;  // one that holds product functions
  };
  thread_local Kept kept[kKept];
  thread_local std::size_t next = 0;
  // Read before the walk: a change during it makes the next call walk again.
  const std::uint64_t revision = QxPropInfoTemplate::definitionRevision();
  Kept* slot = nullptr;
  for (Kept& k : kept) {
    if (k.cls != cls) continue;
    std::shared_ptr<const ClassLayout> found = k.strong ? k.strong : k.weak.lock();
    if (found && (k.revision == revision || describesList(*found, first))) {
      k.revision = revision;
      return found;
    }
    slot = &k;
  }
  std::shared_ptr<const ClassLayout> made = makeClassLayout(first);
  if (slot == nullptr) slot = &kept[next++ % kKept];
  slot->cls = cls;
  slot->revision = revision;
  slot->strong = made->holdsFunctions ? nullptr : made;
  slot->weak = made;
  return made;
}

}  // namespace zelobjsys
