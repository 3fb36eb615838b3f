#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Vardel developers

"""Puts small faults into the code one at a time and runs the test suite
against each, to see which faults the suite catches.

    python3 scripts/mutate.py [--build DIR] [--only ID,ID] [--check] [--exclude REGEX] [MUTATIONS_FILE]

Each fault in the file (scripts/mutations.txt by default) is written as

    @ ID path/to/file.cpp | what the fault is
    <<< text as it stands in the file (it must occur exactly once)
    >>> the text put in its place

"\\n" in either text stands for a line break, "\\\\n" for a backslash and n. The file is put back after each
fault, also when the run is interrupted. A fault whose build fails counts as
caught by the compiler and is listed apart. Not part of the suite: it takes
a rebuild and a full run per fault.
"""

import argparse
import os
import pathlib
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent


def unescape(text):
    # "\\n" is a line break; "\\\\n" the two characters backslash and n.
    return text.replace("\\\\n", "\0").replace("\\n", "\n").replace("\0", "\\n")


def parse(path):
    faults = []
    current = None
    for number, line in enumerate(path.read_text().splitlines(), 1):
        if line.startswith("@ "):
            head, _, what = line[2:].partition("|")
            ident, _, file = head.strip().partition(" ")
            current = {"id": ident, "file": file.strip(), "what": what.strip(), "line": number}
            faults.append(current)
        elif line.startswith("<<< ") and current:
            current["old"] = unescape(line[4:])
        elif line.startswith(">>> ") and current:
            current["new"] = unescape(line[4:])
    for f in faults:
        if "old" not in f or "new" not in f:
            sys.exit(f"{path}:{f['line']}: fault {f['id']} lacks its <<< or >>> line")
    return faults


def run(cmd, timeout):
    try:
        return subprocess.run(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True, timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return -1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mutations", nargs="?", default=str(ROOT / "scripts" / "mutations.txt"))
    parser.add_argument("--build", default="build-mutate")
    parser.add_argument("--only", default="")
    parser.add_argument("--check", action="store_true", help="only check that every fault applies")
    parser.add_argument("--exclude", default="", help="tests left out, as a ctest regular expression")
    args = parser.parse_args()

    faults = parse(pathlib.Path(args.mutations))
    if args.only:
        wanted = set(args.only.split(","))
        faults = [f for f in faults if f["id"] in wanted]

    # Every fault must apply to the code as it stands before any is tried.
    for f in faults:
        text = (ROOT / f["file"]).read_text()
        if text.count(f["old"]) != 1:
            sys.exit(f"fault {f['id']}: its text occurs {text.count(f['old'])} times in {f['file']}, not once")
    if args.check:
        print(f"{len(faults)} faults, each applies once")
        return 0

    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    os.environ.update(env)
    configure = ["cmake", "-S", ".", "-B", args.build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                 "-DVARDEL_BUILD_TESTS=ON", "-DVARDEL_SANITIZE=OFF"]
    if run(configure, 600) != 0 or run(["cmake", "--build", args.build], 1800) != 0:
        sys.exit("the unchanged code does not build")
    ctest = ["ctest", "--test-dir", args.build, "-j2", "--timeout", "120"]
    if args.exclude:
        ctest += ["-E", args.exclude]
    if run(ctest, 900) != 0:
        sys.exit("the suite fails on the unchanged code")

    caught, survived, compiler = [], [], []
    for f in faults:
        path = ROOT / f["file"]
        original = path.read_text()
        start = time.monotonic()
        try:
            path.write_text(original.replace(f["old"], f["new"], 1))
            if run(["cmake", "--build", args.build], 1800) != 0:
                compiler.append(f)
                verdict = "build fails"
            elif run(ctest, 900) != 0:
                caught.append(f)
                verdict = "caught"
            else:
                survived.append(f)
                verdict = "SURVIVED"
        finally:
            path.write_text(original)
        print(f"{f['id']:<12} {verdict:<12} {time.monotonic() - start:5.0f} s  {f['file']}: {f['what']}", flush=True)

    run(["cmake", "--build", args.build], 1800)
    tried = len(caught) + len(survived)
    print()
    print(f"{len(caught)} of {tried} faults caught ({100 * len(caught) // max(tried, 1)} %);"
          f" {len(compiler)} more did not build")
    for f in survived:
        print(f"survived: {f['id']} {f['file']}: {f['what']}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
