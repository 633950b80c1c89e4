// Ed25519 (RFC 8032, PureEdDSA with SHA-512): key pairs, deterministic signatures and
// cofactorless verification. Every copy of the seed, the secret scalar, the prefix and the
// nonce is wiped before return; the secret path runs in constant time.
#include <cstring>

#include "crypt.h"
#include "curve25519_internal.h"
#include "ed25519_internal.h"

using namespace crypt_internal;

namespace {

void base_point(ge* b) { (void)ge_frombytes(b, B_COMPRESSED); }  // the constant always decodes

// dom2(0, context) of Ed25519ctx, hashed before both hash inputs; empty for plain Ed25519.
struct dom2 {
  uint8_t bytes[32 + 2 + 255];
  size_t len = 0;
};

// False for a context outside 1..255 bytes, which Ed25519ctx does not define.
bool make_dom2(dom2* d, const uint8_t* context, size_t context_len) {
  static const char kPrefix[] = "SigEd25519 no Ed25519 collisions";
  if (context == nullptr || context_len == 0 || context_len > 255) return false;
  std::memcpy(d->bytes, kPrefix, 32);
  d->bytes[32] = 0;  // phflag: the message itself, not its hash
  d->bytes[33] = static_cast<uint8_t>(context_len);
  std::memcpy(d->bytes + 34, context, context_len);
  d->len = 34 + context_len;
  return true;
}

void sign_dom(const dom2& dom, const uint8_t sk[64], const uint8_t* msg, size_t len,
              uint8_t sig[64]) {
  uint8_t digest[64];  // clamped scalar a || prefix
  uint8_t wide[64];
  uint8_t r[32];
  uint8_t k[32];
  uint8_t rs[64];  // R || S, copied to sig once every input has been read
  sha512_ctx ctx;
  crypt_ed::expand(digest, sk);

  // Nonce r = SHA-512(dom || prefix || msg) mod L.
  sha512_init(&ctx);
  sha512_update(&ctx, dom.bytes, dom.len);
  sha512_update(&ctx, digest + 32, 32);
  sha512_update(&ctx, msg, len);
  sha512_final(&ctx, wide);
  secure_zero(&ctx, sizeof ctx);
  sc_reduce(r, wide);
  secure_zero(wide, sizeof wide);

  crypt_ed::base_mul(rs, r);

  // Challenge k = SHA-512(dom || R || pk as stored || msg) mod L.
  sha512_init(&ctx);
  sha512_update(&ctx, dom.bytes, dom.len);
  sha512_update(&ctx, rs, 32);
  sha512_update(&ctx, sk + 32, 32);
  sha512_update(&ctx, msg, len);
  sha512_final(&ctx, wide);
  sc_reduce(k, wide);

  sc_muladd(rs + 32, k, digest, r);  // S = k a + r mod L
  std::memcpy(sig, rs, 64);

  secure_zero(digest, sizeof digest);
  secure_zero(r, sizeof r);
}

int verify_dom(const dom2& dom, const uint8_t pk[32], const uint8_t* msg, size_t len,
               const uint8_t sig[64]) {
  uint8_t h[64];
  sha512_ctx ctx;
  sha512_init(&ctx);
  sha512_update(&ctx, dom.bytes, dom.len);
  sha512_update(&ctx, sig, 32);
  sha512_update(&ctx, pk, 32);
  sha512_update(&ctx, msg, len);
  sha512_final(&ctx, h);
  return ed25519_verify_hashed(pk, sig, h);
}

}  // namespace

namespace crypt_ed {

void expand(uint8_t az[64], const uint8_t seed[32]) {
  sha512_ctx ctx;
  sha512_init(&ctx);
  sha512_update(&ctx, seed, 32);
  sha512_final(&ctx, az);
  secure_zero(&ctx, sizeof ctx);
  sc_clamp(az);
}

void base_mul(uint8_t out[32], const uint8_t k[32]) {
  ge b, pt;
  base_point(&b);
  ge_scalarmult(&pt, k, &b);
  ge_tobytes(out, &pt);
}

}  // namespace crypt_ed

void ed25519_seed_keypair(uint8_t pk[32], uint8_t sk[64], const uint8_t seed[32]) {
  uint8_t az[64];
  uint8_t pub[32];
  crypt_ed::expand(az, seed);
  crypt_ed::base_mul(pub, az);

  std::memmove(sk, seed, 32);
  std::memcpy(sk + 32, pub, 32);
  std::memcpy(pk, pub, 32);

  secure_zero(az, sizeof az);
}

int ed25519_keypair(uint8_t pk[32], uint8_t sk[64]) {
  uint8_t seed[32];
  if (crypt_fill_random(seed, sizeof seed) != 0) {
    secure_zero(seed, sizeof seed);
    secure_zero(pk, 32);  // does nothing for a null output
    secure_zero(sk, 64);
    return -1;
  }
  ed25519_seed_keypair(pk, sk, seed);
  secure_zero(seed, sizeof seed);
  return 0;
}

void ed25519_sign(const uint8_t sk[64], const uint8_t* msg, size_t len, uint8_t sig[64]) {
  sign_dom(dom2{}, sk, msg, len, sig);
}

int ed25519ctx_sign(const uint8_t sk[64], const uint8_t* context, size_t context_len,
                    const uint8_t* msg, size_t len, uint8_t sig[64]) {
  dom2 dom;
  if (!make_dom2(&dom, context, context_len)) return -1;
  sign_dom(dom, sk, msg, len, sig);
  return 0;
}

int ed25519_verify_hashed(const uint8_t pk[32], const uint8_t sig[64], const uint8_t h[64]) {
  if (!sc_is_canonical(sig + 32)) return -1;  // S >= L
  ge a;
  if (ge_frombytes(&a, pk) != 0) return -1;
  fe_neg(a.X, a.X);
  fe_neg(a.T, a.T);
  uint8_t k[32];
  sc_reduce(k, h);

  // R' = S B - k A must encode exactly as the R of the signature.
  ge b, p, q;
  base_point(&b);
  ge_scalarmult(&p, sig + 32, &b);
  ge_scalarmult(&q, k, &a);
  ge_add(&p, &p, &q);
  uint8_t rcheck[32];
  ge_tobytes(rcheck, &p);
  uint8_t diff = 0;
  for (int i = 0; i < 32; ++i) diff |= static_cast<uint8_t>(rcheck[i] ^ sig[i]);
  return diff == 0 ? 0 : -1;
}

int ed25519_verify(const uint8_t pk[32], const uint8_t* msg, size_t len, const uint8_t sig[64]) {
  return verify_dom(dom2{}, pk, msg, len, sig);
}

int ed25519ctx_verify(const uint8_t pk[32], const uint8_t* context, size_t context_len,
                      const uint8_t* msg, size_t len, const uint8_t sig[64]) {
  dom2 dom;
  if (!make_dom2(&dom, context, context_len)) return -1;
  return verify_dom(dom, pk, msg, len, sig);
}
