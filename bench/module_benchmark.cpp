// The module's cost per row through ModuleEntry against the bare minimum over the same
// provider, heap calls and peak heap per search, the binding pass against column count, and
// whole searches from several host threads at once.
#include <benchmark/benchmark.h>

#include "bench_world.h"
#include "dynamic_accessor.h"
#include "thread_world.h"

namespace tarvel::bench {
namespace {

void countRows(benchmark::State& state, size_t rows, long long allocations, long long peak) {
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(rows));
    state.counters["ns_per_row"] =
        benchmark::Counter(double(state.iterations()) * double(rows),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["allocations"] = double(allocations);
    state.counters["peak_heap_bytes"] = double(peak);
}

// Runs one search per iteration through read, which returns the lines the host got.
template <class Read>
void measureRows(benchmark::State& state, Read read) {
    const size_t rows = size_t(state.range(0));
    BenchWorld world;
    long long allocations = 0;
    long long peak = 0;
    for (auto _ : state) {
        resetHeapPeak();
        const HeapCounters before = heapCounters();
        const size_t lines = read(world, rows);
        const HeapCounters after = heapCounters();
        allocations = after.allocations - before.allocations;
        peak = after.peakBytes - before.bytesInUse;
        if (lines != rows) {
            state.SkipWithError("lines missing");
        }
    }
    countRows(state, rows, allocations, peak);
}

void ModuleSearch(benchmark::State& state) {
    measureRows(state,
                [](BenchWorld& world, size_t rows) { return world.searchThroughModule(rows); });
}

void BareLoop(benchmark::State& state) {
    measureRows(state, [](BenchWorld& world, size_t rows) { return world.bareLoop(rows); });
}

void BindColumns(benchmark::State& state) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const size_t columns = size_t(state.range(0));
    // Small columns, so that the row buffer's size stays in the cache's range.
    BenchRowset* rowset = BenchRowset::create(1, columns, 16);
    for (auto _ : state) {
        DynamicAccessor accessor(BlobHandling::Default, 8000);
        if (FAILED(accessor.bindColumns(static_cast<IRowset*>(rowset)))) {
            state.SkipWithError("binding failed");
        }
        accessor.releaseAccessorHandles(rowset);
        accessor.clearColumns();
    }
    rowset->Release();
    state.SetComplexityN(int64_t(columns));
    CoUninitialize();
}

// Whole searches over the stand-in service (a folder of 200 files, 20 of them found), each
// host thread in its own apartment: searches per second across all threads.
void SearchesAcrossThreads(benchmark::State& state) {
    static SharedSearchService shared(200);
    SharedSearchService::Thread thread(shared);
    for (auto _ : state) {
        if (thread.search() != shared.expectedLines()) {
            state.SkipWithError("lines missing");
            break;
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}

BENCHMARK(SearchesAcrossThreads)->Threads(1)->Threads(2)->Threads(4)->UseRealTime();

BENCHMARK(ModuleSearch)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BareLoop)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(
    benchmark::kMillisecond);
BENCHMARK(BindColumns)->RangeMultiplier(10)->Range(1, 10000)->Complexity(benchmark::oN);

}  // namespace
}  // namespace tarvel::bench

BENCHMARK_MAIN();
