#include "com_object.h"

namespace tarvel::service {

ObjectCore::ObjectCore(Instrumentation* instrumentation, std::string name)
    : instrumentation_(instrumentation), name_(std::move(name)) {}

ULONG ObjectCore::addRefFrom(const char* via) {
    if (references_ <= 0 && instrumentation_ != nullptr) {
        instrumentation_->error("call on released " + name_ + ": " + via + "::AddRef");
        return 0;
    }
    return addRef();
}

ULONG ObjectCore::release(const char* via) {
    if (via != nullptr && instrumentation_ != nullptr) {
        instrumentation_->note(std::string(via) + "::Release");
    }
    if (references_ <= 0) {
        if (instrumentation_ != nullptr) {
            instrumentation_->error("over-release of " + name_);
        }
        return 0;
    }
    const long left = --references_;
    if (left == 0) {
        finalRelease();
        if (instrumentation_ == nullptr) {
            delete this;
        }
    }
    return ULONG(left);
}

HRESULT ClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) {
    if (ppvObject == nullptr) {
        return E_POINTER;
    }
    *ppvObject = nullptr;
    if (makerInstrumentation_ != nullptr) {
        if (auto failure = makerInstrumentation_->enter("IClassFactory::CreateInstance",
                                                        interfaceName(riid))) {
            return *failure;
        }
    }
    if (pUnkOuter != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    return maker_(makerInstrumentation_, context_, riid, ppvObject);
}

HRESULT ClassRegistration::add(REFCLSID clsid, DWORD context, Instrumentation* instrumentation,
                               ClassFactory::Maker maker, void* makerContext) {
    ClassFactory* factory = ClassFactory::create(nullptr, instrumentation, maker, makerContext);
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
