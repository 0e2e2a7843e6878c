#include "ServiceMap.h"

#include "Log.h"

#include <new>

namespace {

// Only ASCII A-Z fold; every other byte, those above 127 included, stays.
std::string MakeKey(const char *uri)
{
    std::string key(uri);
    for (char &c : key) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return key;
}

// Adopts obj into handle; when no holder can be allocated the handle stays
// empty and obj, still ours, is freed.
template <typename T>
void Adopt(ObjectPtrT<T> &handle, T *obj)
{
    handle = obj;
    if (obj && !handle.IsValid())
        delete obj;
}

// A copy of the key's entry, made while the table's lock is held (for a
// handle, that copy takes its reference); empty when the key is absent.
template <typename Value>
Value CopyEntry(const std::map<std::string, Value> &table, ZEP_Mutex &lock, const std::string &key)
{
    ScopedLock scopedLock(&lock, false);
    auto itor = table.find(key);
    return itor != table.end() ? itor->second : Value();
}

}  // namespace

bool ServiceMap::AddService(const char *uri, gsoapws_service_entry entry, const char *wsdl_path,
                            bool use_pool, int pool_size)
{
    if (!uri || !entry || !wsdl_path) {
        LOG_FAILURE("Add Service Failed! uri or entry is NULL!");
        return false;
    }
    const std::string key = MakeKey(uri);
    const std::string wsdl(wsdl_path);

    bool stored;
    {
        ScopedLock scopedLock(&m_servicesLock, false);
        ObjectPtrT<ServiceInfo> &slot = m_services[key];
        if (slot.IsValid())
            slot->Retire();
        Adopt(slot, new (std::nothrow) ServiceInfo(entry));
        stored = slot.IsValid();
    }
    if (!stored) {
        RemoveService(uri);
        return false;
    }
    {
        ScopedLock scopedLock(&m_wsdlLock, false);
        m_wsdlPaths[key] = wsdl;
    }
    if (use_pool && pool_size > 0) {
        bool ready;
        {
            ScopedLock scopedLock(&m_poolsLock, false);
            ObjectPtrT<ThreadPoolInfo> &slot = m_pools[key];
            if (slot.IsValid())
                slot->Stop();
            Adopt(slot, new (std::nothrow) ThreadPoolInfo(pool_size));
            ready = slot.IsValid() && (!m_poolsStarted || slot->Start());
        }
        if (!ready) {
            RemoveService(uri);
            return false;
        }
    }
    LOG_PROGRESS("Add Service Successed for uri = {0}", uri);
    return true;
}

void ServiceMap::RemoveService(const char *uri)
{
    if (!uri) {
        LOG_FAILURE("RemoveService Failed! uri is NULL");
        return;
    }
    const std::string key = MakeKey(uri);
    {
        ScopedLock scopedLock(&m_servicesLock, false);
        auto itor = m_services.find(key);
        if (itor != m_services.end()) {
            if (itor->second.IsValid())
                itor->second->Retire();
            m_services.erase(itor);
        }
    }
    {
        ScopedLock scopedLock(&m_wsdlLock, false);
        m_wsdlPaths.erase(key);
    }
    ScopedLock scopedLock(&m_poolsLock, false);
    auto itor = m_pools.find(key);
    if (itor == m_pools.end())
        return;
    if (itor->second.IsValid())
        itor->second->Stop();
    m_pools.erase(itor);
}

ObjectPtrT<ServiceInfo> ServiceMap::GetService(const char *uri)
{
    if (!uri) {
        LOG_FAILURE("GetService is Failed! uri is NULL");
        return ObjectPtrT<ServiceInfo>();
    }
    return CopyEntry(m_services, m_servicesLock, MakeKey(uri));
}

ObjectPtrT<ThreadPoolInfo> ServiceMap::GetServiceThreadPool(const char *uri)
{
    if (!uri) {
        LOG_FAILURE("GetService is Failed! uri is NULL");
        return ObjectPtrT<ThreadPoolInfo>();
    }
    return CopyEntry(m_pools, m_poolsLock, MakeKey(uri));
}

std::string ServiceMap::GetServiceWsdl(const char *uri)
{
    return uri ? CopyEntry(m_wsdlPaths, m_wsdlLock, MakeKey(uri)) : std::string();
}

void ServiceMap::StartAllThreadPools()
{
    ScopedLock scopedLock(&m_poolsLock, false);
    for (auto &entry : m_pools) {
        if (entry.second.IsValid())
            entry.second->Start();
    }
    m_sharedPool.Start();
    m_poolsStarted = true;
}

void ServiceMap::StopAllThreadPools()
{
    ScopedLock scopedLock(&m_poolsLock, false);
    m_poolsStarted = false;
    for (auto &entry : m_pools) {
        if (entry.second.IsValid())
            entry.second->Stop();
    }
    m_sharedPool.Stop();
}
