#include <cstring>

#include "peers.h"
#include "rowset_fixture.h"
#include "search_run.h"
#include "value_conversion.h"

namespace tarvel {
namespace {

using namespace tarvel::testing;

constexpr DWORD kAllParts = DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS;

class DynamicAccessorTest : public RowsetFixture {
protected:
    // Binds the table's columns under the handling and checks the pass succeeded.
    FakeRowset* bind(DynamicAccessor& accessor, Table table) {
        FakeRowset* rowset = makeRowset(std::move(table));
        EXPECT_EQ(S_OK, accessor.bindColumns(rowsetOf(rowset)));
        return rowset;
    }
    size_t propertyQueries() const {
        return instrumentation_.journalMatching("IRowsetInfo::GetProperties").size();
    }
    // The layout rule, for columns bound with a value: each column's length follows its value
    // at the next multiple of 8 and its status 8 bytes later; the next value lies within the 8
    // bytes after that status; the row ends with the last status. The bindings say the same.
    static ::testing::AssertionResult laidOutByTheRule(const DynamicAccessor& accessor,
                                                       FakeRowset* rowset) {
        const std::vector<DBBINDING>& bindings = rowset->lastBindings();
        DBBYTEOFFSET end = 0;
        for (DBORDINAL i = 0; i < accessor.getColumnCount(); ++i) {
            const DBBYTEOFFSET value = accessor.valueOffset(i);
            const DBBYTEOFFSET length = (value + accessor.valueSizeAt(i) + 7) / 8 * 8;
            if (value < end || value >= end + 8 || accessor.lengthOffset(i) != length ||
                accessor.statusOffset(i) != length + 8 || bindings[i].obValue != value ||
                bindings[i].obLength != length || bindings[i].obStatus != length + 8) {
                return ::testing::AssertionFailure() << "column " << i << " at " << value;
            }
            end = length + 8 + 4;
        }
        if (rowset->lastRowSize() != end) {
            return ::testing::AssertionFailure() << "a row of " << rowset->lastRowSize();
        }
        return ::testing::AssertionSuccess();
    }
};

TEST_F(DynamicAccessorTest, WideStringOf260CharactersFillsA540ByteRow) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = bind(accessor, Table{{column(1, DBTYPE_WSTR, 260)}});

    ASSERT_EQ(1u, accessor.getColumnCount());
    EXPECT_EQ(522u, accessor.valueSizeAt(0));
    EXPECT_EQ(DBTYPE_WSTR, accessor.typeAt(0));
    EXPECT_EQ(0u, accessor.valueOffset(0));
    EXPECT_EQ(528u, accessor.lengthOffset(0));
    EXPECT_EQ(536u, accessor.statusOffset(0));
    EXPECT_EQ(540u, rowset->lastRowSize());

    ASSERT_EQ(1u, rowset->lastBindings().size());
    const DBBINDING& binding = rowset->lastBindings()[0];
    EXPECT_EQ(1u, binding.iOrdinal);
    EXPECT_EQ(0u, binding.obValue);
    EXPECT_EQ(528u, binding.obLength);
    EXPECT_EQ(536u, binding.obStatus);
    EXPECT_EQ(kAllParts, binding.dwPart);
    EXPECT_EQ(522u, binding.cbMaxLen);
    EXPECT_EQ(DBTYPE_WSTR, binding.wType);
    EXPECT_EQ(DWORD(DBMEMOWNER_CLIENTOWNED), binding.dwMemOwner);
    EXPECT_EQ(DWORD(DBPARAMIO_NOTPARAM), binding.eParamIO);
    EXPECT_EQ(nullptr, binding.pTypeInfo);
    EXPECT_EQ(nullptr, binding.pBindExt);
    EXPECT_EQ(0u, binding.dwFlags);
    EXPECT_EQ(DWORD(DBACCESSOR_ROWDATA), rowset->lastAccessorFlags());

    ASSERT_EQ(1u, DynamicAccessorPeer::accessorSlotCount(accessor));
    EXPECT_NE(0u, DynamicAccessorPeer::accessorSlots(accessor)[0].handle);
    EXPECT_TRUE(DynamicAccessorPeer::accessorSlots(accessor)[0].autoFetch);
    ASSERT_NE(nullptr, DynamicAccessorPeer::columnFlags(accessor));
    EXPECT_EQ(0, DynamicAccessorPeer::columnFlags(accessor)[0]);
    close(accessor, rowset);
    release(rowset);
}

TEST_F(DynamicAccessorTest, EightByteIntegerFollowsUnalignedAndTheRowIs580Bytes) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = bind(accessor, Table{{column(1, DBTYPE_WSTR, 260), column(2, DBTYPE_I8, 8),
                                               column(3, DBTYPE_I4, 4)}});
    EXPECT_EQ(540u, accessor.valueOffset(1));
    EXPECT_EQ(552u, accessor.lengthOffset(1));
    EXPECT_EQ(560u, accessor.statusOffset(1));
    EXPECT_EQ(564u, accessor.valueOffset(2));
    EXPECT_EQ(568u, accessor.lengthOffset(2));
    EXPECT_EQ(576u, accessor.statusOffset(2));
    EXPECT_EQ(580u, rowset->lastRowSize());
    const std::vector<DBBINDING>& bindings = rowset->lastBindings();
    ASSERT_EQ(3u, bindings.size());
    EXPECT_EQ(540u, bindings[1].obValue);
    EXPECT_EQ(8u, bindings[1].cbMaxLen);
    EXPECT_EQ(564u, bindings[2].obValue);
    EXPECT_EQ(576u, bindings[2].obStatus);
    close(accessor, rowset);
    release(rowset);
}

TEST_F(DynamicAccessorTest, NarrowStringGetsOneByteForItsTerminator) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = bind(accessor, Table{{column(1, DBTYPE_STR, 10)}});
    EXPECT_EQ(11u, accessor.valueSizeAt(0));
    EXPECT_EQ(11u, rowset->lastBindings()[0].cbMaxLen);
    EXPECT_TRUE(laidOutByTheRule(accessor, rowset));
    close(accessor, rowset);
    release(rowset);
}

TEST_F(DynamicAccessorTest, ThresholdIsComparedBeforeTheSizeIsAdjusted) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = bind(
        accessor, Table{{column(1, DBTYPE_WSTR, 8000), column(2, DBTYPE_BYTES, 8000),
                         column(3, DBTYPE_BYTES, 8001), column(4, DBTYPE_WSTR, ~DBLENGTH(0))}});
    EXPECT_EQ(DBTYPE_WSTR, accessor.typeAt(0));
    EXPECT_EQ(16002u, accessor.valueSizeAt(0));
    EXPECT_EQ(DBTYPE_BYTES, accessor.typeAt(1));
    EXPECT_EQ(8000u, accessor.valueSizeAt(1));
    for (DBORDINAL i : {2u, 3u}) {
        EXPECT_EQ(DBTYPE_IUNKNOWN, accessor.typeAt(i)) << i;
        EXPECT_EQ(8u, accessor.valueSizeAt(i)) << i;
        EXPECT_EQ(0u, accessor.valueOffset(i) % 8) << i;
    }
    close(accessor, rowset);
    release(rowset);
}

TEST_F(DynamicAccessorTest, LongColumnUnderDefaultIsBoundAsSequentialStream) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Table table{{column(1, DBTYPE_I2, 2), column(2, DBTYPE_WSTR, 100000)}};
    table.properties = {{DBPROP_ISequentialStream, true}, {DBPROP_IStream, true}};
    FakeRowset* rowset = bind(accessor, table);
    const DBBINDING& binding = rowset->lastBindings()[1];
    EXPECT_EQ(DBTYPE_IUNKNOWN, binding.wType);
    EXPECT_EQ(8u, binding.cbMaxLen);
    EXPECT_EQ(0u, binding.obValue % 8) << "an object pointer's alignment";
    EXPECT_TRUE(laidOutByTheRule(accessor, rowset));
    EXPECT_EQ(kAllParts, binding.dwPart);
    ASSERT_NE(nullptr, binding.pObject);  // as CreateAccessor saw it
    EXPECT_EQ(DWORD(STGM_READ), rowset->lastObjects()[1].dwFlags);
    EXPECT_TRUE(IsEqualGUID(IID_ISequentialStream, rowset->lastObjects()[1].iid));
    EXPECT_EQ(1u, propertyQueries());
    EXPECT_EQ(Journal{"IRowsetInfo::GetProperties(137,139)"},
              instrumentation_.journalMatching("GetProperties"));
    close(accessor, rowset);
    release(rowset);
}

TEST_F(DynamicAccessorTest, StreamInterfaceFollowsTheRowsetProperties) {
    struct Case {
        std::map<DBPROPID, bool> properties;
        bool failQuery;
        const IID* expected;
        // A rowset that reports its streams grants only those it reports true.
        HRESULT bound;
    };
    const Case cases[] = {
        {{{DBPROP_ISequentialStream, true}, {DBPROP_IStream, false}},
         false,
         &IID_ISequentialStream,
         S_OK},
        {{{DBPROP_ISequentialStream, false}, {DBPROP_IStream, true}}, false, &IID_IStream, S_OK},
        {{{DBPROP_ISequentialStream, false}, {DBPROP_IStream, false}},
         false,
         &IID_ISequentialStream,
         DB_E_ERRORSOCCURRED},
        {{{DBPROP_IStream, true}}, false, &IID_IStream, S_OK},  // partly supported: still read
        {{{DBPROP_ISequentialStream, false}, {DBPROP_IStream, true}},
         true,
         &IID_ISequentialStream,
         DB_E_ERRORSOCCURRED},
    };
    for (const Case& c : cases) {
        Table table{{column(1, DBTYPE_BYTES, 9000), column(2, DBTYPE_STR, 9000)}};
        table.properties = c.properties;
        if (c.failQuery) {
            instrumentation_.failCall("IRowsetInfo::GetProperties", E_FAIL);
        }
        DynamicAccessor accessor(BlobHandling::Default, 8000);
        FakeRowset* rowset = makeRowset(table);
        EXPECT_EQ(c.bound, accessor.bindColumns(rowsetOf(rowset)));
        EXPECT_TRUE(IsEqualGUID(*c.expected, rowset->lastObjects()[0].iid));
        EXPECT_TRUE(IsEqualGUID(*c.expected, rowset->lastObjects()[1].iid));
        EXPECT_EQ(1u, propertyQueries()) << "two long columns, one query";
        instrumentation_.clearJournal();
        close(accessor, rowset);
        release(rowset);
    }
}

TEST_F(DynamicAccessorTest, RowsetWithoutRowsetInfoFallsBackToSequentialStream) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = makeRowset(Table{{column(1, DBTYPE_BYTES, 9000)}});
    instrumentation_.withhold(IID_IRowsetInfo);
    ASSERT_EQ(S_OK, accessor.bindColumns(rowsetOf(rowset)));
    EXPECT_TRUE(IsEqualGUID(IID_ISequentialStream, rowset->lastObjects()[0].iid));
    EXPECT_EQ(0u, propertyQueries());
    close(accessor, rowset);
    release(rowset);
}

TEST_F(DynamicAccessorTest, UnknownColumnIsAnObjectUnderEveryHandlingWithoutPropertyQuery) {
    for (BlobHandling handling :
         {BlobHandling::Default, BlobHandling::NoStreams, BlobHandling::Skip, BlobHandling(7)}) {
        DynamicAccessor accessor(handling, 8000);
        FakeRowset* rowset =
            bind(accessor,
                 Table{{column(1, DBTYPE_IUNKNOWN, 0), column(2, DBTYPE_IUNKNOWN, ~DBLENGTH(0))}});
        for (size_t i = 0; i < 2; ++i) {
            const DBBINDING& binding = rowset->lastBindings()[i];
            EXPECT_EQ(DBTYPE_IUNKNOWN, binding.wType);
            EXPECT_EQ(8u, binding.cbMaxLen);
            EXPECT_EQ(kAllParts, binding.dwPart);
            EXPECT_EQ(DWORD(DBMEMOWNER_CLIENTOWNED), binding.dwMemOwner);
            EXPECT_TRUE(IsEqualGUID(IID_IUnknown, rowset->lastObjects()[i].iid));
            EXPECT_EQ(0, DynamicAccessorPeer::columnFlags(accessor)[i]);
        }
        EXPECT_EQ(0u, accessor.valueOffset(1) % 8);
        EXPECT_TRUE(laidOutByTheRule(accessor, rowset));
        EXPECT_EQ(0u, propertyQueries());
        close(accessor, rowset);
        release(rowset);
    }
}

TEST_F(DynamicAccessorTest, NoStreamsBindsALongStringByReferenceOwnedByTheModule) {
    DynamicAccessor accessor(BlobHandling::NoStreams, 8000);
    FakeRowset* rowset =
        bind(accessor, Table{{column(1, DBTYPE_I1, 1), column(2, DBTYPE_WSTR, 10000)}});
    const DBBINDING& binding = rowset->lastBindings()[1];
    EXPECT_EQ(DBTYPE(DBTYPE_BYREF | DBTYPE_WSTR), binding.wType);
    EXPECT_EQ(8u, binding.cbMaxLen);
    EXPECT_EQ(0u, binding.obValue % 8) << "a pointer's alignment";
    EXPECT_TRUE(laidOutByTheRule(accessor, rowset));
    EXPECT_EQ(DWORD(DBMEMOWNER_CLIENTOWNED), binding.dwMemOwner);
    EXPECT_EQ(nullptr, binding.pObject);
    EXPECT_EQ(DBTYPE(DBTYPE_BYREF | DBTYPE_WSTR), accessor.typeAt(1));
    EXPECT_EQ(8u, accessor.valueSizeAt(1));
    EXPECT_EQ(1, DynamicAccessorPeer::columnFlags(accessor)[1])
        << "the flag ClientOwnedReference is 1";
    EXPECT_EQ(0u, propertyQueries());
    close(accessor, rowset);
    release(rowset);
}

TEST_F(DynamicAccessorTest, HandlingIsReadFromItsNumber) {
    // 1 binds by reference, 2 skips, any other number streams, as the caller's record says.
    struct Case {
        uint32_t handling;
        DBTYPE boundType;
    };
    const Case cases[] = {{0, DBTYPE_IUNKNOWN},
                          {1, DBTYPE(DBTYPE_BYREF | DBTYPE_BYTES)},
                          {2, DBTYPE_BYTES},
                          {3, DBTYPE_IUNKNOWN}};
    for (const Case& c : cases) {
        DynamicAccessor accessor(static_cast<BlobHandling>(c.handling), 8000);
        FakeRowset* rowset = bind(accessor, Table{{column(1, DBTYPE_BYTES, 9000)}});
        EXPECT_EQ(c.boundType, accessor.typeAt(0)) << c.handling;
        close(accessor, rowset);
        release(rowset);
    }
}

TEST_F(DynamicAccessorTest, SkipBindsOnlyLengthAndStatusAtTheRunningOffset) {
    DynamicAccessor accessor(BlobHandling::Skip, 8000);
    FakeRowset* rowset = bind(
        accessor,
        Table{{column(1, DBTYPE_I2, 2), column(2, DBTYPE_WSTR, 10000), column(3, DBTYPE_I4, 4)}});
    const DBBINDING& skipped = rowset->lastBindings()[1];
    EXPECT_EQ(DWORD(DBPART_LENGTH | DBPART_STATUS), skipped.dwPart);
    EXPECT_EQ(0u, skipped.obValue);
    EXPECT_EQ(24u, skipped.obLength);  // the I2's status ends at 20
    EXPECT_EQ(32u, skipped.obStatus);
    EXPECT_EQ(0u, skipped.cbMaxLen);
    EXPECT_EQ(DWORD(DBMEMOWNER_CLIENTOWNED), skipped.dwMemOwner);
    EXPECT_EQ(DBTYPE_WSTR, accessor.typeAt(1));
    EXPECT_EQ(0u, accessor.valueSizeAt(1));
    EXPECT_EQ(0u, accessor.valueOffset(1));
    EXPECT_EQ(36u, rowset->lastBindings()[2].obValue);
    EXPECT_EQ(52u, rowset->lastRowSize());
    close(accessor, rowset);
    release(rowset);
}

TEST_F(DynamicAccessorTest, SkippedColumnReportsItsOwnStatusAndNoValue) {
    DynamicAccessor accessor(BlobHandling::Skip, 8000);
    Table table{{column(1, DBTYPE_I4, 4), column(2, DBTYPE_WSTR, 10000)}};
    table.rows = {{integerCell(5), Cell::null()},
                  {integerCell(6), Cell::ofText(TARVEL_UTF16("x"))}};
    FakeRowset* rowset = bind(accessor, table);
    HROW row = fetch(rowset, accessor);
    DBSTATUS status = 99;
    EXPECT_TRUE(accessor.getStatus(2, &status));
    EXPECT_EQ(DWORD(DBSTATUS_S_ISNULL), status);
    EXPECT_TRUE(accessor.getStatus(1, &status));
    EXPECT_EQ(DWORD(DBSTATUS_S_OK), status);
    EXPECT_EQ(nullptr, accessor.getValue(2));
    accessor.releaseRowValues(rowsetOf(rowset));
    releaseRow(rowset, row);
    row = fetch(rowset, accessor);
    EXPECT_TRUE(accessor.getStatus(2, &status));
    EXPECT_EQ(DWORD(DBSTATUS_S_OK), status);
    releaseRow(rowset, row);
    close(accessor, rowset);
    release(rowset);
}

TEST_F(DynamicAccessorTest, ASkippedColumnShowsAsUnreadableOrUnhandledWithoutAValue) {
    DynamicAccessor accessor(BlobHandling::Skip, 8000);
    Table table{{column(1, DBTYPE_WSTR, 10000), column(2, DBTYPE_BYTES, 10000),
                 column(3, DBTYPE_BSTR, 10000)}};
    table.rows = {
        {Cell::ofText(TARVEL_UTF16("x")), bytesCell({1}), Cell::ofText(TARVEL_UTF16("y"))}};
    FakeRowset* rowset = bind(accessor, table);
    const HROW row = fetch(rowset, accessor);
    LineBuffer line;
    SearchRun::buildLine(accessor, line);
    // Text types have no value to show; other types show their type.
    EXPECT_EQ(WString(TARVEL_UTF16("(Error reading result)(Unhandled database type 128)"
                                   "(Error reading result)")),
              WString(line.text()));
    accessor.releaseRowValues(rowsetOf(rowset));
    releaseRow(rowset, row);
    close(accessor, rowset);
    release(rowset);
}

TEST_F(DynamicAccessorTest, FindsOrdinalsByPositionFromTheFirstOrdinal) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset =
        bind(accessor,
             Table{{column(1, DBTYPE_I4, 4), column(2, DBTYPE_I4, 4), column(3, DBTYPE_I4, 4)}});
    DBORDINAL index = 77;
    for (DBORDINAL ordinal : {1u, 2u, 3u}) {
        EXPECT_TRUE(accessor.findColumn(ordinal, &index));
        EXPECT_EQ(ordinal - 1, index);
    }
    index = 77;
    EXPECT_FALSE(accessor.findColumn(0, &index));
    EXPECT_FALSE(accessor.findColumn(4, &index));
    EXPECT_EQ(77u, index);
    close(accessor, rowset);
    release(rowset);

    DynamicAccessor bookmarked(BlobHandling::Default, 8000);
    rowset =
        bind(bookmarked,
             Table{{column(0, DBTYPE_I4, 4), column(1, DBTYPE_I4, 4), column(2, DBTYPE_I4, 4)}});
    for (DBORDINAL ordinal : {0u, 1u, 2u}) {
        EXPECT_TRUE(bookmarked.findColumn(ordinal, &index));
        EXPECT_EQ(ordinal, index);
    }
    EXPECT_FALSE(bookmarked.findColumn(3, &index));
    close(bookmarked, rowset);
    release(rowset);
}

TEST_F(DynamicAccessorTest, SuppliedColumnInfoIsUsedInPlaceAndSearchedByOrdinal) {
    auto* info = static_cast<DBCOLUMNINFO*>(CoTaskMemAlloc(3 * sizeof(DBCOLUMNINFO)));
    std::memset(info, 0, 3 * sizeof(DBCOLUMNINFO));
    const DBORDINAL ordinals[3] = {5, 2, 9};
    for (int i = 0; i < 3; ++i) {
        info[i].iOrdinal = ordinals[i];
        info[i].wType = DBTYPE_I4;
        info[i].ulColumnSize = 4;
    }
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    DynamicAccessorPeer::setColumnInfo(accessor, info, 3);
    FakeRowset* rowset =
        bind(accessor,
             Table{{column(5, DBTYPE_I4, 4), column(2, DBTYPE_I4, 4), column(9, DBTYPE_I4, 4)}});
    EXPECT_TRUE(instrumentation_.journalMatching("GetColumnInfo").empty());
    // The records given are the ones rewritten, in place.
    EXPECT_EQ(accessor.valueOffset(1), reinterpret_cast<uintptr_t>(info[1].pTypeInfo));
    EXPECT_TRUE(laidOutByTheRule(accessor, rowset));
    DBORDINAL index = 0;
    EXPECT_TRUE(accessor.findColumn(2, &index));
    EXPECT_EQ(1u, index);
    EXPECT_TRUE(accessor.findColumn(9, &index));
    EXPECT_EQ(2u, index);
    EXPECT_FALSE(accessor.findColumn(3, &index));
    EXPECT_TRUE(accessor.findColumn(5, &index));
    EXPECT_EQ(0u, index);
    EXPECT_EQ(5u, rowset->lastBindings()[0].iOrdinal);
    EXPECT_EQ(2u, rowset->lastBindings()[1].iOrdinal);
    close(accessor, rowset);
    release(rowset);
}

TEST_F(DynamicAccessorTest, BeforeTheFirstFetchEveryStatusIsOkAndEveryValueZero) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = bind(
        accessor,
        Table{{column(1, DBTYPE_WSTR, 20), column(2, DBTYPE_BSTR, 8), column(3, DBTYPE_I8, 8)}});
    for (DBORDINAL ordinal = 1; ordinal <= 3; ++ordinal) {
        DBSTATUS status = 99;
        EXPECT_TRUE(accessor.getStatus(ordinal, &status));
        EXPECT_EQ(DWORD(DBSTATUS_S_OK), status);
        const auto* value = static_cast<const BYTE*>(accessor.getValue(ordinal));
        ASSERT_NE(nullptr, value);
        for (size_t i = 0; i < accessor.valueSizeAt(ordinal - 1); ++i) {
            EXPECT_EQ(0, value[i]);
        }
    }
    DBTYPE type = 0;
    EXPECT_TRUE(accessor.getType(2, &type));
    EXPECT_EQ(DBTYPE_BSTR, type);
    DBSTATUS status = 99;
    type = 77;
    EXPECT_FALSE(accessor.getStatus(4, &status));
    EXPECT_FALSE(accessor.getType(4, &type));
    EXPECT_EQ(99u, status);
    EXPECT_EQ(77, type);
    EXPECT_EQ(nullptr, accessor.getValue(4));
    close(accessor, rowset);
    release(rowset);
}

TEST_F(DynamicAccessorTest, ReadsShowWhatTheFetchWrote) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Table table{{column(1, DBTYPE_WSTR, 4), column(2, DBTYPE_I4, 4)}};
    table.rows = {{Cell::ofText(TARVEL_UTF16("abcdef")), integerCell(-3)}};
    FakeRowset* rowset = bind(accessor, table);
    const HROW row = fetch(rowset, accessor);
    DBSTATUS status = 0;
    EXPECT_TRUE(accessor.getStatus(1, &status));
    EXPECT_EQ(DWORD(DBSTATUS_S_TRUNCATED), status);
    EXPECT_EQ(WString(TARVEL_UTF16("abcd")),
              WString(static_cast<const WCHAR*>(accessor.getValue(1))));
    DBLENGTH length = 0;
    std::memcpy(&length, DynamicAccessorPeer::rowBuffer(accessor) + accessor.lengthOffset(0),
                sizeof length);
    EXPECT_EQ(12u, length);
    LONG number = 0;
    std::memcpy(&number, accessor.getValue(2), sizeof number);
    EXPECT_EQ(-3, number);
    releaseRow(rowset, row);
    close(accessor, rowset);
    release(rowset);
}

TEST_F(DynamicAccessorTest, NoColumnsStillMakesASlotAndAnAccessorWithoutBindings) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = bind(accessor, Table{});
    EXPECT_EQ(0u, accessor.getColumnCount());
    EXPECT_NE(nullptr, DynamicAccessorPeer::rowBuffer(accessor));
    EXPECT_NE(nullptr, DynamicAccessorPeer::columnFlags(accessor));
    ASSERT_EQ(1u, DynamicAccessorPeer::accessorSlotCount(accessor));
    EXPECT_NE(0u, DynamicAccessorPeer::accessorSlots(accessor)[0].handle);
    EXPECT_EQ(Journal{"IAccessor::CreateAccessor(2,0,0)"},
              instrumentation_.journalMatching("CreateAccessor"));
    close(accessor, rowset);
    release(rowset);
}

TEST_F(DynamicAccessorTest, NoColumnsAndNoNullAccessorFailsWithTheProvidersAnswer) {
    Table table;
    quirks_.refusesNullAccessor = true;
    FakeRowset* rowset = makeRowset(table);
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    EXPECT_EQ(DB_E_NULLACCESSORNOTSUPPORTED, accessor.bindColumns(rowsetOf(rowset)));
    close(accessor, rowset);
    release(rowset);
}

TEST_F(DynamicAccessorTest, AColumnAfterAnotherLiesWhereItsTypesAlignmentPutsIt) {
    // Every column's fields end 4 bytes past a multiple of 8 (its status), so the next value
    // lies right there (offset 20 after a first column of one byte) unless its type is aligned
    // to 8 bytes, which puts it at 24.
    struct Case {
        DBTYPE type;
        DBLENGTH size;
        DBBYTEOFFSET value;
    };
    const Case cases[] = {
        {DBTYPE_I1, 1, 20},       {DBTYPE_I8, 8, 20},           {DBTYPE_UI8, 8, 20},
        {DBTYPE_NUMERIC, 19, 20}, {DBTYPE_STR, 9, 20},          {DBTYPE_BYTES, 9, 20},
        {DBTYPE_WSTR, 10, 20},    {DBTYPE_DBTIME, 6, 20},       {DBTYPE_GUID, 16, 20},
        {DBTYPE_I4, 4, 20},       {DBTYPE_DBTIMESTAMP, 16, 20}, {DBTYPE_R8, 8, 24},
        {DBTYPE_CY, 8, 24},       {DBTYPE_VARIANT, 24, 24},     {DBTYPE_HCHAPTER, 8, 24},
        {DBTYPE_BSTR, 8, 24},     {DBTYPE_FILETIME, 8, 24},     {DBTYPE_DECIMAL, 16, 24},
    };
    for (const Case& c : cases) {
        DynamicAccessor accessor(BlobHandling::Default, 8000);
        FakeRowset* rowset =
            bind(accessor, Table{{column(1, DBTYPE_UI1, 1), column(2, c.type, c.size)}});
        EXPECT_EQ(c.value, accessor.valueOffset(1)) << c.type;
        ASSERT_EQ(2u, rowset->lastBindings().size());
        EXPECT_EQ(c.value, rowset->lastBindings()[1].obValue) << c.type;
        close(accessor, rowset);
        release(rowset);
    }
}

TEST_F(DynamicAccessorTest, FixedLengthTypeIsNeverBoundSmallerThanItsValue) {
    // A provider writes a whole value of a fixed-length type whatever size it reported; the
    // field must hold it. The sizes come from the provider's own table.
    const DBTYPE types[] = {DBTYPE_I1,       DBTYPE_UI1,        DBTYPE_I2,          DBTYPE_UI2,
                            DBTYPE_BOOL,     DBTYPE_I4,         DBTYPE_UI4,         DBTYPE_R4,
                            DBTYPE_ERROR,    DBTYPE_DBDATE,     DBTYPE_DBTIME,      DBTYPE_I8,
                            DBTYPE_UI8,      DBTYPE_R8,         DBTYPE_CY,          DBTYPE_DATE,
                            DBTYPE_FILETIME, DBTYPE_BSTR,       DBTYPE_IDISPATCH,   DBTYPE_HCHAPTER,
                            DBTYPE_DECIMAL,  DBTYPE_GUID,       DBTYPE_DBTIMESTAMP, DBTYPE_NUMERIC,
                            DBTYPE_VARIANT,  DBTYPE_PROPVARIANT};
    Table table;
    for (DBTYPE type : types) {
        table.columns.push_back(column(table.columns.size() + 1, type, 0));
    }
    for (DBTYPE type : {DBTYPE(DBTYPE_BYREF | DBTYPE_I2), DBTYPE(DBTYPE_VECTOR | DBTYPE_I4),
                        DBTYPE(DBTYPE_ARRAY | DBTYPE_BSTR)}) {
        table.columns.push_back(column(table.columns.size() + 1, type, 1));
    }
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = bind(accessor, table);
    for (size_t i = 0; i < table.columns.size(); ++i) {
        DBBINDING binding{};
        binding.wType = table.columns[i].type;
        EXPECT_EQ(service::valueFieldSize(binding), accessor.valueSizeAt(i))
            << table.columns[i].type;
    }
    EXPECT_EQ(Journal{}, instrumentation_.errors()) << "fields overlap";
    close(accessor, rowset);
    release(rowset);
}

TEST_F(DynamicAccessorTest, WideStringsTooLongToCountSaturate) {
    // Sizes no provider reports, checked to the byte: the bound size of the longest string
    // whose field can be counted, and of the next, which cannot.
    DynamicAccessor accessor(BlobHandling::Default, ~DBLENGTH(0));
    const DBLENGTH longest = (~DBLENGTH(0) - 2) / 2;
    FakeRowset* rowset =
        makeRowset(Table{{column(1, DBTYPE_WSTR, longest), column(2, DBTYPE_WSTR, longest + 1)}});
    EXPECT_EQ(E_OUTOFMEMORY, accessor.bindColumns(rowsetOf(rowset)));
    EXPECT_EQ(longest * 2 + 2, accessor.valueSizeAt(0));
    EXPECT_EQ(~DBLENGTH(0), accessor.valueSizeAt(1));
    close(accessor, rowset);
    release(rowset);
}

TEST(DynamicAccessorBindingPass, TheBindingStepRefusesAMissingRecordWhichThePassNeverGives) {
    try {
        DynamicAccessorPeer::fillBinding(nullptr, DBORDINAL(1), DBTYPE(DBTYPE_I4), DBLENGTH(4),
                                         BYTE(0), BYTE(0), DBBYTEOFFSET(0), DBBYTEOFFSET(8),
                                         DBBYTEOFFSET(16), static_cast<DBOBJECT*>(nullptr));
        FAIL() << "no exception";
    } catch (const HResultException& failure) {
        EXPECT_EQ(E_FAIL, failure.hr);
    }
}

TEST_F(DynamicAccessorTest, TheBindingPassFillsEachBindingWholeAndTheRestAtZero) {
    // A by-reference text with its precision and scale, and an object column.
    Table table{{column(3, DBTYPE(DBTYPE_BYREF | DBTYPE_STR), 8), column(4, DBTYPE_IUNKNOWN, 8)}};
    table.columns[0].precision = 4;
    table.columns[0].scale = 2;
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = bind(accessor, table);
    const std::vector<DBBINDING>& bound = rowset->lastBindings();
    ASSERT_EQ(2u, bound.size());
    EXPECT_EQ(3u, bound[0].iOrdinal);
    EXPECT_EQ(kAllParts, bound[0].dwPart);
    EXPECT_EQ(8u, bound[0].obLength);
    EXPECT_EQ(16u, bound[0].obStatus);
    EXPECT_EQ(DWORD(DBMEMOWNER_PROVIDEROWNED), bound[0].dwMemOwner);
    EXPECT_EQ(4, bound[0].bPrecision);
    EXPECT_EQ(2, bound[0].bScale);
    EXPECT_EQ(nullptr, bound[0].pObject);
    EXPECT_EQ(nullptr, bound[0].pBindExt);
    EXPECT_EQ(nullptr, bound[0].pTypeInfo);
    EXPECT_EQ(0u, bound[0].dwFlags);
    EXPECT_EQ(DWORD(DBPARAMIO_NOTPARAM), bound[0].eParamIO);
    EXPECT_NE(nullptr, bound[1].pObject);
    EXPECT_EQ(DWORD(DBMEMOWNER_CLIENTOWNED), bound[1].dwMemOwner);
    EXPECT_EQ(DWORD(STGM_READ), rowset->lastObjects()[1].dwFlags);
    EXPECT_TRUE(IsEqualGUID(IID_IUnknown, rowset->lastObjects()[1].iid));
    close(accessor, rowset);
    release(rowset);
}

TEST_F(DynamicAccessorTest, CreateRowAccessorFreesObjectDescriptionsWhateverTheAnswer) {
    FakeRowset* rowset = makeRowset(Table{{column(1, DBTYPE_IUNKNOWN, 8)}});
    IAccessor* itf = rowset->as<IAccessor>();
    for (HRESULT answer : {S_OK, E_FAIL}) {
        auto* object = static_cast<DBOBJECT*>(ModuleAllocator::allocate(sizeof(DBOBJECT)));
        *object = DBOBJECT{STGM_READ, IID_IUnknown};
        DBBINDING binding;
        DynamicAccessorPeer::fillBinding(&binding, 1, DBTYPE_IUNKNOWN, 8, 0, 0, 0, 8, 16, object);
        if (FAILED(answer)) {
            instrumentation_.failCall("IAccessor::CreateAccessor", answer);
        }
        HACCESSOR handle = 0;
        EXPECT_EQ(answer, DynamicAccessorPeer::createRowAccessor(&binding, 1, &handle, 20, itf));
        EXPECT_EQ(nullptr, binding.pObject);
        if (handle != 0) {
            itf->ReleaseAccessor(handle, nullptr);
        }
    }
    HACCESSOR handle = 0;
    DBBINDING binding{};
    EXPECT_EQ(E_FAIL, DynamicAccessorPeer::createRowAccessor(nullptr, 1, &handle, 20, itf));
    EXPECT_EQ(E_FAIL, DynamicAccessorPeer::createRowAccessor(&binding, 1, nullptr, 20, itf));
    EXPECT_EQ(E_FAIL, DynamicAccessorPeer::createRowAccessor(&binding, 1, &handle, 20, nullptr));
    release(rowset);
}

TEST_F(DynamicAccessorTest, ParameterBindingAsksForAParameterAccessor) {
    FakeRowset* rowset = makeRowset(Table{{column(1, DBTYPE_I4, 4)}});
    DBBINDING binding;
    DynamicAccessorPeer::fillBinding(&binding, 1, DBTYPE_I4, 4, 0, 0, 0, 8, 16, nullptr);
    binding.eParamIO = DBPARAMIO_INPUT;
    HACCESSOR handle = 0;
    EXPECT_EQ(DB_E_BADACCESSORFLAGS, DynamicAccessorPeer::createRowAccessor(
                                         &binding, 1, &handle, 20, rowset->as<IAccessor>()));
    EXPECT_EQ(Journal{"IAccessor::CreateAccessor(4,1,20)"},
              instrumentation_.journalMatching("CreateAccessor"));
    release(rowset);
}

TEST_F(DynamicAccessorTest, RowsetPropertiesAreReadAsSignedBooleans) {
    Table table;
    table.properties = {{DBPROP_ISequentialStream, true}, {DBPROP_IStream, false}};
    FakeRowset* rowset = makeRowset(table);
    const DBPROPID ids[2] = {DBPROP_ISequentialStream, DBPROP_IStream};
    LONG values[2] = {5, 5};
    EXPECT_EQ(S_OK, DynamicAccessorPeer::getRowsetProperties(rowsetOf(rowset), ids, values));
    EXPECT_EQ(-1, values[0]);
    EXPECT_EQ(0, values[1]);

    const DBPROPID reversed[2] = {DBPROP_IStream, DBPROP_ISequentialStream};
    EXPECT_EQ(S_OK, DynamicAccessorPeer::getRowsetProperties(rowsetOf(rowset), reversed, values));
    EXPECT_EQ(0, values[0]);
    EXPECT_EQ(-1, values[1]);

    const DBPROPID unknown[2] = {DBPROP_ISequentialStream, 0x777};
    EXPECT_EQ(DB_S_ERRORSOCCURRED,
              DynamicAccessorPeer::getRowsetProperties(rowsetOf(rowset), unknown, values));
    EXPECT_EQ(-1, values[0]);

    values[0] = values[1] = 5;
    instrumentation_.failCall("IRowsetInfo::GetProperties", E_UNEXPECTED);
    EXPECT_EQ(E_UNEXPECTED,
              DynamicAccessorPeer::getRowsetProperties(rowsetOf(rowset), ids, values));
    EXPECT_EQ(0, values[0]);
    EXPECT_EQ(0, values[1]);

    EXPECT_EQ(E_FAIL, DynamicAccessorPeer::getRowsetProperties(nullptr, ids, values));
    EXPECT_EQ(E_FAIL, DynamicAccessorPeer::getRowsetProperties(rowsetOf(rowset), ids, nullptr));
    release(rowset);
}

TEST_F(DynamicAccessorTest, UnsupportedPropertiesCountAsFalseWhateverTheirValueBytes) {
    Table table;
    table.properties = {{DBPROP_IStream, true}};
    quirks_.undefinedUnsupportedValues = true;
    FakeRowset* rowset = makeRowset(table);
    const DBPROPID ids[2] = {DBPROP_ISequentialStream, DBPROP_IStream};
    LONG values[2] = {5, 5};
    EXPECT_EQ(DB_S_ERRORSOCCURRED,
              DynamicAccessorPeer::getRowsetProperties(rowsetOf(rowset), ids, values));
    EXPECT_EQ(0, values[0]);
    EXPECT_EQ(-1, values[1]);
    release(rowset);
}

TEST_F(DynamicAccessorTest, PropertySetsBeyondTheFirstAreFreedWithTheirValues) {
    Table table;
    table.properties = {{DBPROP_ISequentialStream, true}, {DBPROP_IStream, true}};
    quirks_.extraPropertySet = true;
    FakeRowset* rowset = makeRowset(table);
    const DBPROPID ids[2] = {DBPROP_ISequentialStream, DBPROP_IStream};
    LONG values[3] = {5, 5, 77};
    EXPECT_EQ(S_OK, DynamicAccessorPeer::getRowsetProperties(rowsetOf(rowset), ids, values));
    EXPECT_EQ(-1, values[0]);
    EXPECT_EQ(-1, values[1]);
    EXPECT_EQ(77, values[2]) << "a property nobody asked for was read";
    // The sets and the first set's properties (which the provider made twice, growing them),
    // the second set's property and its string value; each freed once.
    EXPECT_EQ(6u, ledger_.handedOver());
    release(rowset);
}

TEST_F(DynamicAccessorTest, PropertyArraysOfAFailedQueryAreFreedToo) {
    Table table;  // supports nothing: DB_E_ERRORSOCCURRED with arrays to free
    FakeRowset* rowset = makeRowset(table);
    const DBPROPID ids[2] = {DBPROP_ISequentialStream, DBPROP_IStream};
    LONG values[2] = {5, 5};
    EXPECT_EQ(DB_E_ERRORSOCCURRED,
              DynamicAccessorPeer::getRowsetProperties(rowsetOf(rowset), ids, values));
    EXPECT_EQ(0, values[0]);
    EXPECT_EQ(2u, ledger_.handedOver());
    release(rowset);
}

}  // namespace
}  // namespace tarvel
