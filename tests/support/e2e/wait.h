// The suite's one bounded wait, apart from the end-to-end helpers so that
// tests of the runtime layer take it without them.
#ifndef WSGATE_TESTS_WAIT_H
#define WSGATE_TESTS_WAIT_H

#include <chrono>
#include <functional>
#include <thread>

namespace e2e {

// Polls pred until it holds or the bound passes; true when it held.
inline bool WaitFor(const std::function<bool()> &pred, std::chrono::milliseconds bound = std::chrono::seconds(10))
{
    for (const auto deadline = std::chrono::steady_clock::now() + bound; !pred();
         std::this_thread::sleep_for(std::chrono::milliseconds(5)))
        if (std::chrono::steady_clock::now() > deadline)
            return false;
    return true;
}

}  // namespace e2e

#endif
