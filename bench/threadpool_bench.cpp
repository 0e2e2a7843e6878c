// Hand-off cost of ThreadPool for tiny items, beside a plain mutex and
// condition-variable queue served by as many threads. Each iteration queues
// a batch and waits until the last item of it has run; items are allocated
// per submission and deleted after Run in both, as the server's routines are.
#include "zepplus/ThreadPool.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

const int kBatch = 1000;  // below ThreadPool::kQueueBound

// Lets the submitting thread wait until a batch has run.
class BatchDone {
public:
    void Expect(int count)
    {
        _left = count;
        _done = false;
    }
    void ItemRan()
    {
        if (--_left == 0) {
            std::lock_guard<std::mutex> lock(_mutex);
            _done = true;
            _changed.notify_one();
        }
    }
    void Wait()
    {
        std::unique_lock<std::mutex> lock(_mutex);
        _changed.wait(lock, [&] { return _done; });
    }

private:
    std::atomic<int> _left{0};
    std::mutex _mutex;
    std::condition_variable _changed;
    bool _done = false;  // _mutex
};

class TinyItem : public ThreadPool::IWorkItem {
public:
    explicit TinyItem(BatchDone *batch) : _batch(batch) {}
    void Run() override { _batch->ItemRan(); }
    bool IsAutoDelete() override { return true; }
    void Cleanup() override {}

private:
    BatchDone *_batch;  // not owned
};

// The baseline: one lock, one condition variable, a deque, no queue bound.
class PlainQueue {
public:
    explicit PlainQueue(int workers)
    {
        for (int i = 0; i < workers; ++i)
            _threads.emplace_back([this] { Serve(); });
    }
    ~PlainQueue()
    {
        {
            std::lock_guard<std::mutex> lock(_mutex);
            _stopping = true;
        }
        _changed.notify_all();
        for (std::thread &thread : _threads)
            thread.join();
    }
    PlainQueue(const PlainQueue &) = delete;
    PlainQueue &operator=(const PlainQueue &) = delete;

    void Push(ThreadPool::IWorkItem *item)
    {
        {
            std::lock_guard<std::mutex> lock(_mutex);
            _items.push_back(item);
        }
        _changed.notify_one();
    }

private:
    void Serve()
    {
        for (;;) {
            ThreadPool::IWorkItem *item;
            {
                std::unique_lock<std::mutex> lock(_mutex);
                _changed.wait(lock, [&] { return _stopping || !_items.empty(); });
                if (_items.empty())
                    return;
                item = _items.front();
                _items.pop_front();
            }
            item->Run();
            delete item;
        }
    }

    std::mutex _mutex;
    std::condition_variable _changed;
    std::deque<ThreadPool::IWorkItem *> _items;  // owned; _mutex
    bool _stopping = false;                      // _mutex
    std::vector<std::thread> _threads;
};

void BM_ThreadPool(benchmark::State &state)
{
    BatchDone batch;
    ThreadPool pool;
    if (pool.Create(static_cast<int>(state.range(0)), ThreadPool::kQueueBound) != 0) {
        state.SkipWithError("ThreadPool::Create failed");
        return;
    }
    for (auto _ : state) {
        batch.Expect(kBatch);
        for (int i = 0; i < kBatch; ++i) {
            TinyItem *item = new TinyItem(&batch);
            if (pool.Work(item) != 0) {
                delete item;
                batch.ItemRan();
            }
        }
        batch.Wait();
    }
    pool.Drain();
    pool.Destroy();
    state.SetItemsProcessed(state.iterations() * kBatch);
}

void BM_PlainQueue(benchmark::State &state)
{
    BatchDone batch;
    PlainQueue queue(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        batch.Expect(kBatch);
        for (int i = 0; i < kBatch; ++i)
            queue.Push(new TinyItem(&batch));
        batch.Wait();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}

}  // namespace

BENCHMARK(BM_ThreadPool)->Arg(1)->Arg(2)->Arg(10)->UseRealTime();
BENCHMARK(BM_PlainQueue)->Arg(1)->Arg(2)->Arg(10)->UseRealTime();

BENCHMARK_MAIN();
