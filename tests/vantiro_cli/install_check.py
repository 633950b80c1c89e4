#!/usr/bin/env python3
"""Installs a build into a fresh prefix and checks what lands where: the program in bin/
(executable) and its manual page in share/man/man1/, nothing else.

usage: install_check.py --cmake CMAKE --build BUILD_DIR --program NAME
"""
import argparse
import os
import stat
import subprocess
import sys
import tempfile


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cmake", required=True)
    ap.add_argument("--build", required=True)
    ap.add_argument("--program", required=True)
    args = ap.parse_args()
    with tempfile.TemporaryDirectory() as prefix:
        subprocess.run([args.cmake, "--install", args.build, "--prefix", prefix],
                       check=True, stdout=subprocess.DEVNULL)
        found = sorted(os.path.relpath(os.path.join(d, f), prefix)
                       for d, _, files in os.walk(prefix) for f in files)
        expected = sorted([os.path.join("bin", args.program),
                           os.path.join("share", "man", "man1", "vantiro-cli.1")])
        errors = []
        if found != expected:
            errors.append(f"installed {found}, expected {expected}")
        program = os.path.join(prefix, "bin", args.program)
        if os.path.exists(program) and not os.stat(program).st_mode & stat.S_IXUSR:
            errors.append(f"{program} is not executable")
        page = os.path.join(prefix, "share", "man", "man1", "vantiro-cli.1")
        if os.path.exists(page):
            with open(page, encoding="utf-8") as f:
                if not f.read().startswith(".TH VANTIRO-CLI 1 "):
                    errors.append("the installed page is not the vantiro-cli(1) page")
        for e in errors:
            print(e, file=sys.stderr)
        if not errors:
            print("installed: " + ", ".join(found))
        return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
