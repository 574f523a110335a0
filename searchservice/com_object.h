// The base of every stand-in COM object. Each interface an object offers is a facet of its own
// with its own IUnknown entries, so a watcher can tell "IRowset::Release" from
// "IRowsetChange::Release" on the same object. One reference count serves all facets.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "com_text.h"

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
TARVEL_INTERFACE_TRAITS(ISearchCrawlScopeManager);
TARVEL_INTERFACE_TRAITS(ISearchQueryHelper);

class ObjectCore;

// The detail of a call, as "IAccessor" in "IRowset::QueryInterface(IAccessor)", made only when
// asked for: most calls need none.
class CallDetail {
public:
    CallDetail() = default;
    template <class Make>
    explicit CallDetail(const Make& make)
        : context_(&make),
          make_([](const void* context) { return (*static_cast<const Make*>(context))(); }) {}

    std::string operator()() const { return make_ != nullptr ? make_(context_) : std::string(); }

private:
    const void* context_ = nullptr;
    std::string (*make_)(const void*) = nullptr;
};

// Whatever watches the stand-in objects from outside; the service runs unwatched. Tests
// journal the calls through it, fail them on demand, keep released objects for inspection and
// account for every block handed over.
class ObjectWatcher {
public:
    // A call about to be served as "method(detail)"; an HRESULT returned is answered instead.
    virtual std::optional<HRESULT> calling(const ObjectCore& object, std::string_view method,
                                           const CallDetail& detail) = 0;
    // AddRef and Release through an interface; false refuses the AddRef.
    virtual bool addingReference(const ObjectCore& object, const char* via) = 0;
    virtual void releasing(const ObjectCore& object, const char* via) = 0;
    // The object's last reference is gone, whoever released it.
    virtual void released(const ObjectCore&) {}
    // A call no scenario expects; answered with what is returned.
    virtual HRESULT unexpected(std::string_view method) = 0;
    // A rule of the provider's that a caller broke.
    virtual void fault(std::string message) = 0;
    // A new object; the watcher decides when it is deleted.
    virtual void adopt(ObjectCore* object) = 0;
    // The task-allocator block most recently allocated is handed over, described by what.
    virtual void handedOver(std::string what) = 0;

protected:
    ~ObjectWatcher() = default;
};

// Reference count, identity and watcher of one object. The count may move on any thread; the
// rest of an object serves one search at a time.
class ObjectCore {
public:
    ObjectCore(ObjectWatcher* watcher, std::string name);
    ObjectCore(const ObjectCore&) = delete;
    ObjectCore& operator=(const ObjectCore&) = delete;
    virtual ~ObjectCore() = default;

    ULONG addRef() { return ULONG(++references_); }
    // AddRef through an interface, which a watcher may refuse.
    ULONG addRefFrom(const char* via);
    // Release, through an interface (via names it) or by another stand-in object (null).
    ULONG release(const char* via);
    long references() const { return references_.load(); }
    const std::string& name() const { return name_; }
    ObjectWatcher* watcher() const { return watcher_; }

protected:
    // Runs when the last reference goes: the object lets go of the objects it holds.
    virtual void finalRelease() {}

    std::optional<HRESULT> enter(std::string_view method) {
        return watcher_ ? watcher_->calling(*this, method, CallDetail()) : std::nullopt;
    }
    // The detail is made only when a watcher wants it.
    template <class Detail>
    std::optional<HRESULT> enter(std::string_view method, const Detail& detail) {
        return watcher_ ? watcher_->calling(*this, method, CallDetail(detail)) : std::nullopt;
    }
    HRESULT unexpected(std::string_view method) {
        return watcher_ ? watcher_->unexpected(method) : E_NOTIMPL;
    }
    void fault(std::string message) {
        if (watcher_ != nullptr) {
            watcher_->fault(std::move(message));
        }
    }
    void handedOver(std::string what) {
        if (watcher_ != nullptr) {
            watcher_->handedOver(std::move(what));
        }
    }

private:
    ObjectWatcher* watcher_;
    std::string name_;
    std::atomic<long> references_{0};
};

// A reference one stand-in object holds on another; the watcher does not see it.
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

// Never deleted through a facet: the object goes as a whole, through ObjectCore's destructor.
template <class Derived, class I>
class Facet : public I {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
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

// An object offering Interfaces; Derived is the class that implements their methods.
template <class Derived, class... Interfaces>
class ComObject : public ObjectCore, public Facet<Derived, Interfaces>... {
public:
    using ObjectCore::ObjectCore;

    template <class I>
    I* as() {
        return static_cast<I*>(static_cast<Facet<Derived, I>*>(static_cast<Derived*>(this)));
    }

    HRESULT queryInterface(const char* via, REFIID riid, void** ppv) {
        if (ObjectWatcher* watching = watcher()) {
            auto name = [&] { return interfaceName(riid); };
            if (auto failure = watching->calling(*this, std::string(via) + "::QueryInterface",
                                                 CallDetail(name))) {
                if (ppv != nullptr) {
                    *ppv = nullptr;
                }
                return *failure;
            }
        }
        return lookup(riid, ppv);
    }

    // QueryInterface unwatched, for the service's own hand-outs.
    HRESULT lookup(REFIID riid, void** ppv) {
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
    // given to the watcher or, unwatched, deleting itself when the last reference goes.
    template <class Object = Derived, class... Args>
    static Object* create(ObjectWatcher* watcher, Args&&... args) {
        Object* object = new Object(watcher, std::forward<Args>(args)...);
        if (watcher != nullptr) {
            watcher->adopt(object);
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

// Hands out an object's interface; the creation reference is dropped either way.
template <class Object>
HRESULT handOut(Object* object, REFIID riid, void** ppv) {
    const HRESULT hr = object->lookup(riid, ppv);
    object->release(nullptr);
    return hr;
}

// Class object for CoRegisterClassObject; makes instances through a function.
class ClassFactory final : public ComObject<ClassFactory, IClassFactory> {
public:
    using Maker = HRESULT (*)(ObjectWatcher* watcher, void* context, REFIID riid, void** ppv);
    // The factory itself is never watched: the runtime holds it and frees it at revocation.
    ClassFactory(ObjectWatcher*, ObjectWatcher* makerWatcher, Maker maker, void* context)
        : ComObject(nullptr, "IClassFactory"),
          makerWatcher_(makerWatcher),
          maker_(maker),
          context_(context) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                             void** ppvObject) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    ObjectWatcher* makerWatcher_;
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

    HRESULT add(REFCLSID clsid, DWORD context, ObjectWatcher* watcher, ClassFactory::Maker maker,
                void* makerContext = nullptr);
    void revoke();

private:
    std::vector<DWORD> cookies_;
};

// Declares a method of an interface that the stand-in does not serve: the call is answered
// E_NOTIMPL, and a watcher hears of it.
#define TARVEL_NOT_SERVED(Interface, Method, ...)            \
    HRESULT STDMETHODCALLTYPE Method(__VA_ARGS__) override { \
        return unexpected(#Interface "::" #Method);          \
    }

}  // namespace tarvel::service
