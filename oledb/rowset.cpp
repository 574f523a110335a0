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
        // A provider that allocated an array of its own despite being given one.
        currentRow = obtained != 0 ? rows[0] : 0;
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
    HRESULT result = S_OK;
    const ULONG count = accessor->accessorSlotCount;
    for (ULONG i = 0; i < count; ++i) {
        if (i >= accessor->accessorSlotCount || accessor->accessorSlots == nullptr ||
            !accessor->accessorSlots[i].autoFetch) {
            continue;
        }
        const HRESULT hr = rowsetInterface->GetData(currentRow, accessor->accessorSlots[i].handle,
                                                    accessor->rowBuffer);
        if (FAILED(hr)) {
            return hr;
        }
        result = hr;
    }
    return result;
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
        if (rowsetInterface) {
            ownedAccessor->releaseRowValues(rowsetInterface.get());
            ownedAccessor->releaseAccessorHandles(rowsetInterface.get());
        }
        ownedAccessor->clearColumns();
        ownedAccessor.reset();
    }
    if (!rowsetInterface) {
        return;
    }
    accessor->releaseRowValues(rowsetInterface.get());
    releaseRow();
    rowsetInterface.reset();
    changeInterface.reset();
}

}  // namespace tarvel
