// Tests of host values: shapes, data, ownership of cells and structures, copies, comparison,
// handles. Display, class names, strings and deep copies as a user sees them: the shell scripts
// (host_values.zel, language.zel).
#include <gtest/gtest.h>
#include <malloc.h>

#include <array>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "common/hv_values.h"
#include "zelhost/objects/qx_interface.h"

namespace {
using Scoped = ZLScopedHvArray;
using hvtest::row;
using zelhox::fcns::getString;

void expectNull(std::initializer_list<const void*> values) {
  for (std::size_t i = 0; i < values.size(); ++i) EXPECT_EQ(values.begin()[i], nullptr) << i;
}

TEST(HvArrayTest, CreatorsGiveClassAndShape) {
  const std::tuple<hvArray*, hvClassID, const char*, hvSize, hvSize> cases[] = {
      {hvCreateDoubleMatrix(2, 3), hvDOUBLE_CLASS, "double", 2, 3},
      {hvCreateLogicalMatrix(0, 4), hvLOGICAL_CLASS, "logical", 0, 4},
      {hvCreateNumericMatrix(2, 2, hvINT32_CLASS), hvINT32_CLASS, "int32", 2, 2},
      {hvCreateNumericMatrix(1, 3, hvFUNCTION_CLASS), hvFUNCTION_CLASS, "function_handle", 1, 3},
      {hvCreateObjectHandle(nullptr), hvOBJECT_CLASS, "handle", 0, 0},
      {nullptr, hvUNKNOWN_CLASS, "unknown", 0, 0},
  };
  for (const auto& [value, cls, className, m, n] : cases) {
    SCOPED_TRACE(className);
    Scoped owner(value);
    EXPECT_EQ(hvGetClassID(value), cls);
    EXPECT_STREQ(hvGetClassName(value), className);
    EXPECT_EQ(hvGetM(value) * 10 + hvGetN(value), m * 10 + n);
    EXPECT_EQ(hvGetNumberOfElements(value), m * n);
    EXPECT_EQ(hvIsEmpty(value), m * n == 0);
    EXPECT_EQ(hvIsScalar(value), m * n == 1);
  }
}

TEST(HvArrayTest, BadSizesAndClassesGiveNullAndNullReadsAsEmpty) {
  const hvSize huge = std::numeric_limits<hvSize>::max() / 2;
  Scoped noNames(hvCreateStructMatrix(1, 1, 3, nullptr)), number(hvCreateDoubleScalar(1));
  Scoped m(hvCreateDoubleMatrix(2, 2)), ints(hvCreateNumericMatrix(1, 2, hvINT32_CLASS));
  EXPECT_EQ(hvGetNumberOfFields(noNames), 0);
  EXPECT_EQ(hvGetFieldNumber(nullptr, "a") + hvGetScalar(nullptr), -1);
  expectNull({hvCreateDoubleMatrix(huge, huge), hvCreateCellMatrix(huge, 3),
              hvCreateNumericMatrix(1, 1, hvSTRUCT_CLASS), hvCreateNumericMatrix(1, 1, 99),
              hvArrayToString(number), hvArrayToString(nullptr), hvGetPr(nullptr),
              hvGetField(nullptr, 0, "a"), hvGetObjectHandle(nullptr), hvDuplicateArray(nullptr),
              hvGetInt32Data(m), hvGetLogicals(m), hvGetPr(ints)});
  hvDestroyArray(nullptr);
  hvSetField(nullptr, 0, "a", hvCreateDoubleScalar(1));  // freed, not leaked
  for (int i = 0; i < 4; ++i) hvGetPr(m)[i] = i + 1;
  hvGetInt32Data(ints)[1] = -7;
  Scoped flag(hvCreateLogicalScalar(true)), text(hvCreateString("7"));
  EXPECT_EQ(hvtest::doubles(m), (std::vector<double>{1, 2, 3, 4}));  // column-major
  EXPECT_EQ(hvGetElementAsDouble(m, 4), 0.0);                        // out of range
  EXPECT_EQ(hvGetScalar(flag) + hvGetScalar(text) + hvGetElementAsDouble(ints, 1), -6.0);
  EXPECT_TRUE(hvIsNumeric(ints) && !hvIsNumeric(flag));
}

TEST(HvArrayTest, ContainersOwnWhatIsPutIn) {
  Scoped cell(hvCreateCellMatrix(1, 2)), number(hvCreateDoubleScalar(1));
  hvSetCell(cell, 0, hvCreateString("first"));
  hvSetCell(cell, 0, hvCreateString("second"));   // the first is freed
  hvSetCell(cell, 0, hvGetCell(cell, 0));         // same element again: no double free
  hvSetCell(cell, 5, hvCreateDoubleScalar(1));    // out of range: freed
  hvSetCell(number, 0, hvCreateDoubleScalar(2));  // not a cell: freed
  hvSetCell(cell, 1, cell.get());                 // itself: refused
  EXPECT_EQ(getString(hvGetCell(cell, 0)), "second");
  const char* names[] = {"zeta", "alpha", "zeta", "", nullptr};
  Scoped s(hvCreateStructMatrix(1, 2, 5, names));
  ASSERT_EQ(hvGetNumberOfFields(s), 2);  // repeated, empty and null names dropped
  EXPECT_STREQ(hvGetFieldNameByNumber(s, 1), "alpha");
  hvSetFieldByNumber(s, 1, 0, hvCreateDoubleScalar(3));
  hvSetField(s, 0, "alpha", hvCreateString("a"));
  hvSetField(s, 0, "alpha", hvCreateString("b"));     // replaces and frees "a"
  hvSetField(s, 1, "beta", hvCreateDoubleScalar(9));  // adds the field
  EXPECT_EQ(hvAddField(s, "beta"), 2);
  EXPECT_EQ(hvAddField(s, nullptr), -1);
  EXPECT_EQ(hvGetScalar(hvGetFieldByNumber(s, 1, 0)), 3.0);  // kept in place by the added field
  EXPECT_EQ(getString(hvGetField(s, 0, "alpha")), "b");
  EXPECT_EQ(hvGetScalar(hvGetField(s, 1, "beta")), 9.0);
  expectNull({hvGetCell(cell, 1), hvGetCell(cell, 2), hvGetFieldNameByNumber(s, 3),
              hvGetField(s, 0, "beta"), hvGetField(s, 0, "ALPHA")});
  hvSetFieldByNumber(s, 0, 7, hvCreateDoubleScalar(1));  // no such field: freed
  hvSetField(s, 4, "gamma", hvCreateDoubleScalar(1));    // no such element: freed
  hvSetFieldByNumber(s, 2, 1, hvCreateDoubleScalar(1));  // no such element, a field: freed
  EXPECT_EQ(hvGetFieldByNumber(s, 2, 1), nullptr);
  EXPECT_EQ(hvGetFieldNumber(s, "gamma"), -1);
  hvSetFieldByNumber(s, 0, 0, hvtest::cellOf({hvCreateString("z")}));
  Scoped copy(hvDuplicateArray(s));
  EXPECT_TRUE(hvIsEqual(s, copy));
  hvSetCell(hvGetField(s, 0, "zeta"), 0, hvCreateString("changed"));  // the copy is deep
  EXPECT_EQ(hvtest::texts(hvGetField(copy, 0, "zeta")), (std::vector<std::string>{"z"}));
}

// A structure's names live in its own block until a field is added; many names take the path
// that a few event fields do not.
TEST(HvArrayTest, StructuresKeepTheirFieldsInOrderThroughAddsAndCopies) {
  std::vector<std::string> texts;
  std::vector<const char*> names;
  texts.reserve(14);
  names.reserve(13);
  for (int k = 0; k < 12; ++k) texts.push_back("field" + std::to_string(k));
  for (const std::string& t : texts) names.push_back(t.c_str());
  names.push_back("field3");  // repeated: dropped
  Scoped s(hvCreateStructMatrix(2, 1, static_cast<int>(names.size()), names.data()));
  ASSERT_EQ(hvGetNumberOfFields(s), 12);
  for (const char* added : {"late", "later"}) hvAddField(s, added);
  texts.insert(texts.end(), {"late", "later"});
  texts[0].assign("reused");  // the structure holds copies
  ASSERT_EQ(hvGetNumberOfFields(s), 14);
  for (int k = 0; k < 14; ++k) hvSetFieldByNumber(s, 1, k, hvCreateDoubleScalar(k));
  Scoped copy(hvDuplicateArray(s));
  for (int k = 1; k < 14; ++k) {
    SCOPED_TRACE(k);
    EXPECT_STREQ(hvGetFieldNameByNumber(copy, k), texts[k].c_str());
    EXPECT_EQ(hvGetFieldNumber(s, texts[k].c_str()), k);
    EXPECT_EQ(hvGetScalar(hvGetFieldByNumber(copy, 1, k)), k);
    EXPECT_EQ(hvGetFieldByNumber(copy, 0, k), nullptr);
  }
  EXPECT_STREQ(hvGetFieldNameByNumber(s, 0), "field0");
  EXPECT_TRUE(hvIsEqual(s, copy));
}

TEST(HvArrayTest, EqualityComparesClassShapeAndContents) {
  const char* ab[] = {"a", "b"};
  const char* ba[] = {"b", "a"};
  Scoped s1(hvCreateStructMatrix(1, 1, 2, ab)), s2(hvCreateStructMatrix(1, 1, 2, ba));
  hvSetField(s1, 0, "a", hvCreateDoubleScalar(1));
  hvSetField(s2, 0, "a", hvCreateDoubleScalar(1));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::tuple<const char*, hvArray*, hvArray*, bool> cases[] = {
      {"same numbers", row({1, 2}), row({1, 2}), true},
      {"NaN is not NaN", hvCreateDoubleScalar(nan), hvCreateDoubleScalar(nan), false},
      {"row vs column", row({1, 2}), hvCreateDoubleMatrix(2, 1), false},
      {"one more column", row({1, 2}), row({1, 2, 3}), false},
      {"double vs int32", hvCreateDoubleScalar(0), hvCreateNumericMatrix(1, 1, hvINT32_CLASS),
       false},
      {"double vs logical", hvCreateDoubleScalar(1), hvCreateLogicalScalar(true), false},
      {"strings", hvCreateString("ab"), hvCreateString("ab"), true},
      {"string case", hvCreateString("ab"), hvCreateString("AB"), false},
      {"empty char vs empty double", hvCreateString(""), hvCreateDoubleMatrix(0, 0), false},
      {"field order ignored", hvDuplicateArray(s1), hvDuplicateArray(s2), true},
      {"function names", hvtest::functionHandle("sin"), hvtest::functionHandle("cos"), false},
      {"cells", hvtest::cellOf({row({1})}), hvtest::cellOf({row({2})}), false},
      {"null vs []", nullptr, hvCreateDoubleMatrix(0, 0), true},
  };
  for (const auto& [what, first, second, equal] : cases) {
    SCOPED_TRACE(what);
    Scoped a(first), b(second);
    EXPECT_EQ(hvIsEqual(a, b), equal);
    EXPECT_EQ(hvIsEqual(b, a), equal);
  }
}

TEST(HvArrayTest, HandlesOwnTheirNamesAndRecords) {
  Scoped fn(hvCreateNumericMatrix(1, 1, hvFUNCTION_CLASS)), text(hvCreateString("drawnow"));
  hvFunctionHandleFromString(text, "x");  // not a function handle: ignored
  expectNull({hvGetFunctionHandle(fn), hvGetFunctionHandle(text)});
  const std::size_t before = mallinfo2().uordblks;
  for (int i = 0; i < 2000; ++i) hvFunctionHandleFromString(fn, "a_rather_long_function_name");
  EXPECT_LT(mallinfo2().uordblks, before + 16000);  // 2000 lost names would hold at least 64000
  hvFunctionHandleFromString(fn, nullptr);          // ignored
  EXPECT_STREQ(hvGetFunctionHandle(fn), "a_rather_long_function_name");
  EXPECT_STREQ(hvGetFunctionHandle(Scoped(hvDuplicateArray(fn))), "a_rather_long_function_name");
  // Object handles keep the object's record, not the object.
  QxInterface* object = hoxCreateObject(nullptr, nullptr);
  std::unique_ptr<QxInterface> reference(object->getReference());
  Scoped handle(hvCreateObjectHandle(object)), viaReference(hvCreateObjectHandle(reference.get()));
  EXPECT_TRUE(hvIsEqual(handle, viaReference));
  Scoped handleCopy(hvDuplicateArray(handle));
  object->destroy(QxDatabaseClient::getInternalClient());
  ASSERT_EQ(hvGetObjectHandle(handleCopy), reference->getCanonical());
  EXPECT_FALSE(hvGetObjectHandle(handleCopy)->isValid());  // still readable, and invalid
}

// Freed values' blocks are reused on their thread: a value made in a reused block starts as
// new, blocks freed on another thread than their own are taken there, and a thread's blocks go
// back when it ends, also those freed by its thread-exit destructors after that (the sanitized
// build reports any block lost or used after its value was freed).
TEST(HvArrayTest, ReusedBlocksStartNewOnEveryThread) {
  struct ExitFree {
    hvArray* value = nullptr;
    ~ExitFree() { hvDestroyArray(value); }
  };
  std::vector<hvArray*> handedOver;
  std::thread maker([&handedOver] {
    thread_local ExitFree lateValue;  // destroyed after the thread's blocks went back
    lateValue.value = hvCreateDoubleScalar(1);
    for (int round = 0; round < 3; ++round) {
      std::array<hvArray*, 40> many{};
      for (std::size_t i = 0; i < many.size(); ++i)
        many[i] = hvCreateDoubleScalar(static_cast<double>(i));
      for (hvArray* value : many) hvDestroyArray(value);
    }
    Scoped reused(hvCreateDoubleMatrix(1, 2));
    EXPECT_EQ(std::vector<double>(hvGetPr(reused), hvGetPr(reused) + 2),
              std::vector<double>(2, 0.0));
    Scoped flag(hvCreateLogicalMatrix(1, 1));
    EXPECT_FALSE(hvGetLogicals(flag)[0]);
    for (int i = 0; i < 40; ++i) handedOver.push_back(hvCreateDoubleScalar(i));
  });
  maker.join();
  for (hvArray* value : handedOver) hvDestroyArray(value);
  Scoped text(hvCreateString("a"));
  EXPECT_EQ(getString(text), "a");
  EXPECT_EQ(hvGetN(text), 1U);
}

}  // namespace
