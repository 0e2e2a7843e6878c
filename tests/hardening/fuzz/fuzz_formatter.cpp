// Log message formatting over arbitrary bytes: four bytes of the number argument, then the message,
// a NUL and the text argument.
#include "MessageFormatter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    int number = 0;
    const size_t skip = std::min(size, sizeof number);
    std::memcpy(&number, data, skip);
    const std::string rest(reinterpret_cast<const char *>(data) + skip, size - skip);
    const std::string message = rest.substr(0, rest.find('\0'));
    const std::string text = rest.substr(std::min(rest.size(), message.size() + 1));
    const FormatArg args[] = {FormatArg(text.c_str()), FormatArg(number), FormatArg(nullptr)};
    const std::string all = formatMessage(message.c_str(), args, 3), none = formatMessage(message.c_str(), args, 0);
    if (message.find_first_of("{}") == std::string::npos && (all != message || none != message))
        __builtin_trap();  // without braces a message is copied as it is
    return 0;
}
