#include "zeplog.h"

#include <log4cxx/basicconfigurator.h>
#include <log4cxx/file.h>
#include <log4cxx/logger.h>
#include <log4cxx/logmanager.h>
#include <log4cxx/propertyconfigurator.h>
#include <log4cxx/spi/location/locationinfo.h>
#include <log4cxx/spi/loggerrepository.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <new>

using log4cxx::Level;
using log4cxx::LevelPtr;
using log4cxx::LoggerPtr;

// Integer levels map onto log4cxx levels; thresholds are the inverse map,
// so that "level >= threshold" holds exactly when log4cxx writes the record.
//   written level:  <=-1 TRACE, 0 DEBUG, 1..3 INFO, 4 WARN, 5 ERROR, >=6 FATAL
namespace {

LevelPtr Log4cxxLevel(int level)
{
    if (level <= -1)
        return Level::getTrace();
    if (level == 0)
        return Level::getDebug();
    if (level <= 3)
        return Level::getInfo();
    if (level == 4)
        return Level::getWarn();
    if (level == 5)
        return Level::getError();
    return Level::getFatal();
}

// The smallest written level whose log4cxx level reaches `effective`.
// Levels between the standard ones round up, like log4cxx's own comparison.
int Threshold(int effective)
{
    if (effective <= Level::TRACE_INT)
        return INT_MIN;
    if (effective <= Level::DEBUG_INT)
        return 0;
    if (effective <= Level::INFO_INT)
        return 1;
    if (effective <= Level::WARN_INT)
        return 4;
    if (effective <= Level::ERROR_INT)
        return 5;
    if (effective <= Level::FATAL_INT)
        return 6;
    return INT_MAX;
}

bool IsReadableFile(const char *path)
{
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode) && access(path, R_OK) == 0;
}

LoggerPtr *LoggerOf(ZEPLOG_HANDLE logger)
{
    return static_cast<LoggerPtr *>(logger);
}

}  // namespace

extern "C" ZEPLOG_HANDLE zeplog_get_logger(const char *name)
{
    if (name == nullptr) {
        return nullptr;
    }
    try {
        return new LoggerPtr(log4cxx::Logger::getLogger(name));
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
        const LoggerPtr &l = *LoggerOf(logger);
        int effective = l->getEffectiveLevel()->toInt();
        // A repository-wide threshold ("log4j.threshold") silences records
        // the logger's own level would let through; report the stricter one.
        int repository = l->getLoggerRepository()->getThreshold()->toInt();
        return Threshold(effective > repository ? effective : repository);
    } catch (...) {
        return INT_MAX;
    }
}

extern "C" void zeplog_write(ZEPLOG_HANDLE logger, int level, const char *message, const char *file,
                             const char *function, int line)
{
    if (logger == nullptr || message == nullptr) {
        return;
    }
    try {
        const LoggerPtr &l = *LoggerOf(logger);
        LevelPtr mapped = Log4cxxLevel(level);
        if (!l->isEnabledFor(mapped)) {
            return;
        }
        // LocationInfo keeps the pointers, not copies: hence the lifetime
        // demand on file and function in the header.
        const char *fileName = file != nullptr ? file : log4cxx::spi::LocationInfo::NA;
        log4cxx::spi::LocationInfo location(
            fileName, log4cxx::spi::LocationInfo::calcShortFileName(fileName),
            function != nullptr ? function : log4cxx::spi::LocationInfo::NA_METHOD, line);
        // LogString is UTF-8 in this build: the bytes pass through untouched,
        // where the std::string overload would transcode from the locale.
        l->forcedLogLS(mapped, message, location);
    } catch (...) {
    }
}

extern "C" int zeplog_init(const char *configFile, int)
{
    try {
        // Checked first: configure() on a missing file prints its own
        // complaint to stderr before reporting failure.
        if (configFile != nullptr && IsReadableFile(configFile) &&
            log4cxx::PropertyConfigurator::configure(log4cxx::File(configFile)) ==
                log4cxx::spi::ConfigurationStatus::Configured) {
            return 0;
        }
        // BasicConfigurator adds a console appender on every call, and each
        // one repeats every record: add it only to an unconfigured root.
        if (log4cxx::Logger::getRootLogger()->getAllAppenders().empty()) {
            log4cxx::BasicConfigurator::configure();
        }
    } catch (...) {
    }
    return -1;
}

extern "C" void zeplog_fini(void)
{
    try {
        log4cxx::LogManager::shutdown();
    } catch (...) {
    }
}
