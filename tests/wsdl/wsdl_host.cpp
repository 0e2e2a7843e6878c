// Serves the test service on a free loopback port for an outside client:
// writes the port to stderr (stdout carries the log), then serves until its
// stdin closes.
#include "e2e.h"
#include "wsgate/wsgate.h"

#include <cstdio>

int main()
{
    const int port = e2e::FreePort();
    if (!gsoapws_init())
        return 1;
    void *server = gsoapws_create("127.0.0.1", port);
    const bool started =
        server && gsoapws_add_service(server, "/test", e2e::TestEntry, e2e::TestWsdlPath(), false, 0) &&
        gsoapws_start(server, nullptr);
    if (started) {
        std::fprintf(stderr, "%d\n", port);
        while (std::getchar() != EOF) {
        }
        gsoapws_stop(server);
    }
    gsoapws_fini();
    return started ? 0 : 1;
}
