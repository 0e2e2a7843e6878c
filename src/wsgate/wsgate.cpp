// The seven exported functions: null-handle checks and forwarding only.
// Nothing may escape across this boundary, so an allocation failure inside
// the standard containers becomes an ordinary failure result here.
#include "wsgate/wsgate.h"

#include "Log.h"
#include "gsoap_server_class.h"
#include "gsoap_server_instance_mgr.h"

#include <new>

extern "C" {

GSOAPWS_API gsoapws_bool GSOAPWS_CALL gsoapws_init(void)
{
    try {
        return gsoap_server_instance_mgr::instance().init();
    } catch (const std::bad_alloc &) {
        return false;
    }
}

GSOAPWS_API void GSOAPWS_CALL gsoapws_fini(void)
{
    try {
        gsoap_server_instance_mgr::instance().fini();
    } catch (const std::bad_alloc &) {
    }
}

GSOAPWS_API void *GSOAPWS_CALL gsoapws_create(const char *ip, int port)
{
    LOG_PROGRESS("gsoap try to create a server at ip:{0}, port:{1}", ip, port);
    try {
        return gsoap_server_instance_mgr::instance().get_server_instance(ip, port);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

GSOAPWS_API gsoapws_bool GSOAPWS_CALL gsoapws_start(void *server, gsoap_start_server_param *param)
{
    if (!server)
        return false;
    try {
        return static_cast<gsoap_server *>(server)->start(param);
    } catch (const std::bad_alloc &) {
        return false;
    }
}

GSOAPWS_API void GSOAPWS_CALL gsoapws_stop(void *server)
{
    if (server)
        static_cast<gsoap_server *>(server)->stop();
}

GSOAPWS_API gsoapws_bool GSOAPWS_CALL gsoapws_add_service(void *server, const char *uri,
                                                          gsoapws_service_entry entry,
                                                          const char *wsdl_path, gsoapws_bool use_pool,
                                                          int pool_size)
{
    if (!server)
        return false;
    try {
        return static_cast<gsoap_server *>(server)->register_service(uri, entry, wsdl_path, use_pool,
                                                                     pool_size);
    } catch (const std::bad_alloc &) {
        return false;
    }
}

GSOAPWS_API void GSOAPWS_CALL gsoapws_delete_service(void *server, const char *uri)
{
    if (!server)
        return;
    try {
        static_cast<gsoap_server *>(server)->unregister_service(uri);
    } catch (const std::bad_alloc &) {
    }
}

}  // extern "C"
