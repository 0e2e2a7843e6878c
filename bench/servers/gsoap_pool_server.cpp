// The gSOAP pool server as its user guide lays it out ("multi-threaded
// stand-alone service"): one accept loop, a bounded queue of accepted
// sockets, and --threads workers, each with its own copy of the master
// context made once at start, running soap_serve on one socket after another.
#include "CalculatorH.h"
#include "bench_server.h"

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// The guide's ring of sockets; an invalid socket tells a worker to end.
class SocketQueue {
public:
    SocketQueue() = default;
    SocketQueue(const SocketQueue &) = delete;
    SocketQueue &operator=(const SocketQueue &) = delete;

    /// Blocks while the queue is full.
    void Push(SOAP_SOCKET sock)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_notFull.wait(lock, [this] { return m_sockets.size() < kMaxQueue; });
        m_sockets.push_back(sock);
        m_notEmpty.notify_one();
    }

    /// Blocks while the queue is empty.
    SOAP_SOCKET Pop()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_notEmpty.wait(lock, [this] { return !m_sockets.empty(); });
        SOAP_SOCKET sock = m_sockets.front();
        m_sockets.pop_front();
        m_notFull.notify_one();
        return sock;
    }

private:
    static constexpr size_t kMaxQueue = 1000;  // the guide's MAX_QUEUE

    std::mutex m_mutex;
    std::condition_variable m_notEmpty;  // guarded by m_mutex
    std::condition_variable m_notFull;   // guarded by m_mutex
    std::deque<SOAP_SOCKET> m_sockets;   // guarded by m_mutex
};

void ServeQueue(struct soap *ctx, SocketQueue *queue)
{
    for (;;) {
        ctx->socket = queue->Pop();
        if (!soap_valid_socket(ctx->socket))
            return;
        Calculator::Calculator_serve(ctx);  // serves the connection's requests, then closes it
        soap_destroy(ctx);
        soap_end(ctx);
    }
}

}  // namespace

int main(int argc, char **argv)
{
    DemoOptions options;
    int status = 0;
    if (!ParseServerOptions(argc, argv, "gsoap_pool_server", options, status))
        return status;
    struct soap *master = OpenMaster(options);
    if (!master)
        return 1;

    int result = 0;
    {
        StopOnSignal stop(master);
        SocketQueue queue;
        std::vector<struct soap *> contexts;
        std::vector<std::thread> workers;
        for (int i = 0; i < options.threads; ++i) {
            struct soap *ctx = soap_copy(master);
            if (!ctx) {
                std::fputs("soap_copy failed\n", stderr);
                result = 1;
                kill(getpid(), SIGTERM);  // the stop path below releases what exists
                break;
            }
            contexts.push_back(ctx);
            workers.emplace_back(ServeQueue, ctx, &queue);
        }
        std::printf("gsoap_pool_server listening on %s:%d\n", options.ip.c_str(), options.port);
        std::fflush(stdout);

        while (result == 0) {
            SOAP_SOCKET sock = soap_accept(master);
            master->socket = SOAP_INVALID_SOCKET;  // the worker's context owns it now
            if (soap_valid_socket(sock))
                queue.Push(sock);
            else if (stop.Stopping())
                break;
        }
        for (size_t i = 0; i < workers.size(); ++i)
            queue.Push(SOAP_INVALID_SOCKET);
        for (std::thread &worker : workers)
            worker.join();
        for (struct soap *ctx : contexts)
            soap_free(ctx);
    }
    ReleaseMaster(master);
    return result;
}
