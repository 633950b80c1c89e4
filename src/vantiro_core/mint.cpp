// Minting a root: key pair, operator signature, anchor record, verified split; and the
// one-shot signature and hex helpers of the ceremony.
#include <cstring>

#include "core_internal.h"
#include "crypt.h"
#include "vantiro_core.h"

namespace {

constexpr size_t kPubSize = VANTIRO_KEY_SIZE;
constexpr size_t kSigSize = VANTIRO_SIG_SIZE;

}  // namespace

int vantiro_hex(const uint8_t* data, size_t len, char* out, size_t cap) {
  static const char hex_lut[] = "0123456789abcdef";
  // cap >= 2 * len + 1, written so that no huge len can wrap the product.
  if (cap == 0 || (cap - 1) / 2 < len) return -5;
  for (size_t i = 0; i < len; ++i) {
    out[2 * i] = hex_lut[data[i] >> 4];
    out[2 * i + 1] = hex_lut[data[i] & 15];
  }
  out[2 * len] = '\0';
  return 0;
}

void vantiro_operator_message(const uint8_t key[VANTIRO_KEY_SIZE],
                              uint8_t msg[VANTIRO_OPERATOR_MSG_SIZE]) {
  std::memcpy(msg, key, VANTIRO_KEY_SIZE);
  std::memcpy(msg + VANTIRO_KEY_SIZE, VANTIRO_OPERATOR_WORD, sizeof VANTIRO_OPERATOR_WORD - 1);
}

int vantiro_sign(const uint8_t* sk, const uint8_t* msg, size_t len, uint8_t* sig) {
  if (sk == nullptr || msg == nullptr || sig == nullptr) return -1;
  // Two signatures of one message under the same seed and two public halves share R and
  // give away the secret scalar: sign only with a root whose halves agree.
  if (!core_root_is_consistent(sk)) return -3;
  ed25519_sign(sk, msg, len, sig);
  return 0;
}

namespace {

// Where the shares of a mint go sealed: one recipient key and one output text per share.
struct sealing {
  const uint8_t* recipients;
  const uint8_t* forms;         // null: every share sealed with HPKE
  const openpgp_cert* certs;    // for OpenPGP shares
  char (*texts)[VANTIRO_SEALED_TEXT_MAX];
  size_t* lens;
};

// vantiro_mint, and with rec the record of the new split, signed while the root lives;
// with seal, the shares sealed to their custodians, and records wiped.
int mint(int n, int t, uint8_t* pub, uint8_t* records, char* anchor, size_t anchor_size,
         vantiro_split_record* rec, char* out, size_t cap, size_t* len, const sealing* seal,
         vantiro_mint_revocation* revocation, uint8_t* root_out) {
  if (n < t || t <= 1 || n > VANTIRO_MAX_SHARES || pub == nullptr || records == nullptr ||
      anchor == nullptr)
    return -1;

  uint8_t root[VANTIRO_ROOT_SIZE];
  uint8_t pk[kPubSize];
  if (ed25519_keypair(pk, root) != 0) return -2;  // keypair has zeroed both
  std::memcpy(pub, pk, kPubSize);

  uint8_t msg[VANTIRO_OPERATOR_MSG_SIZE];
  vantiro_operator_message(pk, msg);
  uint8_t sig[kSigSize];
  ed25519_sign(root, msg, sizeof msg, sig);

  char key_hex[2 * kPubSize + 1];
  char sig_hex[2 * kSigSize + 1];
  vantiro_hex(pk, kPubSize, key_hex, sizeof key_hex);
  vantiro_hex(sig, kSigSize, sig_hex, sizeof sig_hex);  // sig is public: the anchor holds it

  if (anchor_size < VANTIRO_ANCHOR_SIZE) {
    secure_zero(root, sizeof root);
    return -5;
  }
  // "k=" key hex " s=" signature hex, NUL: exactly 198 bytes.
  std::memcpy(anchor, "k=", 2);
  std::memcpy(anchor + 2, key_hex, 2 * kPubSize);
  std::memcpy(anchor + 2 + 2 * kPubSize, " s=", 3);
  std::memcpy(anchor + 5 + 2 * kPubSize, sig_hex, 2 * kSigSize + 1);

  int rc = vantiro_split(n, t, root, records);  // leaves records untouched on failure
  if (rc == 0) {
    if (rec != nullptr) rc = vantiro_split_record_new(root, t, n, records, rec, out, cap, len);
    if (rc == 0 && revocation != nullptr)
      rc = vantiro_revocation_make(root, revocation->time, VANTIRO_MINT_REASON, revocation->text,
                                   sizeof revocation->text, &revocation->len);
    for (size_t i = 0; rc == 0 && seal != nullptr && i < static_cast<size_t>(n); ++i)
      rc = vantiro_share_seal(seal->forms != nullptr ? seal->forms[i] : uint8_t{VANTIRO_FORM_SEALED},
                              root, rec->split, t, records + i * VANTIRO_RECORD_SIZE,
                              seal->recipients + i * 32,
                              seal->certs != nullptr ? seal->certs + i : nullptr,
                              reinterpret_cast<uint8_t*>(seal->texts[i]), VANTIRO_SEALED_TEXT_MAX,
                              &seal->lens[i]);
    if (rc != 0 || seal != nullptr)
      secure_zero(records, static_cast<size_t>(n) * VANTIRO_RECORD_SIZE);
  }
  if (rc == 0 && root_out != nullptr) std::memcpy(root_out, root, sizeof root);
  secure_zero(root, sizeof root);
  return rc;
}

}  // namespace

int vantiro_mint(int n, int t, uint8_t* pub, uint8_t* records, char* anchor, size_t anchor_size) {
  return mint(n, t, pub, records, anchor, anchor_size, nullptr, nullptr, 0, nullptr, nullptr,
              nullptr, nullptr);
}

int vantiro_mint_recorded(int n, int t, uint8_t* pub, uint8_t* records, char* anchor,
                          size_t anchor_size, vantiro_split_record* rec, char* out, size_t cap,
                          size_t* len, vantiro_mint_revocation* revocation, uint8_t* root_out) {
  if (rec == nullptr || out == nullptr || len == nullptr) return -1;
  return mint(n, t, pub, records, anchor, anchor_size, rec, out, cap, len, nullptr, revocation,
              root_out);
}

int vantiro_mint_sealed(int n, int t, const uint8_t* recipients, uint8_t* pub, uint8_t* records,
                        char* anchor, size_t anchor_size, vantiro_split_record* rec, char* out,
                        size_t cap, size_t* len, char (*sealed)[VANTIRO_SEALED_TEXT_MAX],
                        size_t* sealed_len, const uint8_t* forms, const openpgp_cert* certs,
                        vantiro_mint_revocation* revocation, uint8_t* root_out) {
  if (recipients == nullptr || rec == nullptr || out == nullptr || len == nullptr ||
      sealed == nullptr || sealed_len == nullptr)
    return -1;
  const sealing seal{recipients, forms, certs, sealed, sealed_len};
  return mint(n, t, pub, records, anchor, anchor_size, rec, out, cap, len, &seal, revocation,
              root_out);
}
