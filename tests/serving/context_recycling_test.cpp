// A connection context kept from an ended connection for a later one shows
// the later one nothing of the earlier: what a service finds in it is what it
// finds in a context copied afresh, whatever the last connection's service
// and client did with it.
#include "server_test.h"

#include <stdsoap2.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

namespace {

// What a service finds in the context of a new connection.
struct Seen {
    const void *user;
    const struct Namespace *namespaces;
    std::string userid, passwd, httpContent, extraHeader;
    bool header, fault, fserveloop;
    int recvTimeout, socketFlags;
    soap_mode omode;
    bool recycled;  // not compared: whether the context served a connection before

    auto Fields() const
    {
        return std::tie(user, namespaces, userid, passwd, httpContent, extraHeader, header, fault, fserveloop,
                        recvTimeout, socketFlags, omode);
    }
};

std::string Text(const char *text) { return text ? text : "(null)"; }

std::mutex seenMutex;
std::vector<Seen> seen;  // guarded by seenMutex

struct Namespace otherNamespaces[] = {{"SOAP-ENV", "http://schemas.xmlsoap.org/soap/envelope/", nullptr, nullptr},
                                      {"other", "urn:other", nullptr, nullptr},
                                      {nullptr, nullptr, nullptr, nullptr}};
int marker;
// Written where nothing in gSOAP or wsgate writes (the TLS session host, TLS
// being off), so it survives only in a context kept from a connection before.
const char kServedBefore[] = "served before";
int Loop(struct soap *) { return SOAP_OK; }

// Records what it finds, serves the request, then changes every setting a
// service could; each registration changes them its own way.
template <int N>
int MessyEntry(struct soap *ctx)
{
    {
        std::lock_guard<std::mutex> lock(seenMutex);
        seen.push_back({ctx->user, ctx->namespaces, Text(ctx->userid), Text(ctx->passwd), Text(ctx->http_content),
                        Text(ctx->http_extra_header), ctx->header != nullptr, ctx->fault != nullptr,
                        ctx->fserveloop != nullptr, ctx->recv_timeout, ctx->socket_flags, ctx->omode,
                        std::string(ctx->session_host) == kServedBefore});
    }
    std::snprintf(ctx->session_host, sizeof ctx->session_host, "%s", kServedBefore);
    const int result = e2e::TestEntry(ctx);
    ctx->user = &marker + N;
    soap_set_namespaces(ctx, otherNamespaces);
    ctx->http_content = N ? "text/plain" : "application/json";
    ctx->http_extra_header = "X-Left-Over: 1";
    ctx->header = static_cast<struct SOAP_ENV__Header *>(soap_malloc(ctx, 64));  // freed by soap_end
    ctx->fserveloop = Loop;
    ctx->recv_timeout = 1 + N;
    ctx->socket_flags = 0;
    ctx->omode &= ~SOAP_IO_KEEPALIVE;
    return result;
}

class ContextRecycling : public e2e::ServerTest {
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        ASSERT_TRUE(gsoapws_add_service(server, "/a", MessyEntry<0>, e2e::TestWsdlPath(), false, 0));
        ASSERT_TRUE(gsoapws_add_service(server, "/b", MessyEntry<1>, e2e::TestWsdlPath(), true, 1));
        ASSERT_TRUE(Start(10, 2));
        std::lock_guard<std::mutex> lock(seenMutex);
        seen.clear();
    }

    // One request on a connection of its own, kept alive until the client
    // closes it, as a proxy's would be.
    void Call(const char *path, const char *header = "")
    {
        e2e::Connection connection(port);
        ASSERT_EQ(connection.Sum(path, 2, 3, header), "5") << path;
    }
};

TEST_F(ContextRecycling, AKeptContextShowsANewConnectionWhatAFreshCopyShowsIt)
{
    const char *const paths[] = {"/a", "/b", "/a", "/a", "/b", "/b", "/a", "/b"};
    const size_t authenticated = 3;  // the request after it must not find its user and password
    for (size_t call = 0; call < std::size(paths); ++call)
        Call(paths[call], call == authenticated ? "Authorization: Basic dXNlcjpwYXNz\r\n" : "");

    std::lock_guard<std::mutex> lock(seenMutex);
    ASSERT_EQ(seen.size(), std::size(paths));
    const Seen &fresh = seen[0];  // the server's first connection: nothing to recycle yet
    EXPECT_FALSE(fresh.recycled);
    // A connection begins while the last one's context is being given back,
    // so not every one gets a kept context; most do (5 or 6 of 7 here).
    EXPECT_GE(std::count_if(seen.begin(), seen.end(), [](const Seen &s) { return s.recycled; }), 1)
        << "no connection got a kept context: nothing was compared";
    EXPECT_EQ(seen[authenticated].userid + ":" + seen[authenticated].passwd, "user:pass");
    for (size_t call = 1; call < seen.size(); ++call) {
        Seen expected = fresh;
        if (call == authenticated)
            std::tie(expected.userid, expected.passwd) = std::tie(seen[call].userid, seen[call].passwd);
        EXPECT_TRUE(seen[call].Fields() == expected.Fields()) << "connection " << call + 1 << ": " << paths[call];
    }
}

// gSOAP reads what a client sends in blocks: a request sent behind one that
// closes the connection is in the context's buffer when the connection ends.
TEST_F(ContextRecycling, BytesAClientLeftUnreadAreNeverReadAsTheNextClients)
{
    const std::string left = "POST /a HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/xml\r\nContent-Length: " +
                             std::to_string(e2e::AddBody(40, 2).size()) + "\r\n\r\n" + e2e::AddBody(40, 2);
    for (int call = 0; call < 4; ++call) {
        e2e::Connection connection(port);
        const std::string body = e2e::AddBody(call, 1);
        ASSERT_TRUE(connection.Send("POST /a HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                                    "Content-Type: text/xml\r\nContent-Length: " +
                                    std::to_string(body.size()) + "\r\n\r\n" + body + left));
        EXPECT_EQ(e2e::Element(connection.ReadUntilClosed(), "sum"), std::to_string(call + 1)) << "call " << call;
    }
}

}  // namespace
