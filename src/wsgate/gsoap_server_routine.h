// The three work items of a server: the accept loop, the per-connection
// routine that dispatches the first request, and the routine that serves a
// connection's requests while keep-alive lasts. The pool deletes each after
// Run, or after discarding it unrun, with Cleanup releasing what it holds.
#ifndef WSGATE_GSOAP_SERVER_ROUTINE_H
#define WSGATE_GSOAP_SERVER_ROUTINE_H

#include "wsgate/wsgate.h"
#include "zepplus/ThreadPool.h"

struct soap;
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

// Owns a connection's context from dispatch on; holds its worker for the
// whole life of the connection.
class serve_routine : public ThreadPool::IWorkItem {
public:
    serve_routine(struct soap *ctx, gsoapws_service_entry entry) : m_soap(ctx), m_serviceEntry(entry)
    {
    }
    // Leaves the context alone: only Cleanup releases it.
    ~serve_routine() override
    {
        m_soap = nullptr;
        m_serviceEntry = nullptr;
    }

    void Run() override;
    bool IsAutoDelete() override { return true; }
    // Releases the context, which closes the connection.
    void Cleanup() override;

private:
    struct soap *m_soap;  // owned
    gsoapws_service_entry m_serviceEntry;
};

#endif
