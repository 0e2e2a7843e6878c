// Nothing else in this process may log: these statements must create the logger.
#include "Log.h"
#include "zeplog_recording.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

TEST(LogFirstUse, ConcurrentFirstStatementsLookTheLoggerUpOnce)
{
    // Runs after the logger's destruction at exit; a wrong count fails the exit status.
    ASSERT_EQ(0, std::atexit([] {
        if (zeplog_recording::ReleaseCount() == 1)
            return;
        std::fputs("logger not released once at unload\n", stderr);
        std::_Exit(EXIT_FAILURE);
    }));
    std::atomic<int> arrived{0};
    std::thread threads[8];
    for (std::thread &thread : threads)
        thread = std::thread([&] {
            for (++arrived; arrived < 8;)  // all running before any makes its statement
                std::this_thread::yield();
            LOG_PROGRESS("first statement");
        });
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(1, zeplog_recording::LookupCount());
    EXPECT_EQ("GSOAP", zeplog_recording::LastLookupName());
    EXPECT_EQ(8u, zeplog_recording::Records().size());
}
