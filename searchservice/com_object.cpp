#include "com_object.h"

namespace tarvel::service {

ObjectCore::ObjectCore(ObjectWatcher* watcher, std::string name)
    : watcher_(watcher), name_(std::move(name)) {}

ULONG ObjectCore::addRefFrom(const char* via) {
    if (watcher_ != nullptr && !watcher_->addingReference(*this, via)) {
        return 0;
    }
    return addRef();
}

ULONG ObjectCore::release(const char* via) {
    if (via != nullptr && watcher_ != nullptr) {
        watcher_->releasing(*this, via);
    }
    long held = references_.load();
    do {
        if (held <= 0) {
            return 0;
        }
    } while (!references_.compare_exchange_weak(held, held - 1));
    const long left = held - 1;
    if (left == 0) {
        finalRelease();
        if (watcher_ == nullptr) {
            delete this;
        } else {
            watcher_->released(*this);
        }
    }
    return ULONG(left);
}

HRESULT ClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) {
    if (ppvObject == nullptr) {
        return E_POINTER;
    }
    *ppvObject = nullptr;
    if (makerWatcher_ != nullptr) {
        auto name = [&] { return interfaceName(riid); };
        if (auto failure =
                makerWatcher_->calling(*this, "IClassFactory::CreateInstance", CallDetail(name))) {
            return *failure;
        }
    }
    if (pUnkOuter != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    return maker_(makerWatcher_, context_, riid, ppvObject);
}

HRESULT ClassRegistration::add(REFCLSID clsid, DWORD context, ObjectWatcher* watcher,
                               ClassFactory::Maker maker, void* makerContext) {
    ClassFactory* factory = ClassFactory::create(nullptr, watcher, maker, makerContext);
    DWORD cookie = 0;
    const HRESULT hr = CoRegisterClassObject(clsid, factory->as<IClassFactory>(), context,
                                             REGCLS_MULTIPLEUSE, &cookie);
    factory->release(nullptr);
    if (SUCCEEDED(hr)) {
        cookies_.push_back(cookie);
    }
    return hr;
}

void ClassRegistration::revoke() {
    while (!cookies_.empty()) {
        const DWORD cookie = cookies_.back();
        cookies_.pop_back();
        CoRevokeClassObject(cookie);
    }
}

}  // namespace tarvel::service
