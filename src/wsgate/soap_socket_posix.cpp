#include "soap_context.h"

#include <sys/socket.h>
#include <unistd.h>

// close() alone does not wake a thread blocked in accept(), so the socket is
// shut down first.
void closesocket_portable(int sock)
{
    shutdown(sock, SHUT_RDWR);
    close(sock);
}

const int kSendFlags = MSG_NOSIGNAL;
