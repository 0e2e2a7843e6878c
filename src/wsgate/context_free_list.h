// Connection contexts of one server, kept when their connection ends for the
// next connections, so that a connection does not cost a soap_copy of the
// 164 KB template and a soap_free. A kept context is reset to the template's
// settings when it comes back: it carries nothing of its last connection.
#ifndef WSGATE_CONTEXT_FREE_LIST_H
#define WSGATE_CONTEXT_FREE_LIST_H

#include "zepplus/Synclock.h"

struct soap;

class context_free_list {
public:
    // Enough for the connections that end and begin at about the same time
    // on a busy server; beyond that a context is released as before.
    static const int kCapacity = 16;

    context_free_list();
    // Releases what is kept: clear has normally done it already.
    ~context_free_list();
    context_free_list(const context_free_list &) = delete;
    context_free_list &operator=(const context_free_list &) = delete;

    // Any thread. A context for a new connection, as a soap_copy of tmpl
    // would make it (no socket attached): a kept one, else a new copy. Null
    // when the copy fails. Give it back or release it.
    struct soap *take(const struct soap *tmpl);
    // Any thread, while tmpl lives. Ends ctx's connection (closes its
    // socket, frees its requests' data), then keeps ctx, reset to tmpl, or
    // releases it when the list is full or ctx holds what no reset undoes
    // (a plug-in tmpl has not, cookies).
    void give_back(struct soap *ctx, const struct soap *tmpl);
    // Releases every kept context. Any thread; call once no routine is left
    // that could give one back (the server's stop, after its pools).
    void clear();

private:
    bool keep(struct soap *ctx);
    struct soap *pop();

    ZEP_Mutex m_lock;                // guards m_kept and m_count, nothing else; held for a push or a pop only
    struct soap *m_kept[kCapacity];  // owned, reset to the template when pushed
    int m_count;
};

#endif
