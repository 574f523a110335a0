#include <cstring>

#include "table_rowset.h"

namespace tarvel::service {

// ---- IColumnsInfo

HRESULT TableRowset::GetColumnInfo(DBORDINAL* pcColumns, DBCOLUMNINFO** prgInfo,
                                   OLECHAR** ppStringsBuffer) {
    if (pcColumns == nullptr || prgInfo == nullptr || ppStringsBuffer == nullptr) {
        return E_INVALIDARG;
    }
    *pcColumns = 0;
    *prgInfo = nullptr;
    *ppStringsBuffer = nullptr;
    const std::vector<TableColumn>& columns = table_->columns;
    if (columns.empty()) {
        return S_OK;
    }
    size_t units = 0;
    for (const TableColumn& column : columns) {
        units += column.name.size() + 1;
    }
    auto* names = static_cast<OLECHAR*>(CoTaskMemAlloc(units * sizeof(OLECHAR)));
    if (names == nullptr) {
        return E_OUTOFMEMORY;
    }
    auto* info = static_cast<DBCOLUMNINFO*>(CoTaskMemAlloc(columns.size() * sizeof(DBCOLUMNINFO)));
    if (info == nullptr) {
        CoTaskMemFree(names);
        return E_OUTOFMEMORY;
    }
    std::memset(info, 0, columns.size() * sizeof(DBCOLUMNINFO));
    OLECHAR* next = names;
    for (size_t i = 0; i < columns.size(); ++i) {
        const TableColumn& column = columns[i];
        std::memcpy(next, column.name.c_str(), (column.name.size() + 1) * sizeof(OLECHAR));
        info[i].pwszName = column.name.empty() ? nullptr : next;
        info[i].iOrdinal = column.ordinal;
        info[i].dwFlags = column.flags;
        info[i].ulColumnSize = column.size;
        info[i].wType = column.type;
        info[i].bPrecision = column.precision;
        info[i].bScale = column.scale;
        info[i].columnid.eKind = DBKIND_NAME;
        info[i].columnid.uName.pwszName = info[i].pwszName;
        next += column.name.size() + 1;
    }
    *pcColumns = columns.size();
    *prgInfo = info;
    *ppStringsBuffer = names;
    return S_OK;
}

// ---- IRowsetInfo

HRESULT TableRowset::GetProperties(const ULONG cPropertyIDSets,
                                   const DBPROPIDSET rgPropertyIDSets[], ULONG* pcPropertySets,
                                   DBPROPSET** prgPropertySets) {
    if (pcPropertySets == nullptr || prgPropertySets == nullptr ||
        (cPropertyIDSets != 0 && rgPropertyIDSets == nullptr)) {
        return E_INVALIDARG;
    }
    *pcPropertySets = 0;
    *prgPropertySets = nullptr;

    // The ids asked for per set; no set asked for means every property of the rowset.
    std::vector<std::pair<GUID, std::vector<DBPROPID>>> wanted;
    if (cPropertyIDSets == 0) {
        std::vector<DBPROPID> all;
        for (const auto& [id, value] : table_->properties) {
            all.push_back(id);
        }
        wanted.emplace_back(DBPROPSET_ROWSET, all);
    }
    for (ULONG s = 0; s < cPropertyIDSets; ++s) {
        const DBPROPIDSET& set = rgPropertyIDSets[s];
        wanted.emplace_back(
            set.guidPropertySet,
            std::vector<DBPROPID>(set.rgPropertyIDs, set.rgPropertyIDs + set.cPropertyIDs));
    }
    auto* sets = static_cast<DBPROPSET*>(CoTaskMemAlloc(wanted.size() * sizeof(DBPROPSET)));
    if (sets == nullptr) {
        return E_OUTOFMEMORY;
    }
    size_t supported = 0;
    size_t asked = 0;
    for (size_t s = 0; s < wanted.size(); ++s) {
        const std::vector<DBPROPID>& ids = wanted[s].second;
        sets[s].guidPropertySet = wanted[s].first;
        sets[s].cProperties = ULONG(ids.size());
        sets[s].rgProperties = nullptr;
        if (ids.empty()) {
            continue;
        }
        auto* properties = static_cast<DBPROP*>(CoTaskMemAlloc(ids.size() * sizeof(DBPROP)));
        if (properties == nullptr) {
            for (size_t t = 0; t < s; ++t) {
                CoTaskMemFree(sets[t].rgProperties);
            }
            CoTaskMemFree(sets);
            return E_OUTOFMEMORY;
        }
        std::memset(properties, 0, ids.size() * sizeof(DBPROP));
        for (size_t p = 0; p < ids.size(); ++p) {
            ++asked;
            properties[p].dwPropertyID = ids[p];
            const bool inRowset = IsEqualGUID(wanted[s].first, DBPROPSET_ROWSET);
            auto it = table_->properties.find(ids[p]);
            if (inRowset && it != table_->properties.end()) {
                ++supported;
                properties[p].dwStatus = DBPROPSTATUS_OK;
                properties[p].vValue.vt = VT_BOOL;
                properties[p].vValue.boolVal = it->second ? VARIANT_TRUE : VARIANT_FALSE;
            } else {
                properties[p].dwStatus = DBPROPSTATUS_NOTSUPPORTED;
            }
        }
        sets[s].rgProperties = properties;
    }
    *pcPropertySets = ULONG(wanted.size());
    *prgPropertySets = sets;
    if (supported == asked) {
        return S_OK;
    }
    return supported == 0 ? DB_E_ERRORSOCCURRED : DB_S_ERRORSOCCURRED;
}

}  // namespace tarvel::service
