#include "Log.h"
#include "zeplog_recording.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <string>

using ::testing::HasSubstr;
namespace rec = zeplog_recording;

namespace {

class LogFacade : public ::testing::Test {
protected:
    // The logger exists before every test, so each starts with zero counts.
    void SetUp() override
    {
        LogManager::GetInstance().GetLogger();
        rec::Reset();
    }
};

TEST_F(LogFacade, ThresholdEqualToTheLevelWritesAndEachPlainStatementQueriesOnce)
{
    rec::SetThreshold(4);
    LOG_PROGRESS("progress");
    LOG_WARNING("warning");
    LOG_FAILURE("failure");
    const auto records = rec::Records();
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ(4, records[0].level);
    EXPECT_EQ("warning", records[0].message);
    EXPECT_EQ(5, records[1].level);
    EXPECT_EQ("failure", records[1].message);
    EXPECT_EQ(3, rec::ThresholdQueries());
    EXPECT_EQ(0, rec::LookupCount());
}

TEST_F(LogFacade, NullMessageNeitherQueriesNorWrites)
{
    LOG_FAILURE(nullptr);
    LOG_FAILURE(nullptr, "arg");
    LOG_FAILURE(nullptr, 1);
    LOG_FAILURE(nullptr, "arg", 1);
    EXPECT_TRUE(rec::Records().empty());
    EXPECT_EQ(0, rec::ThresholdQueries());
}

TEST_F(LogFacade, DisabledStatementsQueryOnceAndNeverReadTheMessage)
{
    // Any formatting would read the message and fault on the inaccessible page.
    const long pageSize = sysconf(_SC_PAGESIZE);
    void *page = mmap(nullptr, pageSize, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(MAP_FAILED, page);
    const char *unreadable = static_cast<const char *>(page);
    rec::SetThreshold(6);
    LOG_FAILURE(unreadable);
    LOG_FAILURE(unreadable, "arg");
    LOG_FAILURE(unreadable, 1);
    LOG_FAILURE(unreadable, "arg", 1);
    munmap(page, pageSize);
    EXPECT_TRUE(rec::Records().empty());
    EXPECT_EQ(4, rec::ThresholdQueries());
}

TEST_F(LogFacade, EnabledFormattedStatementWritesTheFormattedText)
{
    LOG_PROGRESS("ip:{0}, port:{1}", "10.0.0.1", 8080);
    LOG_WARNING("count {0}", 7);
    const auto records = rec::Records();
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ("ip:10.0.0.1, port:8080", records[0].message);
    EXPECT_EQ(1, records[0].level);
    EXPECT_EQ("count 7", records[1].message);
    // The level is tested before formatting and again by Logger::write.
    EXPECT_EQ(4, rec::ThresholdQueries());
}

TEST_F(LogFacade, PlainMessageBracesReachTheLibraryUnchanged)
{
    LOG_PROGRESS("port {0} of {{1}} }");
    const auto records = rec::Records();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ("port {0} of {{1}} }", records[0].message);
}

TEST_F(LogFacade, MessageFormattingToNothingIsNotWritten)
{
    LOG_PROGRESS("{5}", "arg");
    LOG_PROGRESS("{1}", 3);
    EXPECT_TRUE(rec::Records().empty());
    EXPECT_EQ(2, rec::ThresholdQueries());
}

void logFromNamedFunction(int &line)
{
    // One line, so that __LINE__ is the line of both statements.
    line = __LINE__; LOG_WARNING("plain"); LOG_WARNING("formatted {0}", 1);
}

TEST_F(LogFacade, RecordCarriesTheStatementsFileFunctionAndLine)
{
    int line = 0;
    logFromNamedFunction(line);
    const auto records = rec::Records();
    ASSERT_EQ(2u, records.size());
    for (const rec::Record &record : records) {
        EXPECT_STREQ(__FILE__, record.file);
        EXPECT_THAT(record.function, HasSubstr("logFromNamedFunction(int&)"));
        EXPECT_EQ(line, record.line);
    }
}

}  // namespace
