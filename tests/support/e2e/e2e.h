// Helpers for end-to-end tests: real sockets on 127.0.0.1, bounded waits,
// and the test service's controls.
#ifndef WSGATE_TESTS_E2E_H
#define WSGATE_TESTS_E2E_H

#include <chrono>
#include <functional>
#include <string>

struct soap;

namespace e2e {

// A port nobody listens on right now (bound to 0, read back, released).
int FreePort();

// Polls pred until it holds or the bound passes; true when it held.
bool WaitFor(const std::function<bool()> &pred,
             std::chrono::milliseconds bound = std::chrono::seconds(10));

// The service entry and WSDL of the test service (add, threadId, block, big).
int TestEntry(struct soap *ctx);
const char *TestWsdlPath();

// SOAP request bodies for the test service.
std::string AddBody(int a, int b);
std::string ThreadIdBody();
std::string BlockBody(int token);
std::string BigBody(int size);

// Holds every ns__block call until Release; counts the calls waiting.
void HoldBlockCalls();
void ReleaseBlockCalls();
int BlockedCalls();

// A blocking client connection with receive time-outs.
class Connection {
public:
    explicit Connection(int port);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool IsOpen() const { return _fd >= 0; }
    int Fd() const { return _fd; }
    bool Send(const std::string &bytes);
    // An HTTP/1.1 (or /1.0) POST of body to path with the given extra header lines.
    bool Post(const std::string &path, const std::string &body, const std::string &extraHeaders = "",
              const std::string &version = "HTTP/1.1");
    bool Get(const std::string &pathAndQuery);
    // One whole response (head and Content-Length body); "" on close or time-out.
    std::string ReadResponse();
    // Everything until the peer closes; "" when it closed without a byte.
    std::string ReadUntilClosed();
    // True when the peer has closed (EOF or reset) within the bound.
    bool ClosedByPeer(std::chrono::milliseconds bound = std::chrono::seconds(10));
    void Close();

private:
    int _fd;
    std::string _pending;  // bytes read past the last response
};

// The value of header name in a response head, "" when absent.
std::string Header(const std::string &response, const std::string &name);
// The text between <tag> and </tag> in a response body, "" when absent.
std::string Element(const std::string &response, const std::string &tag);

}  // namespace e2e

#endif
