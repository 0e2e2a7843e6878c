#include "zep_internal.h"

#include <windows.h>

#include <new>
#include <process.h>

namespace {

// What a ZEP_THREAD points at. Allocated before the thread exists so the
// new thread never touches memory its creator might still be filling in.
struct ThreadRecord {
    HANDLE handle;
    ZEP_THREAD_PROC proc;
    void *arg;
};

// _beginthreadex rather than CreateThread: the thread uses the C runtime.
unsigned __stdcall RunThread(void *record)
{
    ThreadRecord *self = static_cast<ThreadRecord *>(record);
    // The routine's result has no reader: ZEP_Thread_Wait only reports
    // whether the join worked.
    self->proc(self->arg);
    return 0;
}

}  // namespace

namespace zep {

ZEP_THREAD StartThread(ZEP_THREAD_PROC proc, void *arg)
{
    if (proc == nullptr) {
        return nullptr;
    }
    ThreadRecord *record = new (std::nothrow) ThreadRecord{nullptr, proc, arg};
    if (record == nullptr) {
        return nullptr;
    }
    // The new thread reads proc and arg only, so the handle may be filled
    // in after it started.
    uintptr_t handle = _beginthreadex(nullptr, 0, RunThread, record, 0, nullptr);
    if (handle == 0) {
        delete record;
        return nullptr;
    }
    record->handle = reinterpret_cast<HANDLE>(handle);
    return record;
}

}  // namespace zep

extern "C" int ZEP_Thread_Wait(ZEP_THREAD thread)
{
    if (thread == nullptr) {
        return -1;
    }
    ThreadRecord *record = static_cast<ThreadRecord *>(thread);
    // A thread waiting on itself would wait for ever; the handle dies anyway,
    // and the thread runs on to its end on its own.
    bool joined = GetThreadId(record->handle) != GetCurrentThreadId() &&
                  WaitForSingleObject(record->handle, INFINITE) == WAIT_OBJECT_0;
    CloseHandle(record->handle);
    delete record;
    return joined ? ZEP_OK : -1;
}
