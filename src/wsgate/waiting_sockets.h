// The sockets of one server's connections that wait for a request head, or
// are reading one: what a stop shuts down at once. A connection inside a
// service's entry function is not among them; its call finishes.
//
// Lock: m_lock guards the list and every write of m_stopping. It is held only
// to link, to unlink, or for the stop's pass over the list, and nothing is
// taken under it.
#ifndef WSGATE_WAITING_SOCKETS_H
#define WSGATE_WAITING_SOCKETS_H

#include "zepplus/Synclock.h"

#include <atomic>

class waiting_sockets {
public:
    // One connection's wait for a request head, on the stack of the routine
    // that owns the socket: in the set from construction until leave or
    // destruction, unless the set was stopping already.
    class wait {
    public:
        wait(waiting_sockets &set, int sock);
        ~wait() { leave(); }
        wait(const wait &) = delete;
        wait &operator=(const wait &) = delete;

        // False when the server was stopping: close the connection unread.
        bool joined() const { return m_joined; }
        // Out of the set. False when a stop has shut the socket down meanwhile,
        // or it never joined: whatever was read is not to be served.
        bool leave();

    private:
        friend class waiting_sockets;  // walks the list

        waiting_sockets &m_set;  // not owned
        const int m_sock;        // not owned: the routine closes it
        bool m_joined;           // owner's thread only
        wait *m_prev;            // m_set.m_lock
        wait *m_next;            // m_set.m_lock
    };

    waiting_sockets() : m_first(nullptr), m_stopping(false) {}
    waiting_sockets(const waiting_sockets &) = delete;
    waiting_sockets &operator=(const waiting_sockets &) = delete;

    // Owning server's start: connections may wait again.
    void open();
    // Owning server's stop: refuses every later wait and shuts down the
    // sockets waiting now, which wakes their owners. Blocks on nothing but
    // the lock; a second call is harmless.
    void shut_down();
    // Any thread, no lock: true from shut_down until the next open.
    bool stopping() const { return m_stopping.load(std::memory_order_relaxed); }

private:
    ZEP_Mutex m_lock;
    wait *m_first;                 // m_lock
    std::atomic<bool> m_stopping;  // written under m_lock
};

#endif
