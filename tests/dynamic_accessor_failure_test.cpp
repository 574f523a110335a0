// Every way the binding pass can fail, the state it leaves, and that releasing that state
// afterwards leaks nothing and frees nothing twice.
#include "peers.h"
#include "rowset_fixture.h"
#include "search_run.h"

namespace tarvel {
namespace {

using namespace tarvel::testing;

class BindingFailureTest : public RowsetFixture {
protected:
    // Allocations of a successful pass over threeColumns(): 1 binding array, 2 column flags,
    // 3 DBOBJECT of column 0, 4 DBOBJECT of column 2, 5 slot array, 6 row buffer.
    static Table threeColumns() {
        return Table{{column(1, DBTYPE_IUNKNOWN, 8), column(2, DBTYPE_WSTR, 50),
                      column(3, DBTYPE_BYTES, 9000)}};
    }

    HRESULT bindFailingAllocation(DynamicAccessor& accessor, FakeRowset* rowset, long n) {
        ModuleAllocatorProbe::failAllocation(n);
        const HRESULT hr = accessor.bindColumns(rowsetOf(rowset));
        ModuleAllocatorProbe::failAllocation(0);
        return hr;
    }

    static void expectReported(const DynamicAccessor& accessor, DBORDINAL index,
                               const TableColumn& reported) {
        EXPECT_EQ(reported.type, accessor.typeAt(index)) << index;
        EXPECT_EQ(reported.size, accessor.valueSizeAt(index)) << index;
        EXPECT_EQ(0u, accessor.valueOffset(index)) << index;
    }
};

TEST_F(BindingFailureTest, ASuccessfulPassMakesSixAllocations) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = makeRowset(threeColumns());
    const long before = ModuleAllocatorProbe::allocationCount();
    ASSERT_EQ(S_OK, accessor.bindColumns(rowsetOf(rowset)));
    EXPECT_EQ(6, ModuleAllocatorProbe::allocationCount() - before);
    close(accessor, rowset);
    release(rowset);
}

TEST_F(BindingFailureTest, NullRowsetChangesNothing) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    EXPECT_EQ(E_FAIL, accessor.bindColumns(nullptr));
    EXPECT_EQ(0u, accessor.getColumnCount());
    EXPECT_EQ(nullptr, DynamicAccessorPeer::accessorSlots(accessor));
}

TEST_F(BindingFailureTest, RowsetWithoutAccessorInterfaceChangesNothing) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = makeRowset(threeColumns());
    instrumentation_.withhold(IID_IAccessor);
    EXPECT_EQ(E_NOINTERFACE, accessor.bindColumns(rowsetOf(rowset)));
    EXPECT_EQ(0u, accessor.getColumnCount());
    EXPECT_TRUE(instrumentation_.journalMatching("GetColumnInfo").empty());
    release(rowset);
}

TEST_F(BindingFailureTest, FailedColumnQueriesLeaveOnlyWhatTheProviderGave) {
    for (const char* failing :
         {"IRowset::QueryInterface(IColumnsInfo)", "IColumnsInfo::GetColumnInfo"}) {
        DynamicAccessor accessor(BlobHandling::Default, 8000);
        FakeRowset* rowset = makeRowset(threeColumns());
        instrumentation_.failCall(failing, E_UNEXPECTED);
        EXPECT_EQ(E_UNEXPECTED, accessor.bindColumns(rowsetOf(rowset))) << failing;
        EXPECT_EQ(0u, accessor.getColumnCount());
        EXPECT_EQ(nullptr, DynamicAccessorPeer::columnFlags(accessor));
        EXPECT_EQ(nullptr, DynamicAccessorPeer::accessorSlots(accessor));
        close(accessor, rowset);
        release(rowset);
    }
}

TEST_F(BindingFailureTest, BindingArrayAllocation) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = makeRowset(threeColumns());
    EXPECT_EQ(E_OUTOFMEMORY, bindFailingAllocation(accessor, rowset, 1));
    ASSERT_EQ(3u, accessor.getColumnCount());
    for (DBORDINAL i = 0; i < 3; ++i) {
        expectReported(accessor, i, threeColumns().columns[i]);
    }
    EXPECT_EQ(nullptr, DynamicAccessorPeer::columnFlags(accessor));
    EXPECT_EQ(nullptr, DynamicAccessorPeer::accessorSlots(accessor));
    EXPECT_EQ(nullptr, DynamicAccessorPeer::rowBuffer(accessor));
    close(accessor, rowset);
    EXPECT_EQ(0u, accessor.getColumnCount());
    release(rowset);
}

TEST_F(BindingFailureTest, ColumnFlagsAllocation) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = makeRowset(threeColumns());
    EXPECT_EQ(E_OUTOFMEMORY, bindFailingAllocation(accessor, rowset, 2));
    EXPECT_EQ(nullptr, DynamicAccessorPeer::columnFlags(accessor));
    EXPECT_EQ(nullptr, DynamicAccessorPeer::accessorSlots(accessor));
    expectReported(accessor, 0, threeColumns().columns[0]);
    close(accessor, rowset);
    release(rowset);
}

TEST_F(BindingFailureTest, ObjectDescriptionAllocationAtALaterColumn) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = makeRowset(threeColumns());
    EXPECT_EQ(E_OUTOFMEMORY, bindFailingAllocation(accessor, rowset, 4));
    // Columns before the failing one are rewritten, the failing one and later ones are not.
    EXPECT_EQ(DBTYPE_IUNKNOWN, accessor.typeAt(0));
    EXPECT_EQ(8u, accessor.valueSizeAt(0));
    EXPECT_EQ(102u, accessor.valueSizeAt(1));
    EXPECT_EQ(20u, accessor.valueOffset(1));
    expectReported(accessor, 2, threeColumns().columns[2]);
    EXPECT_EQ(nullptr, DynamicAccessorPeer::columnFlags(accessor));
    EXPECT_EQ(nullptr, DynamicAccessorPeer::accessorSlots(accessor));
    EXPECT_EQ(nullptr, DynamicAccessorPeer::rowBuffer(accessor));
    EXPECT_TRUE(instrumentation_.journalMatching("CreateAccessor").empty());
    close(accessor, rowset);
    release(rowset);
}

TEST_F(BindingFailureTest, ObjectDescriptionAllocationAtTheFirstColumn) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = makeRowset(threeColumns());
    EXPECT_EQ(E_OUTOFMEMORY, bindFailingAllocation(accessor, rowset, 3));
    expectReported(accessor, 0, threeColumns().columns[0]);
    EXPECT_EQ(nullptr, DynamicAccessorPeer::columnFlags(accessor));
    close(accessor, rowset);
    release(rowset);
}

TEST_F(BindingFailureTest, SlotArrayAllocation) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = makeRowset(threeColumns());
    EXPECT_EQ(E_OUTOFMEMORY, bindFailingAllocation(accessor, rowset, 5));
    EXPECT_EQ(DBTYPE_IUNKNOWN, accessor.typeAt(2));
    EXPECT_EQ(nullptr, DynamicAccessorPeer::columnFlags(accessor));
    EXPECT_EQ(nullptr, DynamicAccessorPeer::accessorSlots(accessor));
    EXPECT_EQ(0u, DynamicAccessorPeer::accessorSlotCount(accessor));
    EXPECT_EQ(nullptr, DynamicAccessorPeer::rowBuffer(accessor));
    close(accessor, rowset);
    release(rowset);
}

TEST_F(BindingFailureTest, RowBufferAllocationLeavesOneEmptySlot) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = makeRowset(threeColumns());
    EXPECT_EQ(E_OUTOFMEMORY, bindFailingAllocation(accessor, rowset, 6));
    EXPECT_EQ(nullptr, DynamicAccessorPeer::columnFlags(accessor));
    EXPECT_EQ(nullptr, DynamicAccessorPeer::rowBuffer(accessor));
    ASSERT_EQ(1u, DynamicAccessorPeer::accessorSlotCount(accessor));
    EXPECT_EQ(0u, DynamicAccessorPeer::accessorSlots(accessor)[0].handle);
    EXPECT_TRUE(DynamicAccessorPeer::accessorSlots(accessor)[0].autoFetch);
    // Nothing was fetched into a buffer that does not exist; the release reads nothing, the
    // reads find nothing, and a line shows every column as unreadable.
    accessor.releaseRowValues(rowsetOf(rowset));
    DBSTATUS status = 77;
    EXPECT_FALSE(accessor.getStatus(2, &status));
    EXPECT_EQ(77u, status);
    EXPECT_EQ(nullptr, accessor.getValue(2));
    LineBuffer line;
    SearchRun::buildLine(accessor, line);
    EXPECT_EQ(WString(TARVEL_UTF16("(Error reading result)(Error reading result)"
                                   "(Error reading result)")),
              WString(line.text()));
    EXPECT_EQ(DB_E_BADACCESSORHANDLE, rowset->as<IAccessor>()->ReleaseAccessor(0, nullptr));
    close(accessor, rowset);
    EXPECT_EQ(nullptr, DynamicAccessorPeer::accessorSlots(accessor));
    release(rowset);
}

TEST_F(BindingFailureTest, ColumnsReportedWithoutDescriptionsAreUnexpected) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    Table table = threeColumns();
    quirks_.columnsWithoutInfo = true;
    FakeRowset* rowset = makeRowset(table);
    const long allocations = ModuleAllocatorProbe::allocationCount();
    EXPECT_EQ(E_UNEXPECTED, accessor.bindColumns(rowsetOf(rowset)));
    EXPECT_EQ(allocations, ModuleAllocatorProbe::allocationCount());
    EXPECT_EQ(3u, accessor.getColumnCount());
    EXPECT_EQ(nullptr, DynamicAccessorPeer::columnFlags(accessor));
    EXPECT_TRUE(instrumentation_.journalMatching("CreateAccessor").empty());
    DBORDINAL index = 9;
    EXPECT_FALSE(accessor.findColumn(1, &index));
    accessor.releaseRowValues(rowsetOf(rowset));
    close(accessor, rowset);
    EXPECT_EQ(0u, accessor.getColumnCount());
    release(rowset);
}

TEST_F(BindingFailureTest, CreateAccessorFailureKeepsSlotsAndBuffer) {
    DynamicAccessor accessor(BlobHandling::Default, 8000);
    FakeRowset* rowset = makeRowset(threeColumns());
    instrumentation_.failCall("IAccessor::CreateAccessor", DB_E_BADBINDINFO);
    EXPECT_EQ(DB_E_BADBINDINFO, accessor.bindColumns(rowsetOf(rowset)));
    EXPECT_EQ(nullptr, DynamicAccessorPeer::columnFlags(accessor));
    EXPECT_NE(nullptr, DynamicAccessorPeer::rowBuffer(accessor));
    ASSERT_EQ(1u, DynamicAccessorPeer::accessorSlotCount(accessor));
    EXPECT_EQ(0u, DynamicAccessorPeer::accessorSlots(accessor)[0].handle);
    close(accessor, rowset);
    release(rowset);
}

TEST_F(BindingFailureTest, ByteCountsThatOverflowFailAsAllocations) {
    DynamicAccessor accessor(BlobHandling::Default, ~DBLENGTH(0));
    FakeRowset* rowset = makeRowset(Table{
        {column(1, DBTYPE_WSTR, DBLENGTH(1) << 62), column(2, DBTYPE_BYTES, ~DBLENGTH(0) - 3)}});
    EXPECT_EQ(E_OUTOFMEMORY, accessor.bindColumns(rowsetOf(rowset)));
    EXPECT_EQ(nullptr, DynamicAccessorPeer::rowBuffer(accessor));
    EXPECT_EQ((DBLENGTH(1) << 63) + 2, accessor.valueSizeAt(0));
    close(accessor, rowset);
    release(rowset);
}

TEST(ModuleAllocatorTest, CountsInjectsFailuresAndRefusesOverflow) {
    const long live = ModuleAllocatorProbe::liveBlocks();
    void* block = ModuleAllocator::allocate(16);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(live + 1, ModuleAllocatorProbe::liveBlocks());
    ModuleAllocatorProbe::failAllocation(2);
    void* second = ModuleAllocator::allocate(16);
    EXPECT_NE(nullptr, second);
    EXPECT_EQ(nullptr, ModuleAllocator::allocate(16));
    void* fourth = ModuleAllocator::allocate(16);
    EXPECT_NE(nullptr, fourth) << "only one allocation fails";
    ModuleAllocatorProbe::failAllocation(0);
    EXPECT_EQ(nullptr, ModuleAllocator::allocateArray(~size_t(0) / 8 + 1, 16));
    EXPECT_EQ(nullptr, ModuleAllocator::allocate(~size_t(0)));
    void* empty = ModuleAllocator::allocate(0);
    EXPECT_NE(nullptr, empty);
    for (void* b : {block, second, fourth, empty}) {
        ModuleAllocator::release(b);
    }
    ModuleAllocator::release(nullptr);
    EXPECT_EQ(live, ModuleAllocatorProbe::liveBlocks());
    EXPECT_EQ(~size_t(0), addSaturating(~size_t(0) - 1, 2));
    EXPECT_EQ(16u, roundUpSaturating(9, 8));
    EXPECT_EQ(~size_t(0), roundUpSaturating(~size_t(0) - 2, 8));
}

TEST(ModuleAllocatorTest, ABlockHeldAgainFreesTheOneBeforeAndAResetFreesOnce) {
    const long live = ModuleAllocatorProbe::liveBlocks();
    {
        ModuleBlock<BYTE> block;
        ASSERT_TRUE(block.allocate(16));
        ASSERT_TRUE(block.allocate(32));
        EXPECT_EQ(live + 1, ModuleAllocatorProbe::liveBlocks()) << "the first block is freed";
        ModuleAllocatorProbe::failAllocation(1);
        EXPECT_FALSE(block.allocate(8));
        ModuleAllocatorProbe::failAllocation(0);
        EXPECT_FALSE(block) << "a failed allocation holds nothing";
        EXPECT_EQ(live, ModuleAllocatorProbe::liveBlocks());
        ASSERT_TRUE(block.allocate(8));
        block.reset();
        block.reset();
        EXPECT_EQ(live, ModuleAllocatorProbe::liveBlocks());
        ASSERT_TRUE(block.allocate(8));
    }
    EXPECT_EQ(live, ModuleAllocatorProbe::liveBlocks()) << "the holder frees its block as it ends";
}

}  // namespace
}  // namespace tarvel
