// Shared ownership for objects that several threads use at once. The count
// lives in a separate holder, so any type can be shared without a base class.
//
// Ownership: the holder owns the object; every non-empty ObjectPtrT owns one
// count of its holder. Adopt a plain pointer once; further handles must be
// copies, or two holders would both destroy the object.
#ifndef ZEPPLUS_OBJECTPTR_H
#define ZEPPLUS_OBJECTPTR_H

#include "zepplus/Contract.h"
#include "zepplus/Synclock.h"

#include <cstdint>
#include <new>

class RefObjectBase {
public:
    explicit RefObjectBase(void *obj) : _obj(obj), _refCount(0), _selfCount(1)
    {
        ZEP_CONTRACT(nullptr != _obj);
    }
    RefObjectBase(const RefObjectBase &) = delete;
    RefObjectBase &operator=(const RefObjectBase &) = delete;

    void AddRef() { AtomicInc(&_refCount); }

    // The thread that gives back the last count destroys the object, then
    // gives back the holder's own count.
    void Release()
    {
        if (AtomicDec(&_refCount) != 0)
            return;
        DeleteObject();
        _obj = nullptr;
        ReleaseSelf();
    }

    void ReleaseSelf()
    {
        if (AtomicDec(&_selfCount) != 0)
            return;
        ZEP_CONTRACT(nullptr == _obj);
        DeleteSelf();
    }

protected:
    virtual void DeleteObject() = 0;
    virtual void DeleteSelf() = 0;
    virtual ~RefObjectBase() { ZEP_CONTRACT(nullptr == _obj); }

    void *_obj;

private:
    int32_t _refCount;   // handles sharing this holder (atomic cell)
    int32_t _selfCount;  // 1 for the handles as a group (atomic cell)
};

template <typename T>
class RefObject : public RefObjectBase {
public:
    explicit RefObject(T *obj) : RefObjectBase(obj) {}

protected:
    void DeleteObject() override
    {
        if (_obj)
            delete static_cast<T *>(_obj);
    }
    void DeleteSelf() override { delete this; }
};

// A value-type handle. Different handles of one holder may be copied and
// destroyed on different threads at once; one handle object may not be
// written on one thread while another uses it.
template <typename T>
class ObjectPtrT {
public:
    ObjectPtrT() : _p(nullptr), _refObj(nullptr) {}
    ObjectPtrT(const ObjectPtrT &other) : _p(nullptr), _refObj(nullptr)
    {
        Assign(other._p, other._refObj);
    }
    ~ObjectPtrT()
    {
        if (_refObj)
            _refObj->Release();
    }

    ObjectPtrT &operator=(const ObjectPtrT &other)
    {
        Assign(other._p, other._refObj);
        return *this;
    }

    // Adopts p with a new holder; if the holder cannot be allocated the
    // handle ends up empty and p is not adopted (the caller still owns it).
    ObjectPtrT &operator=(T *p)
    {
        Assign(p, nullptr);
        return *this;
    }

    bool IsValid() const { return _p != nullptr; }

    // The handle must not be empty.
    T *operator->() const
    {
        ZEP_CONTRACT(nullptr != this->_p);
        return _p;
    }

private:
    // The new count is taken before the old one is given back, which makes
    // self-assignment safe.
    void Assign(T *p, RefObjectBase *newRefObj)
    {
        _p = p;
        if (!p) {
            newRefObj = nullptr;
        } else {
            if (!newRefObj) {
                newRefObj = new (std::nothrow) RefObject<T>(p);
                ZEP_CONTRACT(nullptr != newRefObj);
            }
            if (newRefObj)
                newRefObj->AddRef();
            else
                _p = nullptr;
        }
        RefObjectBase *old = _refObj;
        _refObj = newRefObj;
        if (old)
            old->Release();
    }

    T *_p;
    RefObjectBase *_refObj;
};

#endif
