#include "session.h"

namespace tarvel {

HRESULT Session::open(DataSource& dataSource) {
    return dataSource.createSession(session);
}

HRESULT Session::createCommand(ComPtr<ICommand>& command) const {
    if (!session) {
        return E_UNEXPECTED;
    }
    ComPtr<IDBCreateCommand> creator;
    HRESULT hr = session.query(creator);
    if (SUCCEEDED(hr)) {
        hr = creator->CreateCommand(nullptr, command.iid(), command.putUnknown());
    }
    creator.reset();
    if (FAILED(hr)) {
        command.reset();
    }
    return hr;
}

}  // namespace tarvel
