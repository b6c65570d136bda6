// Tests of the host services: calls, errors, sinks, interrupts, callbacks, zelhox, time, zelutil.
#include "zelhost/services/services.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "common/host_errors.h"
#include "common/hv_values.h"

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

const Message kInterrupted("PULVRA:interrupt", "Operation terminated by user.");

// Each way a called function can fail, and the error it becomes.
const std::pair<std::function<void()>, Message> kFailures[] = {
    {[] { throw new ErrorIdException("a:b", "msg"); }, {"a:b", "msg"}},
    {[] { throw new GenericException("plain"); }, {"PULVRA:error", "plain"}},
    {[] { throw new zelutil::ZLException("lib:x", "n=%d", 4); }, {"lib:x", "n=4"}},
    {[] { throw std::runtime_error("boom"); }, {"PULVRA:error", "boom"}},
    {[] { throw IUserException("u:v", "nested"); }, {"u:v", "nested"}},
    {[] { throw InterruptException(); }, kInterrupted},
};

TEST_F(ServicesTest, Num2StrFunctionTakesScalarsAndTexts) {
  ZLScopedHvArray int32(hvCreateNumericMatrix(1, 1, hvINT32_CLASS)),
      yes(hvCreateLogicalScalar(true)), text(hvCreateString("text")),
      none(hvCreateDoubleMatrix(0, 0));
  hvGetInt32Data(int32)[0] = -42;
  std::string all;
  for (hvArray* in : {int32.get(), yes.get(), text.get(), none.get()})
    all += callForText("num2str", in) + "|";
  EXPECT_EQ(all, "-42|1|text||");
  ZLScopedHvArray cell(hvCreateCellMatrix(1, 1)), row(hvCreateDoubleMatrix(1, 3));
  for (hvArray* bad : {cell.get(), row.get(), static_cast<hvArray*>(nullptr)})
    EXPECT_EQ(catchErrorId([&] { callForText("num2str", bad); }).first, "PULVRA:num2str:badInput");
  hvArray* in[] = {int32.get()};
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
  hoxUnregisterFunction("svc_test_fn");
  EXPECT_EQ(catchErrorId([] { hoxCallPULVRA(0, nullptr, 0, nullptr, "svc_test_fn"); }),
            Message("PULVRA:undefinedFunction", "Undefined function 'svc_test_fn'."));
  EXPECT_EQ(catchErrorId([] { hoxCallPULVRA(0, nullptr, 0, nullptr, nullptr); }).first,
            "PULVRA:undefinedFunction");
  for (auto call : {+[] { hoxCallPULVRA(1, nullptr, 0, nullptr, "num2str"); },
                    +[] { hoxCallPULVRA(0, nullptr, 1, nullptr, "num2str"); }})
    EXPECT_EQ(catchErrorId(call).first, "PULVRA:call:badArguments");
}

// The refusal's warning is shown by a golden script with a rival product.
TEST_F(ServicesTest, AProductCannotTakeOverAnotherProductsFunction) {
  hoxSetCurrentProduct("first");
  EXPECT_TRUE(hoxRegisterFunction("svc_dev", answer("1")) &&
              hoxRegisterFunction("svc_dev", answer("2")));  // its own: replaced
  hoxSetCurrentProduct("second");
  EXPECT_FALSE(hoxRegisterFunction("svc_dev", answer("3")));
  hoxUnregisterFunction("svc_dev");  // the second's unload must not remove it either
  EXPECT_EQ(callForText("svc_dev", nullptr), "2");
  hoxSetCurrentProduct("first");
  hoxUnregisterFunction("svc_dev");
  hoxSetCurrentProduct("second");
  EXPECT_TRUE(hoxRegisterFunction("svc_dev", answer("4")));  // free again
  EXPECT_EQ(hoxSetCurrentProduct(""), "second");
  hoxUnregisterFunction("svc_dev");  // outside a product anything may be removed
  EXPECT_FALSE(hoxIsFunction("svc_dev"));
}

void throwId(const char* id, const char*) { throw std::string(id); }

// Errors and warnings of products and the library as users see them: the golden scripts.
TEST_F(ServicesTest, ErrorsGoThroughTheInstalledFunctionAndNeverReturn) {
  EXPECT_EQ(catchErrorId([] { hoxErrMsgIdAndTxt(nullptr, nullptr); }), Message("PULVRA:error", ""));
  ZLGeneralException e("vornix:set:bad", "Value %d.", 5);
  e.prependMessage("Setting: ");
  EXPECT_EQ(catchErrorId([&] { e.post(); }), Message("vornix:set:bad", "Setting: Value 5."));
  zelutil::ZLException nulls(nullptr, nullptr);
  EXPECT_EQ(std::string(nulls.getID()) + nulls.getMessage(), "");
  zelhox::fcns::setErrorExceptionFcn(throwId);
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
  EXPECT_EQ(sinks_.warnings,
            (std::vector<Message>{{"w:one", "first"}, {"PULVRA:warning", "anonymous"}}));
  EXPECT_EQ(sinks_.errors, std::vector<Message>{Message("PULVRA:error", "no id")});
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
  ASSERT_EQ(sinks_.errors.size(), 4u);
  EXPECT_EQ(sinks_.errors[1], Message("u:e", "went wrong"));
  EXPECT_EQ(sinks_.errors[2].second,
            "\xC3\xA4 \xF0\x9F\x98\x80 \xEF\xBF\xBD\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"
            "\xF0\x90\x80\x80: went wrong");
  EXPECT_EQ(sinks_.errors[3], kInterrupted);
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

// zelsh's help lists and shows registered functions' help; these are the edges.
TEST_F(ServicesTest, FunctionHelpShowsOnlyWhileTheFunctionIsRegistered) {
  HoxFunctionHelp help;
  auto shown = [&help] { return hoxGetFunctionHelp("svc_help_fn", &help); };
  hoxSetFunctionHelp("svc_help_fn", "svc_help_fn(X)", "Doubles X.");
  EXPECT_FALSE(shown());  // help alone is not a function
  hoxRegisterFunction("svc_help_fn", answer(""));
  EXPECT_TRUE(shown());
  hoxSetFunctionHelp("svc_help_fn", "", nullptr);  // empty texts remove it
  EXPECT_FALSE(shown());
  hoxSetFunctionHelp("svc_help_fn", "svc_help_fn()", "");
  EXPECT_EQ(shown() ? help.usage + "|" + help.description : "", "svc_help_fn()|");
  hoxUnregisterFunction("svc_help_fn");
  EXPECT_FALSE(shown() || hoxGetFunctionHelp(nullptr, &help));
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

// A golden script of device callbacks shows the forms that run; these hold no callback.
TEST_F(HCallbackTest, FormsAndExecutability) {
  const std::tuple<const char*, hvArray*, bool, bool> cases[] = {
      {"unfilled handle", functionHandle(nullptr), true, false},
      {"two handles", hvCreateNumericMatrix(1, 2, hvFUNCTION_CLASS), false, false},
      {"empty cell", hvCreateCellMatrix(0, 0), true, false},
      {"cell, empty head", cellOf({hvCreateString(""), functionHandle("f")}), true, false},
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

// Each failure through a call (outputs made before it freed) and through a callback.
TEST_F(HCallbackTest, CallsAndCallbacksRunHostFunctionsAndTranslateFailures) {
  std::vector<double> seen;
  std::function<void()> fail = [] {};
  hoxRegisterFunction("svc_test_fn", [&](int nlhs, hvArray* plhs[], int nrhs, hvArray* prhs[]) {
    if (nlhs > 0) plhs[0] = hvCreateDoubleScalar(1);
    for (int i = 0; i < nrhs; ++i) seen.push_back(hvIsEmpty(prhs[i]) ? -1 : hvGetScalar(prhs[i]));
    fail();
  });
  CallbackPtr cb = makeCallback(cellOf({functionHandle("svc_test_fn"), hvCreateDoubleScalar(9)}));
  EXPECT_FALSE(cb->run(event_, event_));
  EXPECT_FALSE(cb->run(nullptr, nullptr));  // missing object and event arrive empty
  EXPECT_EQ(seen, (std::vector<double>{7, 7, 9, -1, -1, 9}));
  EXPECT_FALSE(makeCallback(hvCreateString(""))->run(object_, event_));  // no callback: no failure
  EXPECT_TRUE(sinks_.errors.empty());
  hvArray* out[] = {nullptr};
  auto call = [&out] {
    try {
      inHoxCallPULVRA(1, out, 0, nullptr, "svc_test_fn", 0);
    } catch (const IUserException& e) {
      return Message(e.getId(), e.getMessage());
    } catch (const InterruptException&) {
      return kInterrupted;
    }
    return Message();
  };
  for (const auto& f : kFailures) {
    SCOPED_TRACE(f.second.first);
    sinks_.errors.clear();
    fail = f.first;
    EXPECT_TRUE(cb->run(object_, event_));
    EXPECT_EQ(sinks_.errors, std::vector<Message>{f.second});
    EXPECT_EQ(call(), f.second);
    EXPECT_EQ(out[0], nullptr);
  }
  fail = [] { HostInterruptState::SetInterruptPending(true); };  // Ctrl-C, then a normal return
  EXPECT_EQ(call(), kInterrupted);
  EXPECT_EQ(out[0], nullptr);
  sinks_.errors.clear();
  EXPECT_TRUE(makeCallback(hvCreateString("x = 1"))->run(object_, event_));
  EXPECT_EQ(sinks_.errors.at(0).first, "PULVRA:callback:noEvaluator");
}

// A callback keeps the function it found until the registry changes; "!" marks a failed run.
TEST_F(HCallbackTest, HeldFunctionFollowsTheRegistry) {
  std::string ran;
  auto record = [&ran](const char* tag) -> HoxFunction {
    return [&ran, tag](int, hvArray*[], int, hvArray*[]) { ran += tag; };
  };
  CallbackPtr cb = makeCallback(functionHandle("svc_test_fn"));
  auto run = [&] { ran += cb->run(object_, event_) ? "!" : "."; };
  hoxRegisterFunction("svc_test_fn", record("A"));
  run();
  hoxRegisterFunction("svc_test_fn", record("B"));
  run();
  hoxUnregisterFunction("svc_test_fn");
  run();
  hoxRegisterFunction("svc_test_fn", [&ran](int, hvArray*[], int, hvArray*[]) {
    hoxUnregisterFunction("svc_test_fn");  // the running function stays alive
    ran += "D";
  });
  run();
  run();
  EXPECT_EQ(ran, "A.B.!D.!");
  EXPECT_EQ(sinks_.errors.size(), 2u);  // each an undefined function
}

TEST_F(HCallbackTest, UseCountsAreSharedSafelyAcrossThreads) {
  HCallback* cb = new HCallback(object_);
  cb->addUse();
  cb->release(0);  // ignored
  EXPECT_EQ(cb->getUseCount(), 2);
  auto churn = [cb] {
    for (int i = 0; i < 5000; ++i) {
      cb->addUse();
      cb->release(1);
    }
  };
  std::thread t1(churn), t2(churn), t3(churn);
  t1.join();
  t2.join();
  t3.join();
  EXPECT_EQ(cb->getUseCount(), 2);
  cb->release(2);  // the last uses: deleted here (LeakSanitizer checks)
}

TEST_F(HCallbackTest, DestroyedEvaluatorIsUninstalled) {
  struct Quiet : HCallbackEvaluator {
    void evalString(const std::string&) override {}
    void callFunction(const std::string&, int, hvArray*[]) override {}
  } kept;
  auto temporary = std::make_unique<Quiet>();
  hoxSetCallbackEvaluator(temporary.get());
  temporary.reset();
  EXPECT_EQ(hoxSetCallbackEvaluator(&kept), nullptr);
  hoxSetCallbackEvaluator(nullptr);
}

// Fractions, a second converted again within itself and after a daylight-saving change, and a
// change of zone within one second: each gives its own zone's local time.
TEST(TimeArrayTest, LocalCalendarTimeFollowsZoneAndDaylightSaving) {
  const char* const kCentral = "CET-1CEST,M3.5.0,M10.5.0/3";
  // The zone, seconds since the epoch (UTC), the local time.
  const std::tuple<const char*, double, std::array<double, 6>> rows[] = {
      {kCentral, 1774745999.25, {2026, 3, 29, 1, 59, 59.25}},  // 00:59:59 UTC, winter
      {kCentral, 1774745999.75, {2026, 3, 29, 1, 59, 59.75}},  // same second
      {kCentral, 1774746000.5, {2026, 3, 29, 3, 0, 0.5}},      // summer time begins
      {"UTC0", 1774746000.5, {2026, 3, 29, 1, 0, 0.5}},        // same second, new zone
      // Same names and offsets, summer time from the fourth Sunday instead of
      // the last: the same second is converted again.
      {kCentral, 1774267200.0, {2026, 3, 23, 13, 0, 0}},
      {"CET-1CEST,M3.4.0,M10.5.0/3", 1774267200.0, {2026, 3, 23, 14, 0, 0}},
  };
  const char* saved = std::getenv("TZ");
  const std::string old = saved ? saved : "";
  for (const auto& [zone, seconds, expected] : rows) {
    SCOPED_TRACE(std::string(zone) + " " + std::to_string(seconds));
    setenv("TZ", zone, 1);
    tzset();
    ZLScopedHvArray time(zelhox::fcns::time::createTimeArray(zelutil::Timestamp(seconds)));
    ASSERT_TRUE(hvIsDouble(time) && hvGetM(time) == 1 && hvGetN(time) == 6);
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(hvGetElementAsDouble(time, i), expected[i], 1e-6) << i;
  }
  saved ? setenv("TZ", old.c_str(), 1) : unsetenv("TZ");
  tzset();
  for (double bad : {HUGE_VAL, 1e300}) {
    ZLScopedHvArray none(zelhox::fcns::time::createTimeArray(zelutil::Timestamp(bad)));
    EXPECT_TRUE(hvGetN(none) == 6 && std::isnan(hvGetElementAsDouble(none, 5))) << bad;
  }
}

TEST(ZelutilTest, CaselessComparisonUpperCaseAndNumbersInTexts) {
  const std::tuple<const char*, const char*, int> cases[] = {
      {"Timeout", "TIMEOUT", 0}, {"abc", "abd", -1}, {"ABD", "abc", 1}, {"ab", "ABC", -1},
      {"abc", "AB", 1},          {"[", "a", -1},     {"Zz", "zZ", 0},
  };
  for (const auto& [a, b, sign] : cases) {
    SCOPED_TRACE(std::string(a) + " vs " + b);
    const int r = zelutil::caselessCompare(a, b);
    EXPECT_EQ((r > 0) - (r < 0), sign);
    EXPECT_EQ(zelutil::caselessIsLessThan(a, b), sign < 0);
  }
  EXPECT_EQ(zelutil::caselessCompare("", static_cast<const char*>(nullptr)), 0);
  EXPECT_GT(zelutil::caselessCompare("x", static_cast<const char*>(nullptr)), 0);
  EXPECT_EQ(zelutil::toUpper("azTimer_2 \xC3\xA4"), "AZTIMER_2 \xC3\xA4");
  std::string s = std::string("n") + -5 + "_", code;
  s += 3L;
  s += LONG_MIN;
  code += 'a' + 1;  // NOLINT(bugprone-string-integer-assignment): an int stays a character
  EXPECT_EQ(s + code, "n-5_3" + std::to_string(LONG_MIN) + "b");
}

TEST(ZelutilTest, SequentialIdsUniqueAndIncreasingAcrossThreads) {
  const long first = zelutil::fcns::getSequentialID();
  std::vector<long> a, b;
  auto take = [](std::vector<long>* ids) {
    for (int i = 0; i < 2000; ++i) ids->push_back(zelutil::fcns::getSequentialID());
  };
  std::thread ta(take, &a), tb(take, &b);
  ta.join();
  tb.join();
  std::set<long> all(a.begin(), a.end());
  all.insert(b.begin(), b.end());
  EXPECT_EQ(all.size(), 4000u);
  EXPECT_GT(*all.begin(), first);
}

}  // namespace
