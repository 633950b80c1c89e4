#!/usr/bin/env bash
# Developer tool, not run by CI: do the wipe tests notice a missing wipe? Takes out one
# secure_zero(...) call at a time from the .cpp files of the ceremony core, the Shamir
# module and the entropy module, rebuilds what links that module, runs its tests (and the
# black-box and residue tests when vantiro-cli links it), and prints "noticed" or
# "NOT NOTICED" per call, then a count. The file is restored after each try, also on
# interrupt.
#
# Usage: scripts/wipe_removals.sh [BUILD_DIR] [FILE:LINE ...]
#   BUILD_DIR defaults to build (configured already); FILE:LINE picks some calls only.
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 - "$@" <<'PY'
import json, os, re, shutil, signal, subprocess, sys

build = sys.argv[1] if len(sys.argv) > 1 else "build"
only = set(sys.argv[2:])
# module -> (test-program prefixes, does vantiro-cli link it?)
MODULES = {
    "entropy": (["entropy"], False),
    "shamir_gf256": (["shamir_gf256", "vantiro_core"], True),
    "vantiro_core": (["vantiro_core"], True),
}
BLACKBOX = ["vantiro_cli_blackbox", "vantiro_cli_residue"]


def run(cmd):
    return subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode


# The ctest tests of each module's test programs, leaving out the valgrind constant-time
# programs (a missing wipe does not change their timing).
listing = json.loads(subprocess.run(["ctest", "--test-dir", build, "--show-only=json-v1"],
                                    capture_output=True, text=True, check=True).stdout)
tests, programs = {}, {}
for t in listing["tests"]:
    exe = os.path.basename(t.get("command", [""])[0])
    for module, (prefixes, _) in MODULES.items():
        if any(exe.startswith(p + "_") and exe.endswith("_test") for p in prefixes):
            tests.setdefault(module, []).append(t["name"])
            programs.setdefault(module, set()).add(exe)


def exact(names):
    return "^(" + "|".join(re.escape(n) for n in names) + ")$"


def calls(path):
    """(line, start, end) of each secure_zero(...) call expression in the file's code."""
    text = open(path).read()
    for m in re.finditer(r"\bsecure_zero\s*\(", text):
        line_start = text.rfind("\n", 0, m.start()) + 1
        if "//" in text[line_start:m.start()]:
            continue
        depth, i = 0, m.end() - 1
        while True:
            depth += {"(": 1, ")": -1}.get(text[i], 0)
            if depth == 0:
                break
            i += 1
        yield text.count("\n", 0, m.start()) + 1, m.start(), i + 1


sites = []
for module in MODULES:
    folder = os.path.join("src", module)
    for name in sorted(os.listdir(folder)):
        if name.endswith(".cpp"):
            path = os.path.join(folder, name)
            sites += [(module, path, *c) for c in calls(path)]
if only:
    sites = [s for s in sites if f"{s[1]}:{s[2]}" in only]


def interrupted(signum, frame):
    raise KeyboardInterrupt


signal.signal(signal.SIGTERM, interrupted)
scratch = os.path.join(build, "wipe_removals.orig")
missed, failed_builds = [], []
try:
    for module, path, line, start, end in sites:
        original = open(path).read()
        shutil.copyfile(path, scratch)
        try:
            with open(path, "w") as f:
                f.write(original[:start] + "(void)0" + original[end:])
            in_cli = MODULES[module][1]
            targets = sorted(programs[module]) + (["vantiro-cli"] if in_cli else [])
            if run(["cmake", "--build", build, "-j2", "--target", *targets]) != 0:
                failed_builds.append(f"{path}:{line}")
                print(f"BUILD FAILED  {path}:{line}", flush=True)
                continue
            ctest = ["ctest", "--test-dir", build, "-j2", "--stop-on-failure", "-R"]
            noticed = run(ctest + [exact(tests[module])]) != 0
            if not noticed and in_cli:
                noticed = run(ctest + [exact(BLACKBOX)]) != 0
        finally:
            shutil.copyfile(scratch, path)
            os.remove(scratch)
        print(f"{'noticed' if noticed else 'NOT NOTICED'}  {path}:{line}", flush=True)
        if not noticed:
            missed.append(f"{path}:{line}")
except KeyboardInterrupt:
    print("interrupted; the source is restored", file=sys.stderr)
    sys.exit(130)
finally:
    run(["cmake", "--build", build, "-j2", "--target", "vantiro-cli",
         *sorted(set().union(*programs.values()))])

tried = len(sites) - len(failed_builds)
print(f"{tried - len(missed)} of {tried} removals noticed"
      + (f"; {len(failed_builds)} did not build" if failed_builds else ""))
for m in missed:
    print(f"  not noticed: {m}")
sys.exit(1 if missed or failed_builds else 0)
PY
