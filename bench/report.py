#!/usr/bin/env python3
"""Runs tarvel-benchmarks (medians of repetitions), tarvel-row-cost under callgrind and the main
job beside find (bench/main_job.py), all in one run, and writes docs/performance.md with
docs/performance.png and docs/main-job.png."""

import argparse
import datetime
import json
import os
import platform
import re
import subprocess
import tempfile

import main_job

ROWS = [1000, 10000, 100000, 1000000]
THREADS = [1, 2, 4]


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
            match = re.match(r"\s*([\d,]+)\s+\([\s\d.]+%\)\s+([^:\s]+):(.+?)(?: \[[^\]]*\])?$",
                             line)
            if match:
                # The function's name without arguments, namespaces or clone marks; code
                # inlined from one of the project's headers into it is counted apart, named
                # after the header, so that the steps of the row walk stay visible.
                name = match.group(3).replace("(anonymous namespace)::", "")
                name = re.sub(r"\(.*", "", name).lstrip(":")
                name = name.replace("tarvel::", "").replace("bench::", "").strip()
                source = match.group(2)
                if source.endswith(".h") and not source.startswith("/"):
                    name += " [%s]" % os.path.basename(source)
                breakdown.append((int(match.group(1).replace(",", "")), name))
    os.unlink(out)
    return total


def marshalling(windows_build):
    """Searches per second with the search manager in-process and out-of-process, under Wine."""
    runner = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "cmake",
                          "wine-run.sh")
    out = subprocess.run([runner, "tarvel-search-rate.exe"], cwd=windows_build, check=True,
                         capture_output=True, text=True,
                         env=dict(os.environ, TARVEL_WINEPREFIX=os.path.join(
                             os.path.abspath(windows_build), "wineprefix"))).stdout
    return json.loads(out.strip().splitlines()[-1])


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


def plot_main_job(path, results):
    data = path + ".dat"
    with open(data, "w") as f:
        for size in sorted(results):
            r = results[size]
            f.write("%d %f %f %f\n" % (r["items"], r["host_all_s"] * 1000, r["find_all_s"] * 1000,
                                       r["host_first_line_s"] * 1000))
    script = """
set terminal png size 800,480
set output '%s'
set title 'The main job against find (median of repetitions)'
set logscale xy
set xlabel 'items in the tree'
set ylabel 'ms'
set key top left
set grid
plot '%s' using 1:2 with linespoints title 'tarvel-host, every match', \\
     '%s' using 1:3 with linespoints title 'find -iname, every match', \\
     '%s' using 1:4 with linespoints title 'tarvel-host, first line'
""" % (path, data, data, data)
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
    parser.add_argument("--trees", default="build/bench-trees",
                        help="where the main job's trees are made once and kept")
    parser.add_argument("--sizes", type=int, nargs="+",
                        default=[10000, 100000, 200000, 1000000])
    parser.add_argument("--clang", metavar="BUILD",
                        help="a native build of the same sources with clang, the compiler of "
                        "the shipped DLL (its tarvel-row-cost is counted too)")
    parser.add_argument("--windows", metavar="BUILD",
                        help="the windows build, whose tarvel-search-rate runs under Wine")
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
    if args.clang:
        for mode in ("module", "bare"):
            ir[("clang " + mode, small)] = instructions(args.clang, mode, small)
            ir[("clang " + mode, large)] = instructions(args.clang, mode, large)
            per_row["clang " + mode] = (ir[("clang " + mode, large)] -
                                        ir[("clang " + mode, small)]) / (large - small)
    if args.before:
        breakdown["before"] = []
        ir[("before", small)] = instructions(args.before, "module", small)
        ir[("before", large)] = instructions(args.before, "module", large, breakdown["before"])
        per_row["before"] = (ir[("before", large)] - ir[("before", small)]) / (large - small)
    allocations_per_row = (allocations[large] - allocations[small]) / (large - small)
    peak_growth = peak[large] - peak[small]

    threads = {n: medians["SearchesAcrossThreads/real_time/threads:%d" % n]["items_per_second"]
               for n in THREADS}

    os.makedirs(args.trees, exist_ok=True)
    jobs = {}
    for size in args.sizes:
        tree = os.path.join(os.path.abspath(args.trees), "items-%d" % size)
        items = main_job.make_tree(tree, size)
        jobs[size] = main_job.measure(os.path.join(args.build, "tarvel-host"), tree,
                                      args.repetitions)
        jobs[size]["items"] = items
    deep = main_job.measure_deep(os.path.join(args.build, "tarvel-host"), args.trees,
                                 args.repetitions)
    smallest, largest = min(args.sizes), max(args.sizes)
    worst_every = max(jobs[n]["host_every_s"] / jobs[n]["find_every_s"] for n in args.sizes
                      if n >= 200000)
    slowest_every_first = max(jobs[n]["host_every_first_line_s"] for n in args.sizes)
    deep_memory = deep["host_peak_kib"] / deep["find_peak_kib"]
    slowest_first = max(jobs[n]["host_first_line_s"] for n in args.sizes)
    slowest_max20 = max(jobs[n]["host_max20_s"] for n in args.sizes)
    worst_find = max(jobs[n]["host_all_s"] / jobs[n]["find_all_s"] for n in args.sizes)
    memory_growth = jobs[largest]["host_peak_kib"] / jobs[smallest]["host_peak_kib"]

    os.makedirs(args.out, exist_ok=True)
    plot(os.path.join(args.out, "performance.png"), module_ns, bare_ns)
    plot_main_job(os.path.join(args.out, "main-job.png"), jobs)

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
    add("| the main job's first line, at every size: under 50 ms | at most %.1f ms | %s |" %
        (slowest_first * 1000, "yes" if slowest_first < 0.05 else "no"))
    add("| the main job with `--max 20`, at every size: under 50 ms | at most %.1f ms | %s |" %
        (slowest_max20 * 1000, "yes" if slowest_max20 < 0.05 else "no"))
    add("| every match, at every size: within 1.3 times `find` | at most %.2f times | %s |" %
        (worst_find, "yes" if worst_find <= 1.3 else "no"))
    add("| every item (`*`), at 200,000 items and more: within 1.3 times `find -iname '*'` | "
        "at most %.2f times | %s |" % (worst_every, "yes" if worst_every <= 1.3 else "no"))
    add("| every item (`*`), first line, at every size: under 50 ms | at most %.1f ms | %s |" %
        (slowest_every_first * 1000, "yes" if slowest_every_first < 0.05 else "no"))
    add("| a tree %d folders deep under %d open files: peak memory within 2 times `find`'s | "
        "%.2f times (%d KiB against %d KiB) | %s |" %
        (deep["levels"], deep["open_files"], deep_memory, deep["host_peak_kib"],
         deep["find_peak_kib"], "yes" if deep_memory <= 2 else "no"))
    add("| peak memory of the main job at %d items: within 2 times that at %d | %.2f times "
        "(%d KiB against %d KiB) | %s |" %
        (jobs[largest]["items"], jobs[smallest]["items"], memory_growth,
         jobs[largest]["host_peak_kib"], jobs[smallest]["host_peak_kib"],
         "yes" if memory_growth <= 2 else "no"))
    add("| module / bare loop, instructions per row at N = 1,000,000: at most 1.10 | "
        "%.0f / %.0f = **%.2f** | %s |" %
        (per_row["module"], per_row["bare"], ratio,
         "yes" if ratio <= 1.10 else "no: the breakdown below shows what remains"))
    if args.clang:
        clang_ratio = per_row["clang module"] / per_row["clang bare"]
        add("| the same with clang, the shipped DLL's compiler (a native build): at most 1.20 | "
            "%.0f / %.0f = **%.2f** | %s |" %
            (per_row["clang module"], per_row["clang bare"], clang_ratio,
             "yes" if clang_ratio <= 1.20 else "no"))
    add("| heap allocations per row in the row loop: 0 | %.6f (%d per search at every N) | %s |"
        % (allocations_per_row, allocations[small], "yes" if allocations_per_row == 0 else "no"))
    add("| peak heap growth from N = 1,000 to 1,000,000: under 64 KiB | %d bytes | %s |" %
        (peak_growth, "yes" if peak_growth < 65536 else "no"))
    add("")
    add("## The main job beside find")
    add("")
    add("`tarvel-host --index DIR report` (what `./scripts/search` runs) over generated trees, "
        "beside `find DIR -iname '*report*'` over the same tree, which lists the same items. "
        "A tree holds folders of 99 empty files, grouped 100 to a folder above them beyond 100 "
        "folders; one file name in twenty holds the word (%d matches at %d items). Every run "
        "reads a tree already in the page cache; output goes to /dev/null, the first line "
        "through a pipe (find's with `stdbuf -oL`, since find buffers a pipe), and peak "
        "resident memory is GNU time's. The stand-in walks the folder as the module fetches "
        "rows, so the first line follows the first match and `--max 20` ends the walk after "
        "twenty." % (jobs[largest]["matches"], jobs[largest]["items"]))
    add("")
    add("![main job](main-job.png)")
    add("")
    add("| items | matches | first line | `--max 20` | every match | find, every match | "
        "ratio | find, first line | peak memory | find, peak memory |")
    add("|---|---|---|---|---|---|---|---|---|---|")
    for size in args.sizes:
        r = jobs[size]
        add("| %d | %d | %.1f ms | %.1f ms | %.0f ms | %.0f ms | %.2f | %.1f ms | %d KiB | %d KiB |"
            % (r["items"], r["matches"], r["host_first_line_s"] * 1000,
               r["host_max20_s"] * 1000, r["host_all_s"] * 1000, r["find_all_s"] * 1000,
               r["host_all_s"] / r["find_all_s"], r["find_first_line_s"] * 1000,
               r["host_peak_kib"], r["find_peak_kib"]))
    add("")
    add("## Every item, and a deep tree")
    add("")
    add("`tarvel-host --index DIR '*'`, whose query matches every item (the tree's own folder "
        "too), beside `find DIR -iname '*'`, which lists the same items, over the same trees; "
        "output to /dev/null, the first line through a pipe. The host writes its first line at "
        "once and gathers the others in a buffer of 64 KiB, written when it is full, when the "
        "search ends and when a line has waited 20 ms.")
    add("")
    add("| items | first line | every item | find | ratio |")
    add("|---|---|---|---|---|")
    for size in args.sizes:
        r = jobs[size]
        add("| %d | %.1f ms | %.0f ms | %.0f ms | %.2f |" %
            (r["every_items"], r["host_every_first_line_s"] * 1000, r["host_every_s"] * 1000,
             r["find_every_s"] * 1000, r["host_every_s"] / r["find_every_s"]))
    add("")
    add("A tree of %d folders, each named `d` and each in the one before, with a file "
        "`mark-N.txt` at levels %s, searched for `mark-*` under `ulimit -n %d` beside `find "
        "DIR -iname 'mark-*'`; both find both files (the host's line for the deepest, whose "
        "path is longer than any Windows has, is the module's \"(Error reading result)\"). "
        "The stand-in's walk keeps one folder open whatever the depth." %
        (deep["levels"], " and ".join(str(m) for m in main_job.DEEP_MARKS),
         deep["open_files"]))
    add("")
    add("| | time | peak memory |")
    add("|---|---|---|")
    add("| tarvel-host | %.0f ms | %d KiB |" % (deep["host_s"] * 1000, deep["host_peak_kib"]))
    add("| find | %.0f ms | %d KiB |" % (deep["find_s"] * 1000, deep["find_peak_kib"]))
    add("")
    add("## Searches from several threads at once")
    add("")
    add("Whole searches through `ModuleEntry` over the stand-in service (a folder of 200 "
        "files, 20 found), each host thread in its own single-threaded apartment with the "
        "service's classes registered there, all through one service: searches per second "
        "across the threads, median of %d repetitions, on %s CPUs." %
        (args.repetitions, context.get("num_cpus")))
    add("")
    add("| threads | searches per second | against one thread |")
    add("|---|---|---|")
    for n in THREADS:
        add("| %d | %.0f | %.2f |" % (n, threads[n], threads[n] / threads[1]))
    add("")
    add("The module keeps no state shared between searches (no locks, no counters); what "
        "stops the rise beyond two threads is the machine's two CPUs.")
    add("")
    if args.windows:
        rates = marshalling(args.windows)
        add("## The search manager in another process")
        add("")
        add("Whole searches through `ModuleEntry` under Wine (tarvel-search-rate), 20 rows each "
            "from the in-process provider, one host thread: the stand-in's search manager "
            "registered in the host's process, beside the same search manager as the local "
            "server COM starts (tarvel-search-server.exe), every call of the translation "
            "marshalled through the generated proxies, as on Windows. Searches per second, "
            "median of 9 repetitions of half a second.")
        add("")
        add("| search manager | searches per second | time per search |")
        add("|---|---|---|")
        for where in ("in-process", "out-of-process"):
            add("| %s | %.0f | %.2f ms |" % (where, rates[where], 1000 / rates[where]))
        add("")
        add("A search makes about ten calls of the search manager, its catalog and its query "
            "helper, and the activation itself; each crosses into the server and back through "
            "Wine's RPC. The row walk is the same in both.")
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
        "hands the host that text where it lies in the row buffer, as the bare loop does. The "
        "move, the fetch through the accessor's slots and the release of the previous row are "
        "defined where the walk sees them, so the compiler makes them one loop with the walk; "
        "the file in brackets above says which step an instruction belongs to. What remains "
        "beyond the bare loop is the work the records do at every move: [rowset.h] the check "
        "that the previous row's values own nothing (decided once at binding), the release of "
        "the previous row with its check that one is held, the check for a provider that "
        "handed back a handle array of its own, and the move's result; [dynamic_accessor.h] "
        "the fetch through every slot set to fetch, reading the slot array and count at each "
        "move and each slot's flag, and reading DB_S_ERRORSOCCURRED and "
        "DB_E_ERRORSOCCURRED as a fetched row; [search_run.cpp] the checks of the text's "
        "status, length and terminator before it goes to the host. Reaching 1.10 would mean "
        "reading the slots once for a whole walk instead of at every move, or taking what the "
        "provider hands back unchecked: a walk that is no longer the records' walk. "
        "Link-time optimisation was tried: it saved 2 instructions per row natively, and "
        "MinGW-w64's linker plugin, which does not see the export file, left ModuleEntry's "
        "export in the DLL pointing at no code; it is not used. A real Windows Search "
        "provider runs out of process, so each of its calls costs far more than the whole "
        "difference per row.")
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
