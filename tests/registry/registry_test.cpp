// Tests of the registry: ApplicationManager (start-up, products, class names, classes and objects,
// tear-down), the enumerated types made for products, and the constrained data types.
#include "zelobjsys/application_manager.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>

#include "common/hv_values.h"
#include "common/test_product.h"
#include "zelhost/events/hevent.h"
#include "zelobjsys/application_type_manager.h"

namespace zelobjsys {

class ApplicationManagerTestPeer {
 public:
  static void releaseInstance() { ApplicationManager::releaseInstance(); }
};
class ApplicationTypeManagerTestPeer {
 public:
  static QxDataType* createNewEnumType(ApplicationTypeManager& m, const char* name,
                                       const hvArray* names, const std::vector<int>* values) {
    return m.createNewEnumType(name, names, values ? values->data() : nullptr,
                               values ? values->size() : 0);
  }
  static void addType(ApplicationTypeManager& m, QxDataType* type) { m.addType(type); }
  static std::size_t size(const ApplicationTypeManager& m) { return m.types_.size(); }
};

namespace {

using namespace testproduct;
using namespace datatypes;
using hvtest::row;
using Ptrs = std::vector<const void*>;

QxApplication* hostApplication(const char* name) {
  QxInterface* app = QxApplicationManager::getApplication(name);
  return app != nullptr ? static_cast<QxApplication*>(app->getObject()) : nullptr;
}

int countObjects(QxApplication* app) {
  int n = 0;
  QxInterface* o = app->getDefaultDatabase()->getRootObject()->getFirstDown();
  for (; o != nullptr; o = o->getNext()) ++n;
  return n;
}

class ApplicationManagerTest : public ::testing::Test {
 protected:
  void TearDown() override {
    // Whatever a test left registered goes, and the registry with it.
    ApplicationManagerTestPeer::releaseInstance();
    removeConstrainedDataTypes();
    QxApplicationManager::shutdown();
  }
};

// Runs twice in one process: the second round proves start-up after tear-down. What start-up
// registers, the devices of every shell script use; here what tear-down takes back.
TEST_F(ApplicationManagerTest, StartUpBuildsTheFamilyWorldAndTheLastProductTearsItDown) {
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    EXPECT_FALSE(ApplicationManager::isInitialized());
    ApplicationManager* manager = ApplicationManager::getInstance();
    EXPECT_EQ(hostErrorText([] { hoxErrMsgIdAndTxt("lib:oops", "it broke"); }),
              "lib:oops|it broke");
    manager->addProductApplication(kProductName);
    manager->addProductApplication(kProductName);  // once is enough
    manager->addProductApplication("second");
    ApplicationTypeManager* types = manager->getTypeManager(kProductName);
    ASSERT_NE(types, nullptr);
    EXPECT_NE(manager->getProductApplication(kProductName), nullptr);
    EXPECT_EQ(Ptrs({manager->getProductApplication("unknown"), manager->getTypeManager("unknown")}),
              Ptrs({nullptr, nullptr}));
    manager->removeProductApplication(kProductName);
    EXPECT_TRUE(ApplicationManager::isInitialized());
    EXPECT_EQ(Ptrs({hostApplication(kProductName), manager->getTypeManager(kProductName)}),
              Ptrs({nullptr, nullptr}));
    manager->removeProductApplication("second");  // the last one
    EXPECT_FALSE(ApplicationManager::isInitialized());
    EXPECT_EQ(Ptrs({hostApplication("vornix"), hostApplication("second"),
                    QxTypeRepository::getType("PositiveInt"),
                    QxTypeRepository::getType("PIReadOnlyEnumType"), HEventManager::getInstance()}),
              Ptrs(5, nullptr));
  }
}

TEST_F(ApplicationManagerTest, AnExistingFamilyApplicationIsKept) {
  auto* family = new QxApplication("vornix", true);  // the host owns it
  ApplicationManager* manager = ApplicationManager::getInstance();
  EXPECT_EQ(hostApplication("vornix"), family);
  EXPECT_EQ(manager->getPropInfoQxC(), nullptr);  // nobody added "zlprop" to it
  // Nothing registered: removing an unknown product takes the registry down.
  manager->removeProductApplication("nothing");
  EXPECT_FALSE(ApplicationManager::isInitialized());
}

// Applications that are no registered product (the family's own above all)
// serve the registered products: a removal by their name takes nothing away.
TEST_F(ApplicationManagerTest, OnlyARegisteredProductsApplicationIsRemoved) {
  ApplicationManager* manager = ApplicationManager::getInstance();
  manager->addProductApplication(kProductName);
  auto* schema = new TestSchema("Dev");
  ASSERT_TRUE(manager->addProductClass(kProductName, schema));
  {
    Factory factory(schema, "");
    factory.addProperty(factory.createEnumProperty("Mode", "slow", 0), false);
  }
  QxInterface* object = schema->createInstance(nullptr, nullptr, 0);
  manager->addProductObject(kProductName, object);
  QxClass* propInfo = manager->getPropInfoQxC();
  new QxApplication("other", true);  // the host owns it
  const std::pair<const char*, bool> cases[] = {
      {"vornix", true}, {"vornix", false}, {"schema", true}, {"schema", false}, {"other", false}};
  for (const auto& [name, registerFirst] : cases) {
    SCOPED_TRACE(std::string(name) + (registerFirst ? " registered" : ""));
    if (registerFirst) manager->addProductApplication(name);
    EXPECT_EQ(manager->getTypeManager(name), nullptr);
    manager->removeProductApplication(name);
    ASSERT_TRUE(ApplicationManager::isInitialized());
    EXPECT_NE(hostApplication(name), nullptr);
    EXPECT_EQ(manager->getPropInfoQxC(), propInfo);
    QxInterface* mode = recordOf(schema, "Mode")->getInterface();
    EXPECT_EQ(hostErrorText([&] { ZLScopedHvArray v(mode->getPropertyValue("Constraint")); }),
              "(no error)");
    ZLScopedHvArray slow(hvCreateString("slow"));
    EXPECT_EQ(hostErrorText([&] { object->setPropertyValue("Mode", slow); }), "(no error)");
  }
  manager->removeProductApplication(kProductName);
  EXPECT_FALSE(ApplicationManager::isInitialized());
}

TEST_F(ApplicationManagerTest, ClassNamesAreUniquePerProduct) {
  ApplicationManager* manager = ApplicationManager::getInstance();
  manager->addProductApplication(kProductName);
  struct Case {
    const char *base, *qualifier, *expected;
  } cases[] = {{"scope", "A", "scope_1"}, {"scope", "B", "scope_2"}, {"dmm", "A", "dmm_3"},
               {"scope", "A", "scope_1"}, {"sco", "peA", "scope_1"},  // the key is the joined texts
               {nullptr, nullptr, "_4"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.base ? c.base : "null") + (c.qualifier ? c.qualifier : "null"));
    EXPECT_STREQ(manager->requestClassName(kProductName, c.base, c.qualifier), c.expected);
  }
  EXPECT_EQ(std::string(manager->requestClassName("unknown", "scope", "A")) +
                manager->requestClassName(nullptr, "scope", "A"),
            "");
  // Names start again for a product registered anew.
  manager->addProductApplication("keep");
  manager->removeProductApplication(kProductName);
  manager->addProductApplication(kProductName);
  EXPECT_STREQ(manager->requestClassName(kProductName, "dmm", "A"), "dmm_1");
  // Releasing the registry with products left takes their applications too,
  // before the types that their properties use are gone.
  auto* schema = new TestSchema("Dev");
  ASSERT_TRUE(manager->addProductClass("keep", schema));
  {
    Factory factory(schema, "");
    factory.addProperty(factory.createEnumProperty("Mode", "a", 0), false);
  }
  ApplicationManagerTestPeer::releaseInstance();
  EXPECT_FALSE(ApplicationManager::isInitialized());
  EXPECT_EQ(hostApplication("keep"), nullptr);
  EXPECT_EQ(hostApplication(kProductName), nullptr);
}

TEST_F(ApplicationManagerTest, ClassesAreAddedOnceFoundAsSchemasAndKeepTheirTypes) {
  ApplicationManager* manager = ApplicationManager::getInstance();
  manager->addProductApplication(kProductName);
  auto* scope = new TestSchema("Scope");
  EXPECT_TRUE(manager->addProductClass(kProductName, scope));
  std::unique_ptr<TestSchema> twin(new TestSchema("Scope"));
  EXPECT_FALSE(manager->addProductClass(kProductName, twin.get()));  // silently refused; still ours
  std::unique_ptr<TestSchema> orphan(new TestSchema("Orphan"));
  EXPECT_FALSE(manager->addProductClass("unknown", orphan.get()) ||
               manager->addProductClass(kProductName, nullptr) ||
               manager->isProductClass(kProductName, "scope") ||  // exact names
               manager->isProductClass("unknown", "Scope"));
  EXPECT_EQ(Ptrs({manager->getProductClass(kProductName, "Scope"),
                  manager->getProductClass(kProductName, nullptr)}),
            Ptrs({scope, nullptr}));
  // A class of the application that is no schema is not a product class.
  manager->getProductApplication(kProductName)->addLocalClass(new PropInfoQxC);
  EXPECT_FALSE(manager->isProductClass(kProductName, "zlprop"));

  // Enumerated types live with their product.
  {
    Factory factory(scope, "");
    void* mode = factory.createEnumProperty("Mode", "slow", 0);
    factory.addEnumValue(mode, "fast", 1);
    factory.addProperty(mode, false);
  }
  EXPECT_EQ(manager->getClassTypeManager(scope), manager->getTypeManager(kProductName));
  EXPECT_NE(manager->getTypeManager(kProductName)->getType("Mode_ScopeEnumType"), nullptr);
  // A class of no product gets the family's manager, never null.
  EXPECT_TRUE(manager->getClassTypeManager(orphan.get()) && manager->getClassTypeManager(nullptr));
  manager->removeProductApplication(kProductName);
  EXPECT_FALSE(ApplicationManager::isInitialized());
  EXPECT_EQ(QxTypeRepository::getType("Mode_ScopeEnumType"), nullptr);
}

TEST_F(ApplicationManagerTest, ObjectsAreAddedAndRemovedWithAtMostOneWarning) {
  const Message exception{"vornix:removeObjects:exceptionThrown", "release failed"};
  const Message unhandled{"vornix:removeObjects:unhandledError",
                          "An unhandled error occurred while deleting an object."};
  struct Case {
    const char* name;
    bool failing, hostException, warn;
    std::vector<Message> warnings;
  } cases[] = {{"healthy", false, false, true, {}},
               {"host exceptions", true, true, true, {exception}},
               {"other throws", true, false, true, {unhandled}},
               {"not asked to warn", true, true, false, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ApplicationManager* manager = ApplicationManager::getInstance();
    manager->addProductApplication(kProductName);
    TestSchema* schema =
        c.failing ? new FailingSchema("Dev", c.hostException) : new TestSchema("Dev");
    ASSERT_TRUE(manager->addProductClass(kProductName, schema));
    for (int i = 0; i < 3; ++i)
      manager->addProductObject(kProductName, schema->createInstance(nullptr, nullptr, 0));
    manager->addProductObject("unknown", schema->getInterface());  // ignored
    manager->addProductObject(kProductName, nullptr);
    QxApplication* app = manager->getProductApplication(kProductName);
    EXPECT_EQ(countObjects(app), 3);
    MessageCapture log;
    manager->removeProductObjects(kProductName, c.warn);
    manager->removeProductObjects("unknown", true);
    EXPECT_EQ(log.warnings, c.warnings);
    EXPECT_EQ(countObjects(app), 0);  // every object was processed
    manager->removeProductApplication(kProductName);
    EXPECT_FALSE(ApplicationManager::isInitialized());
  }
}

using TypePeer = ApplicationTypeManagerTestPeer;

hvArray* names(const std::vector<const char*>& texts) {
  hvArray* cell = hvCreateCellMatrix(1, texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) hvSetCell(cell, i, hvCreateString(texts[i]));
  return cell;
}

int valueOf(const QxDataType* type, const char* text) {
  const void* v = type->getEnumerationType()->getEnumValue(text);
  return v != nullptr ? *static_cast<const int*>(v) : -1;
}

using ApplicationTypeManagerTest = ApplicationManagerTest;

TEST_F(ApplicationTypeManagerTest, EnumerationsNumberByPositionOrByTheGivenValues) {
  ApplicationTypeManager manager("prod");
  ZLScopedHvArray texts(names({"on", "off", "auto"}));
  // Fewer values than texts: the rest number by position instead of reading past the end.
  const std::vector<int> numbers{10, 20, 30}, one{7};
  struct Case {
    const char* name;
    const std::vector<int>* given;
    std::vector<int> expected;  // of on, off and AUTO
  } cases[] = {
      {"ModeA", nullptr, {0, 1, 2}}, {"ModeB", &numbers, {10, 20, 30}}, {"ModeC", &one, {7, 1, 2}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QxDataType* type = TypePeer::createNewEnumType(manager, c.name, texts, c.given);
    ASSERT_NE(type, nullptr);
    EXPECT_EQ((std::vector<int>{valueOf(type, "on"), valueOf(type, "off"), valueOf(type, "AUTO")}),
              c.expected);
  }
  ZLScopedHvArray none(hvCreateCellMatrix(1, 0));
  QxDataType* empty = TypePeer::createNewEnumType(manager, "Empty", none, nullptr);
  std::unique_ptr<Enumeration> values(empty->getPossibleValues());
  EXPECT_FALSE(values && values->hasMoreElements());
  // Not a cell array, or no name: nothing read, nothing made.
  ZLScopedHvArray number(hvCreateDoubleScalar(3));
  EXPECT_NE(TypePeer::createNewEnumType(manager, "FromNumber", number, nullptr), nullptr);
  EXPECT_EQ(TypePeer::createNewEnumType(manager, nullptr, texts, nullptr), nullptr);
  // Lookups are exact; known names are reused.
  QxDataType* made = TypePeer::createNewEnumType(manager, "Level_DevEnumType", texts, nullptr);
  // Not in the repository until the manager serves it; then a known name is answered with its
  // type (a built-in one too).
  EXPECT_EQ(Ptrs({manager.getType("Level_DevEnumType"), manager.getType("level_devenumtype"),
                  manager.getType(nullptr), QxTypeRepository::getType("Level_DevEnumType")}),
            Ptrs({made, nullptr, nullptr, nullptr}));
  QxTypeRepository::addTypeServer(&manager);
  EXPECT_EQ(TypePeer::createNewEnumType(manager, "double", texts, nullptr),
            QxTypeRepository::getType("double"));
  EXPECT_EQ(TypePeer::createNewEnumType(manager, "Level_DevEnumType", texts, nullptr), made);
  QxTypeRepository::removeTypeServer(&manager);
  // A displaced type stays alive until the manager goes.
  auto* first = new EnumStringType("Twice");
  first->addEnumValue("x", 1);
  TypePeer::addType(manager, first);
  TypePeer::addType(manager, first);  // the same object again changes nothing
  auto* second = new EnumStringType("Twice");
  TypePeer::addType(manager, second);
  EXPECT_EQ(manager.getType("Twice"), second);
  // Still usable by whoever holds it (LeakSanitizer proves it is freed later).
  EXPECT_EQ(valueOf(first, "x"), 1);
  TypePeer::addType(manager, nullptr);
  EXPECT_EQ(TypePeer::size(manager), 7u);
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using ConstrainedDataTypesTest = ApplicationManagerTest;

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
  const struct {
    const char* type;
    hvArray* value;  // taken
    const char* id;  // null: accepted
  } cases[] = {{"IntPair", row({-3, -4}), nullptr},
               {"IntPair", hvCreateDoubleMatrix(2, 1), nullptr},
               {"IntPair", row({1, 2, 3}), "pairInt"},
               {"DoublePair", row({kInf, -kInf}), nullptr},
               {"DoublePair", row({1, kNaN}), "pairDbl"},
               {"DoublePair", row({kNaN, 1}), "pairDbl"},
               {"PositiveDoubleRange", row({1, 1}), nullptr},
               {"PositiveDoubleRange", row({1, kInf}), nullptr},
               {"PositiveDoubleRange", row({2, 1}), "posRangeDbl"},
               {"PositiveDoubleRange", row({0, 1}), "posRangeDbl"},
               {"PositiveDoubleRange", row({1, kNaN}), "posRangeDbl"},
               {"PositiveDoubleRange", row({kNaN, 1}), "posRangeDbl"},
               {"PULVRAStructure", hvCreateDoubleMatrix(0, 0), nullptr},
               {"PULVRAStructure", hvCreateStructMatrix(1, 1, 0, nullptr), nullptr},
               {"PULVRAStructure", hvCreateObjectHandle(object), nullptr},
               {"PULVRAStructure", hvCreateDoubleScalar(3), "invalidStruct"},
               {"PositiveDouble", hvCreateDoubleScalar(1e-300), nullptr},
               {"PositiveDouble", hvCreateDoubleScalar(kNaN), nullptr},
               {"PositiveDouble", hvCreateDoubleScalar(0), "posDbl"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " " + std::to_string(&c - cases));
    EXPECT_EQ(refusalOf(c.type, c.value),
              c.id ? "vornix:set:" + std::string(c.id) + "|" + messages.at(c.id) : "");
  }
  object->destroy(QxDatabaseClient::getInternalClient());
  // Registering twice adds once; removal takes all out.
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
}  // namespace zelobjsys
