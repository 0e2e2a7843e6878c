#include "zepplus/ObjectPtr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// Counts its own destructions in a counter owned by the test.
struct Counted {
    explicit Counted(std::atomic<int> *destroyed) : destroyed(destroyed) {}
    ~Counted() { ++*destroyed; }
    std::atomic<int> *destroyed;  // not owned
};

using Handle = ObjectPtrT<Counted>;

TEST(ObjectPtr, SelfAndEmptyAssignmentsKeepCountsRight)
{
    std::atomic<int> destroyed{0};
    Handle handle, empty;
    handle = new Counted(&destroyed);
    Handle &alias = handle;
    handle = alias;
    Handle copy(handle);
    copy = handle;  // another handle of the same holder
    ASSERT_TRUE(handle.IsValid());
    EXPECT_EQ(&destroyed, handle->destroyed);
    EXPECT_FALSE(Handle(empty).IsValid());
    copy = empty;
    EXPECT_FALSE(copy.IsValid());
    EXPECT_EQ(0, destroyed);
    handle = empty;
    EXPECT_EQ(1, destroyed);
}

TEST(ObjectPtr, NewPlainPointerDestroysTheOldObjectAndNullEmpties)
{
    std::atomic<int> first{0}, second{0};
    Handle handle;
    handle = new Counted(&first);
    handle = new Counted(&second);
    EXPECT_EQ(1, first);
    EXPECT_EQ(0, second);
    handle = static_cast<Counted *>(nullptr);
    EXPECT_FALSE(handle.IsValid());
    EXPECT_EQ(1, second);
}

// Each thread copies and releases its own handle's holder many times, then
// lets its handle go: whichever thread is last destroys the object, once.
TEST(ObjectPtr, HandlesOfOneHolderReleasedOnSeveralThreadsDestroyOnce)
{
    std::atomic<int> destroyed{0};
    for (int round = 0; round < 50; ++round) {
        std::vector<Handle> handles(1);
        handles[0] = new Counted(&destroyed);
        handles.push_back(handles[0]);
        handles.push_back(handles[1]);
        std::vector<std::thread> threads;
        for (Handle &handle : handles) {
            threads.emplace_back([&handle] {
                for (int i = 0; i < 1000; ++i) {
                    Handle copy(handle), other;
                    other = copy;
                }
                handle = Handle();
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        ASSERT_EQ(round + 1, destroyed);
    }
}

}  // namespace
