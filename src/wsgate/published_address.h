// Which scheme and authority a WSDL request was sent to, from the headers a
// client or a proxy in front of us set. Pure text work, apart from gSOAP.
#ifndef WSGATE_PUBLISHED_ADDRESS_H
#define WSGATE_PUBLISHED_ADDRESS_H

#include <string>

// The headers of one request that name where it was sent, each the first
// line of its kind as received; null when absent. Not owned.
struct request_origin {
    const char *forwarded = nullptr;          // RFC 7239 Forwarded
    const char *x_forwarded_host = nullptr;
    const char *x_forwarded_proto = nullptr;
    const char *host = nullptr;
};

// True for a plain host[:port] of at most 255 bytes: a name or IPv4 address
// of letters, digits, '-', '.' and '_', or an IPv6 literal in brackets, then
// at most one ":" and a port of 1 to 5 digits. Anything else (quotes, angle
// brackets, spaces, slashes, control characters) could break out of the
// document or send clients elsewhere.
bool is_plain_authority(const std::string &value);

// The value of the parameter name (case-insensitive) in the first element of
// a Forwarded header, a quoted string unquoted; "" when absent or when the
// element is malformed.
std::string forwarded_parameter(const char *forwarded, const char *name);

// The authority the client asked for: the first plain one of Forwarded's
// host, X-Forwarded-Host and Host. False when none is plain.
bool requested_authority(const request_origin &origin, std::string &authority);

// "https" when Forwarded's proto or X-Forwarded-Proto says https, else "http".
const char *requested_scheme(const request_origin &origin);

#endif
