#include "zepplus/ThreadPool.h"
#include "zep_fault.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <dirent.h>
#include <mutex>
#include <thread>

namespace {

constexpr std::chrono::seconds kBound(10);

// A count that items raise and the test waits on, never longer than kBound.
class Counter {
public:
    // The count this call made.
    int Raise()
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _changed.notify_all();
        return ++_count;
    }
    bool WaitFor(int count)
    {
        std::unique_lock<std::mutex> lock(_mutex);
        return _changed.wait_for(lock, kBound, [&] { return _count >= count; });
    }
    int Get() { std::lock_guard<std::mutex> lock(_mutex); return _count; }

private:
    std::mutex _mutex;
    std::condition_variable _changed;
    int _count = 0;
};

// What the items of one test report; blocking items wait until gate is raised.
// misordered counts items whose id differed from their place in start order.
struct Probe {
    Counter started, misordered, finished, asked, cleaned, deleted, gate;
};

struct Item : ThreadPool::IWorkItem {
    Item(Probe *probe, int id, bool autoDelete = true, bool blocks = false)
        : probe(probe), id(id), autoDelete(autoDelete), blocks(blocks) {}
    ~Item() override { probe->deleted.Raise(); }
    void Run() override
    {
        if (probe->started.Raise() != id)
            probe->misordered.Raise();
        if (blocks)
            probe->gate.WaitFor(1);
        probe->finished.Raise();
    }
    bool IsAutoDelete() override { probe->asked.Raise(); return autoDelete; }
    void Cleanup() override { probe->cleaned.Raise(); }

    Probe *probe;  // not owned
    int id;
    bool autoDelete, blocks;
};

// Spins rather than sleeps, so that a waiter acts the moment the condition holds.
template <typename Condition>
bool Eventually(Condition condition)
{
    auto deadline = std::chrono::steady_clock::now() + kBound;
    while (!condition() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    return condition();
}

int LiveThreads()
{
    int count = 0;
    DIR *dir = opendir("/proc/self/task");
    while (dirent *entry = readdir(dir))
        count += entry->d_name[0] != '.';
    closedir(dir);
    return count;
}

class ThreadPoolTest : public ::testing::Test {
protected:
    void SetUp() override { zep_fault_reset(); }
    // A failed assertion must not leave workers behind, blocked at the gate.
    void TearDown() override
    {
        probe.gate.Raise();
        if (!pool.IsDestroyed())
            pool.Destroy();
        zep_fault_reset();
    }
    Item *NewItem(int id, bool blocks = false) { return new Item(&probe, id, true, blocks); }

    Probe probe;
    Item kept{&probe, 0, false};  // the test's own; outlives a failed test's TearDown
    ThreadPool pool;
};

TEST_F(ThreadPoolTest, RefusalsAcrossTheLifecycleAndRecreation)
{
    EXPECT_EQ(-1, pool.Create(0, 2048));
    EXPECT_EQ(-1, pool.Create(-1, 2048));
    EXPECT_EQ(-1, pool.Create(1, -1));
    EXPECT_EQ(-100, pool.Work(&kept));
    pool.Drain();
    pool.Destroy();
    EXPECT_TRUE(pool.IsDestroyed());

    ASSERT_EQ(0, pool.Create(1, 2048));
    EXPECT_EQ(-1, pool.Work(nullptr));
    ASSERT_EQ(0, pool.Work(NewItem(1)));
    ASSERT_TRUE(probe.finished.WaitFor(1));
    pool.Drain();
    EXPECT_EQ(-100, pool.Work(&kept));
    pool.Destroy();
    EXPECT_EQ(-100, pool.Work(&kept));
    EXPECT_EQ(1, probe.asked.Get());  // the refused item was never taken

    // Three items blocked at once prove three workers; a second Create
    // starts no more, so a fourth item stays queued.
    ASSERT_EQ(0, pool.Create(3, 2048));
    for (int id = 2; id < 6; ++id)
        ASSERT_EQ(0, pool.Work(NewItem(id, true)));
    ASSERT_TRUE(probe.started.WaitFor(4));
    int threads = LiveThreads();
    EXPECT_EQ(0, pool.Create(5, 2048));
    EXPECT_EQ(threads, LiveThreads());
    EXPECT_EQ(1, pool.GetQueueCount());
    EXPECT_EQ(3, pool.GetActiveCount());
    probe.gate.Raise();
    EXPECT_TRUE(probe.finished.WaitFor(5));
}

// One worker, held: the queue takes a 2049th item and refuses the next; once
// released, everything runs in submission order and the pool takes work again.
TEST_F(ThreadPoolTest, QueueBoundAndSubmissionOrderBehindBusyWorker)
{
    ASSERT_EQ(0, pool.Create(1, 2048));
    ASSERT_EQ(0, pool.Work(NewItem(1, true)));
    ASSERT_TRUE(probe.started.WaitFor(1));
    for (int id = 2; id < 2050; ++id)
        ASSERT_EQ(0, pool.Work(NewItem(id)));
    EXPECT_EQ(2048, pool.GetQueueCount());
    ASSERT_EQ(0, pool.Work(NewItem(2050)));
    kept.id = 2051;
    EXPECT_EQ(-101, pool.Work(&kept));

    probe.gate.Raise();
    ASSERT_TRUE(probe.finished.WaitFor(2050));
    // Not auto-delete: after Run the pool asks, then never touches it again.
    ASSERT_EQ(0, pool.Work(&kept));
    ASSERT_TRUE(probe.asked.WaitFor(2051));
    pool.Destroy();
    EXPECT_EQ(2050, probe.cleaned.Get());
    EXPECT_EQ(2050, probe.deleted.Get());
    EXPECT_EQ(0, probe.misordered.Get());
}

TEST_F(ThreadPoolTest, DestroyFinishesRunningItemAndDiscardsQueuedOnes)
{
    ASSERT_EQ(0, pool.Create(1, 2048));
    ASSERT_EQ(0, pool.Work(NewItem(0, true)));
    ASSERT_TRUE(probe.started.WaitFor(1));
    ASSERT_EQ(0, pool.Work(NewItem(1)));
    ASSERT_EQ(0, pool.Work(NewItem(2)));
    ASSERT_EQ(0, pool.Work(&kept));

    // The gate opens only once Destroy is under way, so a Destroy that did
    // not wait for the running item would return before it finished.
    std::thread opener([&] {
        Eventually([&] { return pool.IsDestroyed(); });
        probe.gate.Raise();
    });
    pool.Destroy();
    int finishedAtReturn = probe.finished.Get();
    opener.join();
    EXPECT_EQ(1, finishedAtReturn);
    EXPECT_EQ(1, probe.started.Get());
    EXPECT_EQ(4, probe.asked.Get());
    EXPECT_EQ(3, probe.cleaned.Get());
    EXPECT_EQ(3, probe.deleted.Get());
}

TEST_F(ThreadPoolTest, ThirdWorkerFailingToStartUndoesCreate)
{
    // TSan starts a thread of its own along with the process's first one.
    std::thread([] {}).join();
    int baseline = LiveThreads();
    zep_fault_fail_thread_create(3);
    EXPECT_EQ(-102, pool.Create(4, 2048));
    EXPECT_TRUE(pool.IsDestroyed());
    // A joined thread may stay listed for a moment after its join returns;
    // one never joined is reported by TSan, a record never freed by LSan.
    EXPECT_TRUE(Eventually([&] { return LiveThreads() == baseline; }));
    EXPECT_EQ(-100, pool.Work(&kept));

    ASSERT_EQ(0, pool.Create(2, 2048));
    ASSERT_EQ(0, pool.Work(NewItem(1)));
    EXPECT_TRUE(probe.finished.WaitFor(1));
}

// Each round pushes one item at a different moment of a worker's way from
// the previous item's deletion to parking (the spin sweeps the moment): a push
// that the re-check before parking missed would stay queued until the bound.
// Known limitation: that moment lasts nanoseconds, so one run catches a
// missing re-check only now and then (about one run in six on two cores).
TEST_F(ThreadPoolTest, NoItemLostWhileWorkersPark)
{
    const int kRounds = 4000;
    for (int workers = 1; workers <= 2; ++workers) {
        ASSERT_EQ(0, pool.Create(workers, 2048));
        for (int round = 1; round <= kRounds; ++round) {
            int expected = probe.deleted.Get() + 1;
            ASSERT_EQ(0, pool.Work(NewItem(0)));
            ASSERT_TRUE(Eventually([&] { return probe.deleted.Get() == expected; })) << round;
            for (volatile int spin = 0; spin < round % 64; ++spin) {
            }
        }
        pool.Destroy();
    }
    EXPECT_EQ(2 * kRounds, probe.finished.Get());
}

}  // namespace
