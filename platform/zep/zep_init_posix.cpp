#include "zep.h"

// The runtime keeps no process-wide state: everything lives in the records
// and handles its callers hold, so start-up and shut-down have nothing to do.

extern "C" int ZEP_Init(void)
{
    return 0;
}

extern "C" int ZEP_Fini(void)
{
    return 0;
}
