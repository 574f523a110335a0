// An OLE DB rowset over a Table, behaving as a provider does in everything a consumer relies
// on: column info, accessors with their bindings, row handles, conversion into the bound type,
// truncation, statuses, and who owns which memory. Its interface methods are virtual, so that
// a class derived from it can serve them differently.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "com_object.h"
#include "table.h"
#include "value_conversion.h"

namespace tarvel::service {

class TableRowset : public ComObject<TableRowset, IRowset, IAccessor, IColumnsInfo, IRowsetInfo,
                                     IChapteredRowset, IRowsetChange> {
public:
    TableRowset(ObjectWatcher* watcher, std::shared_ptr<const Table> table);

    // Rows, accessors and chapters the consumer holds.
    size_t outstandingRows() const { return rows_.size(); }
    size_t outstandingAccessors() const { return accessors_.size(); }
    size_t outstandingChapters() const;
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
    TARVEL_NOT_SERVED(IAccessor, GetBindings, HACCESSOR, DBACCESSORFLAGS*, DBCOUNTITEM*,
                      DBBINDING**)
    HRESULT STDMETHODCALLTYPE ReleaseAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) override;

    // IColumnsInfo, in rowset_info.cpp
    HRESULT STDMETHODCALLTYPE GetColumnInfo(DBORDINAL* pcColumns, DBCOLUMNINFO** prgInfo,
                                            OLECHAR** ppStringsBuffer) override;
    TARVEL_NOT_SERVED(IColumnsInfo, MapColumnIDs, DBORDINAL, const DBID[], DBORDINAL[])

    // IRowsetInfo, in rowset_info.cpp
    HRESULT STDMETHODCALLTYPE GetProperties(const ULONG cPropertyIDSets,
                                            const DBPROPIDSET rgPropertyIDSets[],
                                            ULONG* pcPropertySets,
                                            DBPROPSET** prgPropertySets) override;
    TARVEL_NOT_SERVED(IRowsetInfo, GetReferencedRowset, DBORDINAL, REFIID, IUnknown**)
    TARVEL_NOT_SERVED(IRowsetInfo, GetSpecification, REFIID, IUnknown**)

    // IChapteredRowset
    HRESULT STDMETHODCALLTYPE AddRefChapter(HCHAPTER hChapter, DBREFCOUNT* pcRefCount) override;
    HRESULT STDMETHODCALLTYPE ReleaseChapter(HCHAPTER hChapter, DBREFCOUNT* pcRefCount) override;

    // IRowsetChange: offered, never used by a reader.
    TARVEL_NOT_SERVED(IRowsetChange, DeleteRows, HCHAPTER, DBCOUNTITEM, const HROW[], DBROWSTATUS[])
    TARVEL_NOT_SERVED(IRowsetChange, SetData, HROW, HACCESSOR, void*)
    TARVEL_NOT_SERVED(IRowsetChange, InsertRow, HCHAPTER, HACCESSOR, void*, HROW*)

protected:
    void finalRelease() override { parent_.reset(); }

    // The cell of a held row at a column ordinal; null when either is unknown.
    const Cell* heldCell(HROW row, DBORDINAL ordinal) const;

private:
    struct Accessor {
        std::vector<DBBINDING> bindings;
        std::vector<DBOBJECT> objects;
        DBREFCOUNT references = 1;
    };
    struct HeldRow {
        DBREFCOUNT references = 1;
        // Values the provider keeps for DBMEMOWNER_PROVIDEROWNED bindings of this row.
        std::vector<std::unique_ptr<BYTE[]>> providerOwned;
        Row cells;
    };
    class RowValues;  // NOLINT(cppcoreguidelines-virtual-class-destructor): see its definition

    const Cell& cellAt(const HeldRow& row, size_t column) const;
    // The cells of the table's next row; false at the end.
    bool nextRow(Row& cells);
    const TableColumn* columnOf(DBORDINAL ordinal, size_t* index) const;
    DBSTATUS writeBinding(const DBBINDING& binding, const DBOBJECT* object, const Cell& cell,
                          BYTE* data, HeldRow& row);
    bool checkBindingsFit(const std::vector<DBBINDING>& bindings, DBLENGTH rowSize);
    bool grantsObject(REFIID iid) const;

    std::shared_ptr<const Table> table_;
    CoreRef<ObjectCore> parent_;
    std::unique_ptr<RowSource> source_;
    bool sourceEnded_ = false;
    HROW nextRow_ = 1;
    HACCESSOR nextAccessor_ = 1;
    std::map<HROW, HeldRow> rows_;
    std::vector<HeldRow> fetched_;
    std::map<HACCESSOR, Accessor> accessors_;
    std::map<HCHAPTER, DBREFCOUNT> chapters_;
};

}  // namespace tarvel::service
