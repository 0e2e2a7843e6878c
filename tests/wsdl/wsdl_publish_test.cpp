#include "server_test.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

class WsdlPublishing : public e2e::ServerTest {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(_dir + "sub");
        Write("test", "<d><soap:address location=\"x\"/></d>");
        Write("bad", "<d><e></d>");
        Write("empty", "");
        Write("prolog", "<?xml version=\"1.0\"?>\n<!-- only a comment -->\n");
        ServerTest::SetUp();
        for (const std::string name : {"test", "missing", "sub", "bad", "empty", "prolog"})
            ASSERT_TRUE(gsoapws_add_service(server, ("/" + name).c_str(), e2e::TestEntry, (_dir + name).c_str(),
                                            false, 0));
        ASSERT_TRUE(gsoapws_start(server, nullptr));
    }
    void TearDown() override { ServerTest::TearDown(); std::filesystem::remove_all(_dir); }
    void Write(const std::string &name, const std::string &content) { std::ofstream(_dir + name) << content; }
    std::string Published(const std::string &path) const
    {
        return "<d>\n    <soap:address location=\"http://127.0.0.1:" + std::to_string(port) + path + "\" />\n</d>\n";
    }
    std::string Fetch(const std::string &pathAndQuery)
    {
        e2e::Connection connection(port);
        EXPECT_TRUE(connection.Get(pathAndQuery));
        std::string response = connection.ReadUntilClosed();
        EXPECT_TRUE(connection.ClosedByPeer()) << pathAndQuery;
        return response;
    }

    const std::string _dir = std::filesystem::temp_directory_path() / ("wsdl_" + std::to_string(getpid()) + "/");
};

TEST_F(WsdlPublishing, FirstRequestGetsTheFileAsItIsNowPointingAtThisServerOrNoResponse)
{
    const std::string response = Fetch("/test?wsdl");
    EXPECT_EQ(0u, response.rfind("HTTP/1.1 200 OK\r\n", 0)) << response;
    EXPECT_EQ("text/xml", e2e::Header(response, "Content-Type"));
    EXPECT_EQ("close", e2e::Header(response, "Connection"));
    EXPECT_EQ(Published("/test"), e2e::Body(response));
    EXPECT_EQ(Published("/TeSt"), e2e::Body(Fetch("/TeSt?wsdl")));
    Write("test", "<d/>");
    EXPECT_EQ("<d />\n", e2e::Body(Fetch("/test?wsdl")));

    // Which queries ask for the WSDL is table-tested in wsdl_document_test; here the wiring and the files.
    for (const char *request : {"/test?WSDL", "/test", "/nowhere?wsdl", "/missing?wsdl", "/sub?wsdl", "/bad?wsdl",
                                "/empty?wsdl", "/prolog?wsdl"})
        EXPECT_EQ("", Fetch(request)) << request;
}

// A WSDL GET ends a kept-alive connection, and says so; a failed one gets an HTTP fault.
TEST_F(WsdlPublishing, LaterRequestOnAKeptAliveConnection)
{
    const struct { const char *request, *status; std::string body; } cases[] = {
        {"/test?wsdl", "HTTP/1.1 200 OK\r\n", Published("/test")},
        {"/test?WSDL", "HTTP/1.1 405 Method Not Allowed\r\n", ""},
        {"/missing?wsdl", "HTTP/1.1 404 Not Found\r\n", ""}};
    for (const auto &c : cases) {
        e2e::Connection connection(port);
        EXPECT_EQ("42", connection.Sum("/test", 2, 40));
        ASSERT_TRUE(connection.Get(c.request));
        const std::string response = connection.ReadUntilClosed();
        EXPECT_EQ(0u, response.rfind(c.status, 0)) << c.request;
        EXPECT_EQ("close", e2e::Header(response, "Connection")) << c.request;
        EXPECT_TRUE(c.body.empty() || c.body == e2e::Body(response)) << c.request;
        EXPECT_TRUE(connection.ClosedByPeer()) << c.request;
    }
}

}  // namespace
