// Tests of HEventInfo's event structure and of HEventManager's hold on the event service.
#include "zelhost/events/hevent.h"

#include <gtest/gtest.h>

#include "zelhost/services/zelhox.h"

namespace {

// Data of one field Value = 42, or (none) no data at all.
class NumberInfo : public HEventInfo {
 public:
  explicit NumberInfo(bool none) : HEventInfo(none ? nullptr : "Number", false), none_(none) {}
  hvArray* createHvEventData() const override {
    if (none_) return nullptr;
    const char* names[] = {"Value"};
    hvArray* data = hvCreateStructMatrix(1, 1, 1, names);
    hvSetFieldByNumber(data, 0, 0, hvCreateDoubleScalar(42));
    return data;
  }
  bool none_;
};

TEST(EventServiceHEventTest, EventStructureHoldsTypeAndDataEmptyWhenNoneIsGiven) {
  NumberInfo number(false), none(true);
  HEventInfo plain("Plain", false);
  const struct {
    const HEventInfo* info;
    const char* type;
    int dataFields;
  } rows[] = {{&number, "Number", 1}, {&none, "", 0}, {&plain, "Plain", 0}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.type);
    ZLScopedHvArray s(r.info->createPulvraStructure());
    ASSERT_EQ(hvGetNumberOfFields(s), 2);
    EXPECT_STREQ(hvGetFieldNameByNumber(s, 0), "Type");
    EXPECT_STREQ(hvGetFieldNameByNumber(s, 1), "Data");
    EXPECT_EQ(zelhox::fcns::getString(hvGetField(s, 0, "Type")), r.type);
    const hvArray* data = hvGetField(s, 0, "Data");
    ASSERT_TRUE(hvIsStruct(data));
    EXPECT_EQ(hvGetNumberOfElements(data), 1u);
    EXPECT_EQ(hvGetNumberOfFields(data), r.dataFields);
  }
  ZLScopedHvArray s(number.createPulvraStructure());
  EXPECT_EQ(hvGetScalar(hvGetField(hvGetField(s, 0, "Data"), 0, "Value")), 42.0);
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
