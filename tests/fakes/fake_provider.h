// The stand-in provider as tests serve it: the service's own objects, watched, and derived from
// so that they can misbehave the ways real providers do; a rowset that converts every kind of
// scripted value, hands out chapters and streams, keeps the rows, accessors and chapters a
// consumer holds, and records what CreateAccessor was given.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "provider.h"
#include "value_conversion.h"
#include "watched.h"

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
    // CreateAccessor refuses an accessor without bindings; RestartPosition and GetNextRows
    // refuse while a row is held.
    bool refusesNullAccessor = false;
    bool refusesWhileRowsHeld = false;
    // Every GetNextRows answers this failure, as a slow or failing index does (S_OK: none).
    HRESULT fetchFails = S_OK;
};

class FakeRowset final : public Watched<TableRowset> {
public:
    // The byte written after a text field that carries no terminator.
    static constexpr BYTE kSentinel = 0xCC;

    FakeRowset(Instrumentation* watch, std::shared_ptr<const Table> table, const Quirks* quirks)
        : Watched(watch, "IRowset", std::move(table)), quirks_(quirks) {}

    // Rows, accessors and chapters the consumer holds.
    size_t outstandingRows() const { return rows_.size(); }
    size_t outstandingAccessors() const { return accessors_.size(); }
    size_t outstandingChapters() const;
    // The most rows held at once, and what the most recent CreateAccessor was given.
    size_t mostRowsHeld() const { return mostRowsHeld_; }
    const std::vector<DBBINDING>& lastBindings() const { return lastBindings_; }
    const std::vector<DBOBJECT>& lastObjects() const { return lastObjects_; }
    DBACCESSORFLAGS lastAccessorFlags() const { return lastFlags_; }
    DBLENGTH lastRowSize() const { return lastRowSize_; }

    // IRowset
    HRESULT STDMETHODCALLTYPE AddRefRows(DBCOUNTITEM cRows, const HROW rghRows[],
                                         DBREFCOUNT rgRefCounts[],
                                         DBROWSTATUS rgRowStatus[]) override;
    HRESULT STDMETHODCALLTYPE GetData(HROW hRow, HACCESSOR hAccessor, void* pData) override;
    HRESULT STDMETHODCALLTYPE GetNextRows(HCHAPTER hReserved, DBROWOFFSET lRowsOffset,
                                          DBROWCOUNT cRows, DBCOUNTITEM* pcRowsObtained,
                                          HROW** prghRows) override;
    HRESULT STDMETHODCALLTYPE ReleaseRows(DBCOUNTITEM cRows, const HROW rghRows[],
                                          DBROWOPTIONS rgRowOptions[], DBREFCOUNT rgRefCounts[],
                                          DBROWSTATUS rgRowStatus[]) override;
    HRESULT STDMETHODCALLTYPE RestartPosition(HCHAPTER hReserved) override;
    // IAccessor
    HRESULT STDMETHODCALLTYPE AddRefAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) override;
    HRESULT STDMETHODCALLTYPE CreateAccessor(DBACCESSORFLAGS dwAccessorFlags, DBCOUNTITEM cBindings,
                                             const DBBINDING rgBindings[], DBLENGTH cbRowSize,
                                             HACCESSOR* phAccessor,
                                             DBBINDSTATUS rgStatus[]) override;
    HRESULT STDMETHODCALLTYPE ReleaseAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) override;
    // IColumnsInfo, IRowsetInfo
    HRESULT STDMETHODCALLTYPE GetColumnInfo(DBORDINAL* pcColumns, DBCOLUMNINFO** prgInfo,
                                            OLECHAR** ppStringsBuffer) override;
    HRESULT STDMETHODCALLTYPE GetProperties(const ULONG cPropertyIDSets,
                                            const DBPROPIDSET rgPropertyIDSets[],
                                            ULONG* pcPropertySets,
                                            DBPROPSET** prgPropertySets) override;
    // IChapteredRowset: the chapters handed out with the rows' values.
    HRESULT STDMETHODCALLTYPE AddRefChapter(HCHAPTER hChapter, DBREFCOUNT* pcRefCount) override;
    HRESULT STDMETHODCALLTYPE ReleaseChapter(HCHAPTER hChapter, DBREFCOUNT* pcRefCount) override;

protected:
    DBSTATUS convertValue(const DBBINDING& binding, const DBOBJECT* object, const Cell& cell,
                          BYTE* value, DBLENGTH* length, HROW row) override;
    DBLENGTH lengthOf(const Cell& cell) const override;
    bool grantsObject(REFIID iid) const override;

private:
    class RowValues;  // NOLINT(cppcoreguidelines-virtual-class-destructor): see its definition

    void leaveTextUnterminated(HROW row, const DBBINDING& binding, BYTE* data);
    void addPropertySet(ULONG* count, DBPROPSET** sets);
    // Faults for bindings whose parts lie outside the row or overlap.
    void checkBindingsFit(const DBBINDING bindings[], DBCOUNTITEM count, DBLENGTH rowSize);

    const Quirks* quirks_;
    // What the consumer holds, counted as the stand-in counts it.
    std::map<HROW, DBREFCOUNT> rows_;
    std::map<HACCESSOR, DBREFCOUNT> accessors_;
    std::map<HCHAPTER, DBREFCOUNT> chapters_;
    // Values the provider keeps for DBMEMOWNER_PROVIDEROWNED bindings of each held row.
    std::map<HROW, std::vector<std::unique_ptr<BYTE[]>>> providerOwned_;
    std::map<HACCESSOR, std::vector<DBBINDING>> bindings_;
    size_t mostRowsHeld_ = 0;
    std::vector<DBBINDING> lastBindings_;
    std::vector<DBOBJECT> lastObjects_;
    DBACCESSORFLAGS lastFlags_ = 0;
    DBLENGTH lastRowSize_ = 0;
};

class FakeSession;
class FakeCommand;

// Data source, session and command, watched, that hand out an object along with a failure
// when the quirks say so.
class FakeDataSource final : public Watched<ProviderDataSource> {
public:
    FakeDataSource(Instrumentation* watch, ProviderConfig* config, const Quirks* quirks)
        : Watched(watch, "IDBInitialize", config), quirks_(quirks) {}

    HRESULT STDMETHODCALLTYPE Initialize() override;
    HRESULT STDMETHODCALLTYPE SetProperties(ULONG cPropertySets,
                                            DBPROPSET rgPropertySets[]) override;
    HRESULT STDMETHODCALLTYPE CreateSession(IUnknown* pUnkOuter, REFIID riid,
                                            IUnknown** ppDBSession) override;

protected:
    ProviderSession* newSession() override;

private:
    const Quirks* quirks_;
};

class FakeSession final : public Watched<ProviderSession> {
public:
    FakeSession(Instrumentation* watch, ProviderConfig* config, ProviderDataSource* dataSource,
                const Quirks* quirks)
        : Watched(watch, "IOpenRowset", config, dataSource), quirks_(quirks) {}

    HRESULT STDMETHODCALLTYPE CreateCommand(IUnknown* pUnkOuter, REFIID riid,
                                            IUnknown** ppCommand) override;

protected:
    ProviderCommand* newCommand() override;

private:
    const Quirks* quirks_;
};

class FakeCommand final : public Watched<ProviderCommand> {
public:
    FakeCommand(Instrumentation* watch, ProviderConfig* config, ProviderSession* session,
                const Quirks* quirks)
        : Watched(watch, "ICommand", config, session), quirks_(quirks) {}

    HRESULT STDMETHODCALLTYPE Execute(IUnknown* pUnkOuter, REFIID riid, DBPARAMS* pParams,
                                      DBROWCOUNT* pcRowsAffected, IUnknown** ppRowset) override;
    HRESULT STDMETHODCALLTYPE SetCommandText(REFGUID rguidDialect, LPCOLESTR pwszCommand) override;

protected:
    HRESULT serve(std::shared_ptr<const Table> table, REFIID riid, IUnknown** rowset) override;

private:
    const Quirks* quirks_;
};

// What the fake provider serves: the service's configuration, the quirks, and the
// instrumentation that watches its objects; the context of the class-object maker.
struct FakeProvider {
    FakeProvider() = default;
    FakeProvider(const FakeProvider&) = delete;
    FakeProvider& operator=(const FakeProvider&) = delete;

    // Makes FakeDataSources, for registration under the provider's class.
    static HRESULT make(void* context, REFIID riid, void** ppv);
    FakeDataSource* newDataSource();

    Instrumentation* watch = nullptr;
    ProviderConfig config;
    Quirks quirks;
};

}  // namespace tarvel::service
