// End-to-end helpers: real sockets on 127.0.0.1, bounded waits, and the test
// service (add, threadId, block, big) with its controls.
#ifndef WSGATE_TESTS_E2E_H
#define WSGATE_TESTS_E2E_H

#include "wait.h"

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <type_traits>
#include <utility>

struct soap;

namespace e2e {

int FreePort();  // a port nobody listens on right now (bound to 0, read back, released)
// Runs body on this thread, bounded: one that has not returned in time ends the process with a line
// naming call, so that the test fails at once instead of at ctest's time-out.
void Bounded(const char *call, std::chrono::seconds bound, const std::function<void()> &body);
// gsoapws_stop and gsoapws_fini, bounded.
void Stop(void *server, std::chrono::seconds bound = std::chrono::seconds(10));
void Fini(std::chrono::seconds bound = std::chrono::seconds(10));
// std::async for a call that may hang: bounded, so that neither waiting on the future nor its
// destructor can hold a test beyond bound.
template <typename Body>
auto Async(const char *call, Body body, std::chrono::seconds bound = std::chrono::seconds(10))
{
    return std::async(std::launch::async, [call, body, bound] {
        if constexpr (std::is_void_v<decltype(body())>) {
            Bounded(call, bound, body);
        } else {
            decltype(body()) result{};
            Bounded(call, bound, [&] { result = body(); });
            return result;
        }
    });
}
std::pair<long, long> Held();  // open descriptors, threads of this process

int TestEntry(struct soap *ctx);
const char *TestWsdlPath();
std::string AddBody(int a, int b);  // SOAP request bodies for the test service
std::string ThreadIdBody();
std::string BlockBody(int token);
std::string BigBody(int size);
std::string EchoBody(const std::string &xmlText);  // xmlText goes in as it stands, escapes and all

void HoldBlockCalls();     // every ns__block call waits from now on...
void ReleaseBlockCalls();  // ...until this
int BlockedCalls();        // ns__block calls waiting right now

// A blocking client connection to 127.0.0.1 (ipv6: ::1) with 10 s receive time-outs.
class Connection {
public:
    explicit Connection(int port, bool ipv6 = false);
    ~Connection() { Close(); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool IsOpen() const { return _fd >= 0; }
    int Fd() const { return _fd; }
    bool Send(const std::string &bytes);
    // extraHeaders: whole header lines, each ending in \r\n.
    bool Post(const std::string &path, const std::string &body, const std::string &extraHeaders = "",
              const std::string &version = "HTTP/1.1");
    bool Get(const std::string &pathAndQuery);  // with Host: 127.0.0.1:<port>, as a client names us
    std::string Sum(const std::string &path, int a, int b, const std::string &extraHeaders = "");  // "" unanswered
    std::string ReadResponse();     // one whole response (head + Content-Length body); "" on close or time-out
    std::string ReadUntilClosed();  // everything until the peer closes; "" when it closed without a byte
    bool ClosedByPeer(std::chrono::milliseconds bound = std::chrono::seconds(10));  // EOF or reset within bound
    void Close();

private:
    int _fd;
    int _port;
    std::string _pending;  // bytes read past the last response
};

std::string Header(const std::string &response, const std::string &name);  // value in the head, "" when absent
std::string Element(const std::string &response, const std::string &tag);  // text of <tag>, "" when absent
std::string Body(const std::string &response);  // what follows the head, "" without a whole head

}  // namespace e2e

#endif
