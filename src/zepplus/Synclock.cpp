#include "zepplus/Synclock.h"

#include "zepplus/Contract.h"

ZEP_Mutex::ZEP_Mutex()
{
    int rlt = ZEP_MutexCreate(&_record, 0);
    ZEP_CONTRACT(ZEP_OK == rlt);
    (void)rlt;
}

ZEP_Mutex::~ZEP_Mutex()
{
    int rlt = ZEP_MutexDestroy(&_record);
    ZEP_CONTRACT(ZEP_OK == rlt);
    (void)rlt;
}

void ZEP_Mutex::Lock()
{
    int rlt = ZEP_MutexLock(&_record);
    ZEP_CONTRACT(ZEP_OK == rlt);
    (void)rlt;
}

bool ZEP_Mutex::TryLock()
{
    return ZEP_MutexTryLock(&_record) == ZEP_OK;
}

void ZEP_Mutex::Unlock()
{
    int rlt = ZEP_MutexUnlock(&_record);
    ZEP_CONTRACT(ZEP_OK == rlt);
    (void)rlt;
}

ZEP_Mutex &ZEP_Mutex::operator=(const ZEP_Mutex &other)
{
    _record = other._record;
    return *this;
}

ZEP_Sema::ZEP_Sema(int initialCount) : _record(nullptr)
{
    if (ZEP_SemCreate(&_record, initialCount) != ZEP_OK)
        _record = nullptr;
}

ZEP_Sema::~ZEP_Sema()
{
    ZEP_SemDestroy(&_record);
}

ZEP_Sema &ZEP_Sema::operator=(const ZEP_Sema &other)
{
    _record = other._record;
    return *this;
}

void ZEP_Sema::Post()
{
    ZEP_SemPost(&_record);
}

void ZEP_Sema::Wait()
{
    ZEP_SemWait(&_record);
}

ScopedLock::ScopedLock(ZEP_Mutex *mutex, bool tryLock) : _mutex(mutex), _locked(false)
{
    if (tryLock) {
        _locked = _mutex->TryLock();
    } else {
        _mutex->Lock();
        _locked = true;
    }
}

ScopedLock::~ScopedLock()
{
    if (_locked) {
        _mutex->Unlock();
        _locked = false;
    }
}
