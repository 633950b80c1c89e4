#!/usr/bin/env python3
"""Wildcard expansion by the Windows start-up code: a pattern given to recover reaches
the program as the matching share files, one argument each, as a POSIX shell would
deliver them. No shell is involved here: the pattern is passed to the program verbatim.

usage: wildcard_test.py --cli PATH --launcher "wine-run.sh PREFIX" [unittest options]
"""
import argparse
import os
import shlex
import shutil
import subprocess
import sys
import tempfile
import unittest

OPTS = None
NOT_A_ROOT = ("ERROR: recover failed: the shares do not rebuild a root (too few shares, "
              "or shares of different roots)\n")


class WildcardRecover(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="vt-glob-")
        cls.shares = os.path.join(cls.tmp, "shares")
        os.mkdir(cls.shares)
        rc, _, err = cls.run_cli("mint", "5", "3", "example.org", "shares")
        assert rc == 0, err
        with open(os.path.join(cls.shares, "operator.pub"), "rb") as f:
            cls.pub = f.read().hex()
        # Windows patterns know only * and ?, so subsets get folders of their own.
        for folder, xs in (("three", (1, 3, 5)), ("two", (2, 4))):
            os.mkdir(os.path.join(cls.tmp, folder))
            for x in xs:
                name = f"share-{x:02d}.share"
                shutil.copy(os.path.join(cls.shares, name), os.path.join(cls.tmp, folder, name))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    @classmethod
    def run_cli(cls, *args):
        p = subprocess.run(shlex.split(OPTS.launcher) + [OPTS.cli] + list(args), cwd=cls.tmp,
                           capture_output=True, timeout=120)
        out = p.stdout.decode("latin-1").replace("\r\n", "\n")
        err = p.stderr.decode("latin-1").replace("\r\n", "\n")
        return p.returncode, out, err

    def recovered(self, out_name, pattern, expect_pub=True):
        rc, out, err = self.run_cli("recover", out_name, pattern)
        self.assertEqual((rc, err), (0, ""), out)
        self.assertEqual(out.splitlines()[1], "  pubkey: " + self.pub)
        with open(os.path.join(self.tmp, out_name), "rb") as f:
            self.assertEqual(f.read()[32:].hex(), self.pub)

    def test_pattern_of_all_five_relative_and_absolute(self):
        self.recovered("root-rel.key", "shares/share-*.share")
        self.recovered("root-abs.key", os.path.join(self.shares, "share-*.share"))

    def test_pattern_of_three_and_single_character_pattern(self):
        self.recovered("root-3.key", "three/share-*.share")
        self.recovered("root-q.key", "shares/share-0?.share")

    def test_pattern_of_two_reaches_recover_as_two_files(self):
        # Two files of a 3-of-5 root: not a root, so the pattern gave exactly those two
        # (one file would be "need >= t shares", an unexpanded pattern "cannot read").
        rc, out, err = self.run_cli("recover", "root-2.key", "two/*.share")
        self.assertEqual((rc, out, err), (1, "", NOT_A_ROOT))
        self.assertFalse(os.path.exists(os.path.join(self.tmp, "root-2.key")))

    def test_pattern_matching_nothing_is_passed_unchanged(self):
        rc, out, err = self.run_cli("recover", "root-0.key", "shares/share-01.share",
                                    "shares/none-*.share")
        self.assertEqual(rc, 1)
        self.assertEqual(out, "")
        self.assertEqual(err, "ERROR: cannot read shares/none-*.share\n"
                              "ERROR: shares/none-*.share is not a 65-byte share\n")


def main():
    global OPTS
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--launcher", required=True)
    OPTS, rest = ap.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
