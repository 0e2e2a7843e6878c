/* wsgate: publish gSOAP services over HTTP from any host process.
 *
 * Call order: gsoapws_init once; gsoapws_create per address; gsoapws_add_service
 * per service; gsoapws_start; later gsoapws_stop; gsoapws_fini once per
 * successful gsoapws_init. The last gsoapws_fini stops and deletes every
 * server; handles dangle from then on. */
#ifndef WSGATE_H
#define WSGATE_H

#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(_WIN32) && !defined(_WIN64)
#define GSOAPWS_CALL __stdcall
#else
#define GSOAPWS_CALL
#endif

#if defined(_WIN32)
#ifdef WSGATE_BUILDING
/* The library's .def file names the exports and their ordinals. */
#define GSOAPWS_API
#else
#define GSOAPWS_API __declspec(dllimport)
#endif
#else
#define GSOAPWS_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

struct soap;

/* One-byte boolean on every platform this header supports. */
typedef bool gsoapws_bool;

/* Handles one received request on the context it is given, as a
 * soapcpp2-generated dispatcher does. -1 from the first call of a
 * connection ends that connection. */
typedef int(GSOAPWS_CALL *gsoapws_service_entry)(struct soap *);

/* Five signed 32-bit integers, nothing between them. A null pointer in
 * gsoapws_start selects 100, 60, 60, 10, 100. */
typedef struct gsoap_start_server_param {
    int backlog;        /* listen backlog */
    int send_timeout;   /* seconds if > 0, microseconds if < 0, none if 0 */
    int recv_timeout;   /* as send_timeout */
    int thread_num;     /* connection workers; the pool has thread_num + 1 */
    int max_keep_alive; /* requests per connection; 0 is unlimited */
} gsoap_start_server_param;

/* Counted start-up; false when the runtime cannot start. */
GSOAPWS_API gsoapws_bool GSOAPWS_CALL gsoapws_init(void);
/* Counted shut-down; the last one stops and deletes every server, as
 * gsoapws_stop does. Never call from a service entry. */
GSOAPWS_API void GSOAPWS_CALL gsoapws_fini(void);
/* The one server for this address text and port (0..65535), created on
 * first request; null for a null ip or a port out of range. */
GSOAPWS_API void *GSOAPWS_CALL gsoapws_create(const char *ip, int port);
/* Binds and starts serving; true at once if already started. Not
 * concurrently with gsoapws_stop on the same handle. */
GSOAPWS_API gsoapws_bool GSOAPWS_CALL gsoapws_start(void *server, gsoap_start_server_param *param);
/* Closes the listening socket and every connection not inside a service
 * entry at once, then blocks until the calls in progress are answered (with
 * "Connection: close"). Harmless on a stopped server. */
GSOAPWS_API void GSOAPWS_CALL gsoapws_stop(void *server);
/* Registers (or replaces) the service for uri, compared case-insensitively.
 * Every request whose path is uri goes to it, on a new connection or on one
 * kept alive by another service. use_pool with pool_size > 0 gives the
 * service workers of its own (an earlier pool of uri's is drained and
 * replaced); otherwise the service keeps the pool an earlier registration of
 * uri gave it, if any, or runs on the server's shared pool of 10. Any
 * thread, also while gsoapws_stop runs: a pool registered once the stop has
 * begun starts with the next gsoapws_start, never behind the stop's back. */
GSOAPWS_API gsoapws_bool GSOAPWS_CALL gsoapws_add_service(void *server, const char *uri,
                                                          gsoapws_service_entry entry,
                                                          const char *wsdl_path, gsoapws_bool use_pool,
                                                          int pool_size);
/* Removes the service; waits for its own pool, if any, to drain. The next
 * request of a kept-alive connection it was serving finds no service and
 * closes the connection unanswered. */
GSOAPWS_API void GSOAPWS_CALL gsoapws_delete_service(void *server, const char *uri);

#ifdef __cplusplus
}
#endif

#endif
