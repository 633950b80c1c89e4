// OpenPGP certificates: the sample key and signature of RFC 9580 appendix A.1-A.2 (the
// fingerprint, and the signature checked by the same path self-signatures take), then a
// table of certificates built here, packet by packet, and signed with Ed25519 as RFC 9580
// frames v4 signatures: what the reader accepts, shows and refuses, and with which reason.
// Every truncation of a good certificate is refused.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "crypt.h"
#include "openpgp_internal.h"
#include "test_support.h"

namespace {

using vt::bytes;

// ---- Building certificates ----

struct Signer {
  uint8_t pk[32];
  uint8_t sk[64];
};

Signer signer(uint64_t seed) {
  Signer k;
  ed25519_seed_keypair(k.pk, k.sk, vt::pseudo_random(32, seed).data());
  return k;
}

bytes be(uint64_t v, int n) {
  bytes b;
  for (int i = n - 1; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  return b;
}

bytes cat(std::initializer_list<bytes> parts) {
  bytes out;
  for (const bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

bytes text(const std::string& s) { return bytes(s.begin(), s.end()); }

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// A packet with an OpenPGP-format header.
bytes pkt(uint8_t tag, const bytes& body) {
  const size_t n = body.size();
  bytes head = {static_cast<uint8_t>(0xC0 | tag)};
  if (n < 192) {
    head.push_back(static_cast<uint8_t>(n));
  } else if (n < 8384) {
    head = cat({head, be(((n - 192) >> 8) + 192, 1), be((n - 192) & 0xFF, 1)});
  } else {
    head = cat({head, {0xFF}, be(n, 4)});
  }
  return cat({head, body});
}

const bytes kOidEd25519 = vt::from_hex("092b06010401da470f01");
const bytes kOidCv25519 = vt::from_hex("0a2b060104019755010501");

bytes ed_key(const Signer& k, uint32_t t) {
  return cat({{4}, be(t, 4), {22}, kOidEd25519, {0x01, 0x07, 0x40}, bytes(k.pk, k.pk + 32)});
}
bytes cv_key(const bytes& x, uint32_t t, uint8_t hash = 8, uint8_t cipher = 7) {
  return cat({{4}, be(t, 4), {18}, kOidCv25519, {0x01, 0x07, 0x40}, x, {3, 1, hash, cipher}});
}

bytes sub(uint8_t type, const bytes& data) { return cat({be(data.size() + 1, 1), {type}, data}); }
bytes created(uint32_t t) { return sub(2, be(t, 4)); }
bytes flags(uint8_t f) { return sub(27, {f}); }

// What a signature over a key or a user ID hashes before its own fields.
bytes framed_key(const bytes& body) { return cat({{0x99}, be(body.size(), 2), body}); }
bytes framed_uid(const bytes& uid) { return cat({{0xB4}, be(uid.size(), 4), uid}); }

bytes mpi(const uint8_t* v, size_t n) {
  while (n > 0 && v[0] == 0) ++v, --n;
  size_t bits = 8 * n;
  for (uint8_t top = n ? v[0] : 0; top < 0x80 && bits > 0; top = static_cast<uint8_t>(top << 1))
    --bits;
  return cat({be(bits, 2), bytes(v, v + n)});
}

// A v4 EdDSALegacy signature packet by k over prefix, with the hashed subpackets given.
bytes sig(const Signer& k, uint8_t type, const bytes& prefix, const bytes& subs, uint8_t hash = 8,
          const bytes& unhashed = {}) {
  const bytes hashed = cat({{4, type, 22, hash}, be(subs.size(), 2), subs});
  const bytes data = cat({prefix, hashed, {4, 0xFF}, be(hashed.size(), 4)});
  uint8_t digest[64];
  size_t dl = 64;
  if (hash == 8) {
    sha256(data.data(), data.size(), digest);
    dl = 32;
  } else if (hash == 9) {
    sha384(data.data(), data.size(), digest);
    dl = 48;
  } else {
    sha512(data.data(), data.size(), digest);  // also stands in for unsupported hashes
  }
  uint8_t rs[64];
  ed25519_sign(k.sk, digest, dl, rs);
  return pkt(2, cat({hashed,
                     be(unhashed.size(), 2),
                     unhashed,
                     {digest[0], digest[1]},
                     mpi(rs, 32),
                     mpi(rs + 32, 32)}));
}

constexpr uint32_t kT0 = 1700000000;  // 2023-11-14
const Signer kPrimary = signer(1);
const Signer kOther = signer(2);
const bytes kX = vt::pseudo_random(32, 3);
const bytes kPrimaryBody = ed_key(kPrimary, kT0);

// The common shape: one user ID and one Curve25519 subkey, each field open to a row.
struct Spec {
  std::string uid = "Custodian 1 <c1@example.org>";
  uint8_t cert_hash = 8;
  bytes cert_subs = cat({created(kT0), flags(0x01)});
  bytes cert_unhashed = {};
  bytes uid_extra = {};  // packets after the certification
  bytes subkey = cv_key(kX, kT0 + 100);
  bytes bind_subs = cat({created(kT0 + 100), flags(0x0C)});
  const Signer* bind_signer = &kPrimary;
  bytes extra = {};  // packets appended
};

bytes uid_packets(const std::string& uid, const bytes& subs, uint8_t type = 0x13, uint8_t hash = 8,
                  const bytes& unhashed = {}) {
  return cat({pkt(13, text(uid)),
              sig(kPrimary, type, cat({framed_key(kPrimaryBody), framed_uid(text(uid))}), subs,
                  hash, unhashed)});
}
bytes subkey_packets(const bytes& body, const bytes& subs, const Signer& by = kPrimary,
                     uint8_t type = 0x18) {
  return cat(
      {pkt(14, body), sig(by, type, cat({framed_key(kPrimaryBody), framed_key(body)}), subs)});
}

bytes make(const Spec& s) {
  return cat({pkt(6, kPrimaryBody),
              uid_packets(s.uid, s.cert_subs, 0x13, s.cert_hash, s.cert_unhashed), s.uid_extra,
              subkey_packets(s.subkey, s.bind_subs, *s.bind_signer), s.extra});
}

struct Result {
  int code;
  std::string text;  // the user ID shown on success, else the reason
  openpgp_cert cert;
};

Result read(const bytes& data, uint64_t now = kT0 + 1000) {
  Result r{};
  char reason[OPENPGP_REASON_MAX];
  r.code = openpgp_cert_read(data.data(), data.size(), now, &r.cert, reason);
  r.text = r.code == OPENPGP_CERT_OK ? r.cert.user_id : reason;
  return r;
}

// ---- RFC 9580, appendix A ----

const char kA1Key[] =  // the public key packet
    "98330453f35f0b16092b06010401da470f010107403f098994bdd916ed4053197934e4a87c80733a1280d62f80"
    "10992e43ee3b2406";
const char kA2Sig[] =  // its signature of "OpenPGP"
    "885e040016080006050255f95f95000a09108cfde12197965a9af62200ff56f90cca98e2102637bd983fdb16c1"
    "31dfd27ed82bf4dde5606e0d756aed33660100d09c4fa11527f038e0f57f2201d82f2ea2c9033265fa6ceb489e"
    "854bae61b404";

TEST(OpenpgpCert, Rfc9580SampleKeyAndSignature) {
  using namespace crypt_pgp;
  const bytes key_pkt = vt::from_hex(kA1Key), sig_pkt = vt::from_hex(kA2Sig);
  packet p;
  size_t pos = 0;
  key k;
  ASSERT_EQ(packet_read(key_pkt.data(), key_pkt.size(), &pos, &p), 0);
  ASSERT_EQ(key_read(p.body, p.len, &k), kKeyV4);
  EXPECT_TRUE(k.ed25519);
  EXPECT_EQ(vt::to_hex(k.fpr, 20), "c959bdbafa32a2f89a153b678cfde12197965a9a");

  pos = 0;
  signature s;
  ASSERT_EQ(packet_read(sig_pkt.data(), sig_pkt.size(), &pos, &p), 0);
  ASSERT_EQ(signature_read(p.body, p.len, &s), kSigV4);
  EXPECT_TRUE(signature_issued_by(s, k));
  for (const char* msg : {"OpenPGP", "OpenPGQ"}) {
    sig_hash h;
    ASSERT_TRUE(sig_hash_init(&h, s.hash_alg));
    sig_hash_update(&h, reinterpret_cast<const uint8_t*>(msg), 7);
    EXPECT_EQ(sig_hash_verify(&h, s, k.point), msg[6] == 'P') << msg;
  }
  // The key alone has no user ID to show.
  EXPECT_EQ(read(key_pkt).code, OPENPGP_CERT_NO_USER_ID);
}

TEST(OpenpgpCert, Rfc9580V6CertificateIsRefused) {
  const std::string armored =
      "-----BEGIN PGP PUBLIC KEY BLOCK-----\n\n"
      "xioGY4d/4xsAAAAg+U2nu0jWCmHlZ3BqZYfQMxmZu52JGggkLq2EVD34laPCsQYf\n"
      "GwoAAABCBYJjh3/jAwsJBwUVCg4IDAIWAAKbAwIeCSIhBssYbE8GCaaX5NUt+mxy\n"
      "KwwfHifBilZwj2Ul7Ce62azJBScJAgcCAAAAAK0oIBA+LX0ifsDm185Ecds2v8lw\n"
      "gyU2kCcUmKfvBXbAf6rhRYWzuQOwEn7E/aLwIwRaLsdry0+VcallHhSu4RN6HWaE\n"
      "QsiPlR4zxP/TP7mhfVEe7XWPxtnMUMtf15OyA51YBM4qBmOHf+MZAAAAIIaTJINn\n"
      "+eUBXbki+PSAld2nhJh/LVmFsS+60WyvXkQ1wpsGGBsKAAAALAWCY4d/4wKbDCIh\n"
      "BssYbE8GCaaX5NUt+mxyKwwfHifBilZwj2Ul7Ce62azJAAAAAAQBIKbpGG2dWTX8\n"
      "j+VjFM21J0hqWlEg+bdiojWnKfA5AQpWUWtnNwDEM0g12vYxoWM8Y81W+bHBw805\n"
      "I8kWVkXU6vFOi+HWvv/ira7ofJu16NnoUkhclkUrk0mXubZvyl4GBg==\n"
      "-----END PGP PUBLIC KEY BLOCK-----\n";
  bytes data(1024);
  size_t n = 0;
  ASSERT_EQ(openpgp_dearmor(reinterpret_cast<const uint8_t*>(armored.data()), armored.size(),
                            OPENPGP_ARMOR_PUBLIC_KEY, data.data(), data.size(), &n),
            0);
  data.resize(n);
  const Result r = read(data);
  EXPECT_EQ(r.code, OPENPGP_CERT_PRIMARY);
  EXPECT_EQ(r.text, "RSA/NIST/v6 keys are not supported");
}

// ---- Certificates built here ----

TEST(OpenpgpCert, GoodCertificateFields) {
  const Result r = read(make({}));
  ASSERT_EQ(r.code, OPENPGP_CERT_OK) << r.text;
  uint8_t fpr[20];
  const bytes framed = framed_key(kPrimaryBody);
  sha1(framed.data(), framed.size(), fpr);
  EXPECT_EQ(vt::to_hex(r.cert.primary_fpr, 20), vt::to_hex(fpr, 20));
  const bytes sub_framed = framed_key(cv_key(kX, kT0 + 100));
  sha1(sub_framed.data(), sub_framed.size(), fpr);
  EXPECT_EQ(vt::to_hex(r.cert.subkey_fpr, 20), vt::to_hex(fpr, 20));
  EXPECT_EQ(vt::to_hex(r.cert.subkey, 32), vt::to_hex(kX));
  EXPECT_EQ(r.cert.kdf_hash, 8);
  EXPECT_EQ(r.cert.kdf_cipher, 7);
  EXPECT_EQ(r.text, "Custodian 1 <c1@example.org>");
}

TEST(OpenpgpCert, AcceptsShowsAndRefuses) {
  const bytes y = vt::pseudo_random(32, 4);
  const bytes uid2 = uid_packets("Second", cat({created(kT0 + 5), sub(25, {1})}));
  const bytes cert_prefix =
      cat({framed_key(kPrimaryBody), framed_uid(text("Custodian 1 <c1@example.org>"))});
  const bytes bind_prefix = cat({framed_key(kPrimaryBody), framed_key(cv_key(kX, kT0 + 100))});
  const uint32_t life = 1709164800 - (kT0 + 100);  // the subkey expires 2024-02-29T00:00Z
  const bytes good = make({});
  struct Row {
    const char* what;
    bytes data;
    uint64_t now;
    int code;
    std::string text;
  };
  const Row rows[] = {
      // User IDs shown.
      {"SHA-384 certification", make({.cert_hash = 9}), kT0, OPENPGP_CERT_OK,
       "Custodian 1 <c1@example.org>"},
      {"SHA-512 certification after a SHA-1 one",
       cat({make({.cert_hash = 2}), uid_packets("Two", created(kT0), 0x10, 10)}), kT0,
       OPENPGP_CERT_OK, "Two"},
      {"primary user ID flag", cat({make({}), uid2}), kT0, OPENPGP_CERT_OK, "Second"},
      {"newest certification drops the flag",
       cat({make({}), uid2,
            sig(kPrimary, 0x13, cat({framed_key(kPrimaryBody), framed_uid(text("Second"))}),
                created(kT0 + 6))}),
       kT0, OPENPGP_CERT_OK, "Custodian 1 <c1@example.org>"},
      {"controls and bad UTF-8 replaced",
       make({.uid = "A\x1b[31m\tB \xc2\x9b \xe2\x80\xae \xc3\xa9 \xff\xc3"}), kT0, OPENPGP_CERT_OK,
       "A?[31m?B ?? ??? \xc3\xa9 ??"},
      {"long user ID cut to fit", make({.uid = std::string(300, 'a')}), kT0, OPENPGP_CERT_OK,
       std::string(255, 'a')},
      {"cut at a whole character", make({.uid = repeat("\xc3\xa9", 200)}), kT0, OPENPGP_CERT_OK,
       repeat("\xc3\xa9", 127)},
      // Signatures that do not count.
      {"critical unknown subpacket", make({.cert_subs = cat({created(kT0), sub(0x80 | 50, {1})})}),
       kT0, OPENPGP_CERT_NO_USER_ID, "no user ID has a valid self-signature"},
      {"critical notation", make({.cert_subs = cat({created(kT0), sub(0x80 | 20, bytes(8, 0))})}),
       kT0, OPENPGP_CERT_NO_USER_ID, "no user ID has a valid self-signature"},
      {"unknown subpacket not critical, or unhashed",
       make({.cert_subs = cat({created(kT0), sub(50, {1})}), .cert_unhashed = sub(0x80 | 50, {1})}),
       kT0, OPENPGP_CERT_OK, "Custodian 1 <c1@example.org>"},
      {"no creation time", make({.cert_subs = flags(1)}), kT0, OPENPGP_CERT_NO_USER_ID,
       "no user ID has a valid self-signature"},
      {"issuer named is another key", make({.cert_unhashed = sub(16, bytes(8, 7))}), kT0,
       OPENPGP_CERT_NO_USER_ID, "no user ID has a valid self-signature"},
      {"certification revoked",
       make({.uid_extra = sig(kPrimary, 0x30, cert_prefix, created(kT0 + 1))}), kT0,
       OPENPGP_CERT_NO_USER_ID, "no user ID has a valid self-signature"},
      {"certification revoked, then renewed",
       make({.uid_extra = cat({sig(kPrimary, 0x30, cert_prefix, created(kT0 + 1)),
                               sig(kPrimary, 0x13, cert_prefix, created(kT0 + 2))})}),
       kT0, OPENPGP_CERT_OK, "Custodian 1 <c1@example.org>"},
      {"certification expired", make({.cert_subs = cat({created(kT0), sub(3, be(50, 4))})}),
       kT0 + 50, OPENPGP_CERT_NO_USER_ID, "no user ID has a valid self-signature"},
      {"binding by another key", make({.bind_signer = &kOther}), kT0, OPENPGP_CERT_NO_SUBKEY,
       "no subkey has a valid binding signature"},
      // Subkeys.
      {"newest binding counts",
       cat({make({}), sig(kPrimary, 0x18, bind_prefix, cat({created(kT0 + 200), flags(0x02)}))}),
       kT0, OPENPGP_CERT_NO_SUBKEY, "no subkey allows encryption"},
      {"AES-192 key wrap", make({.subkey = cv_key(kX, kT0 + 100, 8, 8)}), kT0,
       OPENPGP_CERT_NO_SUBKEY, "AES-192 key wrap is not supported"},
      {"SHA-1 KDF", make({.subkey = cv_key(kX, kT0 + 100, 2, 9)}), kT0, OPENPGP_CERT_NO_SUBKEY,
       "its KDF parameters are not supported"},
      {"subkey expires", make({.bind_subs = cat({created(kT0), flags(0x0C), sub(9, be(life, 4))})}),
       1709164800, OPENPGP_CERT_NO_SUBKEY, "expired on 2024-02-29"},
      {"older subkey chosen over an expired newer one",
       cat({make({.bind_subs = cat({created(kT0), flags(0x0C), sub(9, be(10, 4))})}),
            subkey_packets(cv_key(y, kT0 + 50), cat({created(kT0 + 50), flags(0x04)}))}),
       kT0 + 1000, OPENPGP_CERT_OK, "Custodian 1 <c1@example.org>"},
      // Packets.
      {"ignored packets: marker, padding, non-critical",
       make({.extra = cat({pkt(10, text("PGP")), pkt(21, bytes(9, 0)), pkt(60, {1, 2})})}), kT0,
       OPENPGP_CERT_OK, "Custodian 1 <c1@example.org>"},
      {"unknown critical packet", make({.extra = pkt(30, {1})}), kT0, OPENPGP_CERT_MALFORMED,
       "not a single certificate"},
      {"two certificates", cat({good, good}), kT0, OPENPGP_CERT_MALFORMED,
       "not a single certificate"},
      {"partial length",
       cat({pkt(6, kPrimaryBody),
            {0xCD, 0xE0},
            bytes(good.begin() + 2 + kPrimaryBody.size() + 2, good.end())}),
       kT0, OPENPGP_CERT_MALFORMED, "damaged packet"},
  };
  for (const Row& row : rows) {
    const Result r = read(row.data, row.now);
    EXPECT_EQ(r.code, row.code) << row.what;
    EXPECT_EQ(r.text, row.text) << row.what;
  }
}

TEST(OpenpgpCert, EveryTruncationIsRefused) {
  const bytes good = make({});
  ASSERT_EQ(read(good).code, OPENPGP_CERT_OK);
  for (size_t n = 0; n < good.size(); ++n) {
    const bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_NE(read(cut).code, OPENPGP_CERT_OK) << n;
  }
}

}  // namespace
