// Arbitrary request bytes through the real connection routine and dispatch of a running server:
// written into one end of a socket pair whose other end is handed over as an accepted connection.
#include "e2e.h"
#include "gsoap_server_class.h"
#include "gsoap_server_instance_mgr.h"
#include "gsoap_server_routine.h"
#include "zeplog_recording.h"

#include <sys/socket.h>
#include <unistd.h>

#include <climits>
#include <cstdint>

static gsoap_server *server;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    zeplog_recording::SetThreshold(INT_MAX);  // nothing recorded: the run stays flat in memory
    gsoap_server_instance_mgr &manager = gsoap_server_instance_mgr::instance();
    server = manager.init() ? manager.get_server_instance("127.0.0.1", e2e::FreePort()) : nullptr;
    gsoap_start_server_param params = {16, 1, 1, 2, 100};  // 1 s time-outs, two connection workers
    if (!server || !server->register_service("/test", e2e::TestEntry, e2e::TestWsdlPath(), false, 0) ||
        !server->register_service("/pooled", e2e::TestEntry, e2e::TestWsdlPath(), true, 2) || !server->start(&params))
        __builtin_trap();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    int ends[2];
    // Inputs are far smaller than the socket buffer: the send never blocks.
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0 || send(ends[0], data, size, 0) != static_cast<ssize_t>(size) ||
        shutdown(ends[0], SHUT_WR) != 0)
        __builtin_trap();
    response_routine connection(server, ends[1]);  // owns ends[1] from here
    connection.Run();
    connection.Cleanup();
    char buffer[65536];
    while (recv(ends[0], buffer, sizeof buffer, 0) > 0)  // until closed; libFuzzer's -timeout catches a wedge
        continue;
    close(ends[0]);
    return 0;
}
