// Wipes of the ceremony core, checked where they are made: each call runs with the stack
// below it painted, and the region it leaves behind must hold no copy of the root, of a
// share row or of a derived secret key. A public value that the call leaves unwiped must
// be found there, which shows that the scan sees the call's frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "core_internal.h"
#include "core_support.h"
#include "crypt.h"
#include "os_random_hook.h"
#include "shamir_gf256.h"
#include "stack_scan.h"

namespace {

using vt::bytes;

// OS draws taken from a fixed stream, with the address each one filled; from the draw
// numbered fail_from (1-based) on, every draw fails.
struct ScriptedDraws {
  bytes stream = vt::pseudo_random(8192, 77);
  size_t used = 0;
  std::vector<const uint8_t*> at;
  long fail_from = -1;
};
ScriptedDraws g_draws;

int scripted_draw(uint8_t* buf, size_t len) {
  if (g_draws.at.size() == g_draws.at.capacity() || g_draws.used + len > g_draws.stream.size())
    return -1;  // never allocate inside the call under test
  g_draws.at.push_back(buf);
  if (g_draws.fail_from > 0 && static_cast<long>(g_draws.at.size()) >= g_draws.fail_from) return -1;
  std::memcpy(buf, g_draws.stream.data() + g_draws.used, len);
  g_draws.used += len;
  return 1;
}

void script_draws(long fail_from) {
  g_draws.used = 0;
  g_draws.at.clear();
  g_draws.at.reserve(256);
  g_draws.fail_from = fail_from;
  vt::g_os_random_hook = scripted_draw;
}

bytes cat(const bytes& a, const bytes& b) {
  bytes out = a;
  out.insert(out.end(), b.begin(), b.end());
  return out;
}

// The records with a bit of record i flipped, in a share byte that differs from record to
// record (the same damage to two records could cancel out in a rebuild).
std::vector<uint8_t> damaged(std::vector<uint8_t> recs, size_t i) {
  recs[i * VANTIRO_RECORD_SIZE + 20 + i] ^= 0x10;
  return recs;
}

bytes row_of(const std::vector<uint8_t>& records, size_t i) {
  const auto at = records.begin() + static_cast<long>(i * VANTIRO_RECORD_SIZE + 1);
  return bytes(at, at + 64);
}

// SHA-256's padded last block of a record, as the record's digest leaves it in its
// context: the record's last share byte, then the padding and the bit length 520.
bytes digest_last_block(const bytes& record) {
  bytes block(64, 0);
  block[0] = record[VANTIRO_RECORD_SIZE - 1];
  block[1] = 0x80;
  block[62] = 0x02;
  block[63] = 0x08;
  return block;
}

// The root as key generation makes it from a seed: seed || its public key.
bytes root_of_seed(const uint8_t* seed) {
  uint8_t pk[32], sk[64];
  ed25519_seed_keypair(pk, sk, seed);
  return bytes(sk, sk + 64);
}

// What the combine rebuilds from three records, taken as a seed: the key pair that the
// rebuild's check derives from it (for the right records, the root itself).
bytes derived_from(const std::vector<uint8_t>& recs) {
  uint8_t xs[3], ys[3 * 64], rebuilt[64];
  for (size_t i = 0; i < 3; ++i) {
    xs[i] = recs[i * VANTIRO_RECORD_SIZE];
    std::memcpy(ys + 64 * i, &recs[i * VANTIRO_RECORD_SIZE + 1], 64);
  }
  EXPECT_EQ(0, shamir_combine(3, 64, xs, ys, rebuilt));
  bytes derived = root_of_seed(rebuilt);
  secure_zero(ys, sizeof ys);
  secure_zero(rebuilt, sizeof rebuilt);
  return derived;
}

void expect_visible_and_clean(const vt::StackSnapshot& snap, const bytes& left_public,
                              const std::vector<bytes>& secrets) {
  ASSERT_TRUE(snap.holds(left_public)) << "the scan does not see the call's frames";
  for (size_t i = 0; i < secrets.size(); ++i)
    EXPECT_FALSE(snap.holds(secrets[i])) << "secret " << i << " left on the stack";
}

// The sealed mint's records are the caller's scratch: zero after the call, on every path;
// its share rows are read back from the sealed texts with the custodians' keys.
TEST(VantiroWipes, MintLeavesNoRootNoShareRow) {
  enum How { kPlain, kRecorded, kSealed };  // recorded: with the split record
  struct {
    int n, t;
    size_t anchor_size;
    long fail_from;
    int rc;
    How how;
  } cases[] = {
      {5, 3, VANTIRO_ANCHOR_SIZE, -1, 0, kPlain},
      {16, 16, VANTIRO_ANCHOR_SIZE, -1, 0, kPlain},
      {5, 3, VANTIRO_ANCHOR_SIZE - 1, -1, -5, kPlain},
      // Every coefficient draw fails: zero coefficients, so every share row is the root.
      {5, 3, VANTIRO_ANCHOR_SIZE, 2, -2, kPlain},
      {5, 3, VANTIRO_ANCHOR_SIZE, -1, 0, kRecorded},
      {16, 2, VANTIRO_ANCHOR_SIZE, -1, 0, kRecorded},
      // The split id's draw (after the key and 64 coefficient draws) fails.
      {5, 3, VANTIRO_ANCHOR_SIZE, 66, -2, kRecorded},
      {5, 3, VANTIRO_ANCHOR_SIZE, -1, 0, kSealed},
      // The first seal's draw (after the split id's) fails, with every record written.
      {5, 3, VANTIRO_ANCHOR_SIZE, 67, -2, kSealed},
  };
  uint8_t sks[5 * 32], pks[5 * 32];  // drawn before any draw is scripted
  for (size_t i = 0; i < 5; ++i) ASSERT_EQ(0, vantiro_custodian_keygen(sks + 32 * i, pks + 32 * i));
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.n << "/" << c.t << " rc " << c.rc << " how " << c.how);
    uint8_t pub[32];
    std::vector<uint8_t> records(static_cast<size_t>(c.n) * VANTIRO_RECORD_SIZE, 0);
    std::vector<char> anchor(VANTIRO_ANCHOR_SIZE);
    int rc = 99;
    script_draws(c.fail_from);
    vantiro_split_record rec;
    std::vector<char> text(VANTIRO_SPLIT_TEXT_MAX);
    size_t text_len = 0;
    auto sealed = std::make_unique<char[][VANTIRO_SEALED_TEXT_MAX]>(5);
    size_t sealed_len[5] = {};
    const vt::StackSnapshot snap = vt::stack_after([&] {
      if (c.how == kSealed)
        rc = vantiro_mint_sealed(c.n, c.t, pks, pub, records.data(), anchor.data(), c.anchor_size,
                                 &rec, text.data(), text.size(), &text_len, sealed.get(),
                                 sealed_len);
      else if (c.how == kRecorded)
        rc = vantiro_mint_recorded(c.n, c.t, pub, records.data(), anchor.data(), c.anchor_size,
                                   &rec, text.data(), text.size(), &text_len);
      else
        rc = vantiro_mint(c.n, c.t, pub, records.data(), anchor.data(), c.anchor_size);
    });
    vt::g_os_random_hook = nullptr;
    ASSERT_EQ(c.rc, rc);
    for (const uint8_t* p : g_draws.at) ASSERT_TRUE(snap.covers(p));

    std::vector<bytes> secrets = {root_of_seed(g_draws.stream.data())};
    ASSERT_EQ(bytes(pub, pub + 32), bytes(secrets[0].begin() + 32, secrets[0].end()));
    if (c.how == kSealed) {
      EXPECT_EQ(bytes(records.size(), 0), records) << "clear records left the sealed mint";
      for (size_t i = 0; rc == 0 && i < static_cast<size_t>(c.n); ++i) {
        vantiro_sealed_share s;
        bytes opened(VANTIRO_RECORD_SIZE);
        ASSERT_EQ(0, vantiro_sealed_share_parse(reinterpret_cast<const uint8_t*>(sealed[i]),
                                                sealed_len[i], &s));
        ASSERT_EQ(0, vantiro_sealed_share_open(&s, sks + 32 * i, opened.data()));
        secrets.push_back(row_of(opened, 0));
      }
    } else if (rc == 0) {
      for (size_t i = 0; i < static_cast<size_t>(c.n); ++i) secrets.push_back(row_of(records, i));
    }
    const bytes message = cat(bytes(pub, pub + 32), bytes{'o', 'p', 'e', 'r', 'a', 't', 'o', 'r'});
    expect_visible_and_clean(snap, message, secrets);
  }
}

TEST(VantiroWipes, RecoverLeavesNoShareRowNoRoot) {
  const vtc::Minted a = vtc::mint(5, 3);
  const vtc::Minted b = vtc::mint(5, 3);
  ASSERT_EQ(0, a.rc);
  ASSERT_EQ(0, b.rc);
  struct {
    std::vector<uint8_t> recs;
    int rc;
  } cases[] = {
      {vtc::pick(a.records, {0, 2, 4}), 0},
      {cat(vtc::pick(a.records, {0, 1}), vtc::pick(b.records, {2})), -3},  // mixed roots
      {damaged(vtc::pick(a.records, {0, 2, 4}), 1), -3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rc);
    std::vector<uint8_t> root(64, 0xAA);
    int rc = 99;
    const vt::StackSnapshot snap =
        vt::stack_after([&] { rc = vantiro_recover(3, c.recs.data(), root.data()); });
    ASSERT_EQ(c.rc, rc);
    const bytes derived = derived_from(c.recs);
    EXPECT_EQ(rc == 0 ? derived : bytes(64, 0), root);
    std::vector<bytes> secrets = {derived};
    for (size_t i = 0; i < 3; ++i) secrets.push_back(row_of(c.recs, i));
    expect_visible_and_clean(snap, bytes(derived.begin() + 32, derived.end()), secrets);
  }
}

// The interpolation's copy of the share rows: every public rebuild runs the root's check
// over the same stack right after it, which hides a missed wipe there, so it is checked
// on its own. The x coordinates stay in its frame.
TEST(VantiroWipes, InterpolationLeavesNoShareRow) {
  const vtc::Minted a = vtc::mint(16, 2);
  ASSERT_EQ(0, a.rc);
  struct {
    std::vector<uint8_t> recs;
    uint8_t x;
  } cases[] = {
      {vtc::pick(a.records, {4, 0, 2}), 0},
      {a.records, 200},
  };
  for (const auto& c : cases) {
    const size_t k = c.recs.size() / VANTIRO_RECORD_SIZE;
    SCOPED_TRACE(k);
    std::vector<uint8_t> out(64, 0);
    int rc = 99;
    const vt::StackSnapshot snap = vt::stack_after(
        [&] { rc = core_interpolate(static_cast<int>(k), c.recs.data(), c.x, out.data()); });
    ASSERT_EQ(0, rc);
    bytes xs;
    std::vector<bytes> rows;
    for (size_t i = 0; i < k; ++i) {
      xs.push_back(c.recs[i * VANTIRO_RECORD_SIZE]);
      rows.push_back(row_of(c.recs, i));
    }
    expect_visible_and_clean(snap, xs, rows);
  }
}

// The misfit search rebuilds a root for each set-aside it tries. The damaged records come
// last, so the last set-aside tried is the one that works and leaves the root's public key.
TEST(VantiroWipes, MisfitSearchLeavesNoShareRowNoRoot) {
  const vtc::Minted a = vtc::mint(5, 3);
  ASSERT_EQ(0, a.rc);
  struct {
    std::vector<uint8_t> recs;
    std::vector<int> named;
  } cases[] = {
      {damaged(vtc::pick(a.records, {0, 2, 4, 1}), 3), {3}},
      {damaged(damaged(vtc::pick(a.records, {1, 3, 4, 0, 2}), 3), 4), {3, 4}},
  };
  const bytes derived = derived_from(a.records);
  for (const auto& c : cases) {
    const int k = static_cast<int>(c.recs.size() / VANTIRO_RECORD_SIZE);
    SCOPED_TRACE(k);
    int misfits[2] = {-1, -1};
    int n = 99;
    const vt::StackSnapshot snap =
        vt::stack_after([&] { n = vantiro_find_misfits(k, c.recs.data(), misfits); });
    ASSERT_EQ(c.named, std::vector<int>(misfits, misfits + std::max(n, 0)));
    std::vector<bytes> secrets = {derived};
    for (size_t i = 0; i < static_cast<size_t>(k); ++i) secrets.push_back(row_of(c.recs, i));
    expect_visible_and_clean(snap, bytes(derived.begin() + 32, derived.end()), secrets);
  }
}

// A split of a given root: the records' share bytes and the root may stay only in the
// caller's buffers. A root held in the records buffer is overwritten by the first record
// before the proof, which then fails and must leave the records empty.
TEST(VantiroWipes, SplitLeavesNoRootNoShareRow) {
  struct {
    int n, t;
    long fail_from;
    bool root_in_records;
    int rc;
  } cases[] = {
      {5, 3, -1, false, 0},
      {16, 16, -1, false, 0},
      {5, 3, 1, false, -2},  // no coefficient: every share row would be the root
      {5, 3, -1, true, -4},
  };
  const bytes root = root_of_seed(vt::pseudo_random(32, 5).data());
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.n << "/" << c.t << " rc " << c.rc);
    const size_t size = static_cast<size_t>(c.n) * VANTIRO_RECORD_SIZE;
    // The same split made outside the scan, for its share rows.
    std::vector<uint8_t> same(size, 0);
    script_draws(c.fail_from);
    const int same_rc = vantiro_split(c.n, c.t, root.data(), same.data());

    std::vector<uint8_t> records(size, 0);
    const uint8_t* from = root.data();
    if (c.root_in_records) {
      std::memcpy(records.data() + 1, root.data(), root.size());
      from = records.data() + 1;
    }
    int rc = 99;
    script_draws(c.fail_from);
    const vt::StackSnapshot snap =
        vt::stack_after([&] { rc = vantiro_split(c.n, c.t, from, records.data()); });
    vt::g_os_random_hook = nullptr;
    ASSERT_EQ(c.rc, rc);
    ASSERT_FALSE(g_draws.at.empty());
    for (const uint8_t* p : g_draws.at) ASSERT_TRUE(snap.covers(p));
    if (rc != 0) {
      EXPECT_EQ(std::vector<uint8_t>(size, 0), records);
    }

    std::vector<bytes> secrets = {root};
    if (same_rc == 0) {
      for (size_t i = 0; i < static_cast<size_t>(c.n); ++i) secrets.push_back(row_of(same, i));
    }
    bytes xs;  // the x coordinates 1..n stay in the split's frame
    for (int x = 1; x <= c.n; ++x) xs.push_back(static_cast<uint8_t>(x));
    expect_visible_and_clean(snap, xs, secrets);
  }
}

// Reissuing: the rebuilt root, the given rows and the new row stay nowhere on the stack.
TEST(VantiroWipes, ReissueLeavesNoRootNoShareRow) {
  const vtc::Minted a = vtc::mint(5, 3);
  const vtc::Minted b = vtc::mint(5, 3);
  ASSERT_EQ(0, a.rc);
  ASSERT_EQ(0, b.rc);
  struct {
    std::vector<uint8_t> recs;
    int x, rc;
  } cases[] = {
      {vtc::pick(a.records, {0, 2, 4}), 2, 0},  // the lost second share
      {vtc::pick(a.records, {3, 1, 0}), 200, 0},
      {cat(vtc::pick(a.records, {0, 1}), vtc::pick(b.records, {2})), 4, -3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.x);
    std::vector<uint8_t> out(VANTIRO_RECORD_SIZE, 0);
    int rc = 99;
    const vt::StackSnapshot snap =
        vt::stack_after([&] { rc = vantiro_reissue(3, c.recs.data(), c.x, out.data()); });
    ASSERT_EQ(c.rc, rc);
    const bytes derived = derived_from(c.recs);
    std::vector<bytes> secrets = {derived};
    for (size_t i = 0; i < 3; ++i) secrets.push_back(row_of(c.recs, i));
    if (rc == 0) {
      ASSERT_EQ(c.x, out[0]);
      secrets.push_back(row_of(out, 0));
    }
    expect_visible_and_clean(snap, bytes(derived.begin() + 32, derived.end()), secrets);
  }
}

// The proof of one split without a record rebuilds the root from every set that leaves one
// record out; the damaged record comes last, so the last rebuild is the one that works.
TEST(VantiroWipes, OneSplitProofLeavesNoShareRowNoRoot) {
  const vtc::Minted a = vtc::mint(5, 3);
  ASSERT_EQ(0, a.rc);
  struct {
    std::vector<uint8_t> recs;
    int rc;
  } cases[] = {
      {vtc::pick(a.records, {0, 2, 4, 1}), 0},
      {damaged(vtc::pick(a.records, {0, 2, 4, 1, 3}), 4), -3},
  };
  const bytes derived = derived_from(a.records);
  for (const auto& c : cases) {
    const int k = static_cast<int>(c.recs.size() / VANTIRO_RECORD_SIZE);
    SCOPED_TRACE(k);
    int misfit = 99, rc = 99;
    const vt::StackSnapshot snap = vt::stack_after(
        [&] { rc = vantiro_prove_one_split(k, c.recs.data(), a.pub, &misfit); });
    ASSERT_EQ(c.rc, rc);
    std::vector<bytes> secrets = {derived};
    for (size_t i = 0; i < static_cast<size_t>(k); ++i) secrets.push_back(row_of(c.recs, i));
    expect_visible_and_clean(snap, bytes(derived.begin() + 32, derived.end()), secrets);
  }
}

// Opening a sealed share leaves the record in the caller's buffer alone (nor its digest's
// last block), and a refused open (a changed tag) leaves it nowhere; the recipient key it
// derives stays in its frame.
TEST(VantiroWipes, SealedOpenLeavesNoRecord) {
  uint8_t root_pk[32], root[64], sk[32], pk[32];
  ASSERT_EQ(0, ed25519_keypair(root_pk, root));
  bytes records(2 * VANTIRO_RECORD_SIZE);
  ASSERT_EQ(0, vantiro_split(2, 2, root, records.data()));
  ASSERT_EQ(0, vantiro_custodian_keygen(sk, pk));
  const uint8_t split[VANTIRO_SPLIT_ID_SIZE] = {7};
  char text[VANTIRO_SEALED_TEXT_MAX];
  size_t len = 0;
  ASSERT_EQ(0, vantiro_sealed_share_make(root, split, 2, records.data(), pk, text, sizeof text, &len));
  vantiro_sealed_share sealed;
  ASSERT_EQ(0, vantiro_sealed_share_parse(reinterpret_cast<const uint8_t*>(text), len, &sealed));
  const bytes record(records.begin(), records.begin() + VANTIRO_RECORD_SIZE);
  for (int want : {0, -4}) {
    SCOPED_TRACE(want);
    vantiro_sealed_share s = sealed;
    if (want != 0) s.sealed[sizeof s.sealed - 1] ^= 1;
    bytes out(VANTIRO_RECORD_SIZE, 0);
    int rc = 99;
    const vt::StackSnapshot snap =
        vt::stack_after([&] { rc = vantiro_sealed_share_open(&s, sk, out.data()); });
    ASSERT_EQ(want, rc);
    EXPECT_EQ(rc == 0 ? record : bytes(VANTIRO_RECORD_SIZE, 0), out);
    expect_visible_and_clean(snap, bytes(pk, pk + 32),
                             {record, bytes(sk, sk + 32), digest_last_block(record)});
  }
  secure_zero(root, sizeof root);
  secure_zero(sk, sizeof sk);
}

// Making a share text, alone or as an age or OpenPGP share, leaves neither the record nor
// the share text (its record in hex) behind; opening an age share leaves neither, nor the
// custodian's key, whether it opens or its payload is refused.
TEST(VantiroWipes, ShareTextsMadeAndOpenedLeaveNoRecord) {
  uint8_t root_pk[32], root[64], sk[32], pk[32];
  ASSERT_EQ(0, ed25519_keypair(root_pk, root));
  bytes records(2 * VANTIRO_RECORD_SIZE);
  ASSERT_EQ(0, vantiro_split(2, 2, root, records.data()));
  ASSERT_EQ(0, vantiro_custodian_keygen(sk, pk));
  const uint8_t split[VANTIRO_SPLIT_ID_SIZE] = {7};
  uint8_t file[VANTIRO_SEALED_TEXT_MAX];
  size_t len = 0;
  int made = 99;
  const vt::StackSnapshot made_snap = vt::stack_after([&] {
    made = vantiro_age_share_make(root, split, 2, records.data(), pk, file, sizeof file, &len);
  });
  ASSERT_EQ(0, made);
  // What shows that the scan sees the call's frames: the R half of the share text's
  // signature, which the check of the signature leaves behind when the share opens, and
  // the ephemeral key of the stanza, decoded into a frame that nothing overwrites when the
  // payload is refused.
  const std::string head(reinterpret_cast<const char*>(file), len);
  const size_t eph_at = head.find("-> X25519 ") + 10;
  bytes eph(32);
  size_t eph_len = 0;
  ASSERT_EQ(0, base64_decode(head.data() + eph_at, 43, 0, eph.data(), eph.size(), &eph_len));
  const bytes record(records.begin(), records.begin() + VANTIRO_RECORD_SIZE);
  const std::string hex = vt::to_hex(record);
  const bytes record_hex(hex.begin(), hex.end());
  // Making it leaves neither the record nor the share text.
  expect_visible_and_clean(made_snap, eph, {record, record_hex});
  // Nor does making the share text alone (the age encryption above overwrites where it
  // was made); the check of its signature leaves the R half behind.
  char text[VANTIRO_SHARE_TEXT_MAX];
  size_t text_len = 0;
  const vt::StackSnapshot text_snap = vt::stack_after([&] {
    made = vantiro_share_text_make(root, split, 2, records.data(), text, sizeof text, &text_len);
  });
  ASSERT_EQ(0, made);
  const std::string sig_hex(text + text_len - 129, 64);
  expect_visible_and_clean(text_snap, vt::from_hex(sig_hex), {record, record_hex});
  secure_zero(text, sizeof text);
  // Nor does sealing it to an OpenPGP certificate's encryption subkey.
  openpgp_cert cert{};
  std::memcpy(cert.subkey, pk, 32);
  cert.kdf_hash = 8;    // SHA-256
  cert.kdf_cipher = 7;  // AES-128
  std::vector<char> armored(VANTIRO_SEALED_TEXT_MAX);
  const vt::StackSnapshot pgp_snap = vt::stack_after([&] {
    made = vantiro_openpgp_share_make(root, split, 2, records.data(), &cert, armored.data(),
                                      armored.size(), &text_len);
  });
  ASSERT_EQ(0, made);
  // Shown by the ephemeral public key, the PKESK's point after its MPI length and 0x40.
  bytes message(VANTIRO_SEALED_TEXT_MAX);
  size_t message_len = 0;
  ASSERT_EQ(0, openpgp_dearmor(reinterpret_cast<const uint8_t*>(armored.data()), text_len,
                               OPENPGP_ARMOR_MESSAGE, message.data(), message.size(), &message_len));
  const uint8_t mpi[] = {0x01, 0x07, 0x40};
  const auto at = std::search(message.begin(), message.begin() + static_cast<long>(message_len),
                              std::begin(mpi), std::end(mpi));
  ASSERT_LT(at + 35, message.end());
  expect_visible_and_clean(pgp_snap, bytes(at + 3, at + 35), {record, record_hex});
  for (int want : {VANTIRO_AGE_SHARE_OPENED, VANTIRO_AGE_SHARE_PAYLOAD}) {
    SCOPED_TRACE(want);
    bytes f(file, file + len);
    if (want != VANTIRO_AGE_SHARE_OPENED) f.back() ^= 1;
    vantiro_share_text out{};
    int rc = 99;
    const vt::StackSnapshot snap = vt::stack_after([&] {
      rc = vantiro_age_share_open(f.data(), f.size(), &sk, 1, &out, nullptr);
    });
    ASSERT_EQ(want, rc);
    expect_visible_and_clean(snap, rc == 0 ? bytes(out.sig, out.sig + 32) : eph,
                             {record, record_hex, bytes(sk, sk + 32)});
    secure_zero(&out, sizeof out);
  }
  secure_zero(root, sizeof root);
  secure_zero(sk, sizeof sk);
}

TEST(VantiroWipes, SignLeavesNoDerivedSecretKey) {
  uint8_t pk[32], sk[64], other_pk[32], other_sk[64];
  ASSERT_EQ(0, ed25519_keypair(pk, sk));
  ASSERT_EQ(0, ed25519_keypair(other_pk, other_sk));
  const bytes good(sk, sk + 64);
  const bytes mixed = cat(bytes(sk, sk + 32), bytes(other_pk, other_pk + 32));
  const bytes msg = vt::pseudo_random(40, 3);
  for (const auto& [key, want] : {std::pair{good, 0}, {mixed, -3}}) {
    SCOPED_TRACE(want);
    std::vector<uint8_t> sig(64);
    int rc = 99;
    const vt::StackSnapshot snap =
        vt::stack_after([&] { rc = vantiro_sign(key.data(), msg.data(), msg.size(), sig.data()); });
    ASSERT_EQ(want, rc);
    // The check derives seed || pk from the seed: the good root itself.
    expect_visible_and_clean(snap, bytes(pk, pk + 32), {good});
  }
  secure_zero(sk, sizeof sk);
  secure_zero(other_sk, sizeof other_sk);
}

}  // namespace
