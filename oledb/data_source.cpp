#include "data_source.h"

namespace tarvel {

HRESULT DataSource::open(LPCOLESTR initString) {
    ComPtr<IDataInitialize> service;
    HRESULT hr = createInstance(CLSID_MSDAINITIALIZE, CLSCTX_INPROC_SERVER, service);
    if (FAILED(hr)) {
        return hr;
    }
    hr = service->GetDataSource(nullptr, CLSCTX_INPROC_SERVER, initString, initializer.iid(),
                                initializer.putUnknown());
    if (FAILED(hr)) {
        initializer.reset();  // a pointer that came back with the failure
        return hr;
    }
    // A failed Initialize leaves the data source held; the owner's destruction releases it.
    return initializer->Initialize();
}

HRESULT DataSource::createSession(ComPtr<IOpenRowset>& session) const {
    if (!initializer) {
        return E_UNEXPECTED;
    }
    ComPtr<IDBCreateSession> creator;
    HRESULT hr = initializer.query(creator);
    if (FAILED(hr)) {
        return hr;
    }
    hr = creator->CreateSession(nullptr, session.iid(), session.putUnknown());
    if (FAILED(hr)) {
        session.reset();
    }
    return hr;
}

}  // namespace tarvel
