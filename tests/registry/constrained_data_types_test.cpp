// Tests of the constrained data types: host conversion, then the check, as on a host set.
// The scalar types that devices have, and the callback forms, are in
// storage_checks.zel and registry_types.zel.
#include "zelobjsys/constrained_data_types.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
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

class ConstrainedDataTypesTest : public ::testing::Test {
 protected:
  void TearDown() override {
    removeConstrainedDataTypes();
    QxApplicationManager::shutdown();
  }
};

// Converts value (taken) with the named type's host conversion and runs the
// check: "" when accepted, else "identifier|message".
std::string refusalOf(const char* typeName, hvArray* value) {
  ZLScopedHvArray owned(value);
  for (QxDataType* type : getConstrainedDataTypes()) {
    if (std::string(type->getName()) != typeName) continue;
    void* stored = type->getPulvraConversion()->fromPulvra(owned);
    std::unique_ptr<Exception> refusal(type->checkValue(stored));
    type->destroy(stored);
    const auto* e = dynamic_cast<const ErrorIdException*>(refusal.get());
    if (refusal == nullptr || e == nullptr) return refusal == nullptr ? "" : "(no identifier)";
    return std::string(e->getId()) + "|" + e->getMessage();
  }
  return "(no type)";
}

TEST_F(ConstrainedDataTypesTest, TypesAcceptAndRefuseWithTheirIdentifierAndMessage) {
  const std::map<std::string, std::string> messages = {
      {"posDbl", "Property value must be a scalar greater than 0."},
      {"pairInt", "Property must be a 1x2 vector of integer values."},
      {"pairDbl", "Property must be a 1x2 vector of numeric values."},
      {"posRangeDbl",
       "Property must be a 1x2 vector of numeric values greater than zero with the first value "
       "less than or equal to the second value."},
      {"invalidStruct", "Property value must be a PULVRA structure."}};
  QxInterface* object = hoxCreateObject(nullptr, nullptr);
  auto scalar = [](double x) { return [x] { return hvCreateDoubleScalar(x); }; };
  auto vec = [](std::initializer_list<double> xs) {
    return [v = std::vector<double>(xs)] {
      hvArray* a = hvCreateDoubleMatrix(1, v.size());
      for (std::size_t i = 0; i < v.size(); ++i) hvGetPr(a)[i] = v[i];
      return a;
    };
  };
  auto empty = [] { return hvCreateDoubleMatrix(0, 0); };
  const struct {
    const char* type;
    std::function<hvArray*()> make;
    const char* id;  // null: accepted
  } cases[] = {{"IntPair", vec({-3, -4}), nullptr},
               {"IntPair", [] { return hvCreateDoubleMatrix(2, 1); }, nullptr},
               {"IntPair", vec({1}), "pairInt"},
               {"IntPair", vec({1, 2, 3}), "pairInt"},
               {"DoublePair", vec({kInf, -kInf}), nullptr},
               {"DoublePair", vec({1, kNaN}), "pairDbl"},
               {"DoublePair", vec({kNaN, 1}), "pairDbl"},
               {"DoublePair", vec({1, 2, 3}), "pairDbl"},
               {"DoublePair", empty, "pairDbl"},
               {"PositiveDoubleRange", vec({1, 1}), nullptr},
               {"PositiveDoubleRange", vec({1, kInf}), nullptr},
               {"PositiveDoubleRange", vec({2, 1}), "posRangeDbl"},
               {"PositiveDoubleRange", vec({0, 1}), "posRangeDbl"},
               {"PositiveDoubleRange", vec({1, -1}), "posRangeDbl"},
               {"PositiveDoubleRange", vec({1, kNaN}), "posRangeDbl"},
               {"PositiveDoubleRange", vec({kNaN, 1}), "posRangeDbl"},
               {"PositiveDoubleRange", vec({5}), "posRangeDbl"},
               {"PULVRAStructure", empty, nullptr},
               {"PULVRAStructure", [] { return hvCreateStructMatrix(1, 1, 0, nullptr); }, nullptr},
               {"PULVRAStructure", [object] { return hvCreateObjectHandle(object); }, nullptr},
               {"PULVRAStructure", scalar(3), "invalidStruct"},
               {"PULVRAStructure", [] { return hvtest::cellOf({hvCreateDoubleScalar(1)}); },
                "invalidStruct"},
               {"PositiveDouble", scalar(1e-300), nullptr},
               {"PositiveDouble", scalar(kNaN), nullptr},
               {"PositiveDouble", scalar(kInf), nullptr},
               {"PositiveDouble", scalar(0), "posDbl"},
               {"PositiveDouble", scalar(-0.0), "posDbl"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " " + std::to_string(&c - cases));
    EXPECT_EQ(refusalOf(c.type, c.make()),
              c.id ? "vornix:set:" + std::string(c.id) + "|" + messages.at(c.id) : "");
  }
  object->destroy(QxDatabaseClient::getInternalClient());
}

TEST_F(ConstrainedDataTypesTest, RegisteringTwiceAddsOnceAndRemovalTakesAllOut) {
  EXPECT_EQ(registerConstrainedDataTypes(), 11);
  EXPECT_EQ(registerConstrainedDataTypes(), 0);
  for (bool registered : {true, false}) {
    for (QxDataType* type : getConstrainedDataTypes()) {
      EXPECT_EQ(QxTypeRepository::getType(type->getName(), true), registered ? type : nullptr)
          << type->getName();
      // Types whose storage has an empty form accept null; the others refuse.
      const std::string name = type->getName();
      std::unique_ptr<Exception> refusal(type->checkValue(nullptr));
      EXPECT_EQ(refusal == nullptr, name == "StrictHCallback" || name == "PULVRAStructure");
    }
    removeConstrainedDataTypes();
  }
  EXPECT_EQ(registerConstrainedDataTypes(), 11);
}

}  // namespace
}  // namespace datatypes
}  // namespace zelobjsys
