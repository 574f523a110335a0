#!/usr/bin/env bash
# Builds the linux preset, runs the benchmarks and the callgrind instruction counts in one go,
# and writes docs/performance.md and docs/performance.png (the plot needs gnuplot, installed
# from Debian's gnuplot-nox when missing). With --before BUILD (a linux build of an earlier
# revision, e.g. from a git worktree) the instruction breakdown is shown before and after.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset linux >/dev/null
cmake --build --preset linux >/dev/null
if ! command -v gnuplot >/dev/null; then
    as_root=()
    if [ "$(id -u)" -ne 0 ]; then
        as_root=(sudo)
    fi
    "${as_root[@]}" apt-get install -y --no-install-recommends gnuplot-nox
fi
exec python3 bench/report.py --build build/linux --out docs "$@"
