// The suite's one bounded wait, apart from the end-to-end helpers so that
// tests of the runtime layer link it without them.
#ifndef WSGATE_TESTS_WAIT_H
#define WSGATE_TESTS_WAIT_H

#include <chrono>
#include <functional>

namespace e2e {

// Polls pred until it holds or the bound passes; true when it held.
bool WaitFor(const std::function<bool()> &pred, std::chrono::milliseconds bound = std::chrono::seconds(10));

}  // namespace e2e

#endif
