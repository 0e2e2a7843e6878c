// The end-to-end tests' fixture: a server on 127.0.0.1 with the test service on /test (shared pool),
// not yet started; the recording log library's records start with the test.
#ifndef WSGATE_TESTS_SERVER_TEST_H
#define WSGATE_TESTS_SERVER_TEST_H

#include "e2e.h"
#include "wsgate/wsgate.h"
#include "zeplog_recording.h"

#include <gtest/gtest.h>

#include <thread>

namespace e2e {

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::thread([] {}).join();  // a sanitizer runtime adds its helper thread with the first
        ASSERT_TRUE(gsoapws_init());
        server = gsoapws_create("127.0.0.1", port);
        ASSERT_TRUE(gsoapws_add_service(server, "/test", TestEntry, TestWsdlPath(), false, 0));
        zeplog_recording::Reset();
    }
    void TearDown() override { ReleaseBlockCalls(), Fini(); }
    // Send and receive time-outs in seconds; the backlog is 100.
    bool Start(int timeouts, int threads, int keepAlive = 100)
    {
        gsoap_start_server_param param{100, timeouts, timeouts, threads, keepAlive};
        return gsoapws_start(server, &param);
    }

    const int port = FreePort();
    void *server = nullptr;
};

}  // namespace e2e

#endif
