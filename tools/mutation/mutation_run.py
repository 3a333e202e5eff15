#!/usr/bin/env python3
"""Plants one-line bugs one at a time and tells which of them the tests catch.

Each mutation in the list file (mutations.txt beside this script, or the file given with
--list) names a source file, a line's text as it is and as the bug makes it, and the tests
that should catch it. For every mutation the script checks that the text occurs exactly once,
plants the bug, rebuilds those tests in the build tree, runs them, and puts the file back
(also when it is interrupted). A mutation is killed when a test fails or crashes, survives when
they all pass. A mutant that does not build is reported apart and not counted.

    tools/mutation/mutation_run.py [--build build-tests] [--list FILE] [--only NAME...]

The build tree must be configured already (see README: the tests' tree, with the sanitizers).
Exits 0 when the kill rate is at least --target percent (default 90).
"""
import argparse
import os
import subprocess
import sys
import time

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def parse(path):
    """The mutations: dicts with name, file, before, after and tests."""
    mutations, current = [], None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if not line.strip():
                continue
            kind, _, text = line.partition(" ")
            if kind == "#":
                continue
            if kind == "name":
                current = {"name": text.strip(), "line": number}
                mutations.append(current)
            elif current is None:
                sys.exit(f"{path}:{number}: a mutation starts with 'name'")
            elif kind == "file":
                current["file"] = text.strip()
            elif kind == "-":
                current["before"] = text
            elif kind == "+":
                current["after"] = text
            elif kind == "tests":
                current["tests"] = text.split()
            else:
                sys.exit(f"{path}:{number}: unknown line kind {kind!r}")
    for m in mutations:
        missing = {"file", "before", "after", "tests"} - m.keys()
        if missing:
            sys.exit(f"{path}:{m['line']}: mutation {m['name']} lacks {', '.join(sorted(missing))}")
    return mutations


def environment():
    env = dict(os.environ)
    env.update({
        "QT_QPA_PLATFORM": "offscreen",
        "ASAN_OPTIONS": "detect_leaks=0:abort_on_error=1",
        "UBSAN_OPTIONS": "print_stacktrace=1:halt_on_error=1",
    })
    return env


def run_tests(build, tests, timeout):
    """'killed by NAME' when a test fails, None when all pass."""
    for test in tests:
        try:
            result = subprocess.run(["ctest", "--test-dir", build, "-R", f"^{test}$",
                                     "--output-on-failure", "--timeout", str(timeout)],
                                    env=environment(), capture_output=True, text=True)
        except OSError as e:
            return f"killed (ctest: {e})"
        if "No tests were found" in result.stdout + result.stderr:
            sys.exit(f"no test named {test} in {build}")
        if result.returncode != 0:
            return f"killed by {test}"
    return None


def build(build_dir, tests):
    result = subprocess.run(["cmake", "--build", build_dir, "-j2", "--target", *tests],
                            capture_output=True, text=True)
    return result.returncode == 0


def mutate(m, build_dir, timeout):
    path = os.path.join(TOP, m["file"])
    with open(path, encoding="utf-8") as f:
        original = f.read()
    count = original.count(m["before"])
    if count != 1:
        return "not planted", f"the text occurs {count} times in {m['file']}"
    try:
        with open(path, "w", encoding="utf-8") as f:
            f.write(original.replace(m["before"], m["after"]))
        if not build(build_dir, m["tests"]):
            return "did not build", ""
        verdict = run_tests(build_dir, m["tests"], timeout)
        return ("killed", verdict) if verdict else ("survived", "")
    finally:
        with open(path, "w", encoding="utf-8") as f:
            f.write(original)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.path.join(TOP, "build-tests"))
    parser.add_argument("--list", default=os.path.join(os.path.dirname(__file__), "mutations.txt"))
    parser.add_argument("--only", nargs="*", help="names of the mutations to run")
    parser.add_argument("--timeout", type=int, default=300)
    parser.add_argument("--target", type=float, default=90.0)
    args = parser.parse_args()

    mutations = parse(args.list)
    if args.only:
        mutations = [m for m in mutations if m["name"] in args.only]
    counts = {}
    started = time.time()
    # The tests must pass before any bug is planted, or a "kill" would mean nothing.
    every_test = sorted({t for m in mutations for t in m["tests"]})
    if not build(args.build, every_test):
        sys.exit("the tests do not build without mutations")
    failing = run_tests(args.build, every_test, args.timeout)
    if failing:
        sys.exit(f"the tests fail without mutations ({failing})")
    for m in mutations:
        status, detail = mutate(m, args.build, args.timeout)
        counts[status] = counts.get(status, 0) + 1
        print(f"{status:13} {m['name']}: {m['file']}" + (f" ({detail})" if detail else ""),
              flush=True)
    # The sources are back as they were: the tests are rebuilt from them.
    build(args.build, every_test)
    killed, survived = counts.get("killed", 0), counts.get("survived", 0)
    planted = killed + survived
    rate = 100.0 * killed / planted if planted else 0.0
    print(f"\n{planted} mutations planted, {killed} killed, {survived} survived "
          f"({rate:.0f} %); {counts.get('did not build', 0)} did not build, "
          f"{counts.get('not planted', 0)} not planted; {time.time() - started:.0f} s")
    return 0 if planted and rate >= args.target else 1


if __name__ == "__main__":
    sys.exit(main())
