// A data-initialization service that makes the fake provider's data source directly, whatever
// the initialization string names; tests register it in place of the platform's service.
#pragma once

#include "fake_provider.h"

namespace tarvel::service {

class ScriptedDataInitialize final
    : public Watched<ComObject<ScriptedDataInitialize, IDataInitialize>> {
public:
    explicit ScriptedDataInitialize(FakeProvider* provider)
        : Watched(provider->watch, "IDataInitialize"), provider_(provider) {}

    // The class object's maker; context is the FakeProvider.
    static HRESULT make(void* context, REFIID riid, void** ppv);

    HRESULT STDMETHODCALLTYPE GetDataSource(IUnknown* pUnkOuter, DWORD dwClsCtx,
                                            LPCOLESTR pwszInitializationString, REFIID riid,
                                            IUnknown** ppDataSource) override;
    TARVEL_NOT_SERVED(GetInitializationString, IUnknown*, boolean, LPOLESTR*)
    TARVEL_NOT_SERVED(CreateDBInstance, REFCLSID, IUnknown*, DWORD, LPOLESTR, REFIID, IUnknown**)
    TARVEL_NOT_SERVED(CreateDBInstanceEx, REFCLSID, IUnknown*, DWORD, LPOLESTR, COSERVERINFO*,
                      ULONG, MULTI_QI*)
    TARVEL_NOT_SERVED(LoadStringFromStorage, LPCOLESTR, LPOLESTR*)
    TARVEL_NOT_SERVED(WriteStringToStorage, LPCOLESTR, LPCOLESTR, DWORD)

private:
    FakeProvider* provider_;
};

}  // namespace tarvel::service
