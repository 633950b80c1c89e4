#!/usr/bin/env python3
"""Runs the README's walkthroughs literally: every "$ " line of its code blocks, in order, in
one empty directory, with the program on the PATH (the network's `dig` lines left out).

A command whose shown output holds ERROR lines must fail with exactly those lines on
standard error; any other must succeed with nothing on standard error. Every other shown
line must be a line of what the command printed, hex runs of 8 digits or more standing for
any hex, and a line with "..." standing for its text up to there.

usage: readme_test.py --cli PATH --readme README.md
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

HEX = re.compile(r"[0-9a-f]{8,}")


def walkthrough(readme):
    """The (line number, command, shown output lines) of every "$ " line, in order."""
    steps, fenced, indent, current = [], False, "", None
    for number, raw in enumerate(readme.splitlines(), start=1):
        stripped = raw.lstrip()
        if stripped.startswith("```"):
            # A block's text after its last command is that command's; a new block begins
            # with none.
            fenced, indent, current = not fenced, raw[:len(raw) - len(stripped)], None
            continue
        if not fenced:
            continue
        line = raw[len(indent):] if raw.startswith(indent) else raw
        if line.startswith("$ "):
            current = (number, line[2:], [])
            steps.append(current)
        elif current is not None:
            current[2].append(line)
    return steps


def shown_matches(shown, printed):
    shown = HEX.sub("<hex>", shown.rstrip())
    if shown.strip() in ("", "..."):
        return True
    if "..." in shown:
        head = shown[:shown.index("...")]
        return any(p.startswith(head) for p in printed)
    return shown in printed


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--readme", required=True)
    args = ap.parse_args()
    with open(args.readme, encoding="utf-8") as f:
        steps = walkthrough(f.read())
    cli_dir = os.path.dirname(os.path.abspath(args.cli))
    env = dict(os.environ, PATH=cli_dir + os.pathsep + os.environ.get("PATH", ""))
    work = tempfile.mkdtemp(prefix="vt-readme-")
    failures = 0
    try:
        for number, command, shown in steps:
            if re.search(r"\bdig\b", command):
                continue
            p = subprocess.run(["bash", "-c", "umask 022; " + command], cwd=work, env=env,
                               capture_output=True, timeout=300)
            out = p.stdout.decode("utf-8", "replace")
            err = p.stderr.decode("utf-8", "replace")
            printed = [HEX.sub("<hex>", l) for l in (out + err).splitlines()]
            errors = [HEX.sub("<hex>", l) for l in shown if l.startswith("ERROR: ")]
            problems = []
            if errors:
                got = [HEX.sub("<hex>", l) for l in err.splitlines()]
                if p.returncode == 0 or got != errors:
                    problems.append(f"expected failure with {errors}, got status "
                                    f"{p.returncode} and {got}")
            elif p.returncode != 0 or err:
                problems.append(f"status {p.returncode}, standard error {err!r}")
            problems += [f"not printed: {l!r}" for l in shown
                         if not l.startswith("ERROR: ") and not shown_matches(l, printed)]
            for problem in problems:
                print(f"README.md:{number}: {command}\n  {problem}")
            failures += len(problems)
            if problems:
                print("  printed:\n" + "".join(f"    {l}\n" for l in (out + err).splitlines()))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    ran = sum(1 for _, c, _ in steps if not re.search(r"\bdig\b", c))
    print(f"{ran} README commands run, {failures} problem(s)")
    return 1 if failures or ran == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
