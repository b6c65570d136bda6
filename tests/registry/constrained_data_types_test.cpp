// Tests of the constrained data types: host conversion, then the check, as on a host set.
#include "zelobjsys/constrained_data_types.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "common/hv_values.h"
#include "zelhost/exceptions.h"
#include "zelhost/hv_array.h"
#include "zelhost/qx_application.h"
#include "zelhost/qx_interface.h"
#include "zelhost/zelhox.h"

namespace zelobjsys {
namespace datatypes {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using Stored = std::unique_ptr<void, std::function<void(void*)>>;

// What the host holds after converting a value and asking the type's check.
struct Outcome {
  Stored stored;
  std::unique_ptr<Exception> refusal;
};

using hvtest::cellOf;
using hvtest::functionHandle;

QxDataType* typeNamed(const char* name) {
  for (QxDataType* t : getConstrainedDataTypes()) {
    if (std::string(t->getName()) == name) return t;
  }
  return nullptr;
}

class ConstrainedDataTypesTest : public ::testing::Test {
 protected:
  void TearDown() override {
    removeConstrainedDataTypes();
    QxApplicationManager::shutdown();
  }

  // Converts value (taken) with the type's host conversion and runs the check.
  static Outcome convertAndCheck(const char* typeName, hvArray* value) {
    ZLScopedHvArray owned(value);
    QxDataType* type = typeNamed(typeName);
    EXPECT_NE(type, nullptr) << typeName;
    if (type == nullptr) return {};
    Stored stored(type->getPulvraConversion()->fromPulvra(owned),
                  [type](void* v) { type->destroy(v); });
    std::unique_ptr<Exception> refusal(type->checkValue(stored.get()));
    return {std::move(stored), std::move(refusal)};
  }

  static void expectRefusal(const Outcome& o, const char* id, const char* message) {
    ASSERT_NE(o.refusal, nullptr) << "accepted, expected " << id;
    const auto* e = dynamic_cast<const ErrorIdException*>(o.refusal.get());
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->getId(), id);
    EXPECT_STREQ(e->getMessage(), message);
  }
};

constexpr const char* kPosInt = "vornix:set:posInt";
constexpr const char* kPosIntMsg = "Property value must be a scalar integer greater than 0.";
constexpr const char* kNegInt = "vornix:set:negativeInt";
constexpr const char* kNegIntMsg =
    "Property value must be a scalar integer greater than or equal to 0.";

struct Case {
  const char* type;
  std::function<hvArray*()> make;
  const char* id;  // null: accepted
  const char* message;
  double stored = kNaN;  // the stored double of an accepted row, unless NaN
};

TEST_F(ConstrainedDataTypesTest, EachTypeAcceptsAndRefusesWithItsIdentifierAndMessage) {
  const char* posDbl = "vornix:set:posDbl";
  const char* posDblMsg = "Property value must be a scalar greater than 0.";
  const char* negDbl = "vornix:set:negativeDbl";
  const char* negDblMsg = "Property value must be a scalar greater than or equal to 0.";
  const char* pairInt = "vornix:set:pairInt";
  const char* pairIntMsg = "Property must be a 1x2 vector of integer values.";
  const char* pairDbl = "vornix:set:pairDbl";
  const char* pairDblMsg = "Property must be a 1x2 vector of numeric values.";
  const char* range = "vornix:set:posRangeDbl";
  const char* rangeMsg =
      "Property must be a 1x2 vector of numeric values greater than zero with the first value "
      "less than or equal to the second value.";
  const char* strct = "vornix:set:invalidStruct";
  const char* strctMsg = "Property value must be a PULVRA structure.";
  const char* callback = "vornix:set:invalidCallback";
  const char* callbackMsg =
      "Value must be a string, a function handle, or a cell array containing string or "
      "function handle.";
  QxInterface* object = hoxCreateObject(nullptr, nullptr);
  auto scalar = [](double x) { return [x] { return hvCreateDoubleScalar(x); }; };
  auto vec = [](std::initializer_list<double> xs) {
    std::vector<double> v(xs);
    return [v] {
      hvArray* a = hvCreateDoubleMatrix(1, v.size());
      for (std::size_t i = 0; i < v.size(); ++i) hvGetPr(a)[i] = v[i];
      return a;
    };
  };
  const Case cases[] = {
      {"PositiveInt", scalar(1), nullptr, nullptr},
      {"PositiveInt", scalar(0), kPosInt, kPosIntMsg},
      {"PositiveInt", scalar(-1), kPosInt, kPosIntMsg},
      {"PositiveInt", scalar(kNaN), kPosInt, kPosIntMsg},
      {"ZeroOrPositiveInt", scalar(0), nullptr, nullptr},
      {"ZeroOrPositiveInt", scalar(-1), kNegInt, kNegIntMsg},
      // The Inf-or types store the floor, and refuse NaN and -Inf.
      {"InfOrPositiveInt", scalar(kInf), nullptr, nullptr, kInf},
      {"InfOrPositiveInt", scalar(3.7), nullptr, nullptr, 3},
      {"InfOrPositiveInt", scalar(1), nullptr, nullptr, 1},
      {"InfOrPositiveInt", scalar(1e300), nullptr, nullptr, 1e300},
      {"InfOrPositiveInt", scalar(0), kPosInt, kPosIntMsg},
      {"InfOrPositiveInt", scalar(0.5), kPosInt, kPosIntMsg},
      {"InfOrPositiveInt", scalar(-0.0), kPosInt, kPosIntMsg},
      {"InfOrPositiveInt", scalar(-3), kPosInt, kPosIntMsg},
      {"InfOrPositiveInt", scalar(kNaN), kPosInt, kPosIntMsg},
      {"InfOrPositiveInt", scalar(-kInf), kPosInt, kPosIntMsg},
      {"ZeroInfOrPositiveInt", scalar(kInf), nullptr, nullptr, kInf},
      {"ZeroInfOrPositiveInt", scalar(0), nullptr, nullptr, 0},
      {"ZeroInfOrPositiveInt", scalar(-0.0), nullptr, nullptr, 0},
      {"ZeroInfOrPositiveInt", scalar(0.5), nullptr, nullptr, 0},
      {"ZeroInfOrPositiveInt", scalar(7.99), nullptr, nullptr, 7},
      // The floor is what is judged: -0.5 would otherwise pass and be stored as -1.
      {"ZeroInfOrPositiveInt", scalar(-0.5), kNegInt, kNegIntMsg},
      {"ZeroInfOrPositiveInt", scalar(-1), kNegInt, kNegIntMsg},
      {"ZeroInfOrPositiveInt", scalar(kNaN), kNegInt, kNegIntMsg},
      {"ZeroInfOrPositiveInt", scalar(-kInf), kNegInt, kNegIntMsg},
      {"PositiveDouble", scalar(1e-300), nullptr, nullptr},
      {"PositiveDouble", scalar(kNaN), nullptr, nullptr},
      {"PositiveDouble", scalar(kInf), nullptr, nullptr},
      {"PositiveDouble", scalar(0), posDbl, posDblMsg},
      {"PositiveDouble", scalar(-0.0), posDbl, posDblMsg},
      {"ZeroOrPositiveDouble", scalar(0), nullptr, nullptr},
      {"ZeroOrPositiveDouble", scalar(-0.0), nullptr, nullptr},
      {"ZeroOrPositiveDouble", scalar(kNaN), nullptr, nullptr},
      {"ZeroOrPositiveDouble", scalar(-1e-300), negDbl, negDblMsg},
      {"IntPair", vec({-3, -4}), nullptr, nullptr},
      {"IntPair", [] { return hvCreateDoubleMatrix(2, 1); }, nullptr, nullptr},
      {"IntPair", vec({1}), pairInt, pairIntMsg},
      {"IntPair", vec({1, 2, 3}), pairInt, pairIntMsg},
      {"DoublePair", vec({kInf, -kInf}), nullptr, nullptr},
      {"DoublePair", vec({1, kNaN}), pairDbl, pairDblMsg},
      {"DoublePair", vec({kNaN, 1}), pairDbl, pairDblMsg},
      {"DoublePair", vec({1, 2, 3}), pairDbl, pairDblMsg},
      {"DoublePair", [] { return hvCreateDoubleMatrix(0, 0); }, pairDbl, pairDblMsg},
      {"PositiveDoubleRange", vec({1, 1}), nullptr, nullptr},
      {"PositiveDoubleRange", vec({1, kInf}), nullptr, nullptr},
      {"PositiveDoubleRange", vec({2, 1}), range, rangeMsg},
      {"PositiveDoubleRange", vec({0, 1}), range, rangeMsg},
      {"PositiveDoubleRange", vec({1, -1}), range, rangeMsg},
      {"PositiveDoubleRange", vec({1, kNaN}), range, rangeMsg},
      {"PositiveDoubleRange", vec({kNaN, 1}), range, rangeMsg},
      {"PositiveDoubleRange", vec({5}), range, rangeMsg},
      {"PULVRAStructure", [] { return hvCreateDoubleMatrix(0, 0); }, nullptr, nullptr},
      {"PULVRAStructure", [] { return hvCreateStructMatrix(1, 1, 0, nullptr); }, nullptr, nullptr},
      {"PULVRAStructure", [object] { return hvCreateObjectHandle(object); }, nullptr, nullptr},
      {"PULVRAStructure", scalar(3), strct, strctMsg},
      {"PULVRAStructure", [] { return cellOf({hvCreateDoubleScalar(1)}); }, strct, strctMsg},
      // Callbacks: only the empty cell forms are refused.
      {"StrictHCallback", [] { return hvCreateString("disp(1)"); }, nullptr, nullptr},
      {"StrictHCallback", [] { return hvCreateString(""); }, nullptr, nullptr},
      {"StrictHCallback", [] { return functionHandle("f"); }, nullptr, nullptr},
      {"StrictHCallback",
       [] {
         return cellOf({functionHandle("f"), hvCreateDoubleScalar(2)});
       },
       nullptr, nullptr},
      {"StrictHCallback", [] { return cellOf({hvCreateString("g")}); }, nullptr, nullptr},
      {"StrictHCallback", [] { return hvCreateCellMatrix(0, 0); }, callback, callbackMsg},
      {"StrictHCallback", [] { return cellOf({hvCreateString("")}); }, callback, callbackMsg},
      {"StrictHCallback",
       [] {
         return cellOf({hvCreateDoubleMatrix(0, 0), hvCreateString("x")});
       },
       callback, callbackMsg},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.type) + (c.id ? " refuses " : " accepts ") +
                 std::to_string(&c - cases));
    const Outcome o = convertAndCheck(c.type, c.make());
    if (c.id == nullptr) {
      EXPECT_EQ(o.refusal, nullptr) << o.refusal->getMessage();
      if (!std::isnan(c.stored)) {
        EXPECT_EQ(*static_cast<double*>(o.stored.get()), c.stored);
      }
    } else {
      expectRefusal(o, c.id, c.message);
    }
  }
  object->destroy(QxDatabaseClient::getInternalClient());
}

TEST_F(ConstrainedDataTypesTest, NullValuesNeverCrashTheChecks) {
  // Types whose storage has an empty form accept null; the others refuse.
  for (QxDataType* type : getConstrainedDataTypes()) {
    SCOPED_TRACE(type->getName());
    std::unique_ptr<Exception> refusal(type->checkValue(nullptr));
    const std::string name = type->getName();
    EXPECT_EQ(refusal == nullptr, name == "StrictHCallback" || name == "PULVRAStructure");
  }
}

TEST_F(ConstrainedDataTypesTest, SingletonsAreStableAndStoreLikeTheirBase) {
  const std::vector<QxDataType*> types = getConstrainedDataTypes();
  std::string joined;
  for (QxDataType* type : types) joined += std::string(type->getName()) + " ";
  EXPECT_EQ(joined,
            "StrictHCallback ZeroOrPositiveInt ZeroInfOrPositiveInt ZeroOrPositiveDouble "
            "InfOrPositiveInt PositiveInt IntPair PositiveDouble PositiveDoubleRange DoublePair "
            "PULVRAStructure ");
  EXPECT_EQ(getConstrainedDataTypes(), types);
  EXPECT_EQ(PositiveIntDataType::getDataType(), types[5]);
  EXPECT_EQ(PositiveIntDataType::getInstance(), PositiveIntDataType::getInstance());
  EXPECT_EQ(PositiveIntDataType::getDataType()->getStorageCategory(), kStorageInt32);
  EXPECT_EQ(InfOrPositiveIntDataType::getDataType()->getStorageCategory(), kStorageDouble);
  EXPECT_STREQ(PULVRAStructureDataType::getDataType()->getDeclarationName(), "hvArray");
}

TEST_F(ConstrainedDataTypesTest, RegisteringTwiceAddsOnceAndRemovalTakesAllOut) {
  EXPECT_EQ(registerConstrainedDataTypes(), 11);
  EXPECT_EQ(registerConstrainedDataTypes(), 0);
  for (QxDataType* type : getConstrainedDataTypes()) {
    EXPECT_EQ(QxTypeRepository::getType(type->getName(), true), type) << type->getName();
  }
  removeConstrainedDataTypes();
  for (QxDataType* type : getConstrainedDataTypes()) {
    EXPECT_EQ(QxTypeRepository::getType(type->getName(), true), nullptr) << type->getName();
  }
  EXPECT_EQ(registerConstrainedDataTypes(), 11);
}

}  // namespace
}  // namespace datatypes
}  // namespace zelobjsys
