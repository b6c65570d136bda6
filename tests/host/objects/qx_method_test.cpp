// Tests of host methods: dispatch by argument kinds, conversions, returns, errors and superclass
// methods.
#include <cstring>
#include <memory>
#include <string>

#include "test_host_fixtures.h"

namespace hosttest {
namespace {

// Records which signature was chosen and what arrived; returns a text
// naming the signature and the arguments.
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
    std::string text = "sig" + std::to_string(indexOf(signature));
    for (int i = 0; i < nArgs; ++i) {
      std::string type = signature->getArgumentTypeName(i);
      if (type == "handle") text += args[i] == lastObject ? " obj" : " other";
      if (type == "string") text += std::string(" ") + static_cast<const char*>(args[i]);
      if (type == "double") text += " " + std::to_string(*static_cast<double*>(args[i]));
      if (type == "PULVRA array") text += " array";
      if (type == "bool") text += *static_cast<bool*>(args[i]) ? " true" : " false";
    }
    last = text;
    if (fail) throw new ErrorIdException("test:method", "method failed");
    if (signature->getNumberOfReturnTypes() == 0) {
      *nReturned = 0;
      return;
    }
    *nReturned = 1;
    ZLScopedHvArray value(hvCreateString(text.c_str()));
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
  int indexOf(const QxMethodSignature* s) const {
    for (int i = 0; i < getNumberOfSignatures(); ++i) {
      if (getMethodSignature(i) == s) return i;
    }
    return -1;
  }
};

class QxMethodTest : public HostTest {
 protected:
  void SetUp() override {
    QxApplication* app = makeApp("methods");
    base = addClass(app, "base");
    method = new DescribeMI;
    base->addMethod(method);
    cls = addClass(app, "derived");
    cls->setSuperClass(base);
    obj = cls->createObject(nullptr, nullptr, nullptr, 0, nullptr);
    method->lastObject = obj;
  }
  // Calls "describe" and returns its text result ("" for none).
  std::string call(std::initializer_list<hvArray*> args) {
    std::vector<std::unique_ptr<hvArray, void (*)(hvArray*)>> owned;
    std::vector<const hvArray*> raw;
    for (hvArray* a : args) {
      owned.emplace_back(a, hvDestroyArray);
      raw.push_back(a);
    }
    ZLScopedHvArray result(
        hoxInvokeMethod(cls, "describe", static_cast<int>(raw.size()), raw.data()));
    return result.get() ? zelhox::fcns::getString(result) : "";
  }
  TestClass* base = nullptr;
  TestClass* cls = nullptr;
  DescribeMI* method = nullptr;
  QxInterface* obj = nullptr;
};

TEST_F(QxMethodTest, TheFirstFittingSignatureIsChosen) {
  EXPECT_EQ(cls->getMethod("describe"), method);
  EXPECT_EQ(method->getClass(), base);
  EXPECT_EQ(call({hvCreateObjectHandle(obj)}), "sig0 obj");
  EXPECT_EQ(call({hvCreateObjectHandle(obj), hvCreateString("all")}), "sig1 obj all");
  EXPECT_EQ(call({hvCreateObjectHandle(obj), hvCreateDoubleScalar(2)}), "sig2 obj 2.000000");
  EXPECT_EQ(call({hvCreateObjectHandle(obj), hvCreateCellMatrix(1, 2)}), "sig3 obj array");
  // A double matrix is no scalar: only "PULVRA array" takes it.
  EXPECT_EQ(call({hvCreateObjectHandle(obj), hvCreateDoubleMatrix(1, 3)}), "sig3 obj array");
  EXPECT_EQ(call({hvCreateLogicalScalar(true)}), "");
  EXPECT_EQ(method->last, "sig4 true");
  EXPECT_EQ(call({hvCreateDoubleScalar(0)}), "");
  EXPECT_EQ(method->last, "sig4 false");
}

TEST_F(QxMethodTest, UnknownNamesAndUnfitArgumentsAreHostErrors) {
  const hvArray* none[] = {nullptr};
  EXPECT_TRUE(ThrowsHostError([&] { hoxInvokeMethod(cls, "nosuch", 0, none); },
                              "PULVRA:method:undefined", "'nosuch'"));
  EXPECT_TRUE(ThrowsHostError([&] { hoxInvokeMethod(nullptr, nullptr, 0, nullptr); },
                              "PULVRA:method:undefined"));
  ZLScopedHvArray text(hvCreateString("x"));
  const hvArray* args[] = {text};
  EXPECT_TRUE(ThrowsHostError([&] { hoxInvokeMethod(cls, "describe", 1, args); },
                              "PULVRA:method:noSignature", "'describe'"));
  // An empty handle array is not a 1x1 handle.
  ZLScopedHvArray empty(hvCreateObjectHandle(nullptr));
  const hvArray* emptyArgs[] = {empty};
  EXPECT_TRUE(ThrowsHostError([&] { hoxInvokeMethod(cls, "describe", 1, emptyArgs); },
                              "PULVRA:method:noSignature"));
}

TEST_F(QxMethodTest, AFailingMethodLeaksNothing) {
  method->fail = true;
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
