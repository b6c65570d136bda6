// Host values: the opaque hvArray and the C-style operations that make, read and free them.
#ifndef ZELHOST_HV_ARRAY_H
#define ZELHOST_HV_ARRAY_H

#include <cstddef>

class QxInterface;

// An hvArray is a 2-D host value: a numeric, logical or char matrix, a cell or
// structure array, a function handle or an object handle. Whoever creates a
// value owns it and frees it with hvDestroyArray, unless it hands it over:
// hvSetCell, hvSetField and hvSetFieldByNumber take ownership of the value put
// in. Every function here accepts null where a value is read and answers as for
// an empty value; none of them throws.
struct hvArray;

enum hvClassID {
  hvUNKNOWN_CLASS = 0,
  hvCELL_CLASS = 1,
  hvSTRUCT_CLASS = 2,
  hvLOGICAL_CLASS = 3,
  hvCHAR_CLASS = 4,
  hvDOUBLE_CLASS = 6,
  hvINT32_CLASS = 12,
  hvFUNCTION_CLASS = 16,
  hvOBJECT_CLASS = 17,
};

enum hvComplexity { hvREAL = 0 };

using hvSize = std::size_t;

// --- creation ---
hvArray* hvCreateDoubleMatrix(hvSize m, hvSize n, hvComplexity c = hvREAL);
hvArray* hvCreateDoubleScalar(double x);
hvArray* hvCreateLogicalScalar(bool b);
hvArray* hvCreateLogicalMatrix(hvSize m, hvSize n);
// A 1xN char row; null gives the empty 0x0 string.
hvArray* hvCreateString(const char* text = nullptr);
hvArray* hvCreateCellMatrix(hvSize m, hvSize n);
hvArray* hvCreateStructMatrix(hvSize m, hvSize n, int nfields, const char** fieldNames);
// Numeric matrices of double (6), int32 (12), logical (3) or function handles
// (16, whose elements start empty: fill with hvFunctionHandleFromString).
hvArray* hvCreateNumericMatrix(hvSize m, hvSize n, int classID, hvComplexity c = hvREAL);
// A 1x1 handle to a host object; keeps the object's record alive (not the
// object: a destroyed object reads as invalid). Null gives an empty handle array.
hvArray* hvCreateObjectHandle(QxInterface* object);

// --- ownership ---
void hvDestroyArray(hvArray* a);
hvArray* hvDuplicateArray(const hvArray* a);
// Host bookkeeping of temporaries; kept for callers, values here are never
// collected behind the owner's back.
void hvSetArrayScope(hvArray* a, int scope);

// --- shape and class ---
hvClassID hvGetClassID(const hvArray* a);
const char* hvGetClassName(const hvArray* a);
hvSize hvGetM(const hvArray* a);
hvSize hvGetN(const hvArray* a);  // columns
hvSize hvGetNumberOfElements(const hvArray* a);
hvSize hvGetNumberOfDimensions(const hvArray* a);  // always 2
bool hvIsEmpty(const hvArray* a);
bool hvIsDouble(const hvArray* a);
bool hvIsLogical(const hvArray* a);
bool hvIsChar(const hvArray* a);
bool hvIsCell(const hvArray* a);
bool hvIsStruct(const hvArray* a);
bool hvIsFunctionHandle(const hvArray* a);
bool hvIsObject(const hvArray* a);
bool hvIsNumeric(const hvArray* a);  // double or int32
bool hvIsScalar(const hvArray* a);

// --- numeric and logical data (column-major) ---
double* hvGetPr(const hvArray* a);      // double class only, else null
int* hvGetInt32Data(const hvArray* a);  // int32 class only, else null
bool* hvGetLogicals(const hvArray* a);  // logical class only, else null
// The first element as a double: numeric, logical; 0 for anything else.
double hvGetScalar(const hvArray* a);
// Element i (column-major) of a numeric or logical value as a double.
double hvGetElementAsDouble(const hvArray* a, hvSize i);

// --- strings ---
// The text of a char array (rows read column-major as the host stores them;
// a 1xN row is its text). Caller frees with hvFree. Null for non-char values.
char* hvArrayToString(const hvArray* a);
void hvFree(void* p);

// --- cells ---
hvArray* hvGetCell(const hvArray* a, hvSize i);    // borrowed; null if out of range
void hvSetCell(hvArray* a, hvSize i, hvArray* v);  // takes v; frees the old element

// --- structures ---
int hvGetNumberOfFields(const hvArray* a);
const char* hvGetFieldNameByNumber(const hvArray* a, int k);
int hvGetFieldNumber(const hvArray* a, const char* name);           // -1 if absent
hvArray* hvGetField(const hvArray* a, hvSize i, const char* name);  // borrowed
hvArray* hvGetFieldByNumber(const hvArray* a, hvSize i, int k);     // borrowed
// Takes v. hvSetField adds the field when the structure lacks it.
void hvSetField(hvArray* a, hvSize i, const char* name, hvArray* v);
void hvSetFieldByNumber(hvArray* a, hvSize i, int k, hvArray* v);
int hvAddField(hvArray* a, const char* name);  // number of the (new) field

// --- function handles ---
// Fills element 0 of a function-handle array with the named function.
void hvFunctionHandleFromString(hvArray* a, const char* functionName);
// The function name held by element 0; null when not a function handle.
const char* hvGetFunctionHandle(const hvArray* a);

// --- object handles ---
// The object's canonical handle (borrowed), or null when the value is not a
// 1x1 object handle. The handle stays valid while the value lives, even after
// the object was destroyed (then its lifecycle state says so).
QxInterface* hvGetObjectHandle(const hvArray* a);

// --- comparison (used by tests and the shell) ---
bool hvIsEqual(const hvArray* a, const hvArray* b);

#endif  // ZELHOST_HV_ARRAY_H
