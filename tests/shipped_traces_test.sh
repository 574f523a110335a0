#!/bin/sh
# Usage: shipped_traces_test.sh NM TEST_HOST SHIPPED...
# Fails if a file that ships (the module file, the runtime, tarvel-host) holds any trace of what
# only test builds contain: the stand-in's switches, the journal's call texts ("IRowset::GetData"),
# the module allocator's and the runtime's counters and failure hook, and whatever is named for
# tests alone (ForTesting). A Windows file's symbols are in the PDB beside it, which is searched
# too. TEST_HOST, which has them on purpose, shows that the search finds each kind where it is.
set -eu
nm=$1
test_host=$2
shift 2

switches='TARVEL_STANDIN_'
calls='I[A-Z][A-Za-z]+::[A-Za-z_]+'
symbols='TestSearchService|ModuleAllocatorProbe|failAllocation|allocationCount|liveBlocks|injectedFailure|ForTesting|Tarvel[A-Za-z]*Calls'

traces() {
    { strings -a "$1" | grep -E "$switches|$calls" || true; } | sort -u
    { "$nm" -C "$1" 2>/dev/null | grep -E "$symbols" || true; } | sort -u
    pdb=${1%.*}.pdb
    if [ -f "$pdb" ]; then
        { strings -a "$pdb" | grep -E "$symbols" || true; } | sort -u
    fi
}

status=0
seen=$(traces "$test_host")
for kind in "$switches" "$calls" TestSearchService ForTesting; do
    if ! printf '%s\n' "$seen" | grep -q -E "$kind"; then
        echo "FAIL: no $kind found in $test_host, which has it: the search is blind to it"
        status=1
    fi
done
for file in "$@"; do
    [ -f "$file" ] || { echo "FAIL: missing $file"; status=1; continue; }
    found=$(traces "$file")
    if [ -n "$found" ]; then
        echo "FAIL: $file holds what only tests may:"
        printf '%s\n' "$found" | sed 's/^/  /'
        status=1
    else
        echo "clean: $file"
    fi
done
exit $status
