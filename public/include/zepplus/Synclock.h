// Thin wrappers over the runtime's re-entrant mutex, counting semaphore and
// 32-bit atomics. Locks are taken only through ScopedLock.
#ifndef ZEPPLUS_SYNCLOCK_H
#define ZEPPLUS_SYNCLOCK_H

#include <zep.h>

#include <cstdint>

// Re-entrant: the owning thread may lock again and must unlock as often.
class ZEP_Mutex {
public:
    ZEP_Mutex();
    ~ZEP_Mutex();
    ZEP_Mutex(const ZEP_Mutex &) = delete;
    // Copies the runtime record, nothing more. The system never assigns a
    // mutex; the Windows library exports this for hosts of older builds.
    ZEP_Mutex &operator=(const ZEP_Mutex &other);

    // Returns once the calling thread owns the mutex.
    void Lock();
    // True when acquired without blocking.
    bool TryLock();
    void Unlock();

private:
    ZEP_MUTEX _record;
};

class ZEP_Sema {
public:
    explicit ZEP_Sema(int initialCount);
    ~ZEP_Sema();
    ZEP_Sema(const ZEP_Sema &) = delete;
    // Copies the runtime record, as ZEP_Mutex's does.
    ZEP_Sema &operator=(const ZEP_Sema &other);

    // False when the runtime could not make the semaphore: Wait would then
    // return at once instead of blocking.
    bool IsCreated() const { return _record != nullptr; }
    // Counts posts: a Post before the Wait makes the Wait return at once.
    void Post();
    // Blocks with no time-out until a post is available, then takes it.
    void Wait();

private:
    ZEP_SEM _record;  // null when creation failed
};

// Holds the mutex for the rest of the enclosing block. In try mode it may
// hold nothing, and then releases nothing.
class ScopedLock {
public:
    ScopedLock(ZEP_Mutex *mutex, bool tryLock);
    ~ScopedLock();
    ScopedLock(const ScopedLock &) = delete;
    ScopedLock &operator=(const ScopedLock &) = delete;

    bool IsLocked() const { return _locked; }

private:
    ZEP_Mutex *_mutex;  // not owned
    bool _locked;
};

// Sequentially consistent operations on 32-bit cells that other threads see.
// AtomicCas and AtomicSet return the previous value; AtomicAdd, AtomicInc and
// AtomicDec the new one, so AtomicDec returning 0 means "took it from 1 to 0".
inline int32_t AtomicCas(volatile int32_t *dest, int32_t exchange, int32_t comparand)
{
    return ZEP_AtomicCas(dest, exchange, comparand);
}

inline int32_t AtomicGet(volatile int32_t *dest)
{
    return AtomicCas(dest, 0, 0);
}

inline int32_t AtomicSet(volatile int32_t *dest, int32_t value)
{
    for (;;) {
        int32_t old = AtomicGet(dest);
        if (AtomicCas(dest, value, old) == old)
            return old;
    }
}

inline int32_t AtomicAdd(volatile int32_t *dest, int32_t delta)
{
    return ZEP_AtomicAdd(dest, delta) + delta;
}

inline int32_t AtomicInc(volatile int32_t *dest)
{
    return AtomicAdd(dest, 1);
}

inline int32_t AtomicDec(volatile int32_t *dest)
{
    return AtomicAdd(dest, -1);
}

#endif
