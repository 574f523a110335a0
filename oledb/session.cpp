#include "session.h"

namespace tarvel {

HRESULT Session::open(DataSource& dataSource) {
    if (!dataSource.initializer) {
        return E_UNEXPECTED;
    }
    ComPtr<IDBCreateSession> creator;
    HRESULT hr = dataSource.initializer.query(creator);
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
