// The services registered on one server, keyed by URI path lower-cased over
// ASCII A-Z, with their WSDL paths, dedicated pools and the shared pool.
//
// Locks: m_servicesLock, m_poolsLock and m_wsdlLock each guard their own
// table and are never held two at once. m_poolsLock is also held while pools
// (the shared one included) start and stop, so a drain there makes every
// GetServiceThreadPool on this server wait.
#ifndef WSGATE_SERVICEMAP_H
#define WSGATE_SERVICEMAP_H

#include "wsgate/wsgate.h"
#include "zepplus/ObjectPtr.h"
#include "zepplus/Synclock.h"
#include "zepplus/ThreadPool.h"

#include <map>
#include <string>

class ServiceInfo {
public:
    explicit ServiceInfo(gsoapws_service_entry entry) : m_entry(entry), m_retired(0) {}
    ~ServiceInfo() { m_entry = nullptr; }

    gsoapws_service_entry GetEntry() const { return m_entry; }
    // Set when the registration is removed or replaced. A kept-alive
    // connection that this service serves reads it before each request, so
    // that the request goes to the current registration, or nowhere.
    void Retire() { AtomicSet(&m_retired, 1); }
    bool IsRetired() { return AtomicGet(&m_retired) != 0; }

private:
    gsoapws_service_entry m_entry;
    volatile int32_t m_retired;  // atomic functions only
};

// A pool with the number of workers it is started with. Destruction does
// not stop workers: Stop a started pool before it goes away.
class ThreadPoolInfo {
public:
    explicit ThreadPoolInfo(int threadCount) : m_threadCount(threadCount) {}
    ThreadPoolInfo(const ThreadPoolInfo &) = delete;
    ThreadPoolInfo &operator=(const ThreadPoolInfo &) = delete;

    // True when the workers are running (or already were).
    bool Start() { return m_pool.Create(m_threadCount, ThreadPool::kQueueBound) == 0; }
    // Drains and destroys; never from one of this pool's workers.
    void Stop()
    {
        m_pool.Drain();
        m_pool.Destroy();
    }
    int Work(ThreadPool::IWorkItem *item) { return m_pool.Work(item); }

private:
    ThreadPool m_pool;
    int m_threadCount;
};

class ServiceMap {
public:
    // Workers of the pool that serves every service without one of its own.
    static const int kSharedPoolSize = 10;

    ServiceMap() : m_poolsStarted(false), m_sharedPool(kSharedPoolSize) {}
    // Stops nothing: the owning server stops every pool first.
    ~ServiceMap() = default;
    ServiceMap(const ServiceMap &) = delete;
    ServiceMap &operator=(const ServiceMap &) = delete;

    // Any thread, also while the pools start or stop. Registers or replaces
    // the service under uri. With use_pool and pool_size > 0 an earlier
    // dedicated pool is stopped and replaced; the new one starts at once
    // between StartAllThreadPools and StopAllThreadPools, and otherwise with
    // the next StartAllThreadPools. A failure leaves nothing registered under
    // the key, not even an earlier registration.
    bool AddService(const char *uri, gsoapws_service_entry entry, const char *wsdl_path,
                    bool use_pool, int pool_size);
    // Any thread but a worker of the service's own pool (it is drained here).
    void RemoveService(const char *uri);

    // Any thread; the handles keep their objects alive after removal.
    ObjectPtrT<ServiceInfo> GetService(const char *uri);
    ObjectPtrT<ThreadPoolInfo> GetServiceThreadPool(const char *uri);
    // Empty when nothing is registered (or uri is null).
    std::string GetServiceWsdl(const char *uri);
    // No lock: the shared pool is a fixed member guarding its own state.
    ThreadPoolInfo *GetSharedThreadPool() { return &m_sharedPool; }

    // Owning server's start and stop only. Pools that fail to start stay
    // stopped; their requests are refused at dispatch. Once StopAllThreadPools
    // has run, no pool starts until StartAllThreadPools: the owner may delete
    // the map without draining anything.
    void StartAllThreadPools();
    void StopAllThreadPools();

private:
    std::map<std::string, ObjectPtrT<ServiceInfo>> m_services;  // m_servicesLock
    ZEP_Mutex m_servicesLock;
    std::map<std::string, ObjectPtrT<ThreadPoolInfo>> m_pools;  // m_poolsLock
    // Between StartAllThreadPools and StopAllThreadPools; read by AddService
    // under the same lock, so no registration starts a pool after the stop.
    bool m_poolsStarted;                                        // m_poolsLock
    ZEP_Mutex m_poolsLock;
    std::map<std::string, std::string> m_wsdlPaths;             // m_wsdlLock
    ZEP_Mutex m_wsdlLock;
    ThreadPoolInfo m_sharedPool;
};

#endif
