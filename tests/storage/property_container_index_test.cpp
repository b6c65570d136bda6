// Tests of the container's name index: exact names only, through growth, namesakes and removals.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "storage/test_storage_fixtures.h"
#include "zelobjsys/property.h"
#include "zelobjsys/property_container.h"

namespace zelobjsys {
namespace storagetest {
namespace {

// A descriptor that is not one of the library's records: it gets no entry.
class HostOnlyDescriptor : public QxPropInfoTemplate {
 public:
  explicit HostOnlyDescriptor(const char* name) {
    setName(name);
    setDataType(QxTypeRepository::getType("double", true));
  }
  void* getValue(QxDatabaseClient*, QxInterface*) override { return nullptr; }
  void setValue(QxDatabaseClient*, QxInterface*, const void*) override {}
};

// Each name finds its own entry; a longer, shorter or case-flipped text finds none.
void expectFoundExactly(const PropertyContainer& c, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    const KTIPropInfo* info = c.getIPropInfo(name.c_str());
    ASSERT_NE(info, nullptr) << name;
    EXPECT_EQ(info->getPropertyName(), name);
    std::string upper = name;
    for (char& ch : upper) ch = static_cast<char>(ch ^ 0x20);
    for (const std::string& miss : {name + "x", name.substr(0, name.size() - 1), upper}) {
      if (std::find(names.begin(), names.end(), miss) != names.end()) continue;
      EXPECT_FALSE(c.isPropertyAvailable(miss.c_str())) << miss;
    }
  }
}

using PropertyContainerIndexTest = StorageTest;

// Names that share prefixes and lengths and differ only in case collide in
// every way a short table allows; instance properties grow it past several
// doublings, and removals must leave the probe chains whole.
TEST_F(PropertyContainerIndexTest, EveryNameIsFoundExactlyAsTheIndexGrowsAndShrinks) {
  ZLScopedHvArray one(hvCreateDoubleScalar(1)), two(hvCreateDoubleScalar(2));
  std::vector<std::string> names = {"a", "A", "aa"};
  for (int i = 0; i < 150; ++i) {
    names.push_back("P" + std::to_string(i));
    if (i % 10 == 0) names.push_back("p" + std::to_string(i));
  }
  for (const std::string& n : names) cls_->addProperty(record(n.c_str(), "double", one));
  PropertyContainer& c = *containerOf(newDevice());
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end());
  std::vector<const char*> listed(names.size());
  c.getPropNames(listed.data());
  EXPECT_EQ(std::vector<std::string>(listed.begin(), listed.end()), sorted);
  const double seven = 7;
  c.setPropValue("p40", &seven, true);
  EXPECT_EQ(c.getPropValueAsDouble("p40"), 7);
  EXPECT_EQ(c.getPropValue("P40"), nullptr);  // class properties start empty
  EXPECT_EQ(c.getProperty(""), nullptr);
  for (int i = 0; i < 40; ++i) {
    names.push_back("Extra" + std::to_string(i));
    PropertyContainerTestPeer::addInstanceProperty(
        c, record<InstancePropInfo>(names.back().c_str(), "double", one));
  }
  PropertyContainerTestPeer::addInstanceProperty(c, record<InstancePropInfo>("a", "double", two));
  EXPECT_EQ(c.getPropValueAsDouble("a"), 2);  // the namesake took the class entry
  ASSERT_EQ(c.getNumberProps(), static_cast<int>(names.size()));
  expectFoundExactly(c, names);
  for (int i = 0; i < 40; i += 2) {
    const std::string name = "Extra" + std::to_string(i);
    ASSERT_NE(c.getProperty(name.c_str()), nullptr);
    c.removeInstanceProperty(name.c_str());
    EXPECT_EQ(c.getProperty(name.c_str()), nullptr) << name;
    names.erase(std::find(names.begin(), names.end(), name));
  }
  EXPECT_EQ(c.getNumberProps(), static_cast<int>(names.size()));
  expectFoundExactly(c, names);
  EXPECT_EQ(c.getPropValueAsDouble("Extra39"), 1);
}

// Runs of one kind and changes of kind at every step, in the class and in the
// object's own list: r a record, i a record of another type, h a host-only descriptor.
TEST_F(PropertyContainerIndexTest, EveryRecordAndNoOtherDescriptorGetsItsEntryWhateverTheMix) {
  for (const char* kind : {"rr", "rhr", "riri", "hhrr", "iih", "rihrihhr", "hr"}) {
    SCOPED_TRACE(kind);
    auto* cls = new DeviceClass((std::string("Mix_") + kind).c_str());
    app_->addLocalClass(cls);
    QxInterface* object = hoxCreateObject(cls, nullptr);
    object->addBelow(app_->getDefaultDatabase()->getRootObject());
    std::vector<std::pair<std::string, const PropInfo*>> expected;
    for (int n = 0; kind[n] != '\0'; ++n) {
      for (bool instance : {false, true}) {
        const std::string name = (instance ? "I" : "C") + std::to_string(n);
        PropInfo* own = nullptr;
        if (kind[n] == 'i') own = record<InstancePropInfo>(name.c_str(), "double");
        if (kind[n] == 'r') own = record(name.c_str(), "double");
        QxPropInfoTemplate* d = own;
        if (own == nullptr) d = new HostOnlyDescriptor(name.c_str());
        instance ? object->addInstanceProperty(d) : cls->addProperty(d);
        expected.emplace_back(name, own);
      }
    }
    PropertyContainer c(object);
    int records = 0;
    for (const auto& e : expected) {
      EXPECT_EQ(c.getPropInfo(e.first.c_str()), e.second) << e.first;
      records += e.second != nullptr;
    }
    EXPECT_EQ(c.getNumberProps(), records);
  }
}

}  // namespace
}  // namespace storagetest
}  // namespace zelobjsys
