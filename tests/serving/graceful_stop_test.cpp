// A stop closes every connection that is not inside a service at once, and lets the calls that are
// finish with "Connection: close": against the shipped library, on 127.0.0.1.
#include "server_test.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Receive time-out 30 s, so that a stop that waited for idle connections to time out would fail
// its bound.
class GracefulStop : public e2e::ServerTest {
protected:
    bool Start(int threads = 10) { return ServerTest::Start(30, threads); }
};

TEST_F(GracefulStop, ClosesIdleSilentAndSlowConnectionsAtOnceAndAnswersTheCallInProgressWithClose)
{
    ASSERT_TRUE(Start());
    e2e::HoldBlockCalls();
    e2e::Connection busy(port);
    ASSERT_TRUE(busy.Post("/test", e2e::BlockBody(7)));
    ASSERT_TRUE(e2e::WaitFor([] { return e2e::BlockedCalls() == 1; }));
    std::deque<e2e::Connection> others;  // 9 idle, 5 silent, one halfway through its head
    for (int i = 0; i < 9; ++i)  // kept alive, answered once and now waiting for a next request
        ASSERT_EQ(others.emplace_back(port).Sum("/test", 1, 2), "3") << i;
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(others.emplace_back(port).IsOpen()) << i;
    ASSERT_TRUE(others.emplace_back(port).Send("POST /test HTTP/1.1\r\nHost: 127."));
    ASSERT_TRUE(e2e::WaitFor([] { return zeplog_recording::Count(1, "Accept a Connection") == 16; }));

    std::thread stopping([this] { e2e::Stop(server, 4s); });  // the receive time-out is 30 s
    for (size_t i = 0; i < others.size(); ++i)
        EXPECT_TRUE(others[i].ClosedByPeer(4s)) << i;
    e2e::ReleaseBlockCalls();
    const std::string answer = busy.ReadResponse();
    EXPECT_EQ(e2e::Header(answer, "Connection"), "close");
    EXPECT_EQ(e2e::Element(answer, "result"), "7");
    EXPECT_TRUE(busy.ClosedByPeer(4s));
    stopping.join();
}

// Clients arrive, finish, stay silent and turn from /test to /own while the server stops and starts
// again; each stop returns in its bound, and nothing stays behind.
TEST_F(GracefulStop, StopsRacingWithArrivingTurningAndFinishingConnectionsLeaveNothingAndNeverHang)
{
    ASSERT_TRUE(gsoapws_add_service(server, "/own", e2e::TestEntry, e2e::TestWsdlPath(), true, 2));
    const auto held = e2e::Held();
    for (int round = 0; round < 8; ++round) {
        ASSERT_TRUE(Start(4)) << round;
        std::atomic<bool> going{true};
        std::atomic<int> answered{0};
        std::vector<std::thread> clients;
        for (int t = 0; t < 4; ++t)
            clients.emplace_back([&, t] {
                for (int i = 0; going && i < 500; ++i) {
                    e2e::Connection client(port);
                    const int kind = (t + i) % 4;  // 3: silent
                    for (const char *path : {"/test", "/own"}) {
                        if (kind == 3 || !client.Post(path, e2e::AddBody(i, 1), kind == 1 ? "Connection: close\r\n" : ""))
                            break;
                        if (kind == 2)  // leaves without reading its answer
                            break;
                        if (e2e::Element(client.ReadResponse(), "sum") != std::to_string(i + 1))
                            break;
                        ++answered;
                    }
                }
            });
        EXPECT_TRUE(e2e::WaitFor([&] { return answered > 20; })) << round;
        e2e::Stop(server);
        going = false;
        for (std::thread &client : clients)
            client.join();
    }
    EXPECT_TRUE(e2e::WaitFor([&] { return e2e::Held() == held; }));
}

}  // namespace
