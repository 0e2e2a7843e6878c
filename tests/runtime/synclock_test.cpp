#include "zepplus/Synclock.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// Whether a try-mode guard on another thread gets the mutex (it lets it go again).
bool TryLockElsewhere(ZEP_Mutex *mutex)
{
    bool locked = false;
    std::thread([&] { locked = ScopedLock(mutex, true).IsLocked(); }).join();
    return locked;
}

TEST(Synclock, OwnerRelocksAndOthersGetInOnlyAfterTheLastGuard)
{
    ZEP_Mutex mutex;
    {
        ScopedLock outer(&mutex, false);
        {
            ScopedLock inner(&mutex, false);
            EXPECT_TRUE(ScopedLock(&mutex, true).IsLocked());
        }
        EXPECT_FALSE(TryLockElsewhere(&mutex));
        EXPECT_FALSE(TryLockElsewhere(&mutex));  // the failed guard released nothing
    }
    EXPECT_TRUE(TryLockElsewhere(&mutex));
}

// Each result also shows what the call before it left in the cell.
TEST(Synclock, AtomicsReturnPreviousOrNewValue)
{
    volatile int32_t cell = 5;
    EXPECT_EQ(5, AtomicSet(&cell, 7));      // previous
    EXPECT_EQ(7, AtomicCas(&cell, 9, 4));   // previous; a mismatch writes nothing
    EXPECT_EQ(7, AtomicCas(&cell, 9, 7));   // previous
    EXPECT_EQ(9, AtomicGet(&cell));
    EXPECT_EQ(10, AtomicInc(&cell));        // new
    EXPECT_EQ(9, AtomicDec(&cell));         // new
    EXPECT_EQ(-1, AtomicAdd(&cell, -10));   // new
    EXPECT_EQ(-1, AtomicGet(&cell));
}

}  // namespace
