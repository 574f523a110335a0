// A lean in-memory provider rowset for measurements: N rows of one typical path, one WSTR
// column, nothing allocated per row. Both the module and the bare loop read through it.
#pragma once

#include <atomic>
#include <vector>

#include "common/utf.h"

namespace tarvel::bench {

extern const WCHAR kTypicalPath[];

class BenchRowset final : public IRowset,
                          public IAccessor,
                          public IColumnsInfo,
                          public IRowsetInfo {
public:
    // A rowset of rows rows; columns is the number of WSTR columns it reports, each of the
    // reported size (in characters).
    static BenchRowset* create(size_t rows, size_t columns = 1, DBLENGTH columnSize = 4095);

    size_t rowsHeld() const { return held_; }

    // IUnknown, through any of the interfaces.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override;

    // IRowset
    HRESULT STDMETHODCALLTYPE AddRefRows(DBCOUNTITEM, const HROW[], DBREFCOUNT[],
                                         DBROWSTATUS[]) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetData(HROW hRow, HACCESSOR hAccessor, void* pData) override;
    HRESULT STDMETHODCALLTYPE GetNextRows(HCHAPTER hReserved, DBROWOFFSET lRowsOffset,
                                          DBROWCOUNT cRows, DBCOUNTITEM* pcRowsObtained,
                                          HROW** prghRows) override;
    HRESULT STDMETHODCALLTYPE ReleaseRows(DBCOUNTITEM cRows, const HROW rghRows[], DBROWOPTIONS[],
                                          DBREFCOUNT[], DBROWSTATUS[]) override;
    HRESULT STDMETHODCALLTYPE RestartPosition(HCHAPTER) override;

    // IAccessor
    HRESULT STDMETHODCALLTYPE AddRefAccessor(HACCESSOR, DBREFCOUNT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateAccessor(DBACCESSORFLAGS dwAccessorFlags, DBCOUNTITEM cBindings,
                                             const DBBINDING rgBindings[], DBLENGTH cbRowSize,
                                             HACCESSOR* phAccessor,
                                             DBBINDSTATUS rgStatus[]) override;
    HRESULT STDMETHODCALLTYPE GetBindings(HACCESSOR, DBACCESSORFLAGS*, DBCOUNTITEM*,
                                          DBBINDING**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ReleaseAccessor(HACCESSOR hAccessor, DBREFCOUNT*) override;

    // IColumnsInfo
    HRESULT STDMETHODCALLTYPE GetColumnInfo(DBORDINAL* pcColumns, DBCOLUMNINFO** prgInfo,
                                            OLECHAR** ppStringsBuffer) override;
    HRESULT STDMETHODCALLTYPE MapColumnIDs(DBORDINAL, const DBID[], DBORDINAL[]) override {
        return E_NOTIMPL;
    }

    // IRowsetInfo
    HRESULT STDMETHODCALLTYPE GetProperties(const ULONG, const DBPROPIDSET[], ULONG*,
                                            DBPROPSET**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetReferencedRowset(DBORDINAL, REFIID, IUnknown**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetSpecification(REFIID, IUnknown**) override { return E_NOTIMPL; }

private:
    BenchRowset(size_t rows, size_t columns, DBLENGTH columnSize)
        : rows_(rows), columns_(columns), columnSize_(columnSize) {}

    size_t rows_;
    size_t columns_;
    DBLENGTH columnSize_;
    size_t cursor_ = 0;
    size_t held_ = 0;
    HROW nextRow_ = 1;
    std::vector<std::vector<DBBINDING>> accessors_;
    std::atomic<ULONG> references_{1};
};

}  // namespace tarvel::bench
