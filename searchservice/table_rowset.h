// An OLE DB rowset over a Table, behaving as a provider does in everything a consumer relies
// on: column info, accessors with their bindings, row handles, conversion into the bound type,
// truncation, statuses, and who owns which memory. Every block and object it hands over is
// recorded with the memory ledger (when one watches) and the instrumentation.
#pragma once

#include <map>
#include <memory>
#include <set>

#include "com_object.h"
#include "table.h"

namespace tarvel::service {

class TableRowset final : public ComObject<TableRowset, IRowset, IAccessor, IColumnsInfo,
                                           IRowsetInfo, IChapteredRowset, IRowsetChange> {
public:
    TableRowset(Instrumentation* instrumentation, std::shared_ptr<const Table> table);
    ~TableRowset() override;

    // Rows and accessors held by the consumer, and the most rows it ever held at once.
    size_t outstandingRows() const { return rows_.size(); }
    size_t mostRowsHeld() const { return mostRowsHeld_; }
    size_t outstandingAccessors() const { return accessors_.size(); }
    size_t outstandingChapters() const;
    // The bindings of the most recent accessor, as CreateAccessor received them.
    const std::vector<DBBINDING>& lastBindings() const { return lastBindings_; }
    const std::vector<DBOBJECT>& lastObjects() const { return lastObjects_; }
    DBACCESSORFLAGS lastAccessorFlags() const { return lastFlags_; }
    DBLENGTH lastRowSize() const { return lastRowSize_; }
    const Table& table() const { return *table_; }
    // The object that made the rowset (its command) lives as long as the rowset.
    void keepAlive(ObjectCore* parent) { parent_.assign(parent); }

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
    HRESULT STDMETHODCALLTYPE GetBindings(HACCESSOR, DBACCESSORFLAGS*, DBCOUNTITEM*,
                                          DBBINDING**) override;
    HRESULT STDMETHODCALLTYPE ReleaseAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) override;

    // IColumnsInfo
    HRESULT STDMETHODCALLTYPE GetColumnInfo(DBORDINAL* pcColumns, DBCOLUMNINFO** prgInfo,
                                            OLECHAR** ppStringsBuffer) override;
    HRESULT STDMETHODCALLTYPE MapColumnIDs(DBORDINAL, const DBID[], DBORDINAL[]) override;

    // IRowsetInfo
    HRESULT STDMETHODCALLTYPE GetProperties(const ULONG cPropertyIDSets,
                                            const DBPROPIDSET rgPropertyIDSets[],
                                            ULONG* pcPropertySets,
                                            DBPROPSET** prgPropertySets) override;
    HRESULT STDMETHODCALLTYPE GetReferencedRowset(DBORDINAL, REFIID, IUnknown**) override;
    HRESULT STDMETHODCALLTYPE GetSpecification(REFIID, IUnknown**) override;

    // IChapteredRowset
    HRESULT STDMETHODCALLTYPE AddRefChapter(HCHAPTER hChapter, DBREFCOUNT* pcRefCount) override;
    HRESULT STDMETHODCALLTYPE ReleaseChapter(HCHAPTER hChapter, DBREFCOUNT* pcRefCount) override;

    // IRowsetChange: offered, never used by a reader.
    HRESULT STDMETHODCALLTYPE DeleteRows(HCHAPTER, DBCOUNTITEM, const HROW[],
                                         DBROWSTATUS[]) override;
    HRESULT STDMETHODCALLTYPE SetData(HROW, HACCESSOR, void*) override;
    HRESULT STDMETHODCALLTYPE InsertRow(HCHAPTER, HACCESSOR, void*, HROW*) override;

protected:
    void finalRelease() override { parent_.reset(); }

private:
    struct Accessor {
        std::vector<DBBINDING> bindings;
        std::vector<DBOBJECT> objects;
        DBREFCOUNT references = 1;
    };
    struct HeldRow {
        size_t index;
        DBREFCOUNT references;
        // Values the provider keeps for DBMEMOWNER_PROVIDEROWNED bindings of this row.
        std::vector<std::unique_ptr<BYTE[]>> providerOwned;
    };

    // The byte written after a text field that carries no terminator.
    static constexpr BYTE kSentinel = 0xCC;

    const Cell& cellAt(size_t row, size_t column, Cell& scratch) const;
    void fillAfterField(const DBBINDING& binding, BYTE* data);
    LPWSTR taskText(const WString& text, const char* what);
    bool grantsObject(REFIID iid) const;
    DBSTATUS writeBinding(const DBBINDING& binding, const DBOBJECT* object, const Cell& cell,
                          BYTE* data, HeldRow& row);
    DBSTATUS writeValue(const DBBINDING& binding, const DBOBJECT* object, const Cell& cell,
                        BYTE* value, DBLENGTH* length, HeldRow& row);
    DBSTATUS writeByReference(const DBBINDING& binding, const Cell& cell, BYTE* value,
                              DBLENGTH* length, HeldRow& row);
    bool checkBindingsFit(const std::vector<DBBINDING>& bindings, DBLENGTH rowSize);
    const TableColumn* columnOf(DBORDINAL ordinal, size_t* index) const;
    void recordBlock(const char* what);

    std::shared_ptr<const Table> table_;
    CoreRef<ObjectCore> parent_;
    size_t cursor_ = 0;
    HROW nextRow_ = 1;
    HACCESSOR nextAccessor_ = 1;
    std::map<HROW, HeldRow> rows_;
    std::map<HACCESSOR, Accessor> accessors_;
    std::map<HCHAPTER, DBREFCOUNT> chapters_;
    size_t mostRowsHeld_ = 0;
    std::vector<DBBINDING> lastBindings_;
    std::vector<DBOBJECT> lastObjects_;
    DBACCESSORFLAGS lastFlags_ = 0;
    DBLENGTH lastRowSize_ = 0;
};

// A stream over a value, as a provider hands out for a long column bound as a storage object.
class ValueStream final : public ComObject<ValueStream, ISequentialStream> {
public:
    ValueStream(Instrumentation* instrumentation, std::vector<BYTE> data)
        : ComObject(instrumentation, "ISequentialStream"), data_(std::move(data)) {}

    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override;
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override;

private:
    std::vector<BYTE> data_;
    size_t position_ = 0;
};

}  // namespace tarvel::service
