#include "provider.h"

namespace tarvel::service {

const CLSID CLSID_StandInProvider = {
    0x2a1e46f3, 0x9a84, 0x4e4b, {0x9f, 0x5c, 0x6b, 0x3a, 0x3c, 0x0e, 0x5d, 0x17}};

// ---- ProviderDataSource

ProviderDataSource::ProviderDataSource(ProviderConfig* config) : config_(config) {}

HRESULT ProviderDataSource::make(void* context, REFIID riid, void** ppv) {
    return handOut(ProviderDataSource::create(static_cast<ProviderConfig*>(context)), riid, ppv);
}

HRESULT ProviderDataSource::Initialize() {
    if (initialized_) {
        return DB_E_ALREADYINITIALIZED;
    }
    const HRESULT hr = config_->initialize ? config_->initialize() : S_OK;
    initialized_ = SUCCEEDED(hr);
    return hr;
}

HRESULT ProviderDataSource::SetProperties(ULONG cPropertySets, DBPROPSET rgPropertySets[]) {
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
    return ProviderSession::create(config_, this);
}

// ---- ProviderSession

ProviderSession::ProviderSession(ProviderConfig* config, ProviderDataSource* dataSource)
    : config_(config), dataSource_(dataSource) {}

HRESULT ProviderSession::CreateCommand(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppCommand) {
    if (ppCommand != nullptr) {
        *ppCommand = nullptr;
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
    return ProviderCommand::create(config_, this);
}

// ---- ProviderCommand

ProviderCommand::ProviderCommand(ProviderConfig* config, ProviderSession* session)
    : config_(config), session_(session) {}

HRESULT ProviderCommand::Execute(IUnknown* pUnkOuter, REFIID riid, DBPARAMS*,
                                 DBROWCOUNT* pcRowsAffected, IUnknown** ppRowset) {
    if (ppRowset != nullptr) {
        *ppRowset = nullptr;
    }
    if (pcRowsAffected != nullptr) {
        *pcRowsAffected = -1;
    }
    if (pUnkOuter != nullptr) {
        return DB_E_NOAGGREGATION;
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
    TableRowset* rows = TableRowset::create(std::move(table));
    rows->keepAlive(this);
    return handOut(rows, riid, reinterpret_cast<void**>(rowset));
}

HRESULT ProviderCommand::SetCommandText(REFGUID rguidDialect, LPCOLESTR pwszCommand) {
    if (!IsEqualGUID(rguidDialect, DBGUID_DEFAULT)) {
        return DB_E_DIALECTNOTSUPPORTED;
    }
    hasText_ = pwszCommand != nullptr && pwszCommand[0] != 0;
    text_ = hasText_ ? WString(pwszCommand) : WString();
    return S_OK;
}

}  // namespace tarvel::service
