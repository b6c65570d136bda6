// Tests that the event service's per-key chains pick the same queued event as a scan of the whole
// queue, through insertions at both ends and removals anywhere in a chain.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "zelhost/events/events.h"

namespace {

using zelutil::CoalesceKey;
using zelutil::EventService;
using zelutil::IEvent;

std::set<int> accepting;  // the queued ids a coalescing event may merge into
std::vector<int> mergedInto;
std::vector<int> ran;

struct IdInfo : zelutil::IEventInfo {
  explicit IdInfo(int i) : id(i) {}
  int id;
};

// An event of an owner and a name; keyed selects the service's index, so the
// same steps can run indexed and scanned.
class ChainEvent : public IEvent {
 public:
  ChainEvent(int id, const void* owner, const char* name, bool keyed)
      : IEvent(new IdInfo(id)), owner_(owner), name_(name), keyed_(keyed) {}
  int id() const { return static_cast<IdInfo*>(getEventInfo())->id; }
  bool serviceEvent(bool runFirst) override {
    Match match(owner_, name_);
    Merge merge;
    return serviceOrCoalesceEvent(runFirst, &match, &merge);
  }

  // Same owner and name, and an id that `accepting` lists.
  struct Match : zelutil::IMatchEventFcn {
    Match(const void* o, std::string n) : owner(o), name(std::move(n)) {}
    bool matches(const IEvent* e) const override {
      auto* c = dynamic_cast<const ChainEvent*>(e);
      return c != nullptr && c->owner_ == owner && c->name_ == name && accepting.count(c->id());
    }
    const void* owner;
    std::string name;
  };
  struct Merge : zelutil::IMergeEventInfoFcn {
    void merge(zelutil::IEventInfo* target, const zelutil::IEventInfo*) override {
      mergedInto.push_back(static_cast<IdInfo*>(target)->id);
    }
  };

 protected:
  bool execute() override {
    ran.push_back(id());
    return true;
  }
  CoalesceKey getCoalesceKey() const override {
    return keyed_ ? CoalesceKey{owner_, name_} : CoalesceKey();
  }

 private:
  const void* owner_;
  std::string name_;
  bool keyed_;
};

// Removes the queued events whose ids are listed, without running them.
struct ByIds : zelutil::IMatchEventFcn {
  explicit ByIds(std::set<int> i) : ids(std::move(i)) {}
  bool matches(const IEvent* e) const override {
    auto* c = dynamic_cast<const ChainEvent*>(e);
    return c != nullptr && ids.count(c->id());
  }
  std::set<int> ids;
};

TEST(EventServiceIndexTest, ChainsPickWhatAScanPicks) {
  int a = 0, b = 0;
  struct Step {
    std::set<int> accept;  // before the step
    int id;                // 0: flush `flushed` instead of handing over
    const void* owner;
    bool runFirst;
    std::set<int> flushed;
  };
  const std::vector<Step> steps = {
      {{}, 1, &a, false, {}},       {{}, 2, &a, false, {}},          {{}, 3, &a, false, {}},
      {{}, 4, &a, true, {}},                                       // ahead of its chain: 4 1 2 3
      {{}, 5, &b, false, {}},       {{}, 0, nullptr, false, {2}},  // out of the chain's middle
      {{3, 1}, 6, &a, false, {}},    // the first accepted in queue order is 1
      {{3, 4}, 7, &a, false, {}},    // and here 4
      {{}, 0, nullptr, false, {4}},  // the chain's head goes
      {{1}, 8, &a, false, {}},      {{}, 0, nullptr, false, {1, 3}},  // the chain empties
      {{}, 9, &a, true, {}},        {{9}, 10, &a, false, {}},        {{5}, 11, &b, false, {}},
      {{}, 12, &b, false, {}},      {{}, 0, nullptr, false, {5}},  // the tail of b's chain stays
      {{12}, 13, &b, true, {}},
  };
  std::vector<std::vector<int>> merges, runs;
  for (bool keyed : {false, true}) {
    SCOPED_TRACE(keyed ? "indexed" : "scanned");
    EventService::start();
    mergedInto.clear();
    ran.clear();
    for (const Step& s : steps) {
      SCOPED_TRACE(s.id);
      accepting = s.accept;
      if (s.id == 0) {
        ByIds flush(s.flushed);
        IEvent::flushEvents(&flush, false);
        continue;
      }
      (new ChainEvent(s.id, s.owner, "TimerFcn", keyed))->serviceEvent(s.runFirst);
    }
    EventService::processEvents();
    EventService::stop();
    merges.push_back(mergedInto);
    runs.push_back(ran);
  }
  EXPECT_EQ(merges[1], merges[0]);
  EXPECT_EQ(runs[1], runs[0]);
  EXPECT_EQ(merges[0], (std::vector<int>{1, 4, 1, 9, 5, 12}));
  EXPECT_EQ(runs[0], (std::vector<int>{9, 12}));
}

}  // namespace
