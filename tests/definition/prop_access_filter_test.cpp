// Tests of the rewriting of property-access errors, called directly. The identifiers users meet on
// the host's road (an invalid, ambiguous or read-only property, a bad enumeration value or
// callback) are in the shell scripts.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/test_product.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/zelhox.h"

namespace zelobjsys {
namespace {

using testproduct::TestSchema;

const char kFcnText[] =
    " must be set to a string, function handle or a 1-by-N cell array.\n"
    "The first element of the 1-by-N cell array must be a string or function handle.";

class PropAccessFilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = testproduct::startTestProduct();
    schema_ = new TestSchema("FilterDev");
    app_->addLocalClass(schema_);
    testproduct::Factory f(schema_, nullptr);
    for (const char* name : {"Type", "TimerFcn", "Timeout"}) schema_->addGenericProperty(&f, name);
    void* mode = f.createEnumProperty("Mode", "auto", 1);
    f.addEnumValue(mode, "manual", 2);
    f.addProperty(mode, false);
    f.addProperty(f.createStringProperty("timerfcn", ""), false);
    f.addProperty(f.createStringProperty("Tag", ""), false);
    object_ = schema_->createInstance(nullptr, nullptr, 0);
  }
  void TearDown() override { testproduct::stopTestProduct(); }

  QxPropInfo* descriptor(const char* name) {
    return static_cast<QxPropInfo*>(object_->getProperty(name)->getObject());
  }

  // Runs the filter and checks what it chose. An empty id means: the given
  // exception itself.
  void expectFiltered(Exception* given, const char* propName, const std::string& id,
                      const std::string& message) {
    std::unique_ptr<Exception> owned(given);
    QxPropInfo* prop = propName != nullptr ? descriptor(propName) : nullptr;
    Exception* chosen = schema_->filterPropAccessException(given, object_, prop, propName);
    if (id.empty()) {
      EXPECT_EQ(chosen, given);
      return;
    }
    std::unique_ptr<Exception> replacement(chosen);
    ASSERT_NE(chosen, given);
    auto* idError = dynamic_cast<ErrorIdException*>(chosen);
    ASSERT_NE(idError, nullptr);
    EXPECT_EQ(std::string(idError->getId()), id);
    EXPECT_EQ(std::string(idError->getMessage()), message);
  }

  QxApplication* app_ = nullptr;
  TestSchema* schema_ = nullptr;
  QxInterface* object_ = nullptr;
};

TEST_F(PropAccessFilterTest, RulesApplyInOrder) {
  struct Case {
    const char* label;
    Exception* given;
    const char* prop;
    std::string id;
    std::string message;
  } cases[] = {
      {"scalar handle, exact", new GenericException("Parameter must be a scalar handle"), nullptr,
       "vornix:set:scalarHandle", "Parameter must be a scalar handle"},
      {"scalar handle, longer", new GenericException("Parameter must be a scalar handle here"),
       "Tag", "vornix:set:scalarHandle", "Parameter must be a scalar handle here"},
      {"scalar handle, lower case p", new GenericException("parameter must be a scalar handle"),
       "Tag", "", ""},
      {"generic, empty text, on a callback", new GenericException(""), "TimerFcn",
       "vornix:set:invalidFcn", std::string("TimerFcn") + kFcnText},
      {"enum without a descriptor", new InvalidEnumValueException("bad."), nullptr, "", ""},
      {"enum with a full stop", new InvalidEnumValueException("There is no value 'x'."), "Mode",
       "vornix:set:invalidEnum", "There is no value 'x' for the 'Mode' property"},
      {"enum without a full stop", new InvalidEnumValueException("No value x"), "Mode",
       "vornix:set:invalidEnum", "No value x for the 'Mode' property"},
      {"enum, a lone full stop", new InvalidEnumValueException("."), "Mode",
       "vornix:set:invalidEnum", " for the 'Mode' property"},
      {"host class error on a callback", new ErrorIdException("PULVRA:class:badValue", "b"),
       "TimerFcn", "vornix:set:invalidFcn", std::string("TimerFcn") + kFcnText},
      {"bare host class prefix on a callback", new ErrorIdException("PULVRA:class:", "b"),
       "TimerFcn", "vornix:set:invalidFcn", std::string("TimerFcn") + kFcnText},
      {"host class error elsewhere", new ErrorIdException("PULVRA:class:badValue", "b"), "Timeout",
       "", ""},
      {"library error on a callback", new ErrorIdException("vornix:set:invalidCallback", "c"),
       "TimerFcn", "", ""},
      {"lower-case fcn suffix", new ErrorIdException("PULVRA:class:badValue", "b"), "timerfcn", "",
       ""},
      {"other error without descriptor", new ErrorIdException("x:y", "z"), nullptr, "", ""},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.label);
    expectFiltered(c.given, c.prop, c.id, c.message);
  }
  EXPECT_EQ(schema_->filterPropAccessException(nullptr, object_, nullptr, "x"), nullptr);
}

}  // namespace
}  // namespace zelobjsys
