// Controls of the fault-injecting runtime (target zep_fault): the shipped
// runtime with ZEP_Init, ZEP_Fini, ZEP_Thread_Create, ZEP_SemCreate,
// ZEP_MutexLock and ZEP_MutexUnlock replaced, linked in place of zep. Every
// control may be called from any thread.
#ifndef ZEP_FAULT_H
#define ZEP_FAULT_H

extern "C" {

// ZEP_Init returns 0, no creation fails, counters 0, a held thread goes on.
void zep_fault_reset(void);
void zep_fault_set_init_result(int result);  // what every ZEP_Init returns from now on (-1: fails)
// The nth ZEP_Thread_Create (or ZEP_SemCreate) from now, 1-based, fails
// without starting a thread (making a semaphore); later calls succeed again.
// 0 disables.
void zep_fault_fail_thread_create(int nth);
void zep_fault_fail_sem_create(int nth);
int zep_fault_init_calls(void);  // ZEP_Init calls since the last reset
int zep_fault_fini_calls(void);  // ZEP_Fini calls since the last reset

// The calling thread's first ZEP_MutexLock, from now on, of a mutex that it
// has unlocked since this call waits until zep_fault_release_hold. Called
// from a work item, it holds the pool worker after it has found the queue
// empty and before it takes the queue lock again to park.
void zep_fault_hold_relock(void);
int zep_fault_wait_held(int milliseconds);  // 1 once a thread is held there, 0 past the bound
void zep_fault_release_hold(void);

}  // extern "C"

#endif
