#include "session.h"

namespace tarvel {

HRESULT Session::open(DataSource& dataSource) {
    if (!dataSource.initializer) {
        return E_UNEXPECTED;
    }
    ComPtr<IDBCreateSession> creator;
    HRESULT hr = dataSource.initializer->QueryInterface(IID_IDBCreateSession, creator.putVoid());
    if (FAILED(hr)) {
        return hr;
    }
    hr = creator->CreateSession(nullptr, IID_IOpenRowset, session.putUnknown());
    if (FAILED(hr)) {
        session.reset();
    }
    return hr;
}

}  // namespace tarvel
