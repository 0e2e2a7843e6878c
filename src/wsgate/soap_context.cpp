#include "soap_context.h"

#include <stdsoap2.h>

void release_context(struct soap *ctx)
{
    soap_delete(ctx, nullptr);
    soap_end(ctx);
    soap_free(ctx);
}

void begin_cleared(struct soap *ctx)
{
    ctx->encoding = 0;
    // The last request's service or fault may have left its own (literal:
    // null); "" is gSOAP's default, SOAP encoding unless a service says
    // otherwise.
    ctx->encodingStyle = "";
}

void release_listening_context(struct soap *ctx)
{
    ctx->master = SOAP_INVALID_SOCKET;
    ctx->socket = SOAP_INVALID_SOCKET;
    release_context(ctx);
}
