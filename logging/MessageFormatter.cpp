#include "MessageFormatter.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The position after a closing brace, or null at the end of the message.
const char *after(const char *closingBrace)
{
    const char *next = closingBrace + 1;
    return *next ? next : nullptr;
}

void appendHex(int64_t value, bool upper, std::string &outBuffer)
{
    char buffer[20];
    std::snprintf(buffer, sizeof buffer, upper ? "%" PRIX64 : "%" PRIx64,
                  static_cast<uint64_t>(value));
    outBuffer += buffer;
}

// Only "x", "X", "t" and "T" are conversions; every other pattern is text.
void renderConverted(const std::string &pattern, int64_t asInteger, std::string &outBuffer)
{
    if (pattern == "x" || pattern == "X")
        appendHex(asInteger, pattern == "X", outBuffer);
    else if (pattern == "t" || pattern == "T")
        outBuffer += "(parse error)";  // neither argument type is a time value
    else
        outBuffer += pattern;
}

}  // namespace

const char *scanPlaceholder(const char *position, int &placeholderNo,
                            std::string &placeholderPattern, std::string &outBuffer)
{
    placeholderNo = -1;
    placeholderPattern.clear();
    if (!position)
        return nullptr;

    const char *p = position;
    for (;;) {
        const char c = *p;
        if (c == '\0')
            return nullptr;
        if (c != '{' && c != '}') {
            outBuffer += c;
            ++p;
            continue;
        }
        if (p[1] == c) {  // "{{" or "}}"; p[1] exists since c is not the end
            outBuffer += c;
            p += 2;
            continue;
        }
        if (c == '}') {
            ++p;
            continue;
        }

        ++p;  // past "{"
        if (!isDigit(*p))
            continue;  // the "{" is dropped; *p is processed afresh
        int number = *p - '0';
        ++p;
        if (isDigit(*p)) {
            number = number * 10 + (*p - '0');
            ++p;
        }
        if (*p == '}') {
            placeholderNo = number;
            return after(p);
        }
        if (*p != ':')
            continue;  // "{" and its digits are dropped; *p is processed afresh

        ++p;  // past ":"
        placeholderNo = number;
        while (*p != '}' && *p != '{' && *p != '\0')
            placeholderPattern += *p++;
        if (*p == '}')
            return after(p);
        // Abandoned: the pattern reads as text, and a "{" may open a new placeholder.
        placeholderNo = -1;
        outBuffer += placeholderPattern;
        placeholderPattern.clear();
        if (*p == '\0')
            return nullptr;
    }
}

void renderArgument(const std::string &pattern, int argument, std::string &outBuffer)
{
    if (pattern.empty()) {
        char buffer[24];
        std::snprintf(buffer, sizeof buffer, "%d", argument);
        outBuffer += buffer;
        return;
    }
    renderConverted(pattern, static_cast<int64_t>(argument), outBuffer);
}

void renderArgument(const std::string &pattern, const char *argument, std::string &outBuffer)
{
    if (pattern.empty()) {
        if (argument)
            outBuffer += argument;
        return;
    }
    renderConverted(pattern, static_cast<int64_t>(reinterpret_cast<intptr_t>(argument)),
                    outBuffer);
}

void FormatArg::render(const std::string &pattern, std::string &outBuffer) const
{
    if (_isText)
        renderArgument(pattern, _text, outBuffer);
    else
        renderArgument(pattern, _number, outBuffer);
}

std::string formatMessage(const char *message, const FormatArg *args, int argCount)
{
    std::string outBuffer;
    outBuffer.reserve(1024);
    std::string placeholderPattern;
    int placeholderNo = -1;
    const char *position = message;
    while (position) {
        position = scanPlaceholder(position, placeholderNo, placeholderPattern, outBuffer);
        if (placeholderNo < 0)
            continue;
        if (placeholderNo < argCount)
            args[placeholderNo].render(placeholderPattern, outBuffer);
        else
            outBuffer += placeholderPattern;
    }
    return outBuffer;
}
