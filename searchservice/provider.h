// The stand-in OLE DB provider: data source, session and command. What a command's text
// yields is decided by a backend: the directory index for the service, a script for tests.
#pragma once

#include <functional>
#include <memory>

#include "table_rowset.h"

namespace tarvel::service {

// Answers a command's text: a table to serve as the rowset, or no rowset (null table with a
// success code), or a failure such as DB_E_ERRORSINCOMMAND.
using CommandBackend =
    std::function<HRESULT(const WString& text, std::shared_ptr<const Table>& table)>;

struct ProviderConfig {
    CommandBackend backend;
    // When set, makes the rowset of every execution instead of the backend's table.
    std::function<HRESULT(REFIID riid, IUnknown** rowset)> makeRowset;
    // Runs when a data source is initialized; its failure is Initialize's.
    std::function<HRESULT()> initialize;
    // Interfaces the provider's objects do not offer, as "IDBCreateSession" and the like.
    std::vector<const IID*> withheld;
    // A failing GetDataSource, CreateSession, CreateCommand or Execute still writes a new
    // object, with its one reference, into the out-pointer.
    bool strayOnFailure = false;
    // The rowset of the most recent execution, for tests to inspect.
    TableRowset* lastRowset = nullptr;
    // The provider string the data source was given (DBPROP_INIT_PROVIDERSTRING).
    WString providerString;
};

class ProviderDataSource final
    : public ComObject<ProviderDataSource, IDBInitialize, IDBProperties, IDBCreateSession> {
public:
    ProviderDataSource(Instrumentation* instrumentation, ProviderConfig* config);

    // The class object's maker; context is the ProviderConfig.
    static HRESULT make(Instrumentation* instrumentation, void* context, REFIID riid, void** ppv);

    HRESULT STDMETHODCALLTYPE Initialize() override;
    HRESULT STDMETHODCALLTYPE Uninitialize() override;
    HRESULT STDMETHODCALLTYPE GetProperties(ULONG, const DBPROPIDSET[], ULONG*,
                                            DBPROPSET**) override;
    HRESULT STDMETHODCALLTYPE GetPropertyInfo(ULONG, const DBPROPIDSET[], ULONG*, DBPROPINFOSET**,
                                              OLECHAR**) override;
    HRESULT STDMETHODCALLTYPE SetProperties(ULONG cPropertySets,
                                            DBPROPSET rgPropertySets[]) override;
    HRESULT STDMETHODCALLTYPE CreateSession(IUnknown* pUnkOuter, REFIID riid,
                                            IUnknown** ppDBSession) override;

private:
    ProviderConfig* config_;
    bool initialized_ = false;
};

class ProviderSession final : public ComObject<ProviderSession, IOpenRowset, IDBCreateCommand> {
public:
    ProviderSession(Instrumentation* instrumentation, ProviderConfig* config,
                    ProviderDataSource* dataSource);

    HRESULT STDMETHODCALLTYPE OpenRowset(IUnknown*, DBID*, DBID*, REFIID, ULONG, DBPROPSET[],
                                         IUnknown**) override;
    HRESULT STDMETHODCALLTYPE CreateCommand(IUnknown* pUnkOuter, REFIID riid,
                                            IUnknown** ppCommand) override;

protected:
    void finalRelease() override { dataSource_.reset(); }

private:
    ProviderConfig* config_;
    CoreRef<ProviderDataSource> dataSource_;
};

class ProviderCommand final : public ComObject<ProviderCommand, ICommand, ICommandText> {
public:
    ProviderCommand(Instrumentation* instrumentation, ProviderConfig* config,
                    ProviderSession* session);

    HRESULT STDMETHODCALLTYPE Cancel() override;
    HRESULT STDMETHODCALLTYPE Execute(IUnknown* pUnkOuter, REFIID riid, DBPARAMS* pParams,
                                      DBROWCOUNT* pcRowsAffected, IUnknown** ppRowset) override;
    HRESULT STDMETHODCALLTYPE GetDBSession(REFIID, IUnknown**) override;
    HRESULT STDMETHODCALLTYPE GetCommandText(GUID*, LPOLESTR*) override;
    HRESULT STDMETHODCALLTYPE SetCommandText(REFGUID rguidDialect, LPCOLESTR pwszCommand) override;

protected:
    void finalRelease() override { session_.reset(); }

private:
    ProviderConfig* config_;
    CoreRef<ProviderSession> session_;
    WString text_;
    bool hasText_ = false;
};

// A data-initialization service that makes the stand-in provider's data source directly,
// whatever the string names; tests register it in place of the platform's service.
class ScriptedDataInitialize final : public ComObject<ScriptedDataInitialize, IDataInitialize> {
public:
    ScriptedDataInitialize(Instrumentation* instrumentation, ProviderConfig* config)
        : ComObject(instrumentation, "IDataInitialize"), config_(config) {}

    static HRESULT make(Instrumentation* instrumentation, void* context, REFIID riid, void** ppv);

    HRESULT STDMETHODCALLTYPE GetDataSource(IUnknown* pUnkOuter, DWORD dwClsCtx,
                                            LPCOLESTR pwszInitializationString, REFIID riid,
                                            IUnknown** ppDataSource) override;
    HRESULT STDMETHODCALLTYPE GetInitializationString(IUnknown*, boolean, LPOLESTR*) override;
    HRESULT STDMETHODCALLTYPE CreateDBInstance(REFCLSID, IUnknown*, DWORD, LPOLESTR, REFIID,
                                               IUnknown**) override;
    HRESULT STDMETHODCALLTYPE CreateDBInstanceEx(REFCLSID, IUnknown*, DWORD, LPOLESTR,
                                                 COSERVERINFO*, ULONG, MULTI_QI*) override;
    HRESULT STDMETHODCALLTYPE LoadStringFromStorage(LPCOLESTR, LPOLESTR*) override;
    HRESULT STDMETHODCALLTYPE WriteStringToStorage(LPCOLESTR, LPCOLESTR, DWORD) override;

private:
    ProviderConfig* config_;
};

// The stand-in provider's class: {2A1E46F3-9A84-4E4B-9F5C-6B3A3C0E5D17}, registered under the
// ProgID "Search.CollatorDSO.1" wherever the real provider is absent.
extern const CLSID CLSID_StandInProvider;

}  // namespace tarvel::service
