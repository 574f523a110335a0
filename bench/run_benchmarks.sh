#!/usr/bin/env bash
# Builds the linux preset, runs the benchmarks, the callgrind instruction counts and the main
# job beside find (over trees made once in build/bench-trees: 10,000, 100,000, 200,000 and
# 1,000,000 items, and one 20,000 folders deep) in one go, and writes docs/performance.md with
# docs/performance.png and
# docs/main-job.png (the plots need gnuplot, the peak memory GNU time: installed from Debian's
# gnuplot-nox and time when missing). With --before BUILD (a linux build of an earlier
# revision, e.g. from a git worktree) the instruction breakdown is shown before and after. The
# windows preset's tarvel-search-rate measures, under Wine, searches through the search manager
# in the host's process and in a process of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup --no-build linux windows
cmake --preset linux >/dev/null
cmake --build --preset linux >/dev/null
# The shipped DLL's compiler, natively, for its instructions per row; DWARF 4, which Debian 12's
# valgrind reads.
cmake -S . -B build/bench-clang -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_FLAGS=-gdwarf-4 \
    -DCMAKE_CXX_FLAGS=-gdwarf-4 -DTARVEL_BENCHMARKS=ON >/dev/null
cmake --build build/bench-clang --target tarvel-row-cost >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows --target tarvel-search-rate >/dev/null
missing=()
command -v gnuplot >/dev/null || missing+=(gnuplot-nox)
[ -x /usr/bin/time ] || missing+=(time)
if [ ${#missing[@]} -gt 0 ]; then
    as_root=()
    if [ "$(id -u)" -ne 0 ]; then
        as_root=(sudo)
    fi
    "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
exec python3 bench/report.py --build build/linux --clang build/bench-clang --windows build/windows \
    --out docs "$@"
