// Tests of zelobjsys::fcns: handle conversions, the record lookup, and the wait's precedence of
// completion, timeout, interrupt and a destroyed object.
#include "zelobjsys/fcns.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "events/test_events_fixtures.h"
#include "zelhost/types/data_type.h"

namespace zelobjsys {
namespace eventstest {
namespace {

using fcns::WaitStatus;
using Objects = std::vector<QxInterface*>;

// A completion test that answers from a function of the poll number.
struct CountingComplete : fcns::IWaitCompleteFcn {
  explicit CountingComplete(std::function<bool(int)> a) : answer(std::move(a)) {}
  bool isComplete(double) const override { return answer(++asked); }
  std::function<bool(int)> answer;
  mutable int asked = 0;
};

class FcnsTest : public EventsTest {
 protected:
  void SetUp() override {
    EventsTest::SetUp();
    hoxRegisterFunction("drawnow", [this](int, hvArray*[], int, hvArray*[]) {
      ++drawnows_;
      if (onDrawnow_) onDrawnow_();
      hoxProcessPendingEvents();
    });
  }
  void TearDown() override {
    hoxRegisterFunction("drawnow",
                        [](int, hvArray*[], int, hvArray*[]) { hoxProcessPendingEvents(); });
    EventsTest::TearDown();
  }
  int drawnows_ = 0;
  std::function<void()> onDrawnow_;
};

TEST_F(FcnsTest, HandlesConvertBothWays) {
  QxInterface* a = newObject();
  QxInterface* b = newObject();
  ZLScopedHvArray one(fcns::createHandle(a)), two(fcns::createHandles({a, b}));
  EXPECT_EQ(fcns::getQxInterface(one), a);
  EXPECT_EQ(fcns::getQxInterfaces(two), (Objects{a, b}));
  std::unique_ptr<Vector> list(fcns::createHandleVector({b, a}));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(fcns::getQxInterfaces(list.get()), (Objects{b, a}));
  EXPECT_EQ(fcns::createHandleVector({}), nullptr);
  EXPECT_TRUE(fcns::getQxInterfaces(static_cast<const Vector*>(nullptr)).empty());
  ZLScopedHvArray none(fcns::createHandles({}));
  EXPECT_TRUE(fcns::getQxInterfaces(none).empty());
  // Values that name no live object are refused with the host's error.
  ZLScopedHvArray text(hvCreateString("scope"));
  for (const hvArray* bad : {text.get(), static_cast<hvArray*>(nullptr)}) {
    EXPECT_NE(hostErrorText([bad] { fcns::getQxInterface(bad); }), "(no error)");
    EXPECT_NE(hostErrorText([bad] { fcns::getQxInterfaces(bad); }), "(no error)");
  }
}

TEST_F(FcnsTest, PropInfoIsFoundOnlyForDefinitionRecords) {
  // A host descriptor that is not a definition record.
  struct PlainDescriptor : QxPropInfoTemplate {
    PlainDescriptor() { setName("Plain"); }
    void* getValue(QxDatabaseClient*, QxInterface*) override { return nullptr; }
    void setValue(QxDatabaseClient*, QxInterface*, const void*) override {}
  };
  QxInterface* device = newObject();
  auto* record = new TestPropInfo<>("Gain");
  PropInfoTestPeer::initQxValuesBeforeAdd(*record, "double");
  device->addInstanceProperty(record);  // the object owns both from here
  device->addInstanceProperty(new PlainDescriptor);
  EXPECT_EQ(fcns::getPropInfo(device, "Gain"), record);
  EXPECT_EQ(fcns::getPropInfo(device, "gai"), record);
  EXPECT_EQ(fcns::getPropInfo(device, "Plain"), nullptr);
  EXPECT_EQ(fcns::getPropInfo(device, "Missing"), nullptr);
  EXPECT_EQ(fcns::getPropInfo(device, nullptr), nullptr);
  EXPECT_EQ(fcns::getPropInfo(nullptr, "Gain"), nullptr);
}

TEST_F(FcnsTest, WaitHonoursItsOrderOfPrecedence) {
  const auto never = [](int) { return false; };
  const struct {
    const char* name;
    std::function<bool(int)> complete;
    double timeout;
    bool interrupt, destroy;  // at drawnow
    WaitStatus status;
    int asked, drawnows;
  } cases[] = {
      {"complete at once", [](int) { return true; }, 1.0, false, false, fcns::WaitComplete, 1, 0},
      {"zero timeout", never, 0.0, false, false, fcns::WaitTimedOut, 2, 1},
      {"complete at the last poll", [](int n) { return n == 2; }, 0.0, false, false,
       fcns::WaitComplete, 2, 1},
      {"NaN never times out", [](int n) { return n == 20; }, std::nan(""), false, false,
       fcns::WaitComplete, 20, 19},
      {"interrupt before completion", never, 10.0, true, false, fcns::WaitInterrupted, 1, 1},
      {"destruction before interrupt", never, 10.0, true, true, fcns::WaitObjectDeleted, 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    drawnows_ = 0;
    QxInterface* watched = newObject();
    onDrawnow_ = [&] {
      if (c.interrupt) HostInterruptState::SetInterruptPending(true);
      if (c.destroy) watched->destroy(QxDatabaseClient::getInternalClient());
    };
    CountingComplete complete(c.complete);
    EXPECT_EQ(fcns::waitAndProcessEvents(complete, c.timeout, watched), c.status);
    EXPECT_EQ(complete.asked, c.asked);
    EXPECT_EQ(drawnows_, c.drawnows);
    EXPECT_FALSE(HostInterruptState::IsInterruptPending()) << "the interrupt is consumed";
    HostInterruptState::SetInterruptPending(false);
  }
  // A null object is never looked at; an error of the host's processing ends the wait.
  onDrawnow_ = nullptr;
  CountingComplete later([](int n) { return n == 3; });
  EXPECT_EQ(fcns::waitAndProcessEvents(later, 10.0, nullptr), fcns::WaitComplete);
  onDrawnow_ = [] { throw new ErrorIdException("test:drawnow", "drawnow failed"); };
  EXPECT_EQ(hostErrorText([&] { fcns::waitAndProcessEvents(later, 10.0, nullptr); }),
            "test:drawnow|drawnow failed");
}

TEST_F(FcnsTest, EventWaitConsumesAnAutoResetSignalOnly) {
  for (bool manual : {false, true}) {
    SCOPED_TRACE(manual ? "manual reset" : "auto reset");
    zelutil::Event event(manual, false);
    event.set();
    EXPECT_EQ(fcns::waitAndProcessEvents(event, 0.0, nullptr), fcns::WaitComplete);
    EXPECT_EQ(fcns::waitAndProcessEvents(event, 0.0, nullptr),
              manual ? fcns::WaitComplete : fcns::WaitTimedOut);
  }
  EXPECT_FALSE(fcns::WaitForEventFcn(nullptr).isComplete(0.0));
  // Set from another thread while the host waits.
  zelutil::Event event(false, false);
  std::thread setter([&event] {
    zelutil::Thread::sleep(0.02);
    event.set();
  });
  EXPECT_EQ(fcns::waitAndProcessEvents(event, 10.0, nullptr), fcns::WaitComplete);
  setter.join();
}

}  // namespace
}  // namespace eventstest
}  // namespace zelobjsys
