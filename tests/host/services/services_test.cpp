// Tests of the host services: the call registry, error translation, sinks, interrupts, callbacks,
// zelhox's scoped values, errors and time values.
#include "zelhost/services/services.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "common/host_errors.h"
#include "common/hv_values.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/zelhox.h"

namespace {

// Captures warnings and reported errors; leaves every service setting as it found it.
class ServicesTest : public ::testing::Test {
 protected:
  ServicesTest() { hoxSetErrorExceptionFcn(nullptr); }
  ~ServicesTest() override {
    hoxSetErrorExceptionFcn(oldFcn_);
    hoxSetCallbackEvaluator(oldEvaluator_);
    HostInterruptState::SetInterruptPending(false);
    hoxUnregisterFunction("svc_test_fn");
  }
  HoxErrorExceptionFcn oldFcn_ = hoxGetErrorExceptionFcn();
  HCallbackEvaluator* oldEvaluator_ = hoxSetCallbackEvaluator(nullptr);
  MessageCapture sinks_;
  std::vector<Message>& warnings_ = sinks_.warnings;
  std::vector<Message>& errors_ = sinks_.errors;
};

// Calls a function with one input and one output; the output as text.
std::string callForText(const char* name, hvArray* input) {
  hvArray* in[] = {input};
  hvArray* out[] = {reinterpret_cast<hvArray*>(0x1)};  // garbage the call must not read
  hoxCallPULVRA(1, out, 1, in, name);
  ZLScopedHvArray result(out[0]);
  return hvIsChar(result) ? zelhox::fcns::getString(result) : hoxNum2Str(hvGetScalar(result));
}

HoxFunction answer(const char* text) {
  return [text](int, hvArray* plhs[], int, hvArray*[]) { plhs[0] = hvCreateString(text); };
}

TEST_F(ServicesTest, Num2StrFunctionTakesScalarsAndTexts) {
  hvArray* int32 = hvCreateNumericMatrix(1, 1, hvINT32_CLASS);
  hvGetInt32Data(int32)[0] = -42;
  ZLScopedHvArray inputs[] = {ZLScopedHvArray(int32), ZLScopedHvArray(hvCreateLogicalScalar(true)),
                              ZLScopedHvArray(hvCreateString("text")),
                              ZLScopedHvArray(hvCreateDoubleMatrix(0, 0))};
  const char* expected[] = {"-42", "1", "text", ""};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(callForText("num2str", inputs[i]), expected[i]);
  ZLScopedHvArray cell(hvCreateCellMatrix(1, 1)), row(hvCreateDoubleMatrix(1, 3));
  for (hvArray* bad : {cell.get(), row.get(), static_cast<hvArray*>(nullptr)}) {
    EXPECT_EQ(catchErrorId([&] { callForText("num2str", bad); }).first, "PULVRA:num2str:badInput");
  }
  hvArray* in[] = {inputs[0].get()};
  EXPECT_EQ(hoxCallPULVRA(0, nullptr, 1, in, "num2str"), 0);  // result dropped, not leaked
}

TEST_F(ServicesTest, RegistryCallsReplacesAndForgetsFunctions) {
  EXPECT_TRUE(hoxIsFunction("num2str") && hoxIsFunction("drawnow"));
  EXPECT_FALSE(hoxIsFunction(nullptr) || hoxIsFunction("svc_test_fn"));
  hoxRegisterFunction("svc_test_fn", [](int nlhs, hvArray* plhs[], int nrhs, hvArray* prhs[]) {
    EXPECT_EQ(plhs[0], nullptr);  // outputs start empty
    if (nlhs > 0) plhs[0] = hvCreateDoubleScalar(hvGetScalar(prhs[0]) * 2 + nrhs);
  });
  ZLScopedHvArray three(hvCreateDoubleScalar(3));
  EXPECT_EQ(callForText("svc_test_fn", three), "7");
  hoxRegisterFunction("svc_test_fn", answer("replaced"));
  EXPECT_EQ(callForText("svc_test_fn", three), "replaced");
  hoxUnregisterFunction("svc_test_fn");
  EXPECT_EQ(catchErrorId([] { hoxCallPULVRA(0, nullptr, 0, nullptr, "svc_test_fn"); }),
            Message("PULVRA:undefinedFunction", "Undefined function 'svc_test_fn'."));
  EXPECT_EQ(catchErrorId([] { hoxCallPULVRA(0, nullptr, 0, nullptr, nullptr); }).first,
            "PULVRA:undefinedFunction");
  for (auto call : {+[] { hoxCallPULVRA(1, nullptr, 0, nullptr, "num2str"); },
                    +[] { hoxCallPULVRA(0, nullptr, 1, nullptr, "num2str"); }})
    EXPECT_EQ(catchErrorId(call).first, "PULVRA:call:badArguments");
  // A function that fails after making an output: the output is freed.
  hoxRegisterFunction("svc_test_fn", [](int, hvArray* plhs[], int, hvArray*[]) {
    plhs[0] = hvCreateDoubleScalar(1);
    throw new ErrorIdException("test:fail", "after the first output");
  });
  hvArray* two[] = {nullptr, nullptr};
  EXPECT_EQ(catchErrorId([&] { hoxCallPULVRA(2, two, 0, nullptr, "svc_test_fn"); }).first,
            "test:fail");
  EXPECT_EQ(two[0], nullptr);
}

// The refusal's warning is shown by a golden script with a rival product.
TEST_F(ServicesTest, AProductCannotTakeOverAnotherProductsFunction) {
  hoxSetCurrentProduct("first");
  EXPECT_TRUE(hoxRegisterFunction("svc_dev", answer("1")));
  EXPECT_TRUE(hoxRegisterFunction("svc_dev", answer("2")));  // its own: replaced
  hoxSetCurrentProduct("second");
  EXPECT_FALSE(hoxRegisterFunction("svc_dev", answer("3")));
  hoxUnregisterFunction("svc_dev");  // the second's unload must not remove it either
  EXPECT_EQ(callForText("svc_dev", nullptr), "2");
  EXPECT_EQ(warnings_.size(), 1u);
  hoxSetCurrentProduct("first");
  hoxUnregisterFunction("svc_dev");
  hoxSetCurrentProduct("second");
  EXPECT_TRUE(hoxRegisterFunction("svc_dev", answer("4")));  // free again
  EXPECT_EQ(hoxSetCurrentProduct(""), "second");
  hoxUnregisterFunction("svc_dev");  // outside a product anything may be removed
  EXPECT_FALSE(hoxIsFunction("svc_dev"));
}

TEST_F(ServicesTest, InHoxCallTranslatesFailuresAndInterrupts) {
  const Message interrupted("interrupt", "");
  const std::pair<std::function<void()>, Message> cases[] = {
      {[] { throw new ErrorIdException("a:b", "msg"); }, {"a:b", "msg"}},
      {[] { throw new GenericException("plain"); }, {"PULVRA:error", "plain"}},
      {[] { throw new zelutil::ZLException("lib:x", "n=%d", 4); }, {"lib:x", "n=4"}},
      {[] { throw std::runtime_error("boom"); }, {"PULVRA:error", "boom"}},
      {[] { throw IUserException("u:v", "nested"); }, {"u:v", "nested"}},
      {[] { hoxCallPULVRA(0, nullptr, 0, nullptr, "svc_none"); },
       {"PULVRA:undefinedFunction", "Undefined function 'svc_none'."}},
      {[] { throw InterruptException(); }, interrupted},
      // Ctrl-C during a call that then returns normally: the interrupt wins.
      {[] { HostInterruptState::SetInterruptPending(true); }, interrupted},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.second.first);
    hoxRegisterFunction("svc_test_fn", [&](int, hvArray* plhs[], int, hvArray*[]) {
      plhs[0] = hvCreateDoubleScalar(1);
      c.first();
    });
    hvArray* out[] = {nullptr};
    Message got;
    try {
      inHoxCallPULVRA(1, out, 0, nullptr, "svc_test_fn", 0);
    } catch (const IUserException& e) {
      got = Message(e.getId(), e.getMessage());
    } catch (const InterruptException&) {
      got = interrupted;
    }
    EXPECT_EQ(got, c.second);
    EXPECT_EQ(out[0], nullptr);  // the output made before the failure is freed
  }
}

TEST_F(ServicesTest, ErrorsGoThroughTheInstalledFunctionAndNeverReturn) {
  EXPECT_EQ(catchErrorId([] { hoxErrMsgIdAndTxt("x:y", "text"); }), Message("x:y", "text"));
  EXPECT_EQ(catchErrorId([] { hoxErrMsgIdAndTxt(nullptr, nullptr); }), Message("PULVRA:error", ""));
  hoxSetErrorExceptionFcn([](const char* id, const char*) { throw std::string(id); });
  EXPECT_THROW(hoxErrMsgIdAndTxt("via:fcn", "m"), std::string);
  // A function that forgets to throw must not make the error disappear.
  static int calls;
  calls = 0;
  hoxSetErrorExceptionFcn([](const char*, const char*) { ++calls; });
  EXPECT_EQ(catchErrorId([] { hoxErrMsgIdAndTxt("still:thrown", "m"); }).first, "still:thrown");
  EXPECT_EQ(calls, 1);
}

TEST_F(ServicesTest, WarningsAndErrorsReachTheSinksOrStandardOutput) {
  hoxWarnMsgIdAndTxt("w:one", "first");
  hoxWarnMsgIdAndTxt(nullptr, "anonymous");
  hoxReportError("", "no id");
  EXPECT_EQ(warnings_, (std::vector<Message>{{"w:one", "first"}, {"PULVRA:warning", "anonymous"}}));
  EXPECT_EQ(errors_, std::vector<Message>{Message("PULVRA:error", "no id")});

  HoxMessageSink mine = hoxSetWarningSink(HoxMessageSink());
  HoxMessageSink mineErrors = hoxSetErrorSink(HoxMessageSink());
  testing::internal::CaptureStdout();
  hoxWarnMsgIdAndTxt("w:two", "printed");
  hoxReportError("e:two", "line one\nline two");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Warning (w:two): printed\nError (e:two): line one\nline two\n");
  hoxSetWarningSink(mine);
  hoxSetErrorSink(mineErrors);

  IUserException user("u:e", "went wrong");
  std::unique_ptr<HostExceptionEnvelope> envelope(hoxWrapUserException(user));
  hoxReportUnhandledError(*envelope, u"");
  // A two-byte letter, an emoji as a surrogate pair, a lone surrogate, then
  // each side of every boundary between encoded lengths.
  const char16_t text[] = {u'\u00e4', u' ',  0xD83D, 0xDE00, u' ',   0xDC00, 0x7F, 0x80,
                           0x7FF,     0x800, 0xFFFF, 0xD800, 0xDC00, u':',   u' ', 0};
  hoxReportUnhandledError(*envelope, text);
  hoxReportUnhandledInterrupt(InterruptException());
  ASSERT_EQ(errors_.size(), 4u);
  EXPECT_EQ(errors_[1], Message("u:e", "went wrong"));
  EXPECT_EQ(errors_[2].second,
            "\xC3\xA4 \xF0\x9F\x98\x80 \xEF\xBF\xBD\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"
            "\xF0\x90\x80\x80: went wrong");
  EXPECT_EQ(errors_[3], Message("PULVRA:interrupt", "Operation terminated by user."));
}

TEST_F(ServicesTest, InterruptStateScopedModesAndDrawnow) {
  std::thread([] { HostInterruptState::SetInterruptPending(true); }).join();
  EXPECT_TRUE(HostInterruptState::IsInterruptPending());
  HostInterruptState::SetInterruptPending(false);
  EXPECT_FALSE(HostInterruptState::IsInterruptPending());
  auto modes = [] {
    return std::make_pair(HostInterruptScope::areInterruptsEnabled(),
                          AllocErrorModeGuard::currentMode());
  };
  {
    HostInterruptScope on(HostInterruptScope::on);
    AllocErrorModeGuard one(1);
    {
      HostInterruptScope off(HostInterruptScope::off);
      AllocErrorModeGuard two(2);
      EXPECT_EQ(modes(), std::make_pair(false, 2));
    }
    EXPECT_EQ(modes(), std::make_pair(true, 1));
  }
  EXPECT_EQ(modes(), std::make_pair(false, 0));
  int runs = 0;
  HoxEventProcessor old = hoxSetEventProcessor([&] { ++runs; });
  hoxCallPULVRA(0, nullptr, 0, nullptr, "drawnow");
  hoxSetEventProcessor(HoxEventProcessor());
  hoxProcessPendingEvents();  // without a processor: nothing happens
  EXPECT_EQ(runs, 1);
  hoxSetEventProcessor(old);
}

// zelsh's help shows registered functions' help; these are the edges.
TEST_F(ServicesTest, FunctionHelpShowsOnlyWhileTheFunctionIsRegistered) {
  HoxFunctionHelp help;
  auto listed = [] {
    std::vector<std::string> names = hoxFunctionNames();
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    return std::count(names.begin(), names.end(), "svc_help_fn");
  };
  hoxSetFunctionHelp("svc_help_fn", "svc_help_fn(X)", "Doubles X.");
  EXPECT_FALSE(hoxGetFunctionHelp("svc_help_fn", &help));  // help alone is not a function
  hoxRegisterFunction("svc_help_fn", answer(""));
  ASSERT_TRUE(hoxGetFunctionHelp("svc_help_fn", &help));
  EXPECT_EQ(help.usage + " | " + help.description, "svc_help_fn(X) | Doubles X.");
  EXPECT_EQ(listed(), 1);
  hoxSetFunctionHelp("svc_help_fn", "", nullptr);  // empty texts remove it
  EXPECT_FALSE(hoxGetFunctionHelp("svc_help_fn", &help));
  hoxSetFunctionHelp("svc_help_fn", "svc_help_fn()", "");
  hoxUnregisterFunction("svc_help_fn");
  EXPECT_FALSE(hoxGetFunctionHelp("svc_help_fn", &help) || hoxGetFunctionHelp(nullptr, &help));
  EXPECT_EQ(listed(), 0);
}

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
class HCallbackTest : public ServicesTest {
 protected:
  ZLScopedHvArray object_{hvCreateString("the object")};
  ZLScopedHvArray event_{hvCreateDoubleScalar(7)};
};

// Device callback sets show which values are refused; here what a form holds and runs.
TEST_F(HCallbackTest, FormsAndExecutability) {
  const std::tuple<const char*, hvArray*, bool, bool> cases[] = {
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
      {"null", nullptr, false, false},
  };
  for (const auto& [name, held, form, executable] : cases) {
    SCOPED_TRACE(name);
    ZLScopedHvArray value(held);
    EXPECT_EQ(HCallback::isCallbackForm(value), form);
    CallbackPtr cb(new HCallback(value));
    EXPECT_EQ(cb->isExecutable(), executable);
    ZLScopedHvArray back(cb->toPulvra());  // a form as a copy; anything else as "no callback"
    EXPECT_TRUE(form ? hvIsEqual(back, value) : hvIsChar(back) && hvIsEmpty(back));
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
      {[] { throw new zelutil::ZLException("cb:lib", "n=%d", 2); }, {"cb:lib", "n=2"}},
      {[] { throw std::runtime_error("boom"); }, {"PULVRA:error", "boom"}},
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

TEST(ZLScopedHvArrayTest, ResetAndReleaseHandOwnershipOn) {
  hvArray* first = hvCreateDoubleScalar(1);
  ZLScopedHvArray held(first);
  EXPECT_EQ(held.get(), first);
  held.reset(first);  // the same value again: kept, not freed
  EXPECT_EQ(hvGetScalar(held), 1.0);
  held.reset(hvCreateDoubleScalar(2));  // frees the first (LeakSanitizer checks)
  EXPECT_EQ(hvGetScalar(held), 2.0);
  hvArray* given = held.release();
  EXPECT_EQ(held.get(), nullptr);
  ZLScopedHvArray taker(given);  // LeakSanitizer checks the hand-over
}

void throwText(const char* id, const char* message) { throw std::string(id) + "|" + message; }

TEST_F(ServicesTest, GeneralExceptionPostsAsHostErrorWarningsReturn) {
  ZLGeneralException e("vornix:set:bad", "Value %d is %s.", 5, "too big");
  ZLGeneralException copy(e);
  copy.prependMessage("Setting: ");
  EXPECT_STREQ(e.getMessage(), "Value 5 is too big.");
  EXPECT_EQ(catchErrorId([&] { copy.post(); }),
            Message("vornix:set:bad", "Setting: Value 5 is too big."));
  zelhox::fcns::warn("lib:warn", "careful", 0);
  EXPECT_EQ(warnings_, std::vector<Message>{Message("lib:warn", "careful")});
  zelhox::fcns::setErrorExceptionFcn(throwText);
  EXPECT_EQ(hoxGetErrorExceptionFcn(), &throwText);
  std::vector<std::string> thrown;
  for (const std::function<void()>& post :
       {std::function<void()>([&] { e.post(); }),
        std::function<void()>([] { zelhox::fcns::error("lib:err", "direct", 0); })}) {
    try {
      post();
    } catch (const std::string& text) {
      thrown.push_back(text);
    }
  }
  EXPECT_EQ(thrown,
            (std::vector<std::string>{"vornix:set:bad|Value 5 is too big.", "lib:err|direct"}));
  ZLScopedHvArray text(hvCreateString("hello")), number(hvCreateDoubleScalar(1));
  EXPECT_EQ(zelhox::fcns::getString(text), "hello");
  EXPECT_EQ(zelhox::fcns::getString(number) + zelhox::fcns::getString(nullptr), "");
}

// Puts the zone of the process back after the test.
struct ZoneGuard {
  const char* saved = std::getenv("TZ");
  std::string old = saved ? saved : "";
  ~ZoneGuard() {
    saved ? setenv("TZ", old.c_str(), 1) : unsetenv("TZ");
    tzset();
  }
};

// Fractions (also before the epoch, counting forward from the whole second),
// consecutive stamps on both sides of daylight-saving changes, and a change of
// zone within one second: each gives its own zone's local time.
TEST(TimeArrayTest, LocalCalendarTimeFollowsZoneAndDaylightSaving) {
  const char* const kCentral = "CET-1CEST,M3.5.0,M10.5.0/3";
  struct Row {
    const char* zone;
    double seconds;  // since the epoch, UTC
    double expected[6];
  };
  const Row rows[] = {
      {"UTC0", 1626253530.375, {2021, 7, 14, 9, 5, 30.375}},
      {"UTC0", -0.25, {1969, 12, 31, 23, 59, 59.75}},
      {kCentral, 1774745999.25, {2026, 3, 29, 1, 59, 59.25}},  // 00:59:59 UTC, winter
      {kCentral, 1774745999.75, {2026, 3, 29, 1, 59, 59.75}},  // same second
      {kCentral, 1774746000.5, {2026, 3, 29, 3, 0, 0.5}},      // summer time begins
      {kCentral, 1774745999.5, {2026, 3, 29, 1, 59, 59.5}},    // back before it
      {kCentral, 1792889999.0, {2026, 10, 25, 2, 59, 59}},     // last summer second
      {kCentral, 1792890000.0, {2026, 10, 25, 2, 0, 0}},       // the hour repeats
      {kCentral, 1792893599.0, {2026, 10, 25, 2, 59, 59}},
      {"UTC0", 1792893599.0, {2026, 10, 25, 1, 59, 59}},  // same second, new zone
      {"EST5EDT,M3.2.0,M11.1.0", 1792893599.0, {2026, 10, 24, 21, 59, 59}},
      // Same names and offsets, summer time from the fourth Sunday instead of
      // the last: the same second is converted again.
      {kCentral, 1774267200.0, {2026, 3, 23, 13, 0, 0}},
      {"CET-1CEST,M3.4.0,M10.5.0/3", 1774267200.0, {2026, 3, 23, 14, 0, 0}},
  };
  ZoneGuard guard;
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.zone) + " " + std::to_string(row.seconds));
    setenv("TZ", row.zone, 1);
    tzset();
    ZLScopedHvArray time(zelhox::fcns::time::createTimeArray(zelutil::Timestamp(row.seconds)));
    ASSERT_TRUE(hvIsDouble(time) && hvGetM(time) == 1 && hvGetN(time) == 6);
    for (int i = 0; i < 6; ++i)
      EXPECT_NEAR(hvGetElementAsDouble(time, i), row.expected[i], 1e-6) << i;
  }
  for (double bad : {std::nan(""), HUGE_VAL, 1e300}) {
    ZLScopedHvArray none(zelhox::fcns::time::createTimeArray(zelutil::Timestamp(bad)));
    ASSERT_EQ(hvGetN(none), 6u);
    EXPECT_TRUE(std::isnan(hvGetElementAsDouble(none, 0))) << bad;
  }
}

}  // namespace
