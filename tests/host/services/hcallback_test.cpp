// Tests of host callbacks: their forms, running through host functions, failure reports, use
// counts.
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/hv_values.h"
#include "host/services/service_test_support.h"
#include "zelhost/services/zelhox.h"

namespace {

using hvtest::cellOf;
using hvtest::functionHandle;

struct CallbackDeleter {
  void operator()(HCallback* cb) const { cb->release(1); }
};
using CallbackPtr = std::unique_ptr<HCallback, CallbackDeleter>;

CallbackPtr makeCallback(hvArray* value) {
  ZLScopedHvArray held(value);
  return CallbackPtr(new HCallback(held));
}

// No evaluator is installed: handles call host functions, statements cannot run.
class HCallbackTest : public ServiceSinksTest {
 protected:
  ZLScopedHvArray object_{hvCreateString("the object")};
  ZLScopedHvArray event_{hvCreateDoubleScalar(7)};
};

TEST_F(HCallbackTest, FormsAndExecutability) {
  struct Case {
    const char* name;
    hvArray* value;
    bool form, executable;
  };
  const Case cases[] = {
      {"statements", hvCreateString("x = 1"), true, true},
      {"empty string", hvCreateString(""), true, false},
      {"handle", functionHandle("f"), true, true},
      {"unfilled handle", functionHandle(nullptr), true, false},
      {"two handles", hvCreateNumericMatrix(1, 2, hvFUNCTION_CLASS), false, false},
      {"cell with handle", cellOf({functionHandle("f"), hvCreateDoubleScalar(1)}), true, true},
      {"cell with a name", cellOf({hvCreateString("f")}), true, true},
      {"empty cell", hvCreateCellMatrix(0, 0), true, false},
      {"cell, empty head", cellOf({hvCreateString(""), functionHandle("f")}), true, false},
      {"cell, empty number head", cellOf({hvCreateDoubleMatrix(0, 0)}), true, false},
      {"cell, number head", cellOf({hvCreateDoubleScalar(1)}), false, false},
      {"cell, numbers head", cellOf({hvCreateDoubleMatrix(1, 2)}), false, false},
      {"nested cell", cellOf({cellOf({hvCreateString("disp")}), hvCreateString("x")}), false,
       false},
      {"number", hvCreateDoubleScalar(3), false, false},
      {"empty number", hvCreateDoubleMatrix(0, 0), false, false},
      {"struct", hvCreateStructMatrix(1, 1, 0, nullptr), false, false},
      {"null", nullptr, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ZLScopedHvArray value(c.value);
    EXPECT_EQ(HCallback::isCallbackForm(value), c.form);
    CallbackPtr cb(new HCallback(value));
    EXPECT_EQ(cb->isExecutable(), c.executable);
    ZLScopedHvArray back(cb->toPulvra());  // a form as a copy; anything else as "no callback"
    EXPECT_TRUE(c.form ? hvIsEqual(back, value) : hvIsChar(back) && hvIsEmpty(back));
  }
}

TEST_F(HCallbackTest, RunsHostFunctionsAndReportsFailures) {
  std::vector<double> seen;
  std::function<void()> fail = [] {};
  hoxRegisterFunction("svc_test_fn", [&](int nlhs, hvArray*[], int nrhs, hvArray* prhs[]) {
    EXPECT_EQ(nlhs, 0);
    for (int i = 0; i < nrhs; ++i) seen.push_back(hvIsEmpty(prhs[i]) ? -1 : hvGetScalar(prhs[i]));
    fail();
  });
  CallbackPtr fn = makeCallback(cellOf({functionHandle("svc_test_fn"), hvCreateDoubleScalar(9)}));
  EXPECT_FALSE(fn->run(event_, event_));
  EXPECT_FALSE(fn->run(nullptr, nullptr));  // missing object and event arrive empty
  EXPECT_EQ(seen, (std::vector<double>{7, 7, 9, -1, -1, 9}));
  EXPECT_FALSE(makeCallback(hvCreateString(""))->run(object_, event_));  // no callback: no failure
  EXPECT_TRUE(errors_.empty());

  const std::pair<std::function<void()>, Message> failures[] = {
      {[] { throw new ErrorIdException("cb:failed", "callback failed"); },
       {"cb:failed", "callback failed"}},
      {[] { throw new GenericException("no id here"); }, {"PULVRA:error", "no id here"}},
      {[] { throw IUserException("cb:user", "user error"); }, {"cb:user", "user error"}},
      {[] { throw InterruptException(); }, {"PULVRA:interrupt", "Operation terminated by user."}},
  };
  for (const auto& f : failures) {
    SCOPED_TRACE(f.second.first);
    errors_.clear();
    fail = f.first;
    EXPECT_TRUE(fn->run(object_, event_));
    EXPECT_EQ(errors_, std::vector<Message>{f.second});
  }
  errors_.clear();
  EXPECT_TRUE(makeCallback(functionHandle("cb_no_such_fn"))->run(object_, event_));
  EXPECT_TRUE(makeCallback(hvCreateString("x = 1"))->run(object_, event_));
  ASSERT_EQ(errors_.size(), 2u);
  EXPECT_EQ(errors_[0], Message("PULVRA:undefinedFunction", "Undefined function 'cb_no_such_fn'."));
  EXPECT_EQ(errors_[1].first, "PULVRA:callback:noEvaluator");
}

// A callback keeps the function it found until the registry changes: each
// row changes the registry (or not) and runs the same callback again.
TEST_F(HCallbackTest, HeldFunctionFollowsTheRegistry) {
  std::vector<std::string> ran;
  auto recorder = [&ran](const std::string& tag) {
    return [&ran, tag](int, hvArray*[], int, hvArray*[]) { ran.push_back(tag); };
  };
  const char* const kName = "svc_cached_fn";
  CallbackPtr cb = makeCallback(functionHandle(kName));
  auto selfRemoving = [&ran, kName](int, hvArray*[], int, hvArray*[]) {
    hoxUnregisterFunction(kName);
    ran.push_back("D");
  };
  const std::pair<std::function<void()>, const char*> rows[] = {
      // null: undefined function
      {[&] { hoxRegisterFunction(kName, recorder("A")); }, "A"},
      {[] {}, "A"},
      {[&] { hoxRegisterFunction(kName, recorder("B")); }, "B"},
      {[&] { hoxRegisterFunction("svc_other_fn", recorder("X")); }, "B"},
      {[&] { hoxUnregisterFunction(kName); }, nullptr},
      {[&] { hoxRegisterFunction(kName, recorder("C")); }, "C"},
      {[&] { hoxRegisterFunction(kName, selfRemoving); }, "D"},
      {[] {}, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    ran.clear();
    errors_.clear();
    row.first();
    EXPECT_EQ(cb->run(object_, event_), row.second == nullptr);
    EXPECT_EQ(ran, row.second ? std::vector<std::string>{row.second} : std::vector<std::string>{});
    EXPECT_EQ(errors_, row.second
                           ? std::vector<Message>{}
                           : std::vector<Message>{Message("PULVRA:undefinedFunction",
                                                          "Undefined function 'svc_cached_fn'.")});
  }
  hoxUnregisterFunction("svc_other_fn");
}

TEST_F(HCallbackTest, UseCountsAreSharedSafelyAcrossThreads) {
  HCallback* cb = new HCallback(object_);
  cb->addUse();
  cb->release(0);  // ignored
  EXPECT_EQ(cb->getUseCount(), 2);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([cb] {
      for (int i = 0; i < 5000; ++i) {
        cb->addUse();
        cb->release(1);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(cb->getUseCount(), 2);
  cb->release(2);  // the last uses: deleted here (LeakSanitizer checks)
}

TEST_F(HCallbackTest, DestroyedEvaluatorIsUninstalled) {
  struct Quiet : HCallbackEvaluator {
    void evalString(const std::string&) override {}
    void callFunction(const std::string&, int, hvArray*[]) override {}
  };
  auto temporary = std::make_unique<Quiet>();
  Quiet kept;
  hoxSetCallbackEvaluator(temporary.get());
  temporary.reset();
  EXPECT_EQ(hoxSetCallbackEvaluator(&kept), nullptr);
  hoxSetCallbackEvaluator(nullptr);
}

}  // namespace
