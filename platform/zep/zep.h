/* Portable runtime: threads, re-entrant mutexes, counting semaphores,
 * sequentially consistent 32-bit atomics and sleep. Plain C API so that
 * the rest of the system calls it exactly as it would any runtime. */
#ifndef ZEP_H
#define ZEP_H

#include <stdint.h>
#ifndef _WIN32
#include <pthread.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define ZEP_OK 0

/* Held by value inside ZEP_Mutex; always re-entrant. */
#ifdef _WIN32
/* Room for a CRITICAL_SECTION (24 bytes on 32-bit Windows, 40 on 64-bit), so that users of
 * this header need not include windows.h. */
typedef struct ZEP_MUTEX {
    void *storage[6];
} ZEP_MUTEX;
#else
typedef struct ZEP_MUTEX {
    pthread_mutex_t handle;
} ZEP_MUTEX;
#endif

/* A semaphore record is one handle-sized value the runtime fills in. */
typedef void *ZEP_SEM;

typedef void *ZEP_THREAD;
typedef int (*ZEP_THREAD_PROC)(void *arg);

/* -1 on failure, anything else on success. */
int ZEP_Init(void);
int ZEP_Fini(void);

/* Mutex and semaphore calls return ZEP_OK on success and -1 on failure
 * (a null record included). flags is reserved and must be 0. */
int ZEP_MutexCreate(ZEP_MUTEX *mutex, int flags);
int ZEP_MutexDestroy(ZEP_MUTEX *mutex);
int ZEP_MutexLock(ZEP_MUTEX *mutex);
/* ZEP_OK when acquired without blocking, any other value otherwise. */
int ZEP_MutexTryLock(ZEP_MUTEX *mutex);
int ZEP_MutexUnlock(ZEP_MUTEX *mutex);

int ZEP_SemCreate(ZEP_SEM *sem, int initialCount);
int ZEP_SemDestroy(ZEP_SEM *sem);
int ZEP_SemPost(ZEP_SEM *sem);
int ZEP_SemWait(ZEP_SEM *sem);

/* Null when the thread could not be started. The four trailing arguments
 * are reserved and must be 0. */
ZEP_THREAD ZEP_Thread_Create(ZEP_THREAD_PROC proc, void *arg, int reserved1, int reserved2,
                             int reserved3, int reserved4);
/* Joins the thread and frees the handle; the handle is dead afterwards.
 * ZEP_OK once joined, -1 for a null handle or a failed join. */
int ZEP_Thread_Wait(ZEP_THREAD thread);

/* Both return the value the cell held before the call. */
int32_t ZEP_AtomicCas(volatile int32_t *dest, int32_t exchange, int32_t comparand);
int32_t ZEP_AtomicAdd(volatile int32_t *dest, int32_t delta);

void ZEP_Sleep(int milliseconds);

#ifdef __cplusplus
}
#endif

#endif
