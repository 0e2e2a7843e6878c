#include "waiting_sockets.h"

#include "soap_context.h"

waiting_sockets::wait::wait(waiting_sockets &set, int sock)
    : m_set(set), m_sock(sock), m_joined(false), m_prev(nullptr), m_next(nullptr)
{
    ScopedLock scopedLock(&m_set.m_lock, false);
    if (m_set.m_stopping)
        return;
    m_next = m_set.m_first;
    if (m_next)
        m_next->m_prev = this;
    m_set.m_first = this;
    m_joined = true;
}

bool waiting_sockets::wait::leave()
{
    if (!m_joined)
        return false;
    m_joined = false;
    ScopedLock scopedLock(&m_set.m_lock, false);
    if (m_prev)
        m_prev->m_next = m_next;
    else
        m_set.m_first = m_next;
    if (m_next)
        m_next->m_prev = m_prev;
    // shut_down sets the flag and shuts down every member in one hold of
    // the lock: a member that sees it set has had its socket shut down.
    return !m_set.m_stopping;
}

void waiting_sockets::open()
{
    ScopedLock scopedLock(&m_lock, false);
    m_stopping = false;
}

void waiting_sockets::shut_down()
{
    ScopedLock scopedLock(&m_lock, false);
    m_stopping = true;
    // Shut down, not closed: the owner may still be inside a receive on the
    // descriptor, and closes it itself once it has left the set.
    for (wait *member = m_first; member; member = member->m_next)
        shutdown_socket_portable(member->m_sock);
}
