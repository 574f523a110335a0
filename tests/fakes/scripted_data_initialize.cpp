#include "scripted_data_initialize.h"

namespace tarvel::service {

HRESULT ScriptedDataInitialize::make(void* context, REFIID riid, void** ppv) {
    auto* provider = static_cast<FakeProvider*>(context);
    return handOut(ScriptedDataInitialize::create(provider), riid, ppv);
}

HRESULT ScriptedDataInitialize::GetDataSource(IUnknown* pUnkOuter, DWORD dwClsCtx,
                                              LPCOLESTR pwszInitializationString, REFIID riid,
                                              IUnknown** ppDataSource) {
    if (ppDataSource != nullptr) {
        *ppDataSource = nullptr;
    }
    auto makeDataSource = [&] { return provider_->newDataSource(); };
    if (auto failure = enter("IDataInitialize::GetDataSource", [&] {
            return std::to_string(dwClsCtx) + "," + narrow(pwszInitializationString) + "," +
                   interfaceName(riid);
        })) {
        if (ppDataSource != nullptr && provider_->quirks.strayOnFailure) {
            handOut(makeDataSource(), riid, reinterpret_cast<void**>(ppDataSource));
        }
        return *failure;
    }
    if (ppDataSource == nullptr) {
        return E_INVALIDARG;
    }
    if (pUnkOuter != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    return handOut(makeDataSource(), riid, reinterpret_cast<void**>(ppDataSource));
}

}  // namespace tarvel::service
