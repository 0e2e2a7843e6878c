#include "zeplog_recording.h"

#include <climits>
#include <mutex>

namespace {

struct State {
    std::vector<zeplog_recording::Record> records;
    int threshold = INT_MIN;
    int lookups = 0;
    std::string lastLookupName;
    int releases = 0;
    int thresholdQueries = 0;
    int inits = 0;
    std::string lastInitFile;
    int lastInitReserved = 0;
    int finis = 0;
};

std::mutex g_lock;
State g_state;  // guarded by g_lock

// The handle every lookup returns; only its address matters.
char g_logger;

}  // namespace

namespace zeplog_recording {

void Reset()
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_state = State();
}

void SetThreshold(int threshold)
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_state.threshold = threshold;
}

std::vector<Record> Records()
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_state.records;
}

int LookupCount()
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_state.lookups;
}

std::string LastLookupName()
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_state.lastLookupName;
}

int ReleaseCount()
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_state.releases;
}

int ThresholdQueries()
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_state.thresholdQueries;
}

int InitCount()
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_state.inits;
}

std::string LastInitFile()
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_state.lastInitFile;
}

int LastInitReserved()
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_state.lastInitReserved;
}

int FiniCount()
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_state.finis;
}

}  // namespace zeplog_recording

// The C entry points must not throw: a failed copy of a name or message
// (out of memory) loses that detail only.

extern "C" ZEPLOG_HANDLE zeplog_get_logger(const char *name)
{
    std::lock_guard<std::mutex> guard(g_lock);
    ++g_state.lookups;
    try {
        g_state.lastLookupName = name != nullptr ? name : "";
    } catch (...) {
    }
    return &g_logger;
}

extern "C" void zeplog_release_logger(ZEPLOG_HANDLE)
{
    std::lock_guard<std::mutex> guard(g_lock);
    ++g_state.releases;
}

extern "C" int zeplog_get_threshold(ZEPLOG_HANDLE)
{
    std::lock_guard<std::mutex> guard(g_lock);
    ++g_state.thresholdQueries;
    return g_state.threshold;
}

extern "C" void zeplog_write(ZEPLOG_HANDLE logger, int level, const char *message,
                             const char *file, const char *function, int line)
{
    std::lock_guard<std::mutex> guard(g_lock);
    try {
        g_state.records.push_back(
            {logger, level, message != nullptr ? message : "", file, function, line});
    } catch (...) {
    }
}

extern "C" int zeplog_init(const char *configFile, int reserved)
{
    std::lock_guard<std::mutex> guard(g_lock);
    ++g_state.inits;
    g_state.lastInitReserved = reserved;
    try {
        g_state.lastInitFile = configFile != nullptr ? configFile : "";
    } catch (...) {
    }
    return 0;
}

extern "C" void zeplog_fini(void)
{
    std::lock_guard<std::mutex> guard(g_lock);
    ++g_state.finis;
}
