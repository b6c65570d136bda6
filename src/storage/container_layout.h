// ContainerLayout: the names of a container's entries in byte order, with their index, shared by
// the containers of one class.
#ifndef ZELOBJSYS_SRC_STORAGE_CONTAINER_LAYOUT_H
#define ZELOBJSYS_SRC_STORAGE_CONTAINER_LAYOUT_H

#include <boost/shared_ptr.hpp>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QxDataType;
class QxInterface;

namespace zelobjsys {

class IGetFcn;
class ISetFcn;
class PropInfo;

// What an entry takes from its record when it is made: classes share these,
// taken when their layout is made, so that an entry made later is the one
// that would have been made with its object.
struct EntryDefinition {
  explicit EntryDefinition(const PropInfo* info);
  // Whether info would give an entry the same.
  bool sameAs(const PropInfo* info) const;

  const PropInfo* record;
  QxDataType* dataType;
  boost::shared_ptr<IGetFcn> getFcn;
  boost::shared_ptr<ISetFcn> setFcn;
  bool bounded;
};

// Immutable once made, so that every object of a class can use the one its
// class's records give: making an object then sorts and indexes nothing.
// A container that gains or loses an instance property takes a copy of its own.
class ContainerLayout {
 public:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // names: distinct, in byte order; definitions: the entry of each.
  ContainerLayout(std::vector<std::string> names, std::vector<EntryDefinition> definitions);

  std::size_t size() const { return names_.size(); }
  const std::string& name(std::size_t position) const { return names_[position]; }
  // What the entry at `position` is made from.
  const EntryDefinition& definition(std::size_t position) const { return definitions_[position]; }
  // The position of exactly that name, or kNone.
  std::size_t find(const char* name) const;
  // The position of the first name not before `name` in byte order.
  std::size_t lowerBound(const char* name) const;
  std::shared_ptr<const ContainerLayout> withInserted(std::size_t position, const char* name,
                                                      const PropInfo* record) const;
  std::shared_ptr<const ContainerLayout> withErased(std::size_t position) const;

 private:
  std::vector<std::string> names_;
  std::vector<EntryDefinition> definitions_;
  // Open addressing over a power-of-two table at most half full: position + 1
  // of each name (0: free).
  std::vector<std::uint32_t> index_;
};

// What a class's list of descriptors makes: the layout of an object's class
// entries, each defined by the last record of its name (a namesake takes the
// entry over).
struct ClassLayout {
  std::vector<EntryDefinition> records;  // the list's records in list order
  std::vector<std::string> recordNames;  // and their names, when the layout was made
  std::shared_ptr<const ContainerLayout> layout;
  // Whether it holds functions of the product's: then it lives only as long
  // as objects made with it, as their entries would hold them.
  bool holdsFunctions = false;
};

// The class layout of the records that the descriptor list from `first` holds
// now. A few recent ones are kept per thread and reused while their records,
// names and definitions are unchanged, in the same order; any change makes a
// new one.
std::shared_ptr<const ClassLayout> classLayoutOf(const void* cls, QxInterface* first);

// The library's record behind a descriptor object, or null for descriptors of
// other kinds (which have no entry).
class RecordCast {
 public:
  const PropInfo* operator()(QxInterface* descriptorObject);

 private:
  const void* type_ = nullptr;
  bool isRecord_ = false;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_SRC_STORAGE_CONTAINER_LAYOUT_H
