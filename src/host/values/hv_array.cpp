// Host values: creation, ownership, shape and numeric, logical and text data of hvArray.
#include "zelhost/values/hv_array.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "hv_array_impl.h"
#include "object_refs.h"
#include "spare_blocks.h"

namespace {

bool multiplyFits(hvSize a, hvSize b, hvSize* out) {
  if (a != 0 && b > std::numeric_limits<hvSize>::max() / a) return false;
  *out = a * b;
  return true;
}

void releaseSlots(hvArray* a) {
  const hvSize count = a->slotCount();
  switch (a->classID) {
    case hvCELL_CLASS:
    case hvSTRUCT_CLASS:
      for (hvSize i = 0; i < count; ++i) hvDestroyArray(a->slots<hvArray*>()[i]);
      break;
    case hvFUNCTION_CLASS:
      for (hvSize i = 0; i < count; ++i) std::free(a->slots<char*>()[i]);
      break;
    case hvOBJECT_CLASS:
      for (hvSize i = 0; i < count; ++i) hoxReleaseObject(a->slots<QxInterface*>()[i]);
      break;
    default:
      break;
  }
}

void freeBlock(hvArray* a) {
  if (a->ownsBlock()) std::free(a->data);
  a->data = nullptr;
}

// Every get of a number makes a value without a tail, which its caller soon
// frees: such blocks are reused on their thread instead of going through the
// allocator each time.
using BareBlocks = SpareBlocks<sizeof(hvArray)>;

constexpr std::size_t kPointer = sizeof(void*);

std::size_t roundToPointer(std::size_t bytes) {
  return (bytes + kPointer - 1) / kPointer * kPointer;
}

// Copies the slots of src into dst (same class and slot count), taking new
// counts and copies where a slot owns something.
void copySlots(const hvArray* src, hvArray* dst) {
  const hvSize count = src->slotCount();
  switch (src->classID) {
    case hvCELL_CLASS:
    case hvSTRUCT_CLASS:
      for (hvSize i = 0; i < count; ++i) {
        const hvArray* child = src->slots<hvArray*>()[i];
        dst->slots<hvArray*>()[i] = child ? hvDuplicateArray(child) : nullptr;
      }
      break;
    case hvFUNCTION_CLASS:
      for (hvSize i = 0; i < count; ++i) {
        const char* name = src->slots<char*>()[i];
        dst->slots<char*>()[i] = name ? strdup(name) : nullptr;
      }
      break;
    case hvOBJECT_CLASS:
      for (hvSize i = 0; i < count; ++i) {
        QxInterface* h = src->slots<QxInterface*>()[i];
        hoxRetainObject(h);
        dst->slots<QxInterface*>()[i] = h;
      }
      break;
    default:
      if (count) std::memcpy(dst->data, src->data, count * hvimpl::slotSize(src->classID));
      break;
  }
}

bool isNumericOrLogical(const hvArray* a) {
  return a && (a->classID == hvDOUBLE_CLASS || a->classID == hvINT32_CLASS ||
               a->classID == hvLOGICAL_CLASS);
}

}  // namespace

hvArray::~hvArray() {
  if (data == inline_ && classID == hvDOUBLE_CLASS) return;  // a number: nothing to release
  if (data) releaseSlots(this);
  freeBlock(this);
}

namespace hvimpl {

hvArray* newValue(std::size_t tailBytes) {
  // A C value of a C interface: its blocks come from malloc like its slots',
  // and no replaced operator new stands between a get and its value.
  if (tailBytes > std::numeric_limits<std::size_t>::max() - sizeof(hvArray)) return nullptr;
  void* block = tailBytes ? std::calloc(1, sizeof(hvArray) + tailBytes) : BareBlocks::take();
  if (!block) return nullptr;
  hvArray* a = new (block) hvArray;
  a->hasTail = tailBytes != 0;
  return a;
}

std::size_t slotSize(hvClassID cls) {
  switch (cls) {
    case hvDOUBLE_CLASS:
      return sizeof(double);
    case hvINT32_CLASS:
      return sizeof(int32_t);
    case hvLOGICAL_CLASS:
      return sizeof(bool);
    case hvCHAR_CLASS:
      return sizeof(char);
    case hvCELL_CLASS:
    case hvSTRUCT_CLASS:
      return sizeof(hvArray*);  // NOLINT(bugprone-sizeof-expression): slots hold pointers
    case hvFUNCTION_CLASS:
      return sizeof(char*);
    case hvOBJECT_CLASS:
      return sizeof(QxInterface*);  // NOLINT(bugprone-sizeof-expression)
    default:
      return 0;
  }
}

bool resizeSlots(hvArray* a, hvSize slots) {
  hvSize bytes = 0;
  if (!multiplyFits(slots, slotSize(a->classID), &bytes)) return false;
  void* block = a->inline_;
  if (bytes > sizeof(a->inline_)) {
    block = std::calloc(slots, slotSize(a->classID));
    if (!block) return false;
  } else {
    std::memset(a->inline_, 0, sizeof(a->inline_));
  }
  if (a->ownsBlock()) std::free(a->data);
  a->data = block;
  return true;
}

hvArray* allocate(hvClassID cls, hvSize m, hvSize n, const char* const* fieldNames,
                  hvSize fieldCount) {
  if (slotSize(cls) == 0) return nullptr;
  if (cls != hvSTRUCT_CLASS) fieldCount = 0;
  hvSize numel = 0;
  hvSize slots = 0;
  hvSize slotBytes = 0;
  if (!multiplyFits(m, n, &numel)) return nullptr;
  if (!multiplyFits(numel, cls == hvSTRUCT_CLASS ? fieldCount : 1, &slots)) return nullptr;
  if (!multiplyFits(slots, slotSize(cls), &slotBytes)) return nullptr;
  if (slotBytes > std::numeric_limits<std::size_t>::max() / 2) return nullptr;
  const std::size_t tailSlots =
      slotBytes > sizeof(hvArray::inline_) ? roundToPointer(slotBytes) : 0;
  const std::size_t nameBytes = fieldCount ? FieldList::bytesFor(fieldNames, fieldCount) : 0;
  if (nameBytes > std::numeric_limits<std::size_t>::max() / 2) return nullptr;
  hvArray* a = newValue(tailSlots + nameBytes);
  if (!a) return nullptr;
  a->classID = cls;
  a->data = tailSlots ? static_cast<void*>(a->tail()) : a->inline_;
  if (fieldCount) a->fields.layOut(a->tail() + tailSlots, fieldNames, fieldCount);
  // The shape is set last so that a half-made value never claims slots.
  a->m = m;
  a->n = n;
  return a;
}

}  // namespace hvimpl

// --- creation ---

hvArray* hvCreateDoubleMatrix(hvSize m, hvSize n, hvComplexity) {
  return hvimpl::allocate(hvDOUBLE_CLASS, m, n);
}

hvArray* hvCreateDoubleScalar(double x) {
  // Every get of a number makes one: straight into the inline slots, without
  // the general size arithmetic of allocate.
  hvArray* a = hvimpl::newValue();
  if (!a) return nullptr;
  a->data = a->inline_;
  a->slots<double>()[0] = x;
  a->m = 1;
  a->n = 1;
  return a;
}

hvArray* hvCreateLogicalScalar(bool b) {
  hvArray* a = hvimpl::allocate(hvLOGICAL_CLASS, 1, 1);
  if (a) a->slots<bool>()[0] = b;
  return a;
}

hvArray* hvCreateLogicalMatrix(hvSize m, hvSize n) {
  return hvimpl::allocate(hvLOGICAL_CLASS, m, n);
}

hvArray* hvCreateString(const char* text) {
  const hvSize length = text ? std::strlen(text) : 0;
  hvArray* a = hvimpl::allocate(hvCHAR_CLASS, length ? 1 : 0, length);
  if (a && length) std::memcpy(a->data, text, length);
  return a;
}

hvArray* hvCreateCellMatrix(hvSize m, hvSize n) { return hvimpl::allocate(hvCELL_CLASS, m, n); }

hvArray* hvCreateStructMatrix(hvSize m, hvSize n, int nfields, const char** fieldNames) {
  const hvSize given = fieldNames && nfields > 0 ? static_cast<hvSize>(nfields) : 0;
  // Event structures have a few fields: their names are sorted out on the stack.
  const char* few[8];
  std::unique_ptr<const char*[]> many(given > 8 ? new (std::nothrow) const char*[given] : nullptr);
  const char** names = given > 8 ? many.get() : few;
  if (!names) return nullptr;
  hvSize count = 0;
  for (hvSize k = 0; k < given; ++k) {
    const char* name = fieldNames[k];
    // A null, empty or repeated name would make the field list ambiguous.
    if (!name || !*name) continue;
    bool seen = false;
    for (hvSize j = 0; j < count && !seen; ++j) seen = std::strcmp(names[j], name) == 0;
    if (!seen) names[count++] = name;
  }
  return hvimpl::allocate(hvSTRUCT_CLASS, m, n, names, count);
}

hvArray* hvCreateNumericMatrix(hvSize m, hvSize n, int classID, hvComplexity) {
  switch (classID) {
    case hvDOUBLE_CLASS:
    case hvINT32_CLASS:
    case hvLOGICAL_CLASS:
    case hvCHAR_CLASS:
    case hvFUNCTION_CLASS:
      return hvimpl::allocate(static_cast<hvClassID>(classID), m, n);
    default:
      return nullptr;  // not a class that numeric storage can hold
  }
}

// --- ownership ---

void hvDestroyArray(hvArray* a) {
  if (!a) return;
  const bool hasTail = a->hasTail;
  a->~hvArray();
  if (hasTail) return std::free(a);
  BareBlocks::give(a);
}

hvArray* hvDuplicateArray(const hvArray* a) {
  if (!a) return nullptr;
  hvArray* copy = hvimpl::allocate(a->classID, a->m, a->n, a->fields.data(), a->fields.size());
  if (copy) copySlots(a, copy);
  return copy;
}

void hvSetArrayScope(hvArray*, int) {}

// --- shape and class ---

hvClassID hvGetClassID(const hvArray* a) { return a ? a->classID : hvUNKNOWN_CLASS; }

const char* hvGetClassName(const hvArray* a) {
  switch (hvGetClassID(a)) {
    case hvCELL_CLASS:
      return "cell";
    case hvSTRUCT_CLASS:
      return "struct";
    case hvLOGICAL_CLASS:
      return "logical";
    case hvCHAR_CLASS:
      return "char";
    case hvDOUBLE_CLASS:
      return "double";
    case hvINT32_CLASS:
      return "int32";
    case hvFUNCTION_CLASS:
      return "function_handle";
    case hvOBJECT_CLASS:
      return "handle";
    default:
      return "unknown";
  }
}

hvSize hvGetM(const hvArray* a) { return a ? a->m : 0; }
hvSize hvGetN(const hvArray* a) { return a ? a->n : 0; }
hvSize hvGetNumberOfElements(const hvArray* a) { return a ? a->numel() : 0; }
hvSize hvGetNumberOfDimensions(const hvArray*) { return 2; }
bool hvIsEmpty(const hvArray* a) { return hvGetNumberOfElements(a) == 0; }
bool hvIsDouble(const hvArray* a) { return hvGetClassID(a) == hvDOUBLE_CLASS; }
bool hvIsLogical(const hvArray* a) { return hvGetClassID(a) == hvLOGICAL_CLASS; }
bool hvIsChar(const hvArray* a) { return hvGetClassID(a) == hvCHAR_CLASS; }
bool hvIsCell(const hvArray* a) { return hvGetClassID(a) == hvCELL_CLASS; }
bool hvIsStruct(const hvArray* a) { return hvGetClassID(a) == hvSTRUCT_CLASS; }
bool hvIsFunctionHandle(const hvArray* a) { return hvGetClassID(a) == hvFUNCTION_CLASS; }
bool hvIsObject(const hvArray* a) { return hvGetClassID(a) == hvOBJECT_CLASS; }
bool hvIsNumeric(const hvArray* a) { return hvIsDouble(a) || hvGetClassID(a) == hvINT32_CLASS; }
bool hvIsScalar(const hvArray* a) { return hvGetNumberOfElements(a) == 1; }

// --- numeric and logical data ---

double* hvGetPr(const hvArray* a) { return hvIsDouble(a) ? a->slots<double>() : nullptr; }

int* hvGetInt32Data(const hvArray* a) {
  return hvGetClassID(a) == hvINT32_CLASS ? a->slots<int32_t>() : nullptr;
}

bool* hvGetLogicals(const hvArray* a) { return hvIsLogical(a) ? a->slots<bool>() : nullptr; }

double hvGetScalar(const hvArray* a) { return hvGetElementAsDouble(a, 0); }

double hvGetElementAsDouble(const hvArray* a, hvSize i) {
  if (!isNumericOrLogical(a) || i >= a->numel()) return 0.0;
  switch (a->classID) {
    case hvDOUBLE_CLASS:
      return a->slots<double>()[i];
    case hvINT32_CLASS:
      return a->slots<int32_t>()[i];
    default:
      return a->slots<bool>()[i] ? 1.0 : 0.0;
  }
}

// --- strings ---

char* hvArrayToString(const hvArray* a) {
  if (!hvIsChar(a)) return nullptr;
  const hvSize length = a->numel();
  char* text = static_cast<char*>(std::malloc(length + 1));
  if (!text) return nullptr;
  if (length) std::memcpy(text, a->data, length);
  text[length] = '\0';
  return text;
}

void hvFree(void* p) { std::free(p); }
