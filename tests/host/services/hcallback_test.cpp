// Tests of host callbacks: their forms, how each form runs, failure reports and use counts.
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

// Records what the callbacks ask for; can be told to fail in several ways.
class FakeEvaluator : public HCallbackEvaluator {
 public:
  enum Failure { kNone, kErrorId, kGeneric, kUser, kInterrupt };

  void evalString(const std::string& statements) override {
    statements_.push_back(statements);
    fail();
  }
  void callFunction(const std::string& name, int nargs, hvArray* args[]) override {
    functionName_ = name;
    args_.clear();
    for (int i = 0; i < nargs; ++i)
      args_.push_back(std::make_unique<ZLScopedHvArray>(hvDuplicateArray(args[i])));
    fail();
  }

  Failure failure_ = kNone;
  std::vector<std::string> statements_;
  std::string functionName_;
  std::vector<std::unique_ptr<ZLScopedHvArray>> args_;

 private:
  void fail() {
    switch (failure_) {
      case kErrorId:
        throw new ErrorIdException("cb:failed", "callback failed");
      case kGeneric:
        throw new GenericException("no id here");
      case kUser:
        throw IUserException("cb:user", "user error");
      case kInterrupt:
        throw InterruptException();
      case kNone:
        break;
    }
  }
};

struct CallbackDeleter {
  void operator()(HCallback* cb) const { cb->release(1); }
};
using CallbackPtr = std::unique_ptr<HCallback, CallbackDeleter>;

CallbackPtr makeCallback(hvArray* value) {
  ZLScopedHvArray held(value);
  return CallbackPtr(new HCallback(held));
}

class HCallbackTest : public ServiceSinksTest {
 protected:
  void SetUp() override {
    ServiceSinksTest::SetUp();
    hoxSetCallbackEvaluator(&evaluator_);
  }

  FakeEvaluator evaluator_;
  ZLScopedHvArray object_{hvCreateString("the object")};
  ZLScopedHvArray event_{hvCreateDoubleScalar(7)};
};

TEST_F(HCallbackTest, FormsAndExecutability) {
  struct Case {
    const char* name;
    hvArray* value;
    bool form;
    bool executable;
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
      {"cell, numbers head", cellOf({hvCreateDoubleMatrix(1, 2), hvCreateString("x")}), false,
       false},
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
    // A form is held as a copy; anything else as "no callback".
    ZLScopedHvArray back(cb->toPulvra());
    if (c.form) {
      EXPECT_TRUE(hvIsEqual(back, value));
    } else {
      EXPECT_TRUE(hvIsChar(back) && hvIsEmpty(back));
    }
  }
}

TEST_F(HCallbackTest, RunsStatementsAndFunctionsWithTheirArguments) {
  ZLScopedHvArray statements(hvCreateString("a = 1; b = 2"));
  CallbackPtr text(new HCallback(statements));
  EXPECT_FALSE(text->run(object_, event_));
  EXPECT_EQ(evaluator_.statements_, std::vector<std::string>{"a = 1; b = 2"});
  EXPECT_TRUE(evaluator_.functionName_.empty());
  ZLScopedHvArray copy(text->toPulvra());
  EXPECT_TRUE(hvIsEqual(copy, statements));

  // In a cell, a function's name is called just as its handle is.
  for (hvArray* head : {functionHandle("onEvent"), hvCreateString("onEvent")}) {
    SCOPED_TRACE(hvIsChar(head) ? "name" : "handle");
    CallbackPtr fn = makeCallback(cellOf({head, hvCreateString("first"), hvCreateDoubleScalar(2)}));
    evaluator_.functionName_.clear();
    EXPECT_FALSE(fn->run(object_, event_));
    EXPECT_EQ(evaluator_.functionName_, "onEvent");
    ASSERT_EQ(evaluator_.args_.size(), 4u);
    EXPECT_TRUE(hvIsEqual(*evaluator_.args_[0], object_));
    EXPECT_TRUE(hvIsEqual(*evaluator_.args_[1], event_));
    EXPECT_EQ(zelhox::fcns::getString(*evaluator_.args_[2]), "first");
    EXPECT_EQ(hvGetScalar(*evaluator_.args_[3]), 2.0);
  }

  // A missing object or event reaches the callee as an empty value.
  CallbackPtr bare = makeCallback(functionHandle("g"));
  EXPECT_FALSE(bare->run(nullptr, nullptr));
  ASSERT_EQ(evaluator_.args_.size(), 2u);
  EXPECT_TRUE(hvIsEmpty(*evaluator_.args_[0]));
  EXPECT_TRUE(hvIsEmpty(*evaluator_.args_[1]));

  // Running "no callback" does nothing and is no failure.
  CallbackPtr none = makeCallback(hvCreateString(""));
  EXPECT_FALSE(none->run(object_, event_));
  EXPECT_EQ(evaluator_.statements_.size(), 1u);
  EXPECT_TRUE(errors_.empty());
}

TEST_F(HCallbackTest, FailuresAreReportedAndReturnTrue) {
  const std::pair<FakeEvaluator::Failure, Message> cases[] = {
      {FakeEvaluator::kErrorId, {"cb:failed", "callback failed"}},
      {FakeEvaluator::kGeneric, {"PULVRA:error", "no id here"}},
      {FakeEvaluator::kUser, {"cb:user", "user error"}},
      {FakeEvaluator::kInterrupt, {"PULVRA:interrupt", "Operation terminated by user."}},
  };
  CallbackPtr text = makeCallback(hvCreateString("fail()"));
  CallbackPtr fn = makeCallback(functionHandle("f"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.second.first);
    evaluator_.failure_ = c.first;
    for (HCallback* cb : {text.get(), fn.get()}) {
      errors_.clear();
      EXPECT_TRUE(cb->run(object_, event_));
      EXPECT_EQ(errors_, std::vector<Message>{c.second});
    }
  }
}

TEST_F(HCallbackTest, WithoutEvaluatorHandlesCallHostFunctions) {
  hoxSetCallbackEvaluator(nullptr);
  std::vector<double> seen;
  hoxRegisterFunction("svc_test_fn", [&](int nlhs, hvArray*[], int nrhs, hvArray* prhs[]) {
    EXPECT_EQ(nlhs, 0);
    for (int i = 0; i < nrhs; ++i) seen.push_back(hvGetScalar(prhs[i]));
  });
  CallbackPtr fn = makeCallback(cellOf({functionHandle("svc_test_fn"), hvCreateDoubleScalar(9)}));
  EXPECT_FALSE(fn->run(event_, event_));
  EXPECT_EQ(seen, (std::vector<double>{7, 7, 9}));

  CallbackPtr unknown = makeCallback(functionHandle("cb_no_such_fn"));
  EXPECT_TRUE(unknown->run(object_, event_));
  CallbackPtr text = makeCallback(hvCreateString("x = 1"));
  EXPECT_TRUE(text->run(object_, event_));
  ASSERT_EQ(errors_.size(), 2u);
  EXPECT_EQ(errors_[0], Message("PULVRA:undefinedFunction", "Undefined function 'cb_no_such_fn'."));
  EXPECT_EQ(errors_[1].first, "PULVRA:callback:noEvaluator");
}

// A callback keeps the function it found until the registry changes: each
// row changes the registry (or not) and runs the same callback again.
TEST_F(HCallbackTest, HeldFunctionFollowsTheRegistry) {
  hoxSetCallbackEvaluator(nullptr);
  std::vector<std::string> ran;
  auto recorder = [&ran](const std::string& tag) {
    return [&ran, tag](int, hvArray*[], int, hvArray*[]) { ran.push_back(tag); };
  };
  const char* const kName = "svc_cached_fn";
  CallbackPtr cb = makeCallback(functionHandle(kName));
  struct Row {
    const char* step;
    std::function<void()> change;
    const char* expectRan;  // null: the run fails as an undefined function
  };
  const Row rows[] = {
      {"first registration", [&] { hoxRegisterFunction(kName, recorder("A")); }, "A"},
      {"unchanged registry", [] {}, "A"},
      {"replaced", [&] { hoxRegisterFunction(kName, recorder("B")); }, "B"},
      {"another name registered", [&] { hoxRegisterFunction("svc_other_fn", recorder("X")); }, "B"},
      {"removed", [&] { hoxUnregisterFunction(kName); }, nullptr},
      {"registered again", [&] { hoxRegisterFunction(kName, recorder("C")); }, "C"},
      {"removes itself while running",
       [&] {
         hoxRegisterFunction(kName, [&ran, kName](int, hvArray*[], int, hvArray*[]) {
           hoxUnregisterFunction(kName);
           ran.push_back("D");
         });
       },
       "D"},
      {"after removing itself", [] {}, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.step);
    ran.clear();
    errors_.clear();
    row.change();
    const bool failed = cb->run(object_, event_);
    if (row.expectRan != nullptr) {
      EXPECT_FALSE(failed);
      EXPECT_EQ(ran, std::vector<std::string>{row.expectRan});
      EXPECT_TRUE(errors_.empty());
    } else {
      EXPECT_TRUE(failed);
      EXPECT_TRUE(ran.empty());
      EXPECT_EQ(errors_, std::vector<Message>{Message("PULVRA:undefinedFunction",
                                                      "Undefined function 'svc_cached_fn'.")});
    }
  }
  hoxUnregisterFunction("svc_other_fn");
}

TEST_F(HCallbackTest, UseCountsAreSharedSafelyAcrossThreads) {
  HCallback* cb = new HCallback(object_);
  EXPECT_EQ(cb->getUseCount(), 1);
  cb->addUse();
  EXPECT_EQ(cb->getUseCount(), 2);
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
  auto temporary = std::make_unique<FakeEvaluator>();
  hoxSetCallbackEvaluator(temporary.get());
  temporary.reset();
  EXPECT_EQ(hoxSetCallbackEvaluator(&evaluator_), nullptr);
}

}  // namespace
