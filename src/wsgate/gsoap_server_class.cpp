#include "gsoap_server_class.h"

#include "Log.h"
#include "gsoap_server_routine.h"
#include "origin_headers.h"
#include "soap_context.h"
#include "wsdl_get_handler.h"

#include <stdsoap2.h>

#include <cstdint>
#include <new>

namespace {

const gsoap_start_server_param kDefaultParam = {100, 60, 60, 10, 100};

}  // namespace

gsoap_server::gsoap_server(const std::string &ip, int port)
    : m_ip(ip),
      m_port(port),
      m_masterSoap(nullptr),
      m_templateSoap(nullptr),
      m_started(false),
      m_listenSock(-1),
      m_gsoapResponse(nullptr)
{
}

gsoap_server::~gsoap_server()
{
    m_masterSoap = nullptr;
    m_templateSoap = nullptr;
}

void gsoap_server::release_listening_socket()
{
    closesocket_portable(m_listenSock);
    m_listenSock = -1;
}

int gsoap_server::send_response_head(struct soap *ctx, int status, ULONG64 count)
{
    gsoap_server *server = static_cast<gsoap_server *>(ctx->user);
    // A call that was inside its service when the stop began is answered,
    // and its client told that the connection ends with it.
    if (server->m_waiting.stopping())
        ctx->keep_alive = 0;
    return server->m_gsoapResponse(ctx, status, count);
}

bool gsoap_server::start(gsoap_start_server_param *param)
{
    if (m_started)
        return true;
    LOG_PROGRESS("Starting gsoap server! ip:{0}, port:{1}", m_ip.c_str(), m_port);

    gsoap_start_server_param settings = kDefaultParam;
    if (!param)
        LOG_WARNING("Start server Warning, param is NULL!");
    else
        settings = *param;

    m_masterSoap = soap_new();
    if (!m_masterSoap) {
        LOG_FAILURE("soap_new Failed!");
        stop();
        return false;
    }
    soap_init2(m_masterSoap, SOAP_IO_KEEPALIVE | SOAP_C_UTFSTRING, SOAP_IO_KEEPALIVE | SOAP_C_UTFSTRING);
    m_masterSoap->user = this;
    m_masterSoap->fget = wsdl_get_handler;
    m_gsoapResponse = m_masterSoap->fresponse;
    m_masterSoap->fresponse = send_response_head;
    m_masterSoap->recv_timeout = settings.recv_timeout;
    m_masterSoap->send_timeout = settings.send_timeout;
    m_masterSoap->max_keep_alive = settings.max_keep_alive;
    m_masterSoap->bind_flags |= SO_REUSEADDR;
    // Every connection context inherits this by copy.
    m_masterSoap->socket_flags = kSendFlags;
    if (!capture_origin_headers(m_masterSoap)) {
        LOG_FAILURE("soap_register_plugin() Failed!");
        stop();
        release_context(m_masterSoap);
        m_masterSoap = nullptr;
        return false;
    }

    m_listenSock = soap_bind(m_masterSoap, m_ip.c_str(), m_port, settings.backlog);
    if (!soap_valid_socket(m_listenSock)) {
        LOG_FAILURE("soap_bind() Failed!");
        stop();
        release_context(m_masterSoap);
        m_masterSoap = nullptr;
        return false;
    }

    m_templateSoap = soap_copy(m_masterSoap);
    if (!m_templateSoap) {
        LOG_FAILURE("soap_copy() Failed!");
        stop();
        release_listening_socket();
        release_listening_context(m_masterSoap);
        m_masterSoap = nullptr;
        return false;
    }

    if (m_threadPool.Create(settings.thread_num + 1, ThreadPool::kQueueBound) != 0) {
        LOG_FAILURE("ThreadPool Create Failed!");
        stop();
        release_listening_socket();
        release_listening_context(m_templateSoap);
        m_templateSoap = nullptr;
        release_listening_context(m_masterSoap);
        m_masterSoap = nullptr;
        return false;
    }

    m_waiting.open();
    m_started = true;
    m_serviceMap.StartAllThreadPools();

    // The pool is new, running and empty: only a failed allocation (a null
    // item) can be refused here.
    if (m_threadPool.Work(new (std::nothrow) accept_routine(this, m_listenSock)) != 0) {
        LOG_FAILURE("ThreadPool Run Failed!");
        stop();
        return false;
    }

    LOG_PROGRESS("Start Server Successfully!");
    return true;
}

void gsoap_server::stop()
{
    LOG_PROGRESS("Enter Stop Server");
    if (!m_started)
        return;
    m_started = false;

    if (m_listenSock != -1) {
        release_listening_socket();
        LOG_PROGRESS("Close accepter socket");
    }
    // Left alone, a kept-alive connection between requests, or a client that
    // sends nothing, would hold its worker, and so the drains, until
    // recv_timeout.
    m_waiting.shut_down();

    m_serviceMap.StopAllThreadPools();
    m_threadPool.Drain();
    m_threadPool.Destroy();
    m_contexts.clear();

    // No routine is left that could use the contexts.
    if (m_masterSoap) {
        release_listening_context(m_masterSoap);
        m_masterSoap = nullptr;
    }
    if (m_templateSoap) {
        release_listening_context(m_templateSoap);
        m_templateSoap = nullptr;
    }
    LOG_PROGRESS("Stop gsoap server at ip:{0}, port{1} Successfully!", m_ip.c_str(), m_port);
}

bool gsoap_server::register_service(const char *uri, gsoapws_service_entry entry,
                                    const char *wsdl_path, bool use_pool, int pool_size)
{
    LOG_PROGRESS("Add a Service for uri = {0}", uri);
    return m_serviceMap.AddService(uri, entry, wsdl_path, use_pool, pool_size);
}

void gsoap_server::unregister_service(const char *uri)
{
    LOG_PROGRESS("Delete Service for uri = {0}", uri);
    m_serviceMap.RemoveService(uri);
}

int gsoap_server::dispatch_request(struct soap *ctx)
{
    // A new connection's context holds no request yet: a fresh copy, or a
    // kept one that soap_end has cleared.
    begin_cleared(ctx);
    waiting_sockets::wait head(m_waiting, ctx->socket);
    // A GET is answered inside this step by wsdl_get_handler and always
    // reports non-zero, so it never reaches the lookup.
    if (!head.joined() || soap_begin_recv(ctx) != 0 || !head.leave())
        return -1;
    // The first request is served before the countdown starts, hence limit
    // - 1; unsigned, so a countdown started at 0 never reaches 0 again.
    return dispatch_received(ctx, {true, static_cast<uint32_t>(ctx->max_keep_alive) - 1u});
}

int gsoap_server::dispatch_received(struct soap *ctx, const keep_alive_count &count)
{
    ObjectPtrT<ServiceInfo> siw = m_serviceMap.GetService(ctx->path);
    if (!siw.IsValid() || !siw->GetEntry()) {
        // SOAP_STOP: gSOAP sends nothing at all; the connection just closes.
        ctx->error = SOAP_STOP;
        soap_send_fault(ctx);
        return -1;
    }
    ObjectPtrT<ThreadPoolInfo> poolptr = m_serviceMap.GetServiceThreadPool(ctx->path);

    serve_routine *item = new (std::nothrow) serve_routine(this, ctx, siw, count);
    const int queued = poolptr.IsValid() ? poolptr->Work(item)
                                         : m_serviceMap.GetSharedThreadPool()->Work(item);
    if (queued != 0) {
        delete item;  // leaves ctx alone: the caller releases it
        return -1;
    }
    return 0;
}

int gsoap_server::hand_over(struct soap *ctx, const keep_alive_count &count)
{
    handover_routine *item = new (std::nothrow) handover_routine(this, ctx, count);
    if (m_threadPool.Work(item) != 0) {
        delete item;  // leaves ctx alone: the caller releases it
        return -1;
    }
    return 0;
}

struct soap *gsoap_server::new_connection_context()
{
    return m_contexts.take(m_templateSoap);
}

void gsoap_server::end_connection(struct soap *ctx)
{
    m_contexts.give_back(ctx, m_templateSoap);
}
