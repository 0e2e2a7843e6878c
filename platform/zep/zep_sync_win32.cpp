#include "zep_internal.h"

#include <windows.h>

#include <climits>

// Every failure is reported as -1; callers only distinguish ZEP_OK.

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(ZEP_MUTEX) && alignof(CRITICAL_SECTION) <= alignof(ZEP_MUTEX),
              "ZEP_MUTEX must hold a CRITICAL_SECTION");

namespace {

// A critical section is re-entrant by nature, as the instance manager and
// the pool need.
CRITICAL_SECTION *SectionOf(ZEP_MUTEX *mutex)
{
    return mutex != nullptr ? reinterpret_cast<CRITICAL_SECTION *>(mutex->storage) : nullptr;
}

HANDLE SemOf(ZEP_SEM *sem)
{
    return sem != nullptr ? static_cast<HANDLE>(*sem) : nullptr;
}

}  // namespace

extern "C" int ZEP_MutexCreate(ZEP_MUTEX *mutex, int)
{
    CRITICAL_SECTION *section = SectionOf(mutex);
    if (section == nullptr) {
        return -1;
    }
    InitializeCriticalSection(section);
    return ZEP_OK;
}

extern "C" int ZEP_MutexDestroy(ZEP_MUTEX *mutex)
{
    CRITICAL_SECTION *section = SectionOf(mutex);
    if (section == nullptr) {
        return -1;
    }
    DeleteCriticalSection(section);
    return ZEP_OK;
}

int zep::MutexLock(ZEP_MUTEX *mutex)
{
    CRITICAL_SECTION *section = SectionOf(mutex);
    if (section == nullptr) {
        return -1;
    }
    EnterCriticalSection(section);
    return ZEP_OK;
}

extern "C" int ZEP_MutexTryLock(ZEP_MUTEX *mutex)
{
    CRITICAL_SECTION *section = SectionOf(mutex);
    return section != nullptr && TryEnterCriticalSection(section) ? ZEP_OK : -1;
}

int zep::MutexUnlock(ZEP_MUTEX *mutex)
{
    CRITICAL_SECTION *section = SectionOf(mutex);
    // Leaving a section another thread owns corrupts it, where a POSIX
    // mutex refuses: refuse the same way.
    if (section == nullptr ||
        section->OwningThread != reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GetCurrentThreadId()))) {
        return -1;
    }
    LeaveCriticalSection(section);
    return ZEP_OK;
}

// The ZEP_SEM record holds the semaphore's handle.
int zep::SemCreate(ZEP_SEM *sem, int initialCount)
{
    if (sem == nullptr || initialCount < 0) {
        return -1;
    }
    HANDLE created = CreateSemaphoreW(nullptr, initialCount, LONG_MAX, nullptr);
    if (created == nullptr) {
        return -1;
    }
    *sem = created;
    return ZEP_OK;
}

extern "C" int ZEP_SemDestroy(ZEP_SEM *sem)
{
    HANDLE s = SemOf(sem);
    if (s == nullptr) {
        return -1;
    }
    CloseHandle(s);
    *sem = nullptr;
    return ZEP_OK;
}

extern "C" int ZEP_SemPost(ZEP_SEM *sem)
{
    HANDLE s = SemOf(sem);
    return s != nullptr && ReleaseSemaphore(s, 1, nullptr) ? ZEP_OK : -1;
}

extern "C" int ZEP_SemWait(ZEP_SEM *sem)
{
    HANDLE s = SemOf(sem);
    return s != nullptr && WaitForSingleObject(s, INFINITE) == WAIT_OBJECT_0 ? ZEP_OK : -1;
}

// The Interlocked functions are full barriers, so both are sequentially
// consistent like their POSIX counterparts.
extern "C" int32_t ZEP_AtomicCas(volatile int32_t *dest, int32_t exchange, int32_t comparand)
{
    return InterlockedCompareExchange(reinterpret_cast<volatile LONG *>(dest), exchange, comparand);
}

extern "C" int32_t ZEP_AtomicAdd(volatile int32_t *dest, int32_t delta)
{
    return InterlockedExchangeAdd(reinterpret_cast<volatile LONG *>(dest), delta);
}

extern "C" void ZEP_Sleep(int milliseconds)
{
    if (milliseconds > 0) {
        Sleep(static_cast<DWORD>(milliseconds));
    }
}
