#!/usr/bin/env python3
"""The main job, `tarvel-host --index DIR QUERY`, over generated trees of 10,000, 100,000,
200,000 and 1,000,000 items, beside `find DIR -iname '*WORD*'` over the same tree, in one run:
the time to the first line, the time for `--max 20`, the time for every match, and the peak
resident memory; the query `*`, which matches every item, beside `find DIR`; and a tree 20,000
folders deep, searched under a limit of 256 open files, beside find. Medians of repetitions,
with the trees in the page cache (each is walked once before it is measured).

Usage: main_job.py --host HOST --trees DIR [--sizes N ...] [--repetitions R] [--json FILE]
The trees are made once under DIR and kept for later runs.
"""

import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

WORD = "report"
# One name in twenty holds the word: 5% of the files match.
WORDS = ["alpha", "budget", "cache", "draft", "entry", "final", "graph", "house", "index",
         "jolly", "kilo", "large", "minor", "north", "offer", "plain", "quiet", "rapid",
         "solid", WORD]
FILES_PER_FOLDER = 99
FOLDERS_PER_GROUP = 100


def make_tree(root, items):
    """About items items: leaf folders of 99 files, grouped 100 to a folder above them when
    there are more than 100 leaves. Returns the number of items made."""
    marker = os.path.join(root, ".complete")
    if os.path.exists(marker):
        with open(marker) as f:
            return int(f.read())
    leaves = max(1, items // (FILES_PER_FOLDER + 1))
    made = 0
    serial = 0
    for leaf in range(leaves):
        if leaves > FOLDERS_PER_GROUP:
            group = os.path.join(root, "g%03d" % (leaf // FOLDERS_PER_GROUP))
            if leaf % FOLDERS_PER_GROUP == 0:
                os.makedirs(group)
                made += 1
        else:
            group = root
        folder = os.path.join(group, "d%05d" % leaf)
        os.makedirs(folder)
        made += 1
        for _ in range(FILES_PER_FOLDER):
            name = "f%07d-%s.dat" % (serial, WORDS[serial % len(WORDS)])
            serial += 1
            os.close(os.open(os.path.join(folder, name), os.O_CREAT | os.O_WRONLY, 0o644))
            made += 1
    with open(marker, "w") as f:
        f.write(str(made))
    return made


DEEP_LEVELS = 20000
DEEP_MARKS = (300, DEEP_LEVELS)
OPEN_FILES = 256


def make_deep_tree(root):
    """DEEP_LEVELS folders named d, one in another, with a file mark-N.txt at the levels of
    DEEP_MARKS; made relative to the last folder, as no path this long can be given whole."""
    marker = os.path.join(root, ".complete")
    if os.path.exists(marker):
        return
    os.makedirs(root)
    folder = os.open(root, os.O_RDONLY)
    for level in range(1, DEEP_LEVELS + 1):
        os.mkdir("d", dir_fd=folder)
        inner = os.open("d", os.O_RDONLY, dir_fd=folder)
        os.close(folder)
        folder = inner
        if level in DEEP_MARKS:
            os.close(os.open("mark-%d.txt" % level, os.O_CREAT | os.O_WRONLY, dir_fd=folder))
    os.close(folder)
    open(marker, "w").close()


def few_open_files():
    import resource
    resource.setrlimit(resource.RLIMIT_NOFILE, (OPEN_FILES, OPEN_FILES))


def run_to_end(command, limited=False):
    """Seconds and peak resident kilobytes of a command whose output goes nowhere. GNU time
    starts it and reads its peak: a child of this Python would count Python's own pages."""
    with tempfile.NamedTemporaryFile("r") as peak, open(os.devnull, "wb") as null:
        start = time.perf_counter()
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", peak.name] + command, stdout=null,
                       stderr=subprocess.DEVNULL, check=True,
                       preexec_fn=few_open_files if limited else None)
        elapsed = time.perf_counter() - start
        return elapsed, int(peak.read().split()[-1])


def first_line(command):
    """Seconds until the command's first line arrives through a pipe; the command is then
    stopped."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    seen = b""
    while b"\n" not in seen:
        chunk = os.read(process.stdout.fileno(), 65536)
        if not chunk:
            break
        seen += chunk
    elapsed = time.perf_counter() - start
    process.kill()
    process.wait()
    process.stdout.close()
    if b"\n" not in seen:
        raise RuntimeError("%s printed no line" % command)
    return elapsed


def count_lines(command, limited=False):
    out = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                         check=True, preexec_fn=few_open_files if limited else None).stdout
    return out.count(b"\n")


def median_of(repetitions, measure):
    values = [measure() for _ in range(repetitions)]
    if isinstance(values[0], tuple):
        return tuple(statistics.median(v[i] for v in values) for i in range(len(values[0])))
    return statistics.median(values)


def measure(host, tree, repetitions):
    search = [host, "--index", tree, "--max", "-1", WORD]
    first20 = [host, "--index", tree, "--max", "20", WORD]
    find = ["find", tree, "-iname", "*%s*" % WORD]
    # Warm the cache, and check that both list the same matches.
    lines = count_lines(search)
    found = count_lines(find)
    if lines != found:
        raise RuntimeError("tarvel-host found %d lines, find %d" % (lines, found))
    result = {"matches": lines}
    result["host_first_line_s"] = median_of(repetitions, lambda: first_line(search))
    # find buffers its output in a pipe; line-buffered it shows when its first match is ready.
    result["find_first_line_s"] = median_of(repetitions,
                                            lambda: first_line(["stdbuf", "-oL"] + find))
    result["host_max20_s"] = median_of(repetitions, lambda: run_to_end(first20)[0])
    result["host_all_s"], result["host_peak_kib"] = median_of(
        repetitions, lambda: run_to_end(search))
    result["find_all_s"], result["find_peak_kib"] = median_of(repetitions,
                                                              lambda: run_to_end(find))
    # Every item: the tree's own name matches * as well, and find lists the tree too.
    every = [host, "--index", tree, "*"]
    find_every = ["find", tree, "-iname", "*"]
    result["every_items"] = count_lines(every)
    if result["every_items"] != count_lines(find_every):
        raise RuntimeError("tarvel-host and find list different numbers of items")
    result["host_every_first_line_s"] = median_of(repetitions, lambda: first_line(every))
    result["host_every_s"] = median_of(repetitions, lambda: run_to_end(every)[0])
    result["find_every_s"] = median_of(repetitions, lambda: run_to_end(find_every)[0])
    return result


def measure_deep(host, trees, repetitions):
    """The deep tree under OPEN_FILES open files: both find both marks (the host's line for the
    deepest, longer than any path Windows has, is the module's error line)."""
    tree = os.path.join(os.path.abspath(trees), "deep-%d" % DEEP_LEVELS)
    make_deep_tree(tree)
    search = [host, "--index", tree, "mark-*"]
    find = ["find", tree, "-iname", "mark-*"]
    for command in (search, find):
        if count_lines(command, limited=True) != len(DEEP_MARKS):
            raise RuntimeError("%s did not find every mark" % command[0])
    result = {"levels": DEEP_LEVELS, "open_files": OPEN_FILES}
    result["host_s"], result["host_peak_kib"] = median_of(
        repetitions, lambda: run_to_end(search, limited=True))
    result["find_s"], result["find_peak_kib"] = median_of(
        repetitions, lambda: run_to_end(find, limited=True))
    return result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", required=True)
    parser.add_argument("--trees", required=True)
    parser.add_argument("--sizes", type=int, nargs="+",
                        default=[10000, 100000, 200000, 1000000])
    parser.add_argument("--repetitions", type=int, default=3)
    parser.add_argument("--json")
    args = parser.parse_args()

    results = {}
    for size in args.sizes:
        tree = os.path.join(os.path.abspath(args.trees), "items-%d" % size)
        items = make_tree(tree, size)
        result = measure(args.host, tree, args.repetitions)
        result["items"] = items
        results[size] = result
        print("%d items: %s" % (items, json.dumps(result)), file=sys.stderr)
    results["deep"] = measure_deep(args.host, args.trees, args.repetitions)
    print("deep: %s" % json.dumps(results["deep"]), file=sys.stderr)
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=1)
    return results


if __name__ == "__main__":
    main()
