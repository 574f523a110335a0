#include "dynamic_accessor.h"

#include <cstring>

#include "common/com_ptr.h"
#include "module_allocator.h"

namespace tarvel {

static_assert(sizeof(DBLENGTH) == sizeof(size_t) && sizeof(DBBYTEOFFSET) == sizeof(size_t));

namespace {

constexpr DBPROPID kStreamProperties[2] = {DBPROP_ISequentialStream, DBPROP_IStream};

// The bytes a provider writes for a value of a fixed-length type whatever the binding's
// cbMaxLen says; 0 for types whose length varies.
DBLENGTH fixedSize(DBTYPE type) {
    if ((type & DBTYPE_BYREF) != 0) {
        return sizeof(void*);
    }
    if ((type & DBTYPE_VECTOR) != 0) {
        return sizeof(DBVECTOR);
    }
    if ((type & DBTYPE_ARRAY) != 0) {
        return sizeof(void*);  // a SAFEARRAY pointer
    }
    switch (type) {
        case DBTYPE_I1:
        case DBTYPE_UI1:
            return 1;
        case DBTYPE_I2:
        case DBTYPE_UI2:
        case DBTYPE_BOOL:
            return 2;
        case DBTYPE_I4:
        case DBTYPE_UI4:
        case DBTYPE_R4:
        case DBTYPE_ERROR:
            return 4;
        case DBTYPE_DBDATE:
        case DBTYPE_DBTIME:
            return 6;
        case DBTYPE_I8:
        case DBTYPE_UI8:
        case DBTYPE_R8:
        case DBTYPE_CY:
        case DBTYPE_DATE:
        case DBTYPE_FILETIME:
        case DBTYPE_BSTR:
        case DBTYPE_IDISPATCH:
        case DBTYPE_IUNKNOWN:
        case DBTYPE_HCHAPTER:
            return 8;
        case DBTYPE_DECIMAL:
        case DBTYPE_GUID:
        case DBTYPE_DBTIMESTAMP:
            return 16;
        case DBTYPE_NUMERIC:
            return 19;
        case DBTYPE_VARIANT:
        case DBTYPE_PROPVARIANT:
            return 24;
        default:
            return 0;
    }
}

// Size of the value field of a column bound as reported. Strings get room for their
// terminator; a fixed-length type never gets less than the provider will write.
DBLENGTH plainSize(DBTYPE type, DBLENGTH reported) {
    DBLENGTH size = reported;
    if (type == DBTYPE_STR) {
        size = addSaturating(reported, 1);
    } else if (type == DBTYPE_WSTR) {
        size = reported > (~DBLENGTH(0) - 2) / 2 ? ~DBLENGTH(0) : reported * 2 + 2;
    }
    const DBLENGTH fixed = fixedSize(type);
    return size < fixed ? fixed : size;
}

DBOBJECT* newObjectDescription(const IID& iid) {
    auto* object = static_cast<DBOBJECT*>(ModuleAllocator::allocate(sizeof(DBOBJECT)));
    if (object != nullptr) {
        object->dwFlags = STGM_READ;
        object->iid = iid;
    }
    return object;
}

void freeObjectDescriptions(ColumnBinding* bindings, DBCOUNTITEM count) {
    for (DBCOUNTITEM i = 0; i < count; ++i) {
        DBOBJECT* object = bindings[i].pObject;
        bindings[i].pObject = nullptr;
        ModuleAllocator::release(object);
    }
}

}  // namespace

DynamicAccessor::DynamicAccessor(BlobHandling handling, DBLENGTH threshold)
    : blobHandling(handling), blobThreshold(threshold) {}

DynamicAccessor::~DynamicAccessor() {
    clearColumns();
    accessorSlots.reset();
}

HRESULT DynamicAccessor::bindColumns(IUnknown* rowset) {
    if (rowset == nullptr) {
        return E_FAIL;
    }
    ComPtr<IAccessor> accessor;
    HRESULT hr = query(rowset, accessor);
    if (FAILED(hr)) {
        return hr;
    }
    if (columnInfo) {
        overrideColumnInfo = true;
    } else {
        ComPtr<IColumnsInfo> columns;
        hr = query(rowset, columns);
        if (FAILED(hr)) {
            return hr;
        }
        hr = columns->GetColumnInfo(&columnCount, columnInfo.put(), columnNames.put());
        overrideColumnInfo = false;
        columns.reset();
        if (FAILED(hr)) {
            return hr;
        }
    }
    if (columnCount != 0 && !columnInfo) {
        return E_UNEXPECTED;  // a provider that reports columns must describe them
    }

    ModuleBlock<ColumnBinding> bindings;
    if (!bindings.allocate(columnCount)) {
        return E_OUTOFMEMORY;
    }
    std::memset(bindings.get(), 0, columnCount * sizeof(ColumnBinding));
    try {
        hr = bindAllColumns(rowset, accessor.get(), bindings.get());
    } catch (const HResultException& failure) {
        freeObjectDescriptions(bindings.get(), columnCount);
        columnFlags.reset();
        hr = failure.hr;
    }
    return hr;
}

HRESULT DynamicAccessor::bindAllColumns(IUnknown* rowset, IAccessor* accessor,
                                        ColumnBinding* bindings) {
    if (!columnFlags.allocate(columnCount)) {
        return E_OUTOFMEMORY;
    }
    HRESULT hr = S_OK;
    DBBYTEOFFSET runningOffset = 0;
    const IID* streamIid = nullptr;
    for (DBORDINAL i = 0; i < columnCount && SUCCEEDED(hr); ++i) {
        columnFlags[i] = 0;
        hr = bindColumn(rowset, i, &runningOffset, &bindings[i], &streamIid);
    }
    if (SUCCEEDED(hr) && !accessorSlots) {
        hr = allocateAccessorSlots(1);
        if (SUCCEEDED(hr)) {
            accessorSlots[0].autoFetch = true;
        }
    }
    if (SUCCEEDED(hr)) {
        if (!rowBuffer.allocate(runningOffset)) {
            hr = E_OUTOFMEMORY;
        } else {
            std::memset(rowBuffer.get(), 0, runningOffset);
        }
    }
    if (FAILED(hr)) {
        freeObjectDescriptions(bindings, columnCount);
    } else {
        hr = createRowAccessor(bindings, columnCount, &accessorSlots[0].handle, runningOffset,
                               accessor);
    }
    if (FAILED(hr)) {
        columnFlags.reset();
    } else {
        rowOwnsNothing = columnsOwnNothing();
    }
    return hr;
}

HRESULT DynamicAccessor::bindColumn(IUnknown* rowset, DBORDINAL index, DBBYTEOFFSET* runningOffset,
                                    ColumnBinding* binding, const IID** streamIid) {
    ColumnInfo& column = columnInfo[index];
    const DBTYPE reportedType = column.wType;
    const DBLENGTH reportedSize = column.ulColumnSize;
    const bool skipHandling = blobHandling == BlobHandling::Skip;
    const bool noStreams = blobHandling == BlobHandling::NoStreams;

    DBTYPE type = reportedType;
    DBLENGTH size = 8;
    size_t alignment = 8;
    DBOBJECT* object = nullptr;
    bool skipped = false;
    bool clientOwned = false;
    if (reportedType == DBTYPE_IUNKNOWN) {
        object = newObjectDescription(IID_IUnknown);
        if (object == nullptr) {
            return E_OUTOFMEMORY;
        }
    } else if (reportedSize <= blobThreshold) {
        size = plainSize(reportedType, reportedSize);
        alignment = columnAlignment(reportedType);
    } else if (noStreams) {
        type = DBTYPE(reportedType | DBTYPE_BYREF);
        clientOwned = true;
    } else if (skipHandling) {
        size = 0;
        skipped = true;
    } else {
        if (*streamIid == nullptr) {
            *streamIid = &chooseStreamInterface(rowset);
        }
        object = newObjectDescription(**streamIid);
        if (object == nullptr) {
            return E_OUTOFMEMORY;
        }
        type = DBTYPE_IUNKNOWN;
    }
    column.wType = type;
    column.ulColumnSize = size;

    const DBBYTEOFFSET value = skipped ? 0 : roundUpSaturating(*runningOffset, alignment);
    const DBBYTEOFFSET length =
        roundUpSaturating(skipped ? *runningOffset : addSaturating(value, size), 8);
    const DBBYTEOFFSET status = addSaturating(length, 8);
    fillBinding(binding, column.iOrdinal, type, size, column.bPrecision, column.bScale, value,
                length, status, object);
    if (clientOwned) {
        // The provider allocates the value, and the module owns and frees it.
        binding->dwMemOwner = DBMEMOWNER_CLIENTOWNED;
        columnFlags[index] = ClientOwnedReference;
    }
    if (skipped) {
        binding->dwPart &= ~DWORD(DBPART_VALUE);
        binding->obValue = 0;
        binding->dwMemOwner = DBMEMOWNER_CLIENTOWNED;
    }
    // The record's pTypeInfo keeps the value offset; it is never used as a pointer.
    // NOLINTNEXTLINE(performance-no-int-to-ptr): an offset stored, not an address made
    column.pTypeInfo = reinterpret_cast<ITypeInfo*>(static_cast<uintptr_t>(value));
    *runningOffset = addSaturating(status, 4);
    return S_OK;
}

const IID& DynamicAccessor::chooseStreamInterface(IUnknown* rowset) {
    LONG supported[2] = {0, 0};
    getRowsetProperties(rowset, kStreamProperties, supported);
    if (supported[0] != 0) {
        return IID_ISequentialStream;
    }
    if (supported[1] != 0) {
        return IID_IStream;
    }
    return IID_ISequentialStream;
}

size_t DynamicAccessor::columnAlignment(DBTYPE type) {
    if ((type & (DBTYPE_BYREF | DBTYPE_ARRAY | DBTYPE_VECTOR)) != 0) {
        return 8;
    }
    switch (type) {
        case DBTYPE_I1:
        case DBTYPE_UI1:
        case DBTYPE_I8:
        case DBTYPE_UI8:
        case DBTYPE_BYTES:
        case DBTYPE_STR:
        case DBTYPE_NUMERIC:
            return 1;
        case DBTYPE_I2:
        case DBTYPE_BOOL:
        case DBTYPE_UI2:
        case DBTYPE_WSTR:
        case DBTYPE_DBDATE:
        case DBTYPE_DBTIME:
            return 2;
        case DBTYPE_I4:
        case DBTYPE_R4:
        case DBTYPE_ERROR:
        case DBTYPE_UI4:
        case DBTYPE_GUID:
        case DBTYPE_DBTIMESTAMP:
            return 4;
        default:
            return 8;
    }
}

HRESULT DynamicAccessor::getRowsetProperties(IUnknown* rowset, const DBPROPID propertyIds[2],
                                             LONG values[2]) {
    if (rowset == nullptr || values == nullptr) {
        return E_FAIL;
    }
    ComPtr<IRowsetInfo> info;
    HRESULT hr = query(rowset, info);
    values[0] = 0;
    values[1] = 0;
    if (FAILED(hr)) {
        return hr;
    }
    DBPROPID ids[2] = {propertyIds[0], propertyIds[1]};
    DBPROPIDSET wanted{ids, 2, DBPROPSET_ROWSET};
    // Every set handed over goes with the holder, also after DB_E_ERRORSOCCURRED (which still
    // hands them over) and for sets beyond the one asked for.
    PropertySets sets;
    hr = info->GetProperties(1, &wanted, sets.putCount(), sets.putSets());
    if (SUCCEEDED(hr) && sets && sets.count() > 0 && sets[0].rgProperties != nullptr) {
        for (ULONG i = 0; i < 2 && i < sets[0].cProperties; ++i) {
            // An unsupported property comes back VT_EMPTY, its value bytes undefined.
            const VARIANT& value = sets[0].rgProperties[i].vValue;
            values[i] = V_VT(&value) == VT_BOOL ? V_BOOL(&value) : 0;
        }
    }
    return hr;
}

void DynamicAccessor::fillBinding(ColumnBinding* binding, DBORDINAL ordinal, DBTYPE type,
                                  DBLENGTH maxLength, BYTE precision, BYTE scale,
                                  DBBYTEOFFSET valueOffset, DBBYTEOFFSET lengthOffset,
                                  DBBYTEOFFSET statusOffset, DBOBJECT* object) {
    if (binding == nullptr) {
        throw HResultException{E_FAIL};
    }
    std::memset(binding, 0, sizeof(*binding));
    binding->iOrdinal = ordinal;
    binding->wType = type;
    binding->cbMaxLen = maxLength;
    binding->bPrecision = precision;
    binding->bScale = scale;
    binding->obValue = valueOffset;
    binding->dwPart = DBPART_VALUE;
    if (lengthOffset != 0) {
        binding->obLength = lengthOffset;
        binding->dwPart |= DBPART_LENGTH;
    }
    if (statusOffset != 0) {
        binding->obStatus = statusOffset;
        binding->dwPart |= DBPART_STATUS;
    }
    binding->dwMemOwner =
        (type & DBTYPE_BYREF) != 0 ? DBMEMOWNER_PROVIDEROWNED : DBMEMOWNER_CLIENTOWNED;
    binding->pObject = object;
    binding->eParamIO = DBPARAMIO_NOTPARAM;
}

HRESULT DynamicAccessor::createRowAccessor(ColumnBinding* bindings, DBCOUNTITEM count,
                                           HACCESSOR* handle, DBLENGTH rowSize,
                                           IAccessor* accessor) {
    if (bindings == nullptr || handle == nullptr || accessor == nullptr) {
        return E_FAIL;
    }
    // Without bindings there is nothing to tell a parameter accessor by: a row accessor.
    const DBACCESSORFLAGS flags = count != 0 && bindings[0].eParamIO != DBPARAMIO_NOTPARAM
                                      ? DBACCESSOR_PARAMETERDATA
                                      : DBACCESSOR_ROWDATA;
    const HRESULT hr = accessor->CreateAccessor(flags, count, bindings, rowSize, handle, nullptr);
    freeObjectDescriptions(bindings, count);
    return hr;
}

HRESULT DynamicAccessor::allocateAccessorSlots(ULONG count) {
    if (!accessorSlots.allocate(count)) {
        return E_OUTOFMEMORY;
    }
    for (ULONG i = 0; i < count; ++i) {
        accessorSlots[i].handle = 0;
        accessorSlots[i].autoFetch = false;
    }
    accessorSlotCount = count;
    return S_OK;
}

bool DynamicAccessor::findColumn(DBORDINAL ordinal, DBORDINAL* index) const {
    if (!columnInfo || columnCount == 0) {
        return false;
    }
    if (overrideColumnInfo) {
        for (DBORDINAL i = 0; i < columnCount; ++i) {
            if (columnInfo[i].iOrdinal == ordinal) {
                *index = i;
                return true;
            }
        }
        return false;
    }
    const DBORDINAL first = columnInfo[0].iOrdinal;
    if (ordinal < first || ordinal - first >= columnCount) {
        return false;
    }
    *index = ordinal - first;
    return true;
}

bool DynamicAccessor::getStatus(DBORDINAL ordinal, DBSTATUS* status) const {
    DBORDINAL index = 0;
    if (!rowBuffer || !findColumn(ordinal, &index)) {
        return false;
    }
    *status = statusAt(index);
    return true;
}

bool DynamicAccessor::getType(DBORDINAL ordinal, DBTYPE* type) const {
    DBORDINAL index = 0;
    if (!findColumn(ordinal, &index)) {
        return false;
    }
    *type = typeAt(index);
    return true;
}

void* DynamicAccessor::getValue(DBORDINAL ordinal) const {
    DBORDINAL index = 0;
    if (!rowBuffer || !findColumn(ordinal, &index)) {
        return nullptr;
    }
    return valueAt(index);
}

DBBYTEOFFSET DynamicAccessor::statusAfterPrevious(DBORDINAL index) const {
    // Only a column without a value field can have value offset 0 after the first column.
    DBORDINAL first = index;
    while (first > 0 && valueOffset(first) == 0) {
        --first;
    }
    DBBYTEOFFSET status = statusOffset(first);
    for (DBORDINAL i = first + 1; i <= index; ++i) {
        status = addSaturating(roundUpSaturating(addSaturating(status, 4), 8), 8);
    }
    return status;
}

}  // namespace tarvel
