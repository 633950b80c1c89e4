// HPKE (RFC 9180) in base mode for one suite: DHKEM(X25519, HKDF-SHA256), HKDF-SHA256 and
// AES-256-GCM. The labeled HKDF inputs are assembled in fixed stack buffers, which bounds
// info at HPKE_INFO_MAX; every buffer that held a secret is wiped before return.
#include <cstring>

#include "crypt.h"

namespace {

const uint8_t kVersion[7] = {'H', 'P', 'K', 'E', '-', 'v', '1'};
// "KEM" || kem_id, and "HPKE" || kem_id || kdf_id || aead_id.
const uint8_t kKemSuite[5] = {'K', 'E', 'M', 0x00, 0x20};
const uint8_t kHpkeSuite[10] = {'H', 'P', 'K', 'E', 0x00, 0x20, 0x00, 0x01, 0x00, 0x02};

constexpr size_t kLabelMax = 16;  // longest label used: "shared_secret", 13 bytes
// "HPKE-v1" || suite_id || label || ikm, with ikm at most info.
constexpr size_t kExtractBufLen = sizeof kVersion + sizeof kHpkeSuite + kLabelMax + HPKE_INFO_MAX;
// I2OSP(L, 2) || "HPKE-v1" || suite_id || label || info, with info at most the key
// schedule context (mode || psk_id_hash || info_hash, 65 bytes).
constexpr size_t kContextLen = 1 + 32 + 32;
constexpr size_t kExpandBufLen = 2 + sizeof kVersion + sizeof kHpkeSuite + kLabelMax + kContextLen;

struct span {
  const uint8_t* data;
  size_t len;
};

// Writes the pieces one after another into buf; -1 when they do not fit. *used counts
// the bytes written either way, so the caller wipes exactly those.
int concat(uint8_t* buf, size_t cap, size_t* used, const span* parts, size_t count) {
  *used = 0;
  for (size_t i = 0; i < count; ++i) {
    if (parts[i].len > cap - *used) return -1;
    if (parts[i].len != 0) std::memcpy(buf + *used, parts[i].data, parts[i].len);
    *used += parts[i].len;
  }
  return 0;
}

span label_of(const char* label) {
  return {reinterpret_cast<const uint8_t*>(label), std::strlen(label)};
}

// prk = Extract(salt, "HPKE-v1" || suite || label || ikm).
int labeled_extract(uint8_t prk[32], const uint8_t* salt, size_t salt_len, span suite,
                    const char* label, const uint8_t* ikm, size_t ikm_len) {
  uint8_t buf[kExtractBufLen];
  const span parts[4] = {{kVersion, sizeof kVersion}, suite, label_of(label), {ikm, ikm_len}};
  size_t n = 0;
  int r = concat(buf, sizeof buf, &n, parts, 4);
  if (r == 0) hkdf_extract_sha256(salt, salt_len, buf, n, prk);
  secure_zero(buf, n);
  return r;
}

// out = Expand(prk, I2OSP(out_len, 2) || "HPKE-v1" || suite || label || info, out_len).
int labeled_expand(uint8_t* out, size_t out_len, const uint8_t prk[32], span suite,
                   const char* label, const uint8_t* info, size_t info_len) {
  uint8_t buf[kExpandBufLen];
  const uint8_t len_be[2] = {static_cast<uint8_t>(out_len >> 8), static_cast<uint8_t>(out_len)};
  const span parts[5] = {{len_be, 2}, {kVersion, sizeof kVersion}, suite, label_of(label),
                         {info, info_len}};
  size_t n = 0;
  int r = concat(buf, sizeof buf, &n, parts, 5);
  if (r == 0) r = hkdf_expand_sha256(prk, buf, n, out, out_len);
  secure_zero(buf, n);
  return r;
}

// 1 when all 32 bytes are zero, else 0, with no branch on the bytes.
int all_zero32(const uint8_t b[32]) {
  uint32_t acc = 0;
  for (size_t i = 0; i < 32; ++i) acc |= b[i];
  return static_cast<int>((acc - 1) >> 8) & 1;
}

// shared_secret = ExtractAndExpand(dh, enc || pk_r). Refuses a zero dh (a small-order
// peer key), which would make the shared secret public.
int kem_shared_secret(uint8_t shared[32], const uint8_t dh[32], const uint8_t enc[32],
                      const uint8_t pk_r[32]) {
  if (all_zero32(dh)) return -1;
  const span kem_suite = {kKemSuite, sizeof kKemSuite};
  uint8_t kem_context[64];
  std::memcpy(kem_context, enc, 32);
  std::memcpy(kem_context + 32, pk_r, 32);
  uint8_t prk[32];
  int r = labeled_extract(prk, nullptr, 0, kem_suite, "eae_prk", dh, 32);
  if (r == 0) r = labeled_expand(shared, 32, prk, kem_suite, "shared_secret", kem_context, 64);
  secure_zero(prk, sizeof prk);
  return r;
}

// The mode_base key schedule (empty psk and psk_id) into ctx, starting at sequence 0.
int key_schedule(hpke_context* ctx, const uint8_t shared[32], const uint8_t* info,
                 size_t info_len) {
  const span suite = {kHpkeSuite, sizeof kHpkeSuite};
  uint8_t context[kContextLen];
  context[0] = 0x00;  // mode_base
  uint8_t secret[32];
  int r = labeled_extract(context + 1, nullptr, 0, suite, "psk_id_hash", nullptr, 0);
  if (r == 0) r = labeled_extract(context + 33, nullptr, 0, suite, "info_hash", info, info_len);
  if (r == 0) r = labeled_extract(secret, shared, 32, suite, "secret", nullptr, 0);
  if (r == 0) r = labeled_expand(ctx->key, 32, secret, suite, "key", context, sizeof context);
  if (r == 0) {
    r = labeled_expand(ctx->base_nonce, 12, secret, suite, "base_nonce", context, sizeof context);
  }
  ctx->seq = 0;
  secure_zero(secret, sizeof secret);
  return r;
}

bool setup_args_ok(const hpke_context* ctx, const uint8_t* key, const uint8_t* peer,
                   const uint8_t* info, size_t info_len) {
  return ctx != nullptr && key != nullptr && peer != nullptr && info_len <= HPKE_INFO_MAX &&
         (info != nullptr || info_len == 0);
}

// Both sides of the setup: dh = X25519(sk, peer), the KEM shared secret over enc || pk_r,
// then the key schedule into ctx, which is left wiped on failure.
int setup(hpke_context* ctx, const uint8_t sk[32], const uint8_t peer[32], const uint8_t enc[32],
          const uint8_t pk_r[32], const uint8_t* info, size_t info_len) {
  uint8_t dh[32], shared[32];
  x25519(dh, sk, peer);
  int r = kem_shared_secret(shared, dh, enc, pk_r);
  if (r == 0) r = key_schedule(ctx, shared, info, info_len);
  secure_zero(dh, sizeof dh);
  secure_zero(shared, sizeof shared);
  if (r != 0) hpke_context_wipe(ctx);
  return r;
}

// base_nonce XOR I2OSP(seq, 12).
void seq_nonce(uint8_t nonce[12], const hpke_context* ctx) {
  std::memcpy(nonce, ctx->base_nonce, 12);
  for (size_t i = 0; i < 8; ++i) nonce[11 - i] ^= static_cast<uint8_t>(ctx->seq >> (8 * i));
}

}  // namespace

void hpke_context_wipe(hpke_context* ctx) {
  if (ctx == nullptr) return;
  secure_zero(ctx->key, sizeof ctx->key);
  secure_zero(ctx->base_nonce, sizeof ctx->base_nonce);
  ctx->seq = UINT64_MAX;
}

int hpke_setup_base_sender_FOR_TEST(hpke_context* ctx, uint8_t enc[32], const uint8_t pk_r[32],
                                    const uint8_t* info, size_t info_len,
                                    const uint8_t sk_e[32]) {
  if (!setup_args_ok(ctx, enc, pk_r, info, info_len) || sk_e == nullptr) {
    hpke_context_wipe(ctx);
    if (enc != nullptr) secure_zero(enc, 32);
    return -1;
  }
  uint8_t pk_e[32];
  x25519_public_key(pk_e, sk_e);
  const int r = setup(ctx, sk_e, pk_r, pk_e, pk_r, info, info_len);
  if (r != 0) secure_zero(pk_e, sizeof pk_e);
  std::memcpy(enc, pk_e, 32);
  return r;
}

int hpke_setup_base_sender(hpke_context* ctx, uint8_t enc[32], const uint8_t pk_r[32],
                           const uint8_t* info, size_t info_len) {
  uint8_t sk_e[32];
  int r = crypt_fill_random(sk_e, sizeof sk_e);
  if (r == 0) {
    r = hpke_setup_base_sender_FOR_TEST(ctx, enc, pk_r, info, info_len, sk_e);
  } else {
    hpke_context_wipe(ctx);
    if (enc != nullptr) secure_zero(enc, 32);
  }
  secure_zero(sk_e, sizeof sk_e);
  return r;
}

int hpke_setup_base_recipient(hpke_context* ctx, const uint8_t enc[32], const uint8_t sk_r[32],
                              const uint8_t* info, size_t info_len) {
  if (!setup_args_ok(ctx, enc, sk_r, info, info_len)) {
    hpke_context_wipe(ctx);
    return -1;
  }
  uint8_t pk_r[32];
  x25519_public_key(pk_r, sk_r);
  return setup(ctx, sk_r, enc, enc, pk_r, info, info_len);
}

int hpke_seal(hpke_context* ctx, const uint8_t* aad, size_t aad_len, const uint8_t* pt,
              size_t pt_len, uint8_t* ct) {
  // UINT64_MAX is never used: it marks a wiped context, and no later number would exist.
  if (ctx == nullptr || ctx->seq == UINT64_MAX || ct == nullptr || (pt == nullptr && pt_len != 0) ||
      (aad == nullptr && aad_len != 0)) {
    return -1;
  }
  uint8_t nonce[12];
  seq_nonce(nonce, ctx);
  int r = aes256gcm_encrypt_aad(ctx->key, nonce, pt, pt_len, aad, aad_len, ct, ct + pt_len);
  secure_zero(nonce, sizeof nonce);
  if (r == 0) ++ctx->seq;
  return r;
}

int hpke_open(hpke_context* ctx, const uint8_t* aad, size_t aad_len, const uint8_t* ct,
              size_t ct_len, uint8_t* pt) {
  if (ct == nullptr || ct_len < HPKE_TAG_LEN) return -1;  // no plaintext length to zero
  const size_t pt_len = ct_len - HPKE_TAG_LEN;
  if (pt == nullptr) return -1;
  int r = -1;
  if (ctx != nullptr && ctx->seq != UINT64_MAX && (aad != nullptr || aad_len == 0)) {
    uint8_t nonce[12];
    seq_nonce(nonce, ctx);
    r = aes256gcm_decrypt_aad(ctx->key, nonce, ct, pt_len, aad, aad_len, ct + pt_len, pt);
    secure_zero(nonce, sizeof nonce);
  }
  if (r == 0) {
    ++ctx->seq;
  } else {
    secure_zero(pt, pt_len);
  }
  return r;
}

int hpke_seal_base(uint8_t enc[32], uint8_t* ct, const uint8_t pk_r[32], const uint8_t* info,
                   size_t info_len, const uint8_t* aad, size_t aad_len, const uint8_t* pt,
                   size_t pt_len) {
  hpke_context ctx;
  int r = hpke_setup_base_sender(&ctx, enc, pk_r, info, info_len);
  if (r == 0) r = hpke_seal(&ctx, aad, aad_len, pt, pt_len, ct);
  if (r != 0 && enc != nullptr) secure_zero(enc, 32);
  hpke_context_wipe(&ctx);
  return r;
}

int hpke_open_base(uint8_t* pt, const uint8_t enc[32], const uint8_t sk_r[32],
                   const uint8_t* info, size_t info_len, const uint8_t* aad, size_t aad_len,
                   const uint8_t* ct, size_t ct_len) {
  hpke_context ctx;
  // A failed setup leaves ctx wiped, so the open refuses and zeroes pt all the same.
  hpke_setup_base_recipient(&ctx, enc, sk_r, info, info_len);
  int r = hpke_open(&ctx, aad, aad_len, ct, ct_len, pt);
  hpke_context_wipe(&ctx);
  return r;
}
