// gSOAP allocation failures, injected with the linker's --wrap into the
// statically linked core: start gives up cleanly, a connection without a
// context is closed, and the server serves on.
#include "e2e.h"
#include "wsgate/wsgate.h"
#include "zeplog_recording.h"

#include <stdsoap2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Each makes the next call of its function fail.
std::atomic<bool> failNew{false};
std::atomic<bool> failCopy{false};

}  // namespace

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

using Line = std::pair<int, std::string>;

std::vector<Line> Logged()
{
    std::vector<Line> lines;
    for (const auto &record : zeplog_recording::Records())
        lines.emplace_back(record.level, record.message);
    return lines;
}

long Entries(const char *dir)
{
    return std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator());
}

class SoapFailure : public ::testing::Test {
protected:
    void SetUp() override
    {
        // ThreadSanitizer starts its helper thread with the first thread:
        // before any thread count is taken.
        std::thread([] {}).join();
        ASSERT_TRUE(gsoapws_init());
        port = e2e::FreePort();
        server = gsoapws_create("127.0.0.1", port);
        ASSERT_NE(server, nullptr);
        ASSERT_TRUE(gsoapws_add_service(server, "/test", e2e::TestEntry, e2e::TestWsdlPath(), false, 0));
    }
    void TearDown() override { gsoapws_fini(); }
    bool Start()
    {
        gsoap_start_server_param param{100, 5, 5, 4, 100};
        return gsoapws_start(server, &param);
    }
    std::string Sum(int a, int b)
    {
        e2e::Connection connection(port);
        connection.Post("/test", e2e::AddBody(a, b));
        return e2e::Element(connection.ReadResponse(), "sum");
    }

    int port = 0;
    void *server = nullptr;
};

TEST_F(SoapFailure, StartWithoutAContextHoldsNothing)
{
    const std::pair<std::atomic<bool> *, std::string> cases[] = {{&failNew, "soap_new Failed!"},
                                                                  {&failCopy, "soap_copy() Failed!"}};
    for (const auto &failure : cases) {
        const long fds = Entries("/proc/self/fd"), threads = Entries("/proc/self/task");
        zeplog_recording::Reset();
        *failure.first = true;
        EXPECT_FALSE(Start()) << failure.second;
        const auto lines = Logged();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[lines.size() - 2], Line(5, failure.second));
        EXPECT_EQ(lines.back(), Line(1, "Enter Stop Server"));
        EXPECT_EQ(Entries("/proc/self/fd"), fds) << failure.second;
        EXPECT_EQ(Entries("/proc/self/task"), threads) << failure.second;

        ASSERT_TRUE(Start());
        EXPECT_EQ(Sum(2, 3), "5");
        gsoapws_stop(server);
    }
}

TEST_F(SoapFailure, ConnectionWithoutAContextIsClosedAndServingGoesOn)
{
    ASSERT_TRUE(Start());
    zeplog_recording::Reset();
    failCopy = true;
    {
        e2e::Connection connection(port);
        ASSERT_TRUE(connection.Post("/test", e2e::AddBody(1, 1)));
        EXPECT_TRUE(connection.ClosedByPeer());
    }
    EXPECT_EQ(Sum(2, 2), "4");
    const auto lines = Logged();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), Line(5, "Run Failed! m_sock is Invalid")), 1);
}

}  // namespace
