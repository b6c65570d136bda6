// Tests of host values: shapes, data, strings, ownership of cells and structures, copies,
// comparison, handles.
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "common/hv_values.h"
#include "zelhost/objects/qx_interface.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/values/hv_array.h"

namespace {

using Scoped = ZLScopedHvArray;

std::string textOf(const hvArray* a) {
  std::unique_ptr<char, void (*)(void*)> text(hvArrayToString(a), hvFree);
  return text ? std::string(text.get()) : std::string("<null>");
}

using hvtest::row;

TEST(HvArrayTest, CreatorsGiveClassAndShape) {
  const char* fields[] = {"a", "b"};
  struct Case {
    const char* what;
    hvArray* value;
    hvClassID cls;
    const char* className;
    hvSize m, n;
  } cases[] = {
      {"double scalar", hvCreateDoubleScalar(2.5), hvDOUBLE_CLASS, "double", 1, 1},
      {"double matrix", hvCreateDoubleMatrix(2, 3), hvDOUBLE_CLASS, "double", 2, 3},
      {"logical scalar", hvCreateLogicalScalar(true), hvLOGICAL_CLASS, "logical", 1, 1},
      {"logical matrix", hvCreateLogicalMatrix(0, 4), hvLOGICAL_CLASS, "logical", 0, 4},
      {"string", hvCreateString("abc"), hvCHAR_CLASS, "char", 1, 3},
      {"empty string", hvCreateString(""), hvCHAR_CLASS, "char", 0, 0},
      {"null string", hvCreateString(nullptr), hvCHAR_CLASS, "char", 0, 0},
      {"cell", hvCreateCellMatrix(1, 4), hvCELL_CLASS, "cell", 1, 4},
      {"struct", hvCreateStructMatrix(1, 1, 2, fields), hvSTRUCT_CLASS, "struct", 1, 1},
      {"int32", hvCreateNumericMatrix(2, 2, hvINT32_CLASS), hvINT32_CLASS, "int32", 2, 2},
      {"function", hvCreateNumericMatrix(1, 1, hvFUNCTION_CLASS), hvFUNCTION_CLASS,
       "function_handle", 1, 1},
      {"empty handle", hvCreateObjectHandle(nullptr), hvOBJECT_CLASS, "handle", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scoped owner(c.value);
    ASSERT_NE(c.value, nullptr);
    EXPECT_EQ(hvGetClassID(c.value), c.cls);
    EXPECT_STREQ(hvGetClassName(c.value), c.className);
    EXPECT_EQ(hvGetM(c.value), c.m);
    EXPECT_EQ(hvGetN(c.value), c.n);
    EXPECT_EQ(hvGetNumberOfElements(c.value), c.m * c.n);
    EXPECT_EQ(hvIsEmpty(c.value), c.m * c.n == 0);
    EXPECT_EQ(hvIsScalar(c.value), c.m * c.n == 1);
    EXPECT_EQ(hvGetNumberOfDimensions(c.value), 2u);
  }
}

TEST(HvArrayTest, BadSizesAndClassesGiveNullNotACrash) {
  const hvSize huge = std::numeric_limits<hvSize>::max() / 2;
  EXPECT_EQ(hvCreateDoubleMatrix(huge, huge), nullptr);
  EXPECT_EQ(hvCreateCellMatrix(huge, 3), nullptr);
  EXPECT_EQ(hvCreateNumericMatrix(1, 1, hvSTRUCT_CLASS), nullptr);
  EXPECT_EQ(hvCreateNumericMatrix(1, 1, 99), nullptr);
  Scoped noNames(hvCreateStructMatrix(1, 1, 3, nullptr));
  EXPECT_EQ(hvGetNumberOfFields(noNames), 0);
}

TEST(HvArrayTest, NullIsReadAsEmpty) {
  EXPECT_EQ(hvGetClassID(nullptr), hvUNKNOWN_CLASS);
  EXPECT_TRUE(hvIsEmpty(nullptr));
  EXPECT_EQ(hvGetM(nullptr), 0u);
  EXPECT_EQ(hvGetPr(nullptr), nullptr);
  EXPECT_EQ(hvGetScalar(nullptr), 0.0);
  EXPECT_EQ(hvArrayToString(nullptr), nullptr);
  EXPECT_EQ(hvGetCell(nullptr, 0), nullptr);
  EXPECT_EQ(hvGetField(nullptr, 0, "a"), nullptr);
  EXPECT_EQ(hvGetFieldNumber(nullptr, "a"), -1);
  EXPECT_EQ(hvGetFunctionHandle(nullptr), nullptr);
  EXPECT_EQ(hvGetObjectHandle(nullptr), nullptr);
  EXPECT_EQ(hvDuplicateArray(nullptr), nullptr);
  hvDestroyArray(nullptr);
  hvSetCell(nullptr, 0, nullptr);
  hvSetField(nullptr, 0, "a", hvCreateDoubleScalar(1));  // freed, not leaked
}

TEST(HvArrayTest, NumericDataIsColumnMajorAndTyped) {
  Scoped m(hvCreateDoubleMatrix(2, 2));
  double* pr = hvGetPr(m);
  for (int i = 0; i < 4; ++i) pr[i] = i + 1;
  EXPECT_EQ(hvGetElementAsDouble(m, 1), 2.0);  // row 2, column 1
  EXPECT_EQ(hvGetElementAsDouble(m, 4), 0.0);  // out of range
  EXPECT_EQ(hvGetInt32Data(m), nullptr);
  EXPECT_EQ(hvGetLogicals(m), nullptr);

  Scoped ints(hvCreateNumericMatrix(1, 2, hvINT32_CLASS));
  hvGetInt32Data(ints)[1] = -7;
  EXPECT_EQ(hvGetElementAsDouble(ints, 1), -7.0);
  EXPECT_TRUE(hvIsNumeric(ints));
  EXPECT_EQ(hvGetPr(ints), nullptr);

  Scoped flag(hvCreateLogicalScalar(true));
  EXPECT_EQ(hvGetScalar(flag), 1.0);
  EXPECT_FALSE(hvIsNumeric(flag));
  Scoped text(hvCreateString("7"));
  EXPECT_EQ(hvGetScalar(text), 0.0);
}

TEST(HvArrayTest, StringsRoundTrip) {
  Scoped s(hvCreateString("Hello"));
  EXPECT_EQ(textOf(s), "Hello");
  Scoped empty(hvCreateString(""));
  EXPECT_EQ(textOf(empty), "");
  Scoped number(hvCreateDoubleScalar(1));
  EXPECT_EQ(textOf(number), "<null>");
  Scoped longer(hvCreateString(std::string(100, 'x').c_str()));  // past the inline slots
  EXPECT_EQ(textOf(longer), std::string(100, 'x'));
}

TEST(HvArrayTest, CellsOwnWhatIsPutIn) {
  Scoped cell(hvCreateCellMatrix(1, 2));
  EXPECT_EQ(hvGetCell(cell, 0), nullptr);
  hvSetCell(cell, 0, hvCreateString("first"));
  hvSetCell(cell, 0, hvCreateString("second"));  // the first is freed
  hvArray* kept = hvGetCell(cell, 0);
  hvSetCell(cell, 0, kept);  // same element again: no double free
  EXPECT_EQ(textOf(hvGetCell(cell, 0)), "second");
  hvSetCell(cell, 5, hvCreateDoubleScalar(1));  // out of range: freed
  Scoped number(hvCreateDoubleScalar(1));
  hvSetCell(number, 0, hvCreateDoubleScalar(2));  // not a cell: freed
  hvSetCell(cell, 1, cell.get());                 // itself: refused
  EXPECT_EQ(hvGetCell(cell, 1), nullptr);
  EXPECT_EQ(hvGetCell(cell, 2), nullptr);
}

TEST(HvArrayTest, StructuresKeepFieldOrderAndOwnFields) {
  const char* names[] = {"zeta", "alpha", "zeta", "", nullptr};
  Scoped s(hvCreateStructMatrix(1, 2, 5, names));
  ASSERT_EQ(hvGetNumberOfFields(s), 2);  // repeated, empty and null names dropped
  EXPECT_STREQ(hvGetFieldNameByNumber(s, 0), "zeta");
  EXPECT_STREQ(hvGetFieldNameByNumber(s, 1), "alpha");
  EXPECT_EQ(hvGetFieldNameByNumber(s, 2), nullptr);

  hvSetFieldByNumber(s, 1, 0, hvCreateDoubleScalar(3));
  hvSetField(s, 0, "alpha", hvCreateString("a"));
  hvSetField(s, 0, "alpha", hvCreateString("b"));     // replaces and frees "a"
  hvSetField(s, 1, "beta", hvCreateDoubleScalar(9));  // adds the field
  EXPECT_EQ(hvGetFieldNumber(s, "beta"), 2);
  EXPECT_EQ(hvAddField(s, "beta"), 2);
  EXPECT_EQ(hvAddField(s, nullptr), -1);
  // Adding fields keeps every element's values where they were.
  EXPECT_EQ(hvGetScalar(hvGetFieldByNumber(s, 1, 0)), 3.0);
  EXPECT_EQ(textOf(hvGetField(s, 0, "alpha")), "b");
  EXPECT_EQ(hvGetScalar(hvGetField(s, 1, "beta")), 9.0);
  EXPECT_EQ(hvGetField(s, 0, "beta"), nullptr);
  EXPECT_EQ(hvGetField(s, 0, "ALPHA"), nullptr);  // names are exact

  hvSetFieldByNumber(s, 0, 7, hvCreateDoubleScalar(1));  // no such field: freed
  hvSetField(s, 4, "gamma", hvCreateDoubleScalar(1));    // no such element: freed
  EXPECT_EQ(hvGetFieldNumber(s, "gamma"), -1);
}

TEST(HvArrayTest, DuplicatesAreDeepAndIndependent) {
  const char* names[] = {"list"};
  Scoped s(hvCreateStructMatrix(1, 1, 1, names));
  hvArray* cell = hvCreateCellMatrix(1, 2);
  hvSetCell(cell, 0, hvCreateString("x"));
  hvSetField(s, 0, "list", cell);
  Scoped fn(hvCreateNumericMatrix(1, 1, hvFUNCTION_CLASS));
  hvFunctionHandleFromString(fn, "disp");

  Scoped copy(hvDuplicateArray(s));
  Scoped fnCopy(hvDuplicateArray(fn));
  EXPECT_TRUE(hvIsEqual(s, copy));
  EXPECT_STREQ(hvGetFunctionHandle(fnCopy), "disp");
  hvSetCell(cell, 0, hvCreateString("changed"));
  EXPECT_FALSE(hvIsEqual(s, copy));
  EXPECT_EQ(textOf(hvGetCell(hvGetField(copy, 0, "list"), 0)), "x");
}

TEST(HvArrayTest, EqualityComparesClassShapeAndContents) {
  const char* ab[] = {"a", "b"};
  const char* ba[] = {"b", "a"};
  Scoped s1(hvCreateStructMatrix(1, 1, 2, ab));
  Scoped s2(hvCreateStructMatrix(1, 1, 2, ba));
  hvSetField(s1, 0, "a", hvCreateDoubleScalar(1));
  hvSetField(s2, 0, "a", hvCreateDoubleScalar(1));
  Scoped ints(hvCreateNumericMatrix(1, 1, hvINT32_CLASS));
  hvGetInt32Data(ints)[0] = 1;
  Scoped f1(hvCreateNumericMatrix(1, 1, hvFUNCTION_CLASS));
  Scoped f2(hvCreateNumericMatrix(1, 1, hvFUNCTION_CLASS));
  hvFunctionHandleFromString(f1, "sin");
  hvFunctionHandleFromString(f2, "cos");
  const double nan = std::nan("");
  struct Case {
    const char* what;
    hvArray* a;
    hvArray* b;
    bool equal;
  } cases[] = {
      {"same numbers", row({1, 2}), row({1, 2}), true},
      {"NaN is not NaN", hvCreateDoubleScalar(nan), hvCreateDoubleScalar(nan), false},
      {"row vs column", row({1, 2}), hvCreateDoubleMatrix(2, 1), false},
      {"double vs int32", hvCreateDoubleScalar(1), hvDuplicateArray(ints), false},
      {"double vs logical", hvCreateDoubleScalar(1), hvCreateLogicalScalar(true), false},
      {"strings", hvCreateString("ab"), hvCreateString("ab"), true},
      {"string case", hvCreateString("ab"), hvCreateString("AB"), false},
      {"empty char vs empty double", hvCreateString(""), hvCreateDoubleMatrix(0, 0), false},
      {"field order ignored", hvDuplicateArray(s1), hvDuplicateArray(s2), true},
      {"function names", hvDuplicateArray(f1), hvDuplicateArray(f2), false},
      {"null vs []", nullptr, hvCreateDoubleMatrix(0, 0), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scoped a(c.a), b(c.b);
    EXPECT_EQ(hvIsEqual(a, b), c.equal);
    EXPECT_EQ(hvIsEqual(b, a), c.equal);
  }
}

TEST(HvArrayTest, FunctionHandlesStartEmpty) {
  Scoped fn(hvCreateNumericMatrix(1, 1, hvFUNCTION_CLASS));
  EXPECT_TRUE(hvIsFunctionHandle(fn));
  EXPECT_EQ(hvGetFunctionHandle(fn), nullptr);
  hvFunctionHandleFromString(fn, "plot");
  hvFunctionHandleFromString(fn, "drawnow");  // replaces, frees the old name
  hvFunctionHandleFromString(fn, nullptr);    // ignored
  EXPECT_STREQ(hvGetFunctionHandle(fn), "drawnow");
  Scoped text(hvCreateString("drawnow"));
  hvFunctionHandleFromString(text, "x");  // not a function handle: ignored
  EXPECT_EQ(hvGetFunctionHandle(text), nullptr);
}

TEST(HvArrayTest, ObjectHandlesOutliveTheObject) {
  QxInterface* object = hoxCreateObject(nullptr, nullptr);
  Scoped handle(hvCreateObjectHandle(object));
  std::unique_ptr<QxInterface> reference(object->getReference());
  Scoped viaReference(hvCreateObjectHandle(reference.get()));
  EXPECT_EQ(hvGetObjectHandle(handle), object->getCanonical());
  EXPECT_EQ(hvGetObjectHandle(viaReference), object->getCanonical());
  EXPECT_TRUE(hvIsEqual(handle, viaReference));
  Scoped copy(hvDuplicateArray(handle));

  object->destroy(QxDatabaseClient::getInternalClient());
  // The values keep the record: the handle is still readable, and invalid.
  ASSERT_EQ(hvGetObjectHandle(copy), hvGetObjectHandle(handle));
  EXPECT_FALSE(hvGetObjectHandle(copy)->isValid());
  EXPECT_GE(hvGetObjectHandle(copy)->getLifecycleState(), 2);
}

}  // namespace
