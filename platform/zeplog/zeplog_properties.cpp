#include "zeplog_properties.h"

#include <cctype>
#include <sstream>

namespace zeplog {

namespace {

const char kLog4jKey[] = "log4j.";
const char kLog4jClass[] = "org.apache.log4j.";

bool StartsWith(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string &text, const std::string &suffix)
{
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string Trim(const std::string &text)
{
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return std::string();
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// Java letters by run length; the longest match wins.
const char *StrftimeOf(char letter, size_t count)
{
    switch (letter) {
    case 'y': return count == 2 ? "%y" : "%Y";
    case 'M': return count >= 4 ? "%B" : count == 3 ? "%b" : "%m";
    case 'd': return "%d";
    case 'H': return "%H";
    case 'h': return "%I";
    case 'm': return "%M";
    case 's': return "%S";
    case 'S': return "%q";
    case 'a': return "%p";
    case 'E': return count >= 4 ? "%A" : "%a";
    case 'Z': return "%z";
    case 'z': return "%Z";
    default: return nullptr;
    }
}

// log4j's named date formats.
std::string JavaPatternOf(const std::string &format)
{
    if (format.empty() || format == "ISO8601")
        return "yyyy-MM-dd HH:mm:ss,SSS";
    if (format == "ABSOLUTE")
        return "HH:mm:ss,SSS";
    if (format == "DATE")
        return "dd MMM yyyy HH:mm:ss,SSS";
    return format;
}

std::string MapLine(const std::string &line)
{
    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#' || trimmed[0] == '!')
        return line;
    size_t separator = trimmed.find_first_of("=:");
    if (separator == std::string::npos)
        return line;
    std::string key = Trim(trimmed.substr(0, separator));
    std::string value = Trim(trimmed.substr(separator + 1));
    if (!StartsWith(key, kLog4jKey))
        return line;
    key = "log4cplus." + key.substr(sizeof kLog4jKey - 1);
    if (StartsWith(value, kLog4jClass))
        value = "log4cplus::" + value.substr(sizeof kLog4jClass - 1);
    if (EndsWith(key, ".ConversionPattern"))
        value = Log4cplusConversionPattern(value);
    if (EndsWith(key, ".Target")) {
        key = key.substr(0, key.size() - 6) + "logToStdErr";
        value = value == "System.err" ? "true" : "false";
    }
    return key + "=" + value;
}

}  // namespace

std::string StrftimeFormat(const std::string &javaPattern)
{
    std::string out;
    for (size_t i = 0; i < javaPattern.size();) {
        char c = javaPattern[i];
        if (c == '\'') {
            // Quoted literal text; '' is one quote.
            size_t end = javaPattern.find('\'', i + 1);
            if (end == i + 1) {
                out += '\'';
            } else {
                out += javaPattern.substr(i + 1, end == std::string::npos ? end : end - i - 1);
            }
            i = end == std::string::npos ? javaPattern.size() : end + 1;
            continue;
        }
        size_t run = 1;
        while (i + run < javaPattern.size() && javaPattern[i + run] == c)
            ++run;
        const char *mapped = std::isalpha(static_cast<unsigned char>(c)) ? StrftimeOf(c, run) : nullptr;
        if (mapped) {
            out += mapped;
        } else {
            for (size_t k = 0; k < run; ++k)
                out += c == '%' ? "%%" : std::string(1, c);
        }
        i += run;
    }
    return out;
}

std::string Log4cplusConversionPattern(const std::string &pattern)
{
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            out += pattern[i];
            continue;
        }
        // The conversion's modifiers (alignment, width, precision) stay.
        size_t conversion = i + 1;
        while (conversion < pattern.size() &&
               (pattern[conversion] == '-' || pattern[conversion] == '.' ||
                std::isdigit(static_cast<unsigned char>(pattern[conversion]))))
            ++conversion;
        if (conversion >= pattern.size() || pattern[conversion] != 'd') {
            out += pattern.substr(i, conversion + 1 - i);
            i = conversion;
            continue;
        }
        std::string format;
        size_t end = conversion;
        if (conversion + 1 < pattern.size() && pattern[conversion + 1] == '{') {
            size_t close = pattern.find('}', conversion + 2);
            if (close != std::string::npos) {
                format = pattern.substr(conversion + 2, close - conversion - 2);
                end = close;
            }
        }
        out += pattern.substr(i, conversion - i) + "D{" + StrftimeFormat(JavaPatternOf(format)) + "}";
        i = end;
    }
    return out;
}

std::string Log4cplusProperties(const std::string &log4j)
{
    std::istringstream in(log4j);
    std::string out;
    for (std::string line; std::getline(in, line);)
        out += MapLine(line) + "\n";
    return out;
}

}  // namespace zeplog
