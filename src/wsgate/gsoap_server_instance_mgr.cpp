#include "gsoap_server_instance_mgr.h"

#include "Log.h"
#include "gsoap_server_class.h"

#include <zep.h>
#include <zeplog.h>

#include <new>
#include <sstream>

gsoap_server_instance_mgr &gsoap_server_instance_mgr::instance()
{
    static gsoap_server_instance_mgr manager;
    return manager;
}

bool gsoap_server_instance_mgr::init()
{
    ScopedLock scopedLock(&m_mutex, false);
    if (m_initCount <= 0) {
        if (ZEP_Init() == -1)
            return false;
        zeplog_init("log4cxx.properties", 0);
        m_initCount = 1;
    } else {
        ++m_initCount;
    }
    LOG_PROGRESS("gsoap_server_instance_mgr::init: Success!");
    return true;
}

void gsoap_server_instance_mgr::fini()
{
    ScopedLock scopedLock(&m_mutex, false);
    if (m_initCount <= 0)
        return;
    if (--m_initCount > 0)
        return;
    LOG_PROGRESS("gsoap_serever_instance_mgr::fini");
    destroy_all_servers();
    ZEP_Fini();
    zeplog_fini();
}

void gsoap_server_instance_mgr::destroy_all_servers()
{
    ScopedLock scopedLock(&m_mutex, false);  // re-entered from fini
    for (auto itor = m_servers.begin(); itor != m_servers.end(); ++itor) {
        if (itor->second) {
            itor->second->stop();
            delete itor->second;
            itor->second = nullptr;
        }
    }
    m_servers.clear();
}

gsoap_server *gsoap_server_instance_mgr::get_server_instance(const char *ip, int port)
{
    if (!ip || port < 0 || port > 65535) {
        LOG_FAILURE("Get Server Instance Failed! ip or port is Error.");
        return nullptr;
    }
    std::ostringstream strm;
    strm << ip << ":" << port;
    const std::string ip_addr = strm.str();

    ScopedLock scopedLock(&m_mutex, false);
    gsoap_server *server;
    auto itor = m_servers.find(ip_addr);
    if (itor != m_servers.end()) {
        server = itor->second;
    } else {
        server = new (std::nothrow) gsoap_server(std::string(ip), port);
        if (!server)
            return nullptr;
        m_servers[ip_addr] = server;
    }
    LOG_PROGRESS("Get Server at ip:{0}, port:{1}", ip, port);
    return server;
}
