// Tests of the event service: order, coalescing (indexed and scanned), flushing, threads, stop,
// nesting.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "zelhost/events/events.h"
#include "zelhost/events/hevent.h"
#include "zelhost/services/services.h"

using zelutil::CoalesceKey;
using zelutil::EventService;
using zelutil::IEvent;

namespace {

std::atomic<int> deletedEvents{0};
std::vector<int> runLog;  // host thread only

std::string folded(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// An event of one owner and callback name; coalescing ones merge with a queued
// event of the same owner and name (ignoring case). keyed selects the index.
class TestEvent : public IEvent {
 public:
  TestEvent(int id, const void* owner = nullptr, std::string name = "", bool keyed = false)
      : IEvent(nullptr), id_(id), owner_(owner), name_(std::move(name)), keyed_(keyed) {}
  ~TestEvent() override { ++deletedEvents; }

  bool isExecutable() const override { return executable; }
  bool serviceEvent(bool runFirst) override {
    if (owner_ == nullptr) return serviceOrCoalesceEvent(runFirst, nullptr, nullptr);
    Match match(owner_, name_);
    return serviceOrCoalesceEvent(runFirst, &match, nullptr);
  }

  struct Match : zelutil::IMatchEventFcn {
    Match(const void* o, std::string n) : owner(o), name(std::move(n)) {}
    bool matches(const IEvent* e) const override {
      auto* t = dynamic_cast<const TestEvent*>(e);
      return t != nullptr && t->owner_ == owner &&
             (name.empty() || folded(t->name_) == folded(name));
    }
    const void* owner;
    std::string name;
  };

  bool executable = true;
  std::function<void(TestEvent*)> onRun;

 protected:
  bool execute() override {
    runLog.push_back(id_);
    if (onRun) onRun(this);
    return true;
  }
  CoalesceKey getCoalesceKey() const override {
    return keyed_ ? CoalesceKey{owner_, folded(name_)} : CoalesceKey();
  }

 private:
  int id_;
  const void* owner_;
  std::string name_;
  bool keyed_;
};

class EventServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EventService::start();
    runLog.clear();
    deletedEvents = 0;
  }
  void TearDown() override { EventService::stop(); }
};

TEST_F(EventServiceTest, RunsQueuedEventsInOrderAndDeletesThem) {
  auto* skipped = new TestEvent(5);
  skipped->executable = false;
  EXPECT_TRUE((new TestEvent(1))->serviceEvent(false));
  EXPECT_TRUE((new TestEvent(2))->serviceEvent(false));
  EXPECT_TRUE(skipped->serviceEvent(false));
  EXPECT_TRUE((new TestEvent(3))->postEvent(nullptr));
  EXPECT_TRUE((new TestEvent(4))->serviceEvent(true));  // ahead of the others
  EXPECT_EQ(EventService::queuedCount(), 5u);
  EXPECT_EQ(deletedEvents, 0);

  EXPECT_EQ(EventService::processEvents(), 4u);
  EXPECT_EQ(runLog, (std::vector<int>{4, 1, 2, 3}));
  EXPECT_EQ(deletedEvents, 5);  // the one that was not executable too
  EXPECT_EQ(EventService::queuedCount(), 0u);

  // "drawnow" reaches the service while it runs.
  (new TestEvent(6))->serviceEvent(false);
  hoxProcessPendingEvents();
  EXPECT_EQ(runLog.back(), 6);
}

TEST_F(EventServiceTest, CoalescingGivesTheSameResultsWithAndWithoutTheKeyIndex) {
  int a = 0, b = 0;
  struct Step {
    const void* owner;
    const char* name;
    bool runFirst;
    bool queued;
  };
  // Ids are the step numbers; unrelated events (no owner) sit in between.
  const std::vector<Step> steps = {
      {&a, "TimerFcn", false, true},  {&b, "TimerFcn", false, true},
      {&a, "timerfcn", false, false}, {&a, "ErrorFcn", false, true},
      {&b, "TIMERFCN", true, false},  {&a, "", false, false},  // empty name: any of a
      {nullptr, "", false, true},     {&b, "ErrorFcn", true, true},
  };
  std::vector<std::vector<int>> logs;
  for (bool keyed : {false, true}) {
    SCOPED_TRACE(keyed ? "indexed" : "scanned");
    runLog.clear();
    deletedEvents = 0;
    for (int filler = 100; filler < 150; ++filler) (new TestEvent(filler))->serviceEvent(false);
    for (std::size_t i = 0; i < steps.size(); ++i) {
      SCOPED_TRACE(i);
      // An empty name has no exact key: such an event has to scan.
      const bool hasKey = keyed && steps[i].name[0] != '\0';
      auto* e = new TestEvent(static_cast<int>(i), steps[i].owner, steps[i].name, hasKey);
      EXPECT_EQ(e->serviceEvent(steps[i].runFirst), steps[i].queued);
    }
    EXPECT_EQ(deletedEvents, 3);  // the coalesced ones, at once
    EventService::processEvents();
    EXPECT_EQ(deletedEvents, 58);
    logs.push_back(runLog);
  }
  EXPECT_EQ(logs[0], logs[1]);
  ASSERT_EQ(logs[0].size(), 55u);
  EXPECT_EQ(logs[0].front(), 7);
  EXPECT_EQ(std::vector<int>(logs[0].end() - 4, logs[0].end()), (std::vector<int>{0, 1, 3, 6}));
}

TEST_F(EventServiceTest, MergeFunctionSeesBothRecordsOfACoalescence) {
  struct Info : zelutil::IEventInfo {
    explicit Info(int n) : count(n) {}
    int count;
  };
  struct Sum : zelutil::IMergeEventInfoFcn {
    void merge(zelutil::IEventInfo* q, const zelutil::IEventInfo* in) override {
      static_cast<Info*>(q)->count += static_cast<const Info*>(in)->count;
    }
  };
  struct Counted : IEvent {
    explicit Counted(int n) : IEvent(new Info(n)) {}
    bool serviceEvent(bool) override {
      Sum sum;
      struct All : zelutil::IMatchEventFcn {
        bool matches(const IEvent*) const override { return true; }
      } all;
      return serviceOrCoalesceEvent(false, &all, &sum);
    }
    bool execute() override {
      runLog.push_back(static_cast<Info*>(getEventInfo())->count);
      return true;
    }
  };
  EXPECT_TRUE((new Counted(1))->serviceEvent(false));
  EXPECT_FALSE((new Counted(2))->serviceEvent(false));
  EXPECT_FALSE((new Counted(4))->serviceEvent(false));
  EventService::processEvents();
  EXPECT_EQ(runLog, std::vector<int>{7});
}

TEST_F(EventServiceTest, FlushRemovesMatchingEventsAndRunsThemOnRequest) {
  int a = 0, b = 0;
  for (int i = 0; i < 3; ++i) (new TestEvent(i, &a, "x" + std::to_string(i)))->serviceEvent(false);
  for (int i = 10; i < 12; ++i)
    (new TestEvent(i, &b, "x" + std::to_string(i)))->serviceEvent(false);
  (new TestEvent(20))->serviceEvent(false);

  IEvent::flushEvents(nullptr, true);  // flushes nothing
  EXPECT_EQ(EventService::queuedCount(), 6u);

  TestEvent::Match ofA(&a, "");
  IEvent::flushEvents(&ofA, false);
  EXPECT_TRUE(runLog.empty());
  EXPECT_EQ(deletedEvents, 3);

  TestEvent::Match ofB(&b, "X11");
  IEvent::flushEvents(&ofB, true);
  EXPECT_EQ(runLog, std::vector<int>{11});
  EXPECT_EQ(deletedEvents, 4);

  EventService::processEvents();
  EXPECT_EQ(runLog, (std::vector<int>{11, 10, 20}));
}

TEST_F(EventServiceTest, EventsFromAnotherThreadRunOnceInOrder) {
  constexpr int kCount = 2000;
  std::atomic<bool> done{false};
  std::thread producer([&] {
    for (int i = 0; i < kCount; ++i) (new TestEvent(i))->serviceEvent(false);
    done = true;
  });
  while (!done || EventService::queuedCount() > 0) EventService::processEvents();
  producer.join();
  ASSERT_EQ(runLog.size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(runLog[i], i);
  EXPECT_EQ(deletedEvents, kCount);
}

TEST_F(EventServiceTest, StopDeletesQueuedEventsAndLaterHandOversAreDropped) {
  for (int i = 0; i < 3; ++i) (new TestEvent(i))->serviceEvent(false);
  EventService::stop();
  EXPECT_FALSE(EventService::isRunning());
  EXPECT_EQ(deletedEvents, 3);
  EXPECT_FALSE((new TestEvent(9))->serviceEvent(false));
  EXPECT_EQ(deletedEvents, 4);
  hoxProcessPendingEvents();
  EXPECT_EQ(EventService::processEvents(), 0u);
  EXPECT_TRUE(runLog.empty());
  EventService::stop();  // again: nothing
  EventService::start();
  EXPECT_TRUE((new TestEvent(10))->serviceEvent(false));
  EventService::processEvents();
  EXPECT_EQ(runLog, std::vector<int>{10});
}

TEST_F(EventServiceTest, NestedProcessingAndRequeuingAreSafe) {
  // An event that processes events (a callback calling drawnow) runs the rest.
  auto* outer = new TestEvent(1);
  outer->onRun = [](TestEvent*) { hoxProcessPendingEvents(); };
  outer->serviceEvent(false);
  (new TestEvent(2))->serviceEvent(false);
  (new TestEvent(3))->serviceEvent(false);
  EventService::processEvents();
  EXPECT_EQ(runLog, (std::vector<int>{1, 2, 3}));

  // An event that queues a successor runs once per call, not forever; handing
  // itself over again is refused rather than deleting it twice.
  runLog.clear();
  std::function<void(TestEvent*)> requeue = [&requeue](TestEvent* self) {
    EXPECT_FALSE(self->serviceEvent(false));
    auto* next = new TestEvent(7);
    next->onRun = requeue;
    next->serviceEvent(false);
  };
  auto* first = new TestEvent(7);
  first->onRun = requeue;
  EXPECT_TRUE(first->serviceEvent(false));
  EXPECT_FALSE(first->serviceEvent(false));
  EXPECT_EQ(EventService::processEvents(), 1u);
  EXPECT_EQ(EventService::processEvents(), 1u);
  EXPECT_EQ(runLog, (std::vector<int>{7, 7}));
  EXPECT_EQ(EventService::queuedCount(), 1u);
}

}  // namespace
