#!/usr/bin/env python3
# Zentarix — MIT licence.
# Plants faults from a list, one at a time, and records which ones the test suite catches.
"""Fault planting: measures what the tests catch, to cut tests without losing power.

Each fault in the list (tools/mutants.txt) is one exact text substitution in one source file, with
the CTest labels whose tests should notice it. For every fault the tool:

  1. checks that the text occurs exactly once (a list gone stale says so instead of testing nothing),
  2. writes the changed file (a copy of the original waits in BUILD/mutants-backup first),
  3. rebuilds only the test executables of those labels (make rebuilds what depends on the file),
  4. runs those labels with a timeout and records the tests that failed,
  5. puts the original back, always: on success, failure, Ctrl-C or SIGTERM; a copy left behind
     by a killed run is put back at the next start.

Results go to a TSV file (fault, result, failing tests). Give --compare OLD.tsv to list faults that
OLD caught and this run missed. Runs by hand; it takes about a minute per fault on two cores:

    python3 tools/mutants.py                     # every fault, release tree in build/
    python3 tools/mutants.py --only raster-xor   # some faults by id (prefix match)
    python3 tools/mutants.py --check             # only check that every fault still applies
"""
import argparse
import configparser
import json
import os
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent


class Fault:
    def __init__(self, ident, section):
        self.id = ident
        self.file = section["file"]
        self.labels = section["labels"].split()
        self.old = unquote(section["old"])
        self.new = unquote(section["new"])
        self.why = section.get("why", "")


def unquote(text):
    # Values may be wrapped in backquotes to keep leading or trailing spaces; \n stands for a newline.
    text = text.strip()
    if len(text) >= 2 and text[0] == text[-1] == "`":
        text = text[1:-1]
    return text.replace("\\n", "\n")


def load_faults(path):
    parser = configparser.RawConfigParser(delimiters=("=",), comment_prefixes=("#",), strict=True)
    parser.optionxform = str
    parser.read(path, encoding="utf-8")
    return [Fault(name, parser[name]) for name in parser.sections()]


def check(fault):
    path = ROOT / fault.file
    if not path.is_file():
        return f"no file {fault.file}"
    count = path.read_text(encoding="utf-8").count(fault.old)
    return None if count == 1 else f"text occurs {count} times in {fault.file}"


def run(cmd, timeout=None, **kw):
    return subprocess.run(cmd, cwd=ROOT, capture_output=True, text=True, timeout=timeout, **kw)


def label_regex(labels):
    return "^(" + "|".join(re.escape(label) for label in labels) + ")$"


def targets_for(build, labels, cache):
    key = tuple(labels)
    if key not in cache:
        out = run(["ctest", "--test-dir", str(build), "-N", "-L", label_regex(labels), "--show-only=json-v1"])
        names = set()
        for test in json.loads(out.stdout).get("tests", []):
            command = test.get("command") or []
            if command and pathlib.Path(command[0]).resolve().is_relative_to(build.resolve()):
                names.add(pathlib.Path(command[0]).name)
        cache[key] = sorted(names)
    return cache[key]


class Planted:
    """Writes the fault on entry and the original back on exit, whatever ends the block."""

    def __init__(self, fault, backup_dir):
        self.path = ROOT / fault.file
        self.fault = fault
        self.backup = backup_dir / fault.file.replace("/", "__")

    def __enter__(self):
        original = self.path.read_text(encoding="utf-8")
        self.backup.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(self.path, self.backup)
        self.path.write_text(original.replace(self.fault.old, self.fault.new, 1), encoding="utf-8")
        return self

    def __exit__(self, *exc):
        restore(self.backup, self.path)
        return False


def restore(backup, path):
    shutil.copyfile(backup, path)
    # A fresh time stamp, so that make rebuilds the original rather than keeping the faulty object.
    os.utime(path, None)
    backup.unlink()


def restore_leftovers(backup_dir):
    if not backup_dir.is_dir():
        return
    for backup in backup_dir.iterdir():
        target = ROOT / backup.name.replace("__", "/")
        print(f"restoring {target.relative_to(ROOT)} from an interrupted run", file=sys.stderr)
        restore(backup, target)


def failing_tests(ctest_output):
    failed = []
    _, marker, tail = ctest_output.partition("The following tests FAILED:")
    for line in tail.splitlines() if marker else []:
        m = re.match(r"\s*\d+ - (\S+) \(", line)
        if m:
            failed.append(m.group(1))
    return failed


def try_fault(fault, build, args, cache):
    targets = targets_for(build, fault.labels, cache)
    with Planted(fault, build / "mutants-backup"):
        if targets:
            cmd = ["cmake", "--build", str(build), "-j", str(args.jobs)]
            for t in targets:
                cmd += ["--target", t]
            made = run(cmd)
            if made.returncode != 0:
                return "build-error", [made.stdout[-2000:] + made.stderr[-2000:]]
        tested = run(["ctest", "--test-dir", str(build), "-L", label_regex(fault.labels), "-j", str(args.jobs),
                      "--timeout", str(args.timeout)])
        failed = failing_tests(tested.stdout)
        if tested.returncode != 0 and not failed:
            failed = ["(ctest failed without naming a test)"]
    return ("caught" if failed else "missed"), failed


def read_results(path):
    results = {}
    for line in pathlib.Path(path).read_text(encoding="utf-8").splitlines()[1:]:
        parts = line.split("\t")
        results[parts[0]] = parts[1]
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--faults", default=str(ROOT / "tools" / "mutants.txt"))
    parser.add_argument("--build", default=str(ROOT / "build"), help="a configured release tree")
    parser.add_argument("--only", nargs="*", help="fault ids (or prefixes) to run")
    parser.add_argument("--out", help="results file (default BUILD/mutants-results.tsv)")
    parser.add_argument("--compare", help="an earlier results file: report faults it caught and this run missed")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--timeout", type=int, default=120, help="seconds per test")
    parser.add_argument("--check", action="store_true", help="only check that every fault applies")
    args = parser.parse_args()

    build = pathlib.Path(args.build).resolve()
    faults = load_faults(args.faults)
    if args.only:
        faults = [f for f in faults if any(f.id.startswith(p) for p in args.only)]
    stale = [(f.id, problem) for f in faults if (problem := check(f))]
    for ident, problem in stale:
        print(f"{ident}: STALE: {problem}", file=sys.stderr)
    if args.check:
        print(f"{len(faults) - len(stale)} of {len(faults)} faults apply")
        return 1 if stale else 0

    # SIGTERM and SIGHUP end the run through the same path as Ctrl-C, so the file goes back.
    def interrupted(signum, _frame):
        raise KeyboardInterrupt(f"signal {signum}")

    signal.signal(signal.SIGTERM, interrupted)
    signal.signal(signal.SIGHUP, interrupted)
    restore_leftovers(build / "mutants-backup")

    out_path = pathlib.Path(args.out) if args.out else build / "mutants-results.tsv"
    results, cache, touched = [], {}, set()
    try:
        for n, fault in enumerate(faults, 1):
            if any(ident == fault.id for ident, _ in stale):
                results.append((fault.id, "stale", []))
                continue
            start = time.monotonic()
            result, failed = try_fault(fault, build, args, cache)
            touched.update(targets_for(build, fault.labels, cache))
            results.append((fault.id, result, failed))
            print(f"[{n}/{len(faults)}] {fault.id}: {result} ({len(failed)} failing, {time.monotonic() - start:.0f} s)",
                  flush=True)
            if result == "build-error":
                print(failed[0], file=sys.stderr)
    except KeyboardInterrupt:
        print("interrupted: the source is restored", file=sys.stderr)
    finally:
        with open(out_path, "w", encoding="utf-8") as out:
            out.write("fault\tresult\tfailing tests\n")
            for ident, result, failed in results:
                shown = failed if result != "build-error" else ["(see the run's output)"]
                out.write(f"{ident}\t{result}\t{' '.join(shown)}\n")
        # Leave the tree built from the original sources.
        if touched:
            cmd = ["cmake", "--build", str(build), "-j", str(args.jobs)]
            for t in sorted(touched):
                cmd += ["--target", t]
            run(cmd)

    caught = sum(1 for _, r, _ in results if r == "caught")
    print(f"{caught} of {len(results)} faults caught; results in {out_path}")
    if args.compare:
        before = read_results(args.compare)
        lost = [ident for ident, r, _ in results if r != "caught" and before.get(ident) == "caught"]
        for ident in lost:
            print(f"LOST: {ident} was caught in {args.compare}")
        return 1 if lost else 0
    return 0


if __name__ == "__main__":
    sys.exit(main())
