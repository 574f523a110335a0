// The stand-in objects hold their callers to COM's rules: a call on an object whose last
// reference is gone is recorded and refused, even though a test keeps the object alive.
#include <gtest/gtest.h>

#include "rowset.h"
#include "table_helpers.h"
#include "table_rowset.h"

namespace tarvel {
namespace {

using namespace tarvel::testing;
using service::TableRowset;

// Rowset::close with its last steps the wrong way round: the interfaces go first, and the row
// is then released through the interface just let go.
void closeReleasingTheRowLast(Rowset& rowset) {
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

    // A Rowset holding one row of a rowset that only it references.
    void open(Rowset& rowset) {
        Table table{{column(1, DBTYPE_WSTR, 20)}};
        table.rows = {{Cell::ofText(TARVEL_UTF16("one"))}};
        TableRowset* rows = TableRowset::create(&instrumentation_, std::make_shared<Table>(table));
        rows->as<IRowset>()->QueryInterface(IID_IRowset, rowset.rowsetInterface.putVoid());
        rows->as<IRowset>()->QueryInterface(IID_IRowsetChange, rowset.changeInterface.putVoid());
        rows->as<IRowset>()->Release();
        HROW* handles = &rowset.currentRow;
        DBCOUNTITEM obtained = 0;
        ASSERT_EQ(S_OK, rowset.rowsetInterface->GetNextRows(0, 0, 1, &obtained, &handles));
        rowset_ = rows;
    }

    Instrumentation instrumentation_;
    TableRowset* rowset_ = nullptr;
};

TEST_F(ReleasedObjectTest, TheRowsetsOwnCloseMakesNoCallOnAReleasedObject) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    open(rowset);
    rowset.close();
    EXPECT_EQ(Journal{}, instrumentation_.errors());
    EXPECT_EQ(0u, rowset_->outstandingRows());
    EXPECT_EQ(0, rowset_->references());
}

TEST_F(ReleasedObjectTest, ACallThroughAReleasedInterfaceIsRecordedAndRefused) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    open(rowset);
    closeReleasingTheRowLast(rowset);
    EXPECT_EQ(Journal{"call on released IRowset: IRowset::ReleaseRows"}, instrumentation_.errors());
}

TEST_F(ReleasedObjectTest, AReleasedObjectIsNotBroughtBackByAddRefOrQueryInterface) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Rowset rowset(&accessor);
    open(rowset);
    IRowset* rows = rowset.rowsetInterface.get();
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
