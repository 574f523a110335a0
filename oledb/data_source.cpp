#include "data_source.h"

namespace tarvel {

HRESULT DataSource::open(LPCOLESTR initString) {
    ComPtr<IDataInitialize> service;
    HRESULT hr = CoCreateInstance(CLSID_MSDAINITIALIZE, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IDataInitialize, service.putVoid());
    if (FAILED(hr)) {
        return hr;
    }
    hr = service->GetDataSource(nullptr, CLSCTX_INPROC_SERVER, initString, IID_IDBInitialize,
                                initializer.putUnknown());
    if (FAILED(hr)) {
        initializer.reset();  // a pointer that came back with the failure
        return hr;
    }
    // A failed Initialize leaves the data source held; the owner's destruction releases it.
    return initializer->Initialize();
}

}  // namespace tarvel
