// An OLE DB rowset over a Table, behaving as a provider does in everything a consumer relies
// on: column info, accessors with their bindings, row handles, text converted into the bound
// type, truncation, statuses, and who owns which memory. Its interface methods are virtual, as
// is how a value is converted, so that a class derived from it can serve them differently.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "com_object.h"
#include "table.h"

namespace tarvel::service {

class TableRowset : public ComObject<TableRowset, IRowset, IAccessor, IColumnsInfo, IRowsetInfo,
                                     IChapteredRowset, IRowsetChange> {
public:
    explicit TableRowset(std::shared_ptr<const Table> table);

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

    // IAccessor, in rowset_accessors.cpp
    HRESULT STDMETHODCALLTYPE AddRefAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) override;
    HRESULT STDMETHODCALLTYPE CreateAccessor(DBACCESSORFLAGS dwAccessorFlags, DBCOUNTITEM cBindings,
                                             const DBBINDING rgBindings[], DBLENGTH cbRowSize,
                                             HACCESSOR* phAccessor,
                                             DBBINDSTATUS rgStatus[]) override;
    TARVEL_NOT_SERVED(GetBindings, HACCESSOR, DBACCESSORFLAGS*, DBCOUNTITEM*, DBBINDING**)
    HRESULT STDMETHODCALLTYPE ReleaseAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) override;

    // IColumnsInfo, in rowset_info.cpp
    HRESULT STDMETHODCALLTYPE GetColumnInfo(DBORDINAL* pcColumns, DBCOLUMNINFO** prgInfo,
                                            OLECHAR** ppStringsBuffer) override;
    TARVEL_NOT_SERVED(MapColumnIDs, DBORDINAL, const DBID[], DBORDINAL[])

    // IRowsetInfo, in rowset_info.cpp
    HRESULT STDMETHODCALLTYPE GetProperties(const ULONG cPropertyIDSets,
                                            const DBPROPIDSET rgPropertyIDSets[],
                                            ULONG* pcPropertySets,
                                            DBPROPSET** prgPropertySets) override;
    TARVEL_NOT_SERVED(GetReferencedRowset, DBORDINAL, REFIID, IUnknown**)
    TARVEL_NOT_SERVED(GetSpecification, REFIID, IUnknown**)

    // IChapteredRowset: the stand-in's tables have no chapters.
    HRESULT STDMETHODCALLTYPE AddRefChapter(HCHAPTER, DBREFCOUNT*) override {
        return DB_E_BADCHAPTER;
    }
    HRESULT STDMETHODCALLTYPE ReleaseChapter(HCHAPTER, DBREFCOUNT*) override {
        return DB_E_BADCHAPTER;
    }

    // IRowsetChange: offered, never used by a reader.
    TARVEL_NOT_SERVED(DeleteRows, HCHAPTER, DBCOUNTITEM, const HROW[], DBROWSTATUS[])
    TARVEL_NOT_SERVED(SetData, HROW, HACCESSOR, void*)
    TARVEL_NOT_SERVED(InsertRow, HCHAPTER, HACCESSOR, void*, HROW*)

protected:
    void finalRelease() override { parent_.reset(); }

    // The cell's value written into value as the binding asks, with its length; the status.
    // Text goes into DBTYPE_WSTR, cut and terminated as a provider does, and into DBTYPE_BSTR.
    virtual DBSTATUS convertValue(const DBBINDING& binding, const DBOBJECT* object,
                                  const Cell& cell, BYTE* value, DBLENGTH* length, HROW row);
    // The length a binding without a value part reports for the cell.
    virtual DBLENGTH lengthOf(const Cell& cell) const;
    // Whether the rowset hands out the storage object iid for a binding that asks for one.
    virtual bool grantsObject(REFIID) const { return true; }

    const Table& table() const { return *table_; }
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
        Row cells;
    };

    const Cell& cellAt(const HeldRow& row, size_t column) const;
    // The cells of the table's next row; false at the end.
    bool nextRow(Row& cells);
    const TableColumn* columnOf(DBORDINAL ordinal, size_t* index) const;
    DBSTATUS writeBinding(const DBBINDING& binding, const DBOBJECT* object, const Cell& cell,
                          BYTE* data, HROW row);

    std::shared_ptr<const Table> table_;
    CoreRef<ObjectCore> parent_;
    std::unique_ptr<RowSource> source_;
    bool sourceEnded_ = false;
    HROW nextRow_ = 1;
    HACCESSOR nextAccessor_ = 1;
    std::map<HROW, HeldRow> rows_;
    std::vector<HeldRow> fetched_;
    std::map<HACCESSOR, Accessor> accessors_;
};

// Text into a field of maxLength bytes, cut and terminated as a provider does; the length is
// the whole text's in bytes, terminator not counted.
DBSTATUS writeWideText(const WString& text, DBLENGTH maxLength, BYTE* field, DBLENGTH* length);

}  // namespace tarvel::service
