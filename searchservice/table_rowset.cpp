#include "table_rowset.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "value_stream.h"

namespace tarvel::service {

namespace {

std::string handles(DBCOUNTITEM count, const HROW rows[]) {
    std::string text = std::to_string(count) + ",[";
    for (DBCOUNTITEM i = 0; rows != nullptr && i < count; ++i) {
        text += (i != 0 ? "," : "") + std::to_string(rows[i]);
    }
    return text + "]";
}

bool isErrorStatus(DBSTATUS status) {
    return status != DBSTATUS_S_OK && status != DBSTATUS_S_ISNULL &&
           status != DBSTATUS_S_TRUNCATED && status != DBSTATUS_S_DEFAULT;
}

}  // namespace

// What the values of one held row hand over: blocks to the watcher, storage kept with the row,
// streams and chapters.
// Lives on the stack of one conversion; never deleted through ValueOwner.
class TableRowset::RowValues final  // NOLINT(cppcoreguidelines-virtual-class-destructor)
    : public ValueOwner {
public:
    RowValues(TableRowset& rowset, HeldRow& row) : rowset_(rowset), row_(row) {}

    void handedOver(std::string what) override { rowset_.handedOver(std::move(what)); }
    BYTE* keepForRow(size_t bytes) override {
        row_.providerOwned.push_back(std::make_unique<BYTE[]>(bytes));
        return row_.providerOwned.back().get();
    }
    IUnknown* newStream(std::vector<BYTE> content) override {
        return ValueStream::create(rowset_.watcher(), std::move(content))->as<ISequentialStream>();
    }
    void chapterHandedOut(HCHAPTER chapter) override { ++rowset_.chapters_[chapter]; }

private:
    TableRowset& rowset_;
    HeldRow& row_;
};

TableRowset::TableRowset(ObjectWatcher* watcher, std::shared_ptr<const Table> table)
    : ComObject(watcher, "IRowset"), table_(std::move(table)) {}

size_t TableRowset::outstandingChapters() const {
    size_t count = 0;
    for (const auto& [chapter, references] : chapters_) {
        count += references;
    }
    return count;
}

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

// ---- IRowset

HRESULT TableRowset::AddRefRows(DBCOUNTITEM cRows, const HROW rghRows[], DBREFCOUNT rgRefCounts[],
                                DBROWSTATUS rgRowStatus[]) {
    if (auto failure = enter("IRowset::AddRefRows", [&] { return handles(cRows, rghRows); })) {
        return *failure;
    }
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
    if (auto failure = enter("IRowset::GetData", [&] {
            return std::to_string(hRow) + "," + std::to_string(hAccessor);
        })) {
        return *failure;
    }
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
                writeBinding(bindings[k], object, cell, static_cast<BYTE*>(pData), row->second))) {
            ++errors;
        }
    }
    if (errors == 0) {
        return S_OK;
    }
    return errors == bindings.size() ? DB_E_ERRORSOCCURRED : DB_S_ERRORSOCCURRED;
}

DBSTATUS TableRowset::writeBinding(const DBBINDING& binding, const DBOBJECT* object,
                                   const Cell& cell, BYTE* data, HeldRow& row) {
    DBSTATUS status = DBSTATUS_S_OK;
    DBLENGTH length = 0;
    if (cell.kind == Cell::Kind::Null) {
        status = DBSTATUS_S_ISNULL;
    } else if (cell.status != DBSTATUS_S_OK) {
        status = cell.status;
    } else if ((binding.dwPart & DBPART_VALUE) != 0) {
        RowValues values(*this, row);
        status = convertValue(binding, object, cell, data + binding.obValue, &length, values);
    } else {
        WString text;
        length = textOf(cell, text) ? text.size() * sizeof(WCHAR) : cell.bytes.size();
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
    if (auto failure = enter("IRowset::GetNextRows", [&] {
            return std::to_string(hReserved) + "," + std::to_string(lRowsOffset) + "," +
                   std::to_string(cRows);
        })) {
        return *failure;
    }
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
    if (!table_->canHoldRows && !rows_.empty()) {
        return DB_E_ROWSNOTRELEASED;
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
        handedOver("row handle array");
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

HRESULT TableRowset::ReleaseRows(DBCOUNTITEM cRows, const HROW rghRows[],
                                 DBROWOPTIONS rgRowOptions[], DBREFCOUNT rgRefCounts[],
                                 DBROWSTATUS rgRowStatus[]) {
    // A failure to report still lets the rows go: a consumer can do nothing else about it.
    const auto failure = enter("IRowset::ReleaseRows", [&] { return handles(cRows, rghRows); });
    if (rgRowOptions != nullptr) {
        fault("ReleaseRows was given row options");
    }
    DBCOUNTITEM bad = 0;
    for (DBCOUNTITEM i = 0; rghRows != nullptr && i < cRows; ++i) {
        auto it = rows_.find(rghRows[i]);
        const bool held = it != rows_.end();
        DBREFCOUNT left = 0;
        if (!held) {
            ++bad;
            fault("release of row " + std::to_string(rghRows[i]) + ", which is not held");
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
    if (failure) {
        return *failure;
    }
    return bad == 0 ? S_OK : (bad == cRows ? DB_E_ERRORSOCCURRED : DB_S_ERRORSOCCURRED);
}

HRESULT TableRowset::RestartPosition(HCHAPTER hReserved) {
    if (auto failure =
            enter("IRowset::RestartPosition", [&] { return std::to_string(hReserved); })) {
        return *failure;
    }
    if (hReserved != 0) {
        return DB_E_BADCHAPTER;
    }
    if (!table_->canHoldRows && !rows_.empty()) {
        return DB_E_ROWSNOTRELEASED;
    }
    source_.reset();
    sourceEnded_ = false;
    return S_OK;
}

// ---- IChapteredRowset

HRESULT TableRowset::AddRefChapter(HCHAPTER hChapter, DBREFCOUNT* pcRefCount) {
    if (auto failure =
            enter("IChapteredRowset::AddRefChapter", [&] { return std::to_string(hChapter); })) {
        return *failure;
    }
    auto it = chapters_.find(hChapter);
    if (it == chapters_.end()) {
        return DB_E_BADCHAPTER;
    }
    ++it->second;
    if (pcRefCount != nullptr) {
        *pcRefCount = it->second;
    }
    return S_OK;
}

HRESULT TableRowset::ReleaseChapter(HCHAPTER hChapter, DBREFCOUNT* pcRefCount) {
    const auto failure =
        enter("IChapteredRowset::ReleaseChapter", [&] { return std::to_string(hChapter); });
    auto it = chapters_.find(hChapter);
    if (it == chapters_.end()) {
        fault("release of chapter " + std::to_string(hChapter) + ", which is not held");
        return failure ? *failure : DB_E_BADCHAPTER;
    }
    const DBREFCOUNT left = --it->second;
    if (left == 0) {
        chapters_.erase(it);
    }
    if (pcRefCount != nullptr) {
        *pcRefCount = left;
    }
    return failure ? *failure : S_OK;
}

}  // namespace tarvel::service
