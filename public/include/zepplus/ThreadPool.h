// A fixed set of worker threads serving a FIFO queue of work items.
//
// Workers are created together by Create and joined together by Destroy;
// there is no growth, shrinking or time-out. Each worker parks on a semaphore
// of its own; a Work call wakes at most one parked worker (the last to park),
// and an awake worker keeps taking items until the queue is empty.
//
// Lock order: _lifecycleLock before _queueLock; only Work holds both.
// Workers take only _queueLock, and never while an item runs.
//
// Allocation failures inside the pool's own containers do not escape: Create
// undoes itself and returns -102; Work leaves the queue as it was and returns
// -101, the caller still owning the item.
#ifndef ZEPPLUS_THREADPOOL_H
#define ZEPPLUS_THREADPOOL_H

#include "zepplus/Synclock.h"

#include <cstdint>
#include <deque>
#include <vector>

class ThreadHandle {
public:
    ThreadHandle() : _handle(nullptr) {}
    // True when the runtime started the thread.
    bool Create(ZEP_THREAD_PROC routine, void *arg, int flags);
    bool IsValid() const { return _handle != nullptr; }
    // Joins the thread; the handle must then be Reset.
    void Wait();
    void Reset() { _handle = nullptr; }

private:
    ZEP_THREAD _handle;
};

class ThreadPool {
public:
    class IWorkItem {
    public:
        virtual ~IWorkItem() {}
        // Called at most once, on a worker, with no pool lock held. Must not throw.
        virtual void Run() = 0;
        // Asked once the pool is done with the item (after Run, or when
        // Destroy discards it). True hands disposal to the pool: Cleanup, then delete.
        virtual bool IsAutoDelete() = 0;
        virtual void Cleanup() = 0;
    };

    // Work refuses an item once more than this many are waiting; the bound
    // every owner passes to Create.
    static const int kQueueBound = 2048;

    ThreadPool();
    // Releases members only: a created pool must be Destroyed first.
    ~ThreadPool();
    ThreadPool(const ThreadPool &) = delete;
    ThreadPool &operator=(const ThreadPool &) = delete;

    // Owner's thread. Starts poolSize workers. 0 on success, and also on a
    // pool that already has workers (nothing changes); -1 for poolSize < 1 or
    // maxQueueSize < 0; -102 when a worker's thread or semaphore cannot be
    // made (the pool is then destroyed again and may be created later).
    int Create(int poolSize, int maxQueueSize);
    // Any thread, workers included. 0 when queued (the pool owns the item);
    // -1 for a null item; -100 when the pool does not accept work; -101 when
    // more than kQueueBound items are waiting. On non-zero the caller still owns item.
    int Work(IWorkItem *item);
    // Owner's thread, never a worker. Stops accepting work and blocks,
    // polling every 200 ms, until nothing is queued or running. No time-out.
    void Drain();
    // Owner's thread, never a worker, and only after Drain (debug builds
    // report a pool still accepting work): Destroy joins every worker while
    // holding the lifecycle lock, so an item that calls Work on its own pool
    // (the accept routine does) could block on that lock and never be
    // joined. A running item is finished first; queued items are discarded
    // unrun. On a pool without workers it changes nothing (debug builds
    // report the call).
    void Destroy();

    int GetQueueCount();
    int GetActiveCount();
    bool IsRunning();
    bool IsDestroyed();

private:
    struct ThreadData {
        ThreadData() : index(-1), wakeup(0), idle(true), pool(nullptr) {}

        ThreadHandle thread;
        int index;
        ZEP_Sema wakeup;
        bool idle;         // written under _queueLock only
        ThreadPool *pool;  // not owned
    };

    static int WorkerProc(void *record);
    void Serve(ThreadData *self);
    static void Dispose(IWorkItem *item);

    int _maxQueueSize;
    int32_t _activeCount;                  // atomic cell
    std::vector<ThreadData *> _threads;    // owned records; _lifecycleLock
    std::deque<ThreadData *> _idleThreads; // parked workers, used as a stack; _queueLock
    std::deque<IWorkItem *> _workQueue;    // owned items; _queueLock
    int32_t _queueCount;                   // atomic cell; refreshed under _queueLock
    int _poolSize;
    int32_t _destroyed;                    // atomic cell: 1 while the pool has no workers
    ZEP_Mutex _lifecycleLock;              // serialises Create, Destroy and Work
    ZEP_Mutex _queueLock;
    int32_t _running;                      // atomic cell: 1 while accepting work
};

#endif
