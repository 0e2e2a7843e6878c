#include "zep_internal.h"

#include <new>

namespace {

// What a ZEP_THREAD points at. Allocated before the thread exists so the
// new thread never touches memory its creator might still be filling in.
struct ThreadRecord {
    pthread_t id;
    ZEP_THREAD_PROC proc;
    void *arg;
};

extern "C" void *RunThread(void *record)
{
    ThreadRecord *self = static_cast<ThreadRecord *>(record);
    // The routine's result has no reader: ZEP_Thread_Wait only reports
    // whether the join worked.
    self->proc(self->arg);
    return nullptr;
}

}  // namespace

namespace zep {

ZEP_THREAD StartThread(ZEP_THREAD_PROC proc, void *arg)
{
    if (proc == nullptr) {
        return nullptr;
    }
    ThreadRecord *record = new (std::nothrow) ThreadRecord{pthread_t(), proc, arg};
    if (record == nullptr) {
        return nullptr;
    }
    if (pthread_create(&record->id, nullptr, RunThread, record) != 0) {
        delete record;
        return nullptr;
    }
    return record;
}

}  // namespace zep

extern "C" int ZEP_Thread_Wait(ZEP_THREAD thread)
{
    if (thread == nullptr) {
        return -1;
    }
    ThreadRecord *record = static_cast<ThreadRecord *>(thread);
    int rc = pthread_join(record->id, nullptr);
    if (rc != 0) {
        // Only a thread waiting on itself gets here with a live handle; the
        // handle dies anyway, so let the thread release itself when it ends.
        pthread_detach(record->id);
    }
    delete record;
    return rc == 0 ? ZEP_OK : -1;
}
