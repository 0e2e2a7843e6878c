#include "zep.h"

#include <winsock2.h>

// Winsock is the one process-wide thing the runtime starts: every socket the
// library and gSOAP open needs it. WSAStartup and WSACleanup are counted by
// Windows itself, so a host that started Winsock on its own is unaffected.

extern "C" int ZEP_Init(void)
{
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0 ? 0 : -1;
}

extern "C" int ZEP_Fini(void)
{
    return WSACleanup() == 0 ? 0 : -1;
}
