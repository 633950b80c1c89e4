#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target under fuzz/corpus/<target>/.

The seeds start each target on its interesting paths: valid signatures (also under the
unusual key encodings the verifier accepts), valid share sets, authentic GCM messages,
call sequences that instantiate the DRBG, and anchor texts in the forms DNS tools print. Keys and signatures come from Python's
cryptography package (OpenSSL) and from the small RFC 8032 arithmetic below; nothing is
taken from the library under test. Deterministic: the same files on every run.

Usage: python3 fuzz/make_corpus.py [outdir]   (default: fuzz/corpus next to this script)
"""
import hashlib
import os
import random
import struct
import sys

from cryptography.hazmat.primitives.asymmetric import ed25519, x25519
from cryptography.hazmat.primitives.ciphers.aead import AESGCM
from cryptography.hazmat.primitives import serialization

RAW = serialization.Encoding.Raw
rng = random.Random(20240601)


def rbytes(n):
    return bytes(rng.getrandbits(8) for _ in range(n))


class Fdp:
    """Builds input for LLVM's FuzzedDataProvider: byte strings are taken from the front,
    integers from the back (most significant byte first), as FuzzedDataProvider reads them."""

    def __init__(self):
        self.front = bytearray()
        self.back = bytearray()

    def int_range(self, lo, hi, value):
        assert lo <= value <= hi
        r, v, n = hi - lo, value - lo, 0
        while n < 8 and (r >> (8 * n)) > 0:
            n += 1
        self.back += v.to_bytes(n, "big") if n else b""
        return self

    def boolean(self, b):
        self.back.append(1 if b else 0)
        return self

    def data(self, b):
        self.front += b
        return self

    def build(self):
        return bytes(self.front) + bytes(reversed(self.back))


# ---- RFC 8032 arithmetic, for signatures under any key encoding ----------------------

P = 2**255 - 19
L = 2**252 + 27742317777372353535851937790883648493
D = -121665 * pow(121666, P - 2, P) % P
SQRTM1 = pow(2, (P - 1) // 4, P)


def inv(x):
    return pow(x, P - 2, P)


def add(a, b):
    (x1, y1), (x2, y2) = a, b
    t = D * x1 * x2 * y1 * y2 % P
    return ((x1 * y2 + x2 * y1) * inv(1 + t) % P, (y1 * y2 + x1 * x2) * inv(1 - t) % P)


def mul(k, pt):
    r = (0, 1)
    while k:
        if k & 1:
            r = add(r, pt)
        pt = add(pt, pt)
        k >>= 1
    return r


def recover_x(y, sign):
    """x for y with the given parity, or None; x = 0 keeps x = 0 whatever the sign."""
    xx = (y * y - 1) * inv(D * y * y + 1) % P
    x = pow(xx, (P + 3) // 8, P)
    if (x * x - xx) % P:
        x = x * SQRTM1 % P
    if (x * x - xx) % P:
        return None
    if x and (x & 1) != sign:
        x = P - x
    return x


def decode(enc):
    """Decodes as the verifier under test does: y taken modulo p, x = 0 with any sign."""
    n = int.from_bytes(enc, "little")
    y, sign = (n & (2**255 - 1)) % P, n >> 255
    x = recover_x(y, sign)
    return None if x is None else (x, y)


def encode(pt):
    x, y = pt
    return (y | (x & 1) << 255).to_bytes(32, "little")


B = (recover_x(4 * inv(5) % P, 0), 4 * inv(5) % P)


def sign_small_order_key(pk_enc, msg, s):
    """A signature (R, S) that a cofactorless verifier accepts under the small-order key
    pk_enc, hashed as given: with R = S*B the equation S*B = R + k*A holds whenever k*A is
    the identity, so message suffixes are tried until k is a multiple of A's order."""
    a = decode(pk_enc)
    assert a is not None
    r_enc = encode(mul(s, B))
    for tweak in range(10000):
        m = msg + tweak.to_bytes(2, "little") if tweak else msg
        k = int.from_bytes(hashlib.sha512(r_enc + pk_enc + m).digest(), "little") % L
        if mul(k, a) == (0, 1):
            return m, r_enc + s.to_bytes(32, "little")
    raise RuntimeError("no message found")


def write(outdir, target, name, content):
    d = os.path.join(outdir, target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(content)


def ed25519_seeds(out):
    # Mode byte: even = pk || sig || msg as given; odd = seed || tamper || msg.
    for n in (0, 1, 40, 200):
        sk = ed25519.Ed25519PrivateKey.from_private_bytes(rbytes(32))
        pk = sk.public_key().public_bytes(RAW, serialization.PublicFormat.Raw)
        msg = rbytes(n)
        write(out, "fuzz_ed25519_verify", f"valid-{n}", b"\0" + pk + sk.sign(msg) + msg)
    for tamper in (0, 1, 300, 768):
        write(out, "fuzz_ed25519_verify", f"sign-tamper-{tamper}",
              b"\1" + rbytes(32) + tamper.to_bytes(2, "big") + rbytes(tamper % 50))
    # Keys of small order, also in the encodings that only this verifier decodes: the
    # identity (y = 1) as is, with the sign bit, and as y = p + 1; y = p - 1 (order 2) with
    # the sign bit; y = 0 (order 4) as y = p.
    keys = {
        "identity": (1).to_bytes(32, "little"),
        "identity-sign": ((1 << 255) | 1).to_bytes(32, "little"),
        "identity-unreduced": (P + 1).to_bytes(32, "little"),
        "order2-sign": ((1 << 255) | (P - 1)).to_bytes(32, "little"),
        "order4-unreduced": P.to_bytes(32, "little"),
    }
    for name, pk in keys.items():
        msg, sig = sign_small_order_key(pk, b"small order", 5)
        write(out, "fuzz_ed25519_verify", name, b"\0" + pk + sig + msg)
    # S = L: must be rejected although the equation would hold for S = 0.
    pk = keys["identity"]
    msg, sig = sign_small_order_key(pk, b"s equals l", 0)
    write(out, "fuzz_ed25519_verify", "s-equals-l", b"\0" + pk + sig[:32] + L.to_bytes(32, "little") + msg)


def x25519_seeds(out):
    base = (9).to_bytes(32, "little")
    for i in range(3):
        # A 65th byte, odd, also runs the aliasing checks.
        write(out, "fuzz_x25519", f"base-{i}", rbytes(32) + base + (b"\x01" if i else b""))
    peer = x25519.X25519PrivateKey.from_private_bytes(rbytes(32)).public_key()
    write(out, "fuzz_x25519", "peer", rbytes(32) + peer.public_bytes(RAW, serialization.PublicFormat.Raw))
    write(out, "fuzz_x25519", "zero", rbytes(32) + bytes(32))
    write(out, "fuzz_x25519", "one", rbytes(32) + (1).to_bytes(32, "little"))
    write(out, "fuzz_x25519", "top-bit", rbytes(32) + ((1 << 255) | 9).to_bytes(32, "little"))
    write(out, "fuzz_x25519", "unreduced", rbytes(32) + (P + 9).to_bytes(32, "little"))


# ---- Shamir over GF(2^8) with the AES polynomial, for share records -----------------

def gmul(a, b):
    r = 0
    while b:
        if b & 1:
            r ^= a
        a = (a << 1) ^ (0x11B if a & 0x80 else 0)
        b >>= 1
    return r


def split(secret, n, t):
    rows = [bytearray() for _ in range(n)]
    for byte in secret:
        coeffs = [byte] + [rng.getrandbits(8) for _ in range(t - 1)]
        for j in range(n):
            x, acc, xp = j + 1, 0, 1
            for c in coeffs:
                acc ^= gmul(c, xp)
                xp = gmul(xp, x)
            rows[j].append(acc)
    return [bytes([j + 1]) + bytes(rows[j]) for j in range(n)]


def new_root():
    seed = rbytes(32)
    pk = ed25519.Ed25519PrivateKey.from_private_bytes(seed).public_key().public_bytes(
        RAW, serialization.PublicFormat.Raw)
    return seed + pk


def recover_seeds(out):
    def put(name, records):
        k = len(records)
        write(out, "fuzz_recover", name, bytes([(k - 2) % 16]) + b"".join(records))

    root35 = new_root()
    r35 = split(root35, 5, 3)
    put("3of5-135", [r35[0], r35[2], r35[4]])
    put("3of5-all", r35)
    put("3of5-too-few", r35[:2])
    put("3of5-repeated-x", [r35[0], r35[0], r35[1]])
    put("3of5-mixed", [r35[0], r35[1], split(new_root(), 5, 3)[2]])
    put("3of5-damaged-fifth", r35[:4] + [r35[4][:30] + bytes([r35[4][30] ^ 0x55]) + r35[4][31:]])
    put("x0-foreign-root", [r35[0], r35[1], b"\0" + new_root()])
    put("2of2", split(new_root(), 2, 2))
    put("16of16", split(new_root(), 16, 16))
    put("17-records", split(new_root(), 17, 2))


def gcm_seeds(out):
    def put(name, key, iv, aad, body, tag, null_aad=False, flip=0):
        f = Fdp().data(key + iv + tag).boolean(null_aad).int_range(0, 2**32 - 1, flip)
        f.int_range(0, 300, len(aad)).data(aad + body)
        write(out, "fuzz_gcm", name, f.build())

    for i, (na, nb) in enumerate([(0, 0), (0, 16), (13, 17), (20, 64)]):
        key, iv, aad, plain = rbytes(32), rbytes(12), rbytes(na), rbytes(nb)
        sealed = AESGCM(key).encrypt(iv, plain, aad if aad else None)
        put(f"authentic-{na}-{nb}", key, iv, aad, sealed[:-16], sealed[-16:], flip=rng.getrandbits(32))
    put("null-aad", rbytes(32), rbytes(12), b"", rbytes(33), rbytes(16), null_aad=True)


def hash_kdf_seeds(out):
    def op(sel):
        return Fdp().int_range(0, 10, sel)

    for sel in range(4):  # SHA-1, SHA-256, SHA-384, SHA-512: three pieces, then the rest
        f = op(sel).int_range(0, 12, 3)
        for c in (1, 63, 64):
            f.int_range(0, 300, c)
        write(out, "fuzz_hash_kdf", f"hash-{sel}", f.data(rbytes(300)).build())
    for sel, klen in ((4, 64), (5, 65), (6, 129)):  # HMAC at the key-length boundaries
        write(out, "fuzz_hash_kdf", f"hmac-{sel}",
              op(sel).int_range(0, 300, klen).data(rbytes(klen + 50)).build())
    for sel, hl in ((7, 32), (8, 48)):  # HKDF: short output, and at the length limit
        for short in (True, False):
            f = op(sel).boolean(False).int_range(0, 200, 13).int_range(0, 200, 22).boolean(short)
            n = 42 if short else 255 * hl
            f.int_range(0, 3 * hl + 1, n) if short else f.int_range(255 * hl - 2, 255 * hl + 2, n)
            f.int_range(0, n, n // 2)
            f.data(rbytes(13) + rbytes(22) + rbytes(10))
            write(out, "fuzz_hash_kdf", f"hkdf-{sel}-{'short' if short else 'limit'}", f.build())
    write(out, "fuzz_hash_kdf", "pbkdf2",
          op(9).int_range(0, 8, 2).int_range(0, 100, 40).int_range(0, 200, 8).data(rbytes(8) + rbytes(16)).build())


def drbg_seeds(out):
    def opt(f, data, typical, null=False):
        f.int_range(0, 7, 0 if null else 1).boolean(True).int_range(0, typical, len(data))
        f.data(data)

    def instantiate(f, elen=48):
        f.int_range(0, 6, 0).int_range(0, 15, 1)
        opt(f, rbytes(elen), 48)
        opt(f, rbytes(16), 16)
        opt(f, rbytes(20), 64)

    def generate(f, n, add=b""):
        f.int_range(0, 6, 3).int_range(0, 15, 1).int_range(0, 15, 1).int_range(0, 31, 1).int_range(0, 80, n)
        opt(f, add, 64)

    def reseed(f, add=b""):
        f.int_range(0, 6, 1).int_range(0, 15, 1)
        opt(f, rbytes(32), 48)
        opt(f, add, 64)

    f = Fdp()
    instantiate(f)
    generate(f, 20)
    generate(f, 16, rbytes(30))
    write(out, "fuzz_drbg", "instantiate-generate", f.build())

    f = Fdp()
    instantiate(f)
    reseed(f, rbytes(10))
    generate(f, 64)
    f.int_range(0, 6, 5).int_range(0, 7, 1)  # uninstantiate
    generate(f, 8)
    write(out, "fuzz_drbg", "reseed-uninstantiate", f.build())

    f = Fdp()
    instantiate(f)
    f.int_range(0, 6, 6).int_range(0, 2, 2)  # counter to 2^48 + 1
    generate(f, 8)
    reseed(f)
    generate(f, 8)
    write(out, "fuzz_drbg", "reseed-required", f.build())

    f = Fdp()
    instantiate(f, elen=31)
    write(out, "fuzz_drbg", "short-entropy", f.build())


def anchor_seeds(out):
    def anchor(first):
        sk = ed25519.Ed25519PrivateKey.from_private_bytes(bytes(range(first, first + 32)))
        pk = sk.public_key().public_bytes(RAW, serialization.PublicFormat.Raw)
        return pk, "k=%s s=%s" % (pk.hex(), sk.sign(pk + b"operator").hex())

    def put(name, text):
        write(out, "fuzz_anchor", name, text.encode("utf-8"))

    pk1, rec1 = anchor(0)
    _, rec2 = anchor(1)
    half = rec1.index(" s=") + 1
    put("zone-line", '_key.example.org. 3600 IN TXT "%s"\n' % rec1)
    put("dig", "\n; <<>> DiG <<>> TXT _key.example.org\n;; global options: +cmd\n"
        ";; QUESTION SECTION:\n;_key.example.org.\t\tIN\tTXT\n\n;; ANSWER SECTION:\n"
        '_key.example.org.\t3600\tIN\tTXT\t"%s"\n\n;; MSG SIZE  rcvd: 283\n\n' % rec1)
    put("split-escaped", '\ufeff_KEY.sub 1h in Txt ( "%s" "\\115%s" ) ; split\r\n'
        % (rec1[:half], rec1[half + 1:]))
    put("host-nslookup", '_key.example.org descriptive text "%s"\r_key.example.org\ttext =\r\r\t"%s"\r'
        % (rec1, rec1))
    put("two", '"%s"\n"%s"\n' % (rec1, rec2))
    y8 = 0x05FC536D880238B13933C6D305ACDFD5F098EFF289F4C345B027B2C28F95E826
    put("small-order", "k=%s s=%s\n" % ((y8 | 1 << 255).to_bytes(32, "little").hex(), "00" * 64))
    write(out, "fuzz_anchor", "raw-key", pk1)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    for make in (ed25519_seeds, x25519_seeds, recover_seeds, gcm_seeds, hash_kdf_seeds, drbg_seeds,
                 anchor_seeds):
        rng.seed(make.__name__)  # one stream per target: a change to one leaves the others
        make(out)


if __name__ == "__main__":
    main()
