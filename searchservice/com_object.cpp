#include "com_object.h"

namespace tarvel::service {

ULONG ObjectCore::release() {
    long held = references_.load();
    do {
        if (held <= 0) {
            return 0;
        }
    } while (!references_.compare_exchange_weak(held, held - 1));
    const long left = held - 1;
    if (left == 0) {
        finalRelease();
        destroy();
    }
    return ULONG(left);
}

HRESULT ObjectCore::queryThrough(REFIID, REFIID riid, void** ppv) {
    return lookup(riid, ppv);
}

HRESULT ClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) {
    if (ppvObject == nullptr) {
        return E_POINTER;
    }
    *ppvObject = nullptr;
    if (pUnkOuter != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    return maker_(context_, riid, ppvObject);
}

HRESULT ClassRegistration::add(REFCLSID clsid, DWORD context, ClassFactory::Maker maker,
                               void* makerContext) {
    return add(clsid, context, ClassFactory::create(maker, makerContext));
}

HRESULT ClassRegistration::add(REFCLSID clsid, DWORD context, ClassFactory* factory) {
    DWORD cookie = 0;
    const HRESULT hr = CoRegisterClassObject(clsid, factory->as<IClassFactory>(), context,
                                             REGCLS_MULTIPLEUSE, &cookie);
    factory->release();
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
