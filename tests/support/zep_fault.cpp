#include "zep_fault.h"

#include "zep.h"
#include "zep_internal.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

std::atomic<int> g_initResult{0}, g_initCalls{0}, g_finiCalls{0};
// Calls left until the failing one: the call that takes it from 1 to 0 fails.
std::atomic<int> g_threadCountdown{0}, g_semCountdown{0};
bool FailsNow(std::atomic<int> &countdown) { return countdown > 0 && countdown.fetch_sub(1) == 1; }
enum Hold { kNone, kHeld, kReleased };
std::atomic<Hold> g_hold{kReleased};
thread_local bool t_armed = false;
thread_local ZEP_MUTEX *t_unlocked = nullptr;  // the last since arming
thread_local bool t_slowLocks = false;

}  // namespace

extern "C" {

void zep_fault_reset(void)
{
    g_initResult = g_initCalls = g_finiCalls = g_threadCountdown = g_semCountdown = 0;
    g_hold = kReleased;
}
void zep_fault_set_init_result(int result) { g_initResult = result; }
void zep_fault_fail_thread_create(int nth) { g_threadCountdown = nth > 0 ? nth : 0; }
void zep_fault_fail_sem_create(int nth) { g_semCountdown = nth > 0 ? nth : 0; }
int zep_fault_init_calls(void) { return g_initCalls; }
int zep_fault_fini_calls(void) { return g_finiCalls; }
void zep_fault_hold_relock(void) { g_hold = kNone, t_armed = true, t_unlocked = nullptr; }
void zep_fault_release_hold(void) { g_hold = kReleased; }
bool zep_fault_held(void) { return g_hold == kHeld; }
void zep_fault_slow_locks(bool slow) { t_slowLocks = slow; }

int ZEP_Init(void) { ++g_initCalls; return g_initResult; }
int ZEP_Fini(void) { ++g_finiCalls; return 0; }

ZEP_THREAD ZEP_Thread_Create(ZEP_THREAD_PROC proc, void *arg, int, int, int, int)
{
    return FailsNow(g_threadCountdown) ? nullptr : zep::StartThread(proc, arg);
}

int ZEP_SemCreate(ZEP_SEM *sem, int initialCount)
{
    return FailsNow(g_semCountdown) ? -1 : zep::SemCreate(sem, initialCount);
}

int ZEP_MutexUnlock(ZEP_MUTEX *mutex)
{
    t_unlocked = t_armed ? mutex : nullptr;
    return zep::MutexUnlock(mutex);
}

int ZEP_MutexLock(ZEP_MUTEX *mutex)
{
    if (t_slowLocks)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (t_armed && mutex == t_unlocked) {
        t_armed = false;
        Hold none = kNone;  // unless released (or reset) already
        g_hold.compare_exchange_strong(none, kHeld);
        while (g_hold == kHeld)
            std::this_thread::yield();
    }
    return zep::MutexLock(mutex);
}

}  // extern "C"
