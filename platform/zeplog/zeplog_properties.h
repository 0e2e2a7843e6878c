// The log library reads one configuration file, "log4cxx.properties", on
// every system. Where it sits on log4cplus (Windows), the file's log4j
// dialect is rewritten into log4cplus's before it is read: the same keys
// under another prefix, other class names, and strftime dates.
#ifndef ZEPLOG_PROPERTIES_H
#define ZEPLOG_PROPERTIES_H

#include <string>

namespace zeplog {

// The whole file: "log4j." keys become "log4cplus." keys, class names in
// "org.apache.log4j." become "log4cplus::" names, a console appender's
// Target becomes logToStdErr, and conversion patterns are rewritten as
// below. Comments, blank lines and everything else pass through unchanged.
std::string Log4cplusProperties(const std::string &log4j);

// A PatternLayout conversion pattern: each %d date, with or without a
// {format} (a Java date pattern or ISO8601, ABSOLUTE, DATE), becomes
// log4cplus's local-time %D{strftime format}; every other conversion is the
// same in both.
std::string Log4cplusConversionPattern(const std::string &pattern);

// A Java date pattern (yyyy-MM-dd HH:mm:ss,SSS) as a strftime format with
// log4cplus's %q for milliseconds. Unknown letters and quoted text are kept
// literally.
std::string StrftimeFormat(const std::string &javaPattern);

}  // namespace zeplog

#endif
