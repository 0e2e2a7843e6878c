#include "soap_context.h"

#include <winsock2.h>

// closesocket alone ends a blocked accept() on the socket with an error.
void closesocket_portable(int sock)
{
    closesocket(static_cast<SOCKET>(sock));
}

void shutdown_socket_portable(int sock)
{
    shutdown(static_cast<SOCKET>(sock), SD_BOTH);
}

// Windows has no SIGPIPE.
const int kSendFlags = 0;
