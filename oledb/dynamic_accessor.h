// Binds every column of an executed rowset at run time into one row buffer and answers, for a
// column ordinal, the column's bound type and where its status and value lie.
#pragma once

#include <cstdint>
#include <cstring>

#include "common/com_ptr.h"
#include "module_allocator.h"
#include "platform.h"

namespace tarvel {

namespace testing {
class DynamicAccessorPeer;
}  // namespace testing

// The column description as the provider gives it; the binding pass rewrites ulColumnSize
// (bound size), wType (bound type) and pTypeInfo (value offset in the row buffer).
using ColumnInfo = DBCOLUMNINFO;
using ColumnBinding = DBBINDING;

// How a long column (reported size above the threshold) is bound. Values other than
// NoStreams and Skip act as Default.
enum class BlobHandling : uint32_t {
    Default = 0,    // as a storage object: a stream interface in the value field
    NoStreams = 1,  // by reference: the provider allocates the value for the module
    Skip = 2,       // length and status only
};

// Column flag: the value field holds a pointer to task-allocator memory the module frees.
constexpr BYTE ClientOwnedReference = 1;

struct AccessorSlot {
    HACCESSOR handle;
    bool autoFetch;
};

// Raised only by the null-binding guard of fillBinding, which the binding pass never trips.
struct HResultException {
    HRESULT hr;
};

class DynamicAccessor {
public:
    DynamicAccessor(BlobHandling blobHandling, DBLENGTH blobThreshold);
    DynamicAccessor(const DynamicAccessor&) = delete;
    DynamicAccessor& operator=(const DynamicAccessor&) = delete;
    // Frees what the accessor still owns; accessor handles need the rowset and are released
    // by releaseAccessorHandles.
    ~DynamicAccessor();

    HRESULT bindColumns(IUnknown* rowset);

    // Fetches the row's values into the row buffer through every slot set to fetch at each
    // move, in slot order: S_OK when no slot is, else the last GetData's answer, or the first
    // failure, after which later slots are not fetched. A row whose columns could not all be
    // read (DB_S_ERRORSOCCURRED, DB_E_ERRORSOCCURRED) is fetched: each column's status says which.
    HRESULT fetchRow(IRowset* rowset, HROW row) {
        HRESULT result = S_OK;
        const AccessorSlot* slot = accessorSlots.get();
        const AccessorSlot* const end = slot == nullptr ? slot : slot + accessorSlotCount;
        BYTE* const buffer = rowBuffer.get();
        for (; slot != end; ++slot) {
            if (!slot->autoFetch) {
                continue;
            }
            result = rowset->GetData(row, slot->handle, buffer);
            if (result != S_OK) [[unlikely]] {
                if (result == DB_S_ERRORSOCCURRED || result == DB_E_ERRORSOCCURRED) {
                    result = S_OK;
                } else if (FAILED(result)) {
                    return result;
                }
            }
        }
        return result;
    }

    // Reads by ordinal.
    DBORDINAL getColumnCount() const { return columnCount; }
    bool findColumn(DBORDINAL ordinal, DBORDINAL* index) const;
    bool getStatus(DBORDINAL ordinal, DBSTATUS* status) const;
    bool getType(DBORDINAL ordinal, DBTYPE* type) const;
    // Null when the ordinal is not found or the column has no value field.
    void* getValue(DBORDINAL ordinal) const;

    // Reads by column index, as findColumn gives it; the row buffer must exist.
    bool hasRowBuffer() const { return static_cast<bool>(rowBuffer); }
    DBSTATUS statusAt(DBORDINAL index) const {
        DBSTATUS status;
        std::memcpy(&status, rowBuffer.get() + boundStatusOffset(index), sizeof status);
        return status;
    }
    DBTYPE typeAt(DBORDINAL index) const { return columnInfo[index].wType; }
    // Null for a column without a value field.
    void* valueAt(DBORDINAL index) const {
        return hasValueField(index) ? rowBuffer.get() + valueOffset(index) : nullptr;
    }
    // The bytes of the value field.
    DBLENGTH valueSizeAt(DBORDINAL index) const { return columnInfo[index].ulColumnSize; }
    // The row buffer, which stays where it is until the columns are cleared.
    const BYTE* rowBufferForReading() const { return rowBuffer.get(); }

    // Where a column's fields lie in the row buffer.
    DBBYTEOFFSET valueOffset(DBORDINAL index) const {
        return reinterpret_cast<uintptr_t>(columnInfo[index].pTypeInfo);
    }
    DBBYTEOFFSET lengthOffset(DBORDINAL index) const {
        return roundUpSaturating(addSaturating(valueOffset(index), columnInfo[index].ulColumnSize),
                                 8);
    }
    DBBYTEOFFSET statusOffset(DBORDINAL index) const {
        return addSaturating(lengthOffset(index), 8);
    }

    // Record memory release. A bound accessor none of whose columns owns memory has nothing
    // to release for a row, and says so at once.
    void releaseRowValues(IRowset* rowset) {
        if (!rowOwnsNothing) {
            releaseEveryColumn(rowset);
        }
    }
    static void releaseColumnValue(DBTYPE type, void* value, IRowset* rowset);
    HRESULT releaseAccessorHandles(IRowset* rowset);
    void clearColumns();

private:
    // Tests arrange and read what no operation of the module does or shows, and reach the
    // guards of the binding pass's steps that the pass itself never trips.
    friend class testing::DynamicAccessorPeer;

    // The steps of the binding pass.
    HRESULT bindAllColumns(IUnknown* rowset, IAccessor* accessor, ColumnBinding* bindings);
    HRESULT bindColumn(IUnknown* rowset, DBORDINAL index, DBBYTEOFFSET* runningOffset,
                       ColumnBinding* binding, const IID** streamIid);
    static size_t columnAlignment(DBTYPE type);
    static const IID& chooseStreamInterface(IUnknown* rowset);
    static HRESULT getRowsetProperties(IUnknown* rowset, const DBPROPID propertyIds[2],
                                       LONG values[2]);
    static void fillBinding(ColumnBinding* binding, DBORDINAL ordinal, DBTYPE type,
                            DBLENGTH maxLength, BYTE precision, BYTE scale,
                            DBBYTEOFFSET valueOffset, DBBYTEOFFSET lengthOffset,
                            DBBYTEOFFSET statusOffset, DBOBJECT* object);
    static HRESULT createRowAccessor(ColumnBinding* bindings, DBCOUNTITEM count, HACCESSOR* handle,
                                     DBLENGTH rowSize, IAccessor* accessor);
    HRESULT allocateAccessorSlots(ULONG count);
    // Where the provider writes the column's status: the layout rule, except for a column
    // bound without a value field after the first, whose fields follow the previous column.
    DBBYTEOFFSET boundStatusOffset(DBORDINAL index) const {
        return index == 0 || valueOffset(index) != 0 ? statusOffset(index)
                                                     : statusAfterPrevious(index);
    }
    DBBYTEOFFSET statusAfterPrevious(DBORDINAL index) const;
    bool hasValueField(DBORDINAL index) const { return columnInfo[index].ulColumnSize != 0; }
    void releaseEveryColumn(IRowset* rowset);
    // Whether no column of the bound row owns memory: decided once, when a pass succeeds.
    bool columnsOwnNothing() const;

    ModuleBlock<AccessorSlot> accessorSlots;
    ULONG accessorSlotCount = 0;
    ModuleBlock<BYTE> rowBuffer;
    DBORDINAL columnCount = 0;
    ModuleBlock<BYTE> columnFlags;
    TaskMemPtr<ColumnInfo> columnInfo;
    TaskMemPtr<OLECHAR> columnNames;
    bool overrideColumnInfo = false;
    bool rowOwnsNothing = false;
    BlobHandling blobHandling;
    DBLENGTH blobThreshold;
};

}  // namespace tarvel
