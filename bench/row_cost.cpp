// One search, for instruction counts under callgrind: tarvel-row-cost module|bare ROWS.
// The cost of a row is the difference of two runs' totals divided by the difference of rows.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench_world.h"

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "module") != 0 && std::strcmp(argv[1], "bare") != 0)) {
        std::fprintf(stderr, "usage: tarvel-row-cost module|bare ROWS\n");
        return 2;
    }
    const size_t rows = std::strtoull(argv[2], nullptr, 10);
    tarvel::bench::BenchWorld world;
    const size_t lines = std::strcmp(argv[1], "module") == 0 ? world.searchThroughModule(rows)
                                                             : world.bareLoop(rows);
    std::printf("%zu lines\n", lines);
    return lines == rows ? 0 : 1;
}
