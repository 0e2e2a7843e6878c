// The gSOAP thread-per-connection server of its user guide: the accept loop
// copies the master context for every connection and serves it on a new,
// detached thread, which frees the copy when the connection ends.
// --threads is accepted for a uniform command line and ignored.
#include "CalculatorH.h"
#include "bench_server.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

// Detached threads still alive; the program ends only after the last one.
class LiveCount {
public:
    LiveCount() = default;
    LiveCount(const LiveCount &) = delete;
    LiveCount &operator=(const LiveCount &) = delete;

    void Add()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_live;
    }
    void Remove()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (--m_live == 0)
            m_none.notify_all();
    }
    /// Blocks until every thread has ended.
    void WaitForNone()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_none.wait(lock, [this] { return m_live == 0; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_none;  // guarded by m_mutex
    int m_live = 0;                  // guarded by m_mutex
};

void ServeConnection(struct soap *ctx, LiveCount *live)
{
    Calculator::Calculator_serve(ctx);
    soap_destroy(ctx);
    soap_end(ctx);
    soap_free(ctx);
    live->Remove();
}

}  // namespace

int main(int argc, char **argv)
{
    DemoOptions options;
    int status = 0;
    if (!ParseServerOptions(argc, argv, "gsoap_thread_server", options, status))
        return status;
    struct soap *master = OpenMaster(options);
    if (!master)
        return 1;
    {
        StopOnSignal stop(master);
        LiveCount live;
        std::printf("gsoap_thread_server listening on %s:%d\n", options.ip.c_str(), options.port);
        std::fflush(stdout);
        for (;;) {
            SOAP_SOCKET sock = soap_accept(master);
            master->socket = SOAP_INVALID_SOCKET;  // the copy below owns it
            if (!soap_valid_socket(sock)) {
                if (stop.Stopping())
                    break;
                continue;
            }
            struct soap *ctx = soap_copy(master);
            if (!ctx) {
                close(sock);
                continue;
            }
            ctx->socket = sock;
            live.Add();
            std::thread(ServeConnection, ctx, &live).detach();
        }
        live.WaitForNone();
    }
    ReleaseMaster(master);
    return 0;
}
