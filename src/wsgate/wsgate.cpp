// The seven exported functions: null-handle checks and forwarding only.
#include "wsgate/wsgate.h"

#include "Log.h"
#include "gsoap_server_class.h"
#include "gsoap_server_instance_mgr.h"

#include <new>

namespace {

// Nothing may escape into the host: an allocation failure inside a standard
// container becomes the call's ordinary failure result.
template <typename Result, typename Call>
Result guarded(Result onFailure, Call call)
{
    try {
        return call();
    } catch (const std::bad_alloc &) {
        return onFailure;
    }
}

template <typename Call>
void guarded(Call call)
{
    try {
        call();
    } catch (const std::bad_alloc &) {
    }
}

gsoap_server *as_server(void *handle)
{
    return static_cast<gsoap_server *>(handle);
}

}  // namespace

extern "C" {

GSOAPWS_API gsoapws_bool GSOAPWS_CALL gsoapws_init(void)
{
    return guarded(false, [] { return gsoap_server_instance_mgr::instance().init(); });
}

GSOAPWS_API void GSOAPWS_CALL gsoapws_fini(void)
{
    guarded([] { gsoap_server_instance_mgr::instance().fini(); });
}

GSOAPWS_API void *GSOAPWS_CALL gsoapws_create(const char *ip, int port)
{
    LOG_PROGRESS("gsoap try to create a server at ip:{0}, port:{1}", ip, port);
    return guarded<void *>(nullptr, [&] {
        return gsoap_server_instance_mgr::instance().get_server_instance(ip, port);
    });
}

GSOAPWS_API gsoapws_bool GSOAPWS_CALL gsoapws_start(void *server, gsoap_start_server_param *param)
{
    return server && guarded(false, [&] { return as_server(server)->start(param); });
}

GSOAPWS_API void GSOAPWS_CALL gsoapws_stop(void *server)
{
    if (server)
        guarded([&] { as_server(server)->stop(); });
}

GSOAPWS_API gsoapws_bool GSOAPWS_CALL gsoapws_add_service(void *server, const char *uri,
                                                          gsoapws_service_entry entry,
                                                          const char *wsdl_path, gsoapws_bool use_pool,
                                                          int pool_size)
{
    return server && guarded(false, [&] {
               return as_server(server)->register_service(uri, entry, wsdl_path, use_pool, pool_size);
           });
}

GSOAPWS_API void GSOAPWS_CALL gsoapws_delete_service(void *server, const char *uri)
{
    if (server)
        guarded([&] { as_server(server)->unregister_service(uri); });
}

}  // extern "C"
