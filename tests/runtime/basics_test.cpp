#include "zepplus/ObjectPtr.h"
#include "zepplus/Synclock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

namespace {

TEST(Synclock, OwnerRelocksAndOthersGetInOnlyAfterTheLastGuard)
{
    ZEP_Mutex mutex;
    auto lockedElsewhere = [&mutex] {
        return std::async(std::launch::async, [&mutex] { return ScopedLock(&mutex, true).IsLocked(); }).get();
    };
    {
        ScopedLock outer(&mutex, false);
        EXPECT_TRUE(ScopedLock(&mutex, true).IsLocked());
        { ScopedLock inner(&mutex, false); }
        EXPECT_FALSE(lockedElsewhere());
        EXPECT_FALSE(lockedElsewhere());  // the failed guard released nothing
    }
    EXPECT_TRUE(lockedElsewhere());
}

struct Counted {
    ~Counted() { ++destroyed; }
    std::atomic<int> &destroyed;
};
using Handle = ObjectPtrT<Counted>;

TEST(ObjectPtr, SelfAssignmentKeepsReplacementDestroysNullEmpties)
{
    std::atomic<int> first{0}, second{0};
    Handle handle;
    handle = new Counted{first};
    handle = *&handle;  // while it holds the only count
    EXPECT_EQ(0, first);
    handle = new Counted{second};
    EXPECT_EQ(1, first);
    handle = static_cast<Counted *>(nullptr);
    EXPECT_FALSE(handle.IsValid());
    EXPECT_EQ(1, second);
}

// Handles of one holder copied and released on three threads at once destroy it once.
TEST(ObjectPtr, HandlesReleasedOnSeveralThreadsDestroyOnce)
{
    std::atomic<int> destroyed{0};
    for (int round = 1; round <= 50; ++round) {
        std::vector<Handle> handles(3);
        handles[0] = new Counted{destroyed};
        handles[1] = handles[2] = handles[0];
        std::vector<std::thread> threads;
        for (Handle &handle : handles)
            threads.emplace_back([&handle] {
                for (int i = 0; i < 1000; ++i)
                    Handle{handle} = handle;
                handle = Handle();
            });
        for (std::thread &thread : threads)
            thread.join();
        ASSERT_EQ(round, destroyed);
    }
}

}  // namespace
