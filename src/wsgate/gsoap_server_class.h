// One SOAP server for one address text and port: the listening gSOAP master
// context, the template every connection context is copied from, the
// connection pool (accept loop plus connection workers) and the services.
//
// Created and deleted only by gsoap_server_instance_mgr, which always stops
// a server before deleting it. start and stop are not guarded against each
// other: the host calls them for one server from one thread at a time.
#ifndef WSGATE_GSOAP_SERVER_CLASS_H
#define WSGATE_GSOAP_SERVER_CLASS_H

#include "ServiceMap.h"
#include "context_free_list.h"
#include "waiting_sockets.h"
#include "wsgate/wsgate.h"
#include "zepplus/ThreadPool.h"

#include <stdsoap2.h>

#include <atomic>
#include <string>

struct keep_alive_count;

class gsoap_server {
public:
    gsoap_server(const std::string &ip, int port);
    // Releases nothing: stop has done that already.
    ~gsoap_server();
    gsoap_server(const gsoap_server &) = delete;
    gsoap_server &operator=(const gsoap_server &) = delete;

    // Host thread. Binds and starts serving; true at once when already
    // started. A null param selects the defaults. On false nothing is held.
    bool start(gsoap_start_server_param *param);
    // Host thread, never a pool worker. Closes the listening socket and every
    // connection not inside a service's entry function, then drains every
    // pool: blocks until the calls in progress are answered, with
    // "Connection: close". Harmless on a stopped server.
    void stop();
    // Any thread, also while start or stop runs. A pool asked for while
    // started is started at once; one asked for once stop has begun stopping
    // the pools waits for the next start, so stop never leaves one running.
    bool register_service(const char *uri, gsoapws_service_entry entry, const char *wsdl_path,
                          bool use_pool, int pool_size);
    // Any thread but a worker of the service's own pool.
    void unregister_service(const char *uri);

    // Connection pool. Receives the first request head on ctx and queues its
    // service. 0: a queued serve_routine owns ctx. -1: the caller releases it.
    int dispatch_request(struct soap *ctx);
    // Connection pool. Queues the service registered for the request whose
    // head ctx has received, on its own pool or the shared one, the
    // connection standing at count. A path without a service is closed
    // unanswered. 0: a queued serve_routine owns ctx. -1: the caller releases it.
    int dispatch_received(struct soap *ctx, const keep_alive_count &count);
    // A serve_routine, for a later request on another path: queues its
    // dispatch on the connection pool. 0: the pool owns ctx. -1: the caller
    // still does.
    int hand_over(struct soap *ctx, const keep_alive_count &count);
    // Any worker, while started or being stopped. A context for a new
    // connection, as a copy of the template; null on failure.
    struct soap *new_connection_context();
    // Any worker, while started or being stopped. Ends ctx's connection and
    // releases ctx or keeps it for a later connection.
    void end_connection(struct soap *ctx);

private:
    friend class accept_routine;
    friend class response_routine;
    friend class serve_routine;
    friend int wsdl_get_handler(struct soap *ctx);

    void release_listening_socket();
    // Every connection's fresponse: gSOAP's own, with keep-alive withdrawn
    // once the server is stopping.
    static int send_response_head(struct soap *ctx, int status, ULONG64 count);

    const std::string m_ip;
    const int m_port;
    struct soap *m_masterSoap;    // owned; null while stopped
    struct soap *m_templateSoap;  // owned; null while stopped
    ServiceMap m_serviceMap;
    // Written by start and stop only; read without a lock by the routines.
    // Cleared before the listening socket closes, so the accept loop can
    // tell a stop from an accept error.
    std::atomic<bool> m_started;
    ThreadPool m_threadPool;  // the connection pool
    int m_listenSock;         // -1 when there is none
    waiting_sockets m_waiting;  // connections between requests
    // gSOAP's response head writer; written by start only.
    int (*m_gsoapResponse)(struct soap *ctx, int status, ULONG64 count);
    context_free_list m_contexts;  // emptied by stop, once no routine is left
};

#endif
