// crypt: the program's cryptographic primitives. Plain functions over caller-owned
// buffers; nothing here allocates, prints or keeps state beyond the random-source
// failure switch. Results: 0 success, negative on failure, where an operation can fail.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- Wiping ----------------------------------------------------------------------

// Sets len bytes at buf to zero, one volatile store at a time, so the compiler can
// neither drop nor merge the stores. A null buf or a zero len does nothing.
void secure_zero(void* buf, size_t len);

// ---- OS random source ------------------------------------------------------------

// Fills len bytes with cryptographically strong random bytes from the OS. Returns 0 on
// success; -1 on failure, after zeroing all len bytes. A null buf returns -1 untouched.
int crypt_fill_random(uint8_t* buf, size_t len);
// Test hook: a non-zero on makes every later draw fail until called again with 0.
void crypt_random_force_fail_FOR_TEST(int on);
// Monotonic milliseconds from the OS tick counter.
uint64_t crypt_time_ms(void);

// ---- SHA-256 ---------------------------------------------------------------------

struct sha256_ctx {
  uint32_t state[8];
  uint64_t bitcount;  // bits in blocks already compressed
  uint8_t buffer[64];
  uint32_t buflen;    // bytes waiting in buffer, 0..63 between calls
};

void sha256_init(sha256_ctx* ctx);
// Absorbs len bytes; data may be null when len is 0.
void sha256_update(sha256_ctx* ctx, const uint8_t* data, size_t len);
// Pads and writes the 32-byte digest; the context is left as is (not reset, not wiped).
void sha256_final(sha256_ctx* ctx, uint8_t out[32]);
void sha256(const uint8_t* data, size_t len, uint8_t out[32]);
// 64 lower-case hex digits and a NUL: exactly 65 bytes.
void sha256_to_hex(const uint8_t digest[32], char out[65]);
// 1 when the 32-byte digests are equal, else 0; time independent of the contents.
int sha256_equal(const uint8_t a[32], const uint8_t b[32]);

// ---- SHA-512 and SHA-384 ---------------------------------------------------------

struct sha512_ctx {
  uint64_t state[8];
  uint64_t bitcount[2];  // 128-bit count of compressed bits, low word first
  uint8_t buffer[128];
  uint32_t buflen;       // 0..127 between calls
};

void sha512_init(sha512_ctx* ctx);
void sha384_init(sha512_ctx* ctx);
// Absorbs len bytes for SHA-512 and SHA-384 alike; data may be null when len is 0.
void sha512_update(sha512_ctx* ctx, const uint8_t* data, size_t len);
// Writes all eight state words (64 bytes); a SHA-384 digest is the first 48.
void sha512_final(sha512_ctx* ctx, uint8_t out[64]);
void sha512(const uint8_t* data, size_t len, uint8_t out[64]);
// Writes exactly 48 bytes.
void sha384(const uint8_t* data, size_t len, uint8_t out[48]);

// ---- BLAKE2b (RFC 7693) -----------------------------------------------------------

constexpr size_t BLAKE2B_BLOCK = 128;
constexpr size_t BLAKE2B_OUT_MAX = 64;
constexpr size_t BLAKE2B_KEY_MAX = 64;

struct blake2b_ctx {
  uint64_t h[8];
  uint64_t t[2];  // 128-bit count of bytes compressed, low word first
  uint8_t buffer[BLAKE2B_BLOCK];
  size_t buflen;  // 0..128: the last block seen waits until more input or final
  size_t outlen;
};

// Starts a digest of outlen (1..64) bytes, keyed with keylen (0..64) bytes of key. 0; -1
// for a length out of range or a null pointer. A keyed context holds the key until final.
int blake2b_init(blake2b_ctx* ctx, size_t outlen, const uint8_t* key, size_t keylen);
// Absorbs len bytes, compressing whole blocks straight from data; data may be null when
// len is 0.
void blake2b_update(blake2b_ctx* ctx, const uint8_t* data, size_t len);
// Writes the outlen-byte digest and wipes the context.
void blake2b_final(blake2b_ctx* ctx, uint8_t* out);
// One call: 0, or -1 as blake2b_init refuses.
int blake2b(const uint8_t* key, size_t keylen, const uint8_t* data, size_t len, uint8_t* out,
            size_t outlen);

// ---- SHA-1 -----------------------------------------------------------------------

struct sha1_ctx {
  uint32_t state[5];
  uint64_t bitcount;
  uint8_t buffer[64];
  uint32_t buflen;
};

void sha1_init(sha1_ctx* ctx);
void sha1_update(sha1_ctx* ctx, const uint8_t* data, size_t len);
void sha1_final(sha1_ctx* ctx, uint8_t out[20]);
void sha1(const uint8_t* data, size_t len, uint8_t out[20]);

// ---- HMAC and PBKDF2 -------------------------------------------------------------

// One-shot HMACs (RFC 2104). out is written last, so it may alias key or msg.
void sha256_hmac(const uint8_t* key, size_t key_len, const uint8_t* msg, size_t msg_len,
                 uint8_t out[32]);
void sha1_hmac(const uint8_t* key, size_t key_len, const uint8_t* msg, size_t msg_len,
               uint8_t out[20]);
void sha384_hmac(const uint8_t* key, size_t key_len, const uint8_t* msg, size_t msg_len,
                 uint8_t out[48]);
// PBKDF2-HMAC-SHA-256 (RFC 8018) over the whole salt; iterations 0 acts as 1.
void pbkdf2_sha256(const uint8_t* password, size_t password_len, const uint8_t* salt,
                   size_t salt_len, uint32_t iterations, uint8_t* out, size_t out_len);

// ---- HKDF ------------------------------------------------------------------------

// Extract (RFC 5869): a null or empty salt stands for HashLen zero bytes.
void hkdf_extract_sha256(const uint8_t* salt, size_t salt_len, const uint8_t* ikm,
                         size_t ikm_len, uint8_t prk[32]);
void hkdf_extract_sha384(const uint8_t* salt, size_t salt_len, const uint8_t* ikm,
                         size_t ikm_len, uint8_t prk[48]);
// Expand: 0 on success (also for out_len 0); -1 when out_len exceeds 255 * HashLen,
// in which case all out_len bytes of out are zeroed.
int hkdf_expand_sha256(const uint8_t prk[32], const uint8_t* info, size_t info_len,
                       uint8_t* out, size_t out_len);
int hkdf_expand_sha384(const uint8_t prk[48], const uint8_t* info, size_t info_len,
                       uint8_t* out, size_t out_len);

// ---- AES-256 (encryption direction) ----------------------------------------------

struct aes256_ecb_ctx {
  uint32_t w[60];  // key schedule; wipe with secure_zero when done
};

void aes256_ecb_keysetup(aes256_ecb_ctx* ctx, const uint8_t key[32]);
// in and out may be the same buffer.
void aes256_ecb_encrypt_block(const aes256_ecb_ctx* ctx, const uint8_t in[16], uint8_t out[16]);
// n blocks at once (faster than one at a time); in and out may be the same buffer.
void aes256_ecb_encrypt_blocks(const aes256_ecb_ctx* ctx, const uint8_t* in, uint8_t* out,
                               size_t n);

// ---- AES-256-GCM (96-bit IV, 128-bit tag) ----------------------------------------

// Encryption returns 0. Decryption returns -1 and writes nothing to plain when the tag
// does not verify. Both return -1 and write nothing when the data exceeds 2^36 - 32 bytes
// or the AAD 2^61 - 1 bytes (the SP 800-38D bounds; past them the block counter would
// wrap). cipher and plain may be the same buffer.
int aes256gcm_encrypt(const uint8_t key[32], const uint8_t iv[12], const uint8_t* plain,
                      size_t plain_len, uint8_t* cipher, uint8_t tag[16]);
int aes256gcm_decrypt(const uint8_t key[32], const uint8_t iv[12], const uint8_t* cipher,
                      size_t cipher_len, const uint8_t tag[16], uint8_t* plain);
int aes256gcm_encrypt_aad(const uint8_t key[32], const uint8_t iv[12], const uint8_t* plain,
                          size_t plain_len, const uint8_t* aad, size_t aad_len, uint8_t* cipher,
                          uint8_t tag[16]);
int aes256gcm_decrypt_aad(const uint8_t key[32], const uint8_t iv[12], const uint8_t* cipher,
                          size_t cipher_len, const uint8_t* aad, size_t aad_len,
                          const uint8_t tag[16], uint8_t* plain);

// ---- Ed25519 (RFC 8032) ----------------------------------------------------------

// Fresh key pair from the OS random source. sk = seed || pk. Returns 0, or -1 when the
// random source failed (then pk and sk, where not null, are all zero).
int ed25519_keypair(uint8_t pk[32], uint8_t sk[64]);
// The key pair of a given seed, as key generation derives it: pk = encoding of
// clamp(SHA-512(seed)[0..31]) * B, sk = seed || pk. Wipes its digest, clamped scalar and
// hash context. seed may alias sk.
void ed25519_seed_keypair(uint8_t pk[32], uint8_t sk[64], const uint8_t seed[32]);
// Deterministic signature. sk must be a key pair as key generation makes it: the seed
// followed by its own public key. The public half is hashed as stored, not derived, and
// signatures of one message under one seed with two public halves give away the secret
// scalar. sig is written only after sk and msg have been read in full, so it may overlap
// either.
void ed25519_sign(const uint8_t sk[64], const uint8_t* msg, size_t len, uint8_t sig[64]);
// 0 when sig is a valid signature of msg under pk, -1 otherwise (cofactorless check).
int ed25519_verify(const uint8_t pk[32], const uint8_t* msg, size_t len, const uint8_t sig[64]);

// Ed25519ctx (RFC 8032, section 5.1): Ed25519 with dom2(0, context) hashed before both
// hash inputs, so a signature made under one context verifies under no other, nor as a
// plain Ed25519 signature. context is 1 to 255 bytes; -1 for any other length (sig
// untouched), else 0. Same key pairs, contract and wipes as ed25519_sign.
int ed25519ctx_sign(const uint8_t sk[64], const uint8_t* context, size_t context_len,
                    const uint8_t* msg, size_t len, uint8_t sig[64]);
// 0 when sig is a valid Ed25519ctx signature of msg under pk and context, -1 otherwise
// (also for a context outside 1 to 255 bytes).
int ed25519ctx_verify(const uint8_t pk[32], const uint8_t* context, size_t context_len,
                      const uint8_t* msg, size_t len, const uint8_t sig[64]);

// Streamed signing of a message too large to hold in memory, read twice by the caller:
//   init; update over the message; next_pass; update over the message again; final.
// Pass 1 derives the nonce, pass 2 the challenge; each pass also takes a SHA-256 of the
// message, and final releases a signature only when the two are equal: a message that
// changed in between would otherwise give two challenges for one nonce, and two such
// signatures reveal the secret key (passing with a changed message takes a SHA-256
// collision). The signature released is exactly ed25519_sign(sk, M) of the message M of
// both passes; chunking does not matter.
// The fields are private to these functions and hold secrets until final or abort.
struct ed25519_sign_stream {
  uint8_t az[64];        // clamped secret scalar a || prefix
  uint8_t pk[32];        // second half of sk as stored, hashed into the challenge
  uint8_t seen[32];      // SHA-256(M) of pass 1
  uint8_t r[32];         // nonce mod L
  uint8_t R[32];         // encoding of r B
  sha512_ctx hash_ctx;   // prefix || M in pass 1, R || pk || M in pass 2
  sha256_ctx seen_ctx;   // M, in each pass
  uint32_t phase;        // pass 1, pass 2, or 0: finished or misused
};

// Starts pass 1. sk (seed || public key) is read in full here, so it may be wiped after.
void ed25519_sign_stream_init(ed25519_sign_stream* st, const uint8_t sk[64]);
// Absorbs len message bytes into the current pass; data may be null when len is 0.
// Called after final or abort it does nothing.
void ed25519_sign_stream_update(ed25519_sign_stream* st, const uint8_t* data, size_t len);
// The two halves of update: the secret hash (hash_ctx) and the SHA-256 that proves the
// pass (seen_ctx). They touch separate fields, so two threads may run them side by side
// over the same bytes; each must see every byte of the pass, in order.
void ed25519_sign_stream_update_hash(ed25519_sign_stream* st, const uint8_t* data, size_t len);
void ed25519_sign_stream_update_seen(ed25519_sign_stream* st, const uint8_t* data, size_t len);
// Ends pass 1 and starts pass 2. Called in any other phase it wipes st, so final fails.
void ed25519_sign_stream_next_pass(ed25519_sign_stream* st);
// Ends pass 2: 0 with the signature in sig when pass 2 saw the bytes of pass 1; -1 with
// sig left as it was when they differ or the calls came out of order. Wipes st on every
// path. The comparison and the choice of output take the same time either way. On 0 a
// non-null challenge receives SHA-512(R || pk || M), the digest a verifier computes, so
// the caller can check the signature (ed25519_verify_hashed) without a third pass, and a
// non-null digest receives SHA-256(M); both are left as they were on -1.
int ed25519_sign_stream_final(ed25519_sign_stream* st, uint8_t sig[64], uint8_t challenge[64],
                              uint8_t digest[32]);
// Wipes st, for a caller that stops half-way; a later final returns -1.
void ed25519_sign_stream_abort(ed25519_sign_stream* st);

// Streamed verification: the acceptance of ed25519_verify over a message fed in chunks.
// No secrets; pk and sig are copied at init, so they may change afterwards.
struct ed25519_verify_stream {
  uint8_t pk[32];
  uint8_t sig[64];
  sha512_ctx ctx;  // R || pk || M
  uint32_t phase;  // started, or 0 once final has run
};

void ed25519_verify_stream_init(ed25519_verify_stream* st, const uint8_t pk[32],
                                const uint8_t sig[64]);
// Absorbs len message bytes; data may be null when len is 0.
void ed25519_verify_stream_update(ed25519_verify_stream* st, const uint8_t* data, size_t len);
// 0 when sig is a valid signature of the message under pk, -1 otherwise; also -1 when
// called a second time without a new init.
int ed25519_verify_stream_final(ed25519_verify_stream* st);

// The check of ed25519_verify given challenge = SHA-512(R || pk || M) instead of M: 0 when
// sig is valid under pk, -1 otherwise.
int ed25519_verify_hashed(const uint8_t pk[32], const uint8_t sig[64], const uint8_t challenge[64]);

// ---- X25519 (RFC 7748) -----------------------------------------------------------

// out = u-coordinate of clamp(scalar) * point.
void x25519(uint8_t out[32], const uint8_t scalar[32], const uint8_t point[32]);
// u = (1 + y) / (1 - y) of an Ed25519 public key.
void ed25519_pk_to_x25519(uint8_t out[32], const uint8_t pk[32]);
// The clamped first half of SHA-512(seed); reads only sk[0..31].
void ed25519_sk_to_x25519(uint8_t out[32], const uint8_t sk[64]);
// pk = X25519(sk, 9): the public key of an X25519 secret key.
void x25519_public_key(uint8_t pk[32], const uint8_t sk[32]);

// ---- HPKE (RFC 9180), base mode ---------------------------------------------------
//
// One suite: DHKEM(X25519, HKDF-SHA256), HKDF-SHA256, AES-256-GCM. A sender sets up a
// context against the recipient's public key and sends enc (its ephemeral public key)
// with the ciphertexts; the recipient sets up the same context from enc and its secret
// key. Each seal or open uses the next sequence number, so messages must be opened in
// the order they were sealed.

// Longest info accepted by the setups; a longer one is refused.
constexpr size_t HPKE_INFO_MAX = 1024;
// Bytes a ciphertext adds to its plaintext: the AES-GCM tag.
constexpr size_t HPKE_TAG_LEN = 16;

// Secret: the AEAD key and base nonce of one context. Wipe with hpke_context_wipe. A
// wiped context (and one whose setup failed) has seq at UINT64_MAX and refuses every
// seal and open.
struct hpke_context {
  uint8_t key[32];
  uint8_t base_nonce[12];
  uint64_t seq;  // sequence number of the next seal or open
};

// Sender setup with a fresh ephemeral key from the OS random source. Writes enc and
// ctx and returns 0; returns -1, with enc zeroed and ctx wiped, when the random source
// fails, pk_r is of small order (the Diffie-Hellman result is zero), info is longer than
// HPKE_INFO_MAX, or a pointer is null (info may be null when info_len is 0).
int hpke_setup_base_sender(hpke_context* ctx, uint8_t enc[32], const uint8_t pk_r[32],
                           const uint8_t* info, size_t info_len);
// The same with the ephemeral secret key given, for replaying known answers only.
int hpke_setup_base_sender_FOR_TEST(hpke_context* ctx, uint8_t enc[32], const uint8_t pk_r[32],
                                    const uint8_t* info, size_t info_len, const uint8_t sk_e[32]);
// Recipient setup. Returns 0, or -1 with ctx wiped when enc is of small order, info is
// too long or a pointer is null.
int hpke_setup_base_recipient(hpke_context* ctx, const uint8_t enc[32], const uint8_t sk_r[32],
                              const uint8_t* info, size_t info_len);

// Seals pt_len bytes into ct (pt_len + HPKE_TAG_LEN bytes: ciphertext, then tag) under
// the next sequence number. -1, with ct untouched and seq unchanged, when the context is
// spent or wiped, or the lengths exceed the AES-GCM bounds. ct may be pt.
int hpke_seal(hpke_context* ctx, const uint8_t* aad, size_t aad_len, const uint8_t* pt,
              size_t pt_len, uint8_t* ct);
// Opens ct (ct_len >= HPKE_TAG_LEN) into pt (ct_len - HPKE_TAG_LEN bytes) under the next
// sequence number. -1 when the tag does not verify, ct is shorter than a tag or the
// context is spent or wiped; then pt is all zero and seq is unchanged. pt may be ct.
int hpke_open(hpke_context* ctx, const uint8_t* aad, size_t aad_len, const uint8_t* ct,
              size_t ct_len, uint8_t* pt);
void hpke_context_wipe(hpke_context* ctx);

// One message at sequence 0: setup, seal or open, wipe. Results and refusals as above;
// a refused seal leaves enc zeroed, a refused open leaves pt zeroed.
int hpke_seal_base(uint8_t enc[32], uint8_t* ct, const uint8_t pk_r[32], const uint8_t* info,
                   size_t info_len, const uint8_t* aad, size_t aad_len, const uint8_t* pt,
                   size_t pt_len);
int hpke_open_base(uint8_t* pt, const uint8_t enc[32], const uint8_t sk_r[32],
                   const uint8_t* info, size_t info_len, const uint8_t* aad, size_t aad_len,
                   const uint8_t* ct, size_t ct_len);

// ---- ChaCha20-Poly1305 (RFC 8439) --------------------------------------------------

constexpr size_t CHACHA20POLY1305_TAG_LEN = 16;

// AEAD encryption: 0, with the ciphertext (plain_len bytes) in cipher and the tag in tag;
// -1, writing nothing, when plain_len exceeds 2^38 - 64 bytes (the 32-bit block counter,
// started at 1, would wrap) or a pointer is null (aad and plain may be null when their
// length is 0). cipher may be plain. The key stream, the one-time Poly1305 key and every
// intermediate state are wiped before returning.
int chacha20poly1305_encrypt(const uint8_t key[32], const uint8_t nonce[12], const uint8_t* aad,
                             size_t aad_len, const uint8_t* plain, size_t plain_len,
                             uint8_t* cipher, uint8_t tag[16]);
// AEAD decryption: the tag is checked first, in constant time; 0 with the plaintext
// (cipher_len bytes) in plain; -1, writing nothing to plain, when the tag does not verify,
// the length is out of bounds or a pointer is null (aad and cipher may be null when their
// length is 0). plain may be cipher.
int chacha20poly1305_decrypt(const uint8_t key[32], const uint8_t nonce[12], const uint8_t* aad,
                             size_t aad_len, const uint8_t* cipher, size_t cipher_len,
                             const uint8_t tag[16], uint8_t* plain);

// ---- Bech32 (BIP 173, without its 90-character limit) and base64 -----------------------

// Encodes the human-readable part hrp (1 to 83 characters, ASCII 33..126, no upper case)
// and len data bytes (regrouped from 8 to 5 bits, the last group zero-padded) with the
// 6-character checksum: "<hrp>1<data><checksum>", all in upper case when upper is non-zero,
// and a NUL. 0; -1 (out untouched) when hrp is refused or cap is too small. The 5-bit
// groups of the data are wiped: identities are secret.
int bech32_encode(const char* hrp, const uint8_t* data, size_t len, int upper, char* out,
                  size_t cap);
// Decodes the len characters at str: one case throughout, the last '1' separating an hrp
// of 1 to 83 characters from at least 6 data characters of the Bech32 alphabet, a valid
// checksum, and padding of at most 4 bits, all zero. 0 with the hrp in lower case and a
// NUL in hrp, and the bytes in data (*data_len of them); -1 otherwise, or when hrp_cap or
// data_cap is too small (then data is zeroed). Every intermediate is wiped.
int bech32_decode(const char* str, size_t len, char* hrp, size_t hrp_cap, uint8_t* data,
                  size_t data_cap, size_t* data_len);

// Base64, standard alphabet (RFC 4648, section 4). Encoding writes the characters, with '='
// padding when pad is non-zero, and a NUL: 0 with their count in *out_len; -1 (out
// untouched) when cap is too small.
int base64_encode(const uint8_t* data, size_t len, int pad, char* out, size_t cap,
                  size_t* out_len);
// Decodes canonical base64 only: with pad non-zero the length is a multiple of 4 and ends
// in the '=' padding it needs; with pad zero there is no '=' and the length is not 1 mod
// 4; in both, the unused bits of the last character are zero. 0 with the bytes in out
// (*out_len); -1 on any other input or when cap is too small.
int base64_decode(const char* in, size_t len, int pad, uint8_t* out, size_t cap,
                  size_t* out_len);

// ---- age v1 (age-encryption.org/v1), X25519 recipients ------------------------------
//
// An age file: a text header of recipient stanzas and a MAC, then the payload in the STREAM
// construction (ChaCha20-Poly1305, 64 KiB chunks). Only X25519 stanzas are unwrapped;
// other stanzas are parsed and skipped. Nothing here allocates: the caller gives the
// buffers, and every secret (file key, wrap key, shared secret, ephemeral scalar, payload
// key, decoded identities) is wiped by the function that made it, on every path.

constexpr size_t AGE_CHUNK_SIZE = 64 * 1024;
// "age1" and 58 Bech32 characters, and a NUL.
constexpr size_t AGE_RECIPIENT_SIZE = 63;
// "AGE-SECRET-KEY-1" and 58 Bech32 characters, and a NUL.
constexpr size_t AGE_IDENTITY_SIZE = 75;

enum : int {
  AGE_OK = 0,
  AGE_NO_MATCH = -1,   // a well-formed header, but no identity unwraps an X25519 stanza
  AGE_HEADER = -2,     // the header is malformed (or an X25519 stanza is, or unwraps to
                       // an all-zero shared secret)
  AGE_HMAC = -3,       // the header MAC does not verify under the file key
  AGE_PAYLOAD = -4,    // the payload is malformed or a chunk does not authenticate
  AGE_ARMOR = -5,      // the ASCII armor is malformed
  AGE_TOO_LARGE = -6,  // the output does not fit in cap
  AGE_REFUSED = -7,    // a refused argument: a null pointer, a recipient of small order
  AGE_RANDOM = -8,     // the OS random source failed
};

// The recipient string "age1..." of an X25519 public key, lower case.
void age_recipient_encode(const uint8_t pk[32], char out[AGE_RECIPIENT_SIZE]);
// The identity string "AGE-SECRET-KEY-1..." of an X25519 secret key, upper case.
void age_identity_encode(const uint8_t sk[32], char out[AGE_IDENTITY_SIZE]);
// Parses the len characters at s as a recipient (hrp "age", 32 bytes) into pk: 0, or -1.
int age_recipient_decode(const char* s, size_t len, uint8_t pk[32]);
// Parses the len characters at s as an identity (hrp "age-secret-key-", 32 bytes, upper
// case as age writes it, or lower case) into sk: 0, or -1 with sk zeroed.
int age_identity_decode(const char* s, size_t len, uint8_t sk[32]);

// Bytes of the binary age file that age_encrypt_x25519 makes of pt_len bytes.
size_t age_encrypted_size_x25519(size_t pt_len);
// Encrypts pt_len bytes to one X25519 recipient as a binary age file: a fresh file key,
// ephemeral key and payload nonce from the OS random source. AGE_OK with the file in out
// and its length in *out_len; AGE_REFUSED (recipient of small order, null pointer),
// AGE_TOO_LARGE (cap below age_encrypted_size_x25519) or AGE_RANDOM, with nothing in out.
int age_encrypt_x25519(const uint8_t recipient[32], const uint8_t* pt, size_t pt_len,
                       uint8_t* out, size_t cap, size_t* out_len);
// Decrypts a binary age file with count X25519 identities (secret keys), trying each
// against each X25519 stanza. AGE_OK with the plaintext in out (*out_len bytes) and in
// *which (when not null) the index of the identity that unwrapped the file key. On
// AGE_PAYLOAD, out holds the plaintext of the chunks that authenticated before the fault
// (*out_len bytes; the caller wipes them); on every other failure *out_len is 0 and out
// holds nothing. The header is read within in_len; AGE_TOO_LARGE when the plaintext
// exceeds cap.
int age_decrypt_x25519(const uint8_t* in, size_t in_len, const uint8_t (*identities)[32],
                       int count, uint8_t* out, size_t cap, size_t* out_len, int* which);
// 1 when the len bytes at in begin (after optional leading whitespace) with the armor's
// "-----BEGIN AGE ENCRYPTED FILE-----" line; else 0.
int age_is_armored(const uint8_t* in, size_t len);
// Decodes an armored age file as age reads it (64-column lines of padded base64, the
// last shorter, LF or CRLF, whitespace only around the armor) into the binary file: 0
// with *out_len bytes in out; AGE_ARMOR when malformed; AGE_TOO_LARGE when cap is too
// small.
int age_dearmor(const uint8_t* in, size_t len, uint8_t* out, size_t cap, size_t* out_len);

// ---- AES-128, AES key wrap, CFB and CRC-24 (for OpenPGP) ------------------------------

struct aes128_ecb_ctx {
  uint32_t w[44];  // key schedule; wipe with secure_zero when done
};

// AES-128 (FIPS 197), encryption direction, on the same paths as AES-256 (the instruction
// path where the processor has one, else the constant-time portable one).
void aes128_ecb_keysetup(aes128_ecb_ctx* ctx, const uint8_t key[16]);
// in and out may be the same buffer.
void aes128_ecb_encrypt_block(const aes128_ecb_ctx* ctx, const uint8_t in[16], uint8_t out[16]);

// AES key wrap (RFC 3394, the default IV A6A6A6A6A6A6A6A6) of in_len bytes (a multiple of
// 8, at least 16, at most 1024) under a 16- or 32-byte KEK into out (in_len + 8 bytes).
// 0; -1 (out untouched) for any other length or a null pointer. The key schedule and the
// working blocks are wiped. out may not overlap in.
int aes_key_wrap(const uint8_t* kek, size_t kek_len, const uint8_t* in, size_t in_len,
                 uint8_t* out);

// AES-256 in CFB mode (full 128-bit feedback, no resynchronisation), encryption: len
// bytes of in to out under key and iv. out may be in. The key schedule and the feedback
// block are wiped.
void aes256_cfb_encrypt(const uint8_t key[32], const uint8_t iv[16], const uint8_t* in,
                        size_t len, uint8_t* out);

// CRC-24 of OpenPGP's ASCII armor (RFC 9580, section 6.1): initial value 0xB704CE,
// generator 0x1864CFB; the 24-bit result in the low bits.
uint32_t crc24_openpgp(const uint8_t* data, size_t len);

// ---- OpenPGP (RFC 9580): certificates read, messages written ---------------------------
//
// Version 4 certificates with an Ed25519 primary key (EdDSALegacy, algorithm 22) and a
// Curve25519 ECDH encryption subkey (algorithm 18), as gpg and sq make them; messages to
// such a subkey: a v3 PKESK and a v1 SEIPD (AES-256, MDC), ASCII-armored. Bounded, no heap:
// the caller gives the buffers.

// ASCII armor: the kind of block.
enum : int {
  OPENPGP_ARMOR_PUBLIC_KEY = 1,  // "PGP PUBLIC KEY BLOCK"
  OPENPGP_ARMOR_MESSAGE = 2,     // "PGP MESSAGE"
};
// 1 when the len bytes at in begin (after optional whitespace) with the armor line of the
// kind given; else 0.
int openpgp_is_armored(const uint8_t* in, size_t len, int kind);
// Decodes an armored block of the kind given (header lines such as "Comment:" skipped,
// base64 lines of at most 76 characters with whitespace inside ignored, the CRC-24 checksum
// line checked when present, LF or CRLF, only whitespace before and after the block) into
// out: 0 with *out_len bytes; -1 when malformed or cap is too small, with the bytes written
// to out zeroed.
int openpgp_dearmor(const uint8_t* in, size_t len, int kind, uint8_t* out, size_t cap,
                    size_t* out_len);
// Encodes len bytes as an armored block of the kind given (64-column base64 lines, the
// CRC-24 line) with a NUL: 0 with *out_len characters; -1 when cap is too small.
int openpgp_armor(const uint8_t* data, size_t len, int kind, char* out, size_t cap,
                  size_t* out_len);

constexpr size_t OPENPGP_USER_ID_MAX = 256;
constexpr size_t OPENPGP_REASON_MAX = 96;

// What a certificate offers to encrypt to, once every signature needed is checked.
struct openpgp_cert {
  uint8_t primary_fpr[20];           // v4 fingerprint of the primary key
  char user_id[OPENPGP_USER_ID_MAX]; // the user ID shown: the primary one among those with a
                                     // valid self-certification, else the first such; NUL-
                                     // terminated, control characters replaced by '?'
  uint8_t subkey[32];                // the encryption subkey's X25519 public key (native form)
  uint8_t subkey_fpr[20];            // its v4 fingerprint (the ECDH KDF parameter)
  uint8_t kdf_hash;                  // its KDF hash: 8 SHA-256, 9 SHA-384 or 10 SHA-512
  uint8_t kdf_cipher;                // its key-wrap cipher: 7 AES-128 or 9 AES-256
};

// Why a certificate is refused.
enum : int {
  OPENPGP_CERT_OK = 0,
  OPENPGP_CERT_MALFORMED = -1,       // not a v4 transferable public key, or damaged
  OPENPGP_CERT_PRIMARY = -2,         // the primary key is not Ed25519 (EdDSALegacy)
  OPENPGP_CERT_NO_SUBKEY = -3,       // no usable Curve25519 encryption subkey; see reason
  OPENPGP_CERT_NO_USER_ID = -4,      // no user ID carries a valid self-certification
};

// Reads a binary certificate (a transferable public key, RFC 9580 section 10.1) at time now
// (seconds since 1970, UTC): the primary key, its user IDs and their certifications (0x10 to
// 0x13, and 0x30 revoking them), its subkeys and their binding signatures (0x18), direct-key
// signatures (0x1F) and revocations (0x20 of the primary, 0x28 of a subkey). Only signatures
// the primary key issued count, each checked under it (SHA-256, SHA-384 or SHA-512 hashes;
// others, a critical subpacket not known, or a signature past its expiration time count as
// invalid); of several on one object the newest valid one holds. The newest Curve25519 ECDH
// subkey whose newest valid binding allows encryption (key flags 0x04 or 0x08), is not
// expired and is not revoked, of a primary that is neither revoked nor expired (the key
// expiration time of its newest direct-key signature or shown user ID's certification), is
// chosen. OPENPGP_CERT_OK with out filled; otherwise one of the codes above, out zeroed, and a
// short reason in reason ("revoked", "expired on 2026-01-31", "its primary key is revoked",
// "RSA/NIST/v6 keys are not supported", "no subkey allows encryption", ...). A v3 or v6
// primary key counts as OPENPGP_CERT_PRIMARY; data holding more than one certificate, or
// secret keys, as OPENPGP_CERT_MALFORMED.
int openpgp_cert_read(const uint8_t* data, size_t len, uint64_t now, openpgp_cert* out,
                      char reason[OPENPGP_REASON_MAX]);

// Encrypts len bytes (at most 4096) to the certificate's encryption subkey as an armored
// OpenPGP message: a v3 PKESK (ECDH with a fresh ephemeral X25519 key, the KDF and key wrap
// of the subkey's parameters, the AES-256 session key with its algorithm octet and checksum,
// PKCS#5-padded to 40 bytes), then a v1 SEIPD (AES-256 CFB, zero IV, the random prefix and
// its two repeated octets, a literal data packet ('b', no name, date 0) holding the bytes,
// the MDC packet over all of it with SHA-1). 0 with the NUL-terminated armored text in out
// and its length in *out_len; -1 refused (subkey of small order, unknown parameters, cap
// too small, a null pointer); -2 the random source failed. Every secret (ephemeral scalar,
// shared secret, KEK, session key, CFB state, the padded plaintext) is wiped.
int openpgp_encrypt(const openpgp_cert* cert, const uint8_t* data, size_t len, char* out,
                    size_t cap, size_t* out_len);
