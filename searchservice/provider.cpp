#include "provider.h"

namespace tarvel::service {

const CLSID CLSID_StandInProvider = {
    0x2a1e46f3, 0x9a84, 0x4e4b, {0x9f, 0x5c, 0x6b, 0x3a, 0x3c, 0x0e, 0x5d, 0x17}};

// ---- ProviderDataSource

ProviderDataSource::ProviderDataSource(ObjectWatcher* watcher, ProviderConfig* config)
    : ComObject(watcher, "IDBInitialize"), config_(config) {}

HRESULT ProviderDataSource::make(ObjectWatcher* watcher, void* context, REFIID riid, void** ppv) {
    auto* config = static_cast<ProviderConfig*>(context);
    return handOut(ProviderDataSource::create(watcher, config), riid, ppv);
}

HRESULT ProviderDataSource::Initialize() {
    if (auto failure = enter("IDBInitialize::Initialize")) {
        return *failure;
    }
    if (initialized_) {
        return DB_E_ALREADYINITIALIZED;
    }
    const HRESULT hr = config_->initialize ? config_->initialize() : S_OK;
    initialized_ = SUCCEEDED(hr);
    return hr;
}

HRESULT ProviderDataSource::SetProperties(ULONG cPropertySets, DBPROPSET rgPropertySets[]) {
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
    if (cPropertySets != 0 && rgPropertySets == nullptr) {
        return E_INVALIDARG;
    }
    for (ULONG s = 0; s < cPropertySets; ++s) {
        for (ULONG p = 0; p < rgPropertySets[s].cProperties; ++p) {
            rgPropertySets[s].rgProperties[p].dwStatus = DBPROPSTATUS_OK;
        }
    }
    return S_OK;
}

HRESULT ProviderDataSource::CreateSession(IUnknown* pUnkOuter, REFIID riid,
                                          IUnknown** ppDBSession) {
    if (ppDBSession != nullptr) {
        *ppDBSession = nullptr;
    }
    if (auto failure =
            enter("IDBCreateSession::CreateSession", [&] { return interfaceName(riid); })) {
        return *failure;
    }
    if (ppDBSession == nullptr) {
        return E_INVALIDARG;
    }
    if (pUnkOuter != nullptr) {
        return DB_E_NOAGGREGATION;
    }
    if (!initialized_) {
        return E_UNEXPECTED;
    }
    return handOut(newSession(), riid, reinterpret_cast<void**>(ppDBSession));
}

ProviderSession* ProviderDataSource::newSession() {
    return ProviderSession::create(watcher(), config_, this);
}

// ---- ProviderSession

ProviderSession::ProviderSession(ObjectWatcher* watcher, ProviderConfig* config,
                                 ProviderDataSource* dataSource)
    : ComObject(watcher, "IOpenRowset"), config_(config), dataSource_(dataSource) {}

HRESULT ProviderSession::CreateCommand(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppCommand) {
    if (ppCommand != nullptr) {
        *ppCommand = nullptr;
    }
    if (auto failure =
            enter("IDBCreateCommand::CreateCommand", [&] { return interfaceName(riid); })) {
        return *failure;
    }
    if (ppCommand == nullptr) {
        return E_INVALIDARG;
    }
    if (pUnkOuter != nullptr) {
        return DB_E_NOAGGREGATION;
    }
    return handOut(newCommand(), riid, reinterpret_cast<void**>(ppCommand));
}

ProviderCommand* ProviderSession::newCommand() {
    return ProviderCommand::create(watcher(), config_, this);
}

// ---- ProviderCommand

ProviderCommand::ProviderCommand(ObjectWatcher* watcher, ProviderConfig* config,
                                 ProviderSession* session)
    : ComObject(watcher, "ICommand"), config_(config), session_(session) {}

HRESULT ProviderCommand::Execute(IUnknown* pUnkOuter, REFIID riid, DBPARAMS* pParams,
                                 DBROWCOUNT* pcRowsAffected, IUnknown** ppRowset) {
    if (ppRowset != nullptr) {
        *ppRowset = nullptr;
    }
    if (auto failure = enter("ICommand::Execute", [&] { return interfaceName(riid); })) {
        return *failure;
    }
    if (pcRowsAffected != nullptr) {
        *pcRowsAffected = -1;
    }
    if (pUnkOuter != nullptr) {
        return DB_E_NOAGGREGATION;
    }
    if (pParams != nullptr) {
        fault("Execute was given parameters");
    }
    if (!hasText_) {
        return DB_E_NOCOMMAND;
    }
    std::shared_ptr<const Table> table;
    const HRESULT hr = config_->backend ? config_->backend(text_, table) : DB_E_ERRORSINCOMMAND;
    if (FAILED(hr) || !table || ppRowset == nullptr) {
        return hr;
    }
    const HRESULT served = serve(std::move(table), riid, ppRowset);
    return FAILED(served) ? served : hr;
}

HRESULT ProviderCommand::serve(std::shared_ptr<const Table> table, REFIID riid, IUnknown** rowset) {
    if (config_->makeRowset) {
        return config_->makeRowset(this, std::move(table), riid, rowset);
    }
    TableRowset* rows = TableRowset::create(watcher(), std::move(table));
    rows->keepAlive(this);
    return handOut(rows, riid, reinterpret_cast<void**>(rowset));
}

HRESULT ProviderCommand::SetCommandText(REFGUID rguidDialect, LPCOLESTR pwszCommand) {
    auto detail = [&] {
        return (IsEqualGUID(rguidDialect, DBGUID_DEFAULT) ? std::string("DBGUID_DEFAULT")
                                                          : interfaceName(rguidDialect)) +
               "," + narrow(pwszCommand);
    };
    if (auto failure = enter("ICommandText::SetCommandText", detail)) {
        return *failure;
    }
    if (!IsEqualGUID(rguidDialect, DBGUID_DEFAULT)) {
        return DB_E_DIALECTNOTSUPPORTED;
    }
    hasText_ = pwszCommand != nullptr && pwszCommand[0] != 0;
    text_ = hasText_ ? WString(pwszCommand) : WString();
    return S_OK;
}

}  // namespace tarvel::service
