// Tests of ApplicationTypeManager: enumerated types made for products, served by name.
#include "zelobjsys/application_type_manager.h"

#include <gtest/gtest.h>

#include "zelhost/objects/qx_application.h"
#include "zelhost/services/zelhox.h"

namespace zelobjsys {

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

using Peer = ApplicationTypeManagerTestPeer;

hvArray* names(const std::vector<const char*>& texts) {
  hvArray* cell = hvCreateCellMatrix(1, texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) hvSetCell(cell, i, hvCreateString(texts[i]));
  return cell;
}

int valueOf(const QxDataType* type, const char* text) {
  const void* v = type->getEnumerationType()->getEnumValue(text);
  return v != nullptr ? *static_cast<const int*>(v) : -1;
}

class ApplicationTypeManagerTest : public ::testing::Test {
 protected:
  void TearDown() override { QxApplicationManager::shutdown(); }
};

TEST_F(ApplicationTypeManagerTest, EnumerationsNumberByPositionOrByTheGivenValues) {
  ApplicationTypeManager manager("prod");
  EXPECT_EQ(manager.getName(), "prod");
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
    QxDataType* type = Peer::createNewEnumType(manager, c.name, texts, c.given);
    ASSERT_NE(type, nullptr);
    EXPECT_TRUE(type->isEnumeration());
    EXPECT_EQ((std::vector<int>{valueOf(type, "on"), valueOf(type, "off"), valueOf(type, "AUTO")}),
              c.expected);
  }
  ZLScopedHvArray none(hvCreateCellMatrix(1, 0));
  QxDataType* empty = Peer::createNewEnumType(manager, "Empty", none, nullptr);
  std::unique_ptr<Enumeration> values(empty->getPossibleValues());
  EXPECT_FALSE(values && values->hasMoreElements());
  // Not a cell array, or no name: nothing read, nothing made.
  ZLScopedHvArray number(hvCreateDoubleScalar(3));
  EXPECT_NE(Peer::createNewEnumType(manager, "FromNumber", number, nullptr), nullptr);
  EXPECT_EQ(Peer::createNewEnumType(manager, nullptr, texts, nullptr), nullptr);
  EXPECT_EQ(Peer::size(manager), 5u);
}

TEST_F(ApplicationTypeManagerTest, LookupIsExactAndKnownNamesAreReused) {
  ApplicationTypeManager manager("prod");
  ZLScopedHvArray texts(names({"a"}));
  QxDataType* made = Peer::createNewEnumType(manager, "Level_DevEnumType", texts, nullptr);
  EXPECT_EQ(manager.getType("Level_DevEnumType"), made);
  EXPECT_EQ(manager.getType("level_devenumtype"), nullptr);
  EXPECT_EQ(manager.getType(nullptr), nullptr);
  // Not in the repository until the manager serves it.
  EXPECT_EQ(QxTypeRepository::getType("Level_DevEnumType"), nullptr);
  QxTypeRepository::addTypeServer(&manager);
  EXPECT_EQ(QxTypeRepository::getType("Level_DevEnumType"), made);
  // A name the repository knows (a built-in here) is answered with that type.
  QxDataType* known = Peer::createNewEnumType(manager, "double", texts, nullptr);
  EXPECT_EQ(known, QxTypeRepository::getType("double"));
  EXPECT_EQ(Peer::createNewEnumType(manager, "Level_DevEnumType", texts, nullptr), made);
  EXPECT_EQ(Peer::size(manager), 1u);
  QxTypeRepository::removeTypeServer(&manager);
}

TEST_F(ApplicationTypeManagerTest, ADisplacedTypeStaysAliveUntilTheManagerGoes) {
  ApplicationTypeManager manager("prod");
  auto* first = new EnumStringType("Twice");
  first->addEnumValue("x", 1);
  Peer::addType(manager, first);
  Peer::addType(manager, first);  // the same object again changes nothing
  auto* second = new EnumStringType("Twice");
  Peer::addType(manager, second);
  EXPECT_EQ(manager.getType("Twice"), second);
  // Still usable by whoever holds it (LeakSanitizer proves it is freed later).
  EXPECT_EQ(valueOf(first, "x"), 1);
  Peer::addType(manager, nullptr);
  EXPECT_EQ(Peer::size(manager), 1u);
}

}  // namespace
}  // namespace zelobjsys
