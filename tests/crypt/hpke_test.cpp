// HPKE base mode: the RFC 9180 known answers for DHKEM(X25519, HKDF-SHA256), HKDF-SHA256,
// AES-256-GCM replayed in full, and the refusals of setup, seal and open.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>

#include "crypt.h"
#include "test_support.h"

namespace {

using vt::bytes;

struct Encryption {
  bytes aad, ct, pt;
};

struct Vectors {
  bytes info, sk_r, pk_r, sk_e, pk_e;
  std::vector<Encryption> encryptions;
};

// Reads the key = value file: the key pairs and info, then aad/ct/pt triples in order
// until the exports.
bool load(Vectors* v, std::string* why) {
  std::string text;
  if (!vt::read_vector_file("vectors/hpke/x25519_hkdf_sha256_aes256gcm_base.txt", &text, why)) return false;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find(" = ");
    if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 3);
    if (key == "exporter_context") break;
    if (key == "info") v->info = vt::from_hex(value);
    if (key == "skRm") v->sk_r = vt::from_hex(value);
    if (key == "pkRm") v->pk_r = vt::from_hex(value);
    if (key == "skEm") v->sk_e = vt::from_hex(value);
    if (key == "pkEm") v->pk_e = vt::from_hex(value);
    if (key == "aad") v->encryptions.push_back({vt::from_hex(value), {}, {}});
    if (key == "ct") v->encryptions.back().ct = vt::from_hex(value);
    if (key == "pt") v->encryptions.back().pt = vt::from_hex(value);
  }
  return true;
}

TEST(Hpke, Rfc9180VectorsAllEncryptionsInSequence) {
  Vectors v;
  std::string why;
  if (!load(&v, &why)) GTEST_SKIP() << why;
  ASSERT_EQ(v.encryptions.size(), 257u);

  bytes pk(32);
  x25519_public_key(pk.data(), v.sk_e.data());
  EXPECT_EQ(pk, v.pk_e);
  hpke_context sender, recipient;
  bytes enc(32);
  ASSERT_EQ(0, hpke_setup_base_sender_FOR_TEST(&sender, enc.data(), v.pk_r.data(), v.info.data(), v.info.size(),
                                               v.sk_e.data()));
  EXPECT_EQ(enc, v.pk_e);
  ASSERT_EQ(0, hpke_setup_base_recipient(&recipient, enc.data(), v.sk_r.data(), v.info.data(), v.info.size()));
  for (size_t i = 0; i < v.encryptions.size(); ++i) {
    SCOPED_TRACE("encryptions[" + std::to_string(i) + "]");
    const Encryption& e = v.encryptions[i];
    ASSERT_EQ(e.ct.size(), e.pt.size() + HPKE_TAG_LEN);
    bytes ct(e.ct.size() + 1, 0x3c), pt(e.pt.size() + 1, 0x3c);
    ASSERT_EQ(0, hpke_seal(&sender, e.aad.data(), e.aad.size(), e.pt.data(), e.pt.size(), ct.data()));
    EXPECT_EQ(vt::to_hex(ct.data(), e.ct.size()), vt::to_hex(e.ct));
    ASSERT_EQ(0, hpke_open(&recipient, e.aad.data(), e.aad.size(), e.ct.data(), e.ct.size(), pt.data()));
    EXPECT_EQ(vt::to_hex(pt.data(), e.pt.size()), vt::to_hex(e.pt));
    EXPECT_EQ(ct.back(), 0x3c);
    EXPECT_EQ(pt.back(), 0x3c);
  }
  EXPECT_EQ(sender.seq, 257u);
  EXPECT_EQ(recipient.seq, 257u);

  // The single-shot open takes the first message.
  bytes pt(v.encryptions[0].pt.size());
  EXPECT_EQ(0, hpke_open_base(pt.data(), enc.data(), v.sk_r.data(), v.info.data(), v.info.size(),
                              v.encryptions[0].aad.data(), v.encryptions[0].aad.size(), v.encryptions[0].ct.data(),
                              v.encryptions[0].ct.size()));
  EXPECT_EQ(pt, v.encryptions[0].pt);
  hpke_context_wipe(&sender);
  hpke_context_wipe(&recipient);
}

// One message sealed to a fresh key pair, then opened with one thing changed at a time.
TEST(Hpke, RefusedOpens) {
  const bytes sk = vt::pseudo_random(32, 1), other_sk = vt::pseudo_random(32, 2);
  const bytes info = vt::pseudo_random(400, 3), aad = vt::pseudo_random(7, 4), msg = vt::pseudo_random(65, 5);
  bytes pk(32), enc(32), ct(msg.size() + HPKE_TAG_LEN);
  x25519_public_key(pk.data(), sk.data());
  ASSERT_EQ(0, hpke_seal_base(enc.data(), ct.data(), pk.data(), info.data(), info.size(), aad.data(), aad.size(),
                              msg.data(), msg.size()));

  bytes order8 = vt::from_hex("e0eb7a7c3b41b8ae1656e3faf19fc46ada098deb9c32b1fd866205165f49b800");
  struct Row {
    const char* what;
    bytes enc, sk, info, aad, ct;
  };
  auto flip = [](bytes b, size_t at) {
    b[at] ^= 0x01;
    return b;
  };
  const Row rows[] = {
      {"genuine", enc, sk, info, aad, ct},
      {"ciphertext byte flipped", enc, sk, info, aad, flip(ct, 3)},
      {"tag byte flipped", enc, sk, info, aad, flip(ct, ct.size() - 1)},
      {"shorter than a tag", enc, sk, info, aad, bytes(ct.begin(), ct.begin() + 15)},
      {"wrong aad", enc, sk, info, flip(aad, 0), ct},
      {"wrong info", enc, sk, flip(info, 399), aad, ct},
      {"wrong recipient key", enc, other_sk, info, aad, ct},
      {"enc flipped", flip(enc, 0), sk, info, aad, ct},
      {"enc all zero", bytes(32, 0), sk, info, aad, ct},
      {"enc of order 8", order8, sk, info, aad, ct},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const bool genuine = std::string(row.what) == "genuine";
    // A refused open zeroes the plaintext it would have written, and nothing past it.
    bytes pt(msg.size() + 1, 0x3c), want = genuine ? msg : bytes(msg.size(), 0);
    if (row.ct.size() < HPKE_TAG_LEN) want.clear();
    want.resize(msg.size() + 1, 0x3c);
    EXPECT_EQ(genuine ? 0 : -1, hpke_open_base(pt.data(), row.enc.data(), row.sk.data(), row.info.data(),
                                               row.info.size(), row.aad.data(), row.aad.size(), row.ct.data(),
                                               row.ct.size()));
    EXPECT_EQ(pt, want);
  }

  // A failed open leaves the sequence number where it was: the genuine message still opens.
  hpke_context ctx;
  bytes pt(msg.size());
  ASSERT_EQ(0, hpke_setup_base_recipient(&ctx, enc.data(), sk.data(), info.data(), info.size()));
  EXPECT_EQ(-1, hpke_open(&ctx, aad.data(), aad.size(), flip(ct, 0).data(), ct.size(), pt.data()));
  EXPECT_EQ(0u, ctx.seq);
  EXPECT_EQ(0, hpke_open(&ctx, aad.data(), aad.size(), ct.data(), ct.size(), pt.data()));
  EXPECT_EQ(pt, msg);
  hpke_context_wipe(&ctx);
}

TEST(Hpke, RefusedSetupsAndSequenceLimit) {
  const bytes sk = vt::pseudo_random(32, 6), info = vt::pseudo_random(HPKE_INFO_MAX + 1, 7);
  bytes pk(32), enc(32, 0x3c);
  x25519_public_key(pk.data(), sk.data());
  hpke_context s, r;

  // Small-order recipient keys and an over-long info are refused; enc is left zeroed.
  const bytes bad_keys[] = {bytes(32, 0), vt::from_hex("0100000000000000000000000000000000000000000000000000000000000000")};
  for (const bytes& bad : bad_keys) {
    EXPECT_EQ(-1, hpke_setup_base_sender(&s, enc.data(), bad.data(), nullptr, 0));
    EXPECT_EQ(enc, bytes(32, 0));
    EXPECT_EQ(s.seq, UINT64_MAX);
  }
  EXPECT_EQ(-1, hpke_setup_base_sender(&s, enc.data(), pk.data(), info.data(), info.size()));
  EXPECT_EQ(-1, hpke_setup_base_recipient(&r, pk.data(), sk.data(), info.data(), info.size()));
  crypt_random_force_fail_FOR_TEST(1);
  EXPECT_EQ(-1, hpke_setup_base_sender(&s, enc.data(), pk.data(), nullptr, 0));
  crypt_random_force_fail_FOR_TEST(0);

  // The longest info works, and each setup draws a new ephemeral key.
  bytes enc2(32);
  ASSERT_EQ(0, hpke_setup_base_sender(&s, enc2.data(), pk.data(), info.data(), HPKE_INFO_MAX));
  ASSERT_EQ(0, hpke_setup_base_sender(&s, enc.data(), pk.data(), info.data(), HPKE_INFO_MAX));
  EXPECT_NE(enc, enc2);
  ASSERT_EQ(0, hpke_setup_base_recipient(&r, enc.data(), sk.data(), info.data(), HPKE_INFO_MAX));

  // The last two sequence numbers (high nonce bytes agree on both sides), then the spent
  // contexts refuse.
  s.seq = r.seq = UINT64_MAX - 2;
  const uint8_t msg[3] = {1, 2, 3};
  for (int i = 0; i < 3; ++i) {
    uint8_t ct[3 + HPKE_TAG_LEN] = {}, pt[3] = {};
    const int want = i < 2 ? 0 : -1;
    EXPECT_EQ(want, hpke_seal(&s, nullptr, 0, msg, 3, ct));
    EXPECT_EQ(want, hpke_open(&r, nullptr, 0, ct, sizeof ct, pt));
    EXPECT_EQ(i < 2, pt[0] == 1 && pt[1] == 2 && pt[2] == 3);
  }
  EXPECT_EQ(s.seq, UINT64_MAX);
  hpke_context_wipe(&s);
  hpke_context_wipe(&r);
}

}  // namespace
