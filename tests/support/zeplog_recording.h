// Recording log library (target zeplog_recording): implements zeplog.h and
// is linked in place of zeplog, so tests can see exactly what the system
// hands the log library. It writes nothing anywhere. All calls, the
// controls included, are thread-safe.
#ifndef ZEPLOG_RECORDING_H
#define ZEPLOG_RECORDING_H

#include "zeplog.h"

#include <string>
#include <vector>

namespace zeplog_recording {

// One zeplog_write call. file and function are the caller's pointers, kept
// as the real library keeps them; message is copied.
struct Record {
    ZEPLOG_HANDLE logger;
    int level;
    std::string message;
    const char *file;
    const char *function;
    int line;
};

// Forgets all records and counts; the threshold goes back to INT_MIN.
void Reset();
// What zeplog_get_threshold answers from now on.
void SetThreshold(int threshold);
// Every zeplog_write call since the last Reset, in call order, whatever
// the threshold.
std::vector<Record> Records();
int LookupCount();            // zeplog_get_logger calls
std::string LastLookupName(); // "" if none, or if the name was null
int ReleaseCount();           // zeplog_release_logger calls
int ThresholdQueries();       // zeplog_get_threshold calls
int InitCount();              // zeplog_init calls
std::string LastInitFile();   // "" if none, or if the name was null
int LastInitReserved();       // second argument of the last zeplog_init
int FiniCount();              // zeplog_fini calls

}  // namespace zeplog_recording

#endif
