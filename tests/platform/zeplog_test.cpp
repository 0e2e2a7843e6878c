#include "zeplog.h"

#include <gtest/gtest.h>
#include <log4cxx/logger.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const char kFile[] = "src/wsgate/ServiceMap.cpp";
const char kFunction[] = "bool __thiscall ServiceMap::AddService(const char *,int)";

TEST(Zeplog, FileConfigLevelMappingAtRunTimeAndFallback)
{
    // log4cxx reads log4cxx.properties from the working directory at its
    // first lookup, so the test runs in a fresh one, entered before any call.
    char dir[] = "/tmp/zeplog_test.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    ASSERT_EQ(0, chdir(dir));
    std::ofstream("test.properties")
        << "log4j.rootLogger=OFF\nlog4j.logger.GSOAP=WARN, file\n"
           "log4j.appender.file=org.apache.log4j.FileAppender\nlog4j.appender.file.File=out.log\n"
           "log4j.appender.file.layout=org.apache.log4j.PatternLayout\n"
           "log4j.appender.file.layout.ConversionPattern=%F:%L %M %p %m%n\n";
    EXPECT_EQ(0, zeplog_init("test.properties", 0));
    ZEPLOG_HANDLE logger = zeplog_get_logger("GSOAP");
    EXPECT_EQ(4, zeplog_get_threshold(logger));

    // Levels set at run time with their thresholds; written levels either side of each boundary.
    using log4cxx::Level;
    const struct { log4cxx::LevelPtr level; int threshold; } settings[] = {
        {Level::getAll(), INT_MIN}, {Level::getTrace(), INT_MIN}, {Level::getDebug(), 0},
        {Level::getInfo(), 1},      {Level::getWarn(), 4},        {Level::getError(), 5},
        {Level::getFatal(), 6},     {Level::getOff(), INT_MAX}};
    const struct { int level; const char *name; } written[] = {
        {-100, "TRACE"}, {-1, "TRACE"}, {0, "DEBUG"}, {1, "INFO"},   {3, "INFO"},
        {4, "WARN"},     {5, "ERROR"},  {6, "FATAL"}, {100, "FATAL"}};
    std::string expected;
    int line = 1;
    for (const auto &setting : settings) {
        log4cxx::Logger::getLogger("GSOAP")->setLevel(setting.level);
        EXPECT_EQ(setting.threshold, zeplog_get_threshold(logger)) << setting.level->toString();
        for (const auto &w : written) {
            const std::string message = "m" + std::to_string(w.level);
            zeplog_write(logger, w.level, message.c_str(), kFile, kFunction, line);
            if (w.level >= setting.threshold)
                expected += std::string(kFile) + ":" + std::to_string(line) + " AddService " +
                            w.name + " " + message + "\n";
            ++line;
        }
    }
    std::stringstream log;
    log << std::ifstream("out.log").rdbuf();
    EXPECT_EQ(expected, log.str());
    zeplog_release_logger(logger);
    zeplog_fini();

    // Repeated fallbacks, with or without fini in between, keep one appender.
    for (const char *config : {"missing.properties", ".", static_cast<const char *>(nullptr)})
        EXPECT_EQ(-1, zeplog_init(config, 0)) << (config ? config : "null");
    EXPECT_EQ(1u, log4cxx::Logger::getRootLogger()->getAllAppenders().size());
    zeplog_fini();
    EXPECT_EQ(-1, zeplog_init("missing.properties", 0));
    EXPECT_EQ(1u, log4cxx::Logger::getRootLogger()->getAllAppenders().size());
    EXPECT_EQ(nullptr, zeplog_get_logger(nullptr));
    EXPECT_EQ(INT_MAX, zeplog_get_threshold(nullptr));
    zeplog_write(nullptr, 5, "ignored", kFile, kFunction, 1);
    zeplog_fini();
    EXPECT_EQ(0, chdir("/"));
    std::filesystem::remove_all(dir);
}

}  // namespace
