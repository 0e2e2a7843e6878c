// Controls of the fault-injecting runtime (target zep_fault): the shipped
// runtime with ZEP_Init, ZEP_Fini, ZEP_Thread_Create, ZEP_SemCreate,
// ZEP_MutexLock and ZEP_MutexUnlock replaced, linked in place of zep. Every
// control may be called from any thread.
#ifndef ZEP_FAULT_H
#define ZEP_FAULT_H

extern "C" {

void zep_fault_reset(void);                  // ZEP_Init returns 0, nothing fails, counters 0, held goes on
void zep_fault_set_init_result(int result);  // what every ZEP_Init returns from now on (-1: fails)
// The nth ZEP_Thread_Create (ZEP_SemCreate) from now, 1-based, fails without
// starting a thread (making a semaphore); later calls succeed. 0 disables.
void zep_fault_fail_thread_create(int nth);
void zep_fault_fail_sem_create(int nth);
int zep_fault_init_calls(void);  // ZEP_Init calls since the last reset
int zep_fault_fini_calls(void);  // ZEP_Fini calls since the last reset
// Holds the calling thread in its next ZEP_MutexLock of a mutex it has unlocked
// since, until released: from a work item, a worker between finding the queue
// empty and taking the queue lock again to park.
void zep_fault_hold_relock(void);
bool zep_fault_held(void);  // true while a thread is held
void zep_fault_release_hold(void);
// The calling thread sleeps 1 ms before each of its ZEP_MutexLock calls from
// now on (until called with false): what it read before a lock is then often
// stale by the time it holds it, so races on that gap show.
void zep_fault_slow_locks(bool slow);

}  // extern "C"

#endif
