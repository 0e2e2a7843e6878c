/* Controls of the fault-injecting runtime (target zep_fault): the shipped
 * runtime with ZEP_Init, ZEP_Fini and ZEP_Thread_Create replaced, linked in
 * place of zep. Every control may be called from any thread. */
#ifndef ZEP_FAULT_H
#define ZEP_FAULT_H

#ifdef __cplusplus
extern "C" {
#endif

/* Back to normal behaviour: ZEP_Init returns 0, no thread creation fails,
 * both call counters 0. */
void zep_fault_reset(void);
/* What every ZEP_Init returns from now on (-1 makes start-up fail). */
void zep_fault_set_init_result(int result);
/* The nth ZEP_Thread_Create call from now (1-based) returns null without
 * starting a thread; later calls succeed again. 0 disables. */
void zep_fault_fail_thread_create(int nth);
/* ZEP_Init / ZEP_Fini calls since the last reset. */
int zep_fault_init_calls(void);
int zep_fault_fini_calls(void);

#ifdef __cplusplus
}
#endif

#endif
