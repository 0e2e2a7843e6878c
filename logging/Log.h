// The system's one logger, "GSOAP", over the log library. Each statement
// asks the library for the threshold once and does no formatting below it.
#ifndef WSGATE_LOGGING_LOG_H
#define WSGATE_LOGGING_LOG_H

#include <zeplog.h>

// Levels of the system's statements; a larger number is more severe.
enum LogLevel { LOG_LEVEL_PROGRESS = 1, LOG_LEVEL_WARNING = 4, LOG_LEVEL_FAILURE = 5 };

class Logger {
public:
    explicit Logger(ZEPLOG_HANDLE handle) : _handle(handle) {}
    // Gives the handle back to the library (once, at unload).
    ~Logger();
    Logger(const Logger &) = delete;
    Logger &operator=(const Logger &) = delete;

    // Queries the library on every call, so a threshold change takes
    // effect at the next statement.
    bool isEnabled(int level) const;
    // Writes without asking for the threshold: callers test isEnabled first.
    // file and function are kept by pointer: pass constants.
    void write(int level, const char *message, const char *file, const char *function,
               int line) const;

private:
    ZEPLOG_HANDLE _handle;
};

class LogManager {
public:
    // Thread-safe; created on first use, lives until unload.
    static LogManager &GetInstance();
    // The "GSOAP" logger; the library lookup happens once per process.
    Logger &GetLogger();
};

// Built on the caller's stack for one statement; owns none of its strings.
class LogStatement {
public:
    LogStatement(Logger &logger, int level, const char *file, const char *function, int line)
        : _logger(logger), _level(level), _file(file), _function(function), _line(line)
    {
    }

    // Never throw: statements run inside work items that must not. Braces in
    // a plain message are not interpreted; a null message is ignored.
    void log(const char *message) noexcept;
    // "{0}"-style forms; in the two-argument form {0} is text and {1} the
    // integer. A message that cannot be formatted is written unformatted.
    void log(const char *message, const char *arg0) noexcept;
    void log(const char *message, int arg0) noexcept;
    void log(const char *message, const char *arg0, int arg1) noexcept;

private:
    template <typename... Args>
    void logFormatted(const char *message, Args... args) noexcept;

    Logger &_logger;
    int _level;
    const char *_file;
    const char *_function;
    int _line;
};

#define WSGATE_LOG_AT(level, ...)                                                              \
    do {                                                                                       \
        LogStatement logStatement(LogManager::GetInstance().GetLogger(), (level), __FILE__,   \
                                  __PRETTY_FUNCTION__, __LINE__);                              \
        logStatement.log(__VA_ARGS__);                                                         \
    } while (0)

#define LOG_PROGRESS(...) WSGATE_LOG_AT(LOG_LEVEL_PROGRESS, __VA_ARGS__)
#define LOG_WARNING(...) WSGATE_LOG_AT(LOG_LEVEL_WARNING, __VA_ARGS__)
#define LOG_FAILURE(...) WSGATE_LOG_AT(LOG_LEVEL_FAILURE, __VA_ARGS__)

#endif
