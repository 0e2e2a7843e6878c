#include "demo_platform.h"

#include <windows.h>

namespace {

HANDLE stopRequested = nullptr;
DWORD stopEvent = 0;

// Runs on a thread of its own that the console starts for each event.
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    stopEvent = event;
    SetEvent(stopRequested);
    return TRUE;
}

}  // namespace

bool EnterExecutableDirectory()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length == sizeof path)
        return false;
    while (length > 0 && path[length - 1] != '\\' && path[length - 1] != '/')
        --length;
    path[length] = '\0';
    return SetCurrentDirectoryA(path) != 0;
}

void PrepareForStop()
{
    stopRequested = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

std::string WaitForStop()
{
    WaitForSingleObject(stopRequested, INFINITE);
    switch (stopEvent) {
    case CTRL_C_EVENT: return "Ctrl+C";
    case CTRL_BREAK_EVENT: return "Ctrl+Break";
    default: return "console closed";
    }
}
