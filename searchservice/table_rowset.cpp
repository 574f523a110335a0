#include "table_rowset.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "memory_ledger.h"

namespace tarvel::service {

namespace {

DBLENGTH fixedSize(DBTYPE type) {
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

// Bytes the provider writes into the value field of a binding.
DBLENGTH valueFieldSize(const DBBINDING& binding) {
    const DBTYPE type = binding.wType;
    if ((type & (DBTYPE_BYREF | DBTYPE_ARRAY)) != 0) {
        return sizeof(void*);
    }
    if ((type & DBTYPE_VECTOR) != 0) {
        return sizeof(DBVECTOR);
    }
    const DBLENGTH fixed = fixedSize(type);
    return fixed != 0 ? fixed : binding.cbMaxLen;
}

bool isErrorStatus(DBSTATUS status) {
    return status != DBSTATUS_S_OK && status != DBSTATUS_S_ISNULL &&
           status != DBSTATUS_S_TRUNCATED && status != DBSTATUS_S_DEFAULT;
}

bool textOf(const Cell& cell, WString& text) {
    switch (cell.kind) {
        case Cell::Kind::Text:
            text = cell.text;
            return true;
        case Cell::Kind::NullText:
            text.clear();
            return true;
        case Cell::Kind::Integer: {
            const std::string digits = std::to_string(cell.integer);
            text.assign(digits.begin(), digits.end());
            return true;
        }
        default:
            return false;
    }
}

std::vector<BYTE> textBytes(const WString& text) {
    std::vector<BYTE> bytes(text.size() * sizeof(WCHAR));
    if (!bytes.empty()) {
        std::memcpy(bytes.data(), text.data(), bytes.size());
    }
    return bytes;
}

// The cell as a value of a fixed-length type.
bool fixedBytes(const Cell& cell, DBTYPE type, DBLENGTH size, std::vector<BYTE>& out) {
    out.assign(size, 0);
    switch (cell.kind) {
        case Cell::Kind::Integer:
            if (type == DBTYPE_R4) {
                const float value = float(cell.integer);
                std::memcpy(out.data(), &value, sizeof value);
            } else if (type == DBTYPE_R8 || type == DBTYPE_DATE) {
                const double value = double(cell.integer);
                std::memcpy(out.data(), &value, sizeof value);
            } else if (type == DBTYPE_BOOL) {
                const VARIANT_BOOL value = cell.integer != 0 ? VARIANT_TRUE : VARIANT_FALSE;
                std::memcpy(out.data(), &value, sizeof value);
            } else {
                std::memcpy(out.data(), &cell.integer, std::min<DBLENGTH>(size, 8));
            }
            return true;
        case Cell::Kind::Real:
            if (type == DBTYPE_R4) {
                const float value = float(cell.real);
                std::memcpy(out.data(), &value, sizeof value);
            } else {
                std::memcpy(out.data(), &cell.real, std::min<DBLENGTH>(size, 8));
            }
            return true;
        case Cell::Kind::Bytes:
            if (!cell.bytes.empty()) {
                std::memcpy(out.data(), cell.bytes.data(),
                            std::min<DBLENGTH>(size, cell.bytes.size()));
            }
            return true;
        default:
            return false;
    }
}

std::string handles(DBCOUNTITEM count, const HROW rows[]) {
    std::string text = std::to_string(count) + ",[";
    for (DBCOUNTITEM i = 0; rows != nullptr && i < count; ++i) {
        text += (i != 0 ? "," : "") + std::to_string(rows[i]);
    }
    return text + "]";
}

}  // namespace

TableRowset::TableRowset(Instrumentation* instrumentation, std::shared_ptr<const Table> table)
    : ComObject(instrumentation, "IRowset"), table_(std::move(table)) {}

TableRowset::~TableRowset() = default;

size_t TableRowset::outstandingChapters() const {
    size_t count = 0;
    for (const auto& [chapter, references] : chapters_) {
        count += references;
    }
    return count;
}

void TableRowset::recordBlock(const char* what) {
    if (MemoryLedger* ledger = MemoryLedger::active()) {
        ledger->recordLastAllocation(what);
    }
}

LPWSTR TableRowset::taskText(const WString& text, const char* what) {
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
    recordBlock(what);
    std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    return copy;
}

void TableRowset::fillAfterField(const DBBINDING& binding, BYTE* data) {
    // Only up to a part of the same binding, so the bytes are known to be inside the row.
    const DBBYTEOFFSET end = binding.obValue + binding.cbMaxLen;
    DBBYTEOFFSET next = end;
    auto nearer = [&](DBBYTEOFFSET part) {
        if (part >= end && (next == end || part < next)) {
            next = part;
        }
    };
    if ((binding.dwPart & DBPART_LENGTH) != 0) {
        nearer(binding.obLength);
    }
    if ((binding.dwPart & DBPART_STATUS) != 0) {
        nearer(binding.obStatus);
    }
    if (next > end) {
        std::memset(data + end, kSentinel, next - end);
    }
}

const Cell& TableRowset::cellAt(size_t row, size_t column, Cell& scratch) const {
    if (table_->generator) {
        scratch = Cell{};
        table_->generator(row, column, scratch);
        return scratch;
    }
    const Row& cells = table_->rows[row];
    if (column < cells.size()) {
        return cells[column];
    }
    scratch = Cell{};
    return scratch;
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

// ---- IRowset

HRESULT TableRowset::AddRefRows(DBCOUNTITEM cRows, const HROW rghRows[], DBREFCOUNT rgRefCounts[],
                                DBROWSTATUS rgRowStatus[]) {
    if (auto failure = enter("IRowset::AddRefRows", handles(cRows, rghRows))) {
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
    if (auto failure =
            enter("IRowset::GetData", std::to_string(hRow) + "," + std::to_string(hAccessor))) {
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
    Cell scratch;
    for (size_t k = 0; k < bindings.size(); ++k) {
        size_t column = 0;
        columnOf(bindings[k].iOrdinal, &column);
        const Cell& cell = cellAt(row->second.index, column, scratch);
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
        status = writeValue(binding, object, cell, data + binding.obValue, &length, row);
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

DBSTATUS TableRowset::writeValue(const DBBINDING& binding, const DBOBJECT* object, const Cell& cell,
                                 BYTE* value, DBLENGTH* length, HeldRow& row) {
    const DBTYPE type = binding.wType;
    if ((type & DBTYPE_BYREF) != 0) {
        return writeByReference(binding, cell, value, length, row);
    }
    if ((type & DBTYPE_ARRAY) != 0 && (type & DBTYPE_VECTOR) != 0) {
        return DBSTATUS_E_CANTCONVERTVALUE;
    }
    if ((type & DBTYPE_ARRAY) != 0) {
        if (cell.kind != Cell::Kind::Texts || DBTYPE(type & ~DBTYPE_ARRAY) != DBTYPE_BSTR) {
            return DBSTATUS_E_CANTCONVERTVALUE;
        }
        SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, ULONG(cell.texts.size()));
        if (array == nullptr) {
            return DBSTATUS_E_CANTCREATE;
        }
        recordBlock("SAFEARRAY");
        for (size_t i = 0; i < cell.texts.size(); ++i) {
            BSTR element = SysAllocStringLen(cell.texts[i].data(), UINT(cell.texts[i].size()));
            recordBlock("BSTR in a SAFEARRAY");
            static_cast<BSTR*>(array->pvData)[i] = element;
        }
        std::memcpy(value, &array, sizeof array);
        *length = sizeof array;
        return DBSTATUS_S_OK;
    }
    if ((type & DBTYPE_VECTOR) != 0) {
        const DBLENGTH elementSize = fixedSize(DBTYPE(type & ~DBTYPE_VECTOR));
        if (cell.kind != Cell::Kind::Bytes || elementSize == 0) {
            return DBSTATUS_E_CANTCONVERTVALUE;
        }
        void* elements = CoTaskMemAlloc(std::max<size_t>(cell.bytes.size(), 1));
        if (elements == nullptr) {
            return DBSTATUS_E_CANTCREATE;
        }
        recordBlock("vector elements");
        if (!cell.bytes.empty()) {
            std::memcpy(elements, cell.bytes.data(), cell.bytes.size());
        }
        const DBVECTOR vector{cell.bytes.size() / elementSize, elements};
        std::memcpy(value, &vector, sizeof vector);
        *length = sizeof vector;
        return DBSTATUS_S_OK;
    }

    WString text;
    switch (type) {
        case DBTYPE_WSTR: {
            if (!textOf(cell, text)) {
                return DBSTATUS_E_CANTCONVERTVALUE;
            }
            *length = text.size() * sizeof(WCHAR);
            const size_t room = binding.cbMaxLen / sizeof(WCHAR);
            if (room == 0) {
                return DBSTATUS_S_TRUNCATED;
            }
            if (table_->quirks.unterminatedText && text.size() >= room) {
                std::memcpy(value, text.data(), room * sizeof(WCHAR));
                fillAfterField(binding, value - binding.obValue);
                return text.size() > room ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
            }
            const size_t copied = std::min(text.size(), room - 1);
            std::memcpy(value, text.data(), copied * sizeof(WCHAR));
            const WCHAR terminator = 0;
            std::memcpy(value + copied * sizeof(WCHAR), &terminator, sizeof terminator);
            return copied < text.size() ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
        }
        case DBTYPE_STR: {
            if (!textOf(cell, text)) {
                return DBSTATUS_E_CANTCONVERTVALUE;
            }
            *length = text.size();
            if (binding.cbMaxLen == 0) {
                return DBSTATUS_S_TRUNCATED;
            }
            const size_t copied = std::min<size_t>(text.size(), binding.cbMaxLen - 1);
            for (size_t i = 0; i < copied; ++i) {
                value[i] = text[i] < 0x80 ? BYTE(text[i]) : BYTE('?');
            }
            value[copied] = 0;
            return copied < text.size() ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
        }
        case DBTYPE_BYTES: {
            const std::vector<BYTE> bytes =
                cell.kind == Cell::Kind::Bytes
                    ? cell.bytes
                    : (textOf(cell, text) ? textBytes(text) : std::vector<BYTE>{});
            *length = bytes.size();
            const size_t copied = std::min<size_t>(bytes.size(), binding.cbMaxLen);
            if (copied != 0) {
                std::memcpy(value, bytes.data(), copied);
            }
            return copied < bytes.size() ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
        }
        case DBTYPE_BSTR: {
            if (!textOf(cell, text)) {
                return DBSTATUS_E_CANTCONVERTVALUE;
            }
            BSTR string = nullptr;
            if (cell.kind != Cell::Kind::NullText) {
                string = SysAllocStringLen(text.data(), UINT(text.size()));
                recordBlock("BSTR");
            }
            std::memcpy(value, &string, sizeof string);
            *length = sizeof string;
            return DBSTATUS_S_OK;
        }
        case DBTYPE_VARIANT: {
            VARIANT variant;
            std::memset(&variant, 0, sizeof variant);
            if (cell.kind == Cell::Kind::Text) {
                variant.vt = VT_BSTR;
                variant.bstrVal = SysAllocStringLen(cell.text.data(), UINT(cell.text.size()));
                recordBlock("BSTR in a VARIANT");
            } else if (cell.kind == Cell::Kind::NullText) {
                variant.vt = VT_BSTR;
            } else if (cell.kind == Cell::Kind::Integer) {
                variant.vt = VT_I4;
                variant.lVal = LONG(cell.integer);
            } else if (cell.kind == Cell::Kind::Real) {
                variant.vt = VT_R8;
                variant.dblVal = cell.real;
            } else if (cell.kind == Cell::Kind::Object) {
                variant.vt = VT_UNKNOWN;
                ValueStream* stream = ValueStream::create(instrumentation(), textBytes(cell.text));
                variant.punkVal = stream->as<ISequentialStream>();
            } else {
                return DBSTATUS_E_CANTCONVERTVALUE;
            }
            std::memcpy(value, &variant, sizeof variant);
            *length = sizeof variant;
            return DBSTATUS_S_OK;
        }
        case DBTYPE_PROPVARIANT: {
            PROPVARIANT property;
            std::memset(&property, 0, sizeof property);
            if (cell.kind == Cell::Kind::Text) {
                property.vt = VT_LPWSTR;
                property.pwszVal = taskText(cell.text, "text in a PROPVARIANT");
            } else if (cell.kind == Cell::Kind::Texts) {
                property.vt = VT_VECTOR | VT_LPWSTR;
                property.calpwstr.cElems = ULONG(cell.texts.size());
                property.calpwstr.pElems = static_cast<LPWSTR*>(
                    CoTaskMemAlloc(std::max<size_t>(cell.texts.size(), 1) * sizeof(LPWSTR)));
                recordBlock("vector in a PROPVARIANT");
                for (size_t i = 0; i < cell.texts.size(); ++i) {
                    property.calpwstr.pElems[i] = taskText(cell.texts[i], "text in a vector");
                }
            } else if (cell.kind == Cell::Kind::Integer) {
                property.vt = VT_I4;
                property.lVal = LONG(cell.integer);
            } else {
                return DBSTATUS_E_CANTCONVERTVALUE;
            }
            std::memcpy(value, &property, sizeof property);
            *length = sizeof property;
            return DBSTATUS_S_OK;
        }
        case DBTYPE_IUNKNOWN:
        case DBTYPE_IDISPATCH: {
            std::vector<BYTE> content;
            if (cell.kind == Cell::Kind::Bytes) {
                content = cell.bytes;
            } else if (textOf(cell, text) || cell.kind == Cell::Kind::Object) {
                content = textBytes(cell.kind == Cell::Kind::Object ? cell.text : text);
            } else {
                return DBSTATUS_E_CANTCONVERTVALUE;
            }
            if (object != nullptr && !IsEqualGUID(object->iid, IID_ISequentialStream) &&
                !IsEqualGUID(object->iid, IID_IStream) && !IsEqualGUID(object->iid, IID_IUnknown)) {
                return DBSTATUS_E_CANTCREATE;
            }
            *length = content.size();
            ValueStream* stream = ValueStream::create(instrumentation(), std::move(content));
            IUnknown* pointer = stream->as<ISequentialStream>();
            std::memcpy(value, &pointer, sizeof pointer);
            return DBSTATUS_S_OK;
        }
        case DBTYPE_HCHAPTER: {
            if (cell.kind != Cell::Kind::Chapter) {
                return DBSTATUS_E_CANTCONVERTVALUE;
            }
            ++chapters_[cell.chapter];
            std::memcpy(value, &cell.chapter, sizeof cell.chapter);
            *length = sizeof cell.chapter;
            return DBSTATUS_S_OK;
        }
        default:
            break;
    }
    const DBLENGTH fixed = fixedSize(type);
    if (fixed != 0) {
        std::vector<BYTE> bytes;
        if (!fixedBytes(cell, type, fixed, bytes)) {
            return DBSTATUS_E_CANTCONVERTVALUE;
        }
        std::memcpy(value, bytes.data(), fixed);
        *length = fixed;
        return DBSTATUS_S_OK;
    }
    if (cell.kind != Cell::Kind::Bytes) {
        return DBSTATUS_E_CANTCONVERTVALUE;
    }
    *length = cell.bytes.size();
    const size_t copied = std::min<size_t>(cell.bytes.size(), binding.cbMaxLen);
    if (copied != 0) {
        std::memcpy(value, cell.bytes.data(), copied);
    }
    return copied < cell.bytes.size() ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
}

DBSTATUS TableRowset::writeByReference(const DBBINDING& binding, const Cell& cell, BYTE* value,
                                       DBLENGTH* length, HeldRow& row) {
    const DBTYPE type = DBTYPE(binding.wType & ~DBTYPE_BYREF);
    std::vector<BYTE> bytes;
    WString text;
    if (type == DBTYPE_WSTR) {
        if (!textOf(cell, text)) {
            return DBSTATUS_E_CANTCONVERTVALUE;
        }
        bytes = textBytes(text);
        *length = bytes.size();
        bytes.resize(bytes.size() + sizeof(WCHAR), 0);
    } else if (type == DBTYPE_STR) {
        if (!textOf(cell, text)) {
            return DBSTATUS_E_CANTCONVERTVALUE;
        }
        for (WCHAR unit : text) {
            bytes.push_back(unit < 0x80 ? BYTE(unit) : BYTE('?'));
        }
        *length = bytes.size();
        bytes.push_back(0);
    } else if (type == DBTYPE_BYTES) {
        bytes = cell.kind == Cell::Kind::Bytes
                    ? cell.bytes
                    : (textOf(cell, text) ? textBytes(text) : std::vector<BYTE>{});
        *length = bytes.size();
    } else {
        const DBLENGTH fixed = fixedSize(type);
        if (fixed == 0 || type == DBTYPE_BSTR || type == DBTYPE_VARIANT ||
            type == DBTYPE_IUNKNOWN || type == DBTYPE_IDISPATCH || type == DBTYPE_HCHAPTER ||
            !fixedBytes(cell, type, fixed, bytes)) {
            return DBSTATUS_E_CANTCONVERTVALUE;
        }
        *length = fixed;
    }
    BYTE* block = nullptr;
    if (binding.dwMemOwner == DBMEMOWNER_CLIENTOWNED) {
        block = static_cast<BYTE*>(CoTaskMemAlloc(std::max<size_t>(bytes.size(), 1)));
        if (block == nullptr) {
            return DBSTATUS_E_CANTCREATE;
        }
        recordBlock("by-reference value");
    } else {
        row.providerOwned.push_back(std::make_unique<BYTE[]>(std::max<size_t>(bytes.size(), 1)));
        block = row.providerOwned.back().get();
    }
    if (!bytes.empty()) {
        std::memcpy(block, bytes.data(), bytes.size());
    }
    std::memcpy(value, &block, sizeof block);
    return DBSTATUS_S_OK;
}

HRESULT TableRowset::GetNextRows(HCHAPTER hReserved, DBROWOFFSET lRowsOffset, DBROWCOUNT cRows,
                                 DBCOUNTITEM* pcRowsObtained, HROW** prghRows) {
    if (auto failure = enter("IRowset::GetNextRows", std::to_string(hReserved) + "," +
                                                         std::to_string(lRowsOffset) + "," +
                                                         std::to_string(cRows))) {
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
    const size_t total = table_->rowCount();
    const size_t start = cursor_ + size_t(lRowsOffset);
    if (start >= total) {
        cursor_ = total;
        return DB_S_ENDOFROWSET;
    }
    HROW* handles = *prghRows;
    const bool ownArray = handles == nullptr || table_->quirks.ownRowArrays;
    // More rows than asked for only into an array of the provider's own: the consumer's holds
    // what it asked for and no more.
    const size_t wanted =
        table_->quirks.rowsPerFetch != 0 && ownArray ? table_->quirks.rowsPerFetch : size_t(cRows);
    const size_t count = std::min<size_t>(wanted, total - start);
    if (ownArray) {
        handles = static_cast<HROW*>(CoTaskMemAlloc(count * sizeof(HROW)));
        if (handles == nullptr) {
            return E_OUTOFMEMORY;
        }
        recordBlock("row handle array");
        *prghRows = handles;
    }
    for (size_t i = 0; i < count; ++i) {
        const HROW handle = nextRow_++;
        rows_.emplace(handle, HeldRow{start + i, 1, {}});
        handles[i] = handle;
    }
    cursor_ = start + count;
    *pcRowsObtained = count;
    mostRowsHeld_ = std::max(mostRowsHeld_, rows_.size());
    return count < size_t(cRows) ? DB_S_ENDOFROWSET : S_OK;
}

HRESULT TableRowset::ReleaseRows(DBCOUNTITEM cRows, const HROW rghRows[],
                                 DBROWOPTIONS rgRowOptions[], DBREFCOUNT rgRefCounts[],
                                 DBROWSTATUS rgRowStatus[]) {
    // A failure to report still lets the rows go: a consumer can do nothing else about it.
    const auto failure = enter("IRowset::ReleaseRows", handles(cRows, rghRows));
    if (rgRowOptions != nullptr && instrumentation() != nullptr) {
        instrumentation()->error("ReleaseRows was given row options");
    }
    DBCOUNTITEM bad = 0;
    for (DBCOUNTITEM i = 0; rghRows != nullptr && i < cRows; ++i) {
        auto it = rows_.find(rghRows[i]);
        const bool held = it != rows_.end();
        DBREFCOUNT left = 0;
        if (!held) {
            ++bad;
            if (instrumentation() != nullptr) {
                instrumentation()->error("release of row " + std::to_string(rghRows[i]) +
                                         ", which is not held");
            }
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
    if (auto failure = enter("IRowset::RestartPosition", std::to_string(hReserved))) {
        return *failure;
    }
    if (hReserved != 0) {
        return DB_E_BADCHAPTER;
    }
    if (!table_->canHoldRows && !rows_.empty()) {
        return DB_E_ROWSNOTRELEASED;
    }
    cursor_ = 0;
    return S_OK;
}

// ---- IAccessor

bool TableRowset::grantsObject(REFIID iid) const {
    if (!table_->quirks.streamsAsReported) {
        return true;
    }
    DBPROPID property = 0;
    if (IsEqualGUID(iid, IID_ISequentialStream)) {
        property = DBPROP_ISequentialStream;
    } else if (IsEqualGUID(iid, IID_IStream)) {
        property = DBPROP_IStream;
    } else {
        return true;
    }
    auto it = table_->properties.find(property);
    return it != table_->properties.end() && it->second;
}

HRESULT TableRowset::AddRefAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) {
    if (auto failure = enter("IAccessor::AddRefAccessor", std::to_string(hAccessor))) {
        return *failure;
    }
    auto it = accessors_.find(hAccessor);
    if (it == accessors_.end()) {
        return DB_E_BADACCESSORHANDLE;
    }
    ++it->second.references;
    if (pcRefCount != nullptr) {
        *pcRefCount = it->second.references;
    }
    return S_OK;
}

bool TableRowset::checkBindingsFit(const std::vector<DBBINDING>& bindings, DBLENGTH rowSize) {
    struct Extent {
        DBLENGTH begin;
        DBLENGTH end;
        size_t binding;
    };
    std::vector<Extent> extents;
    bool fits = true;
    auto add = [&](DBLENGTH begin, DBLENGTH size, size_t k, const char* part) {
        if (begin > rowSize || size > rowSize - begin) {
            fits = false;
            if (instrumentation() != nullptr) {
                instrumentation()->error("binding " + std::to_string(k) + " puts its " + part +
                                         " outside the row of " + std::to_string(rowSize) +
                                         " bytes");
            }
            return;
        }
        if (size != 0) {
            extents.push_back(Extent{begin, begin + size, k});
        }
    };
    for (size_t k = 0; k < bindings.size(); ++k) {
        const DBBINDING& binding = bindings[k];
        if ((binding.dwPart & DBPART_VALUE) != 0) {
            add(binding.obValue, valueFieldSize(binding), k, "value");
        }
        if ((binding.dwPart & DBPART_LENGTH) != 0) {
            add(binding.obLength, sizeof(DBLENGTH), k, "length");
        }
        if ((binding.dwPart & DBPART_STATUS) != 0) {
            add(binding.obStatus, sizeof(DBSTATUS), k, "status");
        }
    }
    std::sort(extents.begin(), extents.end(),
              [](const Extent& a, const Extent& b) { return a.begin < b.begin; });
    for (size_t i = 1; i < extents.size(); ++i) {
        if (extents[i].begin < extents[i - 1].end) {
            fits = false;
            if (instrumentation() != nullptr) {
                instrumentation()->error("bindings " + std::to_string(extents[i - 1].binding) +
                                         " and " + std::to_string(extents[i].binding) +
                                         " overlap in the row");
            }
        }
    }
    return fits;
}

HRESULT TableRowset::CreateAccessor(DBACCESSORFLAGS dwAccessorFlags, DBCOUNTITEM cBindings,
                                    const DBBINDING rgBindings[], DBLENGTH cbRowSize,
                                    HACCESSOR* phAccessor, DBBINDSTATUS rgStatus[]) {
    if (auto failure = enter("IAccessor::CreateAccessor", std::to_string(dwAccessorFlags) + "," +
                                                              std::to_string(cBindings) + "," +
                                                              std::to_string(cbRowSize))) {
        if (phAccessor != nullptr) {
            *phAccessor = 0;
        }
        return *failure;
    }
    if (phAccessor == nullptr || (cBindings != 0 && rgBindings == nullptr)) {
        return E_INVALIDARG;
    }
    *phAccessor = 0;
    if ((dwAccessorFlags & DBACCESSOR_ROWDATA) == 0 ||
        (dwAccessorFlags & DBACCESSOR_PARAMETERDATA) != 0) {
        return DB_E_BADACCESSORFLAGS;
    }
    if (cBindings == 0 && !table_->nullAccessorSupported) {
        return DB_E_NULLACCESSORNOTSUPPORTED;
    }
    Accessor accessor;
    accessor.bindings.assign(rgBindings, rgBindings + cBindings);
    accessor.objects.resize(cBindings);
    bool valid = true;
    for (DBCOUNTITEM k = 0; k < cBindings; ++k) {
        DBBINDING& binding = accessor.bindings[k];
        DBBINDSTATUS status = DBBINDSTATUS_OK;
        size_t column = 0;
        if (columnOf(binding.iOrdinal, &column) == nullptr) {
            status = DBBINDSTATUS_BADORDINAL;
        } else if ((binding.dwPart & ~DWORD(DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS)) != 0 ||
                   binding.dwPart == 0 || binding.eParamIO != DBPARAMIO_NOTPARAM) {
            status = DBBINDSTATUS_BADBINDINFO;
        }
        if (binding.pObject != nullptr) {
            accessor.objects[k] = *binding.pObject;
            if (status == DBBINDSTATUS_OK && !grantsObject(binding.pObject->iid)) {
                status = DBBINDSTATUS_NOINTERFACE;
            }
        }
        if (rgStatus != nullptr) {
            rgStatus[k] = status;
        }
        valid = valid && status == DBBINDSTATUS_OK;
    }
    lastBindings_ = accessor.bindings;
    lastObjects_ = accessor.objects;
    lastFlags_ = dwAccessorFlags;
    lastRowSize_ = cbRowSize;
    if (!valid) {
        return DB_E_ERRORSOCCURRED;
    }
    checkBindingsFit(accessor.bindings, cbRowSize);
    const HACCESSOR handle = nextAccessor_++;
    accessors_.emplace(handle, std::move(accessor));
    *phAccessor = handle;
    return S_OK;
}

HRESULT TableRowset::GetBindings(HACCESSOR, DBACCESSORFLAGS*, DBCOUNTITEM*, DBBINDING**) {
    return unexpected("IAccessor::GetBindings");
}

HRESULT TableRowset::ReleaseAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) {
    const auto failure = enter("IAccessor::ReleaseAccessor", std::to_string(hAccessor));
    auto it = accessors_.find(hAccessor);
    if (it == accessors_.end()) {
        if (hAccessor != 0 && instrumentation() != nullptr) {
            instrumentation()->error("release of accessor " + std::to_string(hAccessor) +
                                     ", which is not held");
        }
        return failure ? *failure : DB_E_BADACCESSORHANDLE;
    }
    const DBREFCOUNT left = --it->second.references;
    if (left == 0) {
        accessors_.erase(it);
    }
    if (pcRefCount != nullptr) {
        *pcRefCount = left;
    }
    return failure ? *failure : S_OK;
}

// ---- IColumnsInfo

HRESULT TableRowset::GetColumnInfo(DBORDINAL* pcColumns, DBCOLUMNINFO** prgInfo,
                                   OLECHAR** ppStringsBuffer) {
    if (auto failure = enter("IColumnsInfo::GetColumnInfo")) {
        return *failure;
    }
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
    recordBlock("column names");
    if (table_->quirks.columnsWithoutInfo) {
        std::memset(names, 0, units * sizeof(OLECHAR));
        *pcColumns = columns.size();
        *ppStringsBuffer = names;
        return S_OK;
    }
    auto* info = static_cast<DBCOLUMNINFO*>(CoTaskMemAlloc(columns.size() * sizeof(DBCOLUMNINFO)));
    if (info == nullptr) {
        CoTaskMemFree(names);
        return E_OUTOFMEMORY;
    }
    recordBlock("column info");
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

HRESULT TableRowset::MapColumnIDs(DBORDINAL, const DBID[], DBORDINAL[]) {
    return unexpected("IColumnsInfo::MapColumnIDs");
}

// ---- IRowsetInfo

HRESULT TableRowset::GetProperties(const ULONG cPropertyIDSets,
                                   const DBPROPIDSET rgPropertyIDSets[], ULONG* pcPropertySets,
                                   DBPROPSET** prgPropertySets) {
    std::string detail;
    for (ULONG s = 0; rgPropertyIDSets != nullptr && s < cPropertyIDSets; ++s) {
        for (ULONG p = 0; p < rgPropertyIDSets[s].cPropertyIDs; ++p) {
            detail +=
                (detail.empty() ? "" : ",") + std::to_string(rgPropertyIDSets[s].rgPropertyIDs[p]);
        }
    }
    if (auto failure = enter("IRowsetInfo::GetProperties", detail)) {
        return *failure;
    }
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
    if (table_->quirks.extraPropertySet) {
        wanted.emplace_back(DBPROPSET_DBINIT, std::vector<DBPROPID>{DBPROP_INIT_PROVIDERSTRING});
    }
    auto* sets = static_cast<DBPROPSET*>(CoTaskMemAlloc(wanted.size() * sizeof(DBPROPSET)));
    if (sets == nullptr) {
        return E_OUTOFMEMORY;
    }
    recordBlock("property sets");
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
        recordBlock("properties");
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
            } else if (IsEqualGUID(wanted[s].first, DBPROPSET_DBINIT)) {
                ++supported;
                properties[p].dwStatus = DBPROPSTATUS_OK;
                properties[p].vValue.vt = VT_BSTR;
                properties[p].vValue.bstrVal = SysAllocString(TARVEL_UTF16("Application=Windows"));
                recordBlock("BSTR in a property");
            } else {
                properties[p].dwStatus = DBPROPSTATUS_NOTSUPPORTED;
                if (table_->quirks.undefinedUnsupportedValues) {
                    std::memset(&properties[p].vValue.llVal, 0xFF,
                                sizeof properties[p].vValue.llVal);
                }
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

HRESULT TableRowset::GetReferencedRowset(DBORDINAL, REFIID, IUnknown**) {
    return unexpected("IRowsetInfo::GetReferencedRowset");
}

HRESULT TableRowset::GetSpecification(REFIID, IUnknown**) {
    return unexpected("IRowsetInfo::GetSpecification");
}

// ---- IChapteredRowset

HRESULT TableRowset::AddRefChapter(HCHAPTER hChapter, DBREFCOUNT* pcRefCount) {
    if (auto failure = enter("IChapteredRowset::AddRefChapter", std::to_string(hChapter))) {
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
    const auto failure = enter("IChapteredRowset::ReleaseChapter", std::to_string(hChapter));
    auto it = chapters_.find(hChapter);
    if (it == chapters_.end()) {
        if (instrumentation() != nullptr) {
            instrumentation()->error("release of chapter " + std::to_string(hChapter) +
                                     ", which is not held");
        }
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

// ---- IRowsetChange

HRESULT TableRowset::DeleteRows(HCHAPTER, DBCOUNTITEM, const HROW[], DBROWSTATUS[]) {
    return unexpected("IRowsetChange::DeleteRows");
}

HRESULT TableRowset::SetData(HROW, HACCESSOR, void*) {
    return unexpected("IRowsetChange::SetData");
}

HRESULT TableRowset::InsertRow(HCHAPTER, HACCESSOR, void*, HROW*) {
    return unexpected("IRowsetChange::InsertRow");
}

// ---- ValueStream

HRESULT ValueStream::Read(void* pv, ULONG cb, ULONG* pcbRead) {
    if (auto failure = enter("ISequentialStream::Read", std::to_string(cb))) {
        return *failure;
    }
    if (pv == nullptr) {
        return E_INVALIDARG;
    }
    const size_t count = std::min<size_t>(cb, data_.size() - position_);
    if (count != 0) {
        std::memcpy(pv, data_.data() + position_, count);
    }
    position_ += count;
    if (pcbRead != nullptr) {
        *pcbRead = ULONG(count);
    }
    return count < cb ? S_FALSE : S_OK;
}

HRESULT ValueStream::Write(const void*, ULONG, ULONG*) {
    return unexpected("ISequentialStream::Write");
}

}  // namespace tarvel::service
