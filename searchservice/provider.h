// The stand-in OLE DB provider: data source, session and command. What a command's text
// yields is decided by a backend: the directory index for the service, a script for tests.
// Each object makes the next through a virtual method, so that classes derived from these
// can serve a provider that behaves otherwise.
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
    // When set, serves the backend's table as a rowset of its own making, holding one
    // reference for the consumer, instead of a TableRowset.
    std::function<HRESULT(ObjectCore* command, std::shared_ptr<const Table> table, REFIID riid,
                          IUnknown** rowset)>
        makeRowset;
    // Runs when a data source is initialized; its failure is Initialize's.
    std::function<HRESULT()> initialize;
};

class ProviderSession;
class ProviderCommand;

class ProviderDataSource
    : public ComObject<ProviderDataSource, IDBInitialize, IDBProperties, IDBCreateSession> {
public:
    explicit ProviderDataSource(ProviderConfig* config);

    // The class object's maker; context is the ProviderConfig.
    static HRESULT make(void* context, REFIID riid, void** ppv);

    HRESULT STDMETHODCALLTYPE Initialize() override;
    TARVEL_NOT_SERVED(Uninitialize)
    TARVEL_NOT_SERVED(GetProperties, ULONG, const DBPROPIDSET[], ULONG*, DBPROPSET**)
    TARVEL_NOT_SERVED(GetPropertyInfo, ULONG, const DBPROPIDSET[], ULONG*, DBPROPINFOSET**,
                      OLECHAR**)
    HRESULT STDMETHODCALLTYPE SetProperties(ULONG cPropertySets,
                                            DBPROPSET rgPropertySets[]) override;
    HRESULT STDMETHODCALLTYPE CreateSession(IUnknown* pUnkOuter, REFIID riid,
                                            IUnknown** ppDBSession) override;

protected:
    // A new session on this data source, holding one reference.
    virtual ProviderSession* newSession();
    ProviderConfig* config() const { return config_; }

private:
    ProviderConfig* config_;
    bool initialized_ = false;
};

class ProviderSession : public ComObject<ProviderSession, IOpenRowset, IDBCreateCommand> {
public:
    ProviderSession(ProviderConfig* config, ProviderDataSource* dataSource);

    TARVEL_NOT_SERVED(OpenRowset, IUnknown*, DBID*, DBID*, REFIID, ULONG, DBPROPSET[], IUnknown**)
    HRESULT STDMETHODCALLTYPE CreateCommand(IUnknown* pUnkOuter, REFIID riid,
                                            IUnknown** ppCommand) override;

protected:
    void finalRelease() override { dataSource_.reset(); }
    // A new command on this session, holding one reference.
    virtual ProviderCommand* newCommand();
    ProviderConfig* config() const { return config_; }

private:
    ProviderConfig* config_;
    CoreRef<ProviderDataSource> dataSource_;
};

class ProviderCommand : public ComObject<ProviderCommand, ICommand, ICommandText> {
public:
    ProviderCommand(ProviderConfig* config, ProviderSession* session);

    TARVEL_NOT_SERVED(Cancel)
    HRESULT STDMETHODCALLTYPE Execute(IUnknown* pUnkOuter, REFIID riid, DBPARAMS* pParams,
                                      DBROWCOUNT* pcRowsAffected, IUnknown** ppRowset) override;
    TARVEL_NOT_SERVED(GetDBSession, REFIID, IUnknown**)
    TARVEL_NOT_SERVED(GetCommandText, GUID*, LPOLESTR*)
    HRESULT STDMETHODCALLTYPE SetCommandText(REFGUID rguidDialect, LPCOLESTR pwszCommand) override;

protected:
    void finalRelease() override { session_.reset(); }
    // A rowset over the table, handed out as riid into rowset.
    virtual HRESULT serve(std::shared_ptr<const Table> table, REFIID riid, IUnknown** rowset);
    ProviderConfig* config() const { return config_; }

private:
    ProviderConfig* config_;
    CoreRef<ProviderSession> session_;
    WString text_;
    bool hasText_ = false;
};

// The stand-in provider's class: {2A1E46F3-9A84-4E4B-9F5C-6B3A3C0E5D17}, registered under the
// ProgID "Search.CollatorDSO.1" wherever the real provider is absent.
extern const CLSID CLSID_StandInProvider;

}  // namespace tarvel::service
