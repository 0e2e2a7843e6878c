#include "zeplog_recording.h"

#include <algorithm>
#include <climits>
#include <mutex>

namespace {

struct State {
    std::vector<zeplog_recording::Record> records;
    int threshold = INT_MIN, lookups = 0, releases = 0, thresholdQueries = 0;
    int inits = 0, finis = 0;
    std::string lastLookupName, lastInitFile;
};

std::mutex g_lock;
State g_state;  // guarded by g_lock
char g_logger;  // the handle every lookup returns; only its address matters

template <typename F>
auto Locked(F f)
{
    std::lock_guard<std::mutex> guard(g_lock);
    return f(g_state);
}

// For the C entry points, which must not throw: a failed copy of a name or
// message (out of memory) loses that detail only.
template <typename F>
void Update(F f) noexcept
try {
    Locked(f);
} catch (...) {
}

const char *OrEmpty(const char *text) { return text != nullptr ? text : ""; }

}  // namespace

namespace zeplog_recording {

void Reset() { Locked([](State &s) { s = State(); }); }
void SetThreshold(int threshold) { Locked([=](State &s) { s.threshold = threshold; }); }

#define ZEPLOG_RECORDING_GETTER(Type, Name, field) \
    Type Name() { return Locked([](State &s) { return s.field; }); }
ZEPLOG_RECORDING_GETTER(std::vector<Record>, Records, records)
ZEPLOG_RECORDING_GETTER(int, LookupCount, lookups)
ZEPLOG_RECORDING_GETTER(std::string, LastLookupName, lastLookupName)
ZEPLOG_RECORDING_GETTER(int, ReleaseCount, releases)
ZEPLOG_RECORDING_GETTER(int, ThresholdQueries, thresholdQueries)
ZEPLOG_RECORDING_GETTER(int, InitCount, inits)
ZEPLOG_RECORDING_GETTER(std::string, LastInitFile, lastInitFile)
ZEPLOG_RECORDING_GETTER(int, FiniCount, finis)
#undef ZEPLOG_RECORDING_GETTER

std::string Text()
{
    std::string text;
    for (const Record &record : Records())
        text += std::to_string(record.level) + " " + record.message + "\n";
    return text;
}

long Count(int level, const std::string &message)
{
    const std::vector<Record> records = Records();
    return std::count_if(records.begin(), records.end(),
                         [&](const Record &r) { return r.level == level && r.message == message; });
}

}  // namespace zeplog_recording

extern "C" {

ZEPLOG_HANDLE zeplog_get_logger(const char *name)
{
    Update([=](State &s) { ++s.lookups; s.lastLookupName = OrEmpty(name); });
    return &g_logger;
}

void zeplog_release_logger(ZEPLOG_HANDLE) { Update([](State &s) { ++s.releases; }); }
void zeplog_fini(void) { Update([](State &s) { ++s.finis; }); }

int zeplog_get_threshold(ZEPLOG_HANDLE)
{
    return Locked([](State &s) { ++s.thresholdQueries; return s.threshold; });
}

void zeplog_write(ZEPLOG_HANDLE logger, int level, const char *message, const char *file,
                  const char *function, int line)
{
    Update([=](State &s) { s.records.push_back({logger, level, OrEmpty(message), file, function, line}); });
}

int zeplog_init(const char *configFile, int)
{
    Update([=](State &s) { ++s.inits; s.lastInitFile = OrEmpty(configFile); });
    return 0;
}

}  // extern "C"
