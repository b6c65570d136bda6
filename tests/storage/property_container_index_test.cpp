// Tests of the container's name index: every entry is found by its exact name only, also after the
// index grows, entries are replaced and instance properties are removed.
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

// A record of its own type, for instance and class lists alike.
class OtherRecord : public ContainerRecord<InstancePropInfo> {
 public:
  explicit OtherRecord(const char* name) : ContainerRecord<InstancePropInfo>(name) {
    PropInfoTestPeer::initQxValuesBeforeAdd(*this, "double");
  }
};

class PropertyContainerIndexTest : public StorageTest {
 protected:
  // Each name must find the entry of that name; every other text finds none.
  void expectFoundExactly(const PropertyContainer& c, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      SCOPED_TRACE(name);
      const KTIPropInfo* info = c.getIPropInfo(name.c_str());
      ASSERT_NE(info, nullptr);
      EXPECT_EQ(info->getPropertyName(), name);
      // Near misses: a prefix, a longer text, another case, a changed byte.
      std::string longer = name + "x";
      std::string shorter = name.substr(0, name.size() - 1);
      std::string upper = name;
      for (char& ch : upper) ch = static_cast<char>(ch ^ 0x20);
      for (const std::string& miss : {longer, shorter, upper}) {
        if (std::find(names.begin(), names.end(), miss) != names.end()) continue;
        EXPECT_FALSE(c.isPropertyAvailable(miss.c_str())) << miss;
      }
    }
  }
};

TEST_F(PropertyContainerIndexTest, ManyNamesAreEachFoundByTheirExactNameOnly) {
  // Names that share prefixes and lengths, and differ only in case, so that
  // hashes and probes collide in every way a short table allows.
  std::vector<std::string> names;
  for (int i = 0; i < 150; ++i) {
    names.push_back("P" + std::to_string(i));
    if (i % 10 == 0) names.push_back("p" + std::to_string(i));
  }
  names.push_back("a");
  names.push_back("A");
  names.push_back("aa");
  for (const std::string& n : names) cls_->addProperty(record(n.c_str(), "double"));
  PropertyContainer& c = *containerOf(newDevice());
  ASSERT_EQ(c.getNumberProps(), static_cast<int>(names.size()));
  expectFoundExactly(c, names);
  std::vector<std::string> sorted = names;  // listed in byte order
  std::sort(sorted.begin(), sorted.end());
  std::vector<const char*> listed(names.size());
  c.getPropNames(listed.data());
  EXPECT_EQ(std::vector<std::string>(listed.begin(), listed.end()), sorted);
  EXPECT_EQ(c.getPropValue("a"), nullptr);  // class properties start empty

  // A set through the index lands in the entry of that name alone.
  const double seven = 7;
  c.setPropValue("p40", &seven, true);
  EXPECT_EQ(c.getPropValueAsDouble("p40"), 7);
  EXPECT_EQ(c.getPropValue("P40"), nullptr);
  EXPECT_EQ(c.getProperty(""), nullptr);
}

TEST_F(PropertyContainerIndexTest, EveryRecordAndNoOtherDescriptorGetsItsEntryWhateverTheMix) {
  // Runs of one kind and changes of kind at every step, in the class and in
  // the object's own list: each entry must hold exactly its own record.
  // r: a record, i: a record of another type, h: a host-only descriptor.
  const char* const kinds[] = {"rr", "rhr", "riri", "hhrr", "iih", "rihrihhr", "hr"};
  for (const char* kind : kinds) {
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
        if (kind[n] == 'i') own = new OtherRecord(name.c_str());
        if (kind[n] == 'r' && instance) own = record<InstancePropInfo>(name.c_str(), "double");
        if (kind[n] == 'r' && !instance) own = record(name.c_str(), "double");
        QxPropInfoTemplate* descriptor = own;
        if (own == nullptr) descriptor = new HostOnlyDescriptor(name.c_str());
        if (instance) {
          object->addInstanceProperty(descriptor);
        } else {
          cls->addProperty(descriptor);
        }
        expected.emplace_back(name, own);
      }
    }
    PropertyContainer c(object);
    int records = 0;
    for (const auto& e : expected) {
      EXPECT_EQ(c.getPropInfo(e.first.c_str()), e.second) << e.first;
      if (e.second != nullptr) ++records;
    }
    EXPECT_EQ(c.getNumberProps(), records);
  }
}

TEST_F(PropertyContainerIndexTest, InstancePropertiesKeepTheIndexTrueAsItGrowsAndShrinks) {
  ZLScopedHvArray one(hvCreateDoubleScalar(1)), two(hvCreateDoubleScalar(2));
  cls_->addProperty(record("Level", "double", one));
  QxInterface* object = hoxCreateObject(cls_, nullptr);
  object->addBelow(app_->getDefaultDatabase()->getRootObject());
  PropertyContainer c(object);
  std::vector<std::string> names = {"Level"};
  // Past several doublings of the table.
  for (int i = 0; i < 40; ++i) {
    names.push_back("Extra" + std::to_string(i));
    PropertyContainerTestPeer::addInstanceProperty(
        c, record<InstancePropInfo>(names.back().c_str(), "double", one));
  }
  expectFoundExactly(c, names);

  // A namesake instance property replaces the class property's entry.
  PropertyContainerTestPeer::addInstanceProperty(c,
                                                 record<InstancePropInfo>("Level", "double", two));
  EXPECT_EQ(c.getPropValueAsDouble("Level"), 2);
  EXPECT_EQ(c.getNumberProps(), 41);

  // Removing every other one leaves the rest found and the removed gone.
  std::vector<std::string> kept = {"Level"};
  for (int i = 0; i < 40; ++i) {
    const std::string name = "Extra" + std::to_string(i);
    if (i % 2 == 0) {
      ASSERT_NE(c.getProperty(name.c_str()), nullptr);  // the last found goes next
      c.removeInstanceProperty(name.c_str());
      EXPECT_EQ(c.getProperty(name.c_str()), nullptr) << name;
    } else {
      kept.push_back(name);
    }
  }
  EXPECT_EQ(c.getNumberProps(), 21);
  expectFoundExactly(c, kept);
  EXPECT_EQ(c.getPropValueAsDouble("Extra39"), 1);
}

}  // namespace
}  // namespace storagetest
}  // namespace zelobjsys
