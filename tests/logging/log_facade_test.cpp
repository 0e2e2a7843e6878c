#include "Log.h"
#include "zeplog_recording.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/mman.h>

#include <string>

namespace rec = zeplog_recording;

namespace {

class LogFacade : public ::testing::Test {
protected:
    // The logger exists before every test, so each starts with zero counts.
    void SetUp() override { LogManager::GetInstance().GetLogger(); rec::Reset(); }
};

TEST_F(LogFacade, ThresholdEqualToTheLevelWritesDisabledStatementsNeverReadTheMessage)
{
    rec::SetThreshold(4);
    LOG_PROGRESS("progress");
    LOG_WARNING("port {0} of {{1}} }");
    LOG_FAILURE("ip:{0}, port:{1}", "10.0.0.1", 8080);
    LOG_FAILURE("count {0}", 7);
    LOG_FAILURE("{5}", "formats to nothing, so not written");
    LOG_FAILURE(nullptr); LOG_FAILURE(nullptr, "a");
    LOG_FAILURE(nullptr, 1); LOG_FAILURE(nullptr, "a", 1);
    EXPECT_EQ("4 port {0} of {{1}} }\n5 ip:10.0.0.1, port:8080\n5 count 7\n", rec::Text());
    // One query per statement with a message; null messages query nothing.
    const int statementsWithAMessage = 5;
    EXPECT_EQ(statementsWithAMessage, rec::ThresholdQueries());

    // Disabled statements query once each and never read the message: any formatting would fault on
    // the inaccessible page.
    rec::Reset();
    void *page = mmap(nullptr, 1, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(MAP_FAILED, page);
    const char *unreadable = static_cast<const char *>(page);
    rec::SetThreshold(6);
    LOG_FAILURE(unreadable); LOG_FAILURE(unreadable, "arg");
    LOG_FAILURE(unreadable, 1); LOG_FAILURE(unreadable, "arg", 1);
    munmap(page, 1);
    EXPECT_TRUE(rec::Records().empty());
    EXPECT_EQ(4, rec::ThresholdQueries());
}

// One line, so that __LINE__ is the line of both statements.
int Located() { LOG_WARNING("plain"); LOG_WARNING("formatted {0}", 1); return __LINE__; }

TEST_F(LogFacade, RecordCarriesTheStatementsFileFunctionAndLine)
{
    const int line = Located();
    ASSERT_EQ(2u, rec::Records().size());
    for (const rec::Record &record : rec::Records()) {
        EXPECT_STREQ(__FILE__, record.file);
        EXPECT_THAT(record.function, ::testing::HasSubstr("Located()"));
        EXPECT_EQ(line, record.line);
    }
}

}  // namespace
