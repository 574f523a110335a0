// Walking a rowset forward: the order of release, fetch and restart within every move.
#include <cstring>

#include "journal_checks.h"
#include "peers.h"
#include "rowset.h"
#include "rowset_fixture.h"

namespace tarvel {
namespace {

using namespace tarvel::testing;

class RowsetTest : public RowsetFixture {
protected:
    // A bound accessor and a Rowset holding the table's rowset.
    FakeRowset* open(Table table, DynamicAccessor& accessor, Rowset& rowset) {
        FakeRowset* rows = makeRowset(std::move(table));
        EXPECT_EQ(S_OK, accessor.bindColumns(rowsetOf(rows)));
        rowset.attach(heldRowset(rowsetOf(rows)));
        release(rows);  // the Rowset holds it from here
        instrumentation_.clearJournal();
        opened_ = rows;
        return rows;
    }
    // The rows the provider has handed out and not had back.
    size_t rowsHeld() const { return opened_->outstandingRows(); }
    static Table threeRows() {
        Table table{{column(1, DBTYPE_WSTR, 20)}};
        for (const WCHAR* text :
             {TARVEL_UTF16("one"), TARVEL_UTF16("two"), TARVEL_UTF16("three")}) {
            table.rows.push_back({Cell::ofText(text)});
        }
        return table;
    }
    static WString current(const DynamicAccessor& accessor) {
        return static_cast<const WCHAR*>(accessor.getValue(1));
    }
    // Replaces the accessor's one slot by two accessors over the first column's binding, both
    // fetching into the same buffer; autoFetch as given for each.
    void twoSlotsOverTheFirstColumn(FakeRowset* rows, DynamicAccessor& accessor, Rowset& rowset,
                                    bool firstFetched, bool secondFetched) {
        accessor.releaseAccessorHandles(rowset.rows());
        ASSERT_EQ(S_OK, DynamicAccessorPeer::allocateAccessorSlots(accessor, 2));
        DBBINDING binding = rows->lastBindings()[0];
        const bool fetched[2] = {firstFetched, secondFetched};
        for (ULONG i = 0; i < 2; ++i) {
            ASSERT_EQ(S_OK, rows->as<IAccessor>()->CreateAccessor(
                                DBACCESSOR_ROWDATA, 1, &binding, rows->lastRowSize(),
                                &DynamicAccessorPeer::accessorSlots(accessor)[i].handle, nullptr));
            DynamicAccessorPeer::accessorSlots(accessor)[i].autoFetch = fetched[i];
        }
        instrumentation_.clearJournal();
    }
    // Closes the rowset's results as the command does.
    void closeAll(DynamicAccessor& accessor, Rowset& rowset) {
        accessor.releaseRowValues(rowset.rows());
        accessor.releaseAccessorHandles(rowset.rows());
        accessor.clearColumns();
        rowset.close();
    }
};

TEST_F(RowsetTest, EmptyRowsetEndsAtTheFirstMove) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    open(Table{{column(1, DBTYPE_WSTR, 20)}}, accessor, rowset);
    EXPECT_EQ(DB_S_ENDOFROWSET, rowset.moveToFirstRow());
    EXPECT_EQ(0u, rowsHeld());
    EXPECT_EQ((Journal{"IRowset::RestartPosition(0)", "IRowset::GetNextRows(0,0,1)"}),
              instrumentation_.journal());
    closeAll(accessor, rowset);
}

TEST_F(RowsetTest, ReleasesEachRowBeforeFetchingTheNext) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    FakeRowset* rows = open(threeRows(), accessor, rowset);
    const HACCESSOR handle = DynamicAccessorPeer::accessorSlots(accessor)[0].handle;
    ASSERT_EQ(S_OK, rowset.moveToFirstRow());
    EXPECT_EQ(WString(TARVEL_UTF16("one")), current(accessor));
    ASSERT_EQ(S_OK, rowset.moveToNextRow());
    EXPECT_EQ(WString(TARVEL_UTF16("two")), current(accessor));
    ASSERT_EQ(S_OK, rowset.moveToNextRow());
    EXPECT_EQ(WString(TARVEL_UTF16("three")), current(accessor));
    EXPECT_EQ(DB_S_ENDOFROWSET, rowset.moveToNextRow());
    EXPECT_EQ(0u, rowsHeld());
    EXPECT_EQ(0u, rows->outstandingRows());
    EXPECT_EQ(1u, rows->mostRowsHeld());
    const std::string data = "," + std::to_string(handle) + ")";
    EXPECT_EQ((Journal{"IRowset::RestartPosition(0)", "IRowset::GetNextRows(0,0,1)",
                       "IRowset::GetData(1" + data, "IRowset::ReleaseRows(1,[1])",
                       "IRowset::GetNextRows(0,0,1)", "IRowset::GetData(2" + data,
                       "IRowset::ReleaseRows(1,[2])", "IRowset::GetNextRows(0,0,1)",
                       "IRowset::GetData(3" + data, "IRowset::ReleaseRows(1,[3])",
                       "IRowset::GetNextRows(0,0,1)"}),
              instrumentation_.journal());
    closeAll(accessor, rowset);
}

TEST_F(RowsetTest, FirstMoveAfterTheEndRestarts) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    open(threeRows(), accessor, rowset);
    ASSERT_EQ(S_OK, rowset.moveToFirstRow());
    while (rowset.moveToNextRow() == S_OK) {
    }
    ASSERT_EQ(S_OK, rowset.moveToFirstRow());
    EXPECT_EQ(WString(TARVEL_UTF16("one")), current(accessor));
    EXPECT_EQ(2u, instrumentation_.journalMatching("RestartPosition").size());
    closeAll(accessor, rowset);
}

TEST_F(RowsetTest, WithoutFetchingSlotsAMoveHoldsTheRowUnread) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    FakeRowset* rows = open(threeRows(), accessor, rowset);
    DynamicAccessorPeer::accessorSlots(accessor)[0].autoFetch = false;
    EXPECT_EQ(S_OK, rowset.moveToFirstRow());
    EXPECT_EQ(1u, rowsHeld());
    EXPECT_EQ(1u, rows->outstandingRows());
    EXPECT_TRUE(instrumentation_.journalMatching("GetData").empty());

    // A slot count without a slot array: the same.
    rows->as<IAccessor>()->ReleaseAccessor(DynamicAccessorPeer::accessorSlots(accessor)[0].handle,
                                           nullptr);
    DynamicAccessorPeer::forgetAccessorSlots(accessor);
    EXPECT_EQ(S_OK, rowset.moveToNextRow());
    EXPECT_TRUE(instrumentation_.journalMatching("GetData").empty());
    closeAll(accessor, rowset);
}

TEST_F(RowsetTest, TwoSlotsAreFetchedInOrderAndTheFirstFailureStopsTheSecond) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    FakeRowset* rows = open(threeRows(), accessor, rowset);
    ASSERT_NO_FATAL_FAILURE(twoSlotsOverTheFirstColumn(rows, accessor, rowset, true, true));
    ASSERT_EQ(S_OK, rowset.moveToFirstRow());
    EXPECT_EQ(2u, instrumentation_.journalMatching("GetData(1,").size());
    instrumentation_.failCall("IRowset::GetData", E_FAIL);
    EXPECT_EQ(E_FAIL, rowset.moveToNextRow());
    EXPECT_EQ(0u, rowsHeld());
    EXPECT_EQ(0u, rows->outstandingRows());
    EXPECT_EQ((Journal{"IRowset::GetData(2,2) -> 0x80004005"}),
              instrumentation_.journalMatching("GetData(2"));
    closeAll(accessor, rowset);
}

TEST_F(RowsetTest, WarningFromGetDataKeepsTheRow) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    FakeRowset* rows = open(threeRows(), accessor, rowset);
    instrumentation_.failCall("IRowset::GetData", S_FALSE);
    EXPECT_EQ(S_FALSE, rowset.moveToFirstRow());
    EXPECT_EQ(1u, rowsHeld());
    EXPECT_EQ(1u, rows->outstandingRows());
    closeAll(accessor, rowset);
    EXPECT_EQ(0u, rows->outstandingRows());
}

TEST_F(RowsetTest, RowsWithUnreadableColumnsAreFetchedRowsWhoseStatusesTell) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    Table table{{column(1, DBTYPE_WSTR, 20), column(2, DBTYPE_I4, 4)}};
    table.rows = {{Cell::ofText(TARVEL_UTF16("one")), Cell::ofStatus(DBSTATUS_E_CANTCONVERTVALUE)},
                  {Cell::ofStatus(DBSTATUS_E_UNAVAILABLE), Cell::ofStatus(DBSTATUS_E_SIGNMISMATCH)},
                  {Cell::ofText(TARVEL_UTF16("three")), integerCell(3)}};
    FakeRowset* rows = open(table, accessor, rowset);
    DBSTATUS status = 0;

    // One column of two fails: the provider answers DB_S_ERRORSOCCURRED.
    ASSERT_EQ(S_OK, rowset.moveToFirstRow());
    EXPECT_EQ(1u, rows->outstandingRows());
    EXPECT_EQ(WString(TARVEL_UTF16("one")), current(accessor));
    ASSERT_TRUE(accessor.getStatus(2, &status));
    EXPECT_EQ(DWORD(DBSTATUS_E_CANTCONVERTVALUE), status);

    // Every column fails: DB_E_ERRORSOCCURRED, and still the row is there and held.
    ASSERT_EQ(S_OK, rowset.moveToNextRow());
    EXPECT_EQ(1u, rowsHeld());
    EXPECT_EQ(1u, rows->outstandingRows());
    ASSERT_TRUE(accessor.getStatus(1, &status));
    EXPECT_EQ(DWORD(DBSTATUS_E_UNAVAILABLE), status);

    ASSERT_EQ(S_OK, rowset.moveToNextRow());
    EXPECT_EQ(WString(TARVEL_UTF16("three")), current(accessor));
    EXPECT_EQ(DB_S_ENDOFROWSET, rowset.moveToNextRow());
    EXPECT_EQ((Journal{"IRowset::ReleaseRows(1,[1])", "IRowset::ReleaseRows(1,[2])",
                       "IRowset::ReleaseRows(1,[3])"}),
              instrumentation_.journalMatching("ReleaseRows"))
        << "each row goes with the next move, none with its own fetch";
    closeAll(accessor, rowset);
}

TEST_F(RowsetTest, ASlotWithUnreadableColumnsDoesNotStopTheNextSlot) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    FakeRowset* rows = open(threeRows(), accessor, rowset);
    ASSERT_NO_FATAL_FAILURE(twoSlotsOverTheFirstColumn(rows, accessor, rowset, true, true));
    instrumentation_.failCall("IRowset::GetData", DB_E_ERRORSOCCURRED);
    EXPECT_EQ(S_OK, rowset.moveToFirstRow());
    EXPECT_EQ((Journal{"IRowset::GetData(1,2) -> 0x80040E21", "IRowset::GetData(1,3)"}),
              instrumentation_.journalMatching("GetData"));
    EXPECT_EQ(1u, rows->outstandingRows());
    // A warning of another kind from the last slot is still the move's result.
    instrumentation_.failCall("IRowset::GetData", S_FALSE, 2);
    EXPECT_EQ(S_FALSE, rowset.moveToNextRow());
    EXPECT_EQ(1u, rows->outstandingRows());
    closeAll(accessor, rowset);
}

TEST_F(RowsetTest, ProviderArraysOfSeveralRowsKeepTheFirstAndReleaseTheRestAtOnce) {
    for (size_t perFetch : {1u, 2u, 3u}) {
        SCOPED_TRACE(perFetch);
        DynamicAccessor accessor(BlobHandling::Default, 8000);
        Rowset rowset(&accessor);
        Table table{{column(1, DBTYPE_WSTR, 20)}};
        for (char c = 'a'; c <= 'f'; ++c) {
            table.rows.push_back({Cell::ofText(WString(1, WCHAR(c)))});
        }
        quirks_.ownRowArrays = true;
        quirks_.rowsPerFetch = perFetch;
        FakeRowset* rows = open(table, accessor, rowset);
        WString seen;
        for (HRESULT hr = rowset.moveToFirstRow(); hr == S_OK; hr = rowset.moveToNextRow()) {
            EXPECT_EQ(1u, rows->outstandingRows());
            seen += current(accessor);
        }
        const WCHAR* expected[] = {nullptr, TARVEL_UTF16("abcdef"), TARVEL_UTF16("ace"),
                                   TARVEL_UTF16("ad")};
        EXPECT_EQ(WString(expected[perFetch]), seen);
        EXPECT_EQ(0u, rowsHeld());
        const Journal released[] = {
            {},
            {"IRowset::ReleaseRows(1,[1])", "IRowset::ReleaseRows(1,[2])",
             "IRowset::ReleaseRows(1,[3])", "IRowset::ReleaseRows(1,[4])",
             "IRowset::ReleaseRows(1,[5])", "IRowset::ReleaseRows(1,[6])"},
            {"IRowset::ReleaseRows(1,[2])", "IRowset::ReleaseRows(1,[1])",
             "IRowset::ReleaseRows(1,[4])", "IRowset::ReleaseRows(1,[3])",
             "IRowset::ReleaseRows(1,[6])", "IRowset::ReleaseRows(1,[5])"},
            {"IRowset::ReleaseRows(2,[2,3])", "IRowset::ReleaseRows(1,[1])",
             "IRowset::ReleaseRows(2,[5,6])", "IRowset::ReleaseRows(1,[4])"},
        };
        EXPECT_EQ(released[perFetch], instrumentation_.journalMatching("ReleaseRows"));
        EXPECT_EQ(0u, rows->outstandingRows());
        closeAll(accessor, rowset);
        instrumentation_.clearJournal();
    }
    // Every array the provider allocated was freed (checked after the test).
    EXPECT_LT(0u, ledger_.handedOver());
}

TEST_F(RowsetTest, AFailedFetchOfTheFirstRowReleasesItAtOnce) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    FakeRowset* rows = open(threeRows(), accessor, rowset);
    instrumentation_.failCall("IRowset::GetData", E_FAIL);
    EXPECT_EQ(E_FAIL, rowset.moveToFirstRow());
    EXPECT_EQ(0u, rowsHeld());
    EXPECT_EQ(0u, rows->outstandingRows());
    EXPECT_EQ("IRowset::ReleaseRows(1,[1])", instrumentation_.journal().back());
    closeAll(accessor, rowset);
}

TEST_F(RowsetTest, ASlotThatIsNotFetchedDoesNotStopTheOnesAfterIt) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    FakeRowset* rows = open(threeRows(), accessor, rowset);
    ASSERT_NO_FATAL_FAILURE(twoSlotsOverTheFirstColumn(rows, accessor, rowset, false, true));
    ASSERT_EQ(S_OK, rowset.moveToFirstRow());
    EXPECT_EQ(Journal{"IRowset::GetData(1,3)"}, instrumentation_.journalMatching("GetData"));
    EXPECT_EQ(WString(TARVEL_UTF16("one")), current(accessor));
    closeAll(accessor, rowset);
}

TEST_F(RowsetTest, FailedRestartReturnsItsCodeHoldingNoRow) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    open(threeRows(), accessor, rowset);
    ASSERT_EQ(S_OK, rowset.moveToFirstRow());
    instrumentation_.failCall("IRowset::RestartPosition", DB_E_CANTSCROLLBACKWARDS);
    EXPECT_EQ(DB_E_CANTSCROLLBACKWARDS, rowset.moveToFirstRow());
    EXPECT_EQ(0u, rowsHeld());
    closeAll(accessor, rowset);
}

TEST_F(RowsetTest, PositiveRestartCodeGoesOnToTheFirstRow) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    open(threeRows(), accessor, rowset);
    instrumentation_.failCall("IRowset::RestartPosition", DB_S_ERRORSOCCURRED);
    EXPECT_EQ(S_OK, rowset.moveToFirstRow());
    EXPECT_EQ(WString(TARVEL_UTF16("one")), current(accessor));
    closeAll(accessor, rowset);
}

TEST_F(RowsetTest, CodesOtherThanSuccessFromGetNextRowsArePassedOnWithoutAFetch) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    open(threeRows(), accessor, rowset);
    instrumentation_.failCall("IRowset::GetNextRows", DB_S_ROWLIMITEXCEEDED);
    EXPECT_EQ(DB_S_ROWLIMITEXCEEDED, rowset.moveToFirstRow());
    instrumentation_.failCall("IRowset::GetNextRows", E_OUTOFMEMORY);
    EXPECT_EQ(E_OUTOFMEMORY, rowset.moveToFirstRow());
    EXPECT_TRUE(instrumentation_.journalMatching("GetData").empty());
    closeAll(accessor, rowset);
}

TEST_F(RowsetTest, FailingReleaseRowsStillClearsTheRow) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    open(threeRows(), accessor, rowset);
    ASSERT_EQ(S_OK, rowset.moveToFirstRow());
    instrumentation_.failCall("IRowset::ReleaseRows", E_FAIL);
    EXPECT_EQ(S_OK, rowset.moveToNextRow());
    EXPECT_EQ(WString(TARVEL_UTF16("two")), current(accessor));
    closeAll(accessor, rowset);
}

TEST_F(RowsetTest, CloseReleasesRowValuesRowRowsetAndChangeInOrderOnce) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    Table table{{column(1, DBTYPE_BSTR, 8)}};
    table.rows = {{Cell::ofText(TARVEL_UTF16("held"))}};
    open(table, accessor, rowset);
    ASSERT_EQ(S_OK, rowset.moveToFirstRow());
    accessor.releaseAccessorHandles(rowset.rows());
    instrumentation_.clearJournal();
    rowset.close();
    EXPECT_EQ(
        (Journal{"IRowset::ReleaseRows(1,[1])", "IRowset::Release", "IRowsetChange::Release"}),
        releasesOf(instrumentation_.journal()));
    EXPECT_FALSE(rowset.isOpen());
    EXPECT_EQ(0, opened_->references()) << "IRowset and IRowsetChange are both released";
    BSTR left = nullptr;
    std::memcpy(&left, accessor.getValue(1), sizeof left);
    EXPECT_EQ(nullptr, left) << "the row's values go before the row";
    instrumentation_.clearJournal();
    rowset.close();
    EXPECT_EQ(Journal{}, instrumentation_.journal());
    accessor.clearColumns();
}

TEST_F(RowsetTest, CloseWithoutRowsetTouchesNothing) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    rowset.close();
    EXPECT_EQ(Journal{}, instrumentation_.journal());
}

TEST_F(RowsetTest, AnOwnedAccessorThatTheMovesUseIsNotReachedAfterItIsGone) {
    DynamicAccessor unused(BlobHandling::Default, 8000);
    Rowset rowset(&unused);
    // Strings the row's values own, which the close must free through the owned accessor.
    Table table{{column(1, DBTYPE_BSTR, 8)}};
    table.rows = {{Cell::ofText(TARVEL_UTF16("held"))}};
    FakeRowset* rows = open(table, unused, rowset);
    auto owned = std::make_unique<DynamicAccessor>(BlobHandling::Default, 8000);
    ASSERT_EQ(S_OK, owned->bindColumns(rowset.rows()));
    RowsetPeer::ownAccessor(rowset, std::move(owned), true);
    ASSERT_EQ(S_OK, rowset.moveToFirstRow());
    unused.releaseAccessorHandles(rowset.rows());
    unused.clearColumns();
    instrumentation_.clearJournal();
    // The close frees the accessor the moves use, and reaches it no more after that (the
    // sanitizers see any use of the freed accessor).
    rowset.close();
    EXPECT_EQ(
        (Journal{"IAccessor::ReleaseAccessor(2)", "IAccessor::Release",
                 "IRowset::ReleaseRows(1,[1])", "IRowset::Release", "IRowsetChange::Release"}),
        releasesOf(instrumentation_.journal()));
    EXPECT_EQ(0u, rows->outstandingAccessors());
    rowset.close();
}

TEST_F(RowsetTest, OwnedAccessorIsClosedWithTheRowset) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    FakeRowset* rows = open(threeRows(), accessor, rowset);
    auto owned = std::make_unique<DynamicAccessor>(BlobHandling::Default, 8000);
    ASSERT_EQ(S_OK, owned->bindColumns(rowset.rows()));
    RowsetPeer::ownAccessor(rowset, std::move(owned), false);
    EXPECT_EQ(2u, rows->outstandingAccessors());
    closeAll(accessor, rowset);
    EXPECT_EQ(0u, rows->outstandingAccessors()) << "the owned accessor is closed too";
}

}  // namespace
}  // namespace tarvel
