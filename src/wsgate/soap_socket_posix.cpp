#include "soap_context.h"

#include <sys/socket.h>
#include <unistd.h>

// close() alone does not wake a thread blocked in accept(), so the socket is
// shut down first.
void closesocket_portable(int sock)
{
    shutdown_socket_portable(sock);
    close(sock);
}

void shutdown_socket_portable(int sock)
{
    shutdown(sock, SHUT_RDWR);
}

const int kSendFlags = MSG_NOSIGNAL;
