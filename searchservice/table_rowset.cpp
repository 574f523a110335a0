#include "table_rowset.h"

#include <algorithm>
#include <cstring>

namespace tarvel::service {

namespace {

bool isErrorStatus(DBSTATUS status) {
    return status != DBSTATUS_S_OK && status != DBSTATUS_S_ISNULL &&
           status != DBSTATUS_S_TRUNCATED && status != DBSTATUS_S_DEFAULT;
}

}  // namespace

DBSTATUS writeWideText(const WString& text, DBLENGTH maxLength, BYTE* field, DBLENGTH* length) {
    *length = text.size() * sizeof(WCHAR);
    const size_t room = maxLength / sizeof(WCHAR);
    if (room == 0) {
        return DBSTATUS_S_TRUNCATED;
    }
    const size_t copied = std::min(text.size(), room - 1);
    std::memcpy(field, text.data(), copied * sizeof(WCHAR));
    const WCHAR terminator = 0;
    std::memcpy(field + copied * sizeof(WCHAR), &terminator, sizeof terminator);
    return copied < text.size() ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
}

TableRowset::TableRowset(std::shared_ptr<const Table> table) : table_(std::move(table)) {}

const Cell& TableRowset::cellAt(const HeldRow& row, size_t column) const {
    static const Cell kNull;
    return column < row.cells.size() ? row.cells[column] : kNull;
}

bool TableRowset::nextRow(Row& cells) {
    if (sourceEnded_) {
        return false;
    }
    if (!source_ && table_->rows) {
        source_ = table_->rows();
    }
    cells.clear();
    if (!source_ || !source_->next(cells)) {
        // The rows are over: what their source held goes now, not when the rowset goes.
        source_.reset();
        sourceEnded_ = true;
        return false;
    }
    return true;
}

const TableColumn* TableRowset::columnOf(DBORDINAL ordinal, size_t* index) const {
    for (size_t i = 0; i < table_->columns.size(); ++i) {
        if (table_->columns[i].ordinal == ordinal) {
            *index = i;
            return &table_->columns[i];
        }
    }
    return nullptr;
}

const Cell* TableRowset::heldCell(HROW row, DBORDINAL ordinal) const {
    auto held = rows_.find(row);
    size_t column = 0;
    if (held == rows_.end() || columnOf(ordinal, &column) == nullptr) {
        return nullptr;
    }
    return &cellAt(held->second, column);
}

DBSTATUS TableRowset::convertValue(const DBBINDING& binding, const DBOBJECT*, const Cell& cell,
                                   BYTE* value, DBLENGTH* length, HROW) {
    if (cell.kind != Cell::Kind::Text) {
        return DBSTATUS_E_CANTCONVERTVALUE;
    }
    if (binding.wType == DBTYPE_WSTR) {
        return writeWideText(cell.text, binding.cbMaxLen, value, length);
    }
    if (binding.wType != DBTYPE_BSTR) {
        return DBSTATUS_E_CANTCONVERTVALUE;
    }
    const BSTR text = SysAllocStringLen(cell.text.data(), UINT(cell.text.size()));
    if (text == nullptr) {
        return DBSTATUS_E_CANTCREATE;
    }
    std::memcpy(value, &text, sizeof text);
    *length = sizeof text;
    return DBSTATUS_S_OK;
}

DBLENGTH TableRowset::lengthOf(const Cell& cell) const {
    return cell.kind == Cell::Kind::Text ? cell.text.size() * sizeof(WCHAR) : 0;
}

// ---- IRowset

HRESULT TableRowset::AddRefRows(DBCOUNTITEM cRows, const HROW rghRows[], DBREFCOUNT rgRefCounts[],
                                DBROWSTATUS rgRowStatus[]) {
    DBCOUNTITEM bad = 0;
    for (DBCOUNTITEM i = 0; i < cRows; ++i) {
        auto it = rows_.find(rghRows[i]);
        const bool found = it != rows_.end();
        if (found) {
            ++it->second.references;
        } else {
            ++bad;
        }
        if (rgRefCounts != nullptr) {
            rgRefCounts[i] = found ? it->second.references : 0;
        }
        if (rgRowStatus != nullptr) {
            rgRowStatus[i] = found ? DBROWSTATUS_S_OK : DBROWSTATUS_E_INVALID;
        }
    }
    return bad == 0 ? S_OK : (bad == cRows ? DB_E_ERRORSOCCURRED : DB_S_ERRORSOCCURRED);
}

HRESULT TableRowset::GetData(HROW hRow, HACCESSOR hAccessor, void* pData) {
    auto row = rows_.find(hRow);
    if (row == rows_.end()) {
        return DB_E_BADROWHANDLE;
    }
    auto accessor = accessors_.find(hAccessor);
    if (accessor == accessors_.end()) {
        return DB_E_BADACCESSORHANDLE;
    }
    const std::vector<DBBINDING>& bindings = accessor->second.bindings;
    if (!bindings.empty() && pData == nullptr) {
        return E_INVALIDARG;
    }
    size_t errors = 0;
    for (size_t k = 0; k < bindings.size(); ++k) {
        size_t column = 0;
        columnOf(bindings[k].iOrdinal, &column);
        const Cell& cell = cellAt(row->second, column);
        const DBOBJECT* object =
            bindings[k].pObject != nullptr ? &accessor->second.objects[k] : nullptr;
        if (isErrorStatus(
                writeBinding(bindings[k], object, cell, static_cast<BYTE*>(pData), hRow))) {
            ++errors;
        }
    }
    if (errors == 0) {
        return S_OK;
    }
    return errors == bindings.size() ? DB_E_ERRORSOCCURRED : DB_S_ERRORSOCCURRED;
}

DBSTATUS TableRowset::writeBinding(const DBBINDING& binding, const DBOBJECT* object,
                                   const Cell& cell, BYTE* data, HROW row) {
    DBSTATUS status = DBSTATUS_S_OK;
    DBLENGTH length = 0;
    if (cell.kind == Cell::Kind::Null) {
        status = DBSTATUS_S_ISNULL;
    } else if (cell.status != DBSTATUS_S_OK) {
        status = cell.status;
    } else if ((binding.dwPart & DBPART_VALUE) != 0) {
        status = convertValue(binding, object, cell, data + binding.obValue, &length, row);
    } else {
        length = lengthOf(cell);
    }
    if ((binding.dwPart & DBPART_LENGTH) != 0) {
        std::memcpy(data + binding.obLength, &length, sizeof length);
    }
    if ((binding.dwPart & DBPART_STATUS) != 0) {
        std::memcpy(data + binding.obStatus, &status, sizeof status);
    }
    return status;
}

HRESULT TableRowset::GetNextRows(HCHAPTER hReserved, DBROWOFFSET lRowsOffset, DBROWCOUNT cRows,
                                 DBCOUNTITEM* pcRowsObtained, HROW** prghRows) {
    if (pcRowsObtained == nullptr || prghRows == nullptr) {
        return E_INVALIDARG;
    }
    *pcRowsObtained = 0;
    if (hReserved != 0) {
        return DB_E_BADCHAPTER;
    }
    if (lRowsOffset < 0) {
        return DB_E_CANTSCROLLBACKWARDS;
    }
    if (cRows < 0) {
        return DB_E_CANTFETCHBACKWARDS;
    }
    if (cRows == 0) {
        return S_OK;
    }
    // Rows skipped by the offset, then the rows asked for, found one after another.
    Row skipped;
    for (DBROWOFFSET k = 0; k < lRowsOffset; ++k) {
        if (!nextRow(skipped)) {
            return DB_S_ENDOFROWSET;
        }
    }
    // Reused from call to call: fetching allocates nothing for the list itself.
    std::vector<HeldRow>& found = fetched_;
    found.clear();
    while (found.size() < size_t(cRows)) {
        HeldRow held;
        if (!nextRow(held.cells)) {
            break;
        }
        found.push_back(std::move(held));
    }
    const size_t count = found.size();
    if (count == 0) {
        return DB_S_ENDOFROWSET;
    }
    HROW* handles = *prghRows;
    if (handles == nullptr) {
        handles = static_cast<HROW*>(CoTaskMemAlloc(count * sizeof(HROW)));
        if (handles == nullptr) {
            return E_OUTOFMEMORY;
        }
        *prghRows = handles;
    }
    for (size_t i = 0; i < count; ++i) {
        const HROW handle = nextRow_++;
        rows_.emplace(handle, std::move(found[i]));
        handles[i] = handle;
    }
    *pcRowsObtained = count;
    return count < size_t(cRows) ? DB_S_ENDOFROWSET : S_OK;
}

HRESULT TableRowset::ReleaseRows(DBCOUNTITEM cRows, const HROW rghRows[], DBROWOPTIONS[],
                                 DBREFCOUNT rgRefCounts[], DBROWSTATUS rgRowStatus[]) {
    DBCOUNTITEM bad = 0;
    for (DBCOUNTITEM i = 0; rghRows != nullptr && i < cRows; ++i) {
        auto it = rows_.find(rghRows[i]);
        const bool held = it != rows_.end();
        DBREFCOUNT left = 0;
        if (!held) {
            ++bad;
        } else if ((left = --it->second.references) == 0) {
            rows_.erase(it);
        }
        if (rgRefCounts != nullptr) {
            rgRefCounts[i] = left;
        }
        if (rgRowStatus != nullptr) {
            rgRowStatus[i] = held ? DBROWSTATUS_S_OK : DBROWSTATUS_E_INVALID;
        }
    }
    return bad == 0 ? S_OK : (bad == cRows ? DB_E_ERRORSOCCURRED : DB_S_ERRORSOCCURRED);
}

HRESULT TableRowset::RestartPosition(HCHAPTER hReserved) {
    if (hReserved != 0) {
        return DB_E_BADCHAPTER;
    }
    source_.reset();
    sourceEnded_ = false;
    return S_OK;
}

}  // namespace tarvel::service
