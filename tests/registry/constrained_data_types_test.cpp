// Tests of the constrained data types: host conversion, then the check, as on a host set.
#include "zelobjsys/constrained_data_types.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/hv_values.h"
#include "zelhost/objects/qx_application.h"
#include "zelhost/objects/qx_interface.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/values/hv_array.h"

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

  // o must be refused as "vornix:set:<id>" with that refusal's message.
  static void expectRefusal(const Outcome& o, const std::string& id);
};

// Each refusal's message, by its identifier (after "vornix:set:").
const std::map<std::string, std::string> kMessages = {
    {"posInt", "Property value must be a scalar integer greater than 0."},
    {"negativeInt", "Property value must be a scalar integer greater than or equal to 0."},
    {"posDbl", "Property value must be a scalar greater than 0."},
    {"negativeDbl", "Property value must be a scalar greater than or equal to 0."},
    {"pairInt", "Property must be a 1x2 vector of integer values."},
    {"pairDbl", "Property must be a 1x2 vector of numeric values."},
    {"posRangeDbl",
     "Property must be a 1x2 vector of numeric values greater than zero with the first value "
     "less than or equal to the second value."},
    {"invalidStruct", "Property value must be a PULVRA structure."},
    {"invalidCallback",
     "Value must be a string, a function handle, or a cell array containing string or "
     "function handle."}};

void ConstrainedDataTypesTest::expectRefusal(const Outcome& o, const std::string& id) {
  ASSERT_NE(o.refusal, nullptr) << "accepted, expected " << id;
  const auto* e = dynamic_cast<const ErrorIdException*>(o.refusal.get());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->getId(), "vornix:set:" + id);
  EXPECT_EQ(e->getMessage(), kMessages.at(id));
}

struct Case {
  const char* type;
  std::function<hvArray*()> make;
  const char* id;  // null: accepted
};

TEST_F(ConstrainedDataTypesTest, ScalarTypesAcceptAndRefuseAtTheirEdges) {
  // The Inf-or types store the floor and judge it: -0.5 would otherwise pass
  // and be stored as -1.
  struct Row {
    const char* type;
    std::vector<double> accepted, refused;
    const char* id;
  } rows[] = {
      {"PositiveInt", {1}, {0, -1, kNaN}, "posInt"},
      {"ZeroOrPositiveInt", {0}, {-1}, "negativeInt"},
      {"InfOrPositiveInt", {kInf, 3.7, 1, 1e300}, {0, 0.5, -0.0, -3, kNaN, -kInf}, "posInt"},
      {"ZeroInfOrPositiveInt", {kInf, 0, -0.0, 0.5, 7.99}, {-0.5, -1, kNaN, -kInf}, "negativeInt"},
      {"PositiveDouble", {1e-300, kNaN, kInf}, {0, -0.0}, "posDbl"},
      {"ZeroOrPositiveDouble", {0, -0.0, kNaN}, {-1e-300}, "negativeDbl"}};
  for (const Row& row : rows) {
    const bool floors = std::string(row.type).find("Inf") != std::string::npos;
    for (double x : row.accepted) {
      SCOPED_TRACE(std::string(row.type) + " accepts " + std::to_string(x));
      const Outcome o = convertAndCheck(row.type, hvCreateDoubleScalar(x));
      EXPECT_EQ(o.refusal, nullptr) << o.refusal->getMessage();
      if (floors) {
        EXPECT_EQ(*static_cast<double*>(o.stored.get()), std::floor(x));
      }
    }
    for (double x : row.refused) {
      SCOPED_TRACE(std::string(row.type) + " refuses " + std::to_string(x));
      expectRefusal(convertAndCheck(row.type, hvCreateDoubleScalar(x)), row.id);
    }
  }
}

TEST_F(ConstrainedDataTypesTest, ArrayTypesAcceptAndRefuseWithTheirIdentifierAndMessage) {
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
      {"IntPair", vec({-3, -4}), nullptr},
      {"IntPair", [] { return hvCreateDoubleMatrix(2, 1); }, nullptr},
      {"IntPair", vec({1}), "pairInt"},
      {"IntPair", vec({1, 2, 3}), "pairInt"},
      {"DoublePair", vec({kInf, -kInf}), nullptr},
      {"DoublePair", vec({1, kNaN}), "pairDbl"},
      {"DoublePair", vec({kNaN, 1}), "pairDbl"},
      {"DoublePair", vec({1, 2, 3}), "pairDbl"},
      {"DoublePair", [] { return hvCreateDoubleMatrix(0, 0); }, "pairDbl"},
      {"PositiveDoubleRange", vec({1, 1}), nullptr},
      {"PositiveDoubleRange", vec({1, kInf}), nullptr},
      {"PositiveDoubleRange", vec({2, 1}), "posRangeDbl"},
      {"PositiveDoubleRange", vec({0, 1}), "posRangeDbl"},
      {"PositiveDoubleRange", vec({1, -1}), "posRangeDbl"},
      {"PositiveDoubleRange", vec({1, kNaN}), "posRangeDbl"},
      {"PositiveDoubleRange", vec({kNaN, 1}), "posRangeDbl"},
      {"PositiveDoubleRange", vec({5}), "posRangeDbl"},
      {"PULVRAStructure", [] { return hvCreateDoubleMatrix(0, 0); }, nullptr},
      {"PULVRAStructure", [] { return hvCreateStructMatrix(1, 1, 0, nullptr); }, nullptr},
      {"PULVRAStructure", [object] { return hvCreateObjectHandle(object); }, nullptr},
      {"PULVRAStructure", scalar(3), "invalidStruct"},
      {"PULVRAStructure", [] { return cellOf({hvCreateDoubleScalar(1)}); }, "invalidStruct"},
      // Callbacks: only the empty cell forms are refused.
      {"StrictHCallback", [] { return hvCreateString("disp(1)"); }, nullptr},
      {"StrictHCallback", [] { return hvCreateString(""); }, nullptr},
      {"StrictHCallback", [] { return functionHandle("f"); }, nullptr},
      {"StrictHCallback",
       [] {
         return cellOf({functionHandle("f"), hvCreateDoubleScalar(2)});
       },
       nullptr},
      {"StrictHCallback", [] { return cellOf({hvCreateString("g")}); }, nullptr},
      {"StrictHCallback", [] { return hvCreateCellMatrix(0, 0); }, "invalidCallback"},
      {"StrictHCallback", [] { return cellOf({hvCreateString("")}); }, "invalidCallback"},
      {"StrictHCallback",
       [] {
         return cellOf({hvCreateDoubleMatrix(0, 0), hvCreateString("x")});
       },
       "invalidCallback"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.type) + (c.id ? " refuses " : " accepts ") +
                 std::to_string(&c - cases));
    const Outcome o = convertAndCheck(c.type, c.make());
    if (c.id == nullptr) {
      EXPECT_EQ(o.refusal, nullptr) << o.refusal->getMessage();
    } else {
      expectRefusal(o, c.id);
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
