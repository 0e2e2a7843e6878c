#include "zep_fault.h"

#include "zep.h"
#include "zep_thread_internal.h"

#include <atomic>

namespace {

std::atomic<int> g_initResult{0}, g_initCalls{0}, g_finiCalls{0};
// Calls left until the failing one; the call that takes it from 1 to 0 fails.
std::atomic<int> g_createCountdown{0};

}  // namespace

extern "C" {

void zep_fault_reset(void) { g_initResult = g_initCalls = g_finiCalls = g_createCountdown = 0; }
void zep_fault_set_init_result(int result) { g_initResult = result; }
void zep_fault_fail_thread_create(int nth) { g_createCountdown = nth > 0 ? nth : 0; }
int zep_fault_init_calls(void) { return g_initCalls; }
int zep_fault_fini_calls(void) { return g_finiCalls; }
int ZEP_Init(void) { ++g_initCalls; return g_initResult; }
int ZEP_Fini(void) { ++g_finiCalls; return 0; }

ZEP_THREAD ZEP_Thread_Create(ZEP_THREAD_PROC proc, void *arg, int, int, int, int)
{
    int left = g_createCountdown.load();
    while (left > 0 && !g_createCountdown.compare_exchange_weak(left, left - 1)) {
    }
    return left == 1 ? nullptr : zep::StartThread(proc, arg);
}

}  // extern "C"
