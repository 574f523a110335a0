#!/usr/bin/env python3
"""End-to-end searches: tarvel-host loads the real module and searches a generated folder tree
through the stand-in Windows Search service. Expected lines are computed here, from the files
on disk and the documented query rules, without any of the service's code.

Usage: e2e_test.py --host HOST --test-host TEST_HOST --module MODULE --work DIR
                   [--wine RUNNER --test-service SERVICE --server SERVER --proxies PROXIES]
TEST_HOST is tarvel-host with the stand-in's test switches, which the host that ships lacks.
With --wine, the hosts and MODULE are the Windows programs, run through RUNNER (Wine), and the
expected lines are in Windows path form (Z:\\...); SERVICE is a program that the service control
manager runs as WSearch; SERVER and PROXIES are the stand-in search manager's local server and
the proxy/stub DLL of the Search API, registered in the prefix for the out-of-process searches.
"""

import argparse
import fcntl
import json
import os
import pty
import resource
import shutil
import signal
import subprocess
import sys
import termios
import time

DESCRIPTION = "Tarvel Windows Search Module  by the Tarvel team"

SPECIAL_NAMES = [
    "quarterly report.txt",
    "report#1.txt",
    "o'report.md",
    "100% report.csv",
    "résumé report.docx",
    "日本語 report.txt",
    "emoji \U0001F600 report.txt",
    "REPORT upper.TXT",
    "notes_2024.log",
    "a[1].txt",
    "under_score.txt",
    "archive.tar.gz",
    "Report Final",  # a folder
]


def make_tree(root):
    if os.path.exists(root):
        shutil.rmtree(root)
    os.makedirs(root)
    for name in SPECIAL_NAMES:
        path = os.path.join(root, "special", name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if name == "Report Final":
            os.makedirs(path)
            open(os.path.join(path, "inside.txt"), "w").close()
        else:
            open(path, "w").close()
    for d in range(30):
        folder = os.path.join(root, "bulk", "dir%02d" % d)
        os.makedirs(folder)
        for f in range(100):
            name = ("report-%02d-%02d.dat" % (d, f)) if f % 25 == 0 else ("file-%02d-%02d.dat" % (d, f))
            open(os.path.join(folder, name), "w").close()
    # Paths longer than 260 and than 1024 UTF-16 units.
    long_name = "long" + "x" * 96
    deep = os.path.join(root, "deep", long_name, long_name, long_name)
    os.makedirs(deep)
    open(os.path.join(deep, "deep report.txt"), "w").close()
    deeper = os.path.join(root, "deep", *([long_name] * 11))
    os.makedirs(deeper, exist_ok=True)
    open(os.path.join(deeper, "deeper report.txt"), "w").close()


def units(text):
    data = text.encode("utf-16-le", "surrogatepass")
    return [data[i] | (data[i + 1] << 8) for i in range(0, len(data), 2)]


def fold(code_units):
    return [u + 32 if 0x41 <= u <= 0x5A else u for u in code_units]


def contains(haystack, needle):
    n = len(needle)
    return any(haystack[i:i + n] == needle for i in range(len(haystack) - n + 1))


def glob_matches(pattern, text):
    """* any run of units, ? exactly one unit, against the whole name."""
    memo = {}

    def match(p, t):
        key = (p, t)
        if key in memo:
            return memo[key]
        if p == len(pattern):
            result = t == len(text)
        elif pattern[p] == ord("*"):
            result = match(p + 1, t) or (t < len(text) and match(p, t + 1))
        elif t < len(text) and (pattern[p] == ord("?") or pattern[p] == text[t]):
            result = match(p + 1, t + 1)
        else:
            result = False
        memo[key] = result
        return result

    return match(0, 0)


def parse_query(query):
    """The documented syntax; None when the helper rejects the query."""
    terms = []
    i = 0
    while i < len(query):
        if query[i] in " \t":
            i += 1
            continue
        if query[i] == '"':
            close = query.find('"', i + 1)
            if close <= i + 1:
                return None
            terms.append(("word", query[i + 1:close]))
            i = close + 1
            continue
        end = i
        while end < len(query) and query[end] not in " \t":
            end += 1
        token = query[i:end]
        i = end
        if '"' in token:
            return None
        if token[:4].lower() == "ext:":
            ext = token[4:]
            if ext.startswith("."):
                ext = ext[1:]
            if not ext or "*" in ext or "?" in ext:
                return None
            terms.append(("ext", ext))
        elif "*" in token or "?" in token:
            terms.append(("pattern", token))
        else:
            terms.append(("word", token))
    return terms or None


def expected_lines(items, query, max_results):
    terms = parse_query(query)
    if terms is None:
        return []
    found = []
    for path, name in items:
        folded = fold(units(name))
        dot = name.rfind(".")
        extension = fold(units(name[dot:])) if dot >= 0 else []
        ok = True
        for kind, text in terms:
            if kind == "word":
                ok = contains(folded, fold(units(text)))
            elif kind == "pattern":
                ok = glob_matches(fold(units(text)), folded)
            else:
                ok = extension == fold(units("." + text))
            if not ok:
                break
        if ok:
            found.append(path)
            if 0 < max_results <= len(found):
                break
    return found


def in_order(lines):
    """Lines in path order: the stand-in delivers them in the order its walk meets them."""
    return sorted(lines, key=lambda line: units(line) if isinstance(line, str) else line)


def limited(lines, every, limit):
    """Whether lines are limit of every (all of them when limit is not positive), each once."""
    want = len(every) if limit <= 0 else min(limit, len(every))
    return len(lines) == want and len(set(lines)) == want and set(lines) <= set(every)


def index_items(root, to_output_path):
    items = []
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            items.append((to_output_path(os.path.join(folder, name)), name))
    items.sort(key=lambda item: units(item[0]))
    return items


class Runner:
    def __init__(self, args):
        self.args = args
        self.failures = 0
        self.checks = 0

    def command(self, arguments, host=None):
        """The command line of a host (the shipped one by default; "" for none: the arguments
        name the program) under Wine when the hosts are Windows programs."""
        base = [self.args.wine] if self.args.wine else []
        program = [] if host == "" else [host or self.args.host]
        return base + program + arguments

    def run(self, arguments, settings=None, stdout=subprocess.PIPE, raw=False, host=None,
            **options):
        env = dict(os.environ, **settings) if settings else None
        completed = subprocess.run(self.command(arguments, host), stdin=subprocess.DEVNULL,
                                   stdout=stdout, stderr=subprocess.PIPE, timeout=300,
                                   env=env, **options)
        out = completed.stdout if raw or completed.stdout is None else \
            completed.stdout.decode("utf-8")
        return completed.returncode, out, completed.stderr.decode("utf-8", "replace")

    def check(self, what, condition, detail=""):
        self.checks += 1
        if not condition:
            self.failures += 1
            print("FAIL: %s %s" % (what, detail))


def one_line(err):
    return err.count("\n") == 1 and err.startswith("tarvel-host: ")


SEARCHES = [
    ("report", -1), ("report", 1), ("report", 10), ("report", 0),
    ("quarterly report", -1), ('"quarterly report"', -1), ('"report quarterly"', -1),
    ("*.txt", -1), ("rep?rt*", -1), ("REP?RT*", 5), ("ext:txt report", -1),
    ("ext:.TXT", -1), ("ext:gz", -1), ("100%", -1), ("o'report", -1), ("résumé", -1),
    ("日本語", -1), ("\U0001F600", -1), ("a[1]", -1), ("under_score", -1), ("#1", -1),
    ("deep", -1), ("final", -1), ("nomatchxyz", -1), ('"unterminated', -1),
    ("ext:", -1), ("   ", -1),
]


def check_searches(runner, index, module, items, host=None, settings=None, through=""):
    """The table of searches: each gives the lines computed here, limited by its --max."""
    for query, max_results in SEARCHES:
        expected = expected_lines(items, query, -1)
        status, out, err = runner.run(["--module", module, "--index", index, "--max",
                                       str(max_results), "--", query], settings, host=host)
        lines = out.split("\n")
        if lines and lines[-1] == "":
            lines.pop()
        what = "search %r max %d%s" % (query, max_results, through)
        rejected = parse_query(query) is None
        runner.check(what + " exit status", status == (2 if rejected else 0),
                     "%d %s" % (status, err))
        runner.check(what + " lines", limited(lines, expected, max_results) and
                     (max_results > 0 or in_order(lines) == expected),
                     "\n  expected %d: %r\n  got %d: %r" % (len(expected), expected[:5],
                                                          len(lines), lines[:5]))


def check_out_of_process(runner, args, index, module, items):
    """Under Wine, the search manager in a process of its own, as on Windows: the stand-in's
    local server, started by COM and marshalled through the generated proxies, answers every
    search as the in-process stand-in does, and the check through it."""
    server = "Z:" + os.path.abspath(args.server).replace("/", "\\")
    proxies = "Z:" + os.path.abspath(args.proxies).replace("/", "\\")
    key = "HKLM\\Software\\Classes\\CLSID\\{7D096C5F-AC08-4F1F-BEB7-5C22C517CE39}"
    settings = {"TARVEL_STANDIN_SERVER": "1"}
    try:
        runner.check("proxies registered", runner.run(["regsvr32", "/s", proxies], host="")[0] == 0)
        runner.check("server registered", runner.run(
            ["reg", "add", key + "\\LocalServer32", "/ve", "/d",
             '"%s" --index %s' % (server, index), "/f"], host="")[0] == 0)
        check_searches(runner, index, module, items, host=args.test_host, settings=settings,
                       through=" through the server")
        status, out, err = runner.run(["--module", module, "--index", index, "--check", index],
                                      settings, host=args.test_host)
        runner.check("check through the server", status == 0 and
                     "search manager: created, indexer version Tarvel stand-in" in out and
                     "verdict: searching works" in out, "%d %s %s" % (status, out, err))
    finally:
        runner.run(["reg", "delete", key, "/f"], host="")
        runner.run(["regsvr32", "/s", "/u", proxies], host="")


def check_honesty(runner, args, root, index, module, items):
    """Every way a search can fail says so, and nothing found is left out."""
    base = ["--module", module, "--index", index]

    # Every count the host accepts reaches the stand-in's SQL reader.
    for count in ("1000000000", "2147483647"):
        status, out, err = runner.run(base + ["--max", count, "--", "report-0"])
        expected = expected_lines(items, "report-0", -1)
        runner.check("--max %s" % count, status == 0 and in_order(out.split("\n")[:-1]) == expected and
                     len(expected) > 10, "%d %s" % (status, err))

    # A query the helper rejects: a message naming the problem and its code, exit 2.
    for query, code in (('"', "0x80041601"), ('"report', "0x80041601"), ("ext:", "0x80041601"),
                        (" ", "0x80041605"), ("\t", "0x80041605")):
        status, out, err = runner.run(base + ["--", query])
        runner.check("rejected query %r" % query, status == 2 and out == "" and one_line(err) and
                     code in err and "cannot be searched" in err, "%d %r" % (status, err))

    # The --index folder is itself a result when its whole name matches, first, and counts
    # toward --max.
    for query, max_results, expected in (("tre?", -1, 1), ("*", 2, 2)):
        status, out, err = runner.run(base + ["--max", str(max_results), "--", query])
        lines = out.split("\n")[:-1]
        runner.check("the --index folder for %r" % query, status == 0 and lines[:1] == [index] and
                     len(lines) == expected, "%d %r %s" % (status, lines, err))

    status, out, err = runner.run(["--module", "", "x"])
    runner.check("--module ''", status == 2 and "--module needs a file" in err,
                 "%d %s" % (status, err))

    # A query that repeats one term twenty thousand times finds what the term finds.
    terms = 2000 if args.wine else 20000
    status, out, err = runner.run(base + ["--"] + ["report"] * terms)
    runner.check("repeated terms", status == 0 and
                 in_order(out.split("\n")[:-1]) == expected_lines(items, "report", -1),
                 "%d %s" % (status, err[:200]))

    # Output that cannot be written: the walk stops at once. A full device is named, exit 1; a
    # pipe without a reader ends the host without a word, as find ends: by SIGPIPE where the
    # signal has its default action, otherwise with exit 1.
    rows = os.path.join(os.path.dirname(root), "rows")
    everything = len(index_items(root, lambda path: path))
    for what, stdout, ignore, expected_status, message in (
            ("a full device", "/dev/full", False, 1, "cannot write the results: " +
             ("Disk full" if args.wine else "No space left")),
            # Wine's programs never meet SIGPIPE.
            ("a closed pipe", "pipe", False, 1 if args.wine else -signal.SIGPIPE, ""),
            ("a closed pipe, SIGPIPE ignored", "pipe", True, 1, "")):
        reader, writer = os.pipe()
        os.close(reader)
        target = os.open(stdout, os.O_WRONLY) if stdout != "pipe" else writer
        status, out, err = runner.run(
            base + ["*"], {"TARVEL_STANDIN_ROWS_FILE": index_path_of(rows) if args.wine else rows,
                           "TARVEL_WINE_OUTPUT": "direct"},
            host=args.test_host, stdout=target, preexec_fn=lambda ignore=ignore:
            signal.signal(signal.SIGPIPE, signal.SIG_IGN if ignore else signal.SIG_DFL))
        os.close(writer)
        if target != writer:
            os.close(target)
        walked = int(open(rows).read()) if os.path.exists(rows) else 0
        if os.path.exists(rows):
            os.remove(rows)
        runner.check("output to " + what, status == expected_status and
                     (one_line(err) and message in err if message else err == "") and
                     (0 < walked < everything / 2 or expected_status < 0),
                     "%d %r walked %d of %d" % (status, err, walked, everything))
    if args.wine:
        # Ctrl-C on the terminal while the output waits on a reader that stalled: the host ends
        # at once (it waited for ever on the C runtime's stream lock of its killed writer).
        terminal, console = pty.openpty()
        reader, writer = os.pipe()
        host = subprocess.Popen(runner.command(base + ["*"]), stdin=console, stdout=writer,
                                stderr=console, env=dict(os.environ, TARVEL_WINE_OUTPUT="direct"),
                                start_new_session=True,
                                preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
        os.close(console)
        os.close(writer)
        os.read(reader, 100)
        time.sleep(2)
        os.write(terminal, b"\x03")
        try:
            host.wait(20)
        except subprocess.TimeoutExpired:
            host.kill()
        runner.check("Ctrl-C beside a stalled reader", host.wait() >= 0, str(host.returncode))
        os.close(reader)
        os.close(terminal)
        # No search service at all: the machine's is absent under Wine.
        status, out, err = runner.run(["--module", module, "--", "report"])
        runner.check("no search service", status == 1 and out == "" and one_line(err) and
                     "Windows Search is not available" in err and "0x8" in err,
                     "%d %r" % (status, err))
        return

    check_posix_honesty(runner, root, module)


def check_the_check(runner, args, module, to_output_path):
    """tarvel-host --check: its findings in order, its verdict and exit status."""
    work = os.path.join(os.path.dirname(os.path.abspath(args.work)), "e2e", "check")
    if os.path.exists(work):
        subprocess.run(["chmod", "-R", "u+rwx", work])
        shutil.rmtree(work)
    index = os.path.join(work, "index")
    for folder in ("sub", "nofiles/inner", "locked"):
        os.makedirs(os.path.join(index, folder))
    for name in ("b.txt", "a report.txt", "sub/c.txt", "locked/zz"):
        open(os.path.join(index, name), "w").close()
    os.makedirs(os.path.join(work, "outside"))
    open(os.path.join(work, "outside", "x.txt"), "w").close()
    index_path = to_output_path(index)

    def check(what, folder, expected_status, expected, host=None, settings=None, base=None,
              user=()):
        arguments = (base if base is not None else ["--index", index_path, "--module", module]) \
            + ["--check", to_output_path(folder)]
        completed = subprocess.run(list(user) + runner.command(arguments, host),
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, timeout=300,
                                   env=dict(os.environ, **(settings or {})))
        status, out, err = completed.returncode, completed.stdout.decode("utf-8"), \
            completed.stderr.decode("utf-8", "replace")
        lines = out.split("\n")[:-1]
        labels = [line.split(": ", 1)[0] for line in lines]
        ok = status == expected_status and lines and lines[-1].startswith("verdict: ")
        for label, fragment in expected:
            ok = ok and any(line.startswith(label + ": ") and fragment in line for line in lines)
        # The check speaks on standard output alone: what its search meets elsewhere in the
        # index is none of its findings.
        runner.check("check " + what, ok and labels == [label for label, _ in expected] and
                     err == "", "%d\n  %s\n%s" % (status, "\n  ".join(lines), err))
        return lines

    module_line = ("module", "exports ModuleEntry")
    manager = ("search manager", "created, indexer version Tarvel stand-in")
    catalog = ("catalog SystemIndex", "idle, 8 items, 0 to index")
    column = ("column 1", "System.ItemPathDisplay, reported as DBTYPE_WSTR (130) of size ")
    check("when all is well", index, 0, [
        module_line, manager, catalog,
        ("folder", to_output_path(index) + " is in the indexed locations"),
        ("search", '"a report.txt" came back: 1 line, the first after'), column,
        ("verdict", "searching works")])
    check("of a folder outside the index", os.path.join(work, "outside"), 1, [
        module_line, manager, catalog, ("folder", "is not in the indexed locations"),
        ("search", '"x.txt" did not come back: 0 lines'), column,
        ("verdict", "outside is not in the indexed locations")])
    check("of a folder without files", os.path.join(index, "nofiles"), 0, [
        module_line, manager, catalog, ("folder", "is in the indexed locations"),
        ("search", "skipped: "), ("verdict", "searching works (no file in the folder")])
    # The search that came back is the evidence: what would be a problem is a note.
    check("of a paused catalog whose file came back", os.path.join(index, "sub"), 0, [
        module_line, manager,
        ("catalog SystemIndex", "paused (someone is using the computer"),
        ("folder", "is in the indexed locations"), ("search", '"c.txt" came back: 1 line'),
        column, ("note", "indexing is paused"), ("verdict", "searching works")],
        host=args.test_host, settings={"TARVEL_STANDIN_PAUSED": "8"})
    check("of an index too slow to serve its rows", index, 1, [
        module_line, manager, catalog, ("folder", "is in the indexed locations"),
        ("search", '"a report.txt" did not come back: 0 lines'), column,
        ("rows", "fetching them failed after 0 rows: the index did not answer in time "
                 "(QUERY_E_TIMEDOUT) (0x80041607)"),
        ("verdict", "the index is too slow")],
        host=args.test_host, settings={"TARVEL_STANDIN_FETCH_FAILS": "0x80041607"})
    check("of a file the index cannot deliver", index, 1, [
        module_line, manager, catalog, ("folder", "is in the indexed locations"),
        ("search", '"a report.txt" did not come back: 1 line'), ("line", "(Error reading result)"),
        column,
        ("verdict", "a report.txt in " + to_output_path(index) + " is not found through the index")],
        host=args.test_host, settings={"TARVEL_STANDIN_UNREADABLE": "a report.txt"})
    full = to_output_path(os.path.join(index, "a report.txt"))
    check("of a path that comes back cut", index, 0, [
        module_line, manager, catalog, ("folder", "is in the indexed locations"),
        ("search", '"a report.txt" came back cut after %d units' % (len(full) - 2)),
        ("line", full[:-2]), ("column 1", "of size %d" % (len(full) - 2)),
        ("verdict", "searching works, but the path of a report.txt came back cut")],
        host=args.test_host, settings={"TARVEL_STANDIN_PATH_UNITS": str(len(full) - 2)})
    check("of a path the module does not print", index, 1, [
        module_line, manager, catalog, ("folder", "is in the indexed locations"),
        ("search", "came back only as the module's messages: 1 line"),
        ("line", "(Unhandled database type 13)"),
        ("column 1", "of size 9000 with flags 0x60, bound as DBTYPE_IUNKNOWN (13) of size 8"),
        ("verdict", "a binding problem")],
        host=args.test_host, settings={"TARVEL_STANDIN_PATH_UNITS": "9000"})
    check("of a module that cannot be loaded", index, 1, [
        ("module", "cannot load "), ("verdict", "the module cannot be loaded")],
        base=["--index", index_path, "--module", module + ".missing"])
    check("of a file that is no module", index, 1, [
        ("module", "does not export ModuleEntry"), ("verdict", "not a Tarvel search module")],
        base=["--index", index_path, "--module", args.foreign])

    # The same facts as one JSON object, with the same exit status.
    status, out, err = runner.run(["--index", index_path, "--module", module, "--check",
                                   "--json", index_path])
    try:
        report = json.loads(out)
    except ValueError:
        report = {}
    runner.check("check as JSON", status == 0 and report.get("verdict", {}).get("works") is True
                 and report["search"]["outcome"] == "came back" and
                 report["search"]["rowset"]["columns"][0]["boundTypeName"] == "DBTYPE_WSTR" and
                 report["catalog"]["items"] == 8, "%d %r %s" % (status, out[:400], err))
    status, out, err = runner.run(["--index", index_path + "-missing", "--module", module,
                                   "--check", "--json", index_path])
    runner.check("check as JSON of a missing --index folder", status == 1 and
                 json.loads(out)["verdict"]["text"].startswith("no such folder: ") and
                 one_line(err), "%d %r %s" % (status, out, err))
    check_hostile_names(runner, args, module, work, index_path, to_output_path)
    for arguments, message in ((["--info", "--check"], "--info and --check"),
                               (["--json", "x"], "--json goes with --check"),
                               (["--check", "--max", "3"], "--max goes with a search")):
        status, out, err = runner.run(["--module", module] + arguments)
        runner.check("usage %r" % arguments, status == 2 and out == "" and message in err,
                     "%d %s" % (status, err))

    if args.wine:
        # What Windows Search does not hold is passed over for the test search: hidden and
        # system files (desktop.ini, Thumbs.db), and with none left the folder has no file to try.
        shell = os.path.join(index, "shell")
        os.makedirs(shell)
        for name, flags in (("Thumbs.db", "+h"), ("desktop.ini", "+h +s"), ("z-real.txt", "")):
            open(os.path.join(shell, name), "w").close()
            runner.run(["attrib"] + flags.split() + [to_output_path(os.path.join(shell, name))],
                       host="")
        for found, rowset in (('"z-real.txt" came back: 1 line', [column]), ("skipped: ", [])):
            check("of a folder with hidden and system files: " + found, shell, 0, [
                module_line, manager, ("catalog SystemIndex", "idle"), ("folder", "is in the"),
                ("search", found)] + rowset + [("verdict", "searching works")])
            if rowset:
                os.remove(os.path.join(shell, "z-real.txt"))
        shutil.rmtree(shell)
        check_the_service(runner, args, module, index, check, module_line)
    else:
        # A folder this user cannot read: a problem that names the permission.
        locked = os.path.join(index, "locked")
        user = as_nobody(work)
        os.chmod(locked, 0)
        check("of a folder that cannot be read", locked, 1, [
            module_line, manager, ("catalog SystemIndex", "idle"),
            ("folder", "is in the indexed locations"),
            ("search", "skipped: %s cannot be read: Permission denied" % locked),
            ("verdict", "cannot be read (Permission denied)")], user=user)
        # The check's search meets it elsewhere in the index, which is none of its findings.
        check("beside a folder that cannot be read", os.path.join(index, "sub"), 0, [
            module_line, manager, ("catalog SystemIndex", "idle"), ("folder", "is in the"),
            ("search", '"c.txt" came back'), column, ("verdict", "searching works")], user=user)
        # One whose names can be listed but whose files cannot be reached is no folder without
        # files.
        os.chmod(locked, 0o444)
        check("of a folder that can be listed but not searched", locked, 1, [
            module_line, manager, ("catalog SystemIndex", "idle"),
            ("folder", "is in the indexed locations"),
            ("search", "skipped: %s cannot be read: Permission denied" % locked),
            ("verdict", "cannot be read (Permission denied)")], user=user)
        os.chmod(locked, 0o755)
        # Names a quoted phrase cannot hold are passed over for the next; with none left, the
        # verdict names the limit.
        quotes = os.path.join(work, "quotes")
        os.makedirs(quotes)
        for name in ('"a".txt', "b.txt"):
            open(os.path.join(quotes, name), "w").close()
        check("of a folder whose first name holds a quote", quotes, 0, [
            module_line, manager, ("catalog SystemIndex", "idle"), ("folder", "is in the"),
            ("search", '"b.txt" came back: 1 line'), column, ("verdict", "searching works")],
            base=["--index", quotes, "--module", module])
        os.remove(os.path.join(quotes, "b.txt"))
        check("of a folder whose names all hold a quote", quotes, 0, [
            module_line, manager, ("catalog SystemIndex", "idle"), ("folder", "is in the"),
            ("search", 'skipped: every file in %s has a " in its name' % quotes),
            ("verdict", 'searching works (no file in the folder to try it with: a name that '
                        'holds " cannot be searched')],
            base=["--index", quotes, "--module", module])
        with open("/dev/full", "wb") as full_device:
            status, out, err = runner.run(["--index", index_path, "--module", module, "--check",
                                           index_path], stdout=full_device)
        runner.check("check that cannot write its findings", status == 1 and one_line(err) and
                     "cannot write the check" in err, "%d %r" % (status, err))
    status, out, err = runner.run(["--module", module, "--check",
                                   to_output_path(os.path.join(work, "missing"))])
    runner.check("check of a folder that does not exist", status == 2 and out == "" and
                 "no such folder" in err, "%d %s" % (status, err))


def check_hostile_names(runner, args, module, work, index_path, to_output_path):
    """Names with quotes, backslashes, control characters, escape sequences and bytes that are
    not UTF-8, as the folder and the module, and so in the verdict: the JSON always parses, and
    the text shows them escaped, one finding a line (natively the folders are there, outside
    the index; under Wine they are not)."""
    names = [b'q"uote\\back', b"new\nline", b"esc\x1b[31mred", "c1\u009b".encode()]
    for name in names + ([] if args.wine else [b"bad\xfe"]):
        folder = os.path.join(work.encode(), b"hostile-" + name)
        if not args.wine:
            os.makedirs(folder)
            open(os.path.join(folder, name + b".txt"), "w").close()
        given = os.fsencode(to_output_path(os.fsdecode(folder)))
        for module_file, checked in ((module.encode(), given), (given + b"/x", index_path.encode())):
            for extra in ([b"--json"], []):
                status, out, err = runner.run([b"--index", index_path.encode(), b"--module",
                                               module_file, b"--check"] + extra + [checked],
                                              raw=True)
                try:
                    text = out.decode("utf-8")
                    lines = text.split("\n")[:-1]
                    ok = "verdict" in json.loads(text) if extra else \
                        all(": " in line for line in lines) and \
                        (lines[-1:] != [] and lines[-1].startswith("verdict: ") or one_line(err))
                except ValueError:
                    ok = False
                runner.check("hostile name %r as %r %r" % (name, module_file[-20:], extra),
                             ok and status in (1, 2) and "\x1b" not in text + err,
                             "%d %r %r" % (status, out[:300], err))


def check_the_service(runner, args, module, index, check, module_line):
    """Under Wine, which has no Windows Search: the check of the machine's own service as the
    service control manager tells it, a stand-in WSearch registered with Wine's service manager
    in each state, and an --index that would shadow a provider of the machine's."""
    service = "Z:" + os.path.abspath(args.test_service).replace("/", "\\")

    def sc(*words):
        return runner.run(["sc"] + list(words), host="")

    def remove_service():
        # A service goes when its process has stopped: until then it is only marked for deletion.
        for _ in range(100):
            sc("stop", "WSearch")
            sc("delete", "WSearch")
            if sc("query", "WSearch")[0] != 0:
                return
            time.sleep(0.1)
        runner.check("the WSearch service could be removed", False)

    base = ["--module", module]
    try:
        remove_service()
        check("without a search service", index, 1, [
            module_line, ("service", "Windows Search (WSearch) is not installed"),
            ("verdict", "Windows Search is not installed")], base=base)
        runner.check("sc create disabled",
                     sc("create", "WSearch", "binPath=", service, "start=", "disabled")[0] == 0)
        check("of a disabled service", index, 1, [
            module_line, ("service", "Windows Search (WSearch) is stopped, start type disabled"),
            ("verdict", "the Windows Search service is disabled")], base=base)
        remove_service()
        runner.check("sc create manual",
                     sc("create", "WSearch", "binPath=", service, "start=", "demand")[0] == 0)
        check("of a stopped service", index, 1, [
            module_line, ("service", "Windows Search (WSearch) is stopped, start type manual"),
            ("search manager", "cannot be created: no search service is registered (0x80040154)"),
            ("verdict", "the Windows Search service is not running")], base=base)
        runner.check("sc start", sc("start", "WSearch")[0] == 0)
        check("of a running service without the search manager's class", index, 1, [
            module_line, ("service", "Windows Search (WSearch) is running, start type manual"),
            ("search manager", "cannot be created: no search service is registered (0x80040154)"),
            ("verdict", "its search manager is not registered")], base=base)
        # The search manager's server registered, its program missing.
        key = "HKLM\\Software\\Classes\\CLSID\\{7D096C5F-AC08-4F1F-BEB7-5C22C517CE39}"
        runner.run(["reg", "add", key + "\\LocalServer32", "/ve", "/d",
                    service.replace("tarvel-test-service", "tarvel-search-server-missing"), "/f"],
                   host="")
        check("of a running service whose search manager's program is missing", index, 1, [
            module_line, ("service", "Windows Search (WSearch) is running"),
            ("search manager", "cannot be created: no search service is registered (0x80040154)"),
            ("verdict", "its search manager is not registered")], base=base)
        runner.run(["reg", "delete", key, "/f"], host="")
    finally:
        remove_service()

    # A provider of the machine's under the stand-in's ProgID: --index refuses to shadow it.
    key = "HKLM\\Software\\Classes\\Search.CollatorDSO.1\\CLSID"
    status, out, err = runner.run(["reg", "query", key], host="")
    if status == 0:
        runner.check("no provider of the machine's in the test prefix", False, out)
        return
    try:
        runner.run(["reg", "add", key, "/ve", "/d", "{9E175B6D-F52A-11D8-B9A5-505054503030}",
                    "/f"], host="")
        status, out, err = runner.run(base + ["--index", index_path_of(index), "report"])
        runner.check("--index beside the machine's provider", status == 2 and out == "" and
                     "would hide this machine's Windows Search provider" in err,
                     "%d %s" % (status, err))
    finally:
        runner.run(["reg", "delete", "HKLM\\Software\\Classes\\Search.CollatorDSO.1", "/f"],
                   host="")


def index_path_of(folder):
    return "Z:" + folder.replace("/", "\\")


def as_nobody(folder):
    """The command's prefix for a host that meets permissions: root reads every folder, so
    where the tests run as root the host runs as nobody, who is let read folder."""
    if os.geteuid() != 0:
        return []
    subprocess.run(["chmod", "-R", "o+rX", folder])
    return ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]


def check_posix_honesty(runner, root, module):
    work = os.path.join(os.path.dirname(root), "honesty")
    if os.path.exists(work):
        # Deeper than shutil.rmtree goes.
        subprocess.run(["chmod", "-R", "u+rwx", work])
        subprocess.run(["rm", "-rf", work], check=True)
    os.makedirs(work)

    # Long paths arrive whole or as an error, never cut into another item's path: two files
    # whose paths share their first 4095 units; paths beyond the column the stand-in binds
    # (8000 units); through a BSTR column, the longest path Windows has and one unit more.
    def nest(base, names, files, mode=None):
        """Folders made one in another relative to the last, as no path this long can be given
        whole, and the files named in the innermost; returns the files' paths."""
        folder = os.open(base, os.O_RDONLY)
        path = base
        for name in names:
            try:
                os.mkdir(name, dir_fd=folder)
            except FileExistsError:
                pass
            inner = os.open(name, os.O_RDONLY, dir_fd=folder)
            os.close(folder)
            folder, path = inner, path + "/" + name
        for name in files:
            os.close(os.open(name, os.O_CREAT | os.O_WRONLY, dir_fd=folder))
        if mode is not None:
            os.fchmod(folder, mode)
        os.close(folder)
        return [path + "/" + name for name in files]

    def fill(base, length, tail):
        """Names of folders that bring base to length units with tail after them."""
        room = length - len(base) - len(tail) - 1
        count = (room + 200) // 201
        sizes = [room // count - 1 + (1 if i < room % count else 0) for i in range(count)]
        return ["n" * size for size in sizes]

    long_paths = os.path.join(work, "long")
    os.makedirs(long_paths)
    twins = nest(long_paths, fill(long_paths, 4095, "zz" + "b" * 77),
                 ["zz" + "b" * 77, "zz" + "b" * 78])
    limits = []
    for length, name in ((8000, "ya"), (8001, "yb"), (32767, "yc"), (32768, "yd")):
        base = os.path.join(long_paths, name)
        os.makedirs(base)
        limits += nest(base, fill(base, length, name + "file"), [name + "file"])
    error = "(Error reading result)"
    for query, expected, settings in (
            ("zz", twins, None),
            ("y?file", [limits[0], error, error, error], None),
            ("y?file", [limits[0], limits[1], limits[2], error], {"TARVEL_STANDIN_PATH_TYPE": "bstr"})):
        status, out, err = runner.run(["--module", module, "--index", long_paths, "--", query],
                                      settings, host=runner.args.test_host)
        lines = out.split("\n")[:-1]
        runner.check("long paths %s %r" % (query, settings), status == 0 and
                     in_order(lines) == in_order(expected) and
                     [len(units(p)) for p in twins + limits] == [4095, 4096, 8000, 8001, 32767,
                                                                  32768],
                     "%d %r %s" % (status, [len(line) for line in lines], err))

    # A tree deeper than the open files a process may have: every level is walked, and the
    # file 300 levels down is found, as find finds it.
    deep = os.path.join(work, "deep")
    os.makedirs(deep)
    shallow = nest(deep, ["d"] * 300, ["mark-300.txt"])
    nest(shallow[0][:-len("/mark-300.txt")], ["d"] * 19700, ["mark-20000.txt"])

    def few_files():
        resource.setrlimit(resource.RLIMIT_NOFILE, (256, 256))

    status, out, err = runner.run(["--module", module, "--index", deep, "--", "mark-*"],
                                  preexec_fn=few_files)
    runner.check("a tree 20,000 levels deep under 256 open files", status == 0 and
                 in_order(out.split("\n")[:-1]) == in_order([shallow[0], error]), "%d %r %s" % (status, out[:200], err))

    # Past 4,096 bytes, where no path reaches a folder, the walk comes back up from a folder that
    # can be listed but not searched, and from one moved away while it is walked, and loses
    # nothing: the first is told, the moved one walked whole, and the siblings after them too.
    def siblings(chain, first):
        """chain below lost/, in whose last folder first/ holds match-first.txt and after0/
        to after7/ beside it a match each; its path, and the matches' paths."""
        found = nest(lost, chain + [first], ["match-%s.txt" % first])
        for i in range(8):
            found += nest(lost, chain + ["after%d" % i], ["match-after%d.txt" % i])
        return "/".join([lost] + chain), found

    lost = os.path.join(work, "lost")
    os.makedirs(lost)
    locked, unsearchable = siblings(["l" * 203] * 24, "listonly")
    moving, moved = siblings(["m" * 203] * 24, "moved")
    user = as_nobody(lost)
    nest(lost, ["l" * 203] * 24 + ["listonly"], [], mode=0o444)
    for what, folder, settings, status, lines, warned in (
            ("a folder that cannot be searched", lost, {}, 1, unsearchable + moved,
             [locked + "/listonly: Permission denied"]),
            # --index . from a folder that deep, as find . runs there; the stand-in moves moved/
            # out of it as the walk meets its match.
            ("a folder moved away, from --index .", moving,
             {"TARVEL_STANDIN_MOVE": "match-moved.txt:moved:../moved-away"}, 0, moved, [])):
        completed = subprocess.run(
            user + runner.command(["--module", module, "--index", ".", "--", "match-*"],
                                  host=runner.args.test_host),
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300,
            env=dict(os.environ, **settings),
            preexec_fn=lambda folder=folder: [os.chdir(name or "/") for name in folder.split("/")])
        err = [line for line in completed.stderr.decode().split("\n")[:-1]
               if line.startswith("tarvel-host: cannot read folder ")]
        runner.check(what + " past 4,096 bytes", completed.returncode == status and
                     in_order(completed.stdout.decode().split("\n")[:-1]) == in_order(lines) and
                     err == ["tarvel-host: cannot read folder " + w for w in warned],
                     "%d %r" % (completed.returncode, completed.stderr[-300:]))

    # Names that are not UTF-8 print as the bytes they are.
    odd = os.path.join(work, "odd")
    os.makedirs(odd)
    for name in (b"bad\xff.txt", b"bad\xfe.txt"):
        open(os.path.join(odd.encode(), name), "wb").close()
    status, out, err = runner.run(["--module", module, "--index", odd, "--", "bad"], raw=True)
    expected = sorted([odd.encode() + b"/bad\xfe.txt", odd.encode() + b"/bad\xff.txt"])
    runner.check("names that are not UTF-8", status == 0 and
                 in_order(out.split(b"\n")[:-1]) == expected,
                 "%d %r %s" % (status, out, err))

    for arguments in (["--info"], ["--help"]):
        with open("/dev/full", "wb") as full:
            status, out, err = runner.run(["--module", module] + arguments, stdout=full)
        runner.check("output of %r to a full device" % arguments, status == 1 and
                     one_line(err) and "cannot write" in err, "%d %r" % (status, err))

    # What names no folder is told for what it is; a bare module name is a file in the
    # current folder, not one the loader finds along its path.
    fifo = os.path.join(work, "fifo")
    os.mkfifo(fifo)
    for folder, message in ((fifo, "not a folder: "), (__file__, "not a folder: "),
                            (os.path.join(work, "none"), "no such folder: "),
                            (os.path.join(work, "n" * 300), "name too long: ")):
        for arguments, expected_status in ((["--index", folder, "x"], 1), (["--check", folder], 2)):
            status, out, err = runner.run(["--module", module] + arguments)
            runner.check("%s%s" % (message, arguments[0]), status == expected_status and
                         one_line(err) and err.startswith("tarvel-host: " + message),
                         "%d %r" % (status, err[:200]))
    folder, name = os.path.split(module)
    for cwd, expected_status in ((work, 1), (folder, 0)):
        status, out, err = runner.run(["--module", name, "--info"],
                                      {"LD_LIBRARY_PATH": folder}, cwd=cwd)
        runner.check("--module %s from %s" % (name, cwd), status == expected_status and
                     ("cannot load the module %s" % name in err or expected_status == 0),
                     "%d %r" % (status, err))

    # Folders that cannot be read or searched: what can be listed is, each is named, exit 1.
    locked = os.path.join(work, "locked")
    for sub in ("open", "closed", "listonly"):
        os.makedirs(os.path.join(locked, sub, "inner"))
        open(os.path.join(locked, sub, "inner", "item.txt"), "wb").close()
    user = as_nobody(work)
    os.chmod(os.path.join(locked, "closed"), 0)
    os.chmod(os.path.join(locked, "listonly"), 0o444)
    completed = subprocess.run(user + runner.command(["--module", module, "--index", locked,
                                                      "--", "inner"]),
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, timeout=300)
    out = completed.stdout.decode("utf-8").split("\n")[:-1]
    err = completed.stderr.decode("utf-8", "replace").split("\n")[:-1]
    expected = [os.path.join(locked, "listonly", "inner"), os.path.join(locked, "open", "inner")]
    warned = [line for line in err if line.startswith("tarvel-host: cannot read folder ")]
    runner.check("unreadable folders", completed.returncode == 1 and in_order(out) == expected and
                 len(warned) == 2 and any(os.path.join(locked, "closed") + ":" in w
                                          for w in warned) and
                 any(os.path.join(locked, "listonly") + ":" in w for w in warned),
                 "%d %r %r" % (completed.returncode, out, err))
    subprocess.run(["chmod", "-R", "u+rwx", work])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", required=True)
    parser.add_argument("--test-host", required=True)
    parser.add_argument("--module", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--wine")
    parser.add_argument("--test-service")
    parser.add_argument("--server")
    parser.add_argument("--proxies")
    args = parser.parse_args()

    root = os.path.abspath(os.path.join(args.work, "tree"))
    make_tree(root)
    if args.wine:
        def to_output_path(path):
            return "Z:" + path.replace("/", "\\")
        index = to_output_path(root)
        module = to_output_path(os.path.abspath(args.module))
        foreign = "C:\\windows\\system32\\kernel32.dll"
    else:
        def to_output_path(path):
            return path
        index = root
        module = os.path.abspath(args.module)
        foreign = os.path.join(os.path.dirname(module), "libtarvel-platform.so")
    items = index_items(root, to_output_path)
    runner = Runner(args)
    runner.check("tree size", len(items) > 3000, str(len(items)))
    longest = max(len(units(path)) for path, _ in items)
    runner.check("a path over 1024 units", longest > 1024, str(longest))

    check_searches(runner, index, module, items)
    # A provider that cannot deliver one item's path, and cuts the others at its column size:
    # the unreadable item reads as an error and every later item still arrives, cut.
    query = "report-1"
    found = expected_lines(items, query, -1)
    unreadable = "report-12-50.dat"
    cut = len(units(to_output_path(os.path.join(root, "bulk", "dir12", "report-1"))))
    expected = ["(Error reading result)" if path.endswith(unreadable) else
                path[:cut] for path in found]
    settings = {"TARVEL_STANDIN_UNREADABLE": unreadable, "TARVEL_STANDIN_PATH_UNITS": str(cut)}
    status, out, err = runner.run(["--module", module, "--index", index, "--", query], settings,
                                  host=args.test_host)
    lines = out.split("\n")[:-1]
    runner.check("unreadable and cut paths", status == 0 and in_order(lines) == in_order(expected) and
                 len(found) == 40 and found[-1].endswith("report-19-75.dat"),
                 "%d %s\n  expected %r\n  got %r" % (status, err, expected[18:24], lines[18:24]))
    # The host that ships has no such switches: every path arrives whole.
    status, out, err = runner.run(["--module", module, "--index", index, "--", query], settings)
    runner.check("no test switches in the shipped host", status == 0 and
                 in_order(out.split("\n")[:-1]) == found, "%d %s" % (status, err))

    # Queries that match something must really have been tried.
    runner.check("report matches many", len(expected_lines(items, "report", -1)) > 100)
    runner.check("deep paths found", any(len(units(p)) > 1024 for p in
                                         expected_lines(items, "deep", -1)))

    status, out, err = runner.run(["--module", module, "--info"])
    runner.check("info", status == 0 and out == DESCRIPTION + "\n", repr(out) + err)
    status, out, err = runner.run(["--module", module + ".missing", "--index", index, "x"])
    runner.check("missing module", status == 1 and "cannot load" in err, "%d %s" % (status, err))
    status, out, err = runner.run(["--module", foreign, "--index", index, "x"])
    runner.check("module without ModuleEntry", status == 1 and "no ModuleEntry" in err,
                 "%d %s" % (status, err))
    status, out, err = runner.run(["--module", module, "--frobnicate", "x"])
    runner.check("unknown option", status == 2 and "unknown option" in err, "%d %s" % (status, err))
    status, out, err = runner.run(["--module", module, "--max", "ten", "x"])
    runner.check("bad --max", status == 2, "%d %s" % (status, err))
    status, out, err = runner.run(["--module", module, "--index", index])
    runner.check("no query", status == 2 and "no query" in err, "%d %s" % (status, err))
    status, out, err = runner.run(["--module", module, "--index", index + "-missing", "x"])
    runner.check("missing folder", status == 1 and "no such folder" in err, "%d %s" % (status, err))
    status, out, err = runner.run(["--help"])
    runner.check("help", status == 0 and "Usage: tarvel-host" in out and "Exit status" in out,
                 "%d %s" % (status, err))

    check_honesty(runner, args, root, index, module, items)
    args.foreign = foreign
    check_the_check(runner, args, module, to_output_path)
    if args.wine:
        check_out_of_process(runner, args, index, module, items)

    print("%d checks, %d failed; %d items indexed, longest path %d units" %
          (runner.checks, runner.failures, len(items), longest))
    return 1 if runner.failures else 0


if __name__ == "__main__":
    sys.exit(main())
