// The process's operator new is replaced here (a link seam: the standard
// lets a program supply its own), so that a statement's formatting can be
// made to run out of memory. In an executable of its own for that reason.
#include "Log.h"
#include "zeplog_recording.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace rec = zeplog_recording;

namespace {

// Allocations on this thread that fail before the next one succeeds.
thread_local int t_failingAllocations = 0;

}  // namespace

void *operator new(std::size_t size)
{
    if (t_failingAllocations > 0) {
        --t_failingAllocations;
        throw std::bad_alloc();
    }
    if (void *block = std::malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}
// The operator new above takes its memory from malloc, so these free it.
void operator delete(void *block) noexcept { std::free(block); }
void operator delete(void *block, std::size_t) noexcept { std::free(block); }

namespace {

TEST(LogNoThrow, AStatementWhoseFormattingRunsOutOfMemoryWritesTheUnformattedMessage)
{
    LogManager::GetInstance().GetLogger();
    rec::Reset();
    t_failingAllocations = 1;
    EXPECT_NO_THROW(LOG_FAILURE("Accept a Connection {0}", 7));
    t_failingAllocations = 0;
    EXPECT_EQ("5 Accept a Connection {0}\n", rec::Text());
}

}  // namespace
