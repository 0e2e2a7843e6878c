#include "Log.h"

#include "MessageFormatter.h"

Logger::~Logger()
{
    zeplog_release_logger(_handle);
}

bool Logger::isEnabled(int level) const
{
    return zeplog_get_threshold(_handle) <= level;
}

void Logger::write(int level, const char *message, const char *file, const char *function,
                   int line) const
{
    zeplog_write(_handle, level, message, file, function, line);
}

LogManager &LogManager::GetInstance()
{
    static LogManager manager;
    return manager;
}

Logger &LogManager::GetLogger()
{
    // A function-local static: exactly one lookup even when several threads
    // make their first statement at once.
    static Logger logger(zeplog_get_logger("GSOAP"));
    return logger;
}

void LogStatement::log(const char *message) noexcept
{
    if (message && _logger.isEnabled(_level))
        _logger.write(_level, message, _file, _function, _line);
}

template <typename... Args>
void LogStatement::logFormatted(const char *message, Args... args) noexcept
{
    if (!message || !_logger.isEnabled(_level))
        return;
    const FormatArg formatArgs[] = {FormatArg(args)...};
    // Statements run inside work items that must not throw: a record that
    // cannot be formatted (the buffer's allocation failed) goes out as the
    // unformatted message rather than as an exception into the host.
    try {
        const std::string outBuffer =
            formatMessage(message, formatArgs, static_cast<int>(sizeof...(Args)));
        if (!outBuffer.empty())
            _logger.write(_level, outBuffer.c_str(), _file, _function, _line);
    } catch (...) {
        _logger.write(_level, message, _file, _function, _line);
    }
}

void LogStatement::log(const char *message, const char *arg0) noexcept
{
    logFormatted(message, arg0);
}

void LogStatement::log(const char *message, int arg0) noexcept
{
    logFormatted(message, arg0);
}

void LogStatement::log(const char *message, const char *arg0, int arg1) noexcept
{
    logFormatted(message, arg0, arg1);
}
