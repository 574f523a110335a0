#!/usr/bin/env python3
"""Runs tarvel-benchmarks (medians of repetitions) and tarvel-row-cost under callgrind, all in
one run, and writes docs/performance.md with docs/performance.png."""

import argparse
import datetime
import json
import os
import platform
import re
import subprocess
import tempfile

ROWS = [1000, 10000, 100000, 1000000]


def benchmarks(build, repetitions):
    out = tempfile.NamedTemporaryFile(suffix=".json", delete=False).name
    subprocess.run([os.path.join(build, "tarvel-benchmarks"),
                    "--benchmark_repetitions=%d" % repetitions,
                    "--benchmark_report_aggregates_only=true",
                    "--benchmark_out_format=json", "--benchmark_out=" + out],
                   check=True, stdout=subprocess.DEVNULL)
    with open(out) as f:
        data = json.load(f)
    os.unlink(out)
    medians = {}
    for entry in data["benchmarks"]:
        if entry.get("aggregate_name") == "median":
            medians[entry["run_name"]] = entry
    return data["context"], medians


def instructions(build, mode, rows, breakdown=None):
    """Total instructions of one run; with breakdown, the functions' shares too."""
    out = tempfile.NamedTemporaryFile(suffix=".cg", delete=False).name
    subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + out,
                    os.path.join(build, "tarvel-row-cost"), mode, str(rows)],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    total = None
    with open(out) as f:
        for line in f:
            match = re.match(r"(?:summary|totals):\s*(\d+)", line)
            if match:
                total = int(match.group(1))
    if breakdown is not None:
        annotated = subprocess.run(["callgrind_annotate", "--inclusive=no", out],
                                   check=True, capture_output=True, text=True).stdout
        for line in annotated.splitlines():
            match = re.match(r"\s*([\d,]+)\s+\([\s\d.]+%\)\s+[^:\s]+:(.+?)(?: \[[^\]]*\])?$",
                             line)
            if match:
                # The function's name without arguments, namespaces or clone marks; code
                # inlined from headers is counted with the function it was inlined into.
                name = match.group(2).replace("(anonymous namespace)::", "")
                name = re.sub(r"\(.*", "", name).lstrip(":")
                name = name.replace("tarvel::", "").replace("bench::", "")
                breakdown.append((int(match.group(1).replace(",", "")), name.strip()))
    os.unlink(out)
    return total


def plot(path, module, bare):
    data = path + ".dat"
    with open(data, "w") as f:
        for rows in ROWS:
            f.write("%d %f %f\n" % (rows, module[rows], bare[rows]))
    script = """
set terminal png size 800,480
set output '%s'
set title 'Cost per row against the number of rows (median of repetitions)'
set logscale x
set xlabel 'rows'
set ylabel 'ns per row'
set yrange [0:*]
set key top right
set grid
plot '%s' using 1:2 with linespoints title 'module through ModuleEntry', \\
     '%s' using 1:3 with linespoints title 'bare loop'
""" % (path, data, data)
    subprocess.run(["gnuplot"], input=script.encode(), check=True)
    os.unlink(data)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--before", metavar="BUILD",
                        help="a linux build of an earlier revision (its tarvel-row-cost is "
                        "counted too, for a breakdown before and after)")
    parser.add_argument("--before-label", default="before",
                        help="what the earlier revision is called in the report")
    args = parser.parse_args()

    context, medians = benchmarks(args.build, args.repetitions)
    module_ns = {n: medians["ModuleSearch/%d" % n]["ns_per_row"] * 1e9 for n in ROWS}
    bare_ns = {n: medians["BareLoop/%d" % n]["ns_per_row"] * 1e9 for n in ROWS}
    allocations = {n: medians["ModuleSearch/%d" % n]["allocations"] for n in ROWS}
    bare_allocations = {n: medians["BareLoop/%d" % n]["allocations"] for n in ROWS}
    peak = {n: medians["ModuleSearch/%d" % n]["peak_heap_bytes"] for n in ROWS}
    bind = [(int(name.split("/")[1]), entry["real_time"]) for name, entry in medians.items()
            if re.match(r"BindColumns/\d+$", name)]
    bind.sort()

    small, large = ROWS[0], ROWS[-1]
    breakdown = {"module": [], "bare": []}
    ir = {(mode, n): instructions(args.build, mode, n, breakdown[mode] if n == large else None)
          for mode in ("module", "bare") for n in (small, large)}
    per_row = {mode: (ir[(mode, large)] - ir[(mode, small)]) / (large - small)
               for mode in ("module", "bare")}
    ratio = per_row["module"] / per_row["bare"]
    if args.before:
        breakdown["before"] = []
        ir[("before", small)] = instructions(args.before, "module", small)
        ir[("before", large)] = instructions(args.before, "module", large, breakdown["before"])
        per_row["before"] = (ir[("before", large)] - ir[("before", small)]) / (large - small)
    allocations_per_row = (allocations[large] - allocations[small]) / (large - small)
    peak_growth = peak[large] - peak[small]

    os.makedirs(args.out, exist_ok=True)
    plot(os.path.join(args.out, "performance.png"), module_ns, bare_ns)

    lines = []
    add = lines.append
    add("# Performance")
    add("")
    add("Measured in one run by `bench/run_benchmarks.sh` on %s (%s, %s CPUs, %s), linux "
        "preset (g++, -O2). Times are medians of %d repetitions; instruction counts come from "
        "callgrind and do not depend on the machine's load." %
        (datetime.date.today().isoformat(), platform.machine(), context.get("num_cpus"),
         context.get("host_name", "host"), args.repetitions))
    add("")
    add("The provider is a lean in-memory rowset (bench/bench_rowset.cpp) serving N rows of "
        "one typical path of 66 UTF-16 units, allocating nothing per row. The module runs "
        "the whole search through `ModuleEntry` (query translation, data source, session, "
        "command, binding, row walk, teardown); the bare loop reads the same rowset with "
        "nothing but `GetNextRows(1)`, `GetData`, `ReleaseRows` and the host callback with "
        "the path. Both hosts copy each line, as the file manager must.")
    add("")
    add("## Targets")
    add("")
    add("| target | measured | met |")
    add("|---|---|---|")
    add("| module / bare loop, instructions per row at N = 1,000,000: at most 1.30 "
        "(the aim: 1.10) | %.0f / %.0f = **%.2f** | %s |" %
        (per_row["module"], per_row["bare"], ratio,
         "yes" if ratio <= 1.10 else "yes, short of the aim" if ratio <= 1.30 else "no"))
    add("| heap allocations per row in the row loop: 0 | %.6f (%d per search at every N) | %s |"
        % (allocations_per_row, allocations[small], "yes" if allocations_per_row == 0 else "no"))
    add("| peak heap growth from N = 1,000 to 1,000,000: under 64 KiB | %d bytes | %s |" %
        (peak_growth, "yes" if peak_growth < 65536 else "no"))
    add("")
    add("## Cost per row")
    add("")
    add("![cost per row](performance.png)")
    add("")
    add("| rows | module ns/row | bare loop ns/row | ratio | module allocations per search "
        "| bare loop allocations | module peak heap bytes |")
    add("|---|---|---|---|---|---|---|")
    for n in ROWS:
        add("| %d | %.1f | %.1f | %.2f | %d | %d | %d |" %
            (n, module_ns[n], bare_ns[n], module_ns[n] / bare_ns[n], allocations[n],
             bare_allocations[n], peak[n]))
    add("")
    add("Instructions (callgrind): module %d for %d rows and %d for %d rows; bare loop %d and %d."
        % (ir[("module", small)], small, ir[("module", large)], large, ir[("bare", small)],
           ir[("bare", large)]))
    add("")
    add("## Where the instructions of a row go")
    add("")
    add("Instructions per row by function at N = %d (callgrind, self cost divided by N; "
        "functions under 5 per row left out):" % large)
    add("")
    modes = ["before"] if args.before else []
    modes += ["module", "bare"]
    titles = {"before": "module, " + args.before_label, "module": "module", "bare": "bare loop"}
    add("| function | " + " | ".join(titles[mode] for mode in modes) + " |")
    add("|---" * (len(modes) + 1) + "|")
    per_function = {}
    for mode in modes:
        for count, name in breakdown[mode]:
            costs = per_function.setdefault(name, dict.fromkeys(modes, 0))
            costs[mode] += count / large
    for name, costs in sorted(per_function.items(),
                              key=lambda item: (-item[1]["module"], -max(item[1].values()))):
        if max(costs.values()) >= 5:
            add("| `%s` | " % name + " | ".join("%.0f" % costs[mode] for mode in modes) + " |")
    add("| all, per row (N = %d and N = %d apart) | " % (small, large) +
        " | ".join("%.0f" % per_row[mode] for mode in modes) + " |")
    add("")
    add("## What stands between the module and the bare loop")
    add("")
    add("The bare loop is the floor: a lean provider's three calls and the host copying the "
        "path. When a row's line is one text value terminated inside its field, the module "
        "hands the host that text where it lies in the row buffer, as the bare loop does, so "
        "no copy into the module's line buffer is left on that path. What remains per row is "
        "the row walk's own work: releasing the previous row before every move (the values' "
        "release pass returns at once when, as here, no bound column can own memory; that is "
        "decided once at binding), the fetch through the accessor's slots, the bookkeeping of "
        "the current row, and the reads of the text's status, length and terminator (where "
        "the column's fields lie is worked out once per search). Lines of several columns, "
        "or of a text not terminated inside its field, are still built in the line buffer. "
        "A real Windows Search provider runs out of process, "
        "so each of its calls costs far more than the whole difference per row.")
    add("")
    add("## Binding pass")
    add("")
    add("| columns | ns per pass | ns per column |")
    add("|---|---|---|")
    for columns, nanoseconds in bind:
        add("| %d | %.0f | %.1f |" % (columns, nanoseconds, nanoseconds / columns))
    add("")
    big_o = medians.get("BindColumns_BigO")
    if big_o:
        add("Google Benchmark fits O(N) with a coefficient of %.1f ns per column." %
            big_o["real_time"])
    with open(os.path.join(args.out, "performance.md"), "w") as f:
        f.write("\n".join(lines) + "\n")
    print("\n".join(lines))


if __name__ == "__main__":
    main()
