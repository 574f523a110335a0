// What a measured search needs: the stand-in search manager and data-initialization service,
// a provider whose command yields a BenchRowset, and a host that copies every line as a file
// manager must. The bare loop reads the same rowset with nothing but GetNextRows, GetData,
// ReleaseRows and the host callback.
#pragma once

#include "bench_rowset.h"
#include "host_records.h"
#include "platform_support.h"
#include "provider.h"
#include "search_manager.h"

namespace tarvel::bench {

class BenchWorld {
public:
    BenchWorld();
    ~BenchWorld();
    BenchWorld(const BenchWorld&) = delete;
    BenchWorld& operator=(const BenchWorld&) = delete;

    // One search of rows rows through ModuleEntry; returns the lines the host got.
    size_t searchThroughModule(size_t rows);
    // The same rows read by hand.
    size_t bareLoop(size_t rows);

private:
    service::SearchServiceConfig searchConfig_;
    service::ProviderConfig providerConfig_;
    service::ClassRegistration registration_;
    platform::ProgIdRegistration progId_;
    size_t rows_ = 0;
};

// Heap calls made by the process since it started, and the most bytes it held at once since
// the last reset.
struct HeapCounters {
    long long allocations;
    long long bytesInUse;
    long long peakBytes;
};
HeapCounters heapCounters();
void resetHeapPeak();

}  // namespace tarvel::bench
