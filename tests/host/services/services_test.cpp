// Tests of the host services: num2str, the call registry, error translation, sinks, interrupts.
#include "zelhost/services/services.h"

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <thread>

#include "host/services/service_test_support.h"
#include "zelhost/services/zelhox.h"

namespace {

using ServicesTest = ServiceSinksTest;

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
  EXPECT_EQ(catchErrorId([] { hoxCallPULVRA(1, nullptr, 0, nullptr, "num2str"); }).first,
            "PULVRA:call:badArguments");
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
  // A two-byte letter, an emoji as a surrogate pair, then a lone surrogate.
  const char16_t text[] = {u'\u00e4', u' ', 0xD83D, 0xDE00, u' ', 0xDC00, u':', u' ', 0};
  hoxReportUnhandledError(*envelope, text);
  hoxReportUnhandledInterrupt(InterruptException());
  ASSERT_EQ(errors_.size(), 4u);
  EXPECT_EQ(errors_[1], Message("u:e", "went wrong"));
  EXPECT_EQ(errors_[2].second, "\xC3\xA4 \xF0\x9F\x98\x80 \xEF\xBF\xBD: went wrong");
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

}  // namespace
