// The rowset an executed command yields, walked strictly forward one row at a time into the
// row buffer of a DynamicAccessor.
#pragma once

#include <memory>

#include "common/com_ptr.h"
#include "dynamic_accessor.h"

namespace tarvel {

class Rowset {
public:
    explicit Rowset(DynamicAccessor* rowAccessor) : accessor(rowAccessor) {}
    Rowset(const Rowset&) = delete;
    Rowset& operator=(const Rowset&) = delete;

    // Whether execution attached a rowset that can be walked.
    bool isOpen() const { return static_cast<bool>(rowsetInterface); }

    // Restarts the rowset and fetches its first row.
    HRESULT moveToFirstRow();
    // Frees the current row and fetches the next one. S_OK when a row was fetched; columns that
    // could not be read then carry an error status.
    HRESULT moveToNextRow();
    HRESULT fetchRow();
    void releaseRow();
    void close();

    // What tests look at and arrange; not for the product's use.
    IRowset* rowsetForTesting() const { return rowsetInterface.get(); }
    IRowsetChange* changeForTesting() const { return changeInterface.get(); }
    HROW currentRowForTesting() const { return currentRow; }
    const DynamicAccessor* accessorForTesting() const { return accessor; }
    const DynamicAccessor* ownedAccessorForTesting() const { return ownedAccessor.get(); }
    // Holds rowset (and its IRowsetChange, if offered), as an execution does.
    void attachForTesting(IRowset* rowset);
    // An accessor of the rowset's own, which its close frees; with useForMoves the moves use it.
    void ownAccessorForTesting(std::unique_ptr<DynamicAccessor> owned, bool useForMoves);

private:
    // Execution attaches the rowset; closing the command's results reaches the rowset.
    friend class Command;

    ComPtr<IRowset> rowsetInterface;
    ComPtr<IRowsetChange> changeInterface;
    DynamicAccessor* accessor;
    HROW currentRow = 0;
    std::unique_ptr<DynamicAccessor> ownedAccessor;
};

}  // namespace tarvel
