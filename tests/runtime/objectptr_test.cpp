#include "zepplus/ObjectPtr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct Counted {
    explicit Counted(std::atomic<int> *destroyed) : destroyed(destroyed) {}
    ~Counted() { ++*destroyed; }
    std::atomic<int> *destroyed;  // not owned
};
using Handle = ObjectPtrT<Counted>;

TEST(ObjectPtr, SelfAssignmentKeepsAndReplacementDestroysTheObject)
{
    std::atomic<int> first{0}, second{0};
    Handle handle, copy;
    handle = new Counted(&first);
    Handle &alias = handle;
    handle = alias;
    copy = handle;
    handle = copy;  // another handle of the same holder
    copy = Handle();
    EXPECT_TRUE(handle.IsValid() && !copy.IsValid());
    EXPECT_EQ(0, first);
    handle = new Counted(&second);
    EXPECT_EQ(1, first);
    handle = static_cast<Counted *>(nullptr);
    EXPECT_FALSE(handle.IsValid());
    EXPECT_EQ(1, second);
}

// Three handles of one holder are copied and released on three threads at
// once: whichever lets go last destroys the object, once.
TEST(ObjectPtr, HandlesReleasedOnSeveralThreadsDestroyOnce)
{
    std::atomic<int> destroyed{0};
    for (int round = 1; round <= 50; ++round) {
        std::vector<Handle> handles(3);
        handles[0] = new Counted(&destroyed);
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
