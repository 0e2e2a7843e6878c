#include "zep_internal.h"

#include <cerrno>
#include <ctime>
#include <new>
#include <semaphore.h>

// Every failure is reported as -1; callers only distinguish ZEP_OK.

extern "C" int ZEP_MutexCreate(ZEP_MUTEX *mutex, int)
{
    if (mutex == nullptr) {
        return -1;
    }
    pthread_mutexattr_t attr;
    if (pthread_mutexattr_init(&attr) != 0) {
        return -1;
    }
    // Re-entrant always: the instance manager and the pool re-lock a mutex
    // their own thread already holds.
    int rc = pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    if (rc == 0) {
        rc = pthread_mutex_init(&mutex->handle, &attr);
    }
    pthread_mutexattr_destroy(&attr);
    return rc == 0 ? ZEP_OK : -1;
}

extern "C" int ZEP_MutexDestroy(ZEP_MUTEX *mutex)
{
    return mutex != nullptr && pthread_mutex_destroy(&mutex->handle) == 0 ? ZEP_OK : -1;
}

int zep::MutexLock(ZEP_MUTEX *mutex)
{
    return mutex != nullptr && pthread_mutex_lock(&mutex->handle) == 0 ? ZEP_OK : -1;
}

extern "C" int ZEP_MutexTryLock(ZEP_MUTEX *mutex)
{
    return mutex != nullptr && pthread_mutex_trylock(&mutex->handle) == 0 ? ZEP_OK : -1;
}

int zep::MutexUnlock(ZEP_MUTEX *mutex)
{
    return mutex != nullptr && pthread_mutex_unlock(&mutex->handle) == 0 ? ZEP_OK : -1;
}

namespace {

sem_t *SemOf(ZEP_SEM *sem)
{
    return sem != nullptr ? static_cast<sem_t *>(*sem) : nullptr;
}

}  // namespace

// The ZEP_SEM record holds a pointer to a heap-allocated POSIX semaphore.
int zep::SemCreate(ZEP_SEM *sem, int initialCount)
{
    if (sem == nullptr || initialCount < 0) {
        return -1;
    }
    sem_t *created = new (std::nothrow) sem_t;
    if (created == nullptr) {
        return -1;
    }
    if (sem_init(created, 0, static_cast<unsigned>(initialCount)) != 0) {
        delete created;
        return -1;
    }
    *sem = created;
    return ZEP_OK;
}

extern "C" int ZEP_SemDestroy(ZEP_SEM *sem)
{
    sem_t *s = SemOf(sem);
    if (s == nullptr) {
        return -1;
    }
    sem_destroy(s);
    delete s;
    *sem = nullptr;
    return ZEP_OK;
}

extern "C" int ZEP_SemPost(ZEP_SEM *sem)
{
    sem_t *s = SemOf(sem);
    return s != nullptr && sem_post(s) == 0 ? ZEP_OK : -1;
}

extern "C" int ZEP_SemWait(ZEP_SEM *sem)
{
    sem_t *s = SemOf(sem);
    if (s == nullptr) {
        return -1;
    }
    // Waits have no time-out, so a signal must not end one early.
    int rc;
    while ((rc = sem_wait(s)) != 0 && errno == EINTR) {
    }
    return rc == 0 ? ZEP_OK : -1;
}

extern "C" int32_t ZEP_AtomicCas(volatile int32_t *dest, int32_t exchange, int32_t comparand)
{
    // On a mismatch the builtin stores the current value into comparand, so
    // comparand is the previous value on both paths.
    __atomic_compare_exchange_n(dest, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return comparand;
}

extern "C" int32_t ZEP_AtomicAdd(volatile int32_t *dest, int32_t delta)
{
    return __atomic_fetch_add(dest, delta, __ATOMIC_SEQ_CST);
}

extern "C" void ZEP_Sleep(int milliseconds)
{
    if (milliseconds <= 0) {
        return;
    }
    timespec remaining{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    // A signal handled on this thread must not cut the sleep short.
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}
