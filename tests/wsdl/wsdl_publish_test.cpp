#include "e2e.h"
#include "wsgate/wsgate.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace fs = std::filesystem;

namespace {

const char kWsdl[] = "<definitions><port><soap:address location=\"http://localhost/a\"/>"
                     "<soap12:address location=\"http://localhost/b\"/>"
                     "<wsoap12:address location=\"http://localhost/c\"/></port></definitions>";

// kWsdl as published with its SOAP addresses set to address.
std::string Published(const std::string &address)
{
    return "<definitions>\n    <port>\n        <soap:address location=\"" + address + "\" />\n" +
           "        <soap12:address location=\"" + address + "\" />\n" +
           "        <wsoap12:address location=\"http://localhost/c\" />\n    </port>\n</definitions>\n";
}

std::string Body(const std::string &response)
{
    const size_t headEnd = response.find("\r\n\r\n");
    return headEnd == std::string::npos ? "" : response.substr(headEnd + 4);
}

class WsdlPublishing : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "wsdl_publish_XXXXXX").string();
        ASSERT_NE(nullptr, mkdtemp(pattern.data()));
        _dir = pattern;
        Write("test.wsdl", kWsdl);
        Write("bad.wsdl", "<definitions><port></definitions>");
        fs::create_directory(_dir / "sub");

        ASSERT_TRUE(gsoapws_init());
        ASSERT_NE(nullptr, _server = gsoapws_create("127.0.0.1", _port));
        for (const char *name : {"test", "missing", "sub", "bad"}) {
            const std::string wsdl = (_dir / name).string() + (name == std::string("sub") ? "" : ".wsdl");
            ASSERT_TRUE(gsoapws_add_service(_server, ("/" + std::string(name)).c_str(), e2e::TestEntry,
                                            wsdl.c_str(), false, 0));
        }
        ASSERT_TRUE(gsoapws_start(_server, nullptr));
    }
    void TearDown() override
    {
        if (_server)
            gsoapws_stop(_server);
        gsoapws_fini();
        fs::remove_all(_dir);
    }

    void Write(const std::string &name, const std::string &content)
    {
        std::ofstream(_dir / name, std::ios::binary) << content;
    }
    std::string Address(const std::string &path) const
    {
        return "http://127.0.0.1:" + std::to_string(_port) + path;
    }
    // All that comes back for a GET on a new connection, which must then close.
    std::string Fetch(const std::string &pathAndQuery)
    {
        e2e::Connection connection(_port);
        EXPECT_TRUE(connection.Get(pathAndQuery));
        std::string response = connection.ReadUntilClosed();
        EXPECT_TRUE(connection.ClosedByPeer()) << pathAndQuery;
        return response;
    }
    // A connection kept alive after one served call.
    std::unique_ptr<e2e::Connection> AfterOneCall()
    {
        auto connection = std::make_unique<e2e::Connection>(_port);
        EXPECT_TRUE(connection->Post("/test", e2e::AddBody(2, 40)));
        EXPECT_EQ("42", e2e::Element(connection->ReadResponse(), "sum"));
        return connection;
    }

    fs::path _dir;
    const int _port = e2e::FreePort();
    void *_server = nullptr;
};

TEST_F(WsdlPublishing, AnswersWithTheFileAsItIsNowPointingAtThisServer)
{
    const std::string response = Fetch("/test?wsdl");
    EXPECT_EQ(0u, response.rfind("HTTP/1.1 200 OK\r\n", 0)) << response;
    EXPECT_EQ("text/xml", e2e::Header(response, "Content-Type"));
    EXPECT_EQ(Published(Address("/test")), Body(response));
    EXPECT_EQ(response, Fetch("/test?wsdl"));
    EXPECT_EQ(Published(Address("/TeSt")), Body(Fetch("/TeSt?wsdl")));

    Write("test.wsdl", "<changed><soap:address location=\"x\"/></changed>");
    EXPECT_EQ("<changed>\n    <soap:address location=\"" + Address("/test") + "\" />\n</changed>\n",
              Body(Fetch("/test?wsdl")));
}

TEST_F(WsdlPublishing, OtherGetsAndMissingDocumentsGetNoResponse)
{
    for (const char *request : {"/test?WSDL", "/test?wsdlx", "/test?wsdl&x", "/test?foo=wsdl", "/test",
                                "/nowhere?wsdl", "/missing?wsdl", "/sub?wsdl", "/bad?wsdl"})
        EXPECT_EQ("", Fetch(request)) << request;
}

// gSOAP's soap_closesock closes only once keep-alive has ended, so a WSDL GET
// on a kept-alive connection leaves it open, as its response announces.
TEST_F(WsdlPublishing, WsdlGetAsALaterRequestKeepsTheConnectionWhileKeepAliveLasts)
{
    const auto connection = AfterOneCall();
    ASSERT_TRUE(connection->Get("/test?wsdl"));
    std::string response = connection->ReadResponse();
    EXPECT_EQ("keep-alive", e2e::Header(response, "Connection"));
    EXPECT_EQ(Published(Address("/test")), Body(response));
    ASSERT_TRUE(connection->Post("/test", e2e::AddBody(1, 1)));
    EXPECT_EQ("2", e2e::Element(connection->ReadResponse(), "sum"));

    ASSERT_TRUE(connection->Send("GET /test?wsdl HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n"));
    response = connection->ReadUntilClosed();
    EXPECT_EQ("close", e2e::Header(response, "Connection"));
    EXPECT_EQ(Published(Address("/test")), Body(response));
    EXPECT_TRUE(connection->ClosedByPeer());
}

TEST_F(WsdlPublishing, FailedGetAsALaterRequestGetsAnHttpFaultAndTheConnectionCloses)
{
    for (const auto &[request, status] : {std::pair{"/test?WSDL", "HTTP/1.1 405 Method Not Allowed\r\n"},
                                          std::pair{"/missing?wsdl", "HTTP/1.1 404 Not Found\r\n"}}) {
        const auto connection = AfterOneCall();
        ASSERT_TRUE(connection->Get(request));
        const std::string response = connection->ReadUntilClosed();
        EXPECT_EQ(0u, response.rfind(status, 0)) << response;
        EXPECT_EQ("close", e2e::Header(response, "Connection")) << request;
        EXPECT_NE(std::string::npos, Body(response).find("<SOAP-ENV:Fault>")) << request;
        EXPECT_TRUE(connection->ClosedByPeer()) << request;
    }
}

}  // namespace
