// Faults, overload and lifecycle against the shipped library, the recording log library interposed.
#include "server_test.h"
#include "zepplus/ThreadPool.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <atomic>
#include <deque>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// a + 0 on a connection of its own: the sum, "closed" when closed unanswered.
std::string Add(int port, int a, const char *path = "/test")
{
    e2e::Connection client(port);
    const std::string sum = client.Sum(path, a, 0);
    return sum.empty() && client.ClosedByPeer(0ms) ? "closed" : sum;
}

// The test service on /test of a server started with short time-outs and four connection workers.
class Hardening : public e2e::ServerTest {
protected:
    void SetUp() override
    {
        const rlimit files{8192, 8192};  // the overflow takes 2051 client sockets and as many server sockets
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &files), 0);
        ServerTest::SetUp();
        ASSERT_TRUE(gsoapws_start(server, &quick));
        running = e2e::Held();
    }

    // backlog, send and receive time-outs (s), connection workers, keep-alive
    gsoap_start_server_param quick{100, 2, 1, 4, 100};
    std::pair<long, long> running;  // descriptors and threads held once started
};

// Random clients (complete, close idle, ask for a WSDL, abort mid-head or mid-body, leave before or
// during a response) on /test and on /spare, which is replaced all along.
TEST_F(Hardening, MisbehavingClientsWhileAServiceIsReplacedLeaveNothingBehind)
{
    const int clientThreads = 4;
    std::atomic<int> done{0}, wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < clientThreads; ++t)
        threads.emplace_back([&, t] {
            std::mt19937 random(t);
            const linger reset{1, 0};
            for (int i = 0; i < CONNECTIONS / clientThreads; ++i, ++done) {
                const bool big = i == 0 && t < 2, spare = random() % 2;  // /spare may close unanswered
                const int kind = big ? 3 : random() % 4, a = random() % 1000;
                const std::string sum = kind == 0 ? Add(port, a, spare ? "/spare" : "/test") : std::to_string(a);
                wrong += sum != std::to_string(a) && !(spare && sum == "closed");
                e2e::Connection client(port);  // kind 0: closed idle
                if (kind == 1)  // its WSDL looked up while /spare is replaced; left unread
                    client.Get("/spare?wsdl");
                const std::string request = "POST /test HTTP/1.1\r\nContent-Length: 999\r\n\r\n" + e2e::AddBody(a, 0);
                if (kind == 2)  // abort mid-head or mid-body
                    client.Send(request.substr(0, random() % request.size()));
                // 8 MiB outlasts the socket buffers: EPIPE or ECONNRESET in the server's send
                if (kind == 3 && client.Post("/test", e2e::BigBody(big ? 8 << 20 : 128 << 10)) &&
                    (big ? t : random()) % 2 && !client.ClosedByPeer())  // the response began
                    setsockopt(client.Fd(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            }
        });
    const int replacements = 16;  // spread over the run; own pool every other one
    for (int round = 0; round < replacements; ++round) {
        EXPECT_TRUE(e2e::WaitFor([&] { return done >= round * CONNECTIONS / replacements; }, 60s));
        gsoapws_delete_service(server, "/spare");
        gsoapws_add_service(server, "/spare", e2e::TestEntry, e2e::TestWsdlPath(), round % 2 == 0, 2);
        EXPECT_EQ(Add(port, 7), "7");
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(e2e::WaitFor([&] { return e2e::Held() == running; }));  // a socket left in CLOSE_WAIT counts
}

// gSOAP refuses an over-long header line, reads any number of header lines, stops at the end of the
// envelope whatever Content-Length says, and skips unknown elements at any depth. While such a
// request is read, other clients are served.
struct Oversized {
    const char *name;
    std::string head;  // after the request line, up to the body
    std::string body;
    const char *sum;   // "" when closed unanswered
};

std::vector<Oversized> OversizedRequests()
{
    const auto repeat = [](const std::string &text, int n) { std::string all; while (n--) all += text; return all; };
    const std::string add = e2e::AddBody(40, 2), length = "Content-Length: " + std::to_string(add.size()) + "\r\n";
    std::string nested = add;
    nested.insert(nested.find("<a>"), repeat("<d>", 100000) + repeat("</d>", 100000));
    return {
        {"HeaderLineOfOneMebibyteIsClosedUnanswered", "X-Big: " + std::string(1 << 20, 'a') + "\r\n" + length, add, ""},
        {"TenThousandHeaderLinesAreServed", repeat("X-Line: v\r\n", 10000) + length, add, "42"},
        {"ContentLengthBeyondTheEnvelopeIsServed", "Content-Length: 3000000000\r\n", add, "42"},
        {"DeeplyNestedUnknownElementsAreServed", "Content-Length: " + std::to_string(nested.size()) + "\r\n", nested, "42"},
    };
}

class OversizedRequest : public Hardening, public ::testing::WithParamInterface<int> {};

TEST_P(OversizedRequest, IsReadWithoutHoldingOtherClients)
{
    const Oversized request = OversizedRequests()[GetParam()];
    e2e::Connection client(port);
    const timeval bound{10, 0};  // a server that stops reading must not hold the sender
    setsockopt(client.Fd(), SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
    client.Send("POST /test HTTP/1.1\r\n" + request.head + "\r\n" + request.body);  // the server may close early
    EXPECT_EQ(Add(port, 7), "7");
    EXPECT_EQ(e2e::Element(client.ReadUntilClosed(), "sum"), request.sum);
    EXPECT_TRUE(client.ClosedByPeer(0ms));
}

INSTANTIATE_TEST_SUITE_P(Hardening, OversizedRequest, ::testing::Range(0, 4),
                         [](const ::testing::TestParamInfo<int> &info) {
                             return std::string(OversizedRequests()[info.param].name);
                         });

// One worker waits for the head of a silent client, the queue takes its bound and one more, and the
// next connection is refused: the accept loop ends until a restart.
TEST_F(Hardening, AConnectionTheFullQueueRefusesEndsTheAcceptLoopUntilARestart)
{
    const int silent = 1, queued = ThreadPool::kQueueBound + 1, refused = 1;
    e2e::Stop(server);
    gsoap_start_server_param oneWorker{4096, 60, 60, 1, 100};
    ASSERT_TRUE(gsoapws_start(server, &oneWorker));
    std::deque<e2e::Connection> clients;
    for (int i = 0; i < silent + queued + refused; ++i)
        ASSERT_TRUE(clients.emplace_back(port).IsOpen()) << i;
    EXPECT_TRUE(clients.back().ClosedByPeer(30s));
    EXPECT_FALSE(clients.front().ClosedByPeer(0ms));
    EXPECT_EQ(zeplog_recording::Count(5, "ZEP_ThreadPool_Work() Failed!"), 1);
    clients.clear();  // the queued connections see EOF at once, so stop can drain, one at a time
    e2e::Stop(server, 60s);  // ThreadSanitizer takes seconds over them
    ASSERT_TRUE(gsoapws_start(server, &quick));
    EXPECT_EQ(Add(port, 42), "42");
}

}  // namespace
