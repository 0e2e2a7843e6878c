#include "zepplus/Synclock.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// Whether a try-mode guard on another thread gets the mutex; that guard is
// gone again when this returns.
bool TryLockElsewhere(ZEP_Mutex *mutex)
{
    bool locked = false;
    std::thread([&] {
        ScopedLock scopedLock(mutex, true);
        locked = scopedLock.IsLocked();
    }).join();
    return locked;
}

TEST(Synclock, TryGuardOnMutexHeldElsewhereHoldsAndReleasesNothing)
{
    ZEP_Mutex mutex;
    {
        ScopedLock scopedLock(&mutex, false);
        EXPECT_FALSE(TryLockElsewhere(&mutex));
        // Had the failed guard unlocked on its way out, this one would get in.
        EXPECT_FALSE(TryLockElsewhere(&mutex));
    }
    EXPECT_TRUE(TryLockElsewhere(&mutex));
}

TEST(Synclock, OwnerRelocksWithoutBlockingAndFreesOnlyAfterLastGuard)
{
    ZEP_Mutex mutex;
    {
        ScopedLock outer(&mutex, false);
        {
            ScopedLock inner(&mutex, false);
            ScopedLock tried(&mutex, true);
            EXPECT_TRUE(tried.IsLocked());
        }
        EXPECT_FALSE(TryLockElsewhere(&mutex));
    }
    EXPECT_TRUE(TryLockElsewhere(&mutex));
}

TEST(Synclock, AtomicsReturnPreviousOrNewValueAsDocumented)
{
    volatile int32_t cell = 5;
    EXPECT_EQ(5, AtomicSet(&cell, 7));
    EXPECT_EQ(7, cell);
    EXPECT_EQ(7, AtomicCas(&cell, 9, 4));  // mismatch leaves the cell alone
    EXPECT_EQ(7, AtomicCas(&cell, 9, 7));
    EXPECT_EQ(9, cell);

    cell = 0;
    EXPECT_EQ(0, AtomicGet(&cell));
    EXPECT_EQ(0, cell);
    cell = -3;
    EXPECT_EQ(-3, AtomicGet(&cell));
    EXPECT_EQ(-3, cell);

    cell = 0;
    EXPECT_EQ(1, AtomicInc(&cell));
    EXPECT_EQ(0, AtomicDec(&cell));
    EXPECT_EQ(-1, AtomicAdd(&cell, -1));
    EXPECT_EQ(-1, cell);
}

}  // namespace
