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
        void Run() override { t->misordered += ++t->started != id; Eventually([this] { return t->gate >= hold; }); }
        bool IsAutoDelete() override { ++t->asked; return autoDelete; }
        void Cleanup() override { ++t->cleaned; }
        ThreadPoolTest *t;  // not owned
        int id, hold; bool autoDelete;
    };
    // A failed assertion must not leave workers behind, blocked at the gate.
    void TearDown() override { gate = INT_MAX; if (!pool.IsDestroyed()) pool.Destroy(); }
    std::vector<int> Counts() const { return {started, asked, cleaned, deleted}; }

    // What the items did; misordered counts items started out of id order.
    std::atomic<int> started{0}, misordered{0}, asked{0}, cleaned{0}, deleted{0}, gate{0};
    Item kept{this, 0, 0, false};  // the test's own: never auto-deleted
    ThreadPool pool;
};

TEST_F(ThreadPoolTest, RefusalsFailedStartRecreationAndDestroy)
{
    std::thread([] {}).join();  // TSan starts a thread of its own along with the first
    const long baseline = LiveThreads();
    EXPECT_EQ(-1, pool.Create(0, 2048));
    EXPECT_EQ(-1, pool.Create(1, -1));
    zep_fault_fail_thread_create(3);
    EXPECT_EQ(-102, pool.Create(4, 2048));
    EXPECT_EQ(-100, pool.Work(&kept));
    // The two started workers are gone (LSan reports their records if never freed).
    EXPECT_TRUE(Eventually([&] { return LiveThreads() <= baseline; }));

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
}

// Each push lands at another moment of a worker's way to parking: one the re-check missed stays queued.
// Known limitation: the moment lasts nanoseconds; one run in six catches it.
TEST_F(ThreadPoolTest, NoItemLostWhileWorkersPark)
{
    for (int workers = 1; workers <= 2; ++workers) {
        ASSERT_EQ(0, pool.Create(workers, 2048));
        for (int round = 1; round <= 4000; ++round) {
            const int expected = deleted + 1;
            ASSERT_EQ(0, pool.Work(new Item(this, 0, 0)));
            ASSERT_TRUE(Eventually([&] { return deleted == expected; })) << round;
            for (volatile int spin = 0; spin < round % 64; ++spin) {}
        }
        pool.Destroy();
    }
}

}  // namespace
