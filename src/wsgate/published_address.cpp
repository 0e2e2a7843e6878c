#include "published_address.h"

#include <cctype>
#include <cstring>

namespace {

const size_t kMaxAuthority = 255;

bool is_name_char(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

bool is_ipv6_char(char c) { return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.'; }

// The port after the host: nothing, or ":" and 1 to 5 digits.
bool is_port_suffix(const std::string &value, size_t at)
{
    if (at == value.size())
        return true;
    const size_t digits = value.size() - at - 1;
    if (value[at] != ':' || digits < 1 || digits > 5)
        return false;
    for (size_t i = at + 1; i < value.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(value[i])))
            return false;
    return true;
}

bool is_token_char(char c)  // RFC 7230 tchar
{
    return std::isalnum(static_cast<unsigned char>(c)) || (c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c));
}

void skip_spaces(const char *&p)
{
    while (*p == ' ' || *p == '\t')
        ++p;
}

bool same_ignoring_case(const std::string &a, const char *b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && !b[i];
}

bool is_https(const std::string &proto) { return same_ignoring_case(proto, "https"); }

}  // namespace

bool is_plain_authority(const std::string &value)
{
    if (value.empty() || value.size() > kMaxAuthority)
        return false;
    size_t end = 0;
    if (value[0] == '[') {
        end = value.find(']');
        if (end == std::string::npos || end == 1)
            return false;
        for (size_t i = 1; i < end; ++i)
            if (!is_ipv6_char(value[i]))
                return false;
        ++end;
    } else {
        while (end < value.size() && is_name_char(value[end]))
            ++end;
        if (end == 0)
            return false;
    }
    return is_port_suffix(value, end);
}

// forwarded-element = pair *( ";" pair ), pair = token "=" ( token / quoted-string ).
// An unquoted host with a port (host=a.example:8443) breaks the grammar but
// is common, so an unquoted value runs to the next separator; the caller
// checks what it gets. A quoted string with an escape is refused rather than
// unescaped: no plain authority or scheme needs one.
std::string forwarded_parameter(const char *forwarded, const char *name)
{
    if (!forwarded)
        return "";
    const char *p = forwarded;
    std::string found;
    for (;;) {
        skip_spaces(p);
        const char *key = p;
        while (is_token_char(*p))
            ++p;
        const std::string pairName(key, p);
        if (pairName.empty() || *p++ != '=')
            return "";
        std::string value;
        if (*p == '"') {
            const char *close = std::strchr(++p, '"');
            if (!close)
                return "";
            value.assign(p, close);
            if (value.find('\\') != std::string::npos)
                return "";
            p = close + 1;
        } else {
            const char *start = p;
            while (*p && !std::strchr(";, \t\"", *p))
                ++p;
            value.assign(start, p);
        }
        if (found.empty() && same_ignoring_case(pairName, name))
            found = value;
        skip_spaces(p);
        if (*p == ';') {
            ++p;
            continue;
        }
        return *p == ',' || *p == '\0' ? found : "";
    }
}

bool requested_authority(const request_origin &origin, std::string &authority)
{
    const std::string candidates[] = {forwarded_parameter(origin.forwarded, "host"),
                                      origin.x_forwarded_host ? origin.x_forwarded_host : "",
                                      origin.host ? origin.host : ""};
    for (const std::string &candidate : candidates)
        if (is_plain_authority(candidate)) {
            authority = candidate;
            return true;
        }
    return false;
}

const char *requested_scheme(const request_origin &origin)
{
    const bool https = is_https(forwarded_parameter(origin.forwarded, "proto")) ||
                       (origin.x_forwarded_proto && is_https(origin.x_forwarded_proto));
    return https ? "https" : "http";
}
