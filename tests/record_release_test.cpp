// What releasing a row's record memory, the accessor handles and the column data does, value
// type by value type, and that doing it again does nothing at all.
#include <algorithm>
#include <cstring>

#include "journal_checks.h"
#include "peers.h"
#include "rowset_fixture.h"
#include "value_stream.h"

namespace tarvel {
namespace {

using namespace tarvel::testing;
using service::ValueStream;

Journal sorted(Journal entries) {
    std::sort(entries.begin(), entries.end());
    return entries;
}

class RecordReleaseTest : public RowsetFixture {
protected:
    // Binds the table and fetches its first row.
    FakeRowset* bindAndFetch(DynamicAccessor& accessor, Table table, HROW* row) {
        FakeRowset* rowset = makeRowset(std::move(table));
        EXPECT_EQ(S_OK, accessor.bindColumns(rowsetOf(rowset)));
        HRESULT hr = E_FAIL;
        *row = fetch(rowset, accessor, &hr);
        EXPECT_TRUE(SUCCEEDED(hr));
        instrumentation_.clearJournal();
        return rowset;
    }
    template <class T>
    T field(const DynamicAccessor& accessor, DBORDINAL index) const {
        T value;
        std::memcpy(&value, DynamicAccessorPeer::rowBuffer(accessor) + accessor.valueOffset(index),
                    sizeof value);
        return value;
    }
    template <class T>
    void setField(DynamicAccessor& accessor, DBORDINAL index, T value) {
        std::memcpy(DynamicAccessorPeer::rowBuffer(accessor) + accessor.valueOffset(index), &value,
                    sizeof value);
    }
    void setStatus(DynamicAccessor& accessor, DBORDINAL index, DBSTATUS status) {
        std::memcpy(DynamicAccessorPeer::rowBuffer(accessor) + accessor.statusOffset(index),
                    &status, sizeof status);
    }
    // Runs the whole release a second time and expects no call and no free.
    void expectSecondPassDoesNothing(DynamicAccessor& accessor, FakeRowset* rowset) {
        instrumentation_.clearJournal();
        accessor.releaseRowValues(rowsetOf(rowset));
        EXPECT_EQ(Journal{}, instrumentation_.journal());
    }
};

TEST_F(RecordReleaseTest, ClientOwnedReferenceIsFreedOnceUnlessNull) {
    DynamicAccessor accessor(BlobHandling::NoStreams, 8000);
    Table table{{column(1, DBTYPE_WSTR, 9000), column(2, DBTYPE_WSTR, 9000)}};
    table.rows = {{Cell::ofText(TARVEL_UTF16("long text")), Cell::null()}};
    HROW row = 0;
    FakeRowset* rowset = bindAndFetch(accessor, table, &row);
    ASSERT_EQ(ClientOwnedReference, DynamicAccessorPeer::columnFlags(accessor)[0]);
    auto* text = field<const WCHAR*>(accessor, 0);
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(WString(TARVEL_UTF16("long text")), WString(text));
    // A null column's field is not touched, whatever it holds.
    setField<void*>(accessor, 1, reinterpret_cast<void*>(0x1234));
    accessor.releaseRowValues(rowsetOf(rowset));
    EXPECT_EQ(nullptr, field<void*>(accessor, 0));
    EXPECT_EQ(reinterpret_cast<void*>(0x1234), field<void*>(accessor, 1));
    setField<void*>(accessor, 1, nullptr);
    expectSecondPassDoesNothing(accessor, rowset);
    releaseRow(rowset, row);
    close(accessor, rowset);
    release(rowset);
}

TEST_F(RecordReleaseTest, PropertyValueIsClearedWithEverythingItOwns) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Table table{{column(1, DBTYPE_PROPVARIANT, 24), column(2, DBTYPE_PROPVARIANT, 24)}};
    table.rows = {{Cell::ofText(TARVEL_UTF16("text")),
                   textsCell({TARVEL_UTF16("one"), TARVEL_UTF16("two")})}};
    HROW row = 0;
    FakeRowset* rowset = bindAndFetch(accessor, table, &row);
    ASSERT_EQ(VARTYPE(VT_LPWSTR), field<PROPVARIANT>(accessor, 0).vt);
    ASSERT_EQ(VARTYPE(VT_VECTOR | VT_LPWSTR), field<PROPVARIANT>(accessor, 1).vt);
    // A string, a vector block and its two strings, besides the column data.
    EXPECT_EQ(6u, ledger_.unfreed().size());
    accessor.releaseRowValues(rowsetOf(rowset));
    EXPECT_EQ((Journal{"column info", "column names"}), sorted(ledger_.unfreed()));
    EXPECT_EQ(VARTYPE(VT_EMPTY), field<PROPVARIANT>(accessor, 0).vt);
    EXPECT_EQ(VARTYPE(VT_EMPTY), field<PROPVARIANT>(accessor, 1).vt);
    expectSecondPassDoesNothing(accessor, rowset);
    releaseRow(rowset, row);
    close(accessor, rowset);
    release(rowset);
}

TEST_F(RecordReleaseTest, EveryColumnAfterOneThatNeedsNoReleaseIsStillReleased) {
    // Each column before the last goes its own short way through the pass; the last owns a
    // string that must be freed all the same.
    struct Case {
        const char* what;
        BlobHandling handling;
        Table table;
    };
    const WString text = TARVEL_UTF16("text");
    Case cases[] = {
        {"by reference, then null by reference", BlobHandling::NoStreams,
         Table{{column(1, DBTYPE_WSTR, 9000), column(2, DBTYPE_WSTR, 9000),
                column(3, DBTYPE_BSTR, 8)},
               {{Cell::ofText(text), Cell::null(), Cell::ofText(text)}}}},
        {"a stream", BlobHandling::Default,
         Table{{column(1, DBTYPE_WSTR, 9000), column(2, DBTYPE_BSTR, 8)},
               {{Cell::ofText(text), Cell::ofText(text)}}}},
        {"a column without value field", BlobHandling::Skip,
         Table{{column(1, DBTYPE_WSTR, 9000), column(2, DBTYPE_BSTR, 8)},
               {{Cell::ofText(text), Cell::ofText(text)}}}},
        {"a number", BlobHandling::Default,
         Table{{column(1, DBTYPE_I4, 4), column(2, DBTYPE_BSTR, 8)},
               {{integerCell(1), Cell::ofText(text)}}}},
    };
    for (Case& c : cases) {
        DynamicAccessor accessor(c.handling, 8000);
        HROW row = 0;
        FakeRowset* rowset = bindAndFetch(accessor, c.table, &row);
        accessor.releaseRowValues(rowsetOf(rowset));
        EXPECT_EQ((Journal{"column info", "column names"}), sorted(ledger_.unfreed())) << c.what;
        releaseRow(rowset, row);
        close(accessor, rowset);
        release(rowset);
    }
}

TEST_F(RecordReleaseTest, ClientOwnedReferenceWithAnErrorStatusIsStillFreed) {
    DynamicAccessor accessor(BlobHandling::NoStreams, 8000);
    HROW row = 0;
    Table table{{column(1, DBTYPE_BYTES, 9000)}};
    table.rows = {{bytesCell({1, 2, 3})}};
    FakeRowset* rowset = bindAndFetch(accessor, table, &row);
    setStatus(accessor, 0, DBSTATUS_E_CANTCONVERTVALUE);
    accessor.releaseRowValues(rowsetOf(rowset));
    EXPECT_EQ(nullptr, field<void*>(accessor, 0));
    releaseRow(rowset, row);
    close(accessor, rowset);
    release(rowset);
}

TEST_F(RecordReleaseTest, StreamIsReleasedOnlyWhenItsStatusIsOk) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Table table{{column(1, DBTYPE_WSTR, 9000)}};
    table.rows = {{Cell::ofText(TARVEL_UTF16("stream content"))}};
    HROW row = 0;
    FakeRowset* rowset = bindAndFetch(accessor, table, &row);
    ASSERT_EQ(DBTYPE_IUNKNOWN, accessor.typeAt(0));
    ASSERT_NE(nullptr, field<IUnknown*>(accessor, 0));
    accessor.releaseRowValues(rowsetOf(rowset));
    EXPECT_EQ(nullptr, field<IUnknown*>(accessor, 0));
    EXPECT_EQ(Journal{"ISequentialStream::Release"}, instrumentation_.journal());
    expectSecondPassDoesNothing(accessor, rowset);

    for (DBSTATUS status : {DBSTATUS(DBSTATUS_S_ISNULL), DBSTATUS(DBSTATUS_E_UNAVAILABLE),
                            DBSTATUS(DBSTATUS_S_TRUNCATED)}) {
        ValueStream* stream = ValueStream::create(&instrumentation_, std::vector<BYTE>{});
        setField<IUnknown*>(accessor, 0, stream->as<ISequentialStream>());
        setStatus(accessor, 0, status);
        accessor.releaseRowValues(rowsetOf(rowset));
        EXPECT_EQ(1, stream->references()) << status;
        EXPECT_NE(nullptr, field<IUnknown*>(accessor, 0));
        setField<IUnknown*>(accessor, 0, nullptr);
        stream->as<ISequentialStream>()->Release();
    }
    releaseRow(rowset, row);
    close(accessor, rowset);
    release(rowset);
}

TEST_F(RecordReleaseTest, BstrAndVariantAreReleasedWhateverTheirStatus) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Table table{
        {column(1, DBTYPE_BSTR, 8), column(2, DBTYPE_VARIANT, 24), column(3, DBTYPE_VARIANT, 24)}};
    table.rows = {{Cell::ofText(TARVEL_UTF16("bstr")), Cell::ofText(TARVEL_UTF16("in variant")),
                   integerCell(4)}};
    HROW row = 0;
    FakeRowset* rowset = bindAndFetch(accessor, table, &row);
    EXPECT_EQ(4u, ledger_.handedOver());  // column info and names, the BSTR, the variant's
    setStatus(accessor, 0, DBSTATUS_E_CANTCONVERTVALUE);
    setStatus(accessor, 1, DBSTATUS_S_ISNULL);
    accessor.releaseRowValues(rowsetOf(rowset));
    EXPECT_EQ(nullptr, field<BSTR>(accessor, 0));
    EXPECT_EQ(VT_EMPTY, field<VARIANT>(accessor, 1).vt);
    EXPECT_EQ(VT_EMPTY, field<VARIANT>(accessor, 2).vt);
    EXPECT_EQ(sorted({"column info", "column names"}), sorted(ledger_.unfreed()))
        << "only the column info and names may still be held";
    expectSecondPassDoesNothing(accessor, rowset);
    releaseRow(rowset, row);
    close(accessor, rowset);
    release(rowset);
}

TEST_F(RecordReleaseTest, StringsAndNumbersInTheBufferCauseNoPlatformCall) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Table table{{column(1, DBTYPE_WSTR, 8), column(2, DBTYPE_I8, 8), column(3, DBTYPE_STR, 8),
                 column(4, DBTYPE_BYREF | DBTYPE_WSTR, 8)}};
    table.rows = {{Cell::ofText(TARVEL_UTF16("x")), integerCell(1), Cell::ofText(TARVEL_UTF16("y")),
                   Cell::ofText(TARVEL_UTF16("provider owned"))}};
    HROW row = 0;
    FakeRowset* rowset = bindAndFetch(accessor, table, &row);
    // Put the address of a live task-allocator block in every field: none may be freed.
    void* block = CoTaskMemAlloc(8);
    ledger_.recordLastAllocation("bait");
    for (DBORDINAL i = 0; i < 3; ++i) {
        setField<void*>(accessor, i, block);
    }
    accessor.releaseRowValues(rowsetOf(rowset));
    EXPECT_EQ(Journal{}, instrumentation_.journal());
    EXPECT_EQ(sorted({"bait", "column info", "column names"}), sorted(ledger_.unfreed()));
    for (DBORDINAL i = 0; i < 3; ++i) {
        EXPECT_EQ(block, field<void*>(accessor, i));
    }
    CoTaskMemFree(block);
    releaseRow(rowset, row);
    close(accessor, rowset);
    release(rowset);
}

TEST_F(RecordReleaseTest, VectorElementsAreFreedOnceButNotByReference) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Table table{{column(1, DBTYPE_VECTOR | DBTYPE_I4, 16)}};
    table.rows = {{bytesCell({1, 0, 0, 0, 2, 0, 0, 0})}};
    HROW row = 0;
    FakeRowset* rowset = bindAndFetch(accessor, table, &row);
    const DBVECTOR vector = field<DBVECTOR>(accessor, 0);
    EXPECT_EQ(2u, vector.size);
    ASSERT_NE(nullptr, vector.ptr);
    accessor.releaseRowValues(rowsetOf(rowset));
    EXPECT_EQ(nullptr, field<DBVECTOR>(accessor, 0).ptr);
    EXPECT_EQ(2u, field<DBVECTOR>(accessor, 0).size);
    expectSecondPassDoesNothing(accessor, rowset);

    BYTE holder[sizeof(DBVECTOR)];
    void* block = CoTaskMemAlloc(4);
    const DBVECTOR byReference{1, block};
    std::memcpy(holder, &byReference, sizeof holder);
    DynamicAccessor::releaseColumnValue(DBTYPE_VECTOR | DBTYPE_BYREF | DBTYPE_I4, holder,
                                        rowsetOf(rowset));
    EXPECT_EQ(0, std::memcmp(holder, &byReference, sizeof holder));
    CoTaskMemFree(block);
    releaseRow(rowset, row);
    close(accessor, rowset);
    release(rowset);
}

TEST_F(RecordReleaseTest, ArrayIsDestroyedWithItsElements) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Table table{{column(1, DBTYPE_ARRAY | DBTYPE_BSTR, 8)}};
    table.rows = {{textsCell({TARVEL_UTF16("a"), TARVEL_UTF16("b")})}};
    HROW row = 0;
    FakeRowset* rowset = bindAndFetch(accessor, table, &row);
    ASSERT_NE(nullptr, field<SAFEARRAY*>(accessor, 0));
    accessor.releaseRowValues(rowsetOf(rowset));
    EXPECT_EQ(nullptr, field<SAFEARRAY*>(accessor, 0));
    expectSecondPassDoesNothing(accessor, rowset);
    releaseRow(rowset, row);
    close(accessor, rowset);
    release(rowset);
}

TEST_F(RecordReleaseTest, ArrayByReferenceBelongsToTheProvider) {
    // The field holds the address of the provider's SAFEARRAY pointer, not an array.
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 2);
    SAFEARRAY** providerOwned = &array;
    BYTE holder[sizeof(void*)];
    std::memcpy(holder, &providerOwned, sizeof providerOwned);
    DynamicAccessor::releaseColumnValue(DBTYPE_ARRAY | DBTYPE_BYREF | DBTYPE_I4, holder, nullptr);
    SAFEARRAY** left = nullptr;
    std::memcpy(&left, holder, sizeof left);
    EXPECT_EQ(providerOwned, left);
    EXPECT_EQ(S_OK, SafeArrayDestroy(array));
}

TEST_F(RecordReleaseTest, ChapterIsReleasedOnceThroughTheChapteredRowset) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Table table{{column(1, DBTYPE_HCHAPTER, 8)}};
    table.rows = {{chapterCell(7)}};
    HROW row = 0;
    FakeRowset* rowset = bindAndFetch(accessor, table, &row);
    EXPECT_EQ(1u, rowset->outstandingChapters());
    accessor.releaseRowValues(rowsetOf(rowset));
    EXPECT_EQ(0u, field<HCHAPTER>(accessor, 0));
    EXPECT_EQ(0u, rowset->outstandingChapters());
    EXPECT_EQ((Journal{"IChapteredRowset::ReleaseChapter(7)", "IChapteredRowset::Release"}),
              releasesOf(instrumentation_.journal()));
    expectSecondPassDoesNothing(accessor, rowset);
    releaseRow(rowset, row);
    close(accessor, rowset);
    release(rowset);
}

TEST_F(RecordReleaseTest, ChapterOfARowsetWithoutChaptersIsResetAnyway) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Table table{{column(1, DBTYPE_HCHAPTER, 8)}};
    table.rows = {{chapterCell(9)}};
    HROW row = 0;
    FakeRowset* rowset = bindAndFetch(accessor, table, &row);
    instrumentation_.withhold(IID_IChapteredRowset);
    accessor.releaseRowValues(rowsetOf(rowset));
    EXPECT_EQ(0u, field<HCHAPTER>(accessor, 0));
    EXPECT_EQ(1u, rowset->outstandingChapters());
    // The provider still counts it; the test gives it back so the fixture's check holds.
    rowset->as<IChapteredRowset>()->ReleaseChapter(9, nullptr);
    releaseRow(rowset, row);
    close(accessor, rowset);
    release(rowset);
}

TEST_F(RecordReleaseTest, ChapterWithoutARowsetIsOnlyReset) {
    BYTE holder[sizeof(HCHAPTER)];
    const HCHAPTER chapter = 5;
    std::memcpy(holder, &chapter, sizeof chapter);
    DynamicAccessor::releaseColumnValue(DBTYPE_HCHAPTER, holder, nullptr);
    HCHAPTER left = 1;
    std::memcpy(&left, holder, sizeof left);
    EXPECT_EQ(0u, left);
    DynamicAccessor::releaseColumnValue(DBTYPE_BSTR, nullptr, nullptr);
}

TEST_F(RecordReleaseTest, SkippedColumnNeverReleasesAnotherColumnsField) {
    DynamicAccessor accessor(BlobHandling::Skip, 8000);
    Table table{{column(1, DBTYPE_BSTR, 8), column(2, DBTYPE_BSTR, 9000)}};
    table.rows = {{Cell::ofText(TARVEL_UTF16("first")), Cell::ofText(TARVEL_UTF16("skipped"))}};
    HROW row = 0;
    FakeRowset* rowset = bindAndFetch(accessor, table, &row);
    ASSERT_EQ(DBTYPE_BSTR, accessor.typeAt(1));
    ASSERT_EQ(0u, accessor.valueOffset(1));
    accessor.releaseRowValues(rowsetOf(rowset));  // the ledger sees a double free if wrong
    EXPECT_EQ(nullptr, field<BSTR>(accessor, 0));
    releaseRow(rowset, row);
    close(accessor, rowset);
    release(rowset);
}

TEST_F(RecordReleaseTest, AccessorHandlesAreReleasedThroughTheRowset) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = makeRowset(Table{{column(1, DBTYPE_I4, 4)}});
    ASSERT_EQ(S_OK, accessor.bindColumns(rowsetOf(rowset)));
    const HACCESSOR handle = DynamicAccessorPeer::accessorSlots(accessor)[0].handle;
    instrumentation_.clearJournal();
    EXPECT_EQ(S_OK, accessor.releaseAccessorHandles(rowsetOf(rowset)));
    EXPECT_EQ((Journal{"IAccessor::ReleaseAccessor(" + std::to_string(handle) + ")",
                       "IAccessor::Release"}),
              releasesOf(instrumentation_.journal()));
    EXPECT_EQ(nullptr, DynamicAccessorPeer::accessorSlots(accessor));
    EXPECT_EQ(0u, DynamicAccessorPeer::accessorSlotCount(accessor));
    instrumentation_.clearJournal();
    EXPECT_EQ(S_OK, accessor.releaseAccessorHandles(rowsetOf(rowset)));
    accessor.clearColumns();
    accessor.clearColumns();
    EXPECT_EQ(Journal{}, instrumentation_.journal());
    EXPECT_EQ(0u, accessor.getColumnCount());
    EXPECT_EQ(nullptr, DynamicAccessorPeer::rowBuffer(accessor));
    EXPECT_EQ(nullptr, DynamicAccessorPeer::columnFlags(accessor));
    release(rowset);
}

TEST_F(RecordReleaseTest, AccessorHandlesNeedARowset) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = makeRowset(Table{{column(1, DBTYPE_I4, 4)}});
    ASSERT_EQ(S_OK, accessor.bindColumns(rowsetOf(rowset)));
    EXPECT_EQ(E_FAIL, accessor.releaseAccessorHandles(nullptr));
    EXPECT_EQ(1u, DynamicAccessorPeer::accessorSlotCount(accessor));
    EXPECT_NE(nullptr, DynamicAccessorPeer::accessorSlots(accessor));
    close(accessor, rowset);
    release(rowset);
}

TEST_F(RecordReleaseTest, RowsetWithoutAccessorInterfaceStillLosesTheSlotArray) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = makeRowset(Table{{column(1, DBTYPE_I4, 4)}});
    ASSERT_EQ(S_OK, accessor.bindColumns(rowsetOf(rowset)));
    const HACCESSOR handle = DynamicAccessorPeer::accessorSlots(accessor)[0].handle;
    instrumentation_.withhold(IID_IAccessor);
    EXPECT_EQ(E_NOINTERFACE, accessor.releaseAccessorHandles(rowsetOf(rowset)));
    EXPECT_EQ(nullptr, DynamicAccessorPeer::accessorSlots(accessor));
    EXPECT_EQ(0u, DynamicAccessorPeer::accessorSlotCount(accessor));
    // The handle stays with the provider; give it back so the fixture's check holds.
    rowset->as<IAccessor>()->ReleaseAccessor(handle, nullptr);
    accessor.clearColumns();
    release(rowset);
}

TEST_F(RecordReleaseTest, NoSlotsMeansNoQuery) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = makeRowset(Table{});
    EXPECT_EQ(S_OK, accessor.releaseAccessorHandles(rowsetOf(rowset)));
    EXPECT_EQ(Journal{}, instrumentation_.journal());
    release(rowset);
}

TEST_F(RecordReleaseTest, MissingSlotArrayWithACountIsReported) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = makeRowset(Table{});
    ASSERT_EQ(S_OK, DynamicAccessorPeer::allocateAccessorSlots(accessor, 2));
    DynamicAccessorPeer::forgetAccessorSlots(accessor);
    EXPECT_EQ(E_FAIL, accessor.releaseAccessorHandles(rowsetOf(rowset)));
    EXPECT_EQ(2u, DynamicAccessorPeer::accessorSlotCount(accessor));
    release(rowset);
}

TEST_F(RecordReleaseTest, AccessorWithoutRowBufferReleasesNothing) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    auto* info = static_cast<DBCOLUMNINFO*>(CoTaskMemAlloc(sizeof(DBCOLUMNINFO)));
    std::memset(info, 0, sizeof *info);
    info->wType = DBTYPE_BSTR;
    info->ulColumnSize = 8;
    DynamicAccessorPeer::setColumnInfo(accessor, info, 1);
    accessor.releaseRowValues(nullptr);
    accessor.clearColumns();
    EXPECT_EQ(0u, accessor.getColumnCount());
}

}  // namespace
}  // namespace tarvel
