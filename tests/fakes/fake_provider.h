// The stand-in provider as tests serve it: the service's own objects, derived from so that they
// can misbehave the ways real providers do, and a rowset that records what CreateAccessor was
// given.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "provider.h"

namespace tarvel::service {

// Ways real providers depart from the well-behaved path; all off by default.
struct Quirks {
    // GetColumnInfo reports the column count but no descriptions.
    bool columnsWithoutInfo = false;
    // GetNextRows allocates a handle array of its own even when given one, and hands out
    // this many rows per call whatever was asked (0: as many as asked).
    bool ownRowArrays = false;
    size_t rowsPerFetch = 0;
    // With ownRowArrays, the array comes even when no row does (at the end of the rowset).
    bool emptyOwnArrays = false;
    // A text bound as DBTYPE_WSTR that fills its field comes without terminator, and the bytes
    // after the field up to the binding's next part hold a sentinel.
    bool unterminatedText = false;
    // Properties the rowset does not support come back VT_EMPTY with all value bits set.
    bool undefinedUnsupportedValues = false;
    // GetProperties answers with more than asked for: a third property in the first set, and
    // one set more holding a string property.
    bool extraPropertySet = false;
    // GetData answers this code, having fetched the row as usual, for the row with this handle
    // (0: none).
    HRESULT answerAfterFetch = S_OK;
    HROW answeredRow = 0;
    // A failing GetDataSource, CreateSession, CreateCommand or Execute still writes a new
    // object, with its one reference, into the out-pointer.
    bool strayOnFailure = false;
};

class FakeRowset final : public TableRowset {
public:
    // The byte written after a text field that carries no terminator.
    static constexpr BYTE kSentinel = 0xCC;

    FakeRowset(ObjectWatcher* watcher, std::shared_ptr<const Table> table, const Quirks* quirks)
        : TableRowset(watcher, std::move(table)), quirks_(quirks) {}

    // The most rows held at once, and what the most recent CreateAccessor was given.
    size_t mostRowsHeld() const { return mostRowsHeld_; }
    const std::vector<DBBINDING>& lastBindings() const { return lastBindings_; }
    const std::vector<DBOBJECT>& lastObjects() const { return lastObjects_; }
    DBACCESSORFLAGS lastAccessorFlags() const { return lastFlags_; }
    DBLENGTH lastRowSize() const { return lastRowSize_; }

    HRESULT STDMETHODCALLTYPE GetData(HROW hRow, HACCESSOR hAccessor, void* pData) override;
    HRESULT STDMETHODCALLTYPE GetNextRows(HCHAPTER hReserved, DBROWOFFSET lRowsOffset,
                                          DBROWCOUNT cRows, DBCOUNTITEM* pcRowsObtained,
                                          HROW** prghRows) override;
    HRESULT STDMETHODCALLTYPE CreateAccessor(DBACCESSORFLAGS dwAccessorFlags, DBCOUNTITEM cBindings,
                                             const DBBINDING rgBindings[], DBLENGTH cbRowSize,
                                             HACCESSOR* phAccessor,
                                             DBBINDSTATUS rgStatus[]) override;
    HRESULT STDMETHODCALLTYPE GetColumnInfo(DBORDINAL* pcColumns, DBCOLUMNINFO** prgInfo,
                                            OLECHAR** ppStringsBuffer) override;
    HRESULT STDMETHODCALLTYPE GetProperties(const ULONG cPropertyIDSets,
                                            const DBPROPIDSET rgPropertyIDSets[],
                                            ULONG* pcPropertySets,
                                            DBPROPSET** prgPropertySets) override;

private:
    void leaveTextUnterminated(HROW row, const DBBINDING& binding, BYTE* data);
    void addPropertySet(ULONG* count, DBPROPSET** sets);

    const Quirks* quirks_;
    std::map<HACCESSOR, std::vector<DBBINDING>> bindings_;
    size_t mostRowsHeld_ = 0;
    std::vector<DBBINDING> lastBindings_;
    std::vector<DBOBJECT> lastObjects_;
    DBACCESSORFLAGS lastFlags_ = 0;
    DBLENGTH lastRowSize_ = 0;
};

// Data source, session and command that hand out an object along with a failure when the
// quirks say so.
class FakeDataSource final : public ProviderDataSource {
public:
    FakeDataSource(ObjectWatcher* watcher, ProviderConfig* config, const Quirks* quirks)
        : ProviderDataSource(watcher, config), quirks_(quirks) {}

    HRESULT STDMETHODCALLTYPE CreateSession(IUnknown* pUnkOuter, REFIID riid,
                                            IUnknown** ppDBSession) override;

protected:
    ProviderSession* newSession() override;

private:
    const Quirks* quirks_;
};

class FakeSession final : public ProviderSession {
public:
    FakeSession(ObjectWatcher* watcher, ProviderConfig* config, ProviderDataSource* dataSource,
                const Quirks* quirks)
        : ProviderSession(watcher, config, dataSource), quirks_(quirks) {}

    HRESULT STDMETHODCALLTYPE CreateCommand(IUnknown* pUnkOuter, REFIID riid,
                                            IUnknown** ppCommand) override;

protected:
    ProviderCommand* newCommand() override;

private:
    const Quirks* quirks_;
};

class FakeCommand final : public ProviderCommand {
public:
    FakeCommand(ObjectWatcher* watcher, ProviderConfig* config, ProviderSession* session,
                const Quirks* quirks)
        : ProviderCommand(watcher, config, session), quirks_(quirks) {}

    HRESULT STDMETHODCALLTYPE Execute(IUnknown* pUnkOuter, REFIID riid, DBPARAMS* pParams,
                                      DBROWCOUNT* pcRowsAffected, IUnknown** ppRowset) override;

private:
    const Quirks* quirks_;
};

// What the fake provider serves: the service's configuration and the quirks; the context of
// the class-object maker.
struct FakeProvider {
    FakeProvider();
    FakeProvider(const FakeProvider&) = delete;
    FakeProvider& operator=(const FakeProvider&) = delete;

    // Makes FakeDataSources, for registration under the provider's class.
    static HRESULT make(ObjectWatcher* watcher, void* context, REFIID riid, void** ppv);

    ProviderConfig config;
    Quirks quirks;
};

}  // namespace tarvel::service
