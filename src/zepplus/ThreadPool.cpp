#include "zepplus/ThreadPool.h"

#include "zepplus/Contract.h"

#include <new>

bool ThreadHandle::Create(ZEP_THREAD_PROC routine, void *arg, int flags)
{
    _handle = ZEP_Thread_Create(routine, arg, flags, 0, 0, 0);
    return _handle != nullptr;
}

void ThreadHandle::Wait()
{
    ZEP_Thread_Wait(_handle);
}

ThreadPool::ThreadPool()
    : _maxQueueSize(0), _activeCount(0), _queueCount(0), _poolSize(0), _destroyed(1), _running(0)
{
}

ThreadPool::~ThreadPool() {}

int ThreadPool::Create(int poolSize, int maxQueueSize)
{
    ZEP_CONTRACT(poolSize > 0);
    ZEP_CONTRACT(maxQueueSize >= 0);
    if (poolSize <= 0 || maxQueueSize < 0)
        return -1;
    ZEP_CONTRACT(true == IsDestroyed());
    if (!IsDestroyed())
        return 0;

    ScopedLock scopedLock(&_lifecycleLock, false);
    AtomicSet(&_destroyed, 0);
    _poolSize = poolSize;
    _maxQueueSize = maxQueueSize;
    AtomicSet(&_activeCount, 0);
    AtomicSet(&_queueCount, 0);
    try {
        {
            ScopedLock scopedLock2(&_queueLock, false);
            _idleThreads.clear();
        }
        _threads.assign(poolSize, nullptr);
    } catch (const std::bad_alloc &) {
        Destroy();
        return -102;
    }
    for (int index = 0; index < poolSize; ++index) {
        ThreadData *record = new (std::nothrow) ThreadData();
        if (!record) {
            Destroy();
            return -102;
        }
        _threads[index] = record;
        record->idle = false;
        record->index = index;
        record->pool = this;
        // A worker without its semaphore could never park: it would spin,
        // so it counts as one that could not be started.
        if (!record->wakeup.IsCreated() || !record->thread.Create(&ThreadPool::WorkerProc, record, 0)) {
            // Destroy re-enters _lifecycleLock: joins the workers already
            // started and frees every record, this one included.
            Destroy();
            return -102;
        }
    }
    AtomicSet(&_running, 1);
    return 0;
}

int ThreadPool::Work(IWorkItem *item)
{
    ZEP_CONTRACT(NULL != item);
    if (!item)
        return -1;
    if (!IsRunning())
        return -100;

    ScopedLock scopedLock(&_lifecycleLock, false);
    if (!IsRunning())
        return -100;
    // Tested before the push, so the queue may hold kQueueBound + 1 items.
    if (GetQueueCount() > kQueueBound)
        return -101;

    ScopedLock scopedLock2(&_queueLock, false);
    try {
        _workQueue.push_back(item);
    } catch (const std::bad_alloc &) {
        return -101;
    }
    AtomicSet(&_queueCount, static_cast<int32_t>(_workQueue.size()));
    if (!_idleThreads.empty()) {
        ThreadData *parked = _idleThreads.back();
        _idleThreads.pop_back();
        if (parked) {
            parked->idle = false;
            parked->wakeup.Post();
        }
    }
    return 0;
}

void ThreadPool::Drain()
{
    AtomicSet(&_running, 0);
    while (GetQueueCount() > 0 || GetActiveCount() > 0)
        ZEP_Sleep(200);
}

void ThreadPool::Destroy()
{
    ZEP_CONTRACT(false == IsDestroyed());
    if (IsDestroyed())
        return;
    ZEP_CONTRACT(false == IsRunning());

    AtomicSet(&_running, 0);
    ScopedLock scopedLock(&_lifecycleLock, false);
    AtomicSet(&_destroyed, 1);

    for (int index = 0; index < _poolSize; ++index) {
        ThreadData *record = index < static_cast<int>(_threads.size()) ? _threads[index] : nullptr;
        if (!record)
            continue;
        if (record->thread.IsValid()) {
            record->wakeup.Post();
            record->thread.Wait();
            record->thread.Reset();
        }
        delete record;
        _threads[index] = nullptr;
    }

    // Every worker is joined: nothing else touches the queue any more.
    for (IWorkItem *&item : _workQueue) {
        if (item)
            Dispose(item);
        item = nullptr;
    }
    {
        ScopedLock scopedLock2(&_queueLock, false);
        _workQueue.clear();
        _idleThreads.clear();
    }
    _threads.clear();
    AtomicSet(&_activeCount, 0);
    AtomicSet(&_queueCount, 0);
    _poolSize = 0;
    _maxQueueSize = 0;
}

int ThreadPool::GetQueueCount()
{
    return AtomicGet(&_queueCount);
}

int ThreadPool::GetActiveCount()
{
    return AtomicGet(&_activeCount);
}

bool ThreadPool::IsRunning()
{
    return AtomicGet(&_running) == 1;
}

bool ThreadPool::IsDestroyed()
{
    return AtomicGet(&_destroyed) != 0;
}

void ThreadPool::Dispose(IWorkItem *item)
{
    if (item->IsAutoDelete()) {
        item->Cleanup();
        delete item;
    }
}

int ThreadPool::WorkerProc(void *record)
{
    ThreadData *self = static_cast<ThreadData *>(record);
    self->pool->Serve(self);
    return 0;
}

void ThreadPool::Serve(ThreadData *self)
{
    {
        ScopedLock scopedLock(&_queueLock, false);
        if (GetQueueCount() > 0) {
            // Work already queued: make the coming Wait return at once.
            self->idle = false;
            self->wakeup.Post();
        } else {
            self->idle = true;
            _idleThreads.push_back(self);
        }
    }

    for (;;) {
        if (IsDestroyed())
            return;
        self->wakeup.Wait();
        if (IsDestroyed())
            return;
        AtomicInc(&_activeCount);

        for (;;) {
            if (IsDestroyed())
                return;
            IWorkItem *item = nullptr;
            {
                ScopedLock scopedLock(&_queueLock, false);
                if (!_workQueue.empty()) {
                    item = _workQueue.front();
                    _workQueue.pop_front();
                }
                AtomicSet(&_queueCount, static_cast<int32_t>(_workQueue.size()));
            }
            if (item) {
                item->Run();
                Dispose(item);
                continue;
            }

            // Re-checked under the lock Work pushes under: either this worker
            // sees the new item, or Work sees this worker parked and wakes it.
            ScopedLock scopedLock(&_queueLock, false);
            if (GetQueueCount() > 0)
                continue;
            self->idle = true;
            AtomicDec(&_activeCount);
            _idleThreads.push_back(self);
            break;
        }
    }
}
