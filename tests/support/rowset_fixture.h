// A test fixture with a scripted rowset: builds tables, fetches rows by hand, and checks after
// every test that nothing leaked: no object reference, row, accessor, chapter, task-allocator
// block, BSTR or module block is left, and nothing was freed twice.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dynamic_accessor.h"
#include "fake_provider.h"
#include "memory_ledger.h"
#include "module_allocator_probe.h"
#include "peers.h"
#include "table_helpers.h"

namespace tarvel::testing {

using service::FakeRowset;
using service::MemoryLedger;
using service::TableRowset;

// A reference of its own on rows, for a Rowset record to take as an execution's result.
inline ComPtr<IRowset> heldRowset(IRowset* rows) {
    ComPtr<IRowset> held;
    query(rows, held);
    return held;
}

class RowsetFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        moduleBlocks_ = ModuleAllocatorProbe::liveBlocks();
        ASSERT_TRUE(ledger_.watching());
    }

    void TearDown() override {
        ModuleAllocatorProbe::failAllocation(0);
        for (FakeRowset* rowset : rowsets_) {
            EXPECT_EQ(0u, rowset->outstandingRows()) << "rows still held";
            EXPECT_EQ(0u, rowset->outstandingAccessors()) << "accessors still held";
            EXPECT_EQ(0u, rowset->outstandingChapters()) << "chapters still held";
        }
        EXPECT_EQ(Journal{}, instrumentation_.liveObjects());
        EXPECT_EQ(Journal{}, instrumentation_.errors());
        EXPECT_EQ(Journal{}, ledger_.unfreed());
        EXPECT_EQ(Journal{}, ledger_.freedTwice());
        EXPECT_EQ(moduleBlocks_, ModuleAllocatorProbe::liveBlocks()) << "module blocks leaked";
        CoUninitialize();
    }

    // A rowset over the table, misbehaving as quirks_ says, holding one reference that the
    // fixture's release() drops.
    FakeRowset* makeRowset(Table table) {
        FakeRowset* rowset = TableRowset::create<FakeRowset>(
            &instrumentation_, service::serve(std::move(table)), &quirks_);
        rowsets_.push_back(rowset);
        return rowset;
    }
    static IRowset* rowsetOf(TableRowset* rowset) { return rowset->as<IRowset>(); }

    // Fetches the next row into the accessor's buffer and returns its handle (0 at the end).
    HROW fetch(TableRowset* rowset, DynamicAccessor& accessor, HRESULT* result = nullptr) {
        HROW row = 0;
        HROW* rows = &row;
        DBCOUNTITEM obtained = 0;
        HRESULT hr = rowsetOf(rowset)->GetNextRows(0, 0, 1, &obtained, &rows);
        if (hr == S_OK) {
            hr = rowsetOf(rowset)->GetData(row,
                                           DynamicAccessorPeer::accessorSlots(accessor)[0].handle,
                                           DynamicAccessorPeer::rowBuffer(accessor));
        }
        if (result != nullptr) {
            *result = hr;
        }
        return row;
    }
    void releaseRow(TableRowset* rowset, HROW row) {
        if (row != 0) {
            rowsetOf(rowset)->ReleaseRows(1, &row, nullptr, nullptr, nullptr);
        }
    }
    // Everything an accessor holds, released as closing a command's results does.
    static void close(DynamicAccessor& accessor, TableRowset* rowset) {
        accessor.releaseRowValues(rowsetOf(rowset));
        accessor.releaseAccessorHandles(rowsetOf(rowset));
        accessor.clearColumns();
    }
    static void release(TableRowset* rowset) { rowsetOf(rowset)->Release(); }

    MemoryLedger ledger_;
    Instrumentation instrumentation_;
    Quirks quirks_;
    std::vector<FakeRowset*> rowsets_;
    // The rowset a test opened last.
    FakeRowset* opened_ = nullptr;
    long moduleBlocks_ = 0;
};

}  // namespace tarvel::testing
