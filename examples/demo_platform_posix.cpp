#include "demo_platform.h"

#include <climits>
#include <csignal>
#include <cstring>
#include <libgen.h>
#include <pthread.h>
#include <unistd.h>

namespace {

sigset_t StopSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

}  // namespace

bool EnterExecutableDirectory()
{
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length < 0)
        return false;
    path[length] = '\0';
    return chdir(dirname(path)) == 0;
}

// Blocked before the library starts any thread, so every worker inherits
// the mask and only sigwait sees the stop signals.
void PrepareForStop()
{
    sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

std::string WaitForStop()
{
    sigset_t signals = StopSignals();
    int received = 0;
    sigwait(&signals, &received);
    return strsignal(received);
}
