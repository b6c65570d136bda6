// Tests of HEventInfo's event structure and of HEventManager's hold on the event service.
#include "zelhost/events/hevent.h"

#include <gtest/gtest.h>

#include <string>

#include "zelhost/services/zelhox.h"

namespace {

std::string textOf(const hvArray* a) {
  char* text = hvArrayToString(a);
  std::string s = text != nullptr ? text : "<not text>";
  hvFree(text);
  return s;
}

class NumberInfo : public HEventInfo {
 public:
  NumberInfo() : HEventInfo("Number", false) {}
  hvArray* createHvEventData() const override {
    const char* names[] = {"Value"};
    hvArray* data = hvCreateStructMatrix(1, 1, 1, names);
    hvSetFieldByNumber(data, 0, 0, hvCreateDoubleScalar(42));
    return data;
  }
};

class NoDataInfo : public HEventInfo {
 public:
  NoDataInfo() : HEventInfo(nullptr, true) {}
  hvArray* createHvEventData() const override { return nullptr; }
};

TEST(EventServiceHEventTest, EventStructureHoldsTypeAndData) {
  NumberInfo number;
  ZLScopedHvArray s(number.createPulvraStructure());
  ASSERT_TRUE(hvIsStruct(s));
  ASSERT_EQ(hvGetNumberOfFields(s), 2);
  EXPECT_STREQ(hvGetFieldNameByNumber(s, 0), "Type");
  EXPECT_STREQ(hvGetFieldNameByNumber(s, 1), "Data");
  EXPECT_EQ(textOf(hvGetField(s, 0, "Type")), "Number");
  EXPECT_EQ(hvGetScalar(hvGetField(hvGetField(s, 0, "Data"), 0, "Value")), 42.0);

  // The base gives an empty structure; so does a subclass that gives none.
  HEventInfo plain("Plain", false);
  NoDataInfo none;
  for (const HEventInfo* info :
       {static_cast<const HEventInfo*>(&plain), static_cast<const HEventInfo*>(&none)}) {
    SCOPED_TRACE(info->getType());
    ZLScopedHvArray e(info->createPulvraStructure());
    const hvArray* data = hvGetField(e, 0, "Data");
    EXPECT_TRUE(hvIsStruct(data));
    EXPECT_EQ(hvGetNumberOfElements(data), 1u);
    EXPECT_EQ(hvGetNumberOfFields(data), 0);
    EXPECT_EQ(textOf(hvGetField(e, 0, "Type")), info->getType());
  }
}

TEST(EventServiceHEventTest, ManagerStartsAndStopsTheService) {
  struct Counted : zelutil::IEvent {
    explicit Counted(int* deleted) : IEvent(new HEventInfo("T", false)), deleted_(deleted) {}
    ~Counted() override { ++*deleted_; }
    bool execute() override {
      ADD_FAILURE() << "ran after the manager was destroyed";
      return true;
    }
    int* deleted_;
  };
  EXPECT_EQ(HEventManager::getInstance(), nullptr);
  HEventManager* manager = HEventManager::createInstance();
  EXPECT_EQ(HEventManager::createInstance(), manager);
  EXPECT_EQ(HEventManager::getInstance(), manager);
  EXPECT_TRUE(zelutil::EventService::isRunning());

  int deleted = 0;
  EXPECT_TRUE((new Counted(&deleted))->serviceEvent(false));
  HEventManager::destroyInstance();
  EXPECT_EQ(deleted, 1);
  EXPECT_FALSE(zelutil::EventService::isRunning());
  EXPECT_EQ(HEventManager::getInstance(), nullptr);
  HEventManager::destroyInstance();  // nothing to do
}

}  // namespace
