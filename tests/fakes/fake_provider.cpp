#include "fake_provider.h"

#include <algorithm>
#include <cstring>

namespace tarvel::service {

namespace {

// A failed call's out-pointer, given the object that make() creates when the quirks say so.
template <class Make>
HRESULT strayWith(HRESULT hr, const Quirks* quirks, REFIID riid, IUnknown** out, Make make) {
    if (FAILED(hr) && quirks->strayOnFailure && out != nullptr && *out == nullptr) {
        handOut(make(), riid, reinterpret_cast<void**>(out));
    }
    return hr;
}

}  // namespace

// ---- FakeRowset

HRESULT FakeRowset::GetData(HROW hRow, HACCESSOR hAccessor, void* pData) {
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
    const size_t room = binding.cbMaxLen / sizeof(WCHAR);
    if ((status != DBSTATUS_S_OK && status != DBSTATUS_S_TRUNCATED) || cell == nullptr ||
        !textOf(*cell, text) || room == 0 || text.size() < room) {
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
    HRESULT hr = S_OK;
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
            handedOver("row handle array");
        }
        if (own != nullptr) {
            *prghRows = own;
        }
        if (hr == DB_S_ENDOFROWSET && pcRowsObtained != nullptr &&
            DBROWCOUNT(*pcRowsObtained) >= cRows) {
            hr = S_OK;
        }
    }
    mostRowsHeld_ = std::max(mostRowsHeld_, outstandingRows());
    return hr;
}

HRESULT FakeRowset::CreateAccessor(DBACCESSORFLAGS dwAccessorFlags, DBCOUNTITEM cBindings,
                                   const DBBINDING rgBindings[], DBLENGTH cbRowSize,
                                   HACCESSOR* phAccessor, DBBINDSTATUS rgStatus[]) {
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
    const HRESULT hr = TableRowset::CreateAccessor(dwAccessorFlags, cBindings, rgBindings,
                                                   cbRowSize, phAccessor, rgStatus);
    if (SUCCEEDED(hr) && phAccessor != nullptr) {
        bindings_[*phAccessor] = lastBindings_;
    }
    return hr;
}

HRESULT FakeRowset::GetColumnInfo(DBORDINAL* pcColumns, DBCOLUMNINFO** prgInfo,
                                  OLECHAR** ppStringsBuffer) {
    const HRESULT hr = TableRowset::GetColumnInfo(pcColumns, prgInfo, ppStringsBuffer);
    if (SUCCEEDED(hr) && quirks_->columnsWithoutInfo && prgInfo != nullptr) {
        DBCOLUMNINFO* info = *prgInfo;
        *prgInfo = nullptr;
        CoTaskMemFree(info);
    }
    return hr;
}

HRESULT FakeRowset::GetProperties(const ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[],
                                  ULONG* pcPropertySets, DBPROPSET** prgPropertySets) {
    const HRESULT hr = TableRowset::GetProperties(cPropertyIDSets, rgPropertyIDSets, pcPropertySets,
                                                  prgPropertySets);
    if (pcPropertySets == nullptr || prgPropertySets == nullptr || *prgPropertySets == nullptr) {
        return hr;
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
        handedOver("properties");
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
    handedOver("property sets");
    auto* property = static_cast<DBPROP*>(CoTaskMemAlloc(sizeof(DBPROP)));
    handedOver("properties");
    std::memset(property, 0, sizeof *property);
    property->dwPropertyID = DBPROP_INIT_PROVIDERSTRING;
    property->vValue.vt = VT_BSTR;
    property->vValue.bstrVal = SysAllocString(TARVEL_UTF16("Application=Windows"));
    handedOver("BSTR in a property");
    std::memcpy(grown, *sets, *count * sizeof(DBPROPSET));
    grown[*count] = DBPROPSET{property, 1, DBPROPSET_DBINIT};
    CoTaskMemFree(*sets);
    *sets = grown;
    ++*count;
}

// ---- FakeDataSource, FakeSession, FakeCommand

HRESULT FakeDataSource::CreateSession(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppDBSession) {
    return strayWith(ProviderDataSource::CreateSession(pUnkOuter, riid, ppDBSession), quirks_, riid,
                     ppDBSession, [&] { return newSession(); });
}

ProviderSession* FakeDataSource::newSession() {
    return ProviderSession::create<FakeSession>(watcher(), config(), this, quirks_);
}

HRESULT FakeSession::CreateCommand(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppCommand) {
    return strayWith(ProviderSession::CreateCommand(pUnkOuter, riid, ppCommand), quirks_, riid,
                     ppCommand, [&] { return newCommand(); });
}

ProviderCommand* FakeSession::newCommand() {
    return ProviderCommand::create<FakeCommand>(watcher(), config(), this, quirks_);
}

HRESULT FakeCommand::Execute(IUnknown* pUnkOuter, REFIID riid, DBPARAMS* pParams,
                             DBROWCOUNT* pcRowsAffected, IUnknown** ppRowset) {
    return strayWith(ProviderCommand::Execute(pUnkOuter, riid, pParams, pcRowsAffected, ppRowset),
                     quirks_, riid, ppRowset, [&] {
                         FakeRowset* rowset = TableRowset::create<FakeRowset>(
                             watcher(), std::make_shared<const Table>(), quirks_);
                         rowset->keepAlive(this);
                         return rowset;
                     });
}

// ---- FakeProvider

FakeProvider::FakeProvider() {
    config.makeRowset = [this](ObjectCore* command, std::shared_ptr<const Table> table, REFIID riid,
                               IUnknown** rowset) {
        FakeRowset* rows =
            TableRowset::create<FakeRowset>(command->watcher(), std::move(table), &quirks);
        rows->keepAlive(command);
        return handOut(rows, riid, reinterpret_cast<void**>(rowset));
    };
}

HRESULT FakeProvider::make(ObjectWatcher* watcher, void* context, REFIID riid, void** ppv) {
    auto* provider = static_cast<FakeProvider*>(context);
    return handOut(
        ProviderDataSource::create<FakeDataSource>(watcher, &provider->config, &provider->quirks),
        riid, ppv);
}

}  // namespace tarvel::service
