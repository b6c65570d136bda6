// Test support for the host services: captured warnings and errors, host error checks.
#ifndef ZELHOST_TESTS_SERVICE_TEST_SUPPORT_H
#define ZELHOST_TESTS_SERVICE_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include "common/host_errors.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/services.h"

// Captures warnings and reported errors; leaves every service setting as it found it.
class ServiceSinksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldFcn_ = hoxGetErrorExceptionFcn();
    hoxSetErrorExceptionFcn(nullptr);
    oldEvaluator_ = hoxSetCallbackEvaluator(nullptr);
  }
  void TearDown() override {
    hoxSetErrorExceptionFcn(oldFcn_);
    hoxSetCallbackEvaluator(oldEvaluator_);
    HostInterruptState::SetInterruptPending(false);
    hoxUnregisterFunction("svc_test_fn");
  }

  MessageCapture sinks_;
  std::vector<Message>& warnings_ = sinks_.warnings;
  std::vector<Message>& errors_ = sinks_.errors;

 private:
  HoxErrorExceptionFcn oldFcn_ = nullptr;
  HCallbackEvaluator* oldEvaluator_ = nullptr;
};

#endif  // ZELHOST_TESTS_SERVICE_TEST_SUPPORT_H
