#include "zep_thread_internal.h"

extern "C" ZEP_THREAD ZEP_Thread_Create(ZEP_THREAD_PROC proc, void *arg, int, int, int, int)
{
    return zep::StartThread(proc, arg);
}
