// Fills "{0}"-style placeholders: "{n}" or "{n:p}" with n of one or two
// digits; "{{" and "}}" stand for braces. Never fails outward: malformed
// placeholders are dropped or copied, refused conversions read "(parse error)".
#ifndef WSGATE_LOGGING_MESSAGEFORMATTER_H
#define WSGATE_LOGGING_MESSAGEFORMATTER_H

#include <string>

// One argument of a formatted statement: an int or a NUL-terminated text.
class FormatArg {
public:
    explicit FormatArg(int value) : _isText(false), _number(value), _text(nullptr) {}
    explicit FormatArg(const char *text) : _isText(true), _number(0), _text(text) {}

    void render(const std::string &pattern, std::string &outBuffer) const;

private:
    bool _isText;
    int _number;
    const char *_text;  // not owned; may be null
};

// Advances from position, appending literal text to outBuffer. On return
// placeholderNo (-1 for none) and placeholderPattern describe the placeholder
// completed, if any. Returns where to continue, or null when the message is used up.
const char *scanPlaceholder(const char *position, int &placeholderNo,
                            std::string &placeholderPattern, std::string &outBuffer);

void renderArgument(const std::string &pattern, int argument, std::string &outBuffer);
void renderArgument(const std::string &pattern, const char *argument, std::string &outBuffer);

// The whole message with its arguments; message must not be null.
std::string formatMessage(const char *message, const FormatArg *args, int argCount);

#endif
