#include "scripted_data_initialize.h"

namespace tarvel::service {

HRESULT ScriptedDataInitialize::make(ObjectWatcher* watcher, void* context, REFIID riid,
                                     void** ppv) {
    auto* provider = static_cast<FakeProvider*>(context);
    return handOut(ScriptedDataInitialize::create(watcher, provider), riid, ppv);
}

HRESULT ScriptedDataInitialize::GetDataSource(IUnknown* pUnkOuter, DWORD dwClsCtx,
                                              LPCOLESTR pwszInitializationString, REFIID riid,
                                              IUnknown** ppDataSource) {
    if (ppDataSource != nullptr) {
        *ppDataSource = nullptr;
    }
    auto makeDataSource = [&] {
        return ProviderDataSource::create<FakeDataSource>(watcher(), &provider_->config,
                                                          &provider_->quirks);
    };
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
