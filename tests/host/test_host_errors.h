// Test helper: runs a call and takes the host exception it throws by pointer.
#ifndef ZEL_TESTS_HOST_TEST_HOST_ERRORS_H
#define ZEL_TESTS_HOST_TEST_HOST_ERRORS_H

#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "zelhost/exceptions.h"

// The host exception of type E that fn throws; null, with a test failure,
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

#endif  // ZEL_TESTS_HOST_TEST_HOST_ERRORS_H
