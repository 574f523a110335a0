// The stand-in objects hold their callers to COM's rules: a call on an object whose last
// reference is gone is recorded and refused, even though a test keeps the object alive.
#include <gtest/gtest.h>

#include "rowset.h"
#include "rowset_fixture.h"
#include "table_helpers.h"
#include "table_rowset.h"

namespace tarvel {
namespace {

using namespace tarvel::testing;
using service::FakeRowset;
using service::TableRowset;

// The fields of a rowset record, and the steps of Rowset::close over them with the last ones
// the wrong way round: the interfaces go first, and the row is then released through the
// interface just let go.
struct RowsetFields {
    ComPtr<IRowset> rowsetInterface;
    ComPtr<IRowsetChange> changeInterface;
    HROW currentRow = 0;
};

void closeReleasingTheRowLast(RowsetFields& rowset) {
    IRowset* rows = rowset.rowsetInterface.detach();
    rows->Release();
    rowset.changeInterface.reset();
    HROW row = rowset.currentRow;
    rowset.currentRow = 0;
    rows->ReleaseRows(1, &row, nullptr, nullptr, nullptr);
}

class ReleasedObjectTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
    void TearDown() override { CoUninitialize(); }

    // A rowset of one row that only the caller references, once it has taken its references.
    IRowset* makeRowset() {
        Table table{{column(1, DBTYPE_WSTR, 20)}};
        table.rows = {{Cell::ofText(TARVEL_UTF16("one"))}};
        rowset_ =
            TableRowset::create<FakeRowset>(&instrumentation_, service::serve(table), &quirks_);
        return rowset_->as<IRowset>();
    }
    // A Rowset record holding the first row.
    void open(Rowset& rowset) {
        IRowset* rows = makeRowset();
        rowset.attach(heldRowset(rows));
        rows->Release();
        ASSERT_EQ(S_OK, rowset.moveToFirstRow());
    }
    // The same, in the fields of the planted copy.
    void open(RowsetFields& rowset) {
        IRowset* rows = makeRowset();
        query(rows, rowset.rowsetInterface);
        query(rows, rowset.changeInterface);
        rows->Release();
        HROW* handles = &rowset.currentRow;
        DBCOUNTITEM obtained = 0;
        ASSERT_EQ(S_OK, rowset.rowsetInterface->GetNextRows(0, 0, 1, &obtained, &handles));
    }

    Instrumentation instrumentation_;
    Quirks quirks_;
    FakeRowset* rowset_ = nullptr;
};

TEST_F(ReleasedObjectTest, TheRowsetsOwnCloseMakesNoCallOnAReleasedObject) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    open(rowset);
    EXPECT_EQ(1u, rowset_->outstandingRows());
    rowset.close();
    EXPECT_EQ(Journal{}, instrumentation_.errors());
    EXPECT_EQ(0u, rowset_->outstandingRows());
    EXPECT_EQ(0, rowset_->references());
}

TEST_F(ReleasedObjectTest, ACallThroughAReleasedInterfaceIsRecordedAndRefused) {
    RowsetFields rowset;
    open(rowset);
    closeReleasingTheRowLast(rowset);
    EXPECT_EQ(Journal{"call on released IRowset: IRowset::ReleaseRows"}, instrumentation_.errors());
}

TEST_F(ReleasedObjectTest, AReleasedObjectIsNotBroughtBackByAddRefOrQueryInterface) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    open(rowset);
    IRowset* rows = rowset.rows();
    rowset.close();
    EXPECT_EQ(0u, rows->AddRef());
    IUnknown* again = reinterpret_cast<IUnknown*>(0x1);
    EXPECT_EQ(E_UNEXPECTED, rows->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&again)));
    EXPECT_EQ(nullptr, again);
    EXPECT_EQ(0, rowset_->references());
    EXPECT_EQ((Journal{"call on released IRowset: IRowset::AddRef",
                       "call on released IRowset: IRowset::QueryInterface"}),
              instrumentation_.errors());
}

}  // namespace
}  // namespace tarvel
