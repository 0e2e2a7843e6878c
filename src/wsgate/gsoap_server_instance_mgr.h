// The process-wide registry of servers, keyed by "ip:port", and the counted
// start-up and shut-down of the runtime and the log library.
//
// m_mutex (re-entrant) is held for the whole of init, fini and
// get_server_instance; it comes before any lock a server takes. Nothing on
// the request path takes it.
#ifndef WSGATE_GSOAP_SERVER_INSTANCE_MGR_H
#define WSGATE_GSOAP_SERVER_INSTANCE_MGR_H

#include "zepplus/Synclock.h"

#include <map>
#include <string>

class gsoap_server;

class gsoap_server_instance_mgr {
public:
    // Created on first use; destroyed at unload without stopping servers.
    static gsoap_server_instance_mgr &instance();

    // Any thread. Starts the runtime and the log library on the first call;
    // false (count unchanged) when the runtime cannot start.
    bool init();
    // Any thread, never a pool worker. The call matching the first init stops
    // and deletes every server, blocking until their connections end.
    void fini();
    // Any thread. The one server for ip and port (0..65535), created on first
    // request; null for bad arguments or a failed allocation.
    gsoap_server *get_server_instance(const char *ip, int port);

private:
    gsoap_server_instance_mgr() : m_initCount(0) {}
    gsoap_server_instance_mgr(const gsoap_server_instance_mgr &) = delete;
    gsoap_server_instance_mgr &operator=(const gsoap_server_instance_mgr &) = delete;

    void destroy_all_servers();

    std::map<std::string, gsoap_server *> m_servers;  // owned servers; m_mutex
    ZEP_Mutex m_mutex;
    int m_initCount;  // m_mutex
};

#endif
