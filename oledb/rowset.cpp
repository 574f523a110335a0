#include "rowset.h"

namespace tarvel {

HRESULT Rowset::moveToFirstRow() {
    accessor->releaseRowValues(rowsetInterface.get());
    releaseRow();
    const HRESULT hr = rowsetInterface->RestartPosition(0);
    if (FAILED(hr)) {
        return hr;
    }
    return moveToNextRow();
}

HRESULT Rowset::moveToNextRow() {
    DBCOUNTITEM obtained = 0;
    accessor->releaseRowValues(rowsetInterface.get());
    releaseRow();
    // The one-element handle array is currentRow itself, so nothing is allocated per row.
    HROW* rows = &currentRow;
    HRESULT hr = rowsetInterface->GetNextRows(0, 0, 1, &obtained, &rows);
    if (rows != &currentRow && rows != nullptr) {
        // A provider that allocated an array of its own despite being given one: the first row
        // is kept, any others go at once, so that one row at most stays held.
        currentRow = obtained != 0 ? rows[0] : 0;
        if (obtained > 1) {
            rowsetInterface->ReleaseRows(obtained - 1, rows + 1, nullptr, nullptr, nullptr);
        }
        CoTaskMemFree(rows);
    }
    if (hr != S_OK) {
        return hr;
    }
    hr = fetchRow();
    if (FAILED(hr) && currentRow != 0) {
        releaseRow();
    }
    return hr;
}

HRESULT Rowset::fetchRow() {
    return accessor->fetchRow(rowsetInterface.get(), currentRow);
}

void Rowset::releaseRow() {
    if (currentRow == 0 || !rowsetInterface) {
        return;
    }
    HROW row = currentRow;
    currentRow = 0;
    rowsetInterface->ReleaseRows(1, &row, nullptr, nullptr, nullptr);
}

void Rowset::close() {
    if (ownedAccessor) {
        std::unique_ptr<DynamicAccessor> owned = std::move(ownedAccessor);
        if (rowsetInterface) {
            owned->releaseRowValues(rowsetInterface.get());
            owned->releaseAccessorHandles(rowsetInterface.get());
        }
        owned->clearColumns();
        // The accessor the moves use may be this very one; it is gone now.
        if (accessor == owned.get()) {
            accessor = nullptr;
        }
    }
    if (!rowsetInterface) {
        return;
    }
    if (accessor != nullptr) {
        accessor->releaseRowValues(rowsetInterface.get());
    }
    releaseRow();
    rowsetInterface.reset();
    changeInterface.reset();
}

void Rowset::attach(ComPtr<IRowset> executed) {
    rowsetInterface = std::move(executed);
    changeInterface.reset();
    if (rowsetInterface) {
        rowsetInterface.query(changeInterface);
    }
}

void Rowset::releaseInterfaces() {
    changeInterface.reset();
    rowsetInterface.reset();
}

void Rowset::ownAccessorForTesting(std::unique_ptr<DynamicAccessor> owned, bool useForMoves) {
    ownedAccessor = std::move(owned);
    if (useForMoves) {
        accessor = ownedAccessor.get();
    }
}

}  // namespace tarvel
