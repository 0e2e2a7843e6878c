#include "zepplus/ThreadPool.h"
#include "wait.h"
#include "zep_fault.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <filesystem>
#include <iterator>
#include <string>
#include <thread>

namespace {

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
            e2e::WaitFor([this] { return t->gate >= hold; });
        }
        bool IsAutoDelete() override { ++t->asked; return autoDelete; }
        void Cleanup() override { ++t->cleaned; }
        ThreadPoolTest *t;  // not owned
        int id, hold; bool autoDelete;
    };
    // A failed assertion must not leave workers behind, blocked at the gate or held in the runtime.
    void TearDown() override { gate = INT_MAX; zep_fault_reset(); if (!pool.IsDestroyed()) pool.Drain(), pool.Destroy(); }

    // What the items did; misordered: started out of id order; switches: on another thread than the last.
    std::atomic<int> started{0}, misordered{0}, switches{0}, asked{0}, cleaned{0}, deleted{0}, gate{0};
    std::atomic<pthread_t> ranOn{};
    Item kept{this, 0, 0, false};  // the test's own: never auto-deleted
    ThreadPool pool;
};

TEST_F(ThreadPoolTest, RefusesWorkBeforeCreateAndCreateWithoutWorkersOrWithANegativeBound)
{
    EXPECT_EQ(-100, pool.Work(&kept));
    EXPECT_EQ(-1, pool.Create(0, ThreadPool::kQueueBound));
    EXPECT_EQ(-1, pool.Create(1, -1));
}

// The third worker's thread, then its semaphore (without it, it could never park), cannot be made:
// the two started workers are gone (LSan reports their records if never freed).
TEST_F(ThreadPoolTest, ACreateThatCannotStartEveryWorkerLeavesNoWorkerBehind)
{
    std::thread([] {}).join();  // TSan starts a thread of its own along with the first
    const long baseline = LiveThreads();
    for (auto failThird : {zep_fault_fail_thread_create, zep_fault_fail_sem_create}) {
        failThird(3);
        EXPECT_EQ(-102, pool.Create(4, ThreadPool::kQueueBound));
        EXPECT_EQ(-100, pool.Work(&kept));
        EXPECT_TRUE(e2e::WaitFor([&] { return LiveThreads() <= baseline; }));
    }
}

// Three held items prove three workers; creating again starts none, so kept stays queued.
TEST_F(ThreadPoolTest, CreatingARunningPoolAgainStartsNoWorker)
{
    ASSERT_EQ(0, pool.Create(3, ThreadPool::kQueueBound));
    for (int id = 1; id <= 3; ++id)
        ASSERT_EQ(0, pool.Work(new Item(this, id, 1)));
    ASSERT_EQ(0, pool.Work(&kept));
    ASSERT_TRUE(e2e::WaitFor([&] { return started == 3; }));
    const long threads = LiveThreads();
    EXPECT_EQ(0, pool.Create(5, ThreadPool::kQueueBound));
    EXPECT_EQ(threads, LiveThreads());
    EXPECT_EQ(1, pool.GetQueueCount());
    EXPECT_EQ(3, pool.GetActiveCount());
}

// Destroy without Drain breaks its contract (debug builds report it), yet still finishes the running
// items and discards the queued one: kept is asked, never run, cleaned or deleted.
TEST_F(ThreadPoolTest, DestroyFinishesRunningItemsAndDiscardsQueuedOnes)
{
    const int held = 3;
    ASSERT_EQ(0, pool.Create(held, ThreadPool::kQueueBound));
    for (int id = 1; id <= held; ++id)
        ASSERT_EQ(0, pool.Work(new Item(this, id, 1)));
    ASSERT_EQ(0, pool.Work(&kept));
    ASSERT_TRUE(e2e::WaitFor([&] { return started == held; }));
    // The gate opens only once Destroy is under way, which must wait for the running items.
    std::thread opener([&] { e2e::WaitFor([&] { return pool.IsDestroyed(); }); gate = 1; });
    ::testing::internal::CaptureStderr();
    pool.Destroy();
    const std::string report = ::testing::internal::GetCapturedStderr();
    opener.join();
    EXPECT_EQ(held + 1, asked);
    EXPECT_EQ(held, cleaned);
    EXPECT_EQ(held, deleted);
    EXPECT_EQ(-100, pool.Work(&kept));
#ifndef NDEBUG
    EXPECT_NE(std::string::npos, report.find("false == IsRunning()")) << report;
#endif
}

// One held worker: the queue takes kQueueBound + 1 items and refuses the next; all run in submission order.
TEST_F(ThreadPoolTest, QueueTakesOneItemBeyondItsBoundAndRunsThemInSubmissionOrder)
{
    const int queuedAtMost = ThreadPool::kQueueBound + 1;  // tested before the push
    const int lastId = 1 + queuedAtMost;
    ASSERT_EQ(0, pool.Create(1, ThreadPool::kQueueBound));
    ASSERT_EQ(0, pool.Work(new Item(this, 1, 1)));
    ASSERT_TRUE(e2e::WaitFor([&] { return started == 1; }));
    for (int id = 2; id <= lastId; ++id)
        ASSERT_EQ(0, pool.Work(new Item(this, id, 0)));
    EXPECT_EQ(-101, pool.Work(&kept));
    gate = 1;
    ASSERT_TRUE(e2e::WaitFor([&] { return deleted == lastId; }));
    EXPECT_EQ(lastId, started) << "no refused item was taken";
    EXPECT_EQ(0, misordered);
}

// Drain waits for the last item, held until Drain is under way, then refuses work.
TEST_F(ThreadPoolTest, DrainWaitsForTheRunningItemAndStopsAcceptingWork)
{
    ASSERT_EQ(0, pool.Create(1, ThreadPool::kQueueBound));
    EXPECT_EQ(-1, pool.Work(nullptr));
    ASSERT_EQ(0, pool.Work(new Item(this, 1, 1)));
    std::thread opener([&] { e2e::WaitFor([&] { return !pool.IsRunning(); }); gate = 1; });
    pool.Drain();
    opener.join();
    EXPECT_EQ(1, deleted);
    EXPECT_EQ(-100, pool.Work(&kept));
}

// Created again with another size; kept runs and is asked, but neither cleaned up nor deleted.
TEST_F(ThreadPoolTest, ADestroyedPoolCreatedAgainRunsWorkAndLeavesItsOwnItemsToTheCaller)
{
    ASSERT_EQ(0, pool.Create(1, ThreadPool::kQueueBound));
    pool.Drain();
    pool.Destroy();
    ASSERT_EQ(0, pool.Create(2, ThreadPool::kQueueBound));
    ASSERT_EQ(0, pool.Work(&kept));
    pool.Drain();
    EXPECT_EQ(1, started);
    EXPECT_EQ(1, asked);
    EXPECT_EQ(0, cleaned);
    EXPECT_EQ(0, deleted);
}

// With three parked, each item runs on the one that parked last: the worker of the item before.
TEST_F(ThreadPoolTest, ParkedWorkersAreWokenLastInFirstOut)
{
    ASSERT_EQ(0, pool.Create(3, ThreadPool::kQueueBound));
    for (int id = 1; id <= 3; ++id)  // all three awake, then parked in some order
        ASSERT_EQ(0, pool.Work(new Item(this, id, 1)));
    ASSERT_TRUE(e2e::WaitFor([&] { return started == 3; }));
    gate = 1;
    for (int id = 4; id <= 23; ++id) {
        ASSERT_TRUE(e2e::WaitFor([&] { return deleted == id - 1 && pool.GetActiveCount() == 0; }));
        ASSERT_EQ(0, pool.Work(new Item(this, id, 0)));
    }
    ASSERT_TRUE(e2e::WaitFor([&] { return deleted == 23; }));
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
    ASSERT_EQ(0, pool.Create(1, ThreadPool::kQueueBound));
    ASSERT_EQ(0, pool.Work(new Holding(this, 1, 0)));
    ASSERT_TRUE(e2e::WaitFor(zep_fault_held));
    ASSERT_EQ(0, pool.Work(new Item(this, 2, 0)));
    zep_fault_release_hold();
    EXPECT_TRUE(e2e::WaitFor([&] { return deleted == 2; }));
}

}  // namespace
