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

const std::string kFcnText =
    "vornix:set:invalidFcn|TimerFcn must be set to a string, function handle or a 1-by-N cell "
    "array.\nThe first element of the 1-by-N cell array must be a string or function handle.";

TEST(PropAccessFilterTest, RulesApplyInOrder) {
  QxApplication* app = testproduct::startTestProduct();
  auto* schema = new testproduct::TestSchema("FilterDev");
  app->addLocalClass(schema);
  testproduct::Factory f(schema, nullptr);
  for (const char* name : {"TimerFcn", "Timeout"}) schema->addGenericProperty(&f, name);
  f.addProperty(f.createStringProperty("timerfcn", ""), false);
  f.addProperty(f.createStringProperty("Mode", ""), false);
  f.addProperty(f.createStringProperty("Tag", ""), false);
  QxInterface* object = schema->createInstance(nullptr, nullptr, 0);
  // What the filter chose: "id|message", or "(same)" for the given exception itself.
  auto filtered = [&](Exception* given, const char* name) -> std::string {
    std::unique_ptr<Exception> owned(given);
    QxPropInfo* prop = name != nullptr
                           ? static_cast<QxPropInfo*>(object->getProperty(name)->getObject())
                           : nullptr;
    Exception* chosen = schema->filterPropAccessException(given, object, prop, name);
    if (chosen == given) return "(same)";
    std::unique_ptr<Exception> replacement(chosen);
    auto* e = dynamic_cast<ErrorIdException*>(chosen);
    return e != nullptr ? std::string(e->getId()) + "|" + e->getMessage() : "(other)";
  };
  const struct {
    Exception* given;
    const char* prop;
    std::string chosen;
  } cases[] = {
      {new GenericException("Parameter must be a scalar handle"), nullptr,
       "vornix:set:scalarHandle|Parameter must be a scalar handle"},
      {new GenericException("Parameter must be a scalar handle here"), "Tag",
       "vornix:set:scalarHandle|Parameter must be a scalar handle here"},
      {new GenericException("parameter must be a scalar handle"), "Tag", "(same)"},
      {new GenericException(""), "TimerFcn", kFcnText},
      {new InvalidEnumValueException("bad."), nullptr, "(same)"},
      {new InvalidEnumValueException("No value x"), "Mode",
       "vornix:set:invalidEnum|No value x for the 'Mode' property"},
      {new InvalidEnumValueException("."), "Mode",
       "vornix:set:invalidEnum| for the 'Mode' property"},
      {new ErrorIdException("PULVRA:class:badValue", "b"), "TimerFcn", kFcnText},
      {new ErrorIdException("PULVRA:class:", "b"), "TimerFcn", kFcnText},
      {new ErrorIdException("PULVRA:class:badValue", "b"), "Timeout", "(same)"},
      {new ErrorIdException("vornix:set:invalidCallback", "c"), "TimerFcn", "(same)"},
      {new ErrorIdException("PULVRA:class:badValue", "b"), "timerfcn", "(same)"},
      {new ErrorIdException("x:y", "z"), nullptr, "(same)"},
  };
  int row = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(row++);
    EXPECT_EQ(filtered(c.given, c.prop), c.chosen);
  }
  EXPECT_EQ(schema->filterPropAccessException(nullptr, object, nullptr, "x"), nullptr);
  testproduct::stopTestProduct();
}

}  // namespace
}  // namespace zelobjsys
