// The rowset an executed command yields, walked strictly forward one row at a time into the
// row buffer of a DynamicAccessor.
#pragma once

#include <memory>

#include "common/com_ptr.h"
#include "dynamic_accessor.h"

namespace tarvel {

class Command;

namespace testing {
class RowsetPeer;
}  // namespace testing

class Rowset {
public:
    explicit Rowset(DynamicAccessor* rowAccessor) : accessor(rowAccessor) {}
    Rowset(const Rowset&) = delete;
    Rowset& operator=(const Rowset&) = delete;

    // Takes the rowset an execution produced, and its IRowsetChange when offered (only held,
    // never used); whatever was held before goes first.
    void attach(ComPtr<IRowset> executed);
    // Whether a rowset is attached that can be walked, and its IRowset.
    bool isOpen() const { return static_cast<bool>(rowsetInterface); }
    IRowset* rows() const { return rowsetInterface.get(); }

    // Restarts the rowset and fetches its first row.
    HRESULT moveToFirstRow();
    // Frees the current row and fetches the next one. S_OK when a row was fetched; columns that
    // could not be read then carry an error status. Defined here, with the fetch and the
    // release, so that a walk's loop holds them whole.
    HRESULT moveToNextRow() {
        DBCOUNTITEM obtained = 0;
        accessor->releaseRowValues(rowsetInterface.get());
        releaseRow();
        // The one-element handle array is currentRow itself, so nothing is allocated per row.
        HROW* rows = &currentRow;
        HRESULT hr = rowsetInterface->GetNextRows(0, 0, 1, &obtained, &rows);
        if (rows != &currentRow && rows != nullptr) {
            keepFirstOf(rows, obtained);
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
    void close();

private:
    // The command releases what a close leaves held as it goes; no operation of the module
    // gives a rowset an accessor of its own, tests arrange one.
    friend class Command;
    friend class testing::RowsetPeer;

    HRESULT fetchRow() { return accessor->fetchRow(rowsetInterface.get(), currentRow); }
    void releaseRow() {
        if (currentRow == 0 || !rowsetInterface) {
            return;
        }
        HROW row = currentRow;
        currentRow = 0;
        rowsetInterface->ReleaseRows(1, &row, nullptr, nullptr, nullptr);
    }
    // What close leaves held, which is nothing after a close: IRowsetChange, then IRowset.
    void releaseInterfaces();

    // A provider that allocated a handle array of its own despite being given one: the first
    // row is kept, any others go at once, so that one row at most stays held.
    void keepFirstOf(HROW* rows, DBCOUNTITEM obtained);

    ComPtr<IRowset> rowsetInterface;
    ComPtr<IRowsetChange> changeInterface;
    DynamicAccessor* accessor;
    HROW currentRow = 0;
    // An accessor of the rowset's own, which its close frees.
    std::unique_ptr<DynamicAccessor> ownedAccessor;
};

}  // namespace tarvel
