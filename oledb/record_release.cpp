// Releasing what a DynamicAccessor holds: the values of the row in the row buffer, the accessor
// handles, the column data. Every step resets what it released, so each may run again
// without effect.
#include <cstring>

#include "common/com_ptr.h"
#include "dynamic_accessor.h"
#include "module_allocator.h"

namespace tarvel {

namespace {

// A field of the row buffer as the type it holds, which is often a pointer: the pointer's own
// bytes are meant.
// NOLINTBEGIN(bugprone-sizeof-expression)
template <class T>
T takeField(void* field) {
    T value;
    std::memcpy(&value, field, sizeof value);
    std::memset(field, 0, sizeof value);
    return value;
}

template <class T>
T readField(const void* field) {
    T value;
    std::memcpy(&value, field, sizeof value);
    return value;
}
// NOLINTEND(bugprone-sizeof-expression)

// Whether releaseColumnValue has anything to do for a value of the type.
bool ownsMemory(DBTYPE type) {
    if ((type & (DBTYPE_ARRAY | DBTYPE_VECTOR)) != 0) {
        return true;
    }
    switch (type) {
        case DBTYPE_BSTR:
        case DBTYPE_IDISPATCH:
        case DBTYPE_IUNKNOWN:
        case DBTYPE_VARIANT:
        case DBTYPE_PROPVARIANT:
        case DBTYPE_HCHAPTER:
            return true;
        default:
            return false;
    }
}

void releaseChapter(HCHAPTER chapter, IRowset* rowset) {
    if (rowset == nullptr) {
        return;
    }
    ComPtr<IChapteredRowset> chaptered;
    if (SUCCEEDED(query(rowset, chaptered)) && chaptered) {
        chaptered->ReleaseChapter(chapter, nullptr);
    }
}

}  // namespace

bool DynamicAccessor::columnsOwnNothing() const {
    for (DBORDINAL i = 0; i < columnCount; ++i) {
        const bool clientOwned = columnFlags && columnFlags[i] == ClientOwnedReference;
        if (hasValueField(i) && (clientOwned || ownsMemory(columnInfo[i].wType))) {
            return false;
        }
    }
    return true;
}

void DynamicAccessor::releaseEveryColumn(IRowset* rowset) {
    // No row can have been fetched into a buffer that was never allocated.
    if (!rowBuffer || !columnInfo) {
        return;
    }
    for (DBORDINAL i = 0; i < columnCount; ++i) {
        // A column bound without a value field has nothing to release; the field at its
        // offset belongs to another column.
        if (!hasValueField(i)) {
            continue;
        }
        BYTE* value = rowBuffer.get() + valueOffset(i);
        if (columnFlags && columnFlags[i] == ClientOwnedReference) {
            if (readField<DBSTATUS>(rowBuffer.get() + statusOffset(i)) == DBSTATUS_S_ISNULL) {
                continue;
            }
            if (void* block = takeField<void*>(value)) {
                CoTaskMemFree(block);
            }
            continue;
        }
        const DBTYPE type = columnInfo[i].wType;
        if (!ownsMemory(type)) {
            continue;  // numbers, dates, strings in the buffer: nothing to release
        }
        if (type == DBTYPE_IUNKNOWN || type == DBTYPE_IDISPATCH) {
            if (readField<DBSTATUS>(rowBuffer.get() + statusOffset(i)) == DBSTATUS_S_OK) {
                releaseColumnValue(type, value, rowset);
            }
            continue;
        }
        releaseColumnValue(type, value, rowset);
    }
}

void DynamicAccessor::releaseColumnValue(DBTYPE type, void* value, IRowset* rowset) {
    if (value == nullptr) {
        return;
    }
    // By reference, the field points at the provider's own SAFEARRAY pointer, which is not the
    // module's to destroy.
    if ((type & DBTYPE_ARRAY) != 0 && (type & DBTYPE_BYREF) == 0) {
        if (SAFEARRAY* array = readField<SAFEARRAY*>(value)) {
            takeField<SAFEARRAY*>(value);
            SafeArrayDestroy(array);
        }
    } else if (type == DBTYPE_BSTR) {
        SysFreeString(takeField<BSTR>(value));
    } else if (type == DBTYPE_IDISPATCH || type == DBTYPE_IUNKNOWN) {
        if (IUnknown* object = takeField<IUnknown*>(value)) {
            object->Release();
        }
    } else if (type == DBTYPE_VARIANT) {
        VariantClear(static_cast<VARIANT*>(value));
    } else if (type == DBTYPE_PROPVARIANT) {
        // Property values own strings, blobs and vectors as VARIANTs never do.
        PropVariantClear(static_cast<PROPVARIANT*>(value));
    } else if (type == DBTYPE_HCHAPTER) {
        if (const HCHAPTER chapter = takeField<HCHAPTER>(value)) {
            releaseChapter(chapter, rowset);
        }
    }
    if ((type & DBTYPE_VECTOR) != 0 && (type & DBTYPE_BYREF) == 0) {
        auto* vector = static_cast<BYTE*>(value);
        CoTaskMemFree(takeField<void*>(vector + offsetof(DBVECTOR, ptr)));
    }
}

HRESULT DynamicAccessor::releaseAccessorHandles(IRowset* rowset) {
    if (rowset == nullptr) {
        return E_FAIL;
    }
    if (accessorSlotCount == 0) {
        return S_OK;
    }
    ComPtr<IAccessor> accessor;
    const HRESULT hr = query(rowset, accessor);
    if (SUCCEEDED(hr)) {
        if (!accessorSlots) {
            return E_FAIL;
        }
        for (ULONG i = 0; i < accessorSlotCount; ++i) {
            accessor->ReleaseAccessor(accessorSlots[i].handle, nullptr);
        }
    }
    accessorSlotCount = 0;
    accessorSlots.reset();
    accessor.reset();
    return hr;
}

void DynamicAccessor::clearColumns() {
    rowOwnsNothing = false;
    columnInfo.reset();
    columnNames.reset();
    rowBuffer.reset();
    columnFlags.reset();
    columnCount = 0;
}

}  // namespace tarvel
