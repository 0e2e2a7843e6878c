// Serving end to end on 127.0.0.1, on the wire and through the recording log
// library; the core is linked statically so that --wrap reaches its gSOAP calls.
#include "server_test.h"
#include "zep_fault.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <stdsoap2.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <memory>

static std::atomic<bool> failNew{false}, failCopy{false};  // each fails the next call of its function

// soap_new is a macro over a function named after the gSOAP version.
extern "C" struct soap *soap_versioning(__real_soap_new)(soap_mode, soap_mode);
extern "C" struct soap *soap_versioning(__wrap_soap_new)(soap_mode imode, soap_mode omode)
{
    return failNew.exchange(false) ? nullptr : soap_versioning(__real_soap_new)(imode, omode);
}
extern "C" struct soap *__real_soap_copy(const struct soap *);
extern "C" struct soap *__wrap_soap_copy(const struct soap *master)
{
    return failCopy.exchange(false) ? nullptr : __real_soap_copy(master);
}

namespace {

using namespace std::chrono_literals;
namespace rec = zeplog_recording;

// The test service under an entry of its own, so that an answer tells which registration gave it.
std::atomic<int> replacementCalls{0};
int ReplacementEntry(struct soap *ctx) { return ++replacementCalls, e2e::TestEntry(ctx); }

class Serving : public e2e::ServerTest {
protected:
    void SetUp() override { ServerTest::SetUp(), replacementCalls = 0; }
    static const int kConnectionWorkers = 4;
    bool Start(int threads = kConnectionWorkers, int keepAlive = 100, void *on = nullptr)
    {
        gsoap_start_server_param param{100, 5, 5, threads, keepAlive};
        return gsoapws_start(on ? on : server, &param);
    }
    void ExpectFailedStart(const std::string &message, int threads = kConnectionWorkers, std::atomic<bool> *fail = nullptr)
    {
        const auto held = e2e::Held();
        rec::Reset();
        if (fail)
            *fail = true;
        EXPECT_FALSE(Start(threads));
        EXPECT_EQ(rec::Text(), "1 " + starting + "\n5 " + message + "\n1 Enter Stop Server\n");
        EXPECT_EQ(e2e::Held(), held) << message;
    }
    // One request on a connection of its own: tag's text in the answer; closed without a byte.
    std::string Call(const char *path, const std::string &body, const char *tag, const char *header = "",
                     const char *version = "HTTP/1.1")
    {
        e2e::Connection connection(port);
        return connection.Post(path, body, header, version) ? e2e::Element(connection.ReadResponse(), tag) : "";
    }
    std::string ThreadId(const char *path) { return Call(path, e2e::ThreadIdBody(), "id"); }
    bool Refused(const char *path)
    {
        e2e::Connection connection(port);
        return connection.Post(path, e2e::AddBody(1, 1)) && connection.ClosedByPeer();
    }

    const std::string starting = "Starting gsoap server! ip:127.0.0.1, port:" + std::to_string(port);
};

TEST_F(Serving, PathsWithoutAServiceAreClosedWithoutAByte)
{
    ASSERT_TRUE(Start());
    for (const char *path : {"/test?x=1", "/other"})
        EXPECT_TRUE(Refused(path)) << path;
}

TEST_F(Serving, AnEntryFailingItsFirstCallClosesTheConnectionAndLogsOnce)
{
    ASSERT_TRUE(gsoapws_add_service(server, "/fail", [](struct soap *) { return -1; }, e2e::TestWsdlPath(), false, 0));
    ASSERT_TRUE(gsoapws_add_service(server, "/err", [](soap *) { return SOAP_ERR; }, e2e::TestWsdlPath(), false, 0));
    ASSERT_TRUE(Start());
    for (const char *path : {"/fail", "/err"})
        EXPECT_TRUE(Refused(path)) << path;
    EXPECT_EQ(rec::Count(5, "serviceEntry return SOAP_ERR"), 2);  // -1 and SOAP_ERR alike
}

// The limit counts every request of a connection, whichever service each goes to; a start without
// parameters sets the default. That 0 lifts it, keepalive_memory_test shows over 300 requests.
class KeepAlive : public Serving, public ::testing::WithParamInterface<int> {};

TEST_P(KeepAlive, LimitCountsEveryRequestOfAConnectionWhereverItGoes)
{
    const int limit = GetParam(), kDefault = 100;
    ASSERT_TRUE(gsoapws_add_service(server, "/own", e2e::TestEntry, e2e::TestWsdlPath(), true, 1));
    ASSERT_TRUE(limit == kDefault ? gsoapws_start(server, nullptr) : Start(kConnectionWorkers, limit));
    const std::string own = ThreadId("/own");  // its pool's one worker
    const char *const paths[] = {"/test", "/own", "/own", "/TeSt"};
    e2e::Connection connection(port);
    for (int request = 1; request <= limit; ++request) {
        const std::string path = paths[request % 4];
        ASSERT_TRUE(connection.Post(path, e2e::ThreadIdBody()));
        const std::string response = connection.ReadResponse(), id = e2e::Element(response, "id");
        ASSERT_NE(id, "") << path << request;  // no fault
        ASSERT_EQ(id == own, path == "/own") << request;
        ASSERT_EQ(e2e::Header(response, "Connection") == "close", request == limit) << request;
    }
    EXPECT_TRUE(connection.ClosedByPeer());
}

INSTANTIATE_TEST_SUITE_P(Serving, KeepAlive, ::testing::Values(7, 1, 100),
                         [](const auto &info) { return "Of" + std::to_string(info.param); });

// A kept-alive connection idle after a call to /own holds the one worker of its pool, for longer than
// any wait of these tests: only its turn to another service lets the worker go.
class IdleOnOwnPool : public Serving {
protected:
    void SetUp() override
    {
        Serving::SetUp();
        ASSERT_TRUE(gsoapws_add_service(server, "/own", e2e::TestEntry, e2e::TestWsdlPath(), true, 1));
        gsoap_start_server_param longReceive{100, 5, 60, kConnectionWorkers, 100};
        ASSERT_TRUE(gsoapws_start(server, &longReceive));
        connection = std::make_unique<e2e::Connection>(port);
        ASSERT_EQ(connection->Sum("/own", 2, 3), "5");
        rec::Reset();
    }
    void TearDown() override { connection.reset(), Serving::TearDown(); }  // a stop would wait for it
    std::unique_ptr<e2e::Connection> connection;
};

TEST_F(IdleOnOwnPool, ReplacingItsServiceCompletesOnceTheConnectionTurnsAway)
{
    auto replacing = e2e::Async("gsoapws_add_service", [this] {
        return gsoapws_add_service(server, "/own", ReplacementEntry, e2e::TestWsdlPath(), true, 1);
    });
    ASSERT_TRUE(e2e::WaitFor([] { return rec::Count(1, "Add a Service for uri = /own") == 1; }));
    EXPECT_EQ(connection->Sum("/test", 2, 3), "5");
    ASSERT_EQ(replacing.wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(replacing.get());
    EXPECT_EQ(connection->Sum("/own", 2, 3), "5");
    EXPECT_EQ(replacementCalls, 1);
}

TEST_F(IdleOnOwnPool, RemovingItsServiceCompletesOnceTheConnectionTurnsAway)
{
    auto removing = e2e::Async("gsoapws_delete_service", [this] { gsoapws_delete_service(server, "/own"); });
    ASSERT_TRUE(e2e::WaitFor([] { return rec::Count(1, "Delete Service for uri = /own") == 1; }));
    EXPECT_EQ(connection->Sum("/test", 2, 3), "5");
    EXPECT_EQ(removing.wait_for(10s), std::future_status::ready);
}

// Its next request follows the registration: to the replacement, or nowhere once removed.
TEST_F(Serving, AKeptAliveConnectionFollowsItsServiceReplacedThenRemoved)
{
    ASSERT_TRUE(Start());
    e2e::Connection connection(port);
    ASSERT_EQ(connection.Sum("/test", 2, 3), "5");
    ASSERT_TRUE(gsoapws_add_service(server, "/test", ReplacementEntry, e2e::TestWsdlPath(), false, 0));
    EXPECT_EQ(connection.Sum("/test", 2, 3), "5");
    EXPECT_EQ(replacementCalls, 1);
    gsoapws_delete_service(server, "/test");
    ASSERT_TRUE(connection.Post("/test", e2e::AddBody(2, 3)));
    EXPECT_TRUE(connection.ClosedByPeer());
}

TEST_F(Serving, ClosingClientsNeverReachStdinOrStdoutNorEndTheProcess)
{
    ASSERT_TRUE(Start());
    int pipeFds[2], saved[2];
    ASSERT_EQ(pipe2(pipeFds, O_NONBLOCK), 0);  // stdin and stdout both: a stray read or write never blocks
    const std::string stray = "POST /test HTTP/1.1\r\n\r\n";  // read by mistake, it would be answered
    ASSERT_EQ(write(pipeFds[1], stray.data(), stray.size()), static_cast<ssize_t>(stray.size()));
    fflush(stdout);
    for (int fd : {0, 1})
        saved[fd] = dup(fd), dup2(pipeFds[fd], fd);
    e2e::Connection(port).Post("/test", e2e::BigBody(8 << 20));  // the response meets a reset connection
    const std::string sums = Call("/test", e2e::AddBody(1, 2), "sum", "Connection: close\r\n") +
                             Call("/test", e2e::AddBody(3, 4), "sum", "", "HTTP/1.0");
    e2e::Stop(server);  // every serve routine has ended
    char buffer[64];
    const std::string left(buffer, std::max<ssize_t>(read(pipeFds[0], buffer, sizeof buffer), 0));
    for (int fd : {0, 1})
        dup2(saved[fd], fd), close(saved[fd]), close(pipeFds[fd]);
    EXPECT_EQ(left, stray);
    EXPECT_EQ(sums, "37");
}

TEST_F(Serving, AFailedStartLogsItsCauseAndHoldsNothing)
{
    const int holder = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ExpectFailedStart("soap_bind() Failed!");
    close(holder);
    ExpectFailedStart("ThreadPool Create Failed!", -1);
    ExpectFailedStart("soap_new Failed!", kConnectionWorkers, &failNew);
    ExpectFailedStart("soap_copy() Failed!", kConnectionWorkers, &failCopy);
}

TEST_F(Serving, AStartWithoutParametersWarnsOnce)
{
    ASSERT_TRUE(gsoapws_start(server, nullptr));
    EXPECT_EQ(rec::Count(4, "Start server Warning, param is NULL!"), 1);
}

TEST_F(Serving, StartingAStartedServerAgainChangesNothing)
{
    ASSERT_TRUE(Start());
    EXPECT_TRUE(Start());  // a second bind would fail
}

TEST_F(Serving, NoOtherAddressTextListensOnAPortInUse)
{
    ASSERT_TRUE(Start());
    for (const char *ip : {"0.0.0.0", "localhost"})
        EXPECT_FALSE(Start(kConnectionWorkers, 100, gsoapws_create(ip, port))) << ip;
    EXPECT_EQ(rec::Count(5, "soap_bind() Failed!"), 2);
}

TEST_F(Serving, AConnectionWhoseContextCannotBeCopiedIsClosedAlone)
{
    ASSERT_TRUE(Start());
    failCopy = true;  // the copy made for the next connection
    EXPECT_TRUE(Refused("/test"));
    EXPECT_EQ(rec::Count(5, "Run Failed! m_sock is Invalid"), 1);
    EXPECT_EQ(Call("/test", e2e::AddBody(2, 2), "sum"), "4");
}

// One server started with the defaults, one with no connection worker (it accepts, never serves).
TEST_F(Serving, TheFinalFiniStopsEveryServerAndClosesTheirConnections)
{
    const auto held = e2e::Held();
    ASSERT_TRUE(gsoapws_start(server, nullptr));
    const int otherPort = e2e::FreePort();
    ASSERT_TRUE(Start(0, 100, gsoapws_create("127.0.0.1", otherPort)));
    e2e::Connection pending(otherPort);
    ASSERT_TRUE(pending.Post("/test", e2e::AddBody(1, 1)));
    EXPECT_TRUE(e2e::WaitFor([] { return rec::Count(1, "Accept a Connection") == 1; }));
    e2e::Fini();
    EXPECT_TRUE(pending.ClosedByPeer());
    pending.Close();
    EXPECT_EQ(e2e::Held(), held);  // listening sockets closed too
}

// Stop with held requests and idle connections is in graceful_stop_test.
TEST_F(Serving, StopLogsTheCycleInOrderAndLeavesNothingBehind)
{
    const auto held = e2e::Held();
    e2e::Stop(server);  // never started: one line, nothing else
    ASSERT_TRUE(Start());
    EXPECT_EQ(Call("/test", e2e::AddBody(1, 2), "sum"), "3");
    e2e::Stop(server);

    std::string lines = rec::Text();
    const std::string closed = "1 Accepter SOCKET was Closed!\n";  // from the accept loop while stop goes on
    ASSERT_EQ(rec::Count(1, "Accepter SOCKET was Closed!"), 1);
    lines.erase(lines.find(closed), closed.size());
    EXPECT_EQ(lines, "1 Enter Stop Server\n1 " + starting + "\n1 Start Server Successfully!\n1 Accept a Connection\n"
                     "1 Enter Stop Server\n1 Close accepter socket\n1 Stop gsoap server at ip:127.0.0.1, port" +
                         std::to_string(port) + " Successfully!\n");
    EXPECT_EQ(e2e::Held(), held);
}

// The pool of /own cannot start with the server: /own alone closes its connections after the head.
// After a restart it runs again.
TEST_F(Serving, DedicatedPoolThatFailsAtStartRefusesOnlyItsServiceUntilARestart)
{
    ASSERT_TRUE(gsoapws_add_service(server, "/own", e2e::TestEntry, e2e::TestWsdlPath(), true, 2));
    const int acceptLoop = 1;
    zep_fault_fail_thread_create(acceptLoop + kConnectionWorkers + 1);  // then /own's first
    ASSERT_TRUE(Start());
    EXPECT_TRUE(Refused("/own"));
    e2e::Connection turning(port);  // a kept-alive connection turning to /own is refused alike
    EXPECT_EQ(turning.Sum("/test", 1, 2), "3");
    ASSERT_TRUE(turning.Post("/own", e2e::AddBody(1, 2)));
    EXPECT_TRUE(turning.ClosedByPeer());
    e2e::Stop(server);
    ASSERT_TRUE(Start());
    EXPECT_NE(ThreadId("/own"), "");
}

// Out of descriptors, every accept fails at WARN and is retried; once descriptors are free the server
// accepts again by itself.
TEST_F(Serving, AcceptFailsAtWarnWhileDescriptorsRunOutAndResumesByItself)
{
    ASSERT_TRUE(Start());
    const long open = e2e::Held().first;
    EXPECT_EQ(Call("/test", e2e::AddBody(1, 1), "sum"), "2");  // the routines' types checked by UBSan once
    ASSERT_TRUE(e2e::WaitFor([&] { return e2e::Held().first == open; }));  // and the server's end closed
    const int waiting = socket(AF_INET, SOCK_STREAM, 0);  // connects once descriptors have run out
    rlimit saved;
    getrlimit(RLIMIT_NOFILE, &saved);
    const rlimit low{static_cast<rlim_t>(open + 8), saved.rlim_max};
    setrlimit(RLIMIT_NOFILE, &low);
    std::vector<int> spare;
    for (int fd; (fd = dup(2)) >= 0;)
        spare.push_back(fd);
    // A blocked accept holds the descriptor it took before: it takes this connection, its successor fails.
    // No assertion until descriptors are back: UBSan checks a type through a pipe.
    sockaddr_in address{AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
    const bool connected = connect(waiting, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0,
               failed = e2e::WaitFor([] { return rec::Count(4, "soap_accept() Failed! ErrorNum is 24") > 1; });
    setrlimit(RLIMIT_NOFILE, &saved);
    for (int fd : spare)
        close(fd);
    EXPECT_TRUE(connected && failed);
    EXPECT_EQ(Call("/test", e2e::AddBody(2, 3), "sum"), "5");
    close(waiting);
}

}  // namespace
