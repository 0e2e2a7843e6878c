// Faults, overload and lifecycle against the shipped library, the recording log library interposed.
#include "e2e.h"
#include "wsgate/wsgate.h"
#include "zeplog_recording.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <atomic>
#include <deque>
#include <future>
#include <memory>
#include <random>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

// a + 0 on a connection of its own: the sum, "closed" when closed unanswered.
static std::string Add(int port, int a, const char *path = "/test")
{
    e2e::Connection client(port);
    client.Post(path, e2e::AddBody(a, 0));
    const std::string sum = e2e::Element(client.ReadResponse(), "sum");
    return sum.empty() && client.ClosedByPeer(0ms) ? "closed" : sum;
}

// Random clients (complete, close idle, ask for a WSDL, abort mid-head or mid-body, leave before or
// during a response) on /test and on /spare, which is replaced all along, while oversized requests arrive;
// then a stop with busy and idle connections, and an overflow of the connection queue.
TEST(Hardening, MisbehavingClientsOversizedRequestsReplacementStopAndOverflowLeaveNothingBehind)
{
    // gSOAP refuses an over-long header line, reads any number of header lines, stops at the end of
    // the envelope whatever Content-Length says, and skips unknown elements at any depth.
    const auto repeat = [](const std::string &text, int n) { std::string all; while (n--) all += text; return all; };
    const std::string add = e2e::AddBody(40, 2), length = "Content-Length: " + std::to_string(add.size()) + "\r\n\r\n";
    std::string nested = add;
    nested.insert(nested.find("<a>"), repeat("<d>", 100000) + repeat("</d>", 100000));
    const std::pair<std::string, const char *> oversized[] = {  // head and body; sum, "" when closed unanswered
        {"X-Big: " + std::string(1 << 20, 'a') + "\r\n" + length + add, ""},
        {repeat("X-Line: v\r\n", 10000) + length + add, "42"},
        {"Content-Length: 3000000000\r\n\r\n" + add, "42"},
        {"Content-Length: " + std::to_string(nested.size()) + "\r\n\r\n" + nested, "42"},
    };
    const rlimit files{8192, 8192};  // the overflow takes 2051 client sockets and as many server sockets
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &files), 0);
    std::thread([] {}).join();  // a sanitizer runtime adds its helper thread with the first
    ASSERT_TRUE(gsoapws_init());
    const std::shared_ptr<void> fini(nullptr, [](void *) { e2e::ReleaseBlockCalls(), e2e::Fini(); });
    const int port = e2e::FreePort();
    void *server = gsoapws_create("127.0.0.1", port);
    ASSERT_TRUE(gsoapws_add_service(server, "/test", e2e::TestEntry, e2e::TestWsdlPath(), false, 0));
    // backlog, send and receive time-outs (s), connection workers, keep-alive
    gsoap_start_server_param quick{100, 2, 1, 4, 100}, queue{4096, 60, 60, 1, 100};
    const auto before = e2e::Held();
    ASSERT_TRUE(gsoapws_start(server, &quick));
    const auto running = e2e::Held();

    std::atomic<int> done{0}, wrong{0};
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            std::mt19937 random(t);
            const linger reset{1, 0};
            for (int i = 0; i < CONNECTIONS / 4; ++i, ++done) {
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
    for (int round = 0; round < 4 || done < CONNECTIONS || round % 2; ++round) {  // own pool every other round
        gsoapws_delete_service(server, "/spare");
        gsoapws_add_service(server, "/spare", e2e::TestEntry, e2e::TestWsdlPath(), round % 2 == 0, 2);
        e2e::Connection client(port);
        const timeval bound{10, 0};  // a server that stops reading must not hold the sender
        setsockopt(client.Fd(), SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
        client.Send("POST /test HTTP/1.1\r\n" + oversized[round % 4].first);  // the server may close early
        EXPECT_EQ(Add(port, 7), "7");
        EXPECT_EQ(e2e::Element(client.ReadUntilClosed(), "sum"), oversized[round % 4].second) << round % 4;
        EXPECT_TRUE(client.ClosedByPeer(0ms)) << round % 4;
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(e2e::WaitFor([&] { return e2e::Held() == running; }));  // a socket left in CLOSE_WAIT counts

    e2e::HoldBlockCalls();
    std::deque<e2e::Connection> clients;  // three in held calls, two idle after an answer
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(clients.emplace_back(port).Post("/test", i < 3 ? e2e::BlockBody(i) : e2e::AddBody(i, 0)));
        ASSERT_TRUE(i < 3 ? e2e::WaitFor([i] { return e2e::BlockedCalls() == i + 1; })
                          : !clients[i].ReadResponse().empty());
    }
    std::future<void> stop = std::async(std::launch::async, [server] { e2e::Stop(server); });
    EXPECT_TRUE(e2e::WaitFor([&] { return !e2e::Connection(port).IsOpen(); }));  // no longer accepting
    EXPECT_EQ(stop.wait_for(0s), std::future_status::timeout);
    e2e::ReleaseBlockCalls();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(e2e::Element(clients[i].ReadResponse(), "result"), std::to_string(i));
    EXPECT_EQ(stop.wait_for(10s), std::future_status::ready);  // the idle two closed at once
    clients.clear();
    EXPECT_TRUE(e2e::WaitFor([&] { return e2e::Held() == before; }));

    // At once on the same port. One worker waits for the head of a silent client, 2049 connections
    // may wait in the queue, and the next is refused: the accept loop ends until a restart.
    ASSERT_TRUE(gsoapws_start(server, &queue));
    for (int i = 0; i < 1 + 2049 + 1; ++i)
        ASSERT_TRUE(clients.emplace_back(port).IsOpen()) << i;
    EXPECT_TRUE(clients.back().ClosedByPeer(30s));
    EXPECT_FALSE(clients.front().ClosedByPeer(0ms));
    EXPECT_EQ(zeplog_recording::Count(5, "ZEP_ThreadPool_Work() Failed!"), 1);
    clients.clear();  // the queued connections see EOF at once, so stop can drain, one at a time
    e2e::Stop(server, 60s);  // ThreadSanitizer takes seconds over them
    ASSERT_TRUE(gsoapws_start(server, &quick));
    EXPECT_EQ(Add(port, 42), "42");
}
