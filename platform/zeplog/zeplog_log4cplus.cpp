// The log library over log4cplus, for Windows: the same C API, the same
// level mapping and the same "log4cxx.properties" as over log4cxx, the file
// rewritten into log4cplus's dialect (zeplog_properties.h) before it is read.
#include "zeplog.h"
#include "zeplog_properties.h"

#include <log4cplus/configurator.h>
#include <log4cplus/hierarchy.h>
#include <log4cplus/initializer.h>
#include <log4cplus/logger.h>

#include <climits>
#include <fstream>
#include <sstream>

namespace {

using log4cplus::LogLevel;

//   written level:  <=-1 TRACE, 0 DEBUG, 1..3 INFO, 4 WARN, 5 ERROR, >=6 FATAL
LogLevel Log4cplusLevel(int level)
{
    if (level <= -1) return log4cplus::TRACE_LOG_LEVEL;
    if (level == 0) return log4cplus::DEBUG_LOG_LEVEL;
    if (level <= 3) return log4cplus::INFO_LOG_LEVEL;
    if (level == 4) return log4cplus::WARN_LOG_LEVEL;
    if (level == 5) return log4cplus::ERROR_LOG_LEVEL;
    return log4cplus::FATAL_LOG_LEVEL;
}

// The smallest written level the logger lets through, asked of log4cplus
// itself, so that a hierarchy-wide disable counts as the logger's own level.
int Threshold(const log4cplus::Logger &logger)
{
    static const int representatives[] = {-1, 0, 1, 4, 5, 6};
    for (int level : representatives) {
        if (logger.isEnabledFor(Log4cplusLevel(level)))
            return level == -1 ? INT_MIN : level;
    }
    return INT_MAX;
}

log4cplus::Logger *LoggerOf(ZEPLOG_HANDLE logger)
{
    return static_cast<log4cplus::Logger *>(logger);
}

// Once per process, before the first logger: log4cplus's own start-up.
void StartLog4cplus()
{
    static const bool started = (log4cplus::initialize(), true);
    (void)started;
}

}  // namespace

extern "C" ZEPLOG_HANDLE zeplog_get_logger(const char *name)
{
    if (name == nullptr) {
        return nullptr;
    }
    try {
        StartLog4cplus();
        return new log4cplus::Logger(log4cplus::Logger::getInstance(name));
    } catch (...) {
        return nullptr;
    }
}

extern "C" void zeplog_release_logger(ZEPLOG_HANDLE logger)
{
    delete LoggerOf(logger);
}

extern "C" int zeplog_get_threshold(ZEPLOG_HANDLE logger)
{
    if (logger == nullptr) {
        return INT_MAX;
    }
    try {
        return Threshold(*LoggerOf(logger));
    } catch (...) {
        return INT_MAX;
    }
}

extern "C" void zeplog_write(ZEPLOG_HANDLE logger, int level, const char *message,
                             const char *file, const char *function, int line)
{
    if (logger == nullptr || message == nullptr) {
        return;
    }
    try {
        const log4cplus::Logger &l = *LoggerOf(logger);
        LogLevel mapped = Log4cplusLevel(level);
        if (!l.isEnabledFor(mapped)) {
            return;
        }
        // Narrow characters in this build: the bytes pass through untouched.
        l.forcedLog(mapped, message, file, line, function);
    } catch (...) {
    }
}

extern "C" int zeplog_init(const char *configFile, int)
{
    try {
        StartLog4cplus();
        std::ifstream file;
        if (configFile != nullptr) {
            file.open(configFile, std::ios::binary);
        }
        std::ostringstream text;
        if (file && text << file.rdbuf()) {
            std::istringstream mapped(zeplog::Log4cplusProperties(text.str()));
            log4cplus::PropertyConfigurator(mapped).configure();
            return 0;
        }
        // As over log4cxx: a console appender, added only to an unconfigured
        // root so that records are not repeated.
        if (log4cplus::Logger::getRoot().getAllAppenders().empty()) {
            log4cplus::BasicConfigurator().configure();
        }
    } catch (...) {
    }
    return -1;
}

extern "C" void zeplog_fini(void)
{
    try {
        log4cplus::Logger::shutdown();
    } catch (...) {
    }
}
