#include "origin_headers.h"

#include "published_address.h"

// stdsoap2.h brings the platform's socket headers.
#include <stdsoap2.h>

#include <cstdio>
#include <new>

namespace {

const char kPluginId[] = "wsgate-origin-headers";

// One per context. The values live in the context's per-request memory
// (soap_strdup) and are forgotten before each request head is read.
struct origin_capture {
    request_origin origin;
    int (*parse)(struct soap *);                                // gSOAP's own, called on
    int (*parse_header)(struct soap *, const char *, const char *);
};

origin_capture *capture_of(struct soap *ctx)
{
    return static_cast<origin_capture *>(soap_lookup_plugin(ctx, kPluginId));
}

int parse_head(struct soap *ctx)
{
    origin_capture *capture = capture_of(ctx);
    capture->origin = request_origin();
    return capture->parse(ctx);
}

// The first line of each kind counts. A copy that cannot be made leaves the
// header absent: the next source is used, as for any value not kept.
int parse_header(struct soap *ctx, const char *key, const char *value)
{
    // Most lines of a request head are none of the four: they go on to
    // gSOAP after one look at their first letter.
    const char first = static_cast<char>(key[0] | 0x20);
    if (first != 'f' && first != 'x' && first != 'h')
        return capture_of(ctx)->parse_header(ctx, key, value);
    origin_capture *capture = capture_of(ctx);
    // Header names compare as gSOAP compares them (case-insensitively).
    const char **slot = !soap_tag_cmp(key, "Forwarded")           ? &capture->origin.forwarded
                        : !soap_tag_cmp(key, "X-Forwarded-Host")  ? &capture->origin.x_forwarded_host
                        : !soap_tag_cmp(key, "X-Forwarded-Proto") ? &capture->origin.x_forwarded_proto
                        : !soap_tag_cmp(key, "Host")              ? &capture->origin.host
                                                                  : nullptr;
    if (slot && !*slot)
        *slot = soap_strdup(ctx, value);
    return capture->parse_header(ctx, key, value);
}

void delete_capture(struct soap *, struct soap_plugin *plugin) { delete static_cast<origin_capture *>(plugin->data); }

int copy_capture(struct soap *, struct soap_plugin *dst, struct soap_plugin *src)
{
    const origin_capture *from = static_cast<const origin_capture *>(src->data);
    dst->data = new (std::nothrow) origin_capture{request_origin(), from->parse, from->parse_header};
    return dst->data ? SOAP_OK : SOAP_EOM;
}

int create_capture(struct soap *ctx, struct soap_plugin *plugin, void *)
{
    origin_capture *capture = new (std::nothrow) origin_capture{request_origin(), ctx->fparse, ctx->fparsehdr};
    if (!capture)
        return SOAP_EOM;
    plugin->id = kPluginId;
    plugin->data = capture;
    plugin->fcopy = copy_capture;
    plugin->fdelete = delete_capture;
    ctx->fparse = parse_head;
    ctx->fparsehdr = parse_header;
    return SOAP_OK;
}

}  // namespace

bool capture_origin_headers(struct soap *master)
{
    return soap_register_plugin(master, create_capture) == SOAP_OK;
}

const request_origin *captured_origin(struct soap *ctx)
{
    const origin_capture *capture = capture_of(ctx);
    return capture ? &capture->origin : nullptr;
}

// Written out by hand rather than with inet_ntop, which not every platform's
// socket library has; an IPv6 address comes uncompressed, which is as valid.
bool local_authority(struct soap *ctx, std::string &authority)
{
    sockaddr_storage address;
    SOAP_SOCKLEN_T length = sizeof address;
    if (getsockname(ctx->socket, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return false;
    char text[64];
    if (address.ss_family == AF_INET) {
        const sockaddr_in &in = reinterpret_cast<const sockaddr_in &>(address);
        const unsigned char *b = reinterpret_cast<const unsigned char *>(&in.sin_addr);
        std::snprintf(text, sizeof text, "%u.%u.%u.%u:%u", b[0], b[1], b[2], b[3], ntohs(in.sin_port));
    } else if (address.ss_family == AF_INET6) {
        const sockaddr_in6 &in6 = reinterpret_cast<const sockaddr_in6 &>(address);
        const unsigned char *b = reinterpret_cast<const unsigned char *>(&in6.sin6_addr);
        std::snprintf(text, sizeof text, "[%x:%x:%x:%x:%x:%x:%x:%x]:%u", b[0] << 8 | b[1], b[2] << 8 | b[3],
                      b[4] << 8 | b[5], b[6] << 8 | b[7], b[8] << 8 | b[9], b[10] << 8 | b[11], b[12] << 8 | b[13],
                      b[14] << 8 | b[15], ntohs(in6.sin6_port));
    } else {
        return false;
    }
    authority = text;
    return true;
}
