// The few gSOAP context chores shared by the server and its routines.
#ifndef WSGATE_SOAP_CONTEXT_H
#define WSGATE_SOAP_CONTEXT_H

struct soap;

// soap_delete (every instance), soap_end, soap_free: the one way a context
// is released. A connection context's socket is closed by gSOAP on the way.
void release_context(struct soap *ctx);

// Readies a context that holds no request's data (soap_end has just cleared
// it, or it is a fresh copy) for soap_begin_recv, in place of soap_begin:
// soap_begin would clear the temporary data again (the bulk of a kept-alive
// request's cost), and everything else it resets but two fields
// soap_begin_recv resets itself (error, modes, buffers unless kept alive,
// parser state).
void begin_cleared(struct soap *ctx);

// For the master and the template only: forget the listening descriptor
// (closed by the server itself) and any accepted one, then release. Without
// this gSOAP would close both numbers again, possibly someone else's by then.
void release_listening_context(struct soap *ctx);

// The socket chores that differ between systems, in soap_socket_<system>.cpp.

// The Windows closesocket of a listening or accepted socket: it wakes a
// thread blocked in accept() on it.
void closesocket_portable(int sock);

// Wakes any thread blocked on sock, which then sees the connection end, and
// leaves the descriptor open for its owner to close.
void shutdown_socket_portable(int sock);

// Flags for every send of a context: a client gone before its response must
// not raise SIGPIPE and kill the host where the system has that signal.
extern const int kSendFlags;

#endif
