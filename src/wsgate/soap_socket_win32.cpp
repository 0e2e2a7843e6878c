#include "soap_context.h"

#include <winsock2.h>

// closesocket alone ends a blocked accept() on the socket with an error.
void closesocket_portable(int sock)
{
    closesocket(static_cast<SOCKET>(sock));
}

// Windows has no SIGPIPE.
const int kSendFlags = 0;
