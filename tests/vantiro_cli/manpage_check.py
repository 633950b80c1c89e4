#!/usr/bin/env python3
"""Checks the manual page against the program: every error line, report line and the
usage text that the command-line sources print must appear in the rendered page.

usage: manpage_check.py --mandoc MANDOC --page vantiro-cli.1 SOURCE.cpp...
"""
import argparse
import re
import subprocess
import sys

SKIP = 77  # CTest's SKIP_RETURN_CODE for this test


def c_strings(source):
    """The string literals of a C++ source, adjacent literals joined, escapes decoded."""
    text = re.sub(r"//[^\n]*", "", source)
    out = []
    for m in re.finditer(r'(?:"(?:[^"\\\n]|\\.)*"\s*)+', text):
        parts = re.findall(r'"((?:[^"\\\n]|\\.)*)"', m.group(0))
        out.append(bytes("".join(parts), "utf-8").decode("unicode_escape"))
    return out


def as_pattern(fmt):
    """A printf format as a regular expression over the rendered page: each conversion
    matches any word the page puts in its place (such as path or code)."""
    pattern = ""
    for piece in re.split(r"(%[-0-9.]*[sdux])", fmt.strip()):
        if piece.startswith("%"):
            pattern += r"\S+"
        elif piece.strip():
            if piece[0].isspace() and pattern:
                pattern += r"\s+"
            pattern += r"\s+".join(re.escape(w) for w in piece.split())
            if piece[-1].isspace():
                pattern += r"\s+"
    return re.compile(pattern)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--mandoc", required=True)
    ap.add_argument("--page", required=True)
    ap.add_argument("sources", nargs="+")
    args = ap.parse_args()

    page = subprocess.run([args.mandoc, "-T", "ascii", "-O", "width=400", args.page],
                          check=True, capture_output=True, text=True).stdout
    page = re.sub(r".\x08", "", page)  # overstrike for bold and underline
    page = page.replace("\u2010", "-")

    texts = []
    for path in args.sources:
        with open(path, encoding="utf-8") as f:
            texts += c_strings(f.read())
    wanted = []
    for s in texts:
        for line in s.split("\n"):
            line = line.strip()
            # Messages and report lines: errors, verdicts, the report heads and the usage.
            if re.match(r"(ERROR: |FAIL|PASS|oom$|== |vantiro-cli |Ardessa Vantiro CLI)", line) \
                    or "wrote" in line or "NOW:" in line or "reconstruct it" in line \
                    or "DISTRIBUTE" in line or "matches:" in line or "valid:" in line:
                wanted.append(line)
    if not wanted:
        print("no message found in the sources: nothing to compare", file=sys.stderr)
        return SKIP

    flat = " ".join(page.split())
    missing = [w for w in wanted if not as_pattern(w).search(flat)]
    for w in missing:
        print(f"not in the manual page: {w!r}", file=sys.stderr)
    print(f"{len(wanted) - len(missing)} of {len(wanted)} program texts found in the manual page")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
