// Bounded calls, the stop and shut-down among them, apart from the other helpers so that a program
// that drives the core without the exported functions links without them.
#include "e2e.h"
#include "wsgate/wsgate.h"

#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

namespace e2e {

void Bounded(const char *call, std::chrono::seconds bound, const std::function<void()> &body)
{
    std::promise<void> returned;
    std::thread watchdog([call, bound, done = returned.get_future()] {
        if (done.wait_for(bound) == std::future_status::timeout)
            std::fprintf(stderr, "%s has not returned within %d s\n", call, int(bound.count())), std::_Exit(1);
    });
    body();
    returned.set_value();
    watchdog.join();
}

void Stop(void *server, std::chrono::seconds bound)
{
    Bounded("gsoapws_stop", bound, [server] { gsoapws_stop(server); });
}

void Fini(std::chrono::seconds bound) { Bounded("gsoapws_fini", bound, [] { gsoapws_fini(); }); }

}  // namespace e2e
