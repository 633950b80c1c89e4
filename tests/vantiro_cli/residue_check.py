#!/usr/bin/env python3
"""Memory-residue check of vantiro-cli: after mint, after recover, after a refused
recover, after sign (in each format), reshare, reissue, successor and revoke, after keygen and
the sealed mint, sign and
recover, and after a mint to an OpenPGP certificate and a sign --gpg, no secret of the run may remain anywhere in the process's memory.

Each command runs under gdb, which stops it at the exit_group system call and writes a
core file. The secrets are learnt from the files the run wrote (the shares recombined
here for mint, the root file for recover): the seed, both halves of SHA-512(seed) (the
clamped scalar and its unclamped form, and the prefix), the message schedule of the
seed's block (the block can be run back from it), the root's seed-bearing bytes and every
share record. The core is searched for every 16-byte window of each, also with the
bytes of each 4- and 8-byte word reversed at every alignment (hash states and message
schedules hold words in native order).

Usage: residue_check.py --cli PATH [--gdb PATH]
"""
import argparse
import hashlib
import hmac
import os
import shutil
import subprocess
import sys
import tempfile

WINDOW = 16
# A window counts only when at least this many of its bytes are secret. With fewer, the
# public bytes decide: a window of one seed byte and 15 bytes of the public key matches
# wherever the key follows a byte of that value (one chance in 256), not a leak.
MIN_SECRET = 8
MARKER_FQDN = "residue-marker-7f3a.example"


# ---- GF(2^8) interpolation, written here independently of the product ---------------

def gf_mul(a, b):
    p = 0
    while b:
        if b & 1:
            p ^= a
        a = ((a << 1) ^ 0x11B) if a & 0x80 else (a << 1)
        b >>= 1
    return p


def gf_inv(a):
    r = 1
    for _ in range(254):  # a^254 = a^-1
        r = gf_mul(r, a)
    return r


def combine(records):
    xs = [r[0] for r in records]
    out = bytearray(64)
    for i, rec in enumerate(records):
        num, den = 1, 1
        for j, xj in enumerate(xs):
            if j != i:
                num = gf_mul(num, xj)
                den = gf_mul(den, xj ^ xs[i])
        lag = gf_mul(num, gf_inv(den))
        for p in range(64):
            out[p] ^= gf_mul(rec[1 + p], lag)
    return bytes(out)


# ---- patterns -------------------------------------------------------------------------

def variants(data, secret):
    """(bytes, secret flags) of data as stored, and with each g-byte word reversed for g in
    4 and 8 at each alignment offset."""
    yield data, secret
    for g in (4, 8):
        for off in range(g):
            b, s = bytearray(data), list(secret)
            for start in range(off, len(data) - g + 1, g):
                b[start:start + g] = data[start:start + g][::-1]
                s[start:start + g] = secret[start:start + g][::-1]
            yield bytes(b), s


def windows(name, data, secret=None):
    """Every 16-byte window of every variant that holds at least MIN_SECRET secret bytes."""
    secret = secret if secret is not None else [True] * len(data)
    out = {}
    for var, flags in variants(data, secret):
        for i in range(len(var) - WINDOW + 1):
            if sum(flags[i:i + WINDOW]) >= MIN_SECRET:
                out[var[i:i + WINDOW]] = name
    return out


def search(blob, patterns):
    """Names of the patterns found in blob. Every 16-byte window at offset q covers the
    8 bytes at the next multiple of 8, so scanning those chunks finds every occurrence."""
    index = {}
    for pat, name in patterns.items():
        for d in range(8):
            index.setdefault(pat[d:d + 8], []).append((d, pat, name))
    found = {}
    view = memoryview(blob)
    for q8 in range(0, len(blob) - 7, 8):
        hits = index.get(view[q8:q8 + 8].tobytes())
        if not hits:
            continue
        for d, pat, name in hits:
            q = q8 - d
            if q >= 0 and blob[q:q + WINDOW] == pat:
                found.setdefault(name, q)
    return found


def self_test():
    """The search finds planted windows, reversed words included, and nothing else."""
    secret = hashlib.sha512(b"planted").digest()
    pats = windows("planted", secret)
    filler = hashlib.sha256(b"x").digest() * 400
    for var, _ in list(variants(secret, [True] * 64))[:3] + list(variants(secret, [True] * 64))[-2:]:
        for shift in range(9):
            blob = filler[:1000 + shift] + var[10:10 + 20] + filler[:333]
            assert "planted" in search(blob, pats), ("planted window missed", shift)
    assert not search(filler, pats), "false positive"
    # A public key after a byte that equals the seed's last one is no copy of the seed;
    # half of the seed beside the key is.
    seed, key = secret[:32], hashlib.sha256(b"key").digest()
    pats = windows("root", seed + key, [True] * 32 + [False] * 32)
    assert not search(filler[:100] + seed[-1:] + key + filler[:100], pats), "key counted as seed"
    assert search(filler[:100] + seed[-8:] + key + filler[:100], pats), "half seed missed"


# ---- running under gdb ---------------------------------------------------------------

# The program makes itself non-dumpable at start. A tracer without CAP_SYS_PTRACE can
# then no longer read its memory, so for such a user gdb turns that one prctl call
# (PR_SET_DUMPABLE = 4, argument in rsi on x86-64) into PR_SET_DUMPABLE 1 at the system
# call's entry. Nothing else of the run changes; as root the product runs untouched.
KEEP_DUMPABLE = """catch syscall prctl
commands
silent
if $rdi == 4
set $rsi = 1
end
continue
end
"""


def core_at_exit(gdb, core, argv, cwd):
    script = os.path.join(cwd, "residue.gdb")
    with open(script, "w") as f:
        f.write("set pagination off\nset confirm off\n")
        if os.geteuid() != 0:
            f.write(KEEP_DUMPABLE)
        f.write(f"catch syscall exit_group\nrun\ngcore {core}\nkill\n")
    cmd = [gdb, "-nx", "-batch", "-x", script, "--args"] + argv
    p = subprocess.run(cmd, capture_output=True, cwd=cwd, timeout=600)
    if not os.path.exists(core):
        sys.exit(f"gdb wrote no core:\n{p.stdout.decode()}\n{p.stderr.decode()}")
    with open(core, "rb") as f:
        blob = f.read()
    os.remove(core)
    return blob, p.stdout.decode("latin-1")


def ctx_nonce(root, statement):
    """The windows of the Ed25519ctx nonce with which root signed a statement file: its
    context is the first line, its message every byte before "signature: "."""
    context = statement.split(b"\n", 1)[0]
    body = statement[:statement.index(b"signature: ")]
    dom = b"SigEd25519 no Ed25519 collisions" + bytes([0, len(context)]) + context
    nonce = hashlib.sha512(dom + hashlib.sha512(root[:32]).digest()[32:] + body).digest()
    ell = 2**252 + 27742317777372353535851937790883648493
    pats = windows("statement nonce", nonce)
    pats.update(windows("statement nonce r",
                        (int.from_bytes(nonce, "little") % ell).to_bytes(32, "little")))
    return pats


def sha512_schedule_tail(block):
    """The last 16 words of the SHA-512 message schedule of one block, in native order: what
    a one-block compression leaves in its ring of words, from which the block can be run
    back."""
    mask = (1 << 64) - 1
    rotr = lambda x, n: ((x >> n) | (x << (64 - n))) & mask
    w = [int.from_bytes(block[8 * i:8 * i + 8], "big") for i in range(16)]
    for t in range(16, 80):
        s0 = rotr(w[t - 15], 1) ^ rotr(w[t - 15], 8) ^ (w[t - 15] >> 7)
        s1 = rotr(w[t - 2], 19) ^ rotr(w[t - 2], 61) ^ (w[t - 2] >> 6)
        w.append((w[t - 16] + s0 + w[t - 7] + s1) & mask)
    return b"".join(x.to_bytes(8, "little") for x in w[64:])


def secrets_of_root(root, records):
    seed = root[:32]
    h = hashlib.sha512(seed).digest()
    scalar = bytearray(h[:32])
    scalar[0] &= 248
    scalar[31] &= 127
    scalar[31] |= 64
    pats = {}
    pats.update(windows("root seed", seed))
    pats.update(windows("root (seed and key)", root, [True] * 32 + [False] * 32))
    pats.update(windows("SHA-512(seed) first half, clamped", bytes(scalar)))
    pats.update(windows("SHA-512(seed) first half", h[:32]))
    pats.update(windows("SHA-512(seed) prefix", h[32:]))
    pats.update(windows("SHA-512(seed)", h))
    seed_block = seed + b"\x80" + bytes(128 - 32 - 1 - 16) + (256).to_bytes(16, "big")
    pats.update(windows("SHA-512(seed) message schedule", sha512_schedule_tail(seed_block)))
    for rec in records:
        name = f"share record x={rec[0]}"
        pats.update(windows(name, rec, [False] + [True] * 64))
        pats.update(windows(name + " row", rec[1:]))
    return pats


def transcript_secrets(root, path):
    """The root's own secrets and the Ed25519ctx nonce of the transcript's last entry: what
    signing the entry leaves if it is not wiped."""
    with open(path, "rb") as f:
        entry = f.read().split(b"\n\n")[-1]
    pats = secrets_of_root(root, [])
    pats.update(ctx_nonce(root, entry))
    return pats


# ---- HPKE secrets of a sealed share, derived here from the custodian's key ----------

KEM_ID = b"KEM\x00\x20"
SUITE_ID = b"HPKE\x00\x20\x00\x01\x00\x02"


def labeled_extract(salt, suite, label, ikm):
    return hmac.new(salt or bytes(32), b"HPKE-v1" + suite + label + ikm, hashlib.sha256).digest()


def labeled_expand(prk, suite, label, info, n):
    info = n.to_bytes(2, "big") + b"HPKE-v1" + suite + label + info
    out, t, i = b"", b"", 1
    while len(out) < n:
        t = hmac.new(prk, t + info + bytes([i]), hashlib.sha256).digest()
        out, i = out + t, i + 1
    return out[:n]


def open_sealed(text, sk):
    """(record, secrets) of a sealed share opened with the custodian's secret key sk: the
    Diffie-Hellman output, the shared secret, the schedule's secret, key and nonce, which
    sender and recipient both hold. None without Python's cryptography."""
    try:
        from cryptography.hazmat.primitives.asymmetric.x25519 import (X25519PrivateKey,
                                                                      X25519PublicKey)
        from cryptography.hazmat.primitives.ciphers.aead import AESGCM
    except ImportError:
        return None
    info = text[:text.index(b"sealed: ")]
    sealed = bytes.fromhex(text.split(b"sealed: ")[1].split(b"\n")[0].decode())
    enc, ct = sealed[:32], sealed[32:]
    priv = X25519PrivateKey.from_private_bytes(sk)
    dh = priv.exchange(X25519PublicKey.from_public_bytes(enc))
    pk_r = priv.public_key().public_bytes_raw()
    eae = labeled_extract(b"", KEM_ID, b"eae_prk", dh)
    shared = labeled_expand(eae, KEM_ID, b"shared_secret", enc + pk_r, 32)
    context = (b"\x00" + labeled_extract(b"", SUITE_ID, b"psk_id_hash", b"") +
               labeled_extract(b"", SUITE_ID, b"info_hash", info))
    secret = labeled_extract(shared, SUITE_ID, b"secret", b"")
    key = labeled_expand(secret, SUITE_ID, b"key", context, 32)
    nonce = labeled_expand(secret, SUITE_ID, b"base_nonce", context, 12)
    record = AESGCM(key).decrypt(nonce, ct, b"")  # proves the derivation right
    pats = {}
    for name, value in (("HPKE DH output", dh), ("HPKE shared secret", shared),
                        ("HPKE key-schedule secret", secret), ("HPKE key", key),
                        ("HPKE eae_prk", eae)):
        pats.update(windows(name, value))
    pats.update(windows("HPKE base nonce", nonce + bytes(4), [True] * 12 + [False] * 4))
    return record, pats


def hkdf_sha256(ikm, salt, info, n=32):
    prk = hmac.new(salt or bytes(32), ikm, hashlib.sha256).digest()
    return hmac.new(prk, info + b"\x01", hashlib.sha256).digest()[:n]


def identity_key(text):
    """The X25519 secret key of an age identity file, by Bech32 decoding written here."""
    alphabet = "qpzry9x8gf2tvdw0s3jn54khce6mua7l"
    line = [l for l in text.decode().splitlines() if l.startswith("AGE-SECRET-KEY-1")][-1]
    bits = "".join(f"{alphabet.index(c):05b}" for c in line.lower()[16:-6])
    return bytes(int(bits[i:i + 8], 2) for i in range(0, 256, 8))


def open_age(data, sk):
    """(record, secrets) of an age share opened with the custodian's secret key sk: the
    X25519 shared secret, the wrap key, the file key, the header and payload keys, and the
    share text's record in hex. None without Python's cryptography."""
    try:
        from cryptography.hazmat.primitives.asymmetric.x25519 import (X25519PrivateKey,
                                                                      X25519PublicKey)
        from cryptography.hazmat.primitives.ciphers.aead import ChaCha20Poly1305
    except ImportError:
        return None
    import base64
    unb64 = lambda t: base64.b64decode(t + "=" * (-len(t) % 4))
    lines = data.split(b"\n")
    eph = unb64(lines[1].split()[2].decode())
    wrapped = unb64(lines[2].decode())
    priv = X25519PrivateKey.from_private_bytes(sk)
    shared = priv.exchange(X25519PublicKey.from_public_bytes(eph))
    wrap = hkdf_sha256(shared, eph + priv.public_key().public_bytes_raw(),
                       b"age-encryption.org/v1/X25519")
    file_key = ChaCha20Poly1305(wrap).decrypt(bytes(12), wrapped, b"")
    start = data.index(b"\n---") + 1
    start = data.index(b"\n", start) + 1
    nonce = data[start:start + 16]
    payload_key = hkdf_sha256(file_key, nonce, b"payload")
    text = ChaCha20Poly1305(payload_key).decrypt(bytes(11) + b"\x01", data[start + 16:], b"")
    record_hex = text.split(b"record: ")[1].split(b"\n")[0]
    pats = {}
    for name, value in (("age shared secret", shared), ("age wrap key", wrap),
                        ("age file key", file_key), ("age header key",
                                                     hkdf_sha256(file_key, b"", b"header")),
                        ("age payload key", payload_key), ("share text record", record_hex)):
        pats.update(windows(name, value))
    return bytes.fromhex(record_hex.decode()), pats


def check(label, blob, pats, controls):
    for what, needle in controls:
        if needle not in blob:
            sys.exit(f"{label}: the core lacks the control {what}; the check would be blind")
    found = search(blob, pats)
    print(f"{label}: core of {len(blob)} bytes, {len(pats)} secret windows searched, "
          f"{len(found)} secrets found")
    for name, offset in sorted(found.items()):
        print(f"  RESIDUE: {name} at core offset {offset}")
    return not found


def check_sealed(gdb, cli, tmp):
    """keygen, then a 2-of-3 mint to three custodians (share 2 as an age share to the age
    recipient of a keygen key, the others sealed), a sign and a recover from a sealed and
    an age share opened with their --key files: no root, record, custodian secret key (nor
    its age identity text), HPKE or age secret may remain."""
    keys, tos, identities = [], [], []
    for i in range(3):
        key, pub = os.path.join(tmp, f"c{i}.key"), os.path.join(tmp, f"c{i}.pub")
        blob, _ = core_at_exit(gdb, os.path.join(tmp, "keygen.core"), [cli, "keygen", key, pub],
                               tmp)
        with open(key, "rb") as f:
            text = f.read()
        keys.append(identity_key(text))
        identities.append(text.split(b"\n")[2])
        recipient = text.split(b"# public key: ")[1].split(b"\n")[0].decode()
        tos += ["--to", recipient if i == 1 else pub]
        if i == 0 and not check("keygen", blob, {**windows("custodian secret key", keys[0]),
                                                 **windows("age identity", identities[0])},
                                [("argv path", key.encode())]):
            return False
    out = os.path.join(tmp, "sealed")
    os.makedirs(out)
    blob, _ = core_at_exit(gdb, os.path.join(tmp, "mint-to.core"),
                           [cli, "mint"] + tos + ["3", "2", MARKER_FQDN, out], tmp)
    paths = [os.path.join(out, f"share-0{x}.{'age' if x == 2 else 'sealed'}") for x in (1, 2, 3)]
    opened = []
    for p, sk in zip(paths, keys):
        with open(p, "rb") as f:
            opened.append((open_age if p.endswith(".age") else open_sealed)(f.read(), sk))
    if opened[0] is None:
        print("sealed shares: skipped (Python's cryptography is missing)")
        return True
    records = [r for r, _ in opened]
    root = combine(records[:2])
    with open(os.path.join(out, "operator.pub"), "rb") as f:
        if root[32:] != f.read():
            sys.exit("the sealed shares opened here do not rebuild operator.pub")
    pats = secrets_of_root(root, records)
    for sk, identity, (_, sealing) in zip(keys, identities, opened):
        pats.update(windows("custodian secret key", sk))
        pats.update(windows("age identity", identity))
        pats.update(sealing)
    ok = check("mint --to", blob, pats, [("argv fqdn", MARKER_FQDN.encode())])
    anchor = os.path.join(out, "_key.txt")
    msg = os.path.join(tmp, "sealed-message")
    with open(msg, "wb") as f:
        f.write(b"sealed ceremony\n")
    given = ["--key", os.path.join(tmp, "c0.key"), "--key", os.path.join(tmp, "c1.key")]
    for label, argv, written in (
            ("sign --key", [cli, "sign"] + given + [anchor, msg, msg + ".sig", paths[0], paths[1]],
             msg + ".sig"),
            ("recover --key", [cli, "recover"] + given + [os.path.join(tmp, "sealed-root.key"),
                                                          paths[0], paths[1]],
             os.path.join(tmp, "sealed-root.key"))):
        blob, _ = core_at_exit(gdb, os.path.join(tmp, "sealed.core"), argv, tmp)
        if not os.path.exists(written):
            sys.exit(f"{label} under gdb wrote nothing")
        ok &= check(label, blob, pats, [("argv output path", written.encode())])
    return ok


def check_openpgp(gdb, cli, tmp):
    """mint with an OpenPGP certificate among the custodians, and sign --gpg from its share
    opened by gpg: no root, record, share text (its record in hex) or OpenPGP session key may
    remain. Skipped without gpg."""
    gpg = shutil.which("gpg")
    if gpg is None:
        print("OpenPGP shares: skipped (gpg is missing)")
        return True
    home = os.path.join(tmp, "gnupg")
    os.makedirs(home, mode=0o700)
    run = lambda *a, **kw: subprocess.run([gpg, "--homedir", home, "--batch", "--quiet", *a],
                                          capture_output=True, check=True, **kw)
    try:
        uid = "Residue Custodian <r@example.org>"
        run("--passphrase", "", "--quick-gen-key", uid, "ed25519", "cert", "never")
        fpr = [l.split(":")[9] for l in run("--with-colons", "--list-keys", uid,
                                             text=True).stdout.splitlines()
               if l.startswith("fpr:")][0]
        run("--passphrase", "", "--quick-add-key", fpr, "cv25519", "encr", "never")
        cert = os.path.join(tmp, "custodian.asc")
        with open(cert, "wb") as f:
            f.write(run("--export", "--armor", fpr).stdout)
        key, pub = os.path.join(tmp, "pgp-other.key"), os.path.join(tmp, "pgp-other.pub")
        subprocess.run([cli, "keygen", key, pub], capture_output=True, check=True)
        out = os.path.join(tmp, "pgp")
        os.makedirs(out)
        blob, _ = core_at_exit(gdb, os.path.join(tmp, "mint-pgp.core"),
                               [cli, "mint", "--to", cert, "--to", pub, "2", "2", MARKER_FQDN,
                                out], tmp)
        asc = os.path.join(out, "share-01.asc")
        opened = run("--decrypt", "--show-session-key", asc)
        text = opened.stdout
        session = opened.stderr.decode().split("session key: '")[1].split("'")[0].split(":")[1]
        with open(os.path.join(out, "share-02.sealed"), "rb") as f:
            sealed = open_sealed(f.read(), identity_key(open(key, "rb").read()))
        if sealed is None:
            print("OpenPGP shares: skipped (Python's cryptography is missing)")
            return True
        record_hex = text.split(b"record: ")[1].split(b"\n")[0]
        records = [bytes.fromhex(record_hex.decode()), sealed[0]]
        root = combine(records)
        pats = secrets_of_root(root, records)
        pats.update(windows("share text record", record_hex))
        pats.update(windows("OpenPGP session key", bytes.fromhex(session)))
        pats.update(sealed[1])
        ok = check("mint --to certificate", blob, pats, [("argv fqdn", MARKER_FQDN.encode())])
        msg = os.path.join(tmp, "pgp-message")
        with open(msg, "wb") as f:
            f.write(b"openpgp ceremony\n")
        os.environ["GNUPGHOME"] = home
        blob, _ = core_at_exit(gdb, os.path.join(tmp, "sign-pgp.core"),
                               [cli, "sign", "--gpg", "--key", key, os.path.join(out, "_key.txt"),
                                msg, msg + ".sig", asc, os.path.join(out, "share-02.sealed")], tmp)
        if not os.path.exists(msg + ".sig"):
            sys.exit("sign --gpg under gdb wrote nothing")
        return check("sign --gpg", blob, pats, [("argv output path", (msg + ".sig").encode())]) and ok
    finally:
        os.environ.pop("GNUPGHOME", None)
        subprocess.run(["gpgconf", "--homedir", home, "--kill", "all"], capture_output=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--gdb", default="gdb")
    opts = ap.parse_args()
    cli = os.path.abspath(opts.cli)
    self_test()
    tmp = tempfile.mkdtemp(prefix="vt-residue-")
    ok = True
    try:
        out = os.path.join(tmp, "out")
        os.makedirs(out)
        # Every command keeps the ceremony's transcript: each entry is signed by the root.
        transcript = os.path.join(tmp, "ceremony.transcript")
        logged = ["--transcript", transcript]
        blob, stdout = core_at_exit(opts.gdb, os.path.join(tmp, "mint.core"),
                                    [cli, "mint", "5", "3", MARKER_FQDN, out] + logged, tmp)
        def read(name):
            with open(os.path.join(out, name), "rb") as f:
                return f.read()
        records = [read(f"share-0{x}.share") for x in range(1, 6)]
        pub = read("operator.pub")
        root = combine(records[:3])
        if root[32:] != pub or combine(records[2:]) != root:
            sys.exit("the checker's own recombination does not give operator.pub")
        anchor_hex = stdout.split(" s=")[1][:128].encode()
        pats = secrets_of_root(root, records)
        pats.update(ctx_nonce(root, read("revoke.txt")))
        pats.update(transcript_secrets(root, transcript))
        ok &= check("mint", blob, pats,
                    [("argv fqdn", MARKER_FQDN.encode()), ("anchor text", anchor_hex)])

        key = os.path.join(tmp, "root.key")
        shares = [os.path.join(out, f"share-0{x}.share") for x in (1, 3, 5)]
        blob, stdout = core_at_exit(opts.gdb, os.path.join(tmp, "recover.core"),
                                    [cli, "recover", key] + shares + logged, tmp)
        with open(key, "rb") as f:
            rebuilt = f.read()
        if rebuilt != root:
            sys.exit("recover under gdb did not write the minted root")
        ok &= check("recover", blob, {**secrets_of_root(rebuilt, [records[0], records[2], records[4]]),
                                      **transcript_secrets(root, transcript)},
                    [("argv path", key.encode()), ("pubkey text", pub.hex().encode())])

        # A refused recovery: a damaged fourth share makes the command rebuild the root
        # again and again while it looks for the file that does not fit.
        damaged = bytearray(records[1])
        damaged[20] ^= 0x01
        damaged_path = os.path.join(tmp, "damaged.share")
        with open(damaged_path, "wb") as f:
            f.write(damaged)
        refused_key = os.path.join(tmp, "refused.key")
        blob, _ = core_at_exit(opts.gdb, os.path.join(tmp, "refused.core"),
                               [cli, "recover", refused_key] + shares + [damaged_path], tmp)
        if os.path.exists(refused_key):
            sys.exit("the refused recovery wrote a root file")
        ok &= check("refused recover", blob,
                    secrets_of_root(root, [records[0], records[2], records[4], bytes(damaged)]),
                    [("argv path", damaged_path.encode())])

        # sign: the root rebuilt in memory signs a message; the seed, the secret scalar,
        # the prefix and the nonce must all be gone at exit.
        msg = os.path.join(tmp, "message.bin")
        with open(msg, "wb") as f:
            f.write(os.urandom(200000))
        sig_path = os.path.join(tmp, "message.sig")
        blob, _ = core_at_exit(opts.gdb, os.path.join(tmp, "sign.core"),
                               [cli, "sign", os.path.join(out, "_key.txt"), msg, sig_path] + shares +
                               logged, tmp)
        if not os.path.exists(sig_path):
            sys.exit("sign under gdb wrote no signature")
        with open(msg, "rb") as f:
            message = f.read()
        pats = secrets_of_root(root, [records[0], records[2], records[4]])
        nonce = hashlib.sha512(hashlib.sha512(root[:32]).digest()[32:] + message).digest()
        ell = 2**252 + 27742317777372353535851937790883648493
        pats.update(windows("nonce SHA-512(prefix || M)", nonce))
        pats.update(windows("nonce hash's first message schedule", sha512_schedule_tail(
            hashlib.sha512(root[:32]).digest()[32:] + message[:96])))
        pats.update(windows("nonce r", (int.from_bytes(nonce, "little") % ell).to_bytes(32, "little")))
        pats.update(transcript_secrets(root, transcript))
        ok &= check("sign", blob, pats, [("argv message path", msg.encode())])
        # sign in each format for a stock verifier: the nonce of the signature over what
        # each form signs (the message, its BLAKE2b-512, the SSHSIG blob) must be gone too.
        prefix = hashlib.sha512(root[:32]).digest()[32:]
        def ssh_string(b):
            return len(b).to_bytes(4, "big") + b
        signed = {"signify": message,
                  "minisign": hashlib.blake2b(message).digest(),
                  "ssh": b"SSHSIG" + ssh_string(b"file") + ssh_string(b"")
                         + ssh_string(b"sha512") + ssh_string(hashlib.sha512(message).digest())}
        for fmt, what in signed.items():
            path = os.path.join(tmp, f"message.{fmt}.sig")
            blob, _ = core_at_exit(opts.gdb, os.path.join(tmp, f"sign-{fmt}.core"),
                                   [cli, "sign", "--format", fmt, os.path.join(out, "_key.txt"),
                                    msg, path] + shares, tmp)
            if not os.path.exists(path):
                sys.exit(f"sign --format {fmt} under gdb wrote no signature")
            pats = secrets_of_root(root, [records[0], records[2], records[4]])
            nonce = hashlib.sha512(prefix + what).digest()
            pats.update(windows("nonce SHA-512(prefix || M)", nonce))
            pats.update(windows("nonce r", (int.from_bytes(nonce, "little") % ell).to_bytes(32, "little")))
            ok &= check(f"sign --format {fmt}", blob, pats, [("argv message path", msg.encode())])

        # reshare and reissue: the rebuilt root, the given shares and the new ones.
        anchor = os.path.join(out, "_key.txt")
        new_dir = os.path.join(tmp, "reshared")
        os.makedirs(new_dir)
        blob, _ = core_at_exit(opts.gdb, os.path.join(tmp, "reshare.core"),
                               [cli, "reshare", "--split", os.path.join(out, "shares.txt"), "3",
                                "2", anchor, new_dir] + shares + logged, tmp)
        new_records = []
        for x in (1, 2, 3):
            with open(os.path.join(new_dir, f"share-0{x}.share"), "rb") as f:
                new_records.append(f.read())
        if combine(new_records[:2]) != root:
            sys.exit("reshare under gdb did not split the minted root")
        ok &= check("reshare", blob,
                    {**secrets_of_root(root, [records[0], records[2], records[4]] + new_records),
                     **transcript_secrets(root, transcript)},
                    [("argv outdir", new_dir.encode())])
        reissue_dir = os.path.join(tmp, "reissued")
        os.makedirs(reissue_dir)
        blob, _ = core_at_exit(opts.gdb, os.path.join(tmp, "reissue.core"),
                               [cli, "reissue", "2", anchor, reissue_dir] + shares + logged, tmp)
        with open(os.path.join(reissue_dir, "share-02.share"), "rb") as f:
            if f.read() != records[1]:
                sys.exit("reissue under gdb did not reproduce share 2")
        ok &= check("reissue", blob, {**secrets_of_root(root, records),
                                      **transcript_secrets(root, transcript)},
                    [("argv outdir", reissue_dir.encode())])
        # With the split record, which the rebuilt root signs again.
        recorded_dir = os.path.join(tmp, "reissued-recorded")
        os.makedirs(recorded_dir)
        blob, _ = core_at_exit(opts.gdb, os.path.join(tmp, "reissue-split.core"),
                               [cli, "reissue", "--split", os.path.join(out, "shares.txt"), "4",
                                anchor, recorded_dir] + shares + logged, tmp)
        if not os.path.exists(os.path.join(recorded_dir, "shares.txt")):
            sys.exit("reissue --split under gdb wrote no split record")
        ok &= check("reissue --split", blob, {**secrets_of_root(root, records),
                                              **transcript_secrets(root, transcript)},
                    [("argv outdir", recorded_dir.encode())])
        with open(transcript, "rb") as f:
            if f.read().count(b"vantiro transcript v1\n") != 6:
                sys.exit("the commands under gdb did not each append a transcript entry")
        # successor and revoke: the rebuilt root signs a statement, for another root's anchor
        # or against itself.
        other = os.path.join(tmp, "other")
        os.makedirs(other)
        subprocess.run([cli, "mint", "2", "2", "other.example", other], check=True,
                       capture_output=True)
        for label, argv in (
                ("successor", [cli, "successor", anchor, os.path.join(other, "_key.txt")]),
                ("revoke", [cli, "revoke", "--reason", "residue check", anchor])):
            written = os.path.join(tmp, label + ".txt")
            blob, _ = core_at_exit(opts.gdb, os.path.join(tmp, label + ".core"),
                                   argv + [written] + shares, tmp)
            if not os.path.exists(written):
                sys.exit(f"{label} under gdb wrote no statement")
            with open(written, "rb") as f:
                statement = f.read()
            pats = secrets_of_root(root, [records[0], records[2], records[4]])
            pats.update(ctx_nonce(root, statement))
            ok &= check(label, blob, pats, [("argv out", written.encode())])
        ok &= check_sealed(opts.gdb, cli, tmp)
        ok &= check_openpgp(opts.gdb, cli, tmp)
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    if not ok:
        sys.exit(1)
    print("no residue")


if __name__ == "__main__":
    main()
