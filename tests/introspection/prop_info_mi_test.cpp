// Tests of "propinfo" called through the host: the three call forms, the structures, hidden fields,
// errors.
#include "zelobjsys/prop_info_mi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "introspection/introspection_fixture.h"
#include "zelobjsys/instance_prop_info.h"

namespace zelobjsys {
namespace {

using PropInfoMITest = IntrospectionTest;

std::vector<std::string> fieldNames(const hvArray* s) {
  std::vector<std::string> names;
  for (int k = 0; k < hvGetNumberOfFields(s); ++k) names.push_back(hvGetFieldNameByNumber(s, k));
  return names;
}

std::string text(const hvArray* s, const char* field) {
  return zelhox::fcns::getString(hvGetField(s, 0, field));
}

const std::vector<std::string> kAllFields = {"Type",         "Constraint", "ConstraintValue",
                                             "DefaultValue", "ReadOnly",   "DeviceSpecific"};

TEST_F(PropInfoMITest, NoArgumentDescribesVisiblePropertiesInCaselessOrder) {
  factory_.addInstanceEnum(object_, "Cal", {"lo", "hi"});
  ZLScopedHvArray all(invoke("propinfo", {handle_}));
  ASSERT_TRUE(hvIsStruct(all));
  EXPECT_EQ(hvGetNumberOfElements(all), 1u);
  EXPECT_EQ(fieldNames(all), (std::vector<std::string>{
                                 "alpha", "Beta", "Cal", "Mode", "Name", "Status", "Tag", "Timeout",
                                 "TimerFcn", "TimerPeriod", "Type", "UserData", "Voltage"}));
  for (int k = 0; k < hvGetNumberOfFields(all); ++k) {
    SCOPED_TRACE(hvGetFieldNameByNumber(all, k));
    const hvArray* info = hvGetFieldByNumber(all, 0, k);
    ASSERT_TRUE(hvIsStruct(info));
    EXPECT_EQ(fieldNames(info), kAllFields);
  }
  EXPECT_EQ(text(hvGetField(all, 0, "Cal"), "DefaultValue"), "lo");
}

TEST_F(PropInfoMITest, OneNameGivesThatPropertysStructure) {
  struct Case {
    const char* asked;
    const char* type;
    const char* constraint;
    const char* readOnly;
    bool deviceSpecific;
  } cases[] = {
      {"volt", "double", "bounded", "never", true},
      {"MODE", "string", "enum", "never", false},
      {"Type", "string", "none", "always", false},
      {"timerf", "callback", "callback", "never", false},
      {"Status", "string", "none", "whileRunning", false},
      {"UserData", "any", "none", "never", false},
      {"Secret", "string", "none", "never", false},  // invisible, but named
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    ZLScopedHvArray name(hvCreateString(c.asked));
    ZLScopedHvArray info(invoke("propinfo", {handle_, name}));
    ASSERT_TRUE(hvIsStruct(info));
    EXPECT_EQ(fieldNames(info), kAllFields);
    EXPECT_EQ(text(info, "Type"), c.type);
    EXPECT_EQ(text(info, "Constraint"), c.constraint);
    EXPECT_EQ(text(info, "ReadOnly"), c.readOnly);
    const hvArray* specific = hvGetField(info, 0, "DeviceSpecific");
    EXPECT_TRUE(hvIsLogical(specific) && hvIsScalar(specific));
    EXPECT_EQ(hvGetScalar(specific) != 0, c.deviceSpecific);
  }
}

TEST_F(PropInfoMITest, ValuesAreCopiesAndDefaultsPassThroughTheType) {
  ZLScopedHvArray volt(hvCreateString("Voltage"));
  ZLScopedHvArray voltage(invoke("propinfo", {handle_, volt}));
  const hvArray* bounds = hvGetField(voltage, 0, "ConstraintValue");
  ASSERT_TRUE(hvIsDouble(bounds));
  ASSERT_EQ(hvGetNumberOfElements(bounds), 2u);
  EXPECT_EQ(hvGetPr(bounds)[0], 0);
  EXPECT_EQ(hvGetPr(bounds)[1], 10);
  const auto* record = static_cast<const PropInfo*>(object_->getProperty("Voltage")->getObject());
  EXPECT_NE(bounds, record->getPIConstraintValue());
  EXPECT_EQ(hvGetScalar(hvGetField(voltage, 0, "DefaultValue")), 5);

  // The default was given as "manual"; the type gives it back as it lists it.
  ZLScopedHvArray m(hvCreateString("Mode"));
  ZLScopedHvArray mode(invoke("propinfo", {handle_, m}));
  const auto* modeRecord = static_cast<const PropInfo*>(object_->getProperty("Mode")->getObject());
  EXPECT_EQ(zelhox::fcns::getString(modeRecord->getPIDefaultValue()), "manual");
  EXPECT_EQ(text(mode, "DefaultValue"), "Manual");
  const hvArray* values = hvGetField(mode, 0, "ConstraintValue");
  ASSERT_TRUE(hvIsCell(values));
  ASSERT_EQ(hvGetNumberOfElements(values), 3u);
  EXPECT_EQ(zelhox::fcns::getString(hvGetCell(values, 2)), "off");
}

TEST_F(PropInfoMITest, CellArgumentGivesACellOfStructures) {
  ZLScopedHvArray one(hvCreateCellMatrix(1, 1));
  hvSetCell(one, 0, hvCreateString("Mode"));
  ZLScopedHvArray single(invoke("propinfo", {handle_, one}));
  ASSERT_TRUE(hvIsCell(single));
  EXPECT_EQ(hvGetM(single), 1u);
  EXPECT_EQ(hvGetN(single), 1u);
  EXPECT_EQ(text(hvGetCell(single, 0), "Constraint"), "enum");

  ZLScopedHvArray column(hvCreateCellMatrix(2, 1));
  hvSetCell(column, 0, hvCreateString("beta"));
  hvSetCell(column, 1, hvCreateString("Secret"));
  ZLScopedHvArray two(invoke("propinfo", {handle_, column}));
  ASSERT_TRUE(hvIsCell(two));
  EXPECT_EQ(hvGetM(two), 1u);
  EXPECT_EQ(hvGetN(two), 2u);
  EXPECT_EQ(text(hvGetCell(two, 0), "Type"), "double");
  EXPECT_EQ(text(hvGetCell(two, 1), "DefaultValue"), "s");

  ZLScopedHvArray empty(hvCreateCellMatrix(0, 0));
  EXPECT_EQ(invokeError("propinfo", {handle_, empty}), "(no error)");
  EXPECT_EQ(invoke("propinfo", {handle_, empty}), nullptr);
}

TEST_F(PropInfoMITest, BadArgumentsRaiseTheirErrors) {
  const std::string stringCell =
      "vornix:propinfo:stringCellProp|PROPERTY must be a string or a 1xN cell array of strings.";
  ZLScopedHvArray number(hvCreateDoubleScalar(5));
  ZLScopedHvArray square(hvCreateCellMatrix(2, 2));
  for (hvSize i = 0; i < 4; ++i) hvSetCell(square, i, hvCreateString("Beta"));
  ZLScopedHvArray numberInCell(hvCreateCellMatrix(1, 2));
  hvSetCell(numberInCell, 0, hvCreateString("Beta"));
  hvSetCell(numberInCell, 1, hvCreateDoubleScalar(1));
  ZLScopedHvArray emptyName(hvCreateCellMatrix(1, 2));
  hvSetCell(emptyName, 0, hvCreateString("Beta"));
  hvSetCell(emptyName, 1, hvCreateString(""));
  ZLScopedHvArray unknownInCell(hvCreateCellMatrix(1, 1));
  hvSetCell(unknownInCell, 0, hvCreateString("Nope"));
  ZLScopedHvArray structure(hvCreateStructMatrix(1, 1, 0, nullptr));
  ZLScopedHvArray unknown(hvCreateString("Nope"));
  ZLScopedHvArray ambiguous(hvCreateString("T"));
  ZLScopedHvArray percent(hvCreateString("%s%n"));
  struct Case {
    const char* label;
    const hvArray* argument;
    std::string error;
  } cases[] = {
      {"number", number, stringCell},
      {"2-by-2 cell", square, stringCell},
      {"number in a cell", numberInCell, stringCell},
      {"structure", structure, stringCell},
      {"empty name in a cell", emptyName, "vornix:propinfo:invalidProp|Invalid property: ''."},
      {"unknown name in a cell", unknownInCell,
       "vornix:propinfo:invalidProp|Invalid property: 'Nope'."},
      {"unknown name", unknown, "vornix:propinfo:invalidProp|Invalid property: 'Nope'."},
      {"ambiguous name", ambiguous, "vornix:propinfo:ambiguousProp|Ambiguous property: 'T'."},
      {"name with format characters", percent,
       "vornix:propinfo:invalidProp|Invalid property: '%s%n'."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(invokeError("propinfo", {handle_, c.argument}), c.error);
  }
}

TEST_F(PropInfoMITest, HiddenFieldsAreLeftOutForThatClassOnly) {
  testproduct::TestSchema* other = defineClass("HideDev", otherFactory_);
  PropInfoManager::getInstance()->hideField(testproduct::kProductName, "HideDev",
                                            "ConstraintValue");
  ZLScopedHvArray otherHandle(hvCreateObjectHandle(other->createInstance(nullptr, nullptr, 0)));
  ZLScopedHvArray name(hvCreateString("Voltage"));
  ZLScopedHvArray hidden(
      hoxInvokeMethod(other, "propinfo", 2, std::vector<const hvArray*>{otherHandle, name}.data()));
  EXPECT_EQ(fieldNames(hidden), (std::vector<std::string>{"Type", "Constraint", "DefaultValue",
                                                          "ReadOnly", "DeviceSpecific"}));
  ZLScopedHvArray all(
      hoxInvokeMethod(other, "propinfo", 1, std::vector<const hvArray*>{otherHandle}.data()));
  EXPECT_EQ(fieldNames(hvGetField(all, 0, "Mode")).size(), 5u);
  ZLScopedHvArray shown(invoke("propinfo", {handle_, name}));
  EXPECT_EQ(fieldNames(shown), kAllFields);
}

TEST_F(PropInfoMITest, ClearedEnumerationShowsItsStoredDefault) {
  InstancePropInfo* range = factory_.addInstanceEnum(object_, "Range", {"low", "high"});
  ZLScopedHvArray name(hvCreateString("Range"));
  ZLScopedHvArray before(invoke("propinfo", {handle_, name}));
  EXPECT_EQ(text(before, "DefaultValue"), "low");
  range->clearEnumValues();
  ZLScopedHvArray after(invoke("propinfo", {handle_, name}));
  ASSERT_TRUE(hvIsStruct(after));
  const hvArray* shown = hvGetField(after, 0, "DefaultValue");
  EXPECT_TRUE(hvIsChar(shown));
  EXPECT_TRUE(hvIsEmpty(shown));
  EXPECT_EQ(text(after, "Constraint"), "enum");
  ZLScopedHvArray all(invoke("propinfo", {handle_}));
  EXPECT_TRUE(hvIsStruct(hvGetField(all, 0, "Range")));
}

TEST_F(PropInfoMITest, MissingOrDeletedObjectIsRefused) {
  object_->destroy(QxDatabaseClient::getInternalClient());
  // The host itself refuses a handle of a deleted object ...
  EXPECT_NE(invokeError("propinfo", {handle_}), "(no error)");
  // ... and the method refuses one that reaches it some other way.
  PropInfoMI method;
  int n = -1;
  void* out[1] = {nullptr};
  for (QxInterface* object : {object_, static_cast<QxInterface*>(nullptr)}) {
    void* args[1] = {object};
    EXPECT_EQ(
        hostErrorText([&] { method.invokeMethod(method.getMethodSignature(0), &n, out, 1, args); }),
        "vornix:propinfo:invalidObject|Invalid or deleted object.");
    EXPECT_EQ(n, 0);
  }
}

}  // namespace
}  // namespace zelobjsys
