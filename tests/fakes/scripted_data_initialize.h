// A data-initialization service that makes the fake provider's data source directly, whatever
// the initialization string names; tests register it in place of the platform's service.
#pragma once

#include "fake_provider.h"

namespace tarvel::service {

class ScriptedDataInitialize final : public ComObject<ScriptedDataInitialize, IDataInitialize> {
public:
    ScriptedDataInitialize(ObjectWatcher* watcher, FakeProvider* provider)
        : ComObject(watcher, "IDataInitialize"), provider_(provider) {}

    // The class object's maker; context is the FakeProvider.
    static HRESULT make(ObjectWatcher* watcher, void* context, REFIID riid, void** ppv);

    HRESULT STDMETHODCALLTYPE GetDataSource(IUnknown* pUnkOuter, DWORD dwClsCtx,
                                            LPCOLESTR pwszInitializationString, REFIID riid,
                                            IUnknown** ppDataSource) override;
    TARVEL_NOT_SERVED(IDataInitialize, GetInitializationString, IUnknown*, boolean, LPOLESTR*)
    TARVEL_NOT_SERVED(IDataInitialize, CreateDBInstance, REFCLSID, IUnknown*, DWORD, LPOLESTR,
                      REFIID, IUnknown**)
    TARVEL_NOT_SERVED(IDataInitialize, CreateDBInstanceEx, REFCLSID, IUnknown*, DWORD, LPOLESTR,
                      COSERVERINFO*, ULONG, MULTI_QI*)
    TARVEL_NOT_SERVED(IDataInitialize, LoadStringFromStorage, LPCOLESTR, LPOLESTR*)
    TARVEL_NOT_SERVED(IDataInitialize, WriteStringToStorage, LPCOLESTR, LPCOLESTR, DWORD)

private:
    FakeProvider* provider_;
};

}  // namespace tarvel::service
