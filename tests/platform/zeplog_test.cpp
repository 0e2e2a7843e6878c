#include "zeplog.h"

#include <gtest/gtest.h>
#include <log4cxx/level.h>
#include <log4cxx/logger.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// log4cxx loads log4cxx.properties from the working directory at its first
// logger lookup, so the whole run happens in a fresh directory, entered
// before any log4cxx call.
class TempDirEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        char dir[] = "/tmp/zeplog_test.XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(dir));
        m_dir = dir;
        ASSERT_EQ(0, chdir(dir));
    }
    void TearDown() override
    {
        ASSERT_EQ(0, chdir("/"));
        std::filesystem::remove_all(m_dir);
    }

private:
    std::string m_dir;
};

::testing::Environment *const g_tempDir =
    ::testing::AddGlobalTestEnvironment(new TempDirEnvironment);

const char kFile[] = "src/wsgate/ServiceMap.cpp";
const char kFunction[] = "bool __thiscall ServiceMap::AddService(const char *,int)";

std::vector<std::string> LogLines()
{
    std::ifstream in("out.log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// GSOAP at WARN, writing "%F:%L %M %p %m" lines to a fresh out.log.
void WriteConfig()
{
    std::ofstream("test.properties")
        << "log4j.rootLogger=OFF\n"
           "log4j.logger.GSOAP=WARN, file\n"
           "log4j.appender.file=org.apache.log4j.FileAppender\n"
           "log4j.appender.file.File=out.log\n"
           "log4j.appender.file.Append=false\n"
           "log4j.appender.file.layout=org.apache.log4j.PatternLayout\n"
           "log4j.appender.file.layout.ConversionPattern=%F:%L %M %p %m%n\n";
}

class Zeplog : public ::testing::Test {
protected:
    void TearDown() override { zeplog_fini(); }
};

TEST_F(Zeplog, FileConfigWritesLocationAndHonoursThresholdAtEveryBoundary)
{
    WriteConfig();
    ASSERT_EQ(0, zeplog_init("test.properties", 0));
    ZEPLOG_HANDLE logger = zeplog_get_logger("GSOAP");
    ASSERT_NE(nullptr, logger);
    EXPECT_EQ(4, zeplog_get_threshold(logger));

    // Each log4cxx level set at run time, the threshold it must yield, and
    // every written level on both sides of each mapping boundary.
    const struct {
        log4cxx::LevelPtr level;
        int threshold;
    } settings[] = {{log4cxx::Level::getAll(), INT_MIN},  {log4cxx::Level::getTrace(), INT_MIN},
                    {log4cxx::Level::getDebug(), 0},      {log4cxx::Level::getInfo(), 1},
                    {log4cxx::Level::getWarn(), 4},       {log4cxx::Level::getError(), 5},
                    {log4cxx::Level::getFatal(), 6},      {log4cxx::Level::getOff(), INT_MAX}};
    const struct {
        int level;
        const char *name;
    } written[] = {{-100, "TRACE"}, {-1, "TRACE"}, {0, "DEBUG"},  {1, "INFO"},   {3, "INFO"},
                   {4, "WARN"},     {5, "ERROR"},  {6, "FATAL"},  {100, "FATAL"}};

    std::vector<std::string> expected;
    int line = 1;
    for (const auto &setting : settings) {
        log4cxx::Logger::getLogger("GSOAP")->setLevel(setting.level);
        EXPECT_EQ(setting.threshold, zeplog_get_threshold(logger)) << setting.level->toString();
        for (const auto &w : written) {
            const std::string message = "m" + std::to_string(w.level);
            zeplog_write(logger, w.level, message.c_str(), kFile, kFunction, line);
            if (w.level >= setting.threshold) {
                expected.push_back(std::string(kFile) + ":" + std::to_string(line) +
                                   " AddService " + w.name + " " + message);
            }
            ++line;
        }
    }
    EXPECT_EQ(expected, LogLines());
    zeplog_release_logger(logger);
}

TEST_F(Zeplog, ConcurrentWritersOnOneHandleLoseNoRecord)
{
    WriteConfig();
    ASSERT_EQ(0, zeplog_init("test.properties", 0));
    ZEPLOG_HANDLE logger = zeplog_get_logger("GSOAP");
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([logger] {
            for (int i = 0; i < 100; ++i) {
                if (zeplog_get_threshold(logger) <= 5) {
                    zeplog_write(logger, 5, "concurrent", kFile, kFunction, 1);
                }
            }
        });
    }
    for (std::thread &writer : writers) {
        writer.join();
    }
    EXPECT_EQ(400u, LogLines().size());
    zeplog_release_logger(logger);
}

TEST_F(Zeplog, MissingOrUnreadableConfigFallsBackToOneConsoleAppender)
{
    EXPECT_EQ(-1, zeplog_init("missing.properties", 0));
    EXPECT_EQ(-1, zeplog_init(".", 0));
    EXPECT_EQ(-1, zeplog_init(nullptr, 0));
    EXPECT_EQ(1u, log4cxx::Logger::getRootLogger()->getAllAppenders().size());

    zeplog_fini();
    EXPECT_EQ(-1, zeplog_init("missing.properties", 0));
    EXPECT_EQ(1u, log4cxx::Logger::getRootLogger()->getAllAppenders().size());

    EXPECT_EQ(nullptr, zeplog_get_logger(nullptr));
    EXPECT_EQ(INT_MAX, zeplog_get_threshold(nullptr));
    zeplog_write(nullptr, 5, "ignored", kFile, kFunction, 1);
}

}  // namespace
