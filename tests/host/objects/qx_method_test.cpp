// Tests of host methods: dispatch by argument kinds, conversions, returns, errors and superclass
// methods.
#include <memory>
#include <string>

#include "test_host_fixtures.h"

namespace hosttest {
namespace {

// Names the chosen signature and the arguments that arrived, as its result and in `last`.
class DescribeMI : public QxMethodInfo {
 public:
  DescribeMI() {
    setName("describe");
    add({"handle"}, "string");
    add({"handle", "string"}, "string");
    add({"handle", "double"}, "string");
    add({"handle", "PULVRA array"}, "PULVRA array");
    add({"bool"}, "");
  }
  void invokeMethod(const QxMethodSignature* signature, int* nReturned, void** returned, int nArgs,
                    void** args) override {
    last = "sig";
    for (int i = 0; i < getNumberOfSignatures(); ++i)
      if (getMethodSignature(i) == signature) last += std::to_string(i);
    for (int i = 0; i < nArgs; ++i) {
      const std::string type = signature->getArgumentTypeName(i);
      if (type == "handle") last += args[i] == lastObject ? " obj" : " other";
      if (type == "string") last += std::string(" ") + static_cast<const char*>(args[i]);
      if (type == "double") last += " " + std::to_string(*static_cast<double*>(args[i]));
      if (type == "PULVRA array") last += " array";
      if (type == "bool") last += *static_cast<bool*>(args[i]) ? " true" : " false";
    }
    if (fail) throw new ErrorIdException("test:method", "method failed");
    *nReturned = signature->getNumberOfReturnTypes();
    ZLScopedHvArray value(hvCreateString(last.c_str()));
    if (*nReturned)
      returned[0] = signature->getReturnType(0)->getPulvraConversion()->fromPulvra(value);
  }
  std::string last;
  QxInterface* lastObject = nullptr;
  bool fail = false;

 private:
  void add(std::initializer_list<const char*> args, const char* ret) {
    auto sig = std::make_unique<QxMethodSignature>();
    for (const char* a : args) sig->addArgument(a);
    if (*ret) sig->addReturnType(ret);
    addMethodSignature(sig.release());
  }
};

class QxMethodTest : public HostTest {
 protected:
  void SetUp() override {
    QxApplication* app = makeApp("methods");
    base = addClass(app, "base");
    base->addMethod(method = new DescribeMI);
    cls = addClass(app, "derived");
    cls->setSuperClass(base);
    method->lastObject = obj = cls->createObject(nullptr, nullptr, nullptr, 0, nullptr);
  }
  // Calls "describe" with the arguments (which it frees) and returns its text result.
  std::string call(const std::vector<hvArray*>& args, const char* name = "describe") {
    std::vector<std::unique_ptr<hvArray, void (*)(hvArray*)>> owned;
    for (hvArray* a : args) owned.emplace_back(a, hvDestroyArray);
    std::vector<const hvArray*> raw(args.begin(), args.end());
    ZLScopedHvArray result(hoxInvokeMethod(cls, name, static_cast<int>(raw.size()), raw.data()));
    return result.get() ? zelhox::fcns::getString(result) : "(none)";
  }
  TestClass *base = nullptr, *cls = nullptr;
  DescribeMI* method = nullptr;
  QxInterface* obj = nullptr;
};

TEST_F(QxMethodTest, TheFirstFittingSignatureIsChosen) {
  EXPECT_EQ(cls->getMethod("describe"), method);
  EXPECT_EQ(method->getClass(), base);
  const std::tuple<std::vector<hvArray*>, const char*, const char*> cases[] = {
      {{hvCreateObjectHandle(obj)}, "sig0 obj", "sig0 obj"},
      {{hvCreateObjectHandle(obj), hvCreateString("all")}, "sig1 obj all", "sig1 obj all"},
      {{hvCreateObjectHandle(obj), hvCreateDoubleScalar(2)}, "sig2 obj 2.000000", ""},
      {{hvCreateObjectHandle(obj), hvCreateCellMatrix(1, 2)}, "sig3 obj array", ""},
      // A double matrix is no scalar: only "PULVRA array" takes it.
      {{hvCreateObjectHandle(obj), hvCreateDoubleMatrix(1, 3)}, "sig3 obj array", ""},
      {{hvCreateLogicalScalar(true)}, "(none)", "sig4 true"},
      {{hvCreateDoubleScalar(0)}, "(none)", "sig4 false"},
  };
  for (const auto& [args, result, last] : cases) {
    SCOPED_TRACE(result);
    EXPECT_EQ(call(args), result);
    EXPECT_EQ(method->last, *last ? last : result);
  }
}

TEST_F(QxMethodTest, UnknownNamesUnfitArgumentsAndFailuresAreHostErrors) {
  EXPECT_TRUE(ThrowsHostError([&] { call({}, "nosuch"); }, "PULVRA:method:undefined", "'nosuch'"));
  EXPECT_TRUE(ThrowsHostError([&] { hoxInvokeMethod(nullptr, nullptr, 0, nullptr); },
                              "PULVRA:method:undefined"));
  EXPECT_TRUE(ThrowsHostError([&] { call({hvCreateString("x")}); }, "PULVRA:method:noSignature",
                              "'describe'"));
  // An empty handle array is not a 1x1 handle.
  EXPECT_TRUE(
      ThrowsHostError([&] { call({hvCreateObjectHandle(nullptr)}); }, "PULVRA:method:noSignature"));
  method->fail = true;  // the arguments converted for it are freed
  EXPECT_TRUE(ThrowsHostError(
      [&] {
        call({hvCreateObjectHandle(obj), hvCreateString("y")});
      },
      "test:method"));
  EXPECT_EQ(method->last, "sig1 obj y");
}

TEST_F(QxMethodTest, SignaturesDescribeTheirTypes) {
  const QxMethodSignature* sig = method->getMethodSignature(1);
  ASSERT_NE(sig, nullptr);
  EXPECT_EQ(sig->getNumberOfArguments(), 2);
  EXPECT_STREQ(sig->getArgumentTypeName(1), "string");
  EXPECT_NE(sig->getArgumentType(0), nullptr);
  EXPECT_EQ(sig->getArgumentType(2), nullptr);
  EXPECT_EQ(sig->getArgumentTypeName(-1), nullptr);
  EXPECT_EQ(method->getMethodSignature(9), nullptr);
  EXPECT_EQ(cls->getMethodAt(0), nullptr);  // own methods only
  EXPECT_EQ(base->getMethodAt(0), method);
}

}  // namespace
}  // namespace hosttest
