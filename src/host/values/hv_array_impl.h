// Internal layout of host values (hvArray), shared by the host layer's value and data type code.
#ifndef ZELHOST_SRC_HV_ARRAY_IMPL_H
#define ZELHOST_SRC_HV_ARRAY_IMPL_H

#include <cstdint>
#include <string>
#include <vector>

#include "zelhost/values/hv_array.h"

// One host value. Elements are stored column-major in `data`, one slot per
// element, except a structure, which has one slot per field per element
// (element e, field k at e * fieldNames.size() + k). Slot types by class:
//   double: double          int32: int32_t        logical: bool      char: char
//   cell, struct: hvArray* (owned, may be null: an unset element reads as [])
//   function handle: char* (the function name, malloc'd, owned; null unset)
//   object handle: QxInterface* (canonical, one hoxRetainObject count each)
// A value whose slots fit in sixteen bytes keeps them inline, so a scalar, a
// pair of bounds, a short text or a structure of two fields is a single
// allocation (the sixteen bytes cost nothing: malloc rounds the value up to
// the same chunk as with eight). Never copied: hvDuplicateArray makes deep copies. One
// thread at a time may use a value.
struct hvArray {
  hvArray() = default;
  ~hvArray();
  hvArray(const hvArray&) = delete;
  hvArray& operator=(const hvArray&) = delete;

  hvClassID classID = hvDOUBLE_CLASS;
  hvSize m = 0;
  hvSize n = 0;
  std::vector<std::string> fieldNames;  // structures only
  void* data = nullptr;                 // &inline_ or a calloc'd block
  alignas(8) unsigned char inline_[16] = {};

  hvSize numel() const { return m * n; }
  hvSize slotsPerElement() const { return classID == hvSTRUCT_CLASS ? fieldNames.size() : 1; }
  hvSize slotCount() const { return numel() * slotsPerElement(); }
  template <class T>
  T* slots() const {
    return static_cast<T*>(data);
  }
};

namespace hvimpl {

// An empty value (a 0x0 double), or null when memory is exhausted. Every
// value comes from here and goes with hvDestroyArray.
hvArray* newValue();

// Bytes of one slot of a class; 0 for classes that cannot be stored.
std::size_t slotSize(hvClassID cls);

// A zero-filled value of that class, shape and field list; null when the
// sizes overflow or memory is exhausted. Never throws.
hvArray* allocate(hvClassID cls, hvSize m, hvSize n,
                  std::vector<std::string> fieldNames = std::vector<std::string>());

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
