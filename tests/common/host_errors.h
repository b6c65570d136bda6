// Test helpers for the host's errors: take a thrown host exception, collect shown messages.
#ifndef ZEL_TESTS_COMMON_HOST_ERRORS_H
#define ZEL_TESTS_COMMON_HOST_ERRORS_H

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "zelhost/services/exceptions.h"
#include "zelhost/services/services.h"

// The host exception of kind E that fn throws (the caller owns it); null, with a test failure,
// when fn throws another kind or nothing.
template <class E>
std::unique_ptr<E> hostError(const std::function<void()>& fn) {
  try {
    fn();
  } catch (Exception* e) {
    std::unique_ptr<Exception> owner(e);
    if (dynamic_cast<E*>(e)) return std::unique_ptr<E>(static_cast<E*>(owner.release()));
    ADD_FAILURE() << "unexpected exception: " << e->getMessage();
    return nullptr;
  }
  ADD_FAILURE() << "no exception";
  return nullptr;
}
// What fn raised as one text: "id|message", "(no error)", or "(other: message)" for a host
// exception without an identifier (told by dynamic type: the host rethrows the base pointer).
template <class Fn>
std::string hostErrorText(Fn fn) {
  try {
    fn();
  } catch (Exception* thrown) {
    std::unique_ptr<Exception> owned(thrown);
    if (auto* e = dynamic_cast<ErrorIdException*>(thrown))
      return std::string(e->getId()) + "|" + e->getMessage();
    return std::string("(other: ") + thrown->getMessage() + ")";
  }
  return "(no error)";
}
using Message = std::pair<std::string, std::string>;
// Runs f, which must throw an ErrorIdException*; returns its (id, message).
template <typename F>
Message catchErrorId(F f) {
  auto e = hostError<ErrorIdException>(f);
  return e ? Message(e->getId(), e->getMessage()) : Message();
}
// Collects the warnings and reported errors shown while it lives, then puts the previous sinks
// back. One thread: the host thread.
class MessageCapture {
 public:
  MessageCapture() {
    oldWarnings_ = hoxSetWarningSink(
        [this](const std::string& id, const std::string& m) { warnings.emplace_back(id, m); });
    oldErrors_ = hoxSetErrorSink(
        [this](const std::string& id, const std::string& m) { errors.emplace_back(id, m); });
  }
  ~MessageCapture() {
    hoxSetWarningSink(oldWarnings_);
    hoxSetErrorSink(oldErrors_);
  }
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;
  std::vector<Message> warnings;
  std::vector<Message> errors;

 private:
  HoxMessageSink oldWarnings_;
  HoxMessageSink oldErrors_;
};

#endif  // ZEL_TESTS_COMMON_HOST_ERRORS_H
