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

void Rowset::keepFirstOf(HROW* rows, DBCOUNTITEM obtained) {
    currentRow = obtained != 0 ? rows[0] : 0;
    if (obtained > 1) {
        rowsetInterface->ReleaseRows(obtained - 1, rows + 1, nullptr, nullptr, nullptr);
    }
    CoTaskMemFree(rows);
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

}  // namespace tarvel
