// Controls of the fault-injecting runtime (target zep_fault): the shipped
// runtime with ZEP_Init, ZEP_Fini and ZEP_Thread_Create replaced, linked in
// place of zep. Every control may be called from any thread.
#ifndef ZEP_FAULT_H
#define ZEP_FAULT_H

extern "C" {

void zep_fault_reset(void);                  // ZEP_Init returns 0, no creation fails, counters 0
void zep_fault_set_init_result(int result);  // what every ZEP_Init returns from now on (-1: fails)
// The nth ZEP_Thread_Create from now (1-based) returns null without starting
// a thread; later calls succeed again. 0 disables.
void zep_fault_fail_thread_create(int nth);
int zep_fault_init_calls(void);  // ZEP_Init calls since the last reset
int zep_fault_fini_calls(void);  // ZEP_Fini calls since the last reset

}  // extern "C"

#endif
