#include "wait.h"

#include <thread>

namespace e2e {

bool WaitFor(const std::function<bool()> &pred, std::chrono::milliseconds bound)
{
    for (const auto deadline = std::chrono::steady_clock::now() + bound; !pred();
         std::this_thread::sleep_for(std::chrono::milliseconds(5)))
        if (std::chrono::steady_clock::now() > deadline)
            return false;
    return true;
}

}  // namespace e2e
