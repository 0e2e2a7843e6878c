// The address a WSDL publishes, on the wire: where the client says it sent
// the request, else where the connection arrived. The core is linked
// statically so that --wrap reaches its gSOAP and socket calls.
#include "server_test.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdsoap2.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>

static std::atomic<bool> failPlugin{false}, failSockName{false};  // each fails the next call of its function

extern "C" int __real_soap_register_plugin_arg(struct soap *, int (*)(struct soap *, struct soap_plugin *, void *),
                                               void *);
extern "C" int __wrap_soap_register_plugin_arg(struct soap *ctx,
                                               int (*create)(struct soap *, struct soap_plugin *, void *), void *arg)
{
    return failPlugin.exchange(false) ? (ctx->error = SOAP_EOM) : __real_soap_register_plugin_arg(ctx, create, arg);
}
extern "C" int __real_getsockname(int, sockaddr *, socklen_t *);
extern "C" int __wrap_getsockname(int fd, sockaddr *address, socklen_t *length)
{
    return failSockName.exchange(false) ? -1 : __real_getsockname(fd, address, length);
}

namespace {

class WsdlAddress : public e2e::ServerTest {
protected:
    void SetUp() override
    {
        std::ofstream(_wsdl) << "<d><soap:address location=\"x\"/><soap12:address location=\"y\"/></d>";
        ServerTest::SetUp();
        ASSERT_NE(nullptr, server = gsoapws_create("0.0.0.0", port));  // the one on 127.0.0.1 is never started
        ASSERT_TRUE(gsoapws_add_service(server, "/Svc", e2e::TestEntry, _wsdl.c_str(), false, 0));
    }
    void TearDown() override { ServerTest::TearDown(); std::filesystem::remove(_wsdl); }
    // The document sent for a GET of /Svc?wsdl with these header lines, on a connection of its own.
    std::string Fetch(const std::string &headers, const char *version = "HTTP/1.1", bool ipv6 = false)
    {
        e2e::Connection connection(port, ipv6);
        EXPECT_TRUE(connection.Send(std::string("GET /Svc?wsdl ") + version + "\r\n" + headers + "\r\n"));
        return e2e::Body(connection.ReadUntilClosed());
    }
    static std::string Published(const std::string &address)
    {
        return "<d>\n    <soap:address location=\"" + address + "\" />\n    <soap12:address location=\"" + address +
               "\" />\n</d>\n";
    }
    std::string Loopback() const { return "http://127.0.0.1:" + std::to_string(port) + "/Svc"; }

    const std::string _wsdl = std::filesystem::temp_directory_path() / ("wsdl_address_" + std::to_string(getpid()));
};

TEST_F(WsdlAddress, WildcardServerReachedAtLoopbackWithoutHostPublishesLoopback)
{
    ASSERT_TRUE(gsoapws_start(server, nullptr));
    EXPECT_EQ(Published(Loopback()), Fetch("", "HTTP/1.0"));
}

TEST_F(WsdlAddress, Ipv6ServerReachedWithoutHostPublishesItsLiteralInBrackets)
{
    void *ipv6 = gsoapws_create("::1", port);
    ASSERT_TRUE(gsoapws_add_service(ipv6, "/Svc", e2e::TestEntry, _wsdl.c_str(), false, 0));
    if (!gsoapws_start(ipv6, nullptr))
        GTEST_SKIP() << "no IPv6 loopback here";
    EXPECT_EQ(Published("http://[0:0:0:0:0:0:0:1]:" + std::to_string(port) + "/Svc"),
              Fetch("", "HTTP/1.0", true));
    e2e::Stop(ipv6);
}

TEST_F(WsdlAddress, PublishesTheSchemeAndAuthorityTheHeadersName)
{
    ASSERT_TRUE(gsoapws_start(server, nullptr));
    EXPECT_EQ(Published("http://svc.example:8080/Svc"), Fetch("Host: svc.example:8080\r\n"));
    EXPECT_EQ(Published("https://pub.example/Svc"),
              Fetch("Host: h\r\nX-Forwarded-Host: pub.example\r\nX-Forwarded-Proto: https\r\n"));
    EXPECT_EQ(Published("https://[2001:db8::1]:8443/Svc"),
              Fetch("Host: h\r\nX-Forwarded-Host: x\r\nForwarded: for=1.2.3.4;host=\"[2001:db8::1]:8443\";proto=https\r\n"));
}

TEST_F(WsdlAddress, HostileHeadersAreIgnoredAndTheDocumentStaysWellFormed)
{
    ASSERT_TRUE(gsoapws_start(server, nullptr));
    // Which values count as hostile is table-tested in published_address_test; here each header's wiring.
    for (const char *header :
         {"Forwarded: host=\"a\\\"><x y=\\\"\"\r\n", "X-Forwarded-Host: a\"><x y=\"\r\n", "Host: a'b\r\n"})
        EXPECT_EQ(Published(Loopback()), Fetch(header)) << header;
    EXPECT_EQ(Published("http://good.example/Svc"),
              Fetch("Forwarded: host=\"evil.example/x\"\r\nX-Forwarded-Host: <evil>\r\nHost: good.example\r\n"));
}

TEST_F(WsdlAddress, HeadersOfAnEarlierRequestOnTheConnectionAreForgotten)
{
    ASSERT_TRUE(gsoapws_start(server, nullptr));
    e2e::Connection connection(port);
    EXPECT_EQ("3", connection.Sum("/Svc", 1, 2, "X-Forwarded-Host: earlier.example\r\n"));
    ASSERT_TRUE(connection.Send("GET /Svc?wsdl HTTP/1.1\r\nHost: later.example\r\n\r\n"));
    EXPECT_EQ(Published("http://later.example/Svc"), e2e::Body(connection.ReadUntilClosed()));
}

TEST_F(WsdlAddress, NoLocalAddressToPublishGetsNoResponse)
{
    ASSERT_TRUE(gsoapws_start(server, nullptr));
    failSockName = true;
    EXPECT_EQ("", Fetch("", "HTTP/1.0"));
}

TEST_F(WsdlAddress, StartFailsWhenTheHeaderCaptureCannotBeInstalled)
{
    const auto held = e2e::Held();
    failPlugin = true;
    EXPECT_FALSE(gsoapws_start(server, nullptr));
    EXPECT_EQ(1, zeplog_recording::Count(5, "soap_register_plugin() Failed!"));
    EXPECT_EQ(held, e2e::Held());
    EXPECT_TRUE(gsoapws_start(server, nullptr));
}

}  // namespace
