#include "fake_provider.h"

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

// A failed call's out-pointer, given the object that make() creates when the quirks say so.
template <class Make>
HRESULT strayWith(HRESULT hr, const Quirks* quirks, REFIID riid, IUnknown** out, Make make) {
    if (FAILED(hr) && quirks->strayOnFailure && out != nullptr && *out == nullptr) {
        handOut(make(), riid, reinterpret_cast<void**>(out));
    }
    return hr;
}

}  // namespace

// What the values of one held row hand over: blocks to the ledger, storage kept with the row,
// streams and chapters.
// Lives on the stack of one conversion; never deleted through ValueOwner.
class FakeRowset::RowValues final  // NOLINT(cppcoreguidelines-virtual-class-destructor)
    : public ValueOwner {
public:
    RowValues(FakeRowset& rowset, HROW row) : rowset_(rowset), row_(row) {}

    void handedOver(std::string what) override { rowset_.watch()->handedOver(std::move(what)); }
    BYTE* keepForRow(size_t bytes) override {
        auto& kept = rowset_.providerOwned_[row_];
        kept.push_back(std::make_unique<BYTE[]>(bytes));
        return kept.back().get();
    }
    IUnknown* newStream(std::vector<BYTE> content) override {
        return ValueStream::create<ValueStream>(rowset_.watch(), std::move(content))
            ->as<ISequentialStream>();
    }
    void chapterHandedOut(HCHAPTER chapter) override { ++rowset_.chapters_[chapter]; }

private:
    FakeRowset& rowset_;
    HROW row_;
};

// ---- FakeRowset: values

DBSTATUS FakeRowset::convertValue(const DBBINDING& binding, const DBOBJECT* object,
                                  const Cell& cell, BYTE* value, DBLENGTH* length, HROW row) {
    // Text as the stand-in itself serves it; every other value as scripted.
    if (cell.kind == Cell::Kind::Text &&
        (binding.wType == DBTYPE_WSTR || binding.wType == DBTYPE_BSTR)) {
        const DBSTATUS status =
            TableRowset::convertValue(binding, object, cell, value, length, row);
        if (binding.wType == DBTYPE_BSTR && status == DBSTATUS_S_OK) {
            BSTR text = nullptr;
            std::memcpy(&text, value, sizeof text);
            handedOver(text, "BSTR");
        }
        return status;
    }
    Value holder;
    RowValues values(*this, row);
    return service::convertValue(binding, object, valueOf(cell, holder), value, length, values);
}

DBLENGTH FakeRowset::lengthOf(const Cell& cell) const {
    Value holder;
    const Value& value = valueOf(cell, holder);
    WString text;
    return textOf(value, text) ? text.size() * sizeof(WCHAR) : value.bytes.size();
}

bool FakeRowset::grantsObject(REFIID iid) const {
    // A rowset that reports its stream properties grants exactly the streams it reports true;
    // one that reports none grants both.
    const auto& properties = table().properties;
    const bool reported =
        properties.count(DBPROP_ISequentialStream) != 0 || properties.count(DBPROP_IStream) != 0;
    DBPROPID property = 0;
    if (IsEqualGUID(iid, IID_ISequentialStream)) {
        property = DBPROP_ISequentialStream;
    } else if (IsEqualGUID(iid, IID_IStream)) {
        property = DBPROP_IStream;
    } else {
        return true;
    }
    auto it = properties.find(property);
    return !reported || (it != properties.end() && it->second);
}

size_t FakeRowset::outstandingChapters() const {
    size_t count = 0;
    for (const auto& [chapter, references] : chapters_) {
        count += references;
    }
    return count;
}

// ---- FakeRowset: IRowset

HRESULT FakeRowset::AddRefRows(DBCOUNTITEM cRows, const HROW rghRows[], DBREFCOUNT rgRefCounts[],
                               DBROWSTATUS rgRowStatus[]) {
    if (auto failure = enter("IRowset::AddRefRows", [&] { return handles(cRows, rghRows); })) {
        return *failure;
    }
    const HRESULT hr = TableRowset::AddRefRows(cRows, rghRows, rgRefCounts, rgRowStatus);
    for (DBCOUNTITEM i = 0; rghRows != nullptr && i < cRows; ++i) {
        auto it = rows_.find(rghRows[i]);
        if (it != rows_.end()) {
            ++it->second;
        }
    }
    return hr;
}

HRESULT FakeRowset::GetData(HROW hRow, HACCESSOR hAccessor, void* pData) {
    if (auto failure = enter("IRowset::GetData", [&] {
            return std::to_string(hRow) + "," + std::to_string(hAccessor);
        })) {
        return *failure;
    }
    const HRESULT hr = TableRowset::GetData(hRow, hAccessor, pData);
    auto bindings = bindings_.find(hAccessor);
    if (SUCCEEDED(hr) && quirks_->unterminatedText && bindings != bindings_.end()) {
        for (const DBBINDING& binding : bindings->second) {
            leaveTextUnterminated(hRow, binding, static_cast<BYTE*>(pData));
        }
    }
    return SUCCEEDED(hr) && quirks_->answeredRow != 0 && hRow == quirks_->answeredRow
               ? quirks_->answerAfterFetch
               : hr;
}

void FakeRowset::leaveTextUnterminated(HROW row, const DBBINDING& binding, BYTE* data) {
    const DWORD parts = DBPART_VALUE | DBPART_STATUS;
    if (binding.wType != DBTYPE_WSTR || (binding.dwPart & parts) != parts) {
        return;
    }
    DBSTATUS status = 0;
    std::memcpy(&status, data + binding.obStatus, sizeof status);
    const Cell* cell = heldCell(row, binding.iOrdinal);
    WString text;
    Value holder;
    const size_t room = binding.cbMaxLen / sizeof(WCHAR);
    if ((status != DBSTATUS_S_OK && status != DBSTATUS_S_TRUNCATED) || cell == nullptr ||
        !textOf(valueOf(*cell, holder), text) || room == 0 || text.size() < room) {
        return;
    }
    std::memcpy(data + binding.obValue, text.data(), room * sizeof(WCHAR));
    // The sentinel goes only up to a later part of the same binding, so it stays in the row.
    const DBBYTEOFFSET end = binding.obValue + room * sizeof(WCHAR);
    DBBYTEOFFSET next = end;
    for (DBBYTEOFFSET part : {binding.obLength, binding.obStatus}) {
        if (part >= end && (next == end || part < next)) {
            next = part;
        }
    }
    std::memset(data + end, kSentinel, next - end);
    status = text.size() > room ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
    std::memcpy(data + binding.obStatus, &status, sizeof status);
}

HRESULT FakeRowset::GetNextRows(HCHAPTER hReserved, DBROWOFFSET lRowsOffset, DBROWCOUNT cRows,
                                DBCOUNTITEM* pcRowsObtained, HROW** prghRows) {
    if (auto failure = enter("IRowset::GetNextRows", [&] {
            return std::to_string(hReserved) + "," + std::to_string(lRowsOffset) + "," +
                   std::to_string(cRows);
        })) {
        return *failure;
    }
    const bool refused =
        quirks_->fetchFails != S_OK || (quirks_->refusesWhileRowsHeld && !rows_.empty());
    if (refused && pcRowsObtained != nullptr && prghRows != nullptr) {
        *pcRowsObtained = 0;
        return quirks_->fetchFails != S_OK ? quirks_->fetchFails : DB_E_ROWSNOTRELEASED;
    }
    HRESULT hr = S_OK;
    HROW* given = prghRows != nullptr ? *prghRows : nullptr;
    if (!quirks_->ownRowArrays || prghRows == nullptr) {
        hr = TableRowset::GetNextRows(hReserved, lRowsOffset, cRows, pcRowsObtained, prghRows);
    } else {
        // An array of the provider's own, whatever the consumer gave, with as many rows as the
        // quirks say; as many as were asked for is no end of the rowset.
        HROW* own = nullptr;
        const DBROWCOUNT count =
            quirks_->rowsPerFetch != 0 ? DBROWCOUNT(quirks_->rowsPerFetch) : cRows;
        hr = TableRowset::GetNextRows(hReserved, lRowsOffset, count, pcRowsObtained, &own);
        if (own == nullptr && SUCCEEDED(hr) && quirks_->emptyOwnArrays) {
            own = static_cast<HROW*>(CoTaskMemAlloc(sizeof(HROW)));
        }
        if (own != nullptr) {
            *prghRows = own;
        }
        if (hr == DB_S_ENDOFROWSET && pcRowsObtained != nullptr &&
            DBROWCOUNT(*pcRowsObtained) >= cRows) {
            hr = S_OK;
        }
    }
    if (prghRows != nullptr && *prghRows != given) {
        handedOver(*prghRows, "row handle array");
    }
    for (DBCOUNTITEM i = 0; SUCCEEDED(hr) && pcRowsObtained != nullptr && i < *pcRowsObtained;
         ++i) {
        rows_[(*prghRows)[i]] = 1;
    }
    mostRowsHeld_ = std::max(mostRowsHeld_, outstandingRows());
    return hr;
}

HRESULT FakeRowset::ReleaseRows(DBCOUNTITEM cRows, const HROW rghRows[],
                                DBROWOPTIONS rgRowOptions[], DBREFCOUNT rgRefCounts[],
                                DBROWSTATUS rgRowStatus[]) {
    // A failure to report still lets the rows go: a consumer can do nothing else about it.
    const auto failure = enter("IRowset::ReleaseRows", [&] { return handles(cRows, rghRows); });
    if (rgRowOptions != nullptr) {
        fault("ReleaseRows was given row options");
    }
    for (DBCOUNTITEM i = 0; rghRows != nullptr && i < cRows; ++i) {
        auto it = rows_.find(rghRows[i]);
        if (it == rows_.end()) {
            fault("release of row " + std::to_string(rghRows[i]) + ", which is not held");
        } else if (--it->second == 0) {
            providerOwned_.erase(it->first);
            rows_.erase(it);
        }
    }
    const HRESULT hr =
        TableRowset::ReleaseRows(cRows, rghRows, rgRowOptions, rgRefCounts, rgRowStatus);
    return failure ? *failure : hr;
}

HRESULT FakeRowset::RestartPosition(HCHAPTER hReserved) {
    if (auto failure =
            enter("IRowset::RestartPosition", [&] { return std::to_string(hReserved); })) {
        return *failure;
    }
    if (quirks_->refusesWhileRowsHeld && hReserved == 0 && !rows_.empty()) {
        return DB_E_ROWSNOTRELEASED;
    }
    return TableRowset::RestartPosition(hReserved);
}

// ---- FakeRowset: IAccessor

HRESULT FakeRowset::AddRefAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) {
    if (auto failure =
            enter("IAccessor::AddRefAccessor", [&] { return std::to_string(hAccessor); })) {
        return *failure;
    }
    const HRESULT hr = TableRowset::AddRefAccessor(hAccessor, pcRefCount);
    if (SUCCEEDED(hr)) {
        ++accessors_[hAccessor];
    }
    return hr;
}

void FakeRowset::checkBindingsFit(const DBBINDING bindings[], DBCOUNTITEM count, DBLENGTH rowSize) {
    struct Extent {
        DBLENGTH begin;
        DBLENGTH end;
        size_t binding;
    };
    std::vector<Extent> extents;
    auto add = [&](DBLENGTH begin, DBLENGTH size, size_t k, const char* part) {
        if (begin > rowSize || size > rowSize - begin) {
            fault("binding " + std::to_string(k) + " puts its " + part + " outside the row of " +
                  std::to_string(rowSize) + " bytes");
            return;
        }
        if (size != 0) {
            extents.push_back(Extent{begin, begin + size, k});
        }
    };
    for (size_t k = 0; k < count; ++k) {
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
            fault("bindings " + std::to_string(extents[i - 1].binding) + " and " +
                  std::to_string(extents[i].binding) + " overlap in the row");
        }
    }
}

HRESULT FakeRowset::CreateAccessor(DBACCESSORFLAGS dwAccessorFlags, DBCOUNTITEM cBindings,
                                   const DBBINDING rgBindings[], DBLENGTH cbRowSize,
                                   HACCESSOR* phAccessor, DBBINDSTATUS rgStatus[]) {
    if (auto failure = enter("IAccessor::CreateAccessor", [&] {
            return std::to_string(dwAccessorFlags) + "," + std::to_string(cBindings) + "," +
                   std::to_string(cbRowSize);
        })) {
        if (phAccessor != nullptr) {
            *phAccessor = 0;
        }
        return *failure;
    }
    if (rgBindings != nullptr) {
        lastBindings_.assign(rgBindings, rgBindings + cBindings);
        lastObjects_.assign(cBindings, DBOBJECT{});
        for (DBCOUNTITEM k = 0; k < cBindings; ++k) {
            if (rgBindings[k].pObject != nullptr) {
                lastObjects_[k] = *rgBindings[k].pObject;
            }
        }
    }
    lastFlags_ = dwAccessorFlags;
    lastRowSize_ = cbRowSize;
    if (quirks_->refusesNullAccessor && cBindings == 0 && phAccessor != nullptr &&
        (dwAccessorFlags & DBACCESSOR_ROWDATA) != 0) {
        *phAccessor = 0;
        return DB_E_NULLACCESSORNOTSUPPORTED;
    }
    const HRESULT hr = TableRowset::CreateAccessor(dwAccessorFlags, cBindings, rgBindings,
                                                   cbRowSize, phAccessor, rgStatus);
    if (SUCCEEDED(hr) && phAccessor != nullptr) {
        checkBindingsFit(rgBindings, cBindings, cbRowSize);
        accessors_[*phAccessor] = 1;
        bindings_[*phAccessor] = lastBindings_;
    }
    return hr;
}

HRESULT FakeRowset::ReleaseAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) {
    const auto failure =
        enter("IAccessor::ReleaseAccessor", [&] { return std::to_string(hAccessor); });
    auto it = accessors_.find(hAccessor);
    if (it == accessors_.end()) {
        if (hAccessor != 0) {
            fault("release of accessor " + std::to_string(hAccessor) + ", which is not held");
        }
    } else if (--it->second == 0) {
        accessors_.erase(it);
    }
    const HRESULT hr = TableRowset::ReleaseAccessor(hAccessor, pcRefCount);
    return failure ? *failure : hr;
}

// ---- FakeRowset: IColumnsInfo, IRowsetInfo

HRESULT FakeRowset::GetColumnInfo(DBORDINAL* pcColumns, DBCOLUMNINFO** prgInfo,
                                  OLECHAR** ppStringsBuffer) {
    if (auto failure = enter("IColumnsInfo::GetColumnInfo")) {
        return *failure;
    }
    const HRESULT hr = TableRowset::GetColumnInfo(pcColumns, prgInfo, ppStringsBuffer);
    if (FAILED(hr) || prgInfo == nullptr || ppStringsBuffer == nullptr) {
        return hr;
    }
    handedOver(*ppStringsBuffer, "column names");
    handedOver(*prgInfo, "column info");
    if (quirks_->columnsWithoutInfo) {
        DBCOLUMNINFO* info = *prgInfo;
        *prgInfo = nullptr;
        CoTaskMemFree(info);
    }
    return hr;
}

HRESULT FakeRowset::GetProperties(const ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[],
                                  ULONG* pcPropertySets, DBPROPSET** prgPropertySets) {
    auto requested = [&] {
        std::string detail;
        for (ULONG s = 0; rgPropertyIDSets != nullptr && s < cPropertyIDSets; ++s) {
            for (ULONG p = 0; p < rgPropertyIDSets[s].cPropertyIDs; ++p) {
                detail += (detail.empty() ? "" : ",") +
                          std::to_string(rgPropertyIDSets[s].rgPropertyIDs[p]);
            }
        }
        return detail;
    };
    if (auto failure = enter("IRowsetInfo::GetProperties", requested)) {
        return *failure;
    }
    const HRESULT hr = TableRowset::GetProperties(cPropertyIDSets, rgPropertyIDSets, pcPropertySets,
                                                  prgPropertySets);
    if (pcPropertySets == nullptr || prgPropertySets == nullptr || *prgPropertySets == nullptr) {
        return hr;
    }
    handedOver(*prgPropertySets, "property sets");
    for (ULONG s = 0; s < *pcPropertySets; ++s) {
        handedOver((*prgPropertySets)[s].rgProperties, "properties");
    }
    if (quirks_->undefinedUnsupportedValues) {
        for (ULONG s = 0; s < *pcPropertySets; ++s) {
            DBPROPSET& set = (*prgPropertySets)[s];
            for (ULONG p = 0; set.rgProperties != nullptr && p < set.cProperties; ++p) {
                if (set.rgProperties[p].dwStatus != DBPROPSTATUS_OK) {
                    std::memset(&set.rgProperties[p].vValue.llVal, 0xFF,
                                sizeof set.rgProperties[p].vValue.llVal);
                }
            }
        }
    }
    if (quirks_->extraPropertySet) {
        addPropertySet(pcPropertySets, prgPropertySets);
    }
    return hr;
}

void FakeRowset::addPropertySet(ULONG* count, DBPROPSET** sets) {
    // A third property in the first set, which nobody asked for.
    if (*count > 0) {
        DBPROPSET& first = (*sets)[0];
        auto* properties =
            static_cast<DBPROP*>(CoTaskMemAlloc((first.cProperties + 1) * sizeof(DBPROP)));
        handedOver(properties, "properties");
        std::memcpy(properties, first.rgProperties, first.cProperties * sizeof(DBPROP));
        std::memset(&properties[first.cProperties], 0, sizeof(DBPROP));
        properties[first.cProperties].dwPropertyID = DBPROP_IRowsetChange;
        properties[first.cProperties].vValue.vt = VT_BOOL;
        properties[first.cProperties].vValue.boolVal = VARIANT_TRUE;
        CoTaskMemFree(first.rgProperties);
        first.rgProperties = properties;
        ++first.cProperties;
    }
    auto* grown = static_cast<DBPROPSET*>(CoTaskMemAlloc((*count + 1) * sizeof(DBPROPSET)));
    handedOver(grown, "property sets");
    auto* property = static_cast<DBPROP*>(CoTaskMemAlloc(sizeof(DBPROP)));
    handedOver(property, "properties");
    std::memset(property, 0, sizeof *property);
    property->dwPropertyID = DBPROP_INIT_PROVIDERSTRING;
    property->vValue.vt = VT_BSTR;
    property->vValue.bstrVal = SysAllocString(TARVEL_UTF16("Application=Windows"));
    handedOver(property->vValue.bstrVal, "BSTR in a property");
    std::memcpy(grown, *sets, *count * sizeof(DBPROPSET));
    grown[*count] = DBPROPSET{property, 1, DBPROPSET_DBINIT};
    CoTaskMemFree(*sets);
    *sets = grown;
    ++*count;
}

// ---- FakeRowset: IChapteredRowset

HRESULT FakeRowset::AddRefChapter(HCHAPTER hChapter, DBREFCOUNT* pcRefCount) {
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

HRESULT FakeRowset::ReleaseChapter(HCHAPTER hChapter, DBREFCOUNT* pcRefCount) {
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

// ---- FakeDataSource, FakeSession, FakeCommand

HRESULT FakeDataSource::Initialize() {
    if (auto failure = enter("IDBInitialize::Initialize")) {
        return *failure;
    }
    return ProviderDataSource::Initialize();
}

HRESULT FakeDataSource::SetProperties(ULONG cPropertySets, DBPROPSET rgPropertySets[]) {
    auto properties = [&] {
        std::string detail;
        for (ULONG s = 0; rgPropertySets != nullptr && s < cPropertySets; ++s) {
            for (ULONG p = 0; p < rgPropertySets[s].cProperties; ++p) {
                const DBPROP& property = rgPropertySets[s].rgProperties[p];
                detail += (detail.empty() ? "" : ",") + std::to_string(property.dwPropertyID);
                if (property.vValue.vt == VT_BSTR) {
                    detail += "=" + narrow(property.vValue.bstrVal);
                }
            }
        }
        return detail;
    };
    if (auto failure = enter("IDBProperties::SetProperties", properties)) {
        return *failure;
    }
    return ProviderDataSource::SetProperties(cPropertySets, rgPropertySets);
}

HRESULT FakeDataSource::CreateSession(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppDBSession) {
    if (ppDBSession != nullptr) {
        *ppDBSession = nullptr;
    }
    HRESULT hr = S_OK;
    if (auto failure =
            enter("IDBCreateSession::CreateSession", [&] { return interfaceName(riid); })) {
        hr = *failure;
    } else {
        hr = ProviderDataSource::CreateSession(pUnkOuter, riid, ppDBSession);
    }
    return strayWith(hr, quirks_, riid, ppDBSession, [&] { return newSession(); });
}

ProviderSession* FakeDataSource::newSession() {
    return ProviderSession::create<FakeSession>(watch(), config(), this, quirks_);
}

HRESULT FakeSession::CreateCommand(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppCommand) {
    if (ppCommand != nullptr) {
        *ppCommand = nullptr;
    }
    HRESULT hr = S_OK;
    if (auto failure =
            enter("IDBCreateCommand::CreateCommand", [&] { return interfaceName(riid); })) {
        hr = *failure;
    } else {
        hr = ProviderSession::CreateCommand(pUnkOuter, riid, ppCommand);
    }
    return strayWith(hr, quirks_, riid, ppCommand, [&] { return newCommand(); });
}

ProviderCommand* FakeSession::newCommand() {
    return ProviderCommand::create<FakeCommand>(watch(), config(), this, quirks_);
}

HRESULT FakeCommand::Execute(IUnknown* pUnkOuter, REFIID riid, DBPARAMS* pParams,
                             DBROWCOUNT* pcRowsAffected, IUnknown** ppRowset) {
    if (ppRowset != nullptr) {
        *ppRowset = nullptr;
    }
    HRESULT hr = S_OK;
    if (auto failure = enter("ICommand::Execute", [&] { return interfaceName(riid); })) {
        hr = *failure;
    } else {
        if (pParams != nullptr && pUnkOuter == nullptr) {
            fault("Execute was given parameters");
        }
        hr = ProviderCommand::Execute(pUnkOuter, riid, pParams, pcRowsAffected, ppRowset);
    }
    return strayWith(hr, quirks_, riid, ppRowset, [&] {
        FakeRowset* rowset =
            TableRowset::create<FakeRowset>(watch(), std::make_shared<const Table>(), quirks_);
        rowset->keepAlive(this);
        return rowset;
    });
}

HRESULT FakeCommand::SetCommandText(REFGUID rguidDialect, LPCOLESTR pwszCommand) {
    auto detail = [&] {
        return (IsEqualGUID(rguidDialect, DBGUID_DEFAULT) ? std::string("DBGUID_DEFAULT")
                                                          : interfaceName(rguidDialect)) +
               "," + narrow(pwszCommand);
    };
    if (auto failure = enter("ICommandText::SetCommandText", detail)) {
        return *failure;
    }
    return ProviderCommand::SetCommandText(rguidDialect, pwszCommand);
}

HRESULT FakeCommand::serve(std::shared_ptr<const Table> table, REFIID riid, IUnknown** rowset) {
    FakeRowset* rows = TableRowset::create<FakeRowset>(watch(), std::move(table), quirks_);
    rows->keepAlive(this);
    return handOut(rows, riid, reinterpret_cast<void**>(rowset));
}

// ---- FakeProvider

FakeDataSource* FakeProvider::newDataSource() {
    return ProviderDataSource::create<FakeDataSource>(watch, &config, &quirks);
}

HRESULT FakeProvider::make(void* context, REFIID riid, void** ppv) {
    return handOut(static_cast<FakeProvider*>(context)->newDataSource(), riid, ppv);
}

}  // namespace tarvel::service
