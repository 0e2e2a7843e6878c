#include "zep_internal.h"

extern "C" ZEP_THREAD ZEP_Thread_Create(ZEP_THREAD_PROC proc, void *arg, int, int, int, int)
{
    return zep::StartThread(proc, arg);
}

extern "C" int ZEP_MutexLock(ZEP_MUTEX *mutex)
{
    return zep::MutexLock(mutex);
}
extern "C" int ZEP_MutexUnlock(ZEP_MUTEX *mutex)
{
    return zep::MutexUnlock(mutex);
}
extern "C" int ZEP_SemCreate(ZEP_SEM *sem, int initialCount)
{
    return zep::SemCreate(sem, initialCount);
}
