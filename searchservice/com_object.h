// The base of every stand-in COM object. Each interface an object offers is a facet of its own
// with its own IUnknown entries, which reach the object with the facet's IID: a class derived
// from a stand-in may tell "IRowset::Release" from "IRowsetChange::Release" on the same object.
// One reference count serves all facets.
#pragma once

#include <atomic>
#include <utility>
#include <vector>

#include "com_text.h"

namespace tarvel::service {

template <class I>
struct InterfaceTraits;

#define TARVEL_INTERFACE_TRAITS(I)                  \
    template <>                                     \
    struct InterfaceTraits<I> {                     \
        static const IID& iid() { return IID_##I; } \
    }

TARVEL_INTERFACE_TRAITS(IClassFactory);
TARVEL_INTERFACE_TRAITS(ISequentialStream);
TARVEL_INTERFACE_TRAITS(IAccessor);
TARVEL_INTERFACE_TRAITS(IRowset);
TARVEL_INTERFACE_TRAITS(IRowsetInfo);
TARVEL_INTERFACE_TRAITS(IChapteredRowset);
TARVEL_INTERFACE_TRAITS(IColumnsInfo);
TARVEL_INTERFACE_TRAITS(IRowsetChange);
TARVEL_INTERFACE_TRAITS(ICommand);
TARVEL_INTERFACE_TRAITS(ICommandText);
TARVEL_INTERFACE_TRAITS(IDBCreateCommand);
TARVEL_INTERFACE_TRAITS(IDBCreateSession);
TARVEL_INTERFACE_TRAITS(IOpenRowset);
TARVEL_INTERFACE_TRAITS(IDBInitialize);
TARVEL_INTERFACE_TRAITS(IDBProperties);
TARVEL_INTERFACE_TRAITS(IDataInitialize);
TARVEL_INTERFACE_TRAITS(ISearchManager);
TARVEL_INTERFACE_TRAITS(ISearchCatalogManager);
TARVEL_INTERFACE_TRAITS(ISearchCrawlScopeManager);
TARVEL_INTERFACE_TRAITS(ISearchQueryHelper);

// Reference count and identity of one object. The count may move on any thread; the rest of an
// object serves one search at a time.
class ObjectCore {
public:
    ObjectCore() = default;
    ObjectCore(const ObjectCore&) = delete;
    ObjectCore& operator=(const ObjectCore&) = delete;
    virtual ~ObjectCore() = default;

    // References the stand-in's own objects take and drop on each other.
    ULONG addRef() { return ULONG(++references_); }
    ULONG release();
    long references() const { return references_.load(); }

    // IUnknown as it reaches the object through the facet of the interface via.
    virtual HRESULT queryThrough(REFIID via, REFIID riid, void** ppv);
    virtual ULONG addRefThrough(REFIID) { return addRef(); }
    virtual ULONG releaseThrough(REFIID) { return release(); }

    // The interface riid of the object, with a reference; E_NOINTERFACE for one it lacks.
    virtual HRESULT lookup(REFIID riid, void** ppv) = 0;

protected:
    // What a method the stand-in does not serve answers.
    virtual HRESULT notServed() { return E_NOTIMPL; }
    // Runs when the last reference goes: the object lets go of the objects it holds.
    virtual void finalRelease() {}
    // Ends the object once its last reference is gone.
    virtual void destroy() { delete this; }

private:
    std::atomic<long> references_{0};
};

// A reference one stand-in object holds on another.
template <class T>
class CoreRef {
public:
    CoreRef() = default;
    explicit CoreRef(T* object) { assign(object); }
    CoreRef(const CoreRef&) = delete;
    CoreRef& operator=(const CoreRef&) = delete;
    ~CoreRef() { reset(); }
    void reset() {
        if (T* old = object_) {
            object_ = nullptr;
            old->release();
        }
    }
    void assign(T* object) {
        reset();
        object_ = object;
        if (object_) {
            object_->addRef();
        }
    }
    T* get() const { return object_; }
    T* operator->() const { return object_; }

private:
    T* object_ = nullptr;
};

// Never deleted through a facet: the object goes as a whole, through ObjectCore's destructor.
template <class Derived, class I>
class Facet : public I {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return self().queryThrough(InterfaceTraits<I>::iid(), riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return self().addRefThrough(InterfaceTraits<I>::iid());
    }
    ULONG STDMETHODCALLTYPE Release() override {
        return self().releaseThrough(InterfaceTraits<I>::iid());
    }

private:
    Derived& self() { return static_cast<Derived&>(*this); }
};

// An object offering Interfaces; Derived is the class that implements their methods.
template <class Derived, class... Interfaces>
class ComObject : public ObjectCore, public Facet<Derived, Interfaces>... {
public:
    template <class I>
    I* as() {
        return static_cast<I*>(static_cast<Facet<Derived, I>*>(static_cast<Derived*>(this)));
    }

    HRESULT lookup(REFIID riid, void** ppv) override {
        if (ppv == nullptr) {
            return E_POINTER;
        }
        *ppv = nullptr;
        if (IsEqualGUID(riid, IID_IUnknown)) {
            *ppv = static_cast<IUnknown*>(as<FirstOf<Interfaces...>>());
        } else {
            (findInterface<Interfaces>(riid, ppv) || ...);
        }
        if (*ppv == nullptr) {
            return E_NOINTERFACE;
        }
        addRef();
        return S_OK;
    }

    // A new object of type Object (Derived or a class derived from it) holding one reference,
    // which deletes itself when the last reference goes.
    template <class Object = Derived, class... Args>
    static Object* create(Args&&... args) {
        Object* object = new Object(std::forward<Args>(args)...);
        object->addRef();
        return object;
    }

private:
    template <class First, class...>
    struct FirstOfImpl {
        using type = First;
    };
    template <class... Is>
    using FirstOf = typename FirstOfImpl<Is...>::type;

    template <class I>
    bool findInterface(REFIID riid, void** ppv) {
        if (IsEqualGUID(riid, InterfaceTraits<I>::iid())) {
            *ppv = as<I>();
            return true;
        }
        return false;
    }
};

// Hands out an object's interface; the creation reference is dropped either way.
template <class Object>
HRESULT handOut(Object* object, REFIID riid, void** ppv) {
    const HRESULT hr = object->lookup(riid, ppv);
    object->release();
    return hr;
}

// Class object for CoRegisterClassObject; makes instances through a function.
class ClassFactory : public ComObject<ClassFactory, IClassFactory> {
public:
    using Maker = HRESULT (*)(void* context, REFIID riid, void** ppv);
    ClassFactory(Maker maker, void* context) : maker_(maker), context_(context) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                             void** ppvObject) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    Maker maker_;
    void* context_;
};

// Registers class objects for the life of the holder; needs an entered apartment.
class ClassRegistration {
public:
    ClassRegistration() = default;
    ClassRegistration(const ClassRegistration&) = delete;
    ClassRegistration& operator=(const ClassRegistration&) = delete;
    ~ClassRegistration() { revoke(); }

    HRESULT add(REFCLSID clsid, DWORD context, ClassFactory::Maker maker,
                void* makerContext = nullptr);
    // A class object of the caller's making, whose creation reference goes either way.
    HRESULT add(REFCLSID clsid, DWORD context, ClassFactory* factory);
    void revoke();

private:
    std::vector<DWORD> cookies_;
};

// Declares a method of an interface that the stand-in does not serve.
#define TARVEL_NOT_SERVED(Method, ...)                       \
    HRESULT STDMETHODCALLTYPE Method(__VA_ARGS__) override { \
        return notServed();                                  \
    }

}  // namespace tarvel::service
