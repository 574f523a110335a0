#include "command.h"

namespace tarvel {

Command::Command(BlobHandling blobHandling, DBLENGTH blobThreshold)
    : accessor(blobHandling, blobThreshold), rowset(&accessor) {}

Command::~Command() {
    close();
    command.reset();
    closeResults();
    rowset.close();
    rowset.releaseInterfaces();
    accessor.clearColumns();
}

HRESULT Command::create(Session& session, LPCWSTR text) {
    close();
    HRESULT hr = session.createCommand(command);
    if (FAILED(hr)) {
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
    ComPtr<IRowset> rows;
    const HRESULT hr =
        command->Execute(nullptr, rows.iid(), nullptr, &rowsAffected, rows.putUnknown());
    if (FAILED(hr)) {
        rows.reset();  // a pointer that came back with the failure
        return hr;
    }
    if (!rows) {
        return hr;
    }
    rowset.attach(std::move(rows));
    const HRESULT bound = accessor.bindColumns(rowset.rows());
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
    IRowset* rows = rowset.rows();
    if (rows == nullptr) {
        return;
    }
    accessor.releaseRowValues(rows);
    accessor.releaseAccessorHandles(rows);
    accessor.clearColumns();
    rowset.close();
}

}  // namespace tarvel
