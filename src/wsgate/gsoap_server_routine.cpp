#include "gsoap_server_routine.h"

#include "Log.h"
#include "gsoap_server_class.h"
#include "soap_context.h"

#include <stdsoap2.h>

#include <cstdio>
#include <cstring>
#include <new>

namespace {

// gSOAP keeps a connection open only if keep_alive is already set when the
// first request is received. A limit of 1 means one request, answered with
// "Connection: close"; 0 (or below) means no limit.
void prepare_keep_alive(struct soap *ctx)
{
    if (!(ctx->omode & SOAP_IO_KEEPALIVE) || ctx->max_keep_alive == 1)
        ctx->keep_alive = 0;
    else if (ctx->max_keep_alive > 0)
        ctx->keep_alive = ctx->max_keep_alive;
    else
        ctx->keep_alive = -1;
}

// -1 is the error result of the first call; this gSOAP spells SOAP_ERR as 99.
bool is_error_result(int result)
{
    return result == -1 || result == SOAP_ERR;
}

// A later request of a connection: what it allocated goes at once. False when
// the entry failed: the connection ends then, as after a failed first request,
// since its client will get nothing, and a body left unread would hold the
// connection until recv_timeout.
bool serve_later_request(struct soap *ctx, gsoapws_service_entry entry)
{
    const bool failed = is_error_result(entry(ctx));
    soap_delete(ctx, nullptr);
    soap_end(ctx);
    if (failed)
        LOG_FAILURE("serviceEntry return SOAP_ERR");
    return !failed;
}

// A routine's context at its end: kept by its server for the next
// connection, or released when the routine never had a server.
void end_connection(gsoap_server *server, struct soap *ctx)
{
    if (server)
        server->end_connection(ctx);
    else
        release_context(ctx);
}

}  // namespace

void accept_routine::Run()
{
    if (!m_gsoap) {
        LOG_FAILURE("Run Failed! m_gsoap is NULL");
        return;
    }
    struct soap *master = m_gsoap->m_masterSoap;
    if (m_listenSock == -1 || !master)
        return;

    for (;;) {
        if (!m_gsoap->m_started)
            return;
        SOAP_SOCKET sock = soap_accept(master);
        // soap_accept leaves the connection in the master too; releasing the
        // master later must not close it.
        master->socket = SOAP_INVALID_SOCKET;
        if (!soap_valid_socket(sock)) {
            if (master->errnum == 0 || !m_gsoap->m_started) {
                LOG_PROGRESS("Accepter SOCKET was Closed!");
                return;
            }
            LOG_WARNING("soap_accept() Failed! ErrorNum is {0}", master->errnum);
            continue;
        }
        LOG_PROGRESS("Accept a Connection");
        if (!m_gsoap->m_started) {
            closesocket_portable(sock);
            return;
        }
        response_routine *item = new (std::nothrow) response_routine(m_gsoap, sock);
        if (m_gsoap->m_threadPool.Work(item) != 0) {
            // Known limitation: a refused connection ends the accept loop for
            // good, while the listening socket stays open; only a stop and a
            // start accept again. docs/behaviour.md, "When the connection
            // pool's queue overflows, the server stops accepting".
            LOG_FAILURE("ZEP_ThreadPool_Work() Failed!");
            delete item;
            closesocket_portable(sock);
            return;
        }
    }
}

void response_routine::Run()
{
    if (!m_server) {
        LOG_FAILURE("Run Failed! m_server is NULL");
        return;
    }
    if (m_sock == -1) {
        LOG_FAILURE("Run Failed! m_sock is Invalid");
        return;
    }
    struct soap *ctx = m_server->new_connection_context();
    if (!ctx) {
        LOG_FAILURE("Run Failed! m_sock is Invalid");
        return;  // Cleanup closes the connection
    }
    if (!m_server->m_started) {
        m_server->end_connection(ctx);
        return;  // Cleanup closes the connection
    }
    ctx->socket = m_sock;
    m_sock = -1;
    prepare_keep_alive(ctx);
    if (m_server->dispatch_request(ctx) != 0)
        m_server->end_connection(ctx);
}

void response_routine::Cleanup()
{
    if (m_sock != -1) {
        closesocket_portable(m_sock);
        m_sock = -1;
    }
    m_server = nullptr;
}

serve_routine::serve_routine(gsoap_server *server, struct soap *ctx, const ObjectPtrT<ServiceInfo> &service,
                             const keep_alive_count &count)
    : m_server(server), m_soap(ctx), m_serviceEntry(service.IsValid() ? service->GetEntry() : nullptr),
      m_service(service), m_count(count)
{
    m_path[0] = '\0';
    if (ctx)
        std::snprintf(m_path, sizeof m_path, "%s", ctx->path);
}

void serve_routine::Run()
{
    if (!m_server || !m_soap || !m_serviceEntry)
        return;
    if (m_count.firstRequest) {
        if (is_error_result(m_serviceEntry(m_soap))) {
            LOG_FAILURE("serviceEntry return SOAP_ERR");
            return;
        }
    } else {
        // The rest of a keep-alive pass that another service's routine began.
        if (!serve_later_request(m_soap, m_serviceEntry) || !m_soap->keep_alive)
            return;
    }

    // Whether soap_end has released the last request's data: the first one
    // and one answered inside the receive step have had no soap_end.
    bool ended = !m_count.firstRequest;
    do {
        // Once gSOAP has closed the connection itself it would read the
        // process's stdin and write faults to its stdout: the connection is
        // over, and there is no point in resetting the context for it.
        if (!soap_valid_socket(m_soap->socket))
            return;
        if (ended)
            begin_cleared(m_soap);
        else
            soap_begin(m_soap);
        if (m_soap->max_keep_alive > 0 && --m_count.countdown == 0)
            m_soap->keep_alive = 0;  // the request about to be read is the last
        waiting_sockets::wait head(m_server->m_waiting, m_soap->socket);
        if (!head.joined())
            return;  // the server is stopping
        const int received = soap_begin_recv(m_soap);
        if (!head.leave())
            return;  // a stop shut the connection down meanwhile
        if (received != 0) {
            if (m_soap->error < SOAP_STOP) {
                if (soap_valid_socket(m_soap->socket))
                    soap_send_fault(m_soap);
                return;
            }
            soap_closesock(m_soap);  // answered inside the receive step (a WSDL GET)
            ended = false;
        } else if (std::strcmp(m_soap->path, m_path) != 0 || m_service->IsRetired()) {
            // Another path, or this service's registration is gone:
            // dispatched by the connection pool as a first request is, its
            // service keeps the connection; no service or a refusal on the
            // way closes it unanswered.
            if (m_server->hand_over(m_soap, {false, m_count.countdown}) == 0)
                m_soap = nullptr;
            return;
        } else if (!serve_later_request(m_soap, m_serviceEntry)) {
            return;
        } else {
            ended = true;
        }
    } while (m_soap->keep_alive);
}

void serve_routine::Cleanup()
{
    if (m_soap) {
        end_connection(m_server, m_soap);
        m_soap = nullptr;
    }
    m_serviceEntry = nullptr;
    m_service = ObjectPtrT<ServiceInfo>();
    m_server = nullptr;
}

void handover_routine::Run()
{
    if (m_server && m_soap && m_server->dispatch_received(m_soap, m_count) == 0)
        m_soap = nullptr;
}

void handover_routine::Cleanup()
{
    if (m_soap) {
        end_connection(m_server, m_soap);
        m_soap = nullptr;
    }
    m_server = nullptr;
}
