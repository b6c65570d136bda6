// Host values: cells, structures, function and object handles, comparison and descriptions.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "hv_array_impl.h"
#include "object_refs.h"
#include "zelhost/values/hv_array.h"

namespace {

// Puts v into a container slot: the slot's old value goes, and a value that
// cannot be placed is freed so that the hand-over never leaks.
void placeInSlot(hvArray** slot, hvArray* v) {
  if (!slot) {
    hvDestroyArray(v);
    return;
  }
  if (*slot == v) return;
  hvDestroyArray(*slot);
  *slot = v;
}

hvArray** fieldSlot(hvArray* a, hvSize i, int k) {
  if (!hvIsStruct(a) || i >= a->numel() || k < 0 || static_cast<hvSize>(k) >= a->fields.size())
    return nullptr;
  return &a->slots<hvArray*>()[i * a->fields.size() + k];
}

bool slotsEqual(const hvArray* a, const hvArray* b, hvSize i);

bool structsEqual(const hvArray* a, const hvArray* b) {
  if (a->fields.size() != b->fields.size()) return false;
  for (hvSize e = 0; e < a->numel(); ++e) {
    for (hvSize k = 0; k < a->fields.size(); ++k) {
      // Field order is not part of a structure's value.
      const int kb = b->fields.find(a->fields[k]);
      if (kb < 0) return false;
      if (!hvIsEqual(hvGetFieldByNumber(a, e, static_cast<int>(k)), hvGetFieldByNumber(b, e, kb)))
        return false;
    }
  }
  return true;
}

bool slotsEqual(const hvArray* a, const hvArray* b, hvSize i) {
  switch (a->classID) {
    case hvDOUBLE_CLASS:
      return a->slots<double>()[i] == b->slots<double>()[i];  // NaN differs from itself
    case hvINT32_CLASS:
      return a->slots<int32_t>()[i] == b->slots<int32_t>()[i];
    case hvLOGICAL_CLASS:
      return a->slots<bool>()[i] == b->slots<bool>()[i];
    case hvCHAR_CLASS:
      return a->slots<char>()[i] == b->slots<char>()[i];
    case hvCELL_CLASS:
      return hvIsEqual(a->slots<hvArray*>()[i], b->slots<hvArray*>()[i]);
    case hvFUNCTION_CLASS: {
      const char* fa = a->slots<char*>()[i];
      const char* fb = b->slots<char*>()[i];
      return fa == fb || (fa && fb && std::strcmp(fa, fb) == 0);
    }
    case hvOBJECT_CLASS:
      return a->slots<QxInterface*>()[i] == b->slots<QxInterface*>()[i];
    default:
      return false;
  }
}

}  // namespace

// --- field lists ---

int FieldList::find(const char* name) const {
  for (hvSize k = 0; k < count_; ++k)
    if (std::strcmp(names_[k], name) == 0) return static_cast<int>(k);
  return -1;
}

std::size_t FieldList::bytesFor(const char* const* names, hvSize count) {
  std::size_t bytes = count * sizeof(char*);
  for (hvSize k = 0; k < count; ++k) bytes += std::strlen(names[k]) + 1;
  return (bytes + sizeof(char*) - 1) / sizeof(char*) * sizeof(char*);
}

void FieldList::layOut(void* block, const char* const* names, hvSize count) {
  char** pointers = static_cast<char**>(block);
  char* text = reinterpret_cast<char*>(pointers + count);
  for (hvSize k = 0; k < count; ++k) {
    const std::size_t length = std::strlen(names[k]) + 1;
    std::memcpy(text, names[k], length);
    pointers[k] = text;
    text += length;
  }
  names_ = pointers;
  count_ = count;
}

bool FieldList::append(const char* name) {
  const char* few[8];
  std::unique_ptr<const char*[]> many(count_ >= 8 ? new (std::nothrow) const char*[count_ + 1]
                                                  : nullptr);
  const char** names = count_ >= 8 ? many.get() : few;
  if (!names) return false;
  std::copy(names_, names_ + count_, names);
  names[count_] = name;
  void* block = std::malloc(bytesFor(names, count_ + 1));
  if (!block) return false;
  // The old texts are read while the new block is laid out, and freed after.
  void* old = owned_;
  layOut(block, names, count_ + 1);
  owned_ = block;
  std::free(old);
  return true;
}

// --- cells ---

hvArray* hvGetCell(const hvArray* a, hvSize i) {
  if (!hvIsCell(a) || i >= a->numel()) return nullptr;
  return a->slots<hvArray*>()[i];
}

void hvSetCell(hvArray* a, hvSize i, hvArray* v) {
  if (v == a && a) return;  // a cell cannot hold itself; the caller keeps it
  const bool fits = hvIsCell(a) && i < a->numel();
  placeInSlot(fits ? &a->slots<hvArray*>()[i] : nullptr, v);
}

// --- structures ---

int hvGetNumberOfFields(const hvArray* a) {
  return hvIsStruct(a) ? static_cast<int>(a->fields.size()) : 0;
}

const char* hvGetFieldNameByNumber(const hvArray* a, int k) {
  if (!hvIsStruct(a) || k < 0 || static_cast<hvSize>(k) >= a->fields.size()) return nullptr;
  return a->fields[k];
}

int hvGetFieldNumber(const hvArray* a, const char* name) {
  if (!hvIsStruct(a) || !name) return -1;
  return a->fields.find(name);
}

hvArray* hvGetField(const hvArray* a, hvSize i, const char* name) {
  return hvGetFieldByNumber(a, i, hvGetFieldNumber(a, name));
}

hvArray* hvGetFieldByNumber(const hvArray* a, hvSize i, int k) {
  hvArray** slot = fieldSlot(const_cast<hvArray*>(a), i, k);
  return slot ? *slot : nullptr;
}

void hvSetField(hvArray* a, hvSize i, const char* name, hvArray* v) {
  if (v == a && a) return;
  int k = hvGetFieldNumber(a, name);
  if (k < 0 && i < hvGetNumberOfElements(a)) k = hvAddField(a, name);
  placeInSlot(fieldSlot(a, i, k), v);
}

void hvSetFieldByNumber(hvArray* a, hvSize i, int k, hvArray* v) {
  if (v == a && a) return;
  placeInSlot(fieldSlot(a, i, k), v);
}

int hvAddField(hvArray* a, const char* name) {
  if (!hvIsStruct(a) || !name || !*name) return -1;
  const int existing = hvGetFieldNumber(a, name);
  if (existing >= 0) return existing;
  const hvSize oldFields = a->fields.size();
  const hvSize numel = a->numel();
  // Move the elements' slots aside, grow the block, and lay them out again
  // with an empty slot for the new field at the end of each element.
  std::vector<hvArray*> old(a->slots<hvArray*>(), a->slots<hvArray*>() + a->slotCount());
  // On failure resizeSlots leaves the old block in place.
  if (!hvimpl::resizeSlots(a, numel * (oldFields + 1))) return -1;
  if (!a->fields.append(name)) {
    // The grown block holds the old layout as well; the list still has the old fields.
    std::copy(old.begin(), old.end(), a->slots<hvArray*>());
    return -1;
  }
  for (hvSize e = 0; e < numel; ++e)
    for (hvSize k = 0; k < oldFields; ++k)
      a->slots<hvArray*>()[e * (oldFields + 1) + k] = old[e * oldFields + k];
  return static_cast<int>(oldFields);
}

// --- function handles ---

void hvFunctionHandleFromString(hvArray* a, const char* functionName) {
  if (!hvIsFunctionHandle(a) || a->numel() == 0 || !functionName) return;
  char* name = strdup(functionName);
  if (!name) return;
  std::free(a->slots<char*>()[0]);
  a->slots<char*>()[0] = name;
}

const char* hvGetFunctionHandle(const hvArray* a) {
  if (!hvIsFunctionHandle(a) || a->numel() == 0) return nullptr;
  return a->slots<char*>()[0];
}

// --- object handles ---

hvArray* hvCreateObjectHandle(QxInterface* object) {
  return hvimpl::createObjectHandleArray(&object, object ? 1 : 0);
}

QxInterface* hvGetObjectHandle(const hvArray* a) {
  if (!hvIsObject(a) || a->numel() != 1) return nullptr;
  return a->slots<QxInterface*>()[0];
}

namespace hvimpl {

hvArray* createObjectHandleArray(QxInterface* const* handles, hvSize count) {
  hvSize present = 0;
  for (hvSize i = 0; i < count; ++i) present += handles[i] ? 1 : 0;
  hvArray* a = allocate(hvOBJECT_CLASS, present ? 1 : 0, present);
  if (!a) return nullptr;
  hvSize j = 0;
  for (hvSize i = 0; i < count; ++i) {
    if (!handles[i]) continue;
    QxInterface* canonical = hoxCanonicalObject(handles[i]);
    hoxRetainObject(canonical);
    a->slots<QxInterface*>()[j++] = canonical;
  }
  return a;
}

QxInterface* objectHandleAt(const hvArray* a, hvSize i) {
  if (!hvIsObject(a) || i >= a->numel()) return nullptr;
  return a->slots<QxInterface*>()[i];
}

}  // namespace hvimpl

// --- comparison ---

bool hvIsEqual(const hvArray* a, const hvArray* b) {
  // An unset element of a cell or structure reads as [].
  const hvArray empty;
  if (!a) a = &empty;
  if (!b) b = &empty;
  if (a->classID != b->classID || a->m != b->m || a->n != b->n) return false;
  if (a->classID == hvSTRUCT_CLASS) return structsEqual(a, b);
  for (hvSize i = 0; i < a->numel(); ++i)
    if (!slotsEqual(a, b, i)) return false;
  return true;
}
