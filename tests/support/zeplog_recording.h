// Recording log library (target zeplog_recording), linked in place of zeplog
// so tests see exactly what the system hands the log library; it writes
// nothing. Every call, the controls included, is thread-safe.
#ifndef ZEPLOG_RECORDING_H
#define ZEPLOG_RECORDING_H

#include "zeplog.h"

#include <string>
#include <vector>

namespace zeplog_recording {

// One zeplog_write call.
struct Record {
    ZEPLOG_HANDLE logger;
    int level;
    std::string message;          // copied
    const char *file, *function;  // the caller's pointers, kept as the real library keeps them
    int line;
};

void Reset();                      // forgets records and counts; threshold back to INT_MIN
void SetThreshold(int threshold);  // what zeplog_get_threshold answers from now on
std::vector<Record> Records();     // every zeplog_write since Reset, in order, whatever the threshold
std::string Text();                // the records as "level message" lines, in order
long Count(int level, const std::string &message);  // records with exactly this level and message
int LookupCount();                 // zeplog_get_logger calls
std::string LastLookupName();      // "" if none, or if the name was null
int ReleaseCount();                // zeplog_release_logger calls
int ThresholdQueries();            // zeplog_get_threshold calls
int InitCount();                   // zeplog_init calls
std::string LastInitFile();        // "" if none, or if the name was null
int FiniCount();                   // zeplog_fini calls

}  // namespace zeplog_recording

#endif
