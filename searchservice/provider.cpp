#include "provider.h"

namespace tarvel::service {

const CLSID CLSID_StandInProvider = {
    0x2a1e46f3, 0x9a84, 0x4e4b, {0x9f, 0x5c, 0x6b, 0x3a, 0x3c, 0x0e, 0x5d, 0x17}};

namespace {

template <class Object>
void applyWithheld(Object* object, const ProviderConfig* config) {
    for (const IID* iid : config->withheld) {
        object->withhold(*iid);
    }
}

// Hands out the new object's interface; the creation reference is dropped either way.
template <class Object>
HRESULT handOut(Object* object, REFIID riid, void** ppv) {
    const HRESULT hr = object->lookup(riid, ppv);
    object->release(nullptr);
    return hr;
}

// The failure of a call whose out-pointer is cleared, or, where the provider writes one
// anyway, given the object that make() creates.
template <class Make>
HRESULT failWith(HRESULT failure, const ProviderConfig* config, REFIID riid, IUnknown** out,
                 Make make) {
    if (out != nullptr) {
        *out = nullptr;
        if (config->strayOnFailure) {
            handOut(make(), riid, reinterpret_cast<void**>(out));
        }
    }
    return failure;
}

}  // namespace

// ---- ProviderDataSource

ProviderDataSource::ProviderDataSource(Instrumentation* instrumentation, ProviderConfig* config)
    : ComObject(instrumentation, "IDBInitialize"), config_(config) {
    applyWithheld(this, config_);
}

HRESULT ProviderDataSource::make(Instrumentation* instrumentation, void* context, REFIID riid,
                                 void** ppv) {
    auto* config = static_cast<ProviderConfig*>(context);
    return handOut(ProviderDataSource::create(instrumentation, config), riid, ppv);
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

HRESULT ProviderDataSource::Uninitialize() {
    return unexpected("IDBInitialize::Uninitialize");
}

HRESULT ProviderDataSource::GetProperties(ULONG, const DBPROPIDSET[], ULONG*, DBPROPSET**) {
    return unexpected("IDBProperties::GetProperties");
}

HRESULT ProviderDataSource::GetPropertyInfo(ULONG, const DBPROPIDSET[], ULONG*, DBPROPINFOSET**,
                                            OLECHAR**) {
    return unexpected("IDBProperties::GetPropertyInfo");
}

HRESULT ProviderDataSource::SetProperties(ULONG cPropertySets, DBPROPSET rgPropertySets[]) {
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
    if (auto failure = enter("IDBProperties::SetProperties", detail)) {
        return *failure;
    }
    if (cPropertySets != 0 && rgPropertySets == nullptr) {
        return E_INVALIDARG;
    }
    for (ULONG s = 0; s < cPropertySets; ++s) {
        for (ULONG p = 0; p < rgPropertySets[s].cProperties; ++p) {
            DBPROP& property = rgPropertySets[s].rgProperties[p];
            property.dwStatus = DBPROPSTATUS_OK;
            if (IsEqualGUID(rgPropertySets[s].guidPropertySet, DBPROPSET_DBINIT) &&
                property.dwPropertyID == DBPROP_INIT_PROVIDERSTRING &&
                property.vValue.vt == VT_BSTR && property.vValue.bstrVal != nullptr) {
                config_->providerString = property.vValue.bstrVal;
            }
        }
    }
    return S_OK;
}

HRESULT ProviderDataSource::CreateSession(IUnknown* pUnkOuter, REFIID riid,
                                          IUnknown** ppDBSession) {
    if (auto failure = enter("IDBCreateSession::CreateSession", interfaceName(riid))) {
        return failWith(*failure, config_, riid, ppDBSession,
                        [&] { return ProviderSession::create(instrumentation(), config_, this); });
    }
    if (ppDBSession == nullptr) {
        return E_INVALIDARG;
    }
    *ppDBSession = nullptr;
    if (pUnkOuter != nullptr) {
        return DB_E_NOAGGREGATION;
    }
    if (!initialized_) {
        return E_UNEXPECTED;
    }
    return handOut(ProviderSession::create(instrumentation(), config_, this), riid,
                   reinterpret_cast<void**>(ppDBSession));
}

// ---- ProviderSession

ProviderSession::ProviderSession(Instrumentation* instrumentation, ProviderConfig* config,
                                 ProviderDataSource* dataSource)
    : ComObject(instrumentation, "IOpenRowset"), config_(config), dataSource_(dataSource) {
    applyWithheld(this, config_);
}

HRESULT ProviderSession::OpenRowset(IUnknown*, DBID*, DBID*, REFIID, ULONG, DBPROPSET[],
                                    IUnknown**) {
    return unexpected("IOpenRowset::OpenRowset");
}

HRESULT ProviderSession::CreateCommand(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppCommand) {
    if (auto failure = enter("IDBCreateCommand::CreateCommand", interfaceName(riid))) {
        return failWith(*failure, config_, riid, ppCommand,
                        [&] { return ProviderCommand::create(instrumentation(), config_, this); });
    }
    if (ppCommand == nullptr) {
        return E_INVALIDARG;
    }
    *ppCommand = nullptr;
    if (pUnkOuter != nullptr) {
        return DB_E_NOAGGREGATION;
    }
    return handOut(ProviderCommand::create(instrumentation(), config_, this), riid,
                   reinterpret_cast<void**>(ppCommand));
}

// ---- ProviderCommand

ProviderCommand::ProviderCommand(Instrumentation* instrumentation, ProviderConfig* config,
                                 ProviderSession* session)
    : ComObject(instrumentation, "ICommand"), config_(config), session_(session) {
    applyWithheld(this, config_);
}

HRESULT ProviderCommand::Cancel() {
    return unexpected("ICommand::Cancel");
}

HRESULT ProviderCommand::Execute(IUnknown* pUnkOuter, REFIID riid, DBPARAMS* pParams,
                                 DBROWCOUNT* pcRowsAffected, IUnknown** ppRowset) {
    if (auto failure = enter("ICommand::Execute", interfaceName(riid))) {
        return failWith(*failure, config_, riid, ppRowset, [&] {
            TableRowset* rowset =
                TableRowset::create(instrumentation(), std::make_shared<const Table>());
            rowset->keepAlive(this);
            return rowset;
        });
    }
    if (ppRowset != nullptr) {
        *ppRowset = nullptr;
    }
    if (pcRowsAffected != nullptr) {
        *pcRowsAffected = -1;
    }
    if (pUnkOuter != nullptr) {
        return DB_E_NOAGGREGATION;
    }
    if (pParams != nullptr && instrumentation() != nullptr) {
        instrumentation()->error("Execute was given parameters");
    }
    if (!hasText_) {
        return DB_E_NOCOMMAND;
    }
    if (config_->makeRowset) {
        return ppRowset != nullptr ? config_->makeRowset(riid, ppRowset) : S_OK;
    }
    std::shared_ptr<const Table> table;
    const HRESULT hr = config_->backend ? config_->backend(text_, table) : DB_E_ERRORSINCOMMAND;
    if (FAILED(hr) || !table || ppRowset == nullptr) {
        return hr;
    }
    TableRowset* rowset = TableRowset::create(instrumentation(), std::move(table));
    rowset->keepAlive(this);
    applyWithheld(rowset, config_);
    config_->lastRowset = rowset;
    const HRESULT handed = handOut(rowset, riid, reinterpret_cast<void**>(ppRowset));
    return FAILED(handed) ? handed : hr;
}

HRESULT ProviderCommand::GetDBSession(REFIID, IUnknown**) {
    return unexpected("ICommand::GetDBSession");
}

HRESULT ProviderCommand::GetCommandText(GUID*, LPOLESTR*) {
    return unexpected("ICommandText::GetCommandText");
}

HRESULT ProviderCommand::SetCommandText(REFGUID rguidDialect, LPCOLESTR pwszCommand) {
    const std::string dialect =
        IsEqualGUID(rguidDialect, DBGUID_DEFAULT) ? "DBGUID_DEFAULT" : interfaceName(rguidDialect);
    if (auto failure = enter("ICommandText::SetCommandText", dialect + "," + narrow(pwszCommand))) {
        return *failure;
    }
    if (!IsEqualGUID(rguidDialect, DBGUID_DEFAULT)) {
        return DB_E_DIALECTNOTSUPPORTED;
    }
    hasText_ = pwszCommand != nullptr && pwszCommand[0] != 0;
    text_ = hasText_ ? WString(pwszCommand) : WString();
    return S_OK;
}

// ---- ScriptedDataInitialize

HRESULT ScriptedDataInitialize::make(Instrumentation* instrumentation, void* context, REFIID riid,
                                     void** ppv) {
    auto* config = static_cast<ProviderConfig*>(context);
    return handOut(ScriptedDataInitialize::create(instrumentation, config), riid, ppv);
}

HRESULT ScriptedDataInitialize::GetDataSource(IUnknown* pUnkOuter, DWORD dwClsCtx,
                                              LPCOLESTR pwszInitializationString, REFIID riid,
                                              IUnknown** ppDataSource) {
    if (auto failure = enter("IDataInitialize::GetDataSource",
                             std::to_string(dwClsCtx) + "," + narrow(pwszInitializationString) +
                                 "," + interfaceName(riid))) {
        return failWith(*failure, config_, riid, ppDataSource,
                        [&] { return ProviderDataSource::create(instrumentation(), config_); });
    }
    if (ppDataSource == nullptr) {
        return E_INVALIDARG;
    }
    *ppDataSource = nullptr;
    if (pUnkOuter != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    return handOut(ProviderDataSource::create(instrumentation(), config_), riid,
                   reinterpret_cast<void**>(ppDataSource));
}

HRESULT ScriptedDataInitialize::GetInitializationString(IUnknown*, boolean, LPOLESTR*) {
    return unexpected("IDataInitialize::GetInitializationString");
}
HRESULT ScriptedDataInitialize::CreateDBInstance(REFCLSID, IUnknown*, DWORD, LPOLESTR, REFIID,
                                                 IUnknown**) {
    return unexpected("IDataInitialize::CreateDBInstance");
}
HRESULT ScriptedDataInitialize::CreateDBInstanceEx(REFCLSID, IUnknown*, DWORD, LPOLESTR,
                                                   COSERVERINFO*, ULONG, MULTI_QI*) {
    return unexpected("IDataInitialize::CreateDBInstanceEx");
}
HRESULT ScriptedDataInitialize::LoadStringFromStorage(LPCOLESTR, LPOLESTR*) {
    return unexpected("IDataInitialize::LoadStringFromStorage");
}
HRESULT ScriptedDataInitialize::WriteStringToStorage(LPCOLESTR, LPCOLESTR, DWORD) {
    return unexpected("IDataInitialize::WriteStringToStorage");
}

}  // namespace tarvel::service
