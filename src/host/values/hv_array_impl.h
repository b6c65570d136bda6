// Internal layout of host values (hvArray), shared by the host layer's value and data type code.
#ifndef ZELHOST_SRC_HV_ARRAY_IMPL_H
#define ZELHOST_SRC_HV_ARRAY_IMPL_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "zelhost/values/hv_array.h"

// The field names of a structure: pointers to its names, laid out with the
// names' texts after them in one block. A structure made with its fields keeps
// the block in its own allocation; adding a field moves the list to a malloc'd
// block of its own. Never copied.
class FieldList {
 public:
  FieldList() = default;
  ~FieldList() {
    if (owned_) std::free(owned_);
  }
  FieldList(const FieldList&) = delete;
  FieldList& operator=(const FieldList&) = delete;

  hvSize size() const { return count_; }
  const char* operator[](hvSize k) const { return names_[k]; }
  const char* const* data() const { return names_; }
  // The index of a name, -1 when absent.
  int find(const char* name) const;

  // Bytes a block needs for these names (a multiple of the pointer size).
  static std::size_t bytesFor(const char* const* names, hvSize count);
  // Lays the names out in block, which holds bytesFor(names, count) bytes.
  void layOut(void* block, const char* const* names, hvSize count);
  // Adds a name at the end; false, with the list unchanged, when memory is exhausted.
  bool append(const char* name);

 private:
  hvSize count_ = 0;
  char** names_ = nullptr;
  void* owned_ = nullptr;  // the block, when it is not the value's own
};

// One host value. Elements are stored column-major in `data`, one slot per
// element, except a structure, which has one slot per field per element
// (element e, field k at e * fields.size() + k). Slot types by class:
//   double: double          int32: int32_t        logical: bool      char: char
//   cell, struct: hvArray* (owned, may be null: an unset element reads as [])
//   function handle: char* (the function name, malloc'd, owned; null unset)
//   object handle: QxInterface* (canonical, one hoxRetainObject count each)
// A value whose slots fit in sixteen bytes keeps them inline; larger slots and
// a structure's field names follow the value in its own allocation, so that
// every value is made as a single block (the sixteen bytes cost nothing:
// malloc rounds the value up to the same chunk as with eight). Only a field
// added later, or slots regrown for it, take blocks of their own. Never copied:
// hvDuplicateArray makes deep copies. One thread at a time may use a value.
struct hvArray {
  hvArray() = default;
  ~hvArray();
  hvArray(const hvArray&) = delete;
  hvArray& operator=(const hvArray&) = delete;

  hvClassID classID = hvDOUBLE_CLASS;
  bool hasTail = false;  // the allocation continues past the value
  hvSize m = 0;
  hvSize n = 0;
  FieldList fields;      // structures only
  void* data = nullptr;  // &inline_, tail() or a calloc'd block
  alignas(8) unsigned char inline_[16] = {};

  hvSize numel() const { return m * n; }
  hvSize slotsPerElement() const { return classID == hvSTRUCT_CLASS ? fields.size() : 1; }
  hvSize slotCount() const { return numel() * slotsPerElement(); }
  template <class T>
  T* slots() const {
    return static_cast<T*>(data);
  }
  // Where the value's own allocation continues past it.
  unsigned char* tail() { return reinterpret_cast<unsigned char*>(this + 1); }
  bool ownsBlock() const { return data != inline_ && data != const_cast<hvArray*>(this)->tail(); }
};

namespace hvimpl {

// An empty value (a 0x0 double) with tailBytes zeroed bytes after it, or null
// when memory is exhausted. Every value comes from here and goes with
// hvDestroyArray.
hvArray* newValue(std::size_t tailBytes = 0);

// Bytes of one slot of a class; 0 for classes that cannot be stored.
std::size_t slotSize(hvClassID cls);

// A zero-filled value of that class, shape and field names (structures only),
// in one block; null when the sizes overflow or memory is exhausted. Never
// throws.
hvArray* allocate(hvClassID cls, hvSize m, hvSize n, const char* const* fieldNames = nullptr,
                  hvSize fieldCount = 0);

// Replaces the slot block of `a` by `slots` zero-filled slots (old contents
// are not released: the caller moved them). False on overflow or exhaustion.
bool resizeSlots(hvArray* a, hvSize slots);

// A 1xN object-handle array of the given handles (each retained; nulls are
// skipped). Zero handles give the empty handle array.
hvArray* createObjectHandleArray(QxInterface* const* handles, hvSize count);

// Handle i of an object-handle array (borrowed), null when out of range.
QxInterface* objectHandleAt(const hvArray* a, hvSize i);

}  // namespace hvimpl

#endif  // ZELHOST_SRC_HV_ARRAY_IMPL_H
