#include "bench_rowset.h"

#include <cstring>
#include <string>

namespace tarvel::bench {

const WCHAR kTypicalPath[] =
    TARVEL_UTF16("C:\\Users\\ann\\Documents\\Projects\\2024\\Quarterly Report (final).docx");

namespace {

constexpr size_t kPathUnits = sizeof(kTypicalPath) / sizeof(WCHAR) - 1;

}  // namespace

BenchRowset* BenchRowset::create(size_t rows, size_t columns, DBLENGTH columnSize) {
    return new BenchRowset(rows, columns, columnSize);
}

HRESULT BenchRowset::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IRowset)) {
        *ppv = static_cast<IRowset*>(this);
    } else if (IsEqualGUID(riid, IID_IAccessor)) {
        *ppv = static_cast<IAccessor*>(this);
    } else if (IsEqualGUID(riid, IID_IColumnsInfo)) {
        *ppv = static_cast<IColumnsInfo*>(this);
    } else if (IsEqualGUID(riid, IID_IRowsetInfo)) {
        *ppv = static_cast<IRowsetInfo*>(this);
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG BenchRowset::Release() {
    const ULONG left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT BenchRowset::GetNextRows(HCHAPTER, DBROWOFFSET lRowsOffset, DBROWCOUNT cRows,
                                 DBCOUNTITEM* pcRowsObtained, HROW** prghRows) {
    *pcRowsObtained = 0;
    if (cRows != 1 || lRowsOffset != 0 || *prghRows == nullptr) {
        return E_NOTIMPL;
    }
    if (cursor_ >= rows_) {
        return DB_S_ENDOFROWSET;
    }
    ++cursor_;
    ++held_;
    (*prghRows)[0] = nextRow_++;
    *pcRowsObtained = 1;
    return S_OK;
}

HRESULT BenchRowset::GetData(HROW hRow, HACCESSOR hAccessor, void* pData) {
    if (hRow == 0 || hRow >= nextRow_ || hAccessor == 0 || hAccessor > accessors_.size()) {
        return DB_E_BADROWHANDLE;
    }
    auto* data = static_cast<BYTE*>(pData);
    for (const DBBINDING& binding : accessors_[hAccessor - 1]) {
        DBSTATUS status = DBSTATUS_S_OK;
        const size_t room = binding.cbMaxLen / sizeof(WCHAR);
        size_t copied = kPathUnits;
        if (room == 0) {
            status = DBSTATUS_S_TRUNCATED;
            copied = 0;
        } else {
            if (copied > room - 1) {
                copied = room - 1;
                status = DBSTATUS_S_TRUNCATED;
            }
            std::memcpy(data + binding.obValue, kTypicalPath, copied * sizeof(WCHAR));
            std::memset(data + binding.obValue + copied * sizeof(WCHAR), 0, sizeof(WCHAR));
        }
        const DBLENGTH length = kPathUnits * sizeof(WCHAR);
        if ((binding.dwPart & DBPART_LENGTH) != 0) {
            std::memcpy(data + binding.obLength, &length, sizeof length);
        }
        if ((binding.dwPart & DBPART_STATUS) != 0) {
            std::memcpy(data + binding.obStatus, &status, sizeof status);
        }
    }
    return S_OK;
}

HRESULT BenchRowset::ReleaseRows(DBCOUNTITEM cRows, const HROW rghRows[], DBROWOPTIONS[],
                                 DBREFCOUNT[], DBROWSTATUS[]) {
    for (DBCOUNTITEM i = 0; i < cRows; ++i) {
        if (rghRows[i] == 0 || rghRows[i] >= nextRow_ || held_ == 0) {
            return DB_E_ERRORSOCCURRED;
        }
        --held_;
    }
    return S_OK;
}

HRESULT BenchRowset::RestartPosition(HCHAPTER) {
    cursor_ = 0;
    return S_OK;
}

HRESULT BenchRowset::CreateAccessor(DBACCESSORFLAGS, DBCOUNTITEM cBindings,
                                    const DBBINDING rgBindings[], DBLENGTH, HACCESSOR* phAccessor,
                                    DBBINDSTATUS[]) {
    for (DBCOUNTITEM k = 0; k < cBindings; ++k) {
        if (rgBindings[k].wType != DBTYPE_WSTR) {
            return DB_E_ERRORSOCCURRED;
        }
    }
    accessors_.emplace_back(rgBindings, rgBindings + cBindings);
    *phAccessor = accessors_.size();
    return S_OK;
}

HRESULT BenchRowset::ReleaseAccessor(HACCESSOR hAccessor, DBREFCOUNT*) {
    if (hAccessor == 0 || hAccessor > accessors_.size() || accessors_[hAccessor - 1].empty()) {
        return DB_E_BADACCESSORHANDLE;
    }
    accessors_[hAccessor - 1].clear();
    return S_OK;
}

HRESULT BenchRowset::GetColumnInfo(DBORDINAL* pcColumns, DBCOLUMNINFO** prgInfo,
                                   OLECHAR** ppStringsBuffer) {
    const WCHAR name[] = TARVEL_UTF16("System.ItemPathDisplay");
    const size_t nameUnits = sizeof name / sizeof(WCHAR);
    auto* names = static_cast<OLECHAR*>(CoTaskMemAlloc(nameUnits * sizeof(OLECHAR)));
    auto* info = static_cast<DBCOLUMNINFO*>(CoTaskMemAlloc(columns_ * sizeof(DBCOLUMNINFO)));
    if (names == nullptr || info == nullptr) {
        CoTaskMemFree(names);
        CoTaskMemFree(info);
        return E_OUTOFMEMORY;
    }
    std::memcpy(names, name, sizeof name);
    std::memset(info, 0, columns_ * sizeof(DBCOLUMNINFO));
    for (size_t i = 0; i < columns_; ++i) {
        info[i].pwszName = names;
        info[i].iOrdinal = i + 1;
        info[i].wType = DBTYPE_WSTR;
        info[i].ulColumnSize = columnSize_;
        info[i].columnid.eKind = DBKIND_NAME;
        info[i].columnid.uName.pwszName = names;
    }
    *pcColumns = columns_;
    *prgInfo = info;
    *ppStringsBuffer = names;
    return S_OK;
}

}  // namespace tarvel::bench
