// Owning holders for what COM hands out. reset() clears the field before it releases the old
// value, so releasing twice, or destroying after a release, does nothing more. Interfaces are
// asked for by their type: the IID comes from the holder, so the two cannot disagree.
#pragma once

#include "../platform.h"

namespace tarvel {

// The IID of an interface type. Only the interfaces the project asks for by type are named.
template <class I>
const IID& iidOf();

#define TARVEL_IID_OF(I)           \
    template <>                    \
    inline const IID& iidOf<I>() { \
        return IID_##I;            \
    }

TARVEL_IID_OF(IUnknown)
TARVEL_IID_OF(IAccessor)
TARVEL_IID_OF(IChapteredRowset)
TARVEL_IID_OF(IColumnsInfo)
TARVEL_IID_OF(ICommand)
TARVEL_IID_OF(ICommandText)
TARVEL_IID_OF(IDBCreateCommand)
TARVEL_IID_OF(IDBCreateSession)
TARVEL_IID_OF(IDBInitialize)
TARVEL_IID_OF(IDataInitialize)
TARVEL_IID_OF(IOpenRowset)
TARVEL_IID_OF(IRowset)
TARVEL_IID_OF(IRowsetChange)
TARVEL_IID_OF(IRowsetInfo)
TARVEL_IID_OF(ISearchManager)
TARVEL_IID_OF(ISearchCatalogManager)
TARVEL_IID_OF(ISearchCrawlScopeManager)
TARVEL_IID_OF(ISearchQueryHelper)

#undef TARVEL_IID_OF

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T* adopted) : ptr_(adopted) {}
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : ptr_(other.detach()) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            ptr_ = other.detach();
        }
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }

    void reset() {
        if (T* old = ptr_) {
            ptr_ = nullptr;
            old->Release();
        }
    }
    T* detach() {
        T* held = ptr_;
        ptr_ = nullptr;
        return held;
    }

    // Out-parameter access: whatever was held is released first. iid() is the IID that goes
    // with putUnknown() in calls that take the two apart.
    T** put() {
        reset();
        return &ptr_;
    }
    IUnknown** putUnknown() { return reinterpret_cast<IUnknown**>(put()); }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    static const IID& iid() { return iidOf<T>(); }

    // QueryInterface for the type of out.
    template <class I>
    HRESULT query(ComPtr<I>& out) const {
        return ptr_->QueryInterface(ComPtr<I>::iid(), out.putVoid());
    }

private:
    T* ptr_ = nullptr;
};

// QueryInterface of object for the type of out.
template <class I>
HRESULT query(IUnknown* object, ComPtr<I>& out) {
    return object->QueryInterface(ComPtr<I>::iid(), out.putVoid());
}

// CoCreateInstance for the type of out.
template <class I>
HRESULT createInstance(REFCLSID clsid, DWORD context, ComPtr<I>& out) {
    return CoCreateInstance(clsid, nullptr, context, ComPtr<I>::iid(), out.putVoid());
}

// A block from the COM task allocator, freed with CoTaskMemFree.
template <class T>
class TaskMemPtr {
public:
    TaskMemPtr() = default;
    TaskMemPtr(const TaskMemPtr&) = delete;
    TaskMemPtr& operator=(const TaskMemPtr&) = delete;
    ~TaskMemPtr() { reset(); }

    T* get() const { return ptr_; }
    T& operator[](size_t index) const { return ptr_[index]; }
    explicit operator bool() const { return ptr_ != nullptr; }
    void reset() {
        if (T* old = ptr_) {
            ptr_ = nullptr;
            CoTaskMemFree(old);
        }
    }
    T** put() {
        reset();
        return &ptr_;
    }

private:
    T* ptr_ = nullptr;
};

// The property sets a GetProperties call hands over: each set's properties, each value cleared
// first, then the array of sets.
class PropertySets {
public:
    PropertySets() = default;
    PropertySets(const PropertySets&) = delete;
    PropertySets& operator=(const PropertySets&) = delete;
    ~PropertySets() { reset(); }

    ULONG count() const { return count_; }
    const DBPROPSET& operator[](ULONG index) const { return sets_[index]; }
    explicit operator bool() const { return sets_ != nullptr; }

    void reset() {
        DBPROPSET* sets = sets_;
        const ULONG count = count_;
        sets_ = nullptr;
        count_ = 0;
        for (ULONG i = 0; sets != nullptr && i < count; ++i) {
            DBPROP* properties = sets[i].rgProperties;
            sets[i].rgProperties = nullptr;
            for (ULONG k = 0; properties != nullptr && k < sets[i].cProperties; ++k) {
                VariantClear(&properties[k].vValue);
            }
            CoTaskMemFree(properties);
        }
        CoTaskMemFree(sets);
    }
    // The two out-parameters of GetProperties; either empties the holder first.
    ULONG* putCount() {
        reset();
        return &count_;
    }
    DBPROPSET** putSets() {
        reset();
        return &sets_;
    }

private:
    DBPROPSET* sets_ = nullptr;
    ULONG count_ = 0;
};

}  // namespace tarvel
