// Where the later requests of a kept-alive connection go, and how they end: against the shipped
// library, on 127.0.0.1.
#include "server_test.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <deque>
#include <fstream>
#include <thread>

namespace {

using namespace std::chrono_literals;

std::atomic<int> testingCalls{0}, flakyCalls{0};
int TestingEntry(struct soap *ctx) { return ++testingCalls, e2e::TestEntry(ctx); }
int FlakyEntry(struct soap *ctx) { return ++flakyCalls > 1 ? -1 : e2e::TestEntry(ctx); }  // fails from its second call
int FailingEntry(struct soap *) { return -1; }  // reads nothing

// True while thread tid sleeps: in a stop, only the pools' drains sleep, polling, and a stop drains
// the service pools holding the pools lock.
bool Sleeping(pid_t tid)
{
    std::ifstream syscall("/proc/self/task/" + std::to_string(tid) + "/syscall");
    long number = -1;
    syscall >> number;
    return number == SYS_nanosleep || number == SYS_clock_nanosleep;
}

// /testing beside /test; receive time-out 30 s, so that a connection left open shows as one not closed.
class Routing : public e2e::ServerTest {
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        ASSERT_TRUE(gsoapws_add_service(server, "/testing", TestingEntry, e2e::TestWsdlPath(), false, 0));
    }
    bool Start() { return ServerTest::Start(30, 4); }
    // 2 + 3 on connection: "5", or "5 by /testing" from that registration; "closed" when closed unanswered.
    std::string Answer(e2e::Connection &connection, const char *path)
    {
        const int testing = testingCalls;
        const std::string sum = connection.Sum(path, 2, 3);
        if (sum.empty())
            return connection.ClosedByPeer(0ms) ? "closed" : "neither answered nor closed";
        return testingCalls > testing ? sum + " by /testing" : sum;
    }
};

class LaterRequest : public Routing, public ::testing::WithParamInterface<const char *> {};

TEST_P(LaterRequest, GetsWhatItsPathGetsAsAFirstRequest)
{
    ASSERT_TRUE(Start());
    e2e::Connection first(port), later(port);
    const std::string expected = Answer(first, GetParam());
    ASSERT_EQ(Answer(later, "/test"), "5");
    EXPECT_EQ(Answer(later, GetParam()), expected);
}

INSTANTIATE_TEST_SUITE_P(PathsThatStartWithAnother, LaterRequest, ::testing::Values("/test?x=1", "/testing", "/test/"));

// As a failed first request does: the client sent a request and will get nothing, and the body left
// unread would otherwise hold the connection until the receive time-out.
TEST_F(Routing, LaterRequestWhoseServiceFailsWithoutReadingItsBodyClosesAtOnce)
{
    ASSERT_TRUE(gsoapws_add_service(server, "/fail", FailingEntry, e2e::TestWsdlPath(), false, 0));
    ASSERT_TRUE(gsoapws_add_service(server, "/flaky", FlakyEntry, e2e::TestWsdlPath(), true, 1));
    flakyCalls = 0;
    ASSERT_TRUE(Start());
    for (const char *path : {"/fail", "/flaky"}) {  // another service's, the same service's
        e2e::Connection connection(port);
        ASSERT_EQ(Answer(connection, path == std::string("/fail") ? "/test" : path), "5") << path;
        ASSERT_TRUE(connection.Post(path, e2e::AddBody(2, 3)));
        EXPECT_TRUE(connection.ClosedByPeer(5s)) << path;
    }
}

// A kept-alive connection on /a turns to /own while every shared worker holds a call, and then the
// server stops. Were the hand-over queued on the shared pool, it would wait there for the pools lock
// that the stop holds while it drains that very pool.
TEST_F(Routing, HandOverQueuedWhileTheSharedPoolIsFullLetsAStopReturn)
{
    ASSERT_TRUE(gsoapws_add_service(server, "/a", e2e::TestEntry, e2e::TestWsdlPath(), true, 1));
    ASSERT_TRUE(gsoapws_add_service(server, "/own", e2e::TestEntry, e2e::TestWsdlPath(), true, 1));
    ASSERT_TRUE(Start());
    e2e::HoldBlockCalls();
    std::deque<e2e::Connection> held;  // the shared pool's 10 workers
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(held.emplace_back(port).Post("/test", e2e::BlockBody(i)));
        ASSERT_TRUE(e2e::WaitFor([i] { return e2e::BlockedCalls() == i + 1; }));
    }
    e2e::Connection turning(port), next(port);
    ASSERT_EQ(Answer(turning, "/a"), "5");
    ASSERT_TRUE(next.Post("/a", e2e::AddBody(1, 1)));  // waits for /a's one worker
    ASSERT_TRUE(turning.Post("/own", e2e::AddBody(2, 3)));
    ASSERT_EQ(e2e::Element(next.ReadResponse(), "sum"), "2");  // so turning's request has been handed over
    pollfd answer{turning.Fd(), POLLIN, 0};
    poll(&answer, 1, 5000);  // answered at once, unless the hand-over waits behind the held calls

    std::atomic<pid_t> stopper{0};
    std::thread stopping([&] {
        stopper = static_cast<pid_t>(syscall(SYS_gettid));
        e2e::Stop(server);
    });
    EXPECT_TRUE(e2e::WaitFor([&] { return stopper && Sleeping(stopper); }));  // draining, pools lock held
    e2e::ReleaseBlockCalls();
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(e2e::Element(held[i].ReadResponse(), "result"), std::to_string(i));
    stopping.join();
    EXPECT_EQ(e2e::Element(turning.ReadUntilClosed(), "sum"), "5");
}

}  // namespace
