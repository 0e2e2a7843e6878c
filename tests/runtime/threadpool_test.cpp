#include "zepplus/ThreadPool.h"
#include "zep_fault.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <filesystem>
#include <iterator>
#include <thread>
#include <vector>

namespace {

// Spins rather than sleeps, so that a waiter acts the moment the condition holds.
template <typename Condition>
bool Eventually(Condition condition)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition() && std::chrono::steady_clock::now() < end)
        std::this_thread::yield();
    return condition();
}

long LiveThreads() { return std::distance(std::filesystem::directory_iterator("/proc/self/task"), {}); }

struct ThreadPoolTest : ::testing::Test {
    // Started with an id, held until the gate reaches hold.
    struct Item : ThreadPool::IWorkItem {
        Item(ThreadPoolTest *t, int id, int hold, bool autoDelete = true)
            : t(t), id(id), hold(hold), autoDelete(autoDelete) {}
        ~Item() override { ++t->deleted; }
        void Run() override
        {
            t->misordered += ++t->started != id, t->switches += t->ranOn.exchange(pthread_self()) != pthread_self();
            Eventually([this] { return t->gate >= hold; });
        }
        bool IsAutoDelete() override { ++t->asked; return autoDelete; }
        void Cleanup() override { ++t->cleaned; }
        ThreadPoolTest *t;  // not owned
        int id, hold; bool autoDelete;
    };
    // A failed assertion must not leave workers behind, blocked at the gate or held in the runtime.
    void TearDown() override { gate = INT_MAX; zep_fault_reset(); if (!pool.IsDestroyed()) pool.Destroy(); }
    std::vector<int> Counts() const { return {started, asked, cleaned, deleted}; }

    // What the items did; misordered: started out of id order; switches: on another thread than the last.
    std::atomic<int> started{0}, misordered{0}, switches{0}, asked{0}, cleaned{0}, deleted{0}, gate{0};
    std::atomic<pthread_t> ranOn{};
    Item kept{this, 0, 0, false};  // the test's own: never auto-deleted
    ThreadPool pool;
};

TEST_F(ThreadPoolTest, RefusalsFailedStartRecreationAndDestroy)
{
    std::thread([] {}).join();  // TSan starts a thread of its own along with the first
    const long baseline = LiveThreads();
    EXPECT_EQ(-100, pool.Work(&kept));  // never created
    EXPECT_EQ(-1, pool.Create(0, 2048));
    EXPECT_EQ(-1, pool.Create(1, -1));
    // The third worker's thread, then its semaphore (without it, it could never park), cannot be made:
    // the two started workers are gone (LSan reports their records if never freed).
    for (auto failThird : {zep_fault_fail_thread_create, zep_fault_fail_sem_create}) {
        failThird(3);
        EXPECT_EQ(-102, pool.Create(4, 2048));
        EXPECT_EQ(-100, pool.Work(&kept));
        EXPECT_TRUE(Eventually([&] { return LiveThreads() <= baseline; }));
    }

    // Three held items prove three workers; creating again starts none, so kept stays queued.
    ASSERT_EQ(0, pool.Create(3, 2048));
    for (int id = 1; id <= 3; ++id)
        ASSERT_EQ(0, pool.Work(new Item(this, id, 1)));
    ASSERT_EQ(0, pool.Work(&kept));
    ASSERT_TRUE(Eventually([&] { return started == 3; }));
    const long threads = LiveThreads();
    EXPECT_EQ(0, pool.Create(5, 2048));
    EXPECT_EQ(threads, LiveThreads());
    EXPECT_EQ(1, pool.GetQueueCount());
    EXPECT_EQ(3, pool.GetActiveCount());
    // The gate opens only once Destroy is under way, which must wait for the running items.
    std::thread opener([&] { Eventually([&] { return pool.IsDestroyed(); }); gate = 1; });
    pool.Destroy();
    EXPECT_EQ((std::vector<int>{3, 4, 3, 3}), Counts());  // kept is asked, never run, cleaned or deleted
    opener.join();
    EXPECT_EQ(-100, pool.Work(&kept));
}

// One held worker: the queue takes a 2049th item and refuses the next; all run in
// submission order. Drain waits for the last item, held until Drain is under way.
TEST_F(ThreadPoolTest, QueueBoundSubmissionOrderAndDrain)
{
    ASSERT_EQ(0, pool.Create(1, 2048));
    EXPECT_EQ(-1, pool.Work(nullptr));
    ASSERT_EQ(0, pool.Work(new Item(this, 1, 1)));
    ASSERT_TRUE(Eventually([&] { return started == 1; }));
    for (int id = 2; id <= 2050; ++id)
        ASSERT_EQ(0, pool.Work(new Item(this, id, id == 2050 ? 2 : 0)));
    EXPECT_EQ(-101, pool.Work(&kept));
    gate = 1;
    ASSERT_TRUE(Eventually([&] { return started == 2050; }));
    std::thread opener([&] { Eventually([&] { return !pool.IsRunning(); }); gate = 2; });
    pool.Drain();
    EXPECT_EQ((std::vector<int>{2050, 2050, 2050, 2050}), Counts());  // no refused item was taken
    EXPECT_EQ(0, misordered);
    opener.join();
    EXPECT_EQ(-100, pool.Work(&kept));

    // Created again with another size; kept runs and is asked, but neither cleaned up nor deleted.
    pool.Destroy();
    ASSERT_EQ(0, pool.Create(2, 2048));
    ASSERT_EQ(0, pool.Work(&kept));
    pool.Drain();
    EXPECT_EQ((std::vector<int>{2051, 2051, 2050, 2050}), Counts());
}

// With three parked, each item runs on the one that parked last: the worker of the item before.
TEST_F(ThreadPoolTest, ParkedWorkersAreWokenLastInFirstOut)
{
    ASSERT_EQ(0, pool.Create(3, 2048));
    for (int id = 1; id <= 3; ++id)  // all three awake, then parked in some order
        ASSERT_EQ(0, pool.Work(new Item(this, id, 1)));
    ASSERT_TRUE(Eventually([&] { return started == 3; }));
    gate = 1;
    for (int id = 4; id <= 23; ++id) {
        ASSERT_TRUE(Eventually([&] { return deleted == id - 1 && pool.GetActiveCount() == 0; }));
        ASSERT_EQ(0, pool.Work(new Item(this, id, 0)));
    }
    ASSERT_TRUE(Eventually([&] { return deleted == 23; }));
    EXPECT_LE(switches, 3 + 1);  // the three held items, perhaps the first after them
}

// The worker is held after it found the queue empty, before it takes the queue lock again to park:
// the item pushed meanwhile finds no parked worker to wake, so only the re-check under that lock runs it.
TEST_F(ThreadPoolTest, AnItemPushedWhileTheWorkerGoesToParkStillRuns)
{
    struct Holding : Item {
        using Item::Item;
        void Run() override { zep_fault_hold_relock(); Item::Run(); }
    };
    ASSERT_EQ(0, pool.Create(1, 2048));
    ASSERT_EQ(0, pool.Work(new Holding(this, 1, 0)));
    ASSERT_TRUE(Eventually(zep_fault_held));
    ASSERT_EQ(0, pool.Work(new Item(this, 2, 0)));
    zep_fault_release_hold();
    EXPECT_TRUE(Eventually([&] { return deleted == 2; }));
}

}  // namespace
