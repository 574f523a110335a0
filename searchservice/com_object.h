// The base of every stand-in COM object. Each interface an object offers is a facet of its own
// with its own IUnknown entries, so a journal can tell "IRowset::Release" from
// "IRowsetChange::Release" on the same object. One reference count serves all facets.
#pragma once

#include <set>
#include <string>
#include <utility>

#include "instrumentation.h"

namespace tarvel::service {

template <class I>
struct InterfaceTraits;

#define TARVEL_INTERFACE_TRAITS(I)                  \
    template <>                                     \
    struct InterfaceTraits<I> {                     \
        static constexpr const char* name = #I;     \
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
TARVEL_INTERFACE_TRAITS(ISearchQueryHelper);

// Reference count, identity and instrumentation of one object.
class ObjectCore {
public:
    ObjectCore(Instrumentation* instrumentation, std::string name);
    ObjectCore(const ObjectCore&) = delete;
    ObjectCore& operator=(const ObjectCore&) = delete;
    virtual ~ObjectCore() = default;

    ULONG addRef() { return ULONG(++references_); }
    // AddRef through an interface: a released object is not brought back.
    ULONG addRefFrom(const char* via);
    ULONG release(const char* via);
    long references() const { return references_; }
    const std::string& name() const { return name_; }
    Instrumentation* instrumentation() const { return instrumentation_; }

    // An interface that QueryInterface is to deny, as a provider that does not offer it.
    void withhold(REFIID riid) { withheld_.insert(interfaceName(riid)); }
    bool withholds(REFIID riid) const { return withheld_.count(interfaceName(riid)) != 0; }

protected:
    // Runs when the last reference goes: the object lets go of the objects it holds.
    virtual void finalRelease() {}

    // A call on an object whose last reference is gone is a fault of the caller's, however
    // politely a kept-alive object could answer it: it is recorded and refused.
    std::optional<HRESULT> enter(std::string_view method, std::string_view detail = {}) {
        if (instrumentation_ == nullptr) {
            return std::nullopt;
        }
        if (references_ <= 0) {
            instrumentation_->error("call on released " + name_ + ": " + std::string(method));
            return E_UNEXPECTED;
        }
        return instrumentation_->enter(method, detail);
    }
    HRESULT unexpected(std::string_view method) {
        return instrumentation_ ? instrumentation_->unexpected(method) : E_NOTIMPL;
    }

private:
    Instrumentation* instrumentation_;
    std::string name_;
    long references_ = 0;
    std::set<std::string> withheld_;
};

// A reference one stand-in object holds on another; it stays out of the journal.
template <class T>
class CoreRef {
public:
    CoreRef() = default;
    explicit CoreRef(T* object) : object_(object) {
        if (object_) {
            object_->addRef();
        }
    }
    CoreRef(const CoreRef&) = delete;
    CoreRef& operator=(const CoreRef&) = delete;
    ~CoreRef() { reset(); }
    void reset() {
        if (T* old = object_) {
            object_ = nullptr;
            old->release(nullptr);
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

template <class Derived, class I>
class Facet : public I {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return self().queryInterface(InterfaceTraits<I>::name, riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return self().addRefFrom(InterfaceTraits<I>::name);
    }
    ULONG STDMETHODCALLTYPE Release() override { return self().release(InterfaceTraits<I>::name); }

private:
    Derived& self() { return static_cast<Derived&>(*this); }
};

template <class Derived, class... Interfaces>
class ComObject : public ObjectCore, public Facet<Derived, Interfaces>... {
public:
    using ObjectCore::ObjectCore;

    template <class I>
    I* as() {
        return static_cast<I*>(static_cast<Facet<Derived, I>*>(static_cast<Derived*>(this)));
    }

    HRESULT queryInterface(const char* via, REFIID riid, void** ppv) {
        if (auto failure = enter(std::string(via) + "::QueryInterface", interfaceName(riid))) {
            if (ppv != nullptr) {
                *ppv = nullptr;
            }
            return *failure;
        }
        return lookup(riid, ppv);
    }

    // QueryInterface without journal or failure plan, for the service's own hand-outs.
    HRESULT lookup(REFIID riid, void** ppv) {
        if (ppv == nullptr) {
            return E_POINTER;
        }
        *ppv = nullptr;
        if (IsEqualGUID(riid, IID_IUnknown)) {
            *ppv = static_cast<IUnknown*>(as<FirstOf<Interfaces...>>());
        } else if (!withholds(riid)) {
            (findInterface<Interfaces>(riid, ppv) || ...);
        }
        if (*ppv == nullptr) {
            return E_NOINTERFACE;
        }
        addRef();
        return S_OK;
    }

    // A new object under the instrumentation (which then keeps it) or on its own (which
    // deletes itself when the last reference goes), holding one reference.
    template <class... Args>
    static Derived* create(Instrumentation* instrumentation, Args&&... args) {
        Derived* object = new Derived(instrumentation, std::forward<Args>(args)...);
        if (instrumentation != nullptr) {
            instrumentation->adopt(object);
        }
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

// Class object for CoRegisterClassObject; makes instances through a function.
class ClassFactory final : public ComObject<ClassFactory, IClassFactory> {
public:
    using Maker = HRESULT (*)(Instrumentation* instrumentation, void* context, REFIID riid,
                              void** ppv);
    // The factory itself is never instrumented: the runtime holds it and frees it at revocation.
    ClassFactory(Instrumentation*, Instrumentation* makerInstrumentation, Maker maker,
                 void* context)
        : ComObject(nullptr, "IClassFactory"),
          makerInstrumentation_(makerInstrumentation),
          maker_(maker),
          context_(context) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                             void** ppvObject) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    Instrumentation* makerInstrumentation_;
    Maker maker_;
    void* context_;
};

// Registers a class object for the life of the holder; needs an entered apartment.
class ClassRegistration {
public:
    ClassRegistration() = default;
    ClassRegistration(const ClassRegistration&) = delete;
    ClassRegistration& operator=(const ClassRegistration&) = delete;
    ~ClassRegistration() { revoke(); }

    HRESULT add(REFCLSID clsid, DWORD context, Instrumentation* instrumentation,
                ClassFactory::Maker maker, void* makerContext = nullptr);
    void revoke();

private:
    std::vector<DWORD> cookies_;
};

}  // namespace tarvel::service
