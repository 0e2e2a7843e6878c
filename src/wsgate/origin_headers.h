// Keeps, for each connection context, the headers of its current request
// that say where the request was sent (published_address.h reads them).
// gSOAP hands every header to its fparsehdr callback and keeps only Host, and
// that folded into its endpoint; a gSOAP plug-in wraps the callback, so every
// copy of the master context captures for itself.
#ifndef WSGATE_ORIGIN_HEADERS_H
#define WSGATE_ORIGIN_HEADERS_H

#include <string>

struct soap;
struct request_origin;

// Host thread, on a master context before any copy is made. False (gSOAP's
// error set) when the plug-in could not be allocated.
bool capture_origin_headers(struct soap *master);

// The origin headers of the request whose head ctx received last, valid until
// its soap_end; null when ctx does not capture them.
const request_origin *captured_origin(struct soap *ctx);

// "address:port" of the local end of the connection on ctx ("[address]:port"
// for IPv6): where a client reached us when it named nothing itself. False
// when the socket cannot say.
bool local_authority(struct soap *ctx, std::string &authority);

#endif
