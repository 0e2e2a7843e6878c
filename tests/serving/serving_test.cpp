// Serving end to end: the real libwsgate.so on 127.0.0.1, checked on the wire
// and through the recording log library.
#include "e2e.h"
#include "wsgate/wsgate.h"
#include "zeplog_recording.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::pair<int, std::string>>;

Lines Logged()
{
    Lines lines;
    for (const auto &record : zeplog_recording::Records())
        lines.emplace_back(record.level, record.message);
    return lines;
}

long Count(int level, const std::string &message)
{
    const Lines lines = Logged();
    return std::count(lines.begin(), lines.end(), std::make_pair(level, message));
}

long Entries(const char *dir)
{
    return std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator());
}

std::atomic<int> failingEntryCalls{0};

int FailingEntry(struct soap *)
{
    ++failingEntryCalls;
    return -1;
}

class Serving : public ::testing::Test {
protected:
    void SetUp() override
    {
        // ThreadSanitizer starts its helper thread with the first thread:
        // before any thread count is taken.
        std::thread([] {}).join();
        ASSERT_TRUE(gsoapws_init());
        zeplog_recording::Reset();
        port = e2e::FreePort();
        server = gsoapws_create("127.0.0.1", port);
        ASSERT_NE(server, nullptr);
        ASSERT_TRUE(gsoapws_add_service(server, "/test", e2e::TestEntry, e2e::TestWsdlPath(), false, 0));
    }
    void TearDown() override
    {
        e2e::ReleaseBlockCalls();
        gsoapws_fini();
    }
    bool Start(int threads = 4, int keepAlive = 100)
    {
        gsoap_start_server_param param{100, 5, 5, threads, keepAlive};
        return gsoapws_start(server, &param);
    }
    // One request on a connection of its own; the element tag of the answer.
    std::string Call(const std::string &path, const std::string &body, const std::string &tag)
    {
        e2e::Connection connection(port);
        if (!connection.Post(path, body))
            return "";
        return e2e::Element(connection.ReadResponse(), tag);
    }
    std::string Sum(int a, int b) { return Call("/test", e2e::AddBody(a, b), "sum"); }

    int port = 0;
    void *server = nullptr;
};

TEST_F(Serving, DispatchesByLowerCasedPathAndClosesUnknownPathsSilently)
{
    ASSERT_TRUE(Start());
    EXPECT_EQ(Sum(2, 3), "5");
    EXPECT_EQ(Call("/TeSt", e2e::AddBody(4, 5), "sum"), "9");
    for (const char *path : {"/test?x=1", "/other"}) {
        e2e::Connection connection(port);
        ASSERT_TRUE(connection.Post(path, e2e::AddBody(1, 1)));
        EXPECT_TRUE(connection.ClosedByPeer()) << path;  // closed, not a byte sent
    }
}

TEST_F(Serving, KeepAliveLimitCountsEveryRequestOfAConnection)
{
    for (int limit : {2, 1}) {
        ASSERT_TRUE(Start(4, limit));
        e2e::Connection connection(port);
        for (int request = 1; request <= limit; ++request) {
            ASSERT_TRUE(connection.Post("/test", e2e::AddBody(request, 10)));
            const std::string response = connection.ReadResponse();
            EXPECT_EQ(e2e::Element(response, "sum"), std::to_string(request + 10));
            EXPECT_EQ(e2e::Header(response, "Connection") == "close", request == limit) << limit;
        }
        EXPECT_TRUE(connection.ClosedByPeer()) << limit;
        gsoapws_stop(server);
    }
    ASSERT_TRUE(Start(4, 0));
    e2e::Connection connection(port);
    for (int request = 0; request < 300; ++request) {
        ASSERT_TRUE(connection.Post("/test", e2e::AddBody(request, 1)));
        const std::string response = connection.ReadResponse();
        ASSERT_EQ(e2e::Element(response, "sum"), std::to_string(request + 1)) << request;
        ASSERT_NE(e2e::Header(response, "Connection"), "close") << request;
    }
}

TEST_F(Serving, FailedFirstEntryCallEndsTheConnectionWithOneLine)
{
    ASSERT_TRUE(gsoapws_add_service(server, "/fail", FailingEntry, e2e::TestWsdlPath(), false, 0));
    ASSERT_TRUE(Start());
    e2e::Connection connection(port);
    ASSERT_TRUE(connection.Post("/fail", e2e::AddBody(1, 1)));
    EXPECT_TRUE(connection.ClosedByPeer());
    EXPECT_EQ(failingEntryCalls, 1);
    EXPECT_EQ(Count(5, "serviceEntry return SOAP_ERR"), 1);
}

TEST_F(Serving, ServicesRunOnTheirPoolsNeverOnConnectionWorkers)
{
    const char *wsdl = e2e::TestWsdlPath();
    ASSERT_TRUE(gsoapws_add_service(server, "/own", e2e::TestEntry, wsdl, true, 1));
    ASSERT_TRUE(Start(1));
    // A service call held on the shared pool: were it on the one connection
    // worker, no further connection would be dispatched.
    e2e::HoldBlockCalls();
    e2e::Connection held(port);
    ASSERT_TRUE(held.Post("/test", e2e::BlockBody(7)));
    ASSERT_TRUE(e2e::WaitFor([] { return e2e::BlockedCalls() == 1; }));

    const std::string shared = Call("/test", e2e::ThreadIdBody(), "id");
    const std::string own = Call("/own", e2e::ThreadIdBody(), "id");
    ASSERT_FALSE(shared.empty());
    ASSERT_FALSE(own.empty());
    EXPECT_NE(own, shared);
    EXPECT_EQ(Call("/own", e2e::ThreadIdBody(), "id"), own);  // a pool of 1
    ASSERT_TRUE(gsoapws_add_service(server, "/late", e2e::TestEntry, wsdl, true, 1));
    const std::string late = Call("/late", e2e::ThreadIdBody(), "id");
    ASSERT_FALSE(late.empty());
    EXPECT_NE(late, own);
    EXPECT_NE(late, shared);

    e2e::ReleaseBlockCalls();
    EXPECT_EQ(e2e::Element(held.ReadResponse(), "result"), "7");
}

TEST_F(Serving, ClosingClientsNeverReachTheProcessStdinOrStdout)
{
    ASSERT_TRUE(Start());
    int in[2], out[2];
    ASSERT_EQ(pipe(in), 0);
    ASSERT_EQ(pipe2(out, O_NONBLOCK), 0);  // a stray write fails instead of blocking
    // A whole request: read by mistake, it would be answered on stdout.
    const std::string body = e2e::AddBody(5, 5);
    const std::string stray = "POST /test HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) +
                              "\r\n\r\n" + body;
    ASSERT_EQ(write(in[1], stray.data(), stray.size()), static_cast<ssize_t>(stray.size()));
    close(in[1]);  // a stray read gets the request and then the end, never blocks
    fflush(stdout);
    const int savedIn = dup(0), savedOut = dup(1);
    dup2(in[0], 0);
    dup2(out[1], 1);
    std::string closing, http10;
    {
        e2e::Connection connection(port);
        connection.Post("/test", e2e::AddBody(1, 2), "Connection: close\r\n");
        closing = connection.ReadUntilClosed();
    }
    {
        e2e::Connection connection(port);
        connection.Post("/test", e2e::AddBody(3, 4), "", "HTTP/1.0");
        http10 = connection.ReadUntilClosed();
    }
    gsoapws_stop(server);  // every serve routine has ended
    dup2(savedIn, 0);
    dup2(savedOut, 1);
    close(savedIn);
    close(savedOut);
    close(out[1]);

    EXPECT_EQ(e2e::Element(closing, "sum"), "3");
    EXPECT_EQ(e2e::Element(http10, "sum"), "7");
    char buffer[4096];
    EXPECT_EQ(read(in[0], buffer, sizeof buffer), static_cast<ssize_t>(stray.size()));
    EXPECT_EQ(read(out[0], buffer, sizeof buffer), 0);
    close(in[0]);
    close(out[0]);
}

TEST_F(Serving, ClientGoneDuringABigResponseLeavesTheServerServing)
{
    ASSERT_TRUE(Start());
    {
        e2e::Connection connection(port);
        ASSERT_TRUE(connection.Post("/test", e2e::BigBody(8 << 20)));
    }  // closed at once: the response meets a reset connection
    EXPECT_EQ(Sum(2, 2), "4");
    gsoapws_stop(server);  // waits for the failed send
    EXPECT_TRUE(Start());
    EXPECT_EQ(Sum(3, 3), "6");
}

TEST_F(Serving, StartVariants)
{
    const long threads = Entries("/proc/self/task");
    ASSERT_TRUE(gsoapws_start(server, nullptr));
    EXPECT_EQ(Count(4, "Start server Warning, param is NULL!"), 1);
    // Defaults: 10 connection workers, the accept loop, 10 shared workers.
    EXPECT_EQ(Entries("/proc/self/task"), threads + 21);
    const size_t lines = Logged().size();
    EXPECT_TRUE(Start());  // already started: param ignored, nothing logged
    EXPECT_EQ(Logged().size(), lines);
    EXPECT_EQ(Sum(2, 3), "5");
    gsoapws_stop(server);

    EXPECT_FALSE(Start(-1));
    EXPECT_EQ(Count(5, "ThreadPool Create Failed!"), 1);
    EXPECT_EQ(Entries("/proc/self/task"), threads);

    // Only the accept loop: connections are accepted, never served.
    ASSERT_TRUE(Start(0));
    e2e::Connection connection(port);
    ASSERT_TRUE(connection.Post("/test", e2e::AddBody(1, 1)));
    EXPECT_TRUE(e2e::WaitFor([] { return Count(1, "Accept a Connection") == 2; }));
    pollfd entry{connection.Fd(), POLLIN, 0};
    EXPECT_EQ(poll(&entry, 1, 300), 0);
    gsoapws_stop(server);
    EXPECT_TRUE(connection.ClosedByPeer());
}

TEST_F(Serving, BindFailureHoldsNothingAndTheNextStartWorks)
{
    const int holder = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(listen(holder, 1), 0);
    const long fds = Entries("/proc/self/fd"), threads = Entries("/proc/self/task");

    EXPECT_FALSE(Start());
    const Lines lines = Logged();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], std::make_pair(5, std::string("soap_bind() Failed!")));
    EXPECT_EQ(lines.back(), std::make_pair(1, std::string("Enter Stop Server")));
    EXPECT_EQ(Entries("/proc/self/fd"), fds);
    EXPECT_EQ(Entries("/proc/self/task"), threads);

    close(holder);
    ASSERT_TRUE(Start());
    EXPECT_EQ(Sum(1, 2), "3");
}

TEST_F(Serving, FullCycleLogsInOrderAndLeavesNothingBehind)
{
    const long fds = Entries("/proc/self/fd"), threads = Entries("/proc/self/task");
    zeplog_recording::Reset();
    ASSERT_TRUE(Start());
    EXPECT_EQ(Sum(2, 3), "5");
    gsoapws_stop(server);

    Lines lines = Logged();
    // Written by the accept loop while stop goes on: its place varies.
    const auto closed = std::make_pair(1, std::string("Accepter SOCKET was Closed!"));
    EXPECT_EQ(Count(closed.first, closed.second), 1);
    lines.erase(std::remove(lines.begin(), lines.end(), closed), lines.end());
    const std::string at = "127.0.0.1, port";
    const Lines expected = {{1, "Starting gsoap server! ip:" + at + ":" + std::to_string(port)},
                            {1, "Start Server Successfully!"},
                            {1, "Accept a Connection"},
                            {1, "Enter Stop Server"},
                            {1, "Close accepter socket"},
                            {1, "Stop gsoap server at ip:" + at + std::to_string(port) + " Successfully!"}};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(Entries("/proc/self/fd"), fds);
    EXPECT_EQ(Entries("/proc/self/task"), threads);
}

TEST_F(Serving, StopWaitsForConnectionsAndRestartServesAgain)
{
    void *other = gsoapws_create("127.0.0.1", e2e::FreePort());
    zeplog_recording::Reset();
    gsoapws_stop(other);  // never started
    EXPECT_EQ(Logged(), Lines({{1, "Enter Stop Server"}}));

    ASSERT_TRUE(Start());
    e2e::HoldBlockCalls();
    e2e::Connection connection(port);
    ASSERT_TRUE(connection.Post("/test", e2e::BlockBody(3)));
    ASSERT_TRUE(e2e::WaitFor([] { return e2e::BlockedCalls() == 1; }));
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        gsoapws_stop(server);
        stopped = true;
    });
    EXPECT_FALSE(e2e::WaitFor([&] { return stopped.load(); }, 500ms));
    e2e::ReleaseBlockCalls();
    EXPECT_EQ(e2e::Element(connection.ReadResponse(), "result"), "3");
    connection.Close();  // ends the kept-alive connection
    EXPECT_TRUE(e2e::WaitFor([&] { return stopped.load(); }));
    stopper.join();

    ASSERT_TRUE(Start());  // the same port again
    EXPECT_EQ(Sum(4, 4), "8");
}

TEST_F(Serving, FinalFiniStopsEveryServer)
{
    const long threads = Entries("/proc/self/task");
    const int otherPort = e2e::FreePort();
    void *other = gsoapws_create("127.0.0.1", otherPort);
    ASSERT_TRUE(gsoapws_start(other, nullptr));
    ASSERT_TRUE(Start());
    gsoapws_fini();
    EXPECT_EQ(Count(1, "Enter Stop Server"), 2);
    EXPECT_FALSE(e2e::Connection(port).IsOpen());
    EXPECT_FALSE(e2e::Connection(otherPort).IsOpen());
    EXPECT_EQ(Entries("/proc/self/task"), threads);
}

}  // namespace
