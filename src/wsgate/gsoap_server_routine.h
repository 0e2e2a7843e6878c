// The work items of a server: the accept loop, the per-connection routine
// that dispatches the first request, the routine that serves a connection's
// requests while keep-alive lasts, and the one that passes a kept-alive
// connection on to another service. The pool deletes each after
// Run, or after discarding it unrun, with Cleanup releasing what it holds.
#ifndef WSGATE_GSOAP_SERVER_ROUTINE_H
#define WSGATE_GSOAP_SERVER_ROUTINE_H

#include "ServiceMap.h"
#include "wsgate/wsgate.h"
#include "zepplus/ThreadPool.h"

#include <stdsoap2.h>

#include <cstdint>

class gsoap_server;

// Occupies one connection worker until the server stops.
class accept_routine : public ThreadPool::IWorkItem {
public:
    accept_routine(gsoap_server *server, int listenSock) : m_gsoap(server), m_listenSock(listenSock)
    {
    }
    ~accept_routine() override { m_gsoap = nullptr; }

    void Run() override;
    bool IsAutoDelete() override { return true; }
    void Cleanup() override { m_gsoap = nullptr; }

private:
    gsoap_server *m_gsoap;  // not owned
    int m_listenSock;       // the server's; closed by stop
};

// Gives one accepted connection its context and dispatches its first request.
class response_routine : public ThreadPool::IWorkItem {
public:
    response_routine(gsoap_server *server, int sock) : m_server(server), m_sock(sock) {}
    ~response_routine() override { m_server = nullptr; }

    void Run() override;
    bool IsAutoDelete() override { return true; }
    // Closes the connection if it was never handed to a context.
    void Cleanup() override;

private:
    gsoap_server *m_server;  // not owned
    int m_sock;              // owned until attached to a context; then -1
};

// How far a connection has got towards max_keep_alive. It travels with the
// context when a later request goes to another service, so the count goes on.
struct keep_alive_count {
    bool firstRequest;   // the request received on the context is the connection's first
    uint32_t countdown;  // as serve_routine::Run counts down; set from max_keep_alive - 1
};

// Owns a connection's context from dispatch on; holds its worker for the
// rest of the connection, or until a request for another service hands the
// connection over. Takes no service-map lock: a drain of this routine's own
// pool holds the pools lock while it waits for the routine to end.
class serve_routine : public ThreadPool::IWorkItem {
public:
    // ctx has the head of a request for service received; its path is the
    // one that keeps the connection with this routine while service stays
    // registered.
    serve_routine(gsoap_server *server, struct soap *ctx, const ObjectPtrT<ServiceInfo> &service,
                  const keep_alive_count &count);
    // Leaves the context alone: only Cleanup releases it.
    ~serve_routine() override
    {
        m_server = nullptr;
        m_soap = nullptr;
        m_serviceEntry = nullptr;
    }

    void Run() override;
    bool IsAutoDelete() override { return true; }
    // Releases the context, unless handed over, which closes the connection.
    void Cleanup() override;

private:
    gsoap_server *m_server;  // not owned
    struct soap *m_soap;     // owned; null once handed over
    gsoapws_service_entry m_serviceEntry;
    ObjectPtrT<ServiceInfo> m_service;  // shared with the service map until it retires it
    // As received; a later request for any other path is handed over. Held
    // inline, so that making the item can fail only as its allocation.
    char m_path[SOAP_TAGLEN];
    keep_alive_count m_count;
};

// Runs on the connection pool: dispatches the request that a serve_routine
// received for another service, as a first request is dispatched. The lookup
// may wait for a pool being drained; this routine holds no pool's worker then.
class handover_routine : public ThreadPool::IWorkItem {
public:
    handover_routine(gsoap_server *server, struct soap *ctx, const keep_alive_count &count)
        : m_server(server), m_soap(ctx), m_count(count)
    {
    }
    // Leaves the context alone: only Cleanup releases it.
    ~handover_routine() override
    {
        m_server = nullptr;
        m_soap = nullptr;
    }

    void Run() override;
    bool IsAutoDelete() override { return true; }
    // Releases the context unless it was dispatched: the connection closes unanswered.
    void Cleanup() override;

private:
    gsoap_server *m_server;  // not owned
    struct soap *m_soap;     // owned until dispatched; then null
    keep_alive_count m_count;
};

#endif
