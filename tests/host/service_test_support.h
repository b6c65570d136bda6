// Test support for the host services: captured warnings and errors, host error checks.
#ifndef ZELHOST_TESTS_SERVICE_TEST_SUPPORT_H
#define ZELHOST_TESTS_SERVICE_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "zelhost/exceptions.h"
#include "zelhost/services.h"

using Message = std::pair<std::string, std::string>;

// Runs f, which must throw an ErrorIdException*; returns its (id, message).
template <typename F>
Message catchErrorId(F f) {
  try {
    f();
  } catch (ErrorIdException* e) {
    std::unique_ptr<ErrorIdException> owned(e);
    return {owned->getId(), owned->getMessage()};
  }
  ADD_FAILURE() << "no ErrorIdException was thrown";
  return {};
}

// Captures warnings and reported errors, and leaves every service setting as
// it found it.
class ServiceSinksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldWarnings_ = hoxSetWarningSink(
        [this](const std::string& id, const std::string& m) { warnings_.emplace_back(id, m); });
    oldErrors_ = hoxSetErrorSink(
        [this](const std::string& id, const std::string& m) { errors_.emplace_back(id, m); });
    oldFcn_ = hoxGetErrorExceptionFcn();
    hoxSetErrorExceptionFcn(nullptr);
    oldEvaluator_ = hoxSetCallbackEvaluator(nullptr);
  }
  void TearDown() override {
    hoxSetWarningSink(oldWarnings_);
    hoxSetErrorSink(oldErrors_);
    hoxSetErrorExceptionFcn(oldFcn_);
    hoxSetCallbackEvaluator(oldEvaluator_);
    HostInterruptState::SetInterruptPending(false);
    hoxUnregisterFunction("svc_test_fn");
  }

  std::vector<Message> warnings_;
  std::vector<Message> errors_;

 private:
  HoxMessageSink oldWarnings_;
  HoxMessageSink oldErrors_;
  HoxErrorExceptionFcn oldFcn_ = nullptr;
  HCallbackEvaluator* oldEvaluator_ = nullptr;
};

#endif  // ZELHOST_TESTS_SERVICE_TEST_SUPPORT_H
