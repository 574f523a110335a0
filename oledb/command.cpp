#include "command.h"

namespace tarvel {

Command::Command(BlobHandling blobHandling, DBLENGTH blobThreshold)
    : accessor(blobHandling, blobThreshold), rowset(&accessor) {}

Command::~Command() {
    close();
    command.reset();
    closeResults();
    rowset.close();
    rowset.changeInterface.reset();
    rowset.rowsetInterface.reset();
    accessor.clearColumns();
}

HRESULT Command::create(Session& session, LPCWSTR text) {
    close();
    if (!session.session) {
        return E_UNEXPECTED;
    }
    ComPtr<IDBCreateCommand> creator;
    HRESULT hr = session.session.query(creator);
    if (SUCCEEDED(hr)) {
        hr = creator->CreateCommand(nullptr, command.iid(), command.putUnknown());
    }
    creator.reset();
    if (FAILED(hr)) {
        command.reset();
        return hr;
    }
    ComPtr<ICommandText> commandText;
    hr = command.query(commandText);
    if (FAILED(hr)) {
        return hr;
    }
    return commandText->SetCommandText(DBGUID_DEFAULT, text);
}

HRESULT Command::execute() {
    if (!command) {
        return E_UNEXPECTED;
    }
    // The results of an earlier execution go first: their rewritten column data must not be
    // taken for the new rowset's.
    closeResults();
    DBROWCOUNT rowsAffected = 0;
    const HRESULT hr = command->Execute(nullptr, rowset.rowsetInterface.iid(), nullptr,
                                        &rowsAffected, rowset.rowsetInterface.putUnknown());
    if (FAILED(hr)) {
        rowset.rowsetInterface.reset();
        return hr;
    }
    if (!rowset.rowsetInterface) {
        return hr;
    }
    // Only held, never used; a provider without it is fine.
    rowset.rowsetInterface.query(rowset.changeInterface);
    const HRESULT bound = accessor.bindColumns(rowset.rowsetInterface.get());
    return FAILED(bound) ? bound : S_OK;
}

void Command::close() {
    if (parameterAccessor != 0 && command) {
        ComPtr<IAccessor> parameters;
        if (SUCCEEDED(command.query(parameters))) {
            const HACCESSOR handle = parameterAccessor;
            parameterAccessor = 0;
            parameters->ReleaseAccessor(handle, nullptr);
        }
    }
    command.reset();
}

void Command::closeResults() {
    IRowset* rows = rowset.rowsetInterface.get();
    if (rows == nullptr) {
        return;
    }
    accessor.releaseRowValues(rows);
    accessor.releaseAccessorHandles(rows);
    accessor.clearColumns();
    rowset.close();
}

}  // namespace tarvel
