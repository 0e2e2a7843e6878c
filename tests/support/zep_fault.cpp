#include "zep_fault.h"

#include "zep.h"
#include "zep_internal.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

std::atomic<int> g_initResult{0}, g_initCalls{0}, g_finiCalls{0};
// Calls left until the failing one; the call that takes it from 1 to 0 fails.
std::atomic<int> g_threadCountdown{0}, g_semCountdown{0};

bool FailsNow(std::atomic<int> &countdown)
{
    int left = countdown.load();
    while (left > 0 && !countdown.compare_exchange_weak(left, left - 1)) {
    }
    return left == 1;
}

std::mutex g_holdMutex;
std::condition_variable g_holdChanged;
bool g_held = false, g_released = false;  // g_holdMutex
thread_local bool t_armed = false;
thread_local ZEP_MUTEX *t_unlocked = nullptr;  // since arming

}  // namespace

extern "C" {

void zep_fault_reset(void)
{
    g_initResult = g_initCalls = g_finiCalls = g_threadCountdown = g_semCountdown = 0;
    zep_fault_release_hold();
    std::lock_guard<std::mutex> lock(g_holdMutex);
    g_held = false;  // for the next hold's waiter
}
void zep_fault_set_init_result(int result) { g_initResult = result; }
void zep_fault_fail_thread_create(int nth) { g_threadCountdown = nth > 0 ? nth : 0; }
void zep_fault_fail_sem_create(int nth) { g_semCountdown = nth > 0 ? nth : 0; }
int zep_fault_init_calls(void) { return g_initCalls; }
int zep_fault_fini_calls(void) { return g_finiCalls; }
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

void zep_fault_hold_relock(void)
{
    {
        std::lock_guard<std::mutex> lock(g_holdMutex);
        g_held = g_released = false;
    }
    t_armed = true;
    t_unlocked = nullptr;
}

int zep_fault_wait_held(int milliseconds)
{
    std::unique_lock<std::mutex> lock(g_holdMutex);
    return g_holdChanged.wait_for(lock, std::chrono::milliseconds(milliseconds), [] { return g_held; });
}

void zep_fault_release_hold(void)
{
    {
        std::lock_guard<std::mutex> lock(g_holdMutex);
        g_released = true;
    }
    g_holdChanged.notify_all();
}

int ZEP_MutexUnlock(ZEP_MUTEX *mutex)
{
    if (t_armed)
        t_unlocked = mutex;
    return zep::MutexUnlock(mutex);
}

int ZEP_MutexLock(ZEP_MUTEX *mutex)
{
    if (t_armed && mutex == t_unlocked) {
        t_armed = false;
        std::unique_lock<std::mutex> lock(g_holdMutex);
        g_held = true;
        g_holdChanged.notify_all();
        g_holdChanged.wait(lock, [] { return g_released; });
    }
    return zep::MutexLock(mutex);
}

}  // extern "C"
