/* Thread start-up shared by the shipped ZEP_Thread_Create and the
 * fault-injecting one of the test suite, so that both start threads the
 * same way. Internal to the runtime; not installed. */
#ifndef ZEP_THREAD_INTERNAL_H
#define ZEP_THREAD_INTERNAL_H

#include "zep.h"

namespace zep {

// Starts proc(arg) on a new joinable thread. Null when proc is null, the
// handle cannot be allocated or the thread cannot be created. The handle
// is owned by the caller until ZEP_Thread_Wait frees it.
ZEP_THREAD StartThread(ZEP_THREAD_PROC proc, void *arg);

}  // namespace zep

#endif
