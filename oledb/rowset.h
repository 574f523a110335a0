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

    // Restarts the rowset and fetches its first row.
    HRESULT moveToFirstRow();
    // Frees the current row and fetches the next one. S_OK when a row was fetched; columns that
    // could not be read then carry an error status.
    HRESULT moveToNextRow();
    HRESULT fetchRow();
    void releaseRow();
    void close();

    ComPtr<IRowset> rowsetInterface;
    ComPtr<IRowsetChange> changeInterface;
    DynamicAccessor* accessor;
    HROW currentRow = 0;
    std::unique_ptr<DynamicAccessor> ownedAccessor;
};

}  // namespace tarvel
