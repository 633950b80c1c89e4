// age encryption to X25519 recipients: round trips across the chunk boundaries, the
// refusals and size limits of both directions, and what encryption and decryption leave
// on the stack (none of the keys they derive).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "crypt.h"
#include "os_random_hook.h"
#include "stack_scan.h"
#include "test_support.h"

namespace {

using vt::bytes;

// OS draws taken in order from a fixed stream, or all failing.
struct Draws {
  bytes stream = vt::pseudo_random(64, 99);
  size_t used = 0;
  bool fail = false;
};
Draws g_draws;

int scripted_draw(uint8_t* buf, size_t len) {
  if (g_draws.fail || g_draws.used + len > g_draws.stream.size()) return -1;
  std::memcpy(buf, g_draws.stream.data() + g_draws.used, len);
  g_draws.used += len;
  return 1;
}

struct Keys {
  bytes sk, pk = bytes(32);
  explicit Keys(uint64_t seed) : sk(vt::pseudo_random(32, seed)) { x25519_public_key(pk.data(), sk.data()); }
};

TEST(Age, RoundTripsAcrossChunkBoundaries) {
  const Keys me(1), other(2);
  const uint8_t ids[2][32] = {};
  uint8_t both[2][32];
  std::memcpy(both[0], other.sk.data(), 32);
  std::memcpy(both[1], me.sk.data(), 32);
  for (size_t len : {0, 1, 65535, 65536, 65537, 131072, 131077}) {
    SCOPED_TRACE(len);
    const bytes pt = vt::pseudo_random(len, len);
    const size_t size = age_encrypted_size_x25519(len);
    bytes file(size + 1, 0xee), back(len + 1, 0xee);
    size_t n = 0;
    ASSERT_EQ(age_encrypt_x25519(me.pk.data(), pt.data(), len, file.data(), size, &n), AGE_OK);
    EXPECT_EQ(n, size);
    EXPECT_EQ(file[size], 0xee);
    int which = -5;
    ASSERT_EQ(age_decrypt_x25519(file.data(), size, both, 2, back.data(), len, &n, &which), AGE_OK);
    EXPECT_EQ(which, 1);
    EXPECT_EQ(bytes(back.begin(), back.begin() + static_cast<std::ptrdiff_t>(n)), pt);
    EXPECT_EQ(back[len], 0xee);
    EXPECT_EQ(age_decrypt_x25519(file.data(), size, ids, 2, back.data(), len, &n, &which), AGE_NO_MATCH);
    EXPECT_EQ(which, -1);

    // One byte short of room: nothing written, nothing released.
    bytes short_file(size, 0xee);
    EXPECT_EQ(age_encrypt_x25519(me.pk.data(), pt.data(), len, short_file.data(), size - 1, &n), AGE_TOO_LARGE);
    EXPECT_EQ(short_file, bytes(size, 0xee));
    EXPECT_EQ(n, 0u);
    if (len > 0) {
      bytes short_back(len, 0xee);
      EXPECT_EQ(age_decrypt_x25519(file.data(), size, both, 2, short_back.data(), len - 1, &n, &which), AGE_TOO_LARGE);
      EXPECT_EQ(short_back, bytes(len, 0xee));
      EXPECT_EQ(n, 0u);
    }
  }
}

TEST(Age, RefusedArguments) {
  const Keys me(1);
  const bytes pt = vt::pseudo_random(10, 3);
  bytes file(300, 0xee);
  size_t n = 9;
  // Recipients of small order: the shared secret would be zero, known to everyone.
  const bytes small[] = {bytes(32, 0),
                         vt::from_hex("e0eb7a7c3b41b8ae1656e3faf19fc46ada098deb9c32b1fd866205165f49b800")};
  for (const bytes& r : small) {
    EXPECT_EQ(age_encrypt_x25519(r.data(), pt.data(), pt.size(), file.data(), file.size(), &n), AGE_REFUSED);
    EXPECT_EQ(file, bytes(300, 0xee));
  }
  EXPECT_EQ(age_encrypt_x25519(nullptr, pt.data(), 10, file.data(), file.size(), &n), AGE_REFUSED);
  EXPECT_EQ(age_encrypt_x25519(me.pk.data(), nullptr, 10, file.data(), file.size(), &n), AGE_REFUSED);
  EXPECT_EQ(age_encrypt_x25519(me.pk.data(), pt.data(), 10, nullptr, file.size(), &n), AGE_REFUSED);
  EXPECT_EQ(age_encrypted_size_x25519(SIZE_MAX - 100), SIZE_MAX);
  EXPECT_EQ(age_encrypt_x25519(me.pk.data(), pt.data(), SIZE_MAX - 100, file.data(), SIZE_MAX, &n), AGE_TOO_LARGE);

  vt::g_os_random_hook = scripted_draw;
  g_draws.fail = true;
  EXPECT_EQ(age_encrypt_x25519(me.pk.data(), pt.data(), pt.size(), file.data(), file.size(), &n), AGE_RANDOM);
  vt::g_os_random_hook = nullptr;
  EXPECT_EQ(file, bytes(300, 0xee));

  ASSERT_EQ(age_encrypt_x25519(me.pk.data(), pt.data(), pt.size(), file.data(), file.size(), &n), AGE_OK);
  const uint8_t(*ids)[32] = reinterpret_cast<const uint8_t(*)[32]>(me.sk.data());
  uint8_t out[10];
  size_t got = 0;
  EXPECT_EQ(age_decrypt_x25519(file.data(), n, ids, -1, out, 10, &got, nullptr), AGE_REFUSED);
  EXPECT_EQ(age_decrypt_x25519(file.data(), n, nullptr, 1, out, 10, &got, nullptr), AGE_REFUSED);
  EXPECT_EQ(age_decrypt_x25519(file.data(), n, ids, 1, nullptr, 10, &got, nullptr), AGE_REFUSED);
  EXPECT_EQ(age_decrypt_x25519(nullptr, n, ids, 1, out, 10, &got, nullptr), AGE_REFUSED);
  EXPECT_EQ(age_decrypt_x25519(file.data(), n, ids, 0, out, 10, &got, nullptr), AGE_NO_MATCH);
  EXPECT_EQ(age_decrypt_x25519(file.data(), n, ids, 1, out, 10, &got, nullptr), AGE_OK);
  EXPECT_EQ(got, 10u);
}

// HKDF-SHA-256 to 32 bytes, from the library's own HKDF.
bytes hkdf(const bytes& ikm, const bytes& salt, const std::string& info) {
  uint8_t prk[32];
  bytes out(32);
  hkdf_extract_sha256(salt.data(), salt.size(), ikm.data(), ikm.size(), prk);
  hkdf_expand_sha256(prk, reinterpret_cast<const uint8_t*>(info.data()), info.size(), out.data(), 32);
  return out;
}

bytes cat(const bytes& a, const bytes& b) {
  bytes out = a;
  out.insert(out.end(), b.begin(), b.end());
  return out;
}

// With the draws scripted (file key, ephemeral scalar, nonce in that order), every secret
// of both directions is known here and must be absent from the stack each call leaves;
// the ephemeral share, which the calls do not wipe, shows the scan sees their frames.
TEST(Age, KeysAreWipedFromTheStack) {
  const Keys me(1);
  const bytes pt = vt::pseudo_random(70000, 5);
  const bytes file_key(g_draws.stream.begin(), g_draws.stream.begin() + 16);
  const bytes eph(g_draws.stream.begin() + 16, g_draws.stream.begin() + 48);
  const bytes nonce(g_draws.stream.begin() + 48, g_draws.stream.end());
  bytes share(32), shared(32);
  x25519_public_key(share.data(), eph.data());
  x25519(shared.data(), eph.data(), me.pk.data());
  const bytes secrets[] = {file_key,
                           eph,
                           shared,
                           hkdf(shared, cat(share, me.pk), "age-encryption.org/v1/X25519"),
                           hkdf(file_key, {}, "header"),
                           hkdf(file_key, nonce, "payload"),
                           me.sk};

  bytes file(age_encrypted_size_x25519(pt.size())), back(pt.size());
  size_t n = 0, got = 0;
  int rc = -100;
  g_draws.used = 0;
  g_draws.fail = false;
  vt::g_os_random_hook = scripted_draw;
  const vt::StackSnapshot enc = vt::stack_after(
      [&] { rc = age_encrypt_x25519(me.pk.data(), pt.data(), pt.size(), file.data(), file.size(), &n); });
  vt::g_os_random_hook = nullptr;
  ASSERT_EQ(rc, AGE_OK);
  const uint8_t(*ids)[32] = reinterpret_cast<const uint8_t(*)[32]>(me.sk.data());
  const vt::StackSnapshot dec = vt::stack_after(
      [&] { rc = age_decrypt_x25519(file.data(), n, ids, 1, back.data(), back.size(), &got, nullptr); });
  ASSERT_EQ(rc, AGE_OK);
  ASSERT_EQ(back, pt);
  const char* names[] = {"file key", "ephemeral scalar", "shared secret", "wrap key",
                         "HMAC key", "payload key",      "identity"};
  for (const auto* snap : {&enc, &dec}) {
    SCOPED_TRACE(snap == &enc ? "encryption" : "decryption");
    ASSERT_TRUE(snap->holds(share)) << "the scan does not see the call's frames";
    for (size_t i = 0; i < std::size(secrets); ++i) EXPECT_FALSE(snap->holds(secrets[i])) << names[i];
  }
}

}  // namespace
