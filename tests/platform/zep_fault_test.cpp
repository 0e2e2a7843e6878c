#include "zep.h"
#include "zep_fault.h"

#include <gtest/gtest.h>

namespace {

struct Probe {
    ZEP_MUTEX *mutex;
    ZEP_SEM done;
    volatile int32_t runs;
    int tryLockResult;
};

int TryLockAndSignal(void *arg)
{
    Probe *probe = static_cast<Probe *>(arg);
    ZEP_AtomicAdd(&probe->runs, 1);
    probe->tryLockResult = ZEP_MutexTryLock(probe->mutex);
    if (probe->tryLockResult == ZEP_OK) {
        ZEP_MutexUnlock(probe->mutex);
    }
    ZEP_SemPost(&probe->done);
    return 0;
}

class ZepFault : public ::testing::Test {
protected:
    void SetUp() override { zep_fault_reset(); }
    void TearDown() override { zep_fault_reset(); }
};

TEST_F(ZepFault, InitResultIsControlledAndCallsAreCounted)
{
    EXPECT_EQ(0, ZEP_Init());
    zep_fault_set_init_result(-1);
    EXPECT_EQ(-1, ZEP_Init());
    ZEP_Fini();
    EXPECT_EQ(2, zep_fault_init_calls());
    EXPECT_EQ(1, zep_fault_fini_calls());

    zep_fault_reset();
    EXPECT_EQ(0, zep_fault_init_calls());
    EXPECT_EQ(0, ZEP_Init());
}

// Also exercises the runtime shared with the shipped library: a mutex held
// (twice, re-entrantly) by this thread is busy for another until fully
// released; a semaphore hands the result back.
TEST_F(ZepFault, OnlyTheNthThreadCreateFailsAndRuntimeSyncWorks)
{
    ZEP_MUTEX mutex;
    ASSERT_EQ(ZEP_OK, ZEP_MutexCreate(&mutex, 0));
    Probe probe{&mutex, nullptr, 0, ZEP_OK};
    ASSERT_EQ(ZEP_OK, ZEP_SemCreate(&probe.done, 0));
    ASSERT_EQ(ZEP_OK, ZEP_MutexLock(&mutex));
    ASSERT_EQ(ZEP_OK, ZEP_MutexLock(&mutex));

    zep_fault_fail_thread_create(2);
    ZEP_THREAD first = ZEP_Thread_Create(TryLockAndSignal, &probe, 0, 0, 0, 0);
    ASSERT_NE(nullptr, first);
    ZEP_SemWait(&probe.done);
    EXPECT_NE(ZEP_OK, probe.tryLockResult);
    EXPECT_EQ(nullptr, ZEP_Thread_Create(TryLockAndSignal, &probe, 0, 0, 0, 0));

    EXPECT_EQ(ZEP_OK, ZEP_MutexUnlock(&mutex));
    EXPECT_EQ(ZEP_OK, ZEP_MutexUnlock(&mutex));
    ZEP_THREAD third = ZEP_Thread_Create(TryLockAndSignal, &probe, 0, 0, 0, 0);
    ASSERT_NE(nullptr, third);
    ZEP_SemWait(&probe.done);
    EXPECT_EQ(ZEP_OK, probe.tryLockResult);

    EXPECT_EQ(ZEP_OK, ZEP_Thread_Wait(first));
    EXPECT_EQ(ZEP_OK, ZEP_Thread_Wait(third));
    EXPECT_EQ(2, ZEP_AtomicCas(&probe.runs, 0, 0));
    EXPECT_EQ(2, ZEP_AtomicCas(&probe.runs, 7, 2));
    EXPECT_EQ(7, ZEP_AtomicAdd(&probe.runs, -1));
    ZEP_SemDestroy(&probe.done);
    EXPECT_EQ(ZEP_OK, ZEP_MutexDestroy(&mutex));
}

}  // namespace
