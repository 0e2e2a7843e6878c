#include "wsdl_get_handler.h"
#include "wsgate/wsgate.h"
#include "zep_fault.h"
#include "zeplog_recording.h"

#include <gtest/gtest.h>
#include <stdsoap2.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace rec = zeplog_recording;

namespace {

const char kGetFailed[] = "Get Server Instance Failed! ip or port is Error.";

int Entry(soap *) { return SOAP_OK; }

// Every test leaves the manager with a start-up count of 0 and no servers.
class InstanceMgr : public ::testing::Test {
protected:
    void SetUp() override
    {
        zep_fault_reset();
        rec::Reset();
    }

    static void ExpectRecord(size_t index, int level, const std::string &message,
                             const char *function)
    {
        const auto records = rec::Records();
        ASSERT_LT(index, records.size());
        EXPECT_EQ(level, records[index].level) << index;
        EXPECT_EQ(message, records[index].message) << index;
        EXPECT_NE(nullptr, std::strstr(records[index].function, function)) << index;
    }
};

TEST_F(InstanceMgr, NestedInitStartsOnceAndOnlyTheLastFiniShutsDown)
{
    gsoapws_fini();
    EXPECT_EQ(0, zep_fault_fini_calls());
    EXPECT_EQ(0, rec::FiniCount());
    EXPECT_TRUE(rec::Records().empty());

    EXPECT_TRUE(gsoapws_init());
    EXPECT_TRUE(gsoapws_init());
    EXPECT_EQ(1, zep_fault_init_calls());
    EXPECT_EQ(1, rec::InitCount());
    EXPECT_EQ("log4cxx.properties", rec::LastInitFile());
    EXPECT_EQ(0, rec::LastInitReserved());
    ASSERT_EQ(2u, rec::Records().size());
    for (size_t i = 0; i < 2; ++i)
        ExpectRecord(i, 1, "gsoap_server_instance_mgr::init: Success!",
                     "gsoap_server_instance_mgr::init(");

    ASSERT_NE(nullptr, gsoapws_create("127.0.0.1", 8080));
    const size_t before = rec::Records().size();
    gsoapws_fini();
    EXPECT_EQ(before, rec::Records().size());
    EXPECT_EQ(0, zep_fault_fini_calls());

    gsoapws_fini();
    ExpectRecord(before, 1, "gsoap_serever_instance_mgr::fini", "gsoap_server_instance_mgr::fini(");
    ExpectRecord(before + 1, 1, "Enter Stop Server", "gsoap_server::stop(");
    EXPECT_EQ(1, zep_fault_fini_calls());
    EXPECT_EQ(1, rec::FiniCount());

    gsoapws_fini();
    EXPECT_EQ(1, zep_fault_fini_calls());
}

TEST_F(InstanceMgr, FailedRuntimeStartLeavesTheCountAndLaterInitRetries)
{
    zep_fault_set_init_result(-1);
    EXPECT_FALSE(gsoapws_init());
    EXPECT_TRUE(rec::Records().empty());
    EXPECT_EQ(0, rec::InitCount());
    gsoapws_fini();
    EXPECT_EQ(0, zep_fault_fini_calls());

    zep_fault_set_init_result(0);
    EXPECT_TRUE(gsoapws_init());
    EXPECT_EQ(2, zep_fault_init_calls());
    EXPECT_EQ(1, rec::InitCount());
    gsoapws_fini();
    EXPECT_EQ(1, zep_fault_fini_calls());
}

TEST_F(InstanceMgr, OneServerPerAddressTextAndPortInRange)
{
    ASSERT_TRUE(gsoapws_init());
    rec::Reset();
    void *server = gsoapws_create("127.0.0.1", 8080);
    ASSERT_NE(nullptr, server);
    EXPECT_EQ(server, gsoapws_create("127.0.0.1", 8080));
    for (size_t i = 0; i < 4; i += 2) {
        ExpectRecord(i, 1, "gsoap try to create a server at ip:127.0.0.1, port:8080",
                     "gsoapws_create(");
        ExpectRecord(i + 1, 1, "Get Server at ip:127.0.0.1, port:8080",
                     "gsoap_server_instance_mgr::get_server_instance(");
    }

    EXPECT_NE(server, gsoapws_create("127.0.0.1", 8081));
    EXPECT_NE(server, gsoapws_create("localhost", 8080));
    EXPECT_NE(nullptr, gsoapws_create("127.0.0.1", 0));
    EXPECT_NE(nullptr, gsoapws_create("127.0.0.1", 65535));
    EXPECT_NE(nullptr, gsoapws_create("", 8080));
    EXPECT_NE(server, gsoapws_create("", 8080));

    rec::Reset();
    EXPECT_EQ(nullptr, gsoapws_create("127.0.0.1", -1));
    EXPECT_EQ(nullptr, gsoapws_create("127.0.0.1", 65536));
    EXPECT_EQ(nullptr, gsoapws_create(nullptr, 1));
    ASSERT_EQ(6u, rec::Records().size());
    ExpectRecord(0, 1, "gsoap try to create a server at ip:127.0.0.1, port:-1", "gsoapws_create(");
    ExpectRecord(1, 5, kGetFailed, "gsoap_server_instance_mgr::get_server_instance(");
    ExpectRecord(3, 5, kGetFailed, "gsoap_server_instance_mgr::get_server_instance(");
    ExpectRecord(4, 1, "gsoap try to create a server at ip:, port:1", "gsoapws_create(");
    ExpectRecord(5, 5, kGetFailed, "gsoap_server_instance_mgr::get_server_instance(");
    gsoapws_fini();
}

// Asks the server for "<uri>?wsdl" as the GET callback would on a connection.
bool ServesWsdl(void *server, const char *path)
{
    std::ostringstream out;
    soap *ctx = soap_new();
    ctx->os = &out;
    ctx->user = server;
    soap_strcpy(ctx->path, sizeof ctx->path, path);
    const bool served = wsdl_get_handler(ctx) == SOAP_OK;
    soap_destroy(ctx);
    soap_end(ctx);
    soap_free(ctx);
    return served && out.str().find("<definitions") != std::string::npos;
}

TEST_F(InstanceMgr, AfterACompleteShutDownTheSameAddressGetsAFreshServer)
{
    const std::string wsdl = ::testing::TempDir() + "instance_mgr_test.wsdl";
    std::ofstream(wsdl) << "<definitions/>";

    ASSERT_TRUE(gsoapws_init());
    void *first = gsoapws_create("127.0.0.1", 8090);
    ASSERT_TRUE(gsoapws_add_service(first, "/calc", Entry, wsdl.c_str(), false, 0));
    EXPECT_TRUE(ServesWsdl(first, "/calc?wsdl"));
    gsoapws_fini();

    // Without init: the manager hands out servers all the same.
    void *second = gsoapws_create("127.0.0.1", 8090);
    ASSERT_NE(nullptr, second);
    EXPECT_FALSE(ServesWsdl(second, "/calc?wsdl"));
    ASSERT_TRUE(gsoapws_init());
    gsoapws_fini();
    std::remove(wsdl.c_str());
}

}  // namespace
