#include "ServiceMap.h"
#include "e2e.h"
#include "origin_headers.h"
#include "wsdl_get_handler.h"
#include "zep_fault.h"
#include "zeplog_recording.h"

#include <gtest/gtest.h>
#include <stdsoap2.h>

#include <atomic>
#include <future>
#include <set>
#include <sstream>

namespace {

int EntryA(soap *) { return SOAP_OK; }
int EntryB(soap *) { return SOAP_ERR; }

struct NoopItem : ThreadPool::IWorkItem {
    void Run() override {}
    bool IsAutoDelete() override { return false; }
    void Cleanup() override {}
};

// Whether the server answers "/calc?wsdl" as the GET callback would on a connection.
bool ServesWsdl(void *server)
{
    std::ostringstream out;
    soap ctx;
    ctx.os = &out;
    ctx.user = server;
    soap_strcpy(ctx.path, sizeof ctx.path, "/calc?wsdl");
    capture_origin_headers(&ctx);  // as the server's contexts do, the request naming its host
    ctx.fparsehdr(&ctx, "Host", "127.0.0.1:8090");
    const bool served = wsdl_get_handler(&ctx) == SOAP_OK;
    soap_end(&ctx);  // what the request allocated, as the server does after each
    return served;
}

class Registry : public ::testing::Test {
protected:
    // The map's pools run as under a started server.
    void SetUp() override { zep_fault_reset(); zeplog_recording::Reset(); m_map.StartAllThreadPools(); }
    void TearDown() override { m_map.StopAllThreadPools(); }

    NoopItem m_item;  // outlives the pool drains that may run it
    ServiceMap m_map;
};

// A replacement whose pool cannot start leaves the key absent, its predecessor stopped, and logs nothing.
// Registering again without a pool keeps the dedicated one. Replacing it, or removing the service, drains
// it under the pools' lock (lookups wait) until its item ends; a handle taken before keeps it alive.
TEST_F(Registry, DedicatedPoolsAreKeptDrainedWhileLookupsWaitOrLostWithAFailedReplacement)
{
    ASSERT_TRUE(m_map.AddService("/f", EntryA, "a.wsdl", true, 1));
    ObjectPtrT<ThreadPoolInfo> earlier = m_map.GetServiceThreadPool("/f");
    zep_fault_fail_thread_create(1);
    EXPECT_FALSE(m_map.AddService("/f", EntryB, "b.wsdl", true, 2));
    EXPECT_FALSE(m_map.GetService("/f").IsValid() || m_map.GetServiceThreadPool("/f").IsValid());
    EXPECT_EQ("", m_map.GetServiceWsdl("/f"));
    EXPECT_NE(0, earlier->Work(&m_item)) << "the earlier pool must be stopped";
    EXPECT_EQ("1 Add Service Successed for uri = /f\n", zeplog_recording::Text());

    struct Held : NoopItem {
        void Run() override { running = true; ran = e2e::WaitFor([this] { return release.load(); }); }
        std::atomic<bool> running{false}, release{false}, ran{false};
    };
    ASSERT_TRUE(m_map.AddService("/s", EntryA, "a.wsdl", true, 2));
    ObjectPtrT<ThreadPoolInfo> pool = m_map.GetServiceThreadPool("/s");
    ASSERT_TRUE(m_map.AddService("/S", EntryB, "b.wsdl", true, 0));
    EXPECT_EQ(EntryB, m_map.GetService("/s")->GetEntry());  // the key folds ASCII case
    EXPECT_EQ(pool.operator->(), m_map.GetServiceThreadPool("/s").operator->());
    for (bool replace : {true, false}) {
        Held item;
        ASSERT_EQ(0, pool->Work(&item));
        ASSERT_TRUE(e2e::WaitFor([&] { return item.running.load(); }));
        auto change = e2e::Async(replace ? "AddService" : "RemoveService", [&] {
            replace ? (void)m_map.AddService("/s", EntryA, "c.wsdl", true, 1) : m_map.RemoveService("/S");
        });
        EXPECT_TRUE(e2e::WaitFor([&] { return pool->Work(&m_item) == -100; }));  // draining
        auto lookup = e2e::Async("GetServiceThreadPool", [&] { return m_map.GetServiceThreadPool("/s"); });
        EXPECT_EQ(std::future_status::timeout, lookup.wait_for(std::chrono::milliseconds(100)));
        item.release = true;
        change.get();
        EXPECT_TRUE(item.ran);
        EXPECT_EQ(-100, pool->Work(&m_item));
        pool = lookup.get();
        EXPECT_EQ(replace, pool.IsValid() && pool->Work(&m_item) == 0);
    }
    EXPECT_TRUE(m_map.AddService("/s", EntryA, "a.wsdl", true, -3));
    EXPECT_FALSE(m_map.GetServiceThreadPool("/s").IsValid()) << "runs on the shared pool";
}

TEST_F(Registry, ManagerCountsStartUpsAndKeepsOneServerPerKey)
{
    gsoapws_fini();  // without init: nothing
    zep_fault_set_init_result(-1);
    EXPECT_FALSE(gsoapws_init());
    zep_fault_set_init_result(0);
    EXPECT_TRUE(gsoapws_init() && gsoapws_init());
    EXPECT_EQ(2, zep_fault_init_calls());
    EXPECT_EQ(1, zeplog_recording::InitCount());
    EXPECT_EQ("log4cxx.properties", zeplog_recording::LastInitFile());
    void *first = gsoapws_create("127.0.0.1", 8090);
    EXPECT_EQ(first, gsoapws_create("127.0.0.1", 8090));
    ASSERT_TRUE(gsoapws_add_service(first, "/Calc", EntryA, REGISTRY_TEST_WSDL, false, 0));
    EXPECT_TRUE(ServesWsdl(first));
    gsoapws_fini();
    EXPECT_EQ(0, zep_fault_fini_calls());
    gsoapws_fini();
    EXPECT_EQ(1, zep_fault_fini_calls());
    EXPECT_EQ(1, zeplog_recording::FiniCount());
    const std::string init = "1 gsoap_server_instance_mgr::init: Success!\n",
                      create = "1 gsoap try to create a server at ip:127.0.0.1, port:8090\n"
                               "1 Get Server at ip:127.0.0.1, port:8090\n";
    EXPECT_EQ(init + init + create + create +
                  "1 Add a Service for uri = /Calc\n1 Add Service Successed for uri = /Calc\n"
                  "1 gsoap_serever_instance_mgr::fini\n1 Enter Stop Server\n",
              zeplog_recording::Text());

    // After the complete shut-down, and without init: a fresh server.
    void *second = gsoapws_create("127.0.0.1", 8090);
    EXPECT_FALSE(ServesWsdl(second));
    std::set<void *> servers = {second, nullptr};
    for (const auto &[ip, port] : {std::pair<const char *, int>{"127.0.0.1", 8081}, {"", 8090},
                                   {"localhost", 8090}, {"127.0.0.1", 0}, {"127.0.0.1", 65535}})
        servers.insert(gsoapws_create(ip, port));
    EXPECT_EQ(7u, servers.size()) << "a new server for each key, never null";

    zeplog_recording::Reset();
    for (const auto &[ip, port] : {std::pair<const char *, int>{"127.0.0.1", -1}, {"127.0.0.1", 65536}, {nullptr, 1}})
        EXPECT_EQ(nullptr, gsoapws_create(ip, port));
    EXPECT_FALSE(gsoapws_start(nullptr, nullptr));
    EXPECT_FALSE(gsoapws_add_service(nullptr, "/calc", EntryA, "calc.wsdl", true, 1));
    gsoapws_stop(nullptr);
    gsoapws_delete_service(nullptr, "/calc");
    const std::string tried = "1 gsoap try to create a server at ip:",
                      refused = "\n5 Get Server Instance Failed! ip or port is Error.\n";
    EXPECT_EQ(tried + "127.0.0.1, port:-1" + refused + tried + "127.0.0.1, port:65536" + refused +
                  tried + ", port:1" + refused,
              zeplog_recording::Text());
    ASSERT_TRUE(gsoapws_init());
    gsoapws_fini();
}

}  // namespace
