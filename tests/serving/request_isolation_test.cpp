// Nothing of one request on a kept-alive connection reaches the next: each
// later request starts from the state the connection's first one started
// from, whatever the one before left in the context.
#include "server_test.h"

#include <stdsoap2.h>

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <tuple>
#include <vector>

namespace {

// What a service finds in the context when its entry is called.
struct Seen {
    bool styleSet;
    std::string style;
    short encoding;
    int error;
    bool header, fault;

    auto Fields() const { return std::tie(styleSet, style, encoding, error, header, fault); }
};

std::mutex seenMutex;
std::vector<Seen> seen;  // guarded by seenMutex

// Records what it finds, serves the request, then leaves the context as
// unlike a fresh one as a service could.
int RecordingEntry(struct soap *ctx)
{
    {
        std::lock_guard<std::mutex> lock(seenMutex);
        seen.push_back({ctx->encodingStyle != nullptr, ctx->encodingStyle ? ctx->encodingStyle : "", ctx->encoding,
                        ctx->error, ctx->header != nullptr, ctx->fault != nullptr});
    }
    const int result = e2e::TestEntry(ctx);
    ctx->encodingStyle = nullptr;
    ctx->encoding = 1;
    ctx->error = SOAP_FAULT;
    return result;
}

class RequestIsolation : public e2e::ServerTest {
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        ASSERT_TRUE(gsoapws_add_service(server, "/rec", RecordingEntry, e2e::TestWsdlPath(), false, 0));
        ASSERT_TRUE(gsoapws_add_service(server, "/own", RecordingEntry, e2e::TestWsdlPath(), true, 1));
        ASSERT_TRUE(Start(10, 2, 0));
        std::lock_guard<std::mutex> lock(seenMutex);
        seen.clear();
    }
};

// Both ways a later request is served: by the routine that holds the
// connection, and by another service's routine after a hand-over.
TEST_F(RequestIsolation, LaterRequestsFindTheContextAsTheFirstFoundIt)
{
    e2e::Connection connection(port);
    const char *const paths[] = {"/rec", "/rec", "/rec", "/own", "/own", "/rec"};
    for (const char *path : paths)
        ASSERT_EQ(connection.Sum(path, 2, 3), "5") << path;
    std::lock_guard<std::mutex> lock(seenMutex);
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_TRUE(seen[0].styleSet && seen[0].encoding == 0 && !seen[0].header && !seen[0].fault);
    for (size_t request = 1; request < seen.size(); ++request)
        EXPECT_TRUE(seen[request].Fields() == seen[0].Fields()) << "request " << request + 1 << " of the connection";
}

}  // namespace
