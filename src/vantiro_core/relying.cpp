// The root's key and signatures in the forms stock verifiers read: OpenSSL's PEM key,
// OpenSSH's key line and SSHSIG, signify's and minisign's files. Writing is exact;
// reading is strict, bounded, and told by content.
#include <cstring>

#include "core_internal.h"
#include "crypt.h"
#include "vantiro_core.h"

namespace {

constexpr char kUntrusted[] = "untrusted comment: ";
constexpr char kTrusted[] = "trusted comment: ";
constexpr char kSshBegin[] = "-----BEGIN SSH SIGNATURE-----";
constexpr char kSshEnd[] = "-----END SSH SIGNATURE-----";
constexpr char kSshKeyType[] = "ssh-ed25519";
// The DER of an Ed25519 SubjectPublicKeyInfo up to the key's 32 bytes (RFC 8410).
constexpr uint8_t kSpkiPrefix[12] = {0x30, 0x2a, 0x30, 0x05, 0x06, 0x03,
                                     0x2b, 0x65, 0x70, 0x03, 0x21, 0x00};
// Longest minisign trusted comment read or written.
constexpr size_t kCommentMax = sizeof(vantiro_sig_file{}.comment) - 1;
// Base64 armor lines of an SSHSIG as written; read up to 76.
constexpr size_t kArmorColumns = 70;
// Largest SSHSIG blob read: far above an Ed25519 one with the longest namespace.
constexpr size_t kBlobMax = 512;

// ---- Building byte strings -------------------------------------------------------------

struct builder {
  uint8_t* p;
  size_t cap;
  size_t n = 0;
  bool ok = true;
  void bytes(const void* d, size_t len) {
    if (!ok || cap - n < len) {
      ok = false;
      return;
    }
    std::memcpy(p + n, d, len);
    n += len;
  }
  void u32(size_t v) {
    const uint8_t b[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                          static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    bytes(b, 4);
  }
  // An SSH string: its length, then its bytes.
  void string(const void* d, size_t len) {
    u32(len);
    bytes(d, len);
  }
  void string(const char* s) { string(s, std::strlen(s)); }
};

// The SSH wire form of an Ed25519 key: string "ssh-ed25519", string key (51 bytes).
size_t ssh_key_blob(const uint8_t key[32], uint8_t out[51]) {
  builder b{out, 51};
  b.string(kSshKeyType);
  b.string(key, 32);
  return b.n;
}

// What an SSHSIG signature covers: magic, namespace, reserved, hash algorithm, digest.
size_t sshsig_signed_data(const char* ns, const char* hash_alg, const uint8_t* digest,
                          size_t digest_len, uint8_t* out, size_t cap) {
  builder b{out, cap};
  b.bytes("SSHSIG", 6);
  b.string(ns);
  b.string("");
  b.string(hash_alg);
  b.string(digest, digest_len);
  return b.ok ? b.n : 0;
}

// "Ed"/"ED" || keynum || bytes of 32 or 64: the base64 line of signify and minisign files.
bool append_tagged(char* out, size_t cap, size_t* at, const char* tag, const uint8_t keynum[8],
                   const uint8_t* data, size_t len) {
  uint8_t raw[2 + 8 + 64];
  std::memcpy(raw, tag, 2);
  std::memcpy(raw + 2, keynum, 8);
  std::memcpy(raw + 10, data, len);
  size_t n = 0;
  if (base64_encode(raw, 10 + len, 1, out + *at, cap - *at, &n) != 0) return false;
  *at += n;
  return core_append(out, cap, at, "\n");
}

bool append_base64_line(char* out, size_t cap, size_t* at, const uint8_t* data, size_t len) {
  size_t n = 0;
  if (base64_encode(data, len, 1, out + *at, cap - *at, &n) != 0) return false;
  *at += n;
  return core_append(out, cap, at, "\n");
}

// Ends a text written into out: a NUL after its *at characters.
int finish(char* out, size_t cap, size_t at, size_t* len) {
  if (at >= cap) return -1;
  out[at] = '\0';
  *len = at;
  return 0;
}

void upper_hex(const uint8_t* data, size_t n, char* out) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (size_t i = 0; i < n; ++i) {
    out[2 * i] = kDigits[data[i] >> 4];
    out[2 * i + 1] = kDigits[data[i] & 15];
  }
  out[2 * n] = '\0';
}

// ---- Reading ---------------------------------------------------------------------------

// Decodes one line of padded base64 into exactly want bytes.
bool base64_exact(const char* s, size_t len, uint8_t* out, size_t want) {
  uint8_t buf[128];
  size_t n = 0;
  return want <= sizeof buf && base64_decode(s, len, 1, buf, sizeof buf, &n) == 0 && n == want &&
         (std::memcpy(out, buf, want), true);
}

bool starts(const char* s, size_t len, const char* prefix) {
  const size_t n = std::strlen(prefix);
  return len >= n && std::memcmp(s, prefix, n) == 0;
}

bool same(const char* s, size_t len, const char* text) {
  return len == std::strlen(text) && std::memcmp(s, text, len) == 0;
}

// A comment line's text: printable or tab, no other control characters.
bool comment_ok(const char* s, size_t len) {
  for (size_t i = 0; i < len; ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if ((c < 0x20 && c != '\t') || c == 0x7f) return false;
  }
  return true;
}

// A reader over an SSH wire blob.
struct reader {
  const uint8_t* p;
  size_t n;
  size_t i = 0;
  bool u32(size_t* v) {
    if (n - i < 4) return false;
    *v = static_cast<size_t>(p[i]) << 24 | static_cast<size_t>(p[i + 1]) << 16 |
         static_cast<size_t>(p[i + 2]) << 8 | p[i + 3];
    i += 4;
    return true;
  }
  bool string(const uint8_t** s, size_t* len) {
    if (!u32(len) || n - i < *len) return false;
    *s = p + i;
    i += *len;
    return true;
  }
  bool string_is(const char* text) {
    const uint8_t* s;
    size_t len;
    return string(&s, &len) && same(reinterpret_cast<const char*>(s), len, text);
  }
};

// An Ed25519 key in SSH wire form.
bool read_ssh_key(const uint8_t* s, size_t len, uint8_t key[32]) {
  reader r{s, len};
  const uint8_t* k;
  size_t kl;
  if (!r.string_is(kSshKeyType) || !r.string(&k, &kl) || kl != 32 || r.i != len) return false;
  std::memcpy(key, k, 32);
  return true;
}

// An armored SSHSIG: the begin line, base64 lines of at most 76 characters, the end line.
bool parse_sshsig(const char* text, size_t len, vantiro_sig_file* out) {
  core_lines lines{text, len, false};
  const char* s;
  size_t n;
  if (!lines.line(&s, &n) || !same(s, n, kSshBegin)) return false;
  char b64[kBlobMax / 3 * 4 + 4];
  size_t b64_len = 0;
  bool ended = false;
  while (lines.line(&s, &n)) {
    if (same(s, n, kSshEnd)) {
      ended = true;
      break;
    }
    if (n == 0 || n > 76 || sizeof b64 - b64_len < n) return false;
    std::memcpy(b64 + b64_len, s, n);
    b64_len += n;
  }
  if (!ended || lines.i != len) return false;
  uint8_t blob[kBlobMax];
  size_t blob_len = 0;
  if (base64_decode(b64, b64_len, 1, blob, sizeof blob, &blob_len) != 0) return false;
  reader r{blob, blob_len};
  size_t version;
  const uint8_t *key, *ns, *hash, *sig;
  size_t key_len, ns_len, hash_len, sig_len;
  if (blob_len < 6 || std::memcmp(blob, "SSHSIG", 6) != 0) return false;
  r.i = 6;
  if (!r.u32(&version) || version != 1 || !r.string(&key, &key_len) || !r.string(&ns, &ns_len) ||
      !r.string_is("") || !r.string(&hash, &hash_len) || !r.string(&sig, &sig_len) ||
      r.i != blob_len || ns_len == 0 || ns_len > VANTIRO_NAMESPACE_MAX)
    return false;
  vantiro_sig_file f{};
  const char* h = reinterpret_cast<const char*>(hash);
  if (same(h, hash_len, "sha512")) f.prehash = VANTIRO_PREHASH_SHA512;
  else if (same(h, hash_len, "sha256")) f.prehash = VANTIRO_PREHASH_SHA256;
  else return false;
  reader sr{sig, sig_len};
  const uint8_t* raw;
  size_t raw_len;
  if (!read_ssh_key(key, key_len, f.key) || !sr.string_is(kSshKeyType) ||
      !sr.string(&raw, &raw_len) || raw_len != 64 || sr.i != sig_len)
    return false;
  std::memcpy(f.comment, ns, ns_len);
  f.comment[ns_len] = '\0';
  if (!vantiro_namespace_ok(f.comment)) return false;
  f.format = VANTIRO_FORMAT_OPENSSH;
  std::memcpy(f.sig, raw, 64);
  f.has_keynum = 1;
  vantiro_keynum(f.key, f.keynum);
  *out = f;
  return true;
}

// A signify file (two lines) or a minisign file (four lines).
bool parse_signify_or_minisign(const char* text, size_t len, vantiro_sig_file* out) {
  core_lines lines{text, len, false};
  const char* s;
  size_t n;
  if (!lines.line(&s, &n) || !starts(s, n, kUntrusted) || n > 1024 || !comment_ok(s, n) ||
      !lines.line(&s, &n))
    return false;
  uint8_t raw[74];
  if (!base64_exact(s, n, raw, sizeof raw)) return false;
  vantiro_sig_file f{};
  f.has_keynum = 1;
  std::memcpy(f.keynum, raw + 2, 8);
  std::memcpy(f.sig, raw + 10, 64);
  if (lines.i == len) {  // signify
    if (std::memcmp(raw, "Ed", 2) != 0) return false;
    f.format = VANTIRO_FORMAT_SIGNIFY;
    f.prehash = VANTIRO_PREHASH_NONE;
    *out = f;
    return true;
  }
  if (std::memcmp(raw, "Ed", 2) == 0) f.prehash = VANTIRO_PREHASH_NONE;
  else if (std::memcmp(raw, "ED", 2) == 0) f.prehash = VANTIRO_PREHASH_BLAKE2B;
  else return false;
  if (!lines.line(&s, &n) || !starts(s, n, kTrusted)) return false;
  const size_t comment_len = n - (sizeof kTrusted - 1);
  if (comment_len > kCommentMax || !comment_ok(s, n)) return false;
  std::memcpy(f.comment, s + sizeof kTrusted - 1, comment_len);
  f.comment[comment_len] = '\0';
  if (!lines.line(&s, &n) || !base64_exact(s, n, f.global_sig, 64) || lines.i != len) return false;
  f.format = VANTIRO_FORMAT_MINISIGN;
  *out = f;
  return true;
}

}  // namespace

void vantiro_keynum(const uint8_t key[VANTIRO_KEY_SIZE], uint8_t keynum[VANTIRO_KEYNUM_SIZE]) {
  uint8_t digest[32];
  sha256(key, VANTIRO_KEY_SIZE, digest);
  std::memcpy(keynum, digest, VANTIRO_KEYNUM_SIZE);
}

int vantiro_namespace_ok(const char* ns) {
  if (ns == nullptr) return 0;
  const size_t n = std::strlen(ns);
  if (n == 0 || n > VANTIRO_NAMESPACE_MAX) return 0;
  for (size_t i = 0; i < n; ++i)
    if (ns[i] <= ' ' || ns[i] > '~') return 0;
  return 1;
}

int vantiro_key_text(const uint8_t key[VANTIRO_KEY_SIZE], int format, const char* owner,
                     char* out, size_t cap, size_t* len) {
  if (key == nullptr || out == nullptr || len == nullptr) return -1;
  size_t at = 0;
  bool ok = true;
  uint8_t keynum[VANTIRO_KEYNUM_SIZE];
  vantiro_keynum(key, keynum);
  char hex[65];
  switch (format) {
    case VANTIRO_FORMAT_RAW:
      ok = core_append_hex(out, cap, &at, key, VANTIRO_KEY_SIZE) && core_append(out, cap, &at, "\n");
      break;
    case VANTIRO_FORMAT_PEM: {
      uint8_t der[sizeof kSpkiPrefix + VANTIRO_KEY_SIZE];
      std::memcpy(der, kSpkiPrefix, sizeof kSpkiPrefix);
      std::memcpy(der + sizeof kSpkiPrefix, key, VANTIRO_KEY_SIZE);
      ok = core_append(out, cap, &at, "-----BEGIN PUBLIC KEY-----\n") &&
           append_base64_line(out, cap, &at, der, sizeof der) &&
           core_append(out, cap, &at, "-----END PUBLIC KEY-----\n");
      break;
    }
    case VANTIRO_FORMAT_OPENSSH: {
      // The owner when it is one word of printable ASCII, as a DNS owner name is.
      const char* name = owner != nullptr && owner[0] != '\0' ? owner : "root";
      for (const char* p = name; *p != '\0'; ++p)
        if (*p <= ' ' || *p > '~') name = "root";
      uint8_t blob[51];
      size_t n = 0;
      ok = core_append(out, cap, &at, "ssh-ed25519 ") &&
           base64_encode(blob, ssh_key_blob(key, blob), 1, out + at, cap - at, &n) == 0;
      at += ok ? n : 0;
      ok = ok && core_append(out, cap, &at, " vantiro:") && core_append(out, cap, &at, name) &&
           core_append(out, cap, &at, "\n");
      break;
    }
    case VANTIRO_FORMAT_SIGNIFY:
      vantiro_hex(key, 8, hex, sizeof hex);
      ok = core_append(out, cap, &at, kUntrusted) &&
           core_append(out, cap, &at, "vantiro-cli root ") && core_append(out, cap, &at, hex) &&
           core_append(out, cap, &at, "\n") &&
           append_tagged(out, cap, &at, "Ed", keynum, key, VANTIRO_KEY_SIZE);
      break;
    case VANTIRO_FORMAT_MINISIGN:
      upper_hex(keynum, sizeof keynum, hex);
      ok = core_append(out, cap, &at, kUntrusted) &&
           core_append(out, cap, &at, "minisign public key ") && core_append(out, cap, &at, hex) &&
           core_append(out, cap, &at, "\n") &&
           append_tagged(out, cap, &at, "Ed", keynum, key, VANTIRO_KEY_SIZE);
      break;
    default:
      return -1;
  }
  return ok ? finish(out, cap, at, len) : -1;
}

void vantiro_prehash_init(vantiro_prehash* p, int kind) {
  p->kind = kind;
  if (kind == VANTIRO_PREHASH_BLAKE2B) blake2b_init(&p->b2, 64, nullptr, 0);
  else if (kind == VANTIRO_PREHASH_SHA512) sha512_init(&p->sha512);
  else if (kind == VANTIRO_PREHASH_SHA256) sha256_init(&p->sha256);
}

void vantiro_prehash_update(vantiro_prehash* p, const uint8_t* data, size_t len) {
  if (p->kind == VANTIRO_PREHASH_BLAKE2B) blake2b_update(&p->b2, data, len);
  else if (p->kind == VANTIRO_PREHASH_SHA512) sha512_update(&p->sha512, data, len);
  else if (p->kind == VANTIRO_PREHASH_SHA256) sha256_update(&p->sha256, data, len);
}

void vantiro_prehash_final(vantiro_prehash* p, uint8_t out[64], size_t* len) {
  *len = 0;
  if (p->kind == VANTIRO_PREHASH_BLAKE2B) {
    blake2b_final(&p->b2, out);
    *len = 64;
  } else if (p->kind == VANTIRO_PREHASH_SHA512) {
    sha512_final(&p->sha512, out);
    *len = 64;
  } else if (p->kind == VANTIRO_PREHASH_SHA256) {
    sha256_final(&p->sha256, out);
    *len = 32;
  }
}

int vantiro_sign_prehashed(const uint8_t root[VANTIRO_ROOT_SIZE],
                           const uint8_t key[VANTIRO_KEY_SIZE], int format,
                           const uint8_t digest[64], const char* ns, const char* trusted_comment,
                           char* out, size_t cap, size_t* len, uint8_t sig[64]) {
  if (root == nullptr || key == nullptr || digest == nullptr || out == nullptr || len == nullptr ||
      sig == nullptr)
    return -1;
  uint8_t keynum[VANTIRO_KEYNUM_SIZE];
  vantiro_keynum(key, keynum);
  uint8_t s[64];
  size_t at = 0;
  if (format == VANTIRO_FORMAT_MINISIGN) {
    if (trusted_comment == nullptr) return -1;
    const size_t comment_len = std::strlen(trusted_comment);
    if (comment_len > kCommentMax || !comment_ok(trusted_comment, comment_len)) return -1;
    const int rc = vantiro_sign(root, digest, 64, s);
    if (rc != 0) return rc;
    if (ed25519_verify(key, digest, 64, s) != 0) return -4;
    // The global signature binds the trusted comment to the signature.
    uint8_t global_msg[64 + kCommentMax];
    std::memcpy(global_msg, s, 64);
    std::memcpy(global_msg + 64, trusted_comment, comment_len);
    uint8_t global[64];
    vantiro_sign(root, global_msg, 64 + comment_len, global);
    if (ed25519_verify(key, global_msg, 64 + comment_len, global) != 0) return -4;
    const bool ok = core_append(out, cap, &at, kUntrusted) &&
                    core_append(out, cap, &at, "verify with vantiro-cli pubkey --format minisign\n") &&
                    append_tagged(out, cap, &at, "ED", keynum, s, 64) &&
                    core_append(out, cap, &at, kTrusted) &&
                    core_append(out, cap, &at, trusted_comment) &&
                    core_append(out, cap, &at, "\n") && append_base64_line(out, cap, &at, global, 64);
    if (!ok || finish(out, cap, at, len) != 0) return -1;
  } else if (format == VANTIRO_FORMAT_OPENSSH) {
    if (!vantiro_namespace_ok(ns)) return -1;
    uint8_t data[6 + 4 + VANTIRO_NAMESPACE_MAX + 4 + 4 + 6 + 4 + 64];
    const size_t data_len = sshsig_signed_data(ns, "sha512", digest, 64, data, sizeof data);
    const int rc = vantiro_sign(root, data, data_len, s);
    if (rc != 0) return rc;
    if (ed25519_verify(key, data, data_len, s) != 0) return -4;
    uint8_t key_blob[51];
    uint8_t sig_blob[83];
    builder sb{sig_blob, sizeof sig_blob};
    sb.string(kSshKeyType);
    sb.string(s, 64);
    uint8_t blob[kBlobMax];
    builder b{blob, sizeof blob};
    b.bytes("SSHSIG", 6);
    b.u32(1);
    b.string(key_blob, ssh_key_blob(key, key_blob));
    b.string(ns);
    b.string("");
    b.string("sha512");
    b.string(sig_blob, sb.n);
    char b64[kBlobMax / 3 * 4 + 8];
    size_t b64_len = 0;
    if (!b.ok || base64_encode(blob, b.n, 1, b64, sizeof b64, &b64_len) != 0) return -1;
    bool ok = core_append(out, cap, &at, kSshBegin) && core_append(out, cap, &at, "\n");
    for (size_t i = 0; ok && i < b64_len; i += kArmorColumns) {
      const size_t n = b64_len - i < kArmorColumns ? b64_len - i : kArmorColumns;
      ok = cap - at > n;
      if (ok) {
        std::memcpy(out + at, b64 + i, n);
        at += n;
        out[at++] = '\n';
      }
    }
    ok = ok && core_append(out, cap, &at, kSshEnd) && core_append(out, cap, &at, "\n");
    if (!ok || finish(out, cap, at, len) != 0) return -1;
  } else {
    return -1;
  }
  std::memcpy(sig, s, 64);
  return 0;
}

int vantiro_signify_text(const uint8_t key[VANTIRO_KEY_SIZE], const uint8_t sig[64], char* out,
                         size_t cap, size_t* len) {
  if (key == nullptr || sig == nullptr || out == nullptr || len == nullptr) return -1;
  uint8_t keynum[VANTIRO_KEYNUM_SIZE];
  vantiro_keynum(key, keynum);
  size_t at = 0;
  const bool ok = core_append(out, cap, &at, kUntrusted) &&
                  core_append(out, cap, &at, "verify with vantiro-cli pubkey --format signify\n") &&
                  append_tagged(out, cap, &at, "Ed", keynum, sig, 64);
  return ok ? finish(out, cap, at, len) : -1;
}

int vantiro_sig_parse(const uint8_t* text, size_t len, vantiro_sig_file* out) {
  if (text == nullptr || out == nullptr || len > VANTIRO_FORMAT_TEXT_MAX) return -1;
  vantiro_sig_file f{};
  if (len == 64) {
    std::memcpy(f.sig, text, 64);
    *out = f;
    return 0;
  }
  const char* t = reinterpret_cast<const char*>(text);
  size_t n = len;
  if (n > 128 && t[n - 1] == '\n') --n;
  if (n > 128 && t[n - 1] == '\r') --n;
  if (n == 128 && vantiro_unhex(t, 128, f.sig) == 0) {
    *out = f;
    return 0;
  }
  if (starts(t, len, kSshBegin)) return parse_sshsig(t, len, out) ? 0 : -1;
  if (starts(t, len, kUntrusted)) return parse_signify_or_minisign(t, len, out) ? 0 : -1;
  return -1;
}

int vantiro_sig_verify_prehashed(const vantiro_sig_file* s, const uint8_t key[VANTIRO_KEY_SIZE],
                                 const uint8_t* digest, size_t digest_len, const char* ns) {
  if (s == nullptr || key == nullptr || digest == nullptr) return -1;
  if (s->format == VANTIRO_FORMAT_MINISIGN && s->prehash == VANTIRO_PREHASH_BLAKE2B)
    return ed25519_verify(key, digest, digest_len, s->sig) == 0 ? 0 : -1;
  if (s->format != VANTIRO_FORMAT_OPENSSH || ns == nullptr) return -1;
  if (std::strcmp(ns, s->comment) != 0) return -2;
  uint8_t data[6 + 4 + VANTIRO_NAMESPACE_MAX + 4 + 4 + 6 + 4 + 64];
  const char* alg = s->prehash == VANTIRO_PREHASH_SHA256 ? "sha256" : "sha512";
  const size_t n = sshsig_signed_data(ns, alg, digest, digest_len, data, sizeof data);
  return n != 0 && ed25519_verify(key, data, n, s->sig) == 0 ? 0 : -1;
}

int vantiro_sig_verify_global(const vantiro_sig_file* s, const uint8_t key[VANTIRO_KEY_SIZE]) {
  if (s == nullptr || key == nullptr) return -1;
  if (s->format != VANTIRO_FORMAT_MINISIGN) return 0;
  const size_t n = std::strlen(s->comment);
  uint8_t msg[64 + kCommentMax];
  std::memcpy(msg, s->sig, 64);
  std::memcpy(msg + 64, s->comment, n);
  return ed25519_verify(key, msg, 64 + n, s->global_sig) == 0 ? 0 : -1;
}
