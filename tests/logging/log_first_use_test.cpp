// Nothing else in this process may log: the statements below must be the
// ones that create the logger.
#include "Log.h"
#include "zeplog_recording.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace rec = zeplog_recording;

namespace {

// Registered before the logger exists, so it runs after the logger's
// destruction at exit; a wrong count turns the exit status into a failure.
void expectOneReleaseAtUnload()
{
    if (rec::ReleaseCount() != 1) {
        std::fprintf(stderr, "logger released %d times at unload\n", rec::ReleaseCount());
        std::_Exit(EXIT_FAILURE);
    }
}

TEST(LogFirstUse, ConcurrentFirstStatementsLookTheLoggerUpOnce)
{
    ASSERT_EQ(0, std::atexit(expectOneReleaseAtUnload));
    constexpr int kThreads = 8;
    std::atomic<int> arrived{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&] {
            // All threads are running before any makes its statement.
            ++arrived;
            while (arrived.load() < kThreads)
                std::this_thread::yield();
            LOG_PROGRESS("first statement");
        });
    }
    for (std::thread &thread : threads)
        thread.join();

    EXPECT_EQ(1, rec::LookupCount());
    EXPECT_EQ("GSOAP", rec::LastLookupName());
    EXPECT_EQ(static_cast<size_t>(kThreads), rec::Records().size());
    EXPECT_EQ(0, rec::ReleaseCount());
}

}  // namespace
