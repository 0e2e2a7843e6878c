/* The work behind the entry points that the test suite's fault-injecting
 * runtime replaces (thread creation, mutex lock and unlock, semaphore
 * creation), shared by it and the shipped entry points so that both behave
 * the same way. Internal to the runtime; not installed. */
#ifndef ZEP_INTERNAL_H
#define ZEP_INTERNAL_H

#include "zep.h"

namespace zep {

// Starts proc(arg) on a new joinable thread. Null when proc is null, the
// handle cannot be allocated or the thread cannot be created. The handle
// is owned by the caller until ZEP_Thread_Wait frees it.
ZEP_THREAD StartThread(ZEP_THREAD_PROC proc, void *arg);

// As ZEP_MutexLock, ZEP_MutexUnlock and ZEP_SemCreate.
int MutexLock(ZEP_MUTEX *mutex);
int MutexUnlock(ZEP_MUTEX *mutex);
int SemCreate(ZEP_SEM *sem, int initialCount);

}  // namespace zep

#endif
