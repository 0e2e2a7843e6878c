#include "context_free_list.h"

#include "soap_context.h"

#include <stdsoap2.h>

#include <cstring>

namespace {

// Copies tmpl's fields from first up to, not including, end (declared in
// that order in struct soap) into ctx.
template <typename First, typename End>
void copy_fields(struct soap *ctx, const struct soap *tmpl, First soap::*first, End soap::*end)
{
    const char *from = reinterpret_cast<const char *>(&(tmpl->*first));
    const char *to = reinterpret_cast<const char *>(&(tmpl->*end));
    std::memcpy(reinterpret_cast<char *>(&(ctx->*first)), from, static_cast<size_t>(to - from));
}

// Every copy of tmpl carries a copy of each of tmpl's plug-ins, with data of
// its own, which stays with the context as it stays across the requests of
// one connection (the origin capture forgets a request's headers when it
// reads the next head). A plug-in a service registered on top is none of
// tmpl's, and only soap_free removes it.
bool has_template_plugins_only(const struct soap *ctx, const struct soap *tmpl)
{
    const struct soap_plugin *own = ctx->plugins, *theirs = tmpl->plugins;
    for (; own && theirs; own = own->next, theirs = theirs->next)
        if (own->id != theirs->id)
            return false;
    return !own && !theirs;
}

// What soap_copy of tmpl would give, for a context whose connection is over
// and whose requests' data soap_end has freed: every setting a service or an
// HTTP exchange can change goes back to tmpl's. What gSOAP resets for every
// request itself (parser state, header, fault, attachments, the request
// line) is left to soap_begin and soap_begin_recv. False, touching nothing,
// when ctx holds what only soap_free releases.
bool reset_to_template(struct soap *ctx, const struct soap *tmpl)
{
    if (!has_template_plugins_only(ctx, tmpl) || ctx->cookies != tmpl->cookies || soap_valid_socket(ctx->socket))
        return false;
    // Modes, formats, limits, time-outs, socket flags, HTTP content type and
    // extra header, encoding style, actor, language.
    copy_fields(ctx, tmpl, &soap::version, &soap::namespaces);
    if (ctx->namespaces != tmpl->namespaces)
        soap_set_namespaces(ctx, tmpl->namespaces);  // the last service's table
    ctx->header = nullptr;  // freed by soap_end
    ctx->fault = nullptr;
    // User data, HTTP authentication, every callback (the plug-ins' own
    // included); the plug-ins stay.
    struct soap_plugin *plugins = ctx->plugins;
    copy_fields(ctx, tmpl, &soap::user, &soap::master);
    ctx->plugins = plugins;
    ctx->sendsk = tmpl->sendsk;
    ctx->recvsk = tmpl->recvsk;
    // Streams, descriptors and TLS settings.
    copy_fields(ctx, tmpl, &soap::os, &soap::session_host);
    // Bytes the last client sent beyond its last request must not be read
    // as the next client's.
    ctx->bufidx = 0;
    ctx->buflen = 0;
    // Peer and host overrides; TCP keep-alive, limits, proxy, CORS.
    copy_fields(ctx, tmpl, &soap::prolog, &soap::keep_alive);
    copy_fields(ctx, tmpl, &soap::tcp_keep_alive, &soap::status);
    ctx->keep_alive = tmpl->keep_alive;
    ctx->status = tmpl->status;
    ctx->error = tmpl->error;
    ctx->errmode = tmpl->errmode;
    ctx->errnum = tmpl->errnum;
    copy_fields(ctx, tmpl, &soap::wsuid, &soap::cookies);
    // Cookie settings, multicast, client address, the peer's address.
    copy_fields(ctx, tmpl, &soap::cookie_domain, &soap::c_locale);
    return true;
}

}  // namespace

context_free_list::context_free_list() : m_kept(), m_count(0) {}

context_free_list::~context_free_list()
{
    clear();
}

struct soap *context_free_list::take(const struct soap *tmpl)
{
    struct soap *ctx = pop();
    return ctx ? ctx : soap_copy(tmpl);
}

void context_free_list::give_back(struct soap *ctx, const struct soap *tmpl)
{
    soap_delete(ctx, nullptr);
    soap_end(ctx);
    // soap_end closes the socket only once keep-alive is over.
    soap_force_closesock(ctx);
    if (!reset_to_template(ctx, tmpl) || !keep(ctx))
        soap_free(ctx);
}

void context_free_list::clear()
{
    while (struct soap *ctx = pop())
        release_context(ctx);
}

bool context_free_list::keep(struct soap *ctx)
{
    ScopedLock scopedLock(&m_lock, false);
    if (m_count == kCapacity)
        return false;
    m_kept[m_count++] = ctx;
    return true;
}

struct soap *context_free_list::pop()
{
    ScopedLock scopedLock(&m_lock, false);
    return m_count == 0 ? nullptr : m_kept[--m_count];
}
