// Runs one whole search, counts every platform call the module makes and every block it
// allocates, then runs it again once per call with that call failing and once per allocation
// with that allocation failing. Each time: ModuleEntry returns 0, the lines delivered are
// exactly those whose callback came before the failure (all of them when the module ignores
// that call's result by design), and nothing is left: no reference, row, accessor, chapter,
// block or BSTR, and nothing freed twice.
#include <gtest/gtest.h>

#include <algorithm>

#include "search_world.h"

namespace tarvel {
namespace {

using namespace tarvel::testing;
using Lines = std::vector<WString>;

constexpr HRESULT kInjected = E_FAIL;

// Several columns, so that every kind of release in the walk is exercised: a path, a BSTR, a
// VARIANT, a long column bound as a stream, a number.
Table sweepTable() {
    Table table{{column(1, DBTYPE_WSTR, 260), column(2, DBTYPE_BSTR, 8),
                 column(3, DBTYPE_VARIANT, 24), column(4, DBTYPE_WSTR, 100000),
                 column(5, DBTYPE_I4, 4)}};
    table.properties = {{DBPROP_ISequentialStream, true}};
    for (int i = 0; i < 3; ++i) {
        const WString n(1, WCHAR(u'0' + i));
        table.rows.push_back({Cell::ofText(TARVEL_UTF16("C:\\file") + n),
                              Cell::ofText(TARVEL_UTF16("bstr") + n),
                              Cell::ofText(TARVEL_UTF16("variant") + n),
                              Cell::ofText(TARVEL_UTF16("stream") + n), integerCell(i)});
    }
    return table;
}

struct Outcome {
    int32_t result = -1;
    Lines lines;
    std::vector<long> callsBeforeLine;
    Journal journal;
    long calls = 0;
    long allocations = 0;
    Journal leftovers;
    std::string failed;  // the journal entry of the injected failure
};

Outcome search(long failCall, long failAllocation) {
    SearchWorld world;
    world.setTable(sweepTable());
    if (failCall != 0) {
        world.instrumentation.failNth(failCall, kInjected);
    }
    const long allocationsBefore = ModuleAllocatorProbe::allocationCount();
    ModuleAllocatorProbe::failAllocation(failAllocation);
    Outcome outcome;
    outcome.result = world.search();
    ModuleAllocatorProbe::failAllocation(0);
    outcome.allocations = ModuleAllocatorProbe::allocationCount() - allocationsBefore;
    outcome.lines = world.host.lines;
    outcome.callsBeforeLine = world.host.callsBeforeLine;
    outcome.journal = world.instrumentation.journal();
    outcome.calls = world.instrumentation.callCount();
    outcome.leftovers = world.leftovers();
    for (const std::string& entry : outcome.journal) {
        if (entry.find(" -> ") != std::string::npos) {
            outcome.failed = entry;
        }
    }
    return outcome;
}

// Calls whose failure the module ignores by design: the search goes on as if they succeeded.
bool resultIgnored(const std::string& entry) {
    for (const char* call :
         {"ISearchQueryHelper::put_", "IRowset::ReleaseRows", "IAccessor::ReleaseAccessor",
          "IRowset::QueryInterface(IRowsetChange)", "IRowset::QueryInterface(IRowsetInfo)",
          "IRowsetInfo::GetProperties"}) {
        if (entry.rfind(call, 0) == 0) {
            return true;
        }
    }
    return false;
}

// The query for IAccessor in the teardown: when it fails, the handle cannot be released and
// stays with the rowset, which lets it go when the rowset itself goes.
bool teardownAccessorQuery(const Outcome& outcome) {
    if (outcome.failed.rfind("IRowset::QueryInterface(IAccessor)", 0) != 0) {
        return false;
    }
    auto failed = std::find(outcome.journal.begin(), outcome.journal.end(), outcome.failed);
    return std::any_of(outcome.journal.begin(), failed, [](const std::string& entry) {
        return entry.rfind("IAccessor::CreateAccessor", 0) == 0;
    });
}

TEST(FaultSweep, EveryFailingCallAndAllocationLeavesNothingBehind) {
    const Outcome baseline = search(0, 0);
    ASSERT_EQ(0, baseline.result);
    ASSERT_EQ(3u, baseline.lines.size());
    EXPECT_EQ(WString(TARVEL_UTF16("C:\\file0bstr0variant0(Unhandled database type 13)"
                                   "(Unhandled database type 3)")),
              baseline.lines[0]);
    ASSERT_EQ(Journal{}, baseline.leftovers);
    ASSERT_GT(baseline.calls, 30);
    ASSERT_EQ(5, baseline.allocations);  // bindings, flags, one object, slots, buffer

    // The failures the module met: the n-th call it made failed, the a-th block it asked for
    // was refused.
    long failuresMet = 0;
    for (long n = 1; n <= baseline.calls; ++n) {
        const Outcome outcome = search(n, 0);
        SCOPED_TRACE("call " + std::to_string(n) + ": " + outcome.failed);
        failuresMet += outcome.failed.empty() ? 0 : 1;
        EXPECT_EQ(0, outcome.result);
        Lines expected;
        for (size_t k = 0; k < baseline.lines.size(); ++k) {
            if (resultIgnored(outcome.failed) || baseline.callsBeforeLine[k] < n) {
                expected.push_back(baseline.lines[k]);
            }
        }
        EXPECT_EQ(expected, outcome.lines);
        Journal tolerated;
        if (teardownAccessorQuery(outcome)) {
            tolerated.push_back("accessors held: 1");
        }
        EXPECT_EQ(tolerated, outcome.leftovers);
    }
    for (long a = 1; a <= baseline.allocations; ++a) {
        const Outcome outcome = search(0, a);
        SCOPED_TRACE("allocation " + std::to_string(a));
        EXPECT_EQ(0, outcome.result);
        EXPECT_EQ(Lines{}, outcome.lines);
        EXPECT_EQ(Journal{}, outcome.leftovers);
        failuresMet += outcome.allocations >= a ? 1 : 0;
    }
    std::printf("fault sweep: %ld failing calls and %ld failing allocations\n", baseline.calls,
                baseline.allocations);
    EXPECT_EQ(baseline.calls + baseline.allocations, failuresMet);
}

}  // namespace
}  // namespace tarvel
