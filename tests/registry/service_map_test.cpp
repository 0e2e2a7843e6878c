#include "ServiceMap.h"
#include "zep_fault.h"
#include "zeplog_recording.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace rec = zeplog_recording;

namespace {

int EntryA(soap *) { return 0; }
int EntryB(soap *) { return 1; }

// Lives on the test's stack: a stop drains the pool before the item goes away.
class NoopItem : public ThreadPool::IWorkItem {
public:
    void Run() override {}
    bool IsAutoDelete() override { return false; }
    void Cleanup() override {}
};

class ServiceMapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        zep_fault_reset();
        rec::Reset();
    }

    ServiceMap m_map;
};

TEST_F(ServiceMapTest, KeysFoldAsciiCaseOnlyAndKeepTheQuery)
{
    ASSERT_TRUE(m_map.AddService("/Calc", EntryA, "a.wsdl", false, 0, false));
    EXPECT_EQ(EntryA, m_map.GetService("/cALC")->GetEntry());
    ASSERT_TRUE(m_map.AddService("/calc", EntryB, "b.wsdl", false, 0, false));
    EXPECT_EQ(EntryB, m_map.GetService("/CALC")->GetEntry());
    EXPECT_EQ("b.wsdl", m_map.GetServiceWsdl("/Calc"));

    EXPECT_FALSE(m_map.GetService("/calc?wsdl").IsValid());
    EXPECT_EQ("", m_map.GetServiceWsdl("/calc?wsdl"));
    EXPECT_EQ("", m_map.GetServiceWsdl("/other"));

    // 0xC9 and 0xE9 differ as 'I' and 'i' do, but are not ASCII letters.
    ASSERT_TRUE(m_map.AddService("/\xC9", EntryA, "e.wsdl", false, 0, false));
    EXPECT_TRUE(m_map.GetService("/\xC9").IsValid());
    EXPECT_FALSE(m_map.GetService("/\xE9").IsValid());
}

TEST_F(ServiceMapTest, DedicatedPoolsAreKeptReplacedOrNotCreatedByRegistration)
{
    NoopItem item;
    ASSERT_TRUE(m_map.AddService("/s", EntryA, "a.wsdl", true, 2, true));
    ObjectPtrT<ThreadPoolInfo> first = m_map.GetServiceThreadPool("/s");
    ASSERT_TRUE(first.IsValid());

    ASSERT_TRUE(m_map.AddService("/S", EntryB, "b.wsdl", false, 0, true));
    EXPECT_EQ(EntryB, m_map.GetService("/s")->GetEntry());
    EXPECT_EQ(first.operator->(), m_map.GetServiceThreadPool("/s").operator->());
    EXPECT_EQ(0, first->Work(&item));

    ASSERT_TRUE(m_map.AddService("/s", EntryA, "c.wsdl", true, 1, true));
    ObjectPtrT<ThreadPoolInfo> second = m_map.GetServiceThreadPool("/s");
    ASSERT_TRUE(second.IsValid());
    EXPECT_NE(first.operator->(), second.operator->());
    EXPECT_NE(0, first->Work(&item)) << "the replaced pool must be stopped";
    EXPECT_EQ(0, second->Work(&item));
    m_map.RemoveService("/s");
    EXPECT_NE(0, second->Work(&item));

    // No positive size: registered, on the shared pool.
    EXPECT_TRUE(m_map.AddService("/zero", EntryA, "a.wsdl", true, 0, true));
    EXPECT_TRUE(m_map.AddService("/neg", EntryA, "a.wsdl", true, -3, true));
    EXPECT_FALSE(m_map.GetServiceThreadPool("/zero").IsValid());
    EXPECT_FALSE(m_map.GetServiceThreadPool("/neg").IsValid());
}

TEST_F(ServiceMapTest, FailedRegistrationLeavesTheKeyAbsentAndStopsTheEarlierPool)
{
    NoopItem item;
    ASSERT_TRUE(m_map.AddService("/f", EntryA, "a.wsdl", true, 1, true));
    ObjectPtrT<ThreadPoolInfo> earlier = m_map.GetServiceThreadPool("/f");
    rec::Reset();

    zep_fault_fail_thread_create(1);
    EXPECT_FALSE(m_map.AddService("/f", EntryB, "b.wsdl", true, 2, true));
    EXPECT_FALSE(m_map.GetService("/f").IsValid());
    EXPECT_FALSE(m_map.GetServiceThreadPool("/f").IsValid());
    EXPECT_EQ("", m_map.GetServiceWsdl("/f"));
    EXPECT_NE(0, earlier->Work(&item));
    EXPECT_TRUE(rec::Records().empty());
}

TEST_F(ServiceMapTest, LogsNullArgumentsAtLevelFiveAndSuccessWithTheUriAsGiven)
{
    ASSERT_TRUE(m_map.AddService("/Kept", EntryA, "a.wsdl", false, 0, false));
    EXPECT_FALSE(m_map.AddService(nullptr, EntryA, "a.wsdl", false, 0, false));
    EXPECT_FALSE(m_map.AddService("/Kept", nullptr, "a.wsdl", false, 0, false));
    EXPECT_FALSE(m_map.AddService("/Kept", EntryB, nullptr, false, 0, false));
    m_map.RemoveService(nullptr);
    EXPECT_FALSE(m_map.GetService(nullptr).IsValid());
    EXPECT_FALSE(m_map.GetServiceThreadPool(nullptr).IsValid());
    EXPECT_EQ("", m_map.GetServiceWsdl(nullptr));
    EXPECT_EQ(EntryA, m_map.GetService("/kept")->GetEntry());

    const struct {
        int level;
        const char *message, *function;
    } expected[] = {
        {1, "Add Service Successed for uri = /Kept", "ServiceMap::AddService("},
        {5, "Add Service Failed! uri or entry is NULL!", "ServiceMap::AddService("},
        {5, "Add Service Failed! uri or entry is NULL!", "ServiceMap::AddService("},
        {5, "Add Service Failed! uri or entry is NULL!", "ServiceMap::AddService("},
        {5, "RemoveService Failed! uri is NULL", "ServiceMap::RemoveService("},
        {5, "GetService is Failed! uri is NULL", "ServiceMap::GetService("},
        {5, "GetService is Failed! uri is NULL", "ServiceMap::GetServiceThreadPool("},
    };
    const auto records = rec::Records();
    ASSERT_EQ(std::size(expected), records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(expected[i].level, records[i].level) << i;
        EXPECT_EQ(expected[i].message, records[i].message) << i;
        EXPECT_NE(nullptr, std::strstr(records[i].function, expected[i].function)) << i;
    }
}

TEST_F(ServiceMapTest, LookupsRaceRegistrationAndRemovalSafely)
{
    const char *const keys[] = {"/a", "/B", "/c"};
    ObjectPtrT<ServiceInfo> held;
    ASSERT_TRUE(m_map.AddService("/a", EntryA, "a.wsdl", false, 0, false));
    held = m_map.GetService("/A");
    m_map.RemoveService("/a");
    EXPECT_EQ(EntryA, held->GetEntry()) << "a held service outlives its removal";

    std::atomic<bool> done{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            while (!done) {
                for (const char *key : keys) {
                    // Read after the writer may have removed it again.
                    ObjectPtrT<ServiceInfo> service = m_map.GetService(key);
                    const std::string wsdl = m_map.GetServiceWsdl(key);
                    if ((service.IsValid() && service->GetEntry() != EntryB) ||
                        (!wsdl.empty() && wsdl != "b.wsdl"))
                        ++wrong;
                }
            }
        });
    }
    for (int round = 0; round < 1000; ++round) {
        for (const char *key : keys)
            m_map.AddService(key, EntryB, "b.wsdl", false, 0, false);
        for (const char *key : keys)
            m_map.RemoveService(key);
    }
    done = true;
    for (std::thread &reader : readers)
        reader.join();
    EXPECT_EQ(0, wrong.load());
}

}  // namespace
