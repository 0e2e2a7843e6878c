#include "wsdl_get_handler.h"

#include "gsoap_server_class.h"
#include "origin_headers.h"
#include "published_address.h"
#include "wsdl_document.h"

#include <stdsoap2.h>

#include <string>

int wsdl_get_handler(struct soap *ctx)
{
    gsoap_server *server = static_cast<gsoap_server *>(ctx->user);
    if (!server)
        return -1;
    std::string uri;
    if (!split_wsdl_request(ctx->path, uri))
        return SOAP_GET_METHOD;

    const std::string wsdl = server->m_serviceMap.GetServiceWsdl(uri.c_str());
    // Where the client sent this request, so that a server on a wildcard
    // address, or behind a proxy, publishes an address the client can call.
    const request_origin *origin = captured_origin(ctx);
    std::string authority;
    if (!origin || (!requested_authority(*origin, authority) && !local_authority(ctx, authority)))
        return 404;
    const std::string ws_address = std::string(requested_scheme(*origin)) + "://" + authority + uri;
    std::string wsdl_buffer;
    if (!render_wsdl(wsdl, ws_address, wsdl_buffer))
        return 404;

    // The connection ends after the document (the dispatch and the service
    // routine both close it), so the response must not promise keep-alive:
    // clients that reuse connections would race the close.
    ctx->keep_alive = 0;
    ctx->http_content = "text/xml";
    soap_response(ctx, SOAP_FILE);
    if (soap_send_raw(ctx, wsdl_buffer.data(), wsdl_buffer.size()) != SOAP_OK)
        return 404;
    soap_end_send(ctx);
    return SOAP_OK;
}
