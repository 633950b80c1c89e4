#!/usr/bin/env python3
"""Turns the benchmark program's JSON (and hyperfine's) into bench/RESULTS.md.

Usage: report.py MAIN.json NOAESNI.json HYPERFINE_DIR OUT.md COMPILER [SV.json SV_MEM.txt]
MAIN.json is the full run, NOAESNI.json the OpenSSL AES rows run again with AES-NI and
carry-less multiply off; HYPERFINE_DIR holds round-*.json from the whole-process rounds;
SV.json and SV_MEM.txt are the 256 MiB sign and verify runs (hyperfine; the peak memory in
KiB of vantiro sign, openssl sign, vantiro verify, openssl verify, one per line).
"""
import glob
import json
import os
import statistics
import subprocess
import sys

# Display order and labels of the rows.
ROWS = [
    ("sha1/64B", "SHA-1, 64 B"), ("sha1/1KiB", "SHA-1, 1 KiB"), ("sha1/1MiB", "SHA-1, 1 MiB"),
    ("sha256/64B", "SHA-256, 64 B"), ("sha256/1KiB", "SHA-256, 1 KiB"),
    ("sha256/1MiB", "SHA-256, 1 MiB"),
    ("sha384/64B", "SHA-384, 64 B"), ("sha384/1KiB", "SHA-384, 1 KiB"),
    ("sha384/1MiB", "SHA-384, 1 MiB"),
    ("sha512/64B", "SHA-512, 64 B"), ("sha512/1KiB", "SHA-512, 1 KiB"),
    ("sha512/1MiB", "SHA-512, 1 MiB"),
    ("hmac-sha256/64B", "HMAC-SHA-256, 64 B"),
    ("pbkdf2-sha256/iteration", "PBKDF2-HMAC-SHA-256, per iteration"),
    ("hkdf-sha256/32B", "HKDF-SHA-256 extract + expand 32 B"),
    ("aes256/block", "AES-256, one block"),
    ("gcm-encrypt/1KiB", "AES-256-GCM encrypt, 1 KiB"),
    ("gcm-decrypt/1KiB", "AES-256-GCM decrypt, 1 KiB"),
    ("gcm-encrypt/1MiB", "AES-256-GCM encrypt, 1 MiB"),
    ("gcm-decrypt/1MiB", "AES-256-GCM decrypt, 1 MiB"),
    ("ed25519/keygen", "Ed25519 key generation"),
    ("ed25519/sign-40B", "Ed25519 sign, 40 B"),
    ("ed25519/verify-40B", "Ed25519 verify, 40 B"),
    ("x25519/shared", "X25519 shared secret"),
    ("shamir-split/3-of-5", "Shamir split 64 B, 3-of-5"),
    ("shamir-combine/3-of-5", "Shamir combine 64 B, 3-of-5"),
    ("shamir-split/16-of-16", "Shamir split 64 B, 16-of-16"),
    ("shamir-combine/16-of-16", "Shamir combine 64 B, 16-of-16"),
    ("ctr-drbg/64B", "CTR_DRBG generate, 64 B"),
    ("ctr-drbg/1KiB", "CTR_DRBG generate, 1 KiB"),
    ("aes256/block@portable", "AES-256, one block (portable code)"),
    ("gcm-encrypt/1MiB@portable", "AES-256-GCM encrypt, 1 MiB (portable code)"),
    ("gcm-decrypt/1MiB@portable", "AES-256-GCM decrypt, 1 MiB (portable code)"),
    ("ctr-drbg/1KiB@portable", "CTR_DRBG generate, 1 KiB (portable code)"),
    ("entropy-gather/32B", "Entropy gather, 32 B (peers: plain 32-byte draw)"),
]

# (row, peer, minimum ratio ours/peer)
TARGETS = [
    ("sha256/1MiB", "sodium", 0.9), ("sha512/1MiB", "sodium", 0.9),
    ("sha512/1MiB", "openssl", 1.0),
    ("x25519/shared", "sodium", 0.7), ("ed25519/sign-40B", "sodium", 0.15),
    ("ed25519/verify-40B", "sodium", 0.2),
    ("gcm-encrypt/1MiB", "openssl", 0.8), ("gcm-decrypt/1MiB", "openssl", 0.8),
    ("ctr-drbg/1KiB", "openssl", 0.5),
]

# (row of the portable code, minimum MB/s)
FLOORS = [("gcm-encrypt/1MiB", 20), ("gcm-decrypt/1MiB", 20)]


NOTES = [
    "## Notes",
    "",
    "- The Curve25519 rows run this library's AVX2 lane code (two or four field products side by "
    "side, each lane with the one-element products and carries) where the processor has AVX2; "
    "elsewhere the one-at-a-time code runs, with the same results and about half the speed.",
    "- Ed25519 here has no precomputed tables, one constant-time scalar multiplication (an "
    "addition at every bit) for every use, and decodes the base point on every call; libsodium "
    "signs with precomputed base-point tables.",
    "- SHA-256 runs on the processor's SHA extensions where it has them (the CPU above does), "
    "the portable code elsewhere; libsodium's SHA-256 has no such path.",
    "- `mint` writes 18 files and calls fsync on each: its wall time is mostly the disk.",
    "- Neither peer has a health-tested entropy source; their entropy rows are a plain 32-byte "
    "draw (`RAND_bytes`, `randombytes_buf`).",
    "- Figures are from one run on a shared machine; single ratios moved by about a tenth "
    "between runs.",
]


def load(path):
    """{(row, impl): (rate, unit)} from median aggregates (or plain runs)."""
    with open(path) as f:
        doc = json.load(f)
    out = {}
    for b in doc["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        row, impl = b["run_name"].rsplit("/", 1)
        if "bytes_per_second" in b:
            out[(row, impl)] = (b["bytes_per_second"], "B/s")
        elif "items_per_second" in b:
            out[(row, impl)] = (b["items_per_second"], "op/s")
    return doc["context"], out


def fmt(v):
    if v is None:
        return "—"
    rate, unit = v
    if unit == "B/s":
        return "%.1f MB/s" % (rate / 1e6) if rate < 1e9 else "%.2f GB/s" % (rate / 1e9)
    return "%.0f op/s" % rate if rate < 1e5 else "%.0fk op/s" % (rate / 1e3)


def ratio(ours, theirs):
    if ours is None or theirs is None:
        return None
    return ours[0] / theirs[0]


def fr(r):
    return "—" if r is None else "%.2f" % r


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown"


def whole_process(hdir):
    """Median over rounds of each command's median time and of its ratio to genpkey."""
    rounds = sorted(glob.glob(os.path.join(hdir, "round-*.json")))
    times, ratios = {}, {}
    for path in rounds:
        with open(path) as f:
            res = {r["command"]: r for r in json.load(f)["results"]}
        base = res["openssl genpkey"]["median"]
        for name, r in res.items():
            times.setdefault(name, []).append(r["median"])
            ratios.setdefault(name, []).append(r["median"] / base)
    return len(rounds), {k: statistics.median(v) for k, v in times.items()}, \
        {k: statistics.median(v) for k, v in ratios.items()}


def main():
    main_json, noaesni_json, hdir, out_md, compiler = sys.argv[1:6]
    ctx, res = load(main_json)
    _, noaesni = load(noaesni_json)
    lines = []
    lines.append("# Benchmark results")
    lines.append("")
    lines.append("Written by `scripts/bench.sh`; do not edit by hand.")
    lines.append("")
    lines.append("- Date: %s" % ctx.get("date", "?"))
    lines.append("- Compiler: %s (Release)" % compiler)
    lines.append("- CPU: %s, %s CPUs (shared machine, load average %s at start)" % (
        cpu_model(), ctx.get("num_cpus", "?"),
        ", ".join("%.1f" % x for x in ctx.get("load_avg", []))))
    ver = subprocess.run(["openssl", "version"], capture_output=True, text=True).stdout.strip()
    lines.append("- Peers: %s (libcrypto); libsodium %s" % (ver, sodium_version()))
    lines.append("")
    lines.append("Throughput per CPU second, median of the repetitions; the peers ran in the same "
                 "process and run, row next to row. Ratio = ours / theirs (above 1: ours is "
                 "faster). \"no AES-NI\" is OpenSSL run in a second process of the same binary with "
                 "`OPENSSL_ia32cap=~0x200000200000000` (AES-NI and PCLMULQDQ off); the rows "
                 "marked \"portable code\" are ours from that process, with our instruction path "
                 "off too (the constant-time bitsliced AES and integer-multiplication GHASH).")
    lines.append("")
    lines.append("| Operation | vantiro | OpenSSL | ratio | OpenSSL no AES-NI | ratio | libsodium | ratio |")
    lines.append("|---|---:|---:|---:|---:|---:|---:|---:|")
    for row, label in ROWS:
        # "@portable" rows: ours from the second process (instruction path off).
        portable = row.endswith("@portable")
        row = row.split("@")[0]
        ours = (noaesni if portable else res).get((row, "vantiro"))
        ossl = res.get((row, "openssl"))
        slow = noaesni.get((row, "openssl"))
        sod = res.get((row, "sodium"))
        lines.append("| %s | %s | %s | %s | %s | %s | %s | %s |" % (
            label, fmt(ours), fmt(ossl), fr(ratio(ours, ossl)), fmt(slow), fr(ratio(ours, slow)),
            fmt(sod), fr(ratio(ours, sod))))
    lines.append("")
    lines.append("## Targets")
    lines.append("")
    lines.append("| Target | ratio | required | met |")
    lines.append("|---|---:|---:|---|")
    for row, peer, need in TARGETS:
        r = ratio(res.get((row, "vantiro")), res.get((row, peer)))
        met = "—" if r is None else ("yes" if r >= need else "no")
        lines.append("| %s vs %s | %s | ≥ %.2f | %s |" % (row, peer, fr(r), need, met))
    for row, floor in FLOORS:
        v = noaesni.get((row, "vantiro"))
        met = "—" if v is None else ("yes" if v[0] >= floor * 1e6 else "no")
        lines.append("| %s, portable code | %s | ≥ %d MB/s | %s |" % (row, fmt(v), floor, met))

    n, times, ratios = whole_process(hdir)
    if n:
        lines.append("")
        lines.append("## Whole process")
        lines.append("")
        lines.append("Wall time of the release binary (static, hardened: what operators run) "
                     "with hyperfine, %d rounds; each round measures the baseline "
                     "`openssl genpkey -algorithm ed25519` and then every command, so baseline and "
                     "commands alternate. Median over the rounds of each round's median; ratio = "
                     "command / baseline of the same round (below 1: faster than the baseline)." % n)
        lines.append("")
        lines.append("| Command | wall time | ratio to genpkey | required |")
        lines.append("|---|---:|---:|---|")
        for name in times:
            need = "≤ 0.50" if name == "vantiro-cli selftest" else ""
            lines.append("| `%s` | %.2f ms | %.2f | %s |" % (name, times[name] * 1e3, ratios[name], need))
    if len(sys.argv) > 7:
        lines.extend(sign_verify(sys.argv[6], sys.argv[7]))
    lines.append("")
    lines.extend(NOTES)
    with open(out_md, "w") as f:
        f.write("\n".join(lines) + "\n")


def sign_verify(sv_json, mem_txt):
    """The 256 MiB sign and verify table: wall time, ratio to OpenSSL, peak memory."""
    with open(sv_json) as f:
        res = {r["command"]: r for r in json.load(f)["results"]}
    with open(mem_txt) as f:
        kib = [int(x) for x in f.read().split()]
    names = ["vantiro-cli sign", "openssl pkeyutl -sign", "vantiro-cli verify",
             "openssl pkeyutl -verify", "vantiro-cli sign --format minisign",
             "vantiro-cli sign --format ssh"]
    mem = dict(zip(names, kib))
    out = ["", "## Signing and verifying a 256 MiB file", "",
           "Whole processes (the release binary) with hyperfine (%d runs each, commands "
           "alternating), one key and one "
           "file for both; the two signatures are compared byte for byte. `openssl pkeyutl "
           "-rawin` reads the whole message into memory and hashes it twice; `vantiro-cli sign` "
           "reads it twice in 128 KiB pieces, exactly as many bytes as the file had when opened, "
           "and hashes each pass twice: SHA-512 (nonce, then challenge) and SHA-256 (the two "
           "must agree, proving the file did not change; the second is the report's digest). "
           "A second thread reads the pieces ahead and runs the SHA-256 on them while the "
           "first runs the SHA-512; `verify` reads ahead the same way and hashes once. "
           "`sign --format minisign` and `--format ssh` sign a prehash (BLAKE2b-512, SHA-512) "
           "and read the file once, with the SHA-256 beside it; their ratio is to "
           "`openssl pkeyutl -sign`. "
           "Peak memory: maximum resident set (GNU time), one run each." %
           len(res[names[0]]["times"]), "",
           "| Command | wall time | ratio to OpenSSL | peak memory | required |",
           "|---|---:|---:|---:|---|"]
    for ours, peer, need in ((names[0], names[1], "≤ 1.00"), (names[2], names[3], "≤ 0.80")):
        for name, req in ((ours, need), (peer, "")):
            t = res[name]["median"]
            out.append("| `%s` | %.0f ms | %.2f | %.1f MiB | %s |" % (
                name, t * 1e3, t / res[peer]["median"], mem.get(name, 0) / 1024, req))
    for name in names[4:]:
        if name in res:
            t = res[name]["median"]
            out.append("| `%s` | %.0f ms | %.2f | %.1f MiB | %s |" % (
                name, t * 1e3, t / res[names[1]]["median"], mem.get(name, 0) / 1024, "one pass"))
    return out


def sodium_version():
    r = subprocess.run(["pkg-config", "--modversion", "libsodium"], capture_output=True, text=True)
    return r.stdout.strip() or "?"


if __name__ == "__main__":
    main()
