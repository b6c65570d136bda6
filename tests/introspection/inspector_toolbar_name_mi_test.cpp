// Tests of the toolbar-name method called through the host.
#include "zelobjsys/inspector_toolbar_name_mi.h"

#include <gtest/gtest.h>

#include <string>

#include "introspection/introspection_fixture.h"

namespace zelobjsys {
namespace {

using ToolbarNameMethodTest = IntrospectionTest;
constexpr const char* kMethod = "getInspectorToolbarObjectName";

TEST_F(ToolbarNameMethodTest, AnObjectGetsItsSchemasNameAndNothingElseIsAccepted) {
  EXPECT_EQ(invokeError(kMethod, {handle_}).rfind("PULVRA:method:", 0), 0u);
  schema_->addGenericMethod("GetToolbarName");
  ZLScopedHvArray name(invoke(kMethod, {handle_}));
  EXPECT_EQ(zelhox::fcns::getString(name), "IntroDev");
  ZLScopedHvArray text(hvCreateString("IntroDev"));
  EXPECT_EQ(invokeError(kMethod, {text}).rfind("PULVRA:method:", 0), 0u);
}

TEST_F(ToolbarNameMethodTest, MethodWithoutAClassAnswersAnEmptyName) {
  InspectorToolbarNameMI method;
  const QxMethodSignature* signature = method.getMethodSignature(0);
  int n = -1;
  void* out[1] = {nullptr};
  void* args[1] = {object_};
  method.invokeMethod(signature, &n, out, 1, args);  // belongs to no class yet
  ASSERT_EQ(n, 1);
  EXPECT_STREQ(static_cast<const char*>(out[0]), "");
  signature->getReturnType(0)->destroy(out[0]);
}

}  // namespace
}  // namespace zelobjsys
