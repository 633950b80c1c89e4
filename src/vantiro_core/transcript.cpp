// Transcripts: the ceremony's record, one entry per command that held the root, each
// signed by the root and chained to the one before by its SHA-256.
#include <cstring>

#include "core_internal.h"
#include "crypt.h"
#include "vantiro_core.h"

namespace {

constexpr char kHead[] = "vantiro transcript v1";

// Entry numbers run from 1 to 999999999.
constexpr int kMaxEntry = 999999999;

// "<label><64 hex> <text>" of a file line.
bool file_line(const char* s, size_t len, const char* label) {
  const size_t l = std::strlen(label);
  uint8_t digest[32];
  return len > l + 65 && std::memcmp(s, label, l) == 0 &&
         vantiro_unhex(s + l, 64, digest) == 0 && s[l + 64] == ' ' &&
         core_printable(s + l + 65, len - l - 65);
}

// Reads one entry at the start of text, strictly; its fields into e and its length
// through the signature line's line feed into *len. False when it is not one.
bool read_entry(const char* text, size_t n, vantiro_transcript_entry* e, uint8_t previous[32],
                uint8_t key[32], uint8_t sig[64], size_t* body_len, size_t* len) {
  core_lines r{text, n, true};
  const char* p = nullptr;
  size_t l = 0;
  if (!(r.line(&p, &l) && l == sizeof kHead - 1 && std::memcmp(p, kHead, l) == 0)) return false;
  if (!(r.line(&p, &l) && core_starts(p, l, "entry: ") && core_decimal(p + 7, l - 7, kMaxEntry, &e->number)))
    return false;
  if (!(r.line(&p, &l) && core_labelled_hex(p, l, "previous: ", previous, 32))) return false;
  if (!(r.line(&p, &l) && core_labelled_hex(p, l, "key: ", key, 32))) return false;
  if (!(r.line(&p, &l) && core_starts(p, l, "time: ") && core_utc_time(p + 6, l - 6))) return false;
  e->time = p + 6;
  if (!(r.line(&p, &l) && core_starts(p, l, "program: vantiro-cli ") && l > 21 && core_printable(p, l)))
    return false;
  uint8_t program[32];
  if (!(r.line(&p, &l) && core_labelled_hex(p, l, "program sha256: ", program, 32))) return false;
  if (!(r.line(&p, &l) && core_starts(p, l, "command: ") && l > 9 && core_printable(p, l))) return false;
  e->command = p + 9;
  e->command_len = l - 9;
  // The file lines, each kind in its place: read, then custodian, then wrote.
  static const char* const kFiles[] = {"read: ", "custodian: ", "wrote: "};
  size_t kind = 0;
  e->wrote = nullptr;
  e->wrote_len = 0;
  e->wrote_count = 0;
  for (;;) {
    if (!r.line(&p, &l)) return false;
    while (kind < 3 && !core_starts(p, l, kFiles[kind])) ++kind;
    if (kind == 3) break;
    if (!file_line(p, l, kFiles[kind])) return false;
    if (kind == 2) {
      if (e->wrote == nullptr) e->wrote = p;
      e->wrote_len = static_cast<size_t>(p + l + 1 - e->wrote);
      ++e->wrote_count;
    }
  }
  uint8_t message_sig[64];
  if (core_starts(p, l, "message signature: ")) {
    if (!core_labelled_hex(p, l, "message signature: ", message_sig, 64) || !r.line(&p, &l))
      return false;
  }
  if (!(core_starts(p, l, "result: ") && l > 8 && core_printable(p, l))) return false;
  e->result = p + 8;
  e->result_len = l - 8;
  *body_len = r.i;
  if (!(r.line(&p, &l) && core_labelled_hex(p, l, CORE_SIG_LABEL, sig, 64))) return false;
  *len = r.i;
  return true;
}

bool verify_entry(const uint8_t key[32], const char* body, size_t len, const uint8_t sig[64]) {
  return core_text_verify(VANTIRO_TRANSCRIPT_CONTEXT, key, body, len, sig);
}

}  // namespace

int vantiro_transcript_check(const uint8_t* data, size_t len, const uint8_t key[VANTIRO_KEY_SIZE],
                             vantiro_transcript_each each, void* ctx,
                             vantiro_transcript_result* out) {
  if ((data == nullptr && len != 0) || key == nullptr || out == nullptr) return -1;
  *out = vantiro_transcript_result{};
  const char* text = reinterpret_cast<const char*>(data);
  uint8_t head[32] = {};
  size_t at = 0;
  int expected = 1;
  while (at < len) {
    // Entries are separated by one empty line; the text ends with the last one's line feed.
    if (expected > 1 && !(text[at] == '\n' && at + 1 < len)) {
      out->why = VANTIRO_TRANSCRIPT_LAYOUT;
      break;
    }
    if (expected > 1) ++at;
    vantiro_transcript_entry e{};
    uint8_t previous[32], entry_key[32], sig[64];
    size_t body_len = 0, entry_len = 0;
    if (!read_entry(text + at, len - at, &e, previous, entry_key, sig, &body_len, &entry_len))
      out->why = VANTIRO_TRANSCRIPT_LAYOUT;
    else if (e.number != expected)
      out->why = VANTIRO_TRANSCRIPT_NUMBERED;
    else if (std::memcmp(entry_key, key, 32) != 0)
      out->why = VANTIRO_TRANSCRIPT_KEY;
    else if (std::memcmp(previous, head, 32) != 0)
      out->why = VANTIRO_TRANSCRIPT_CHAIN;
    else if (!verify_entry(key, text + at, body_len, sig))
      out->why = VANTIRO_TRANSCRIPT_SIGNATURE;
    if (out->why != VANTIRO_TRANSCRIPT_OK) {
      out->found = e.number;
      break;
    }
    sha256(data + at, entry_len, head);
    std::memcpy(e.head, head, 32);
    if (each != nullptr) each(ctx, &e);
    at += entry_len;
    out->entries = expected++;
  }
  out->broken = out->why != VANTIRO_TRANSCRIPT_OK ? expected : 0;
  out->expected = expected;
  std::memcpy(out->head, head, 32);
  return out->why == VANTIRO_TRANSCRIPT_OK ? 0 : 1;
}

int vantiro_transcript_sign(const uint8_t root[VANTIRO_ROOT_SIZE], const char* body,
                            size_t body_len, char* out, size_t cap, size_t* len,
                            uint8_t head[32]) {
  if (root == nullptr || body == nullptr || out == nullptr || len == nullptr || head == nullptr)
    return -1;
  if (!core_root_is_consistent(root)) return -3;
  if (body_len > cap || cap - body_len < CORE_SIG_LINE) return -1;
  std::memcpy(out, body, body_len);
  size_t at = body_len;
  core_append_signature(root, VANTIRO_TRANSCRIPT_CONTEXT, out, cap, &at);
  // What is signed must read back as an entry of this root, under its signature.
  vantiro_transcript_entry e{};
  uint8_t previous[32], key[32], read_sig[64];
  size_t read_body = 0, read_len = 0;
  if (!read_entry(out, at, &e, previous, key, read_sig, &read_body, &read_len) ||
      read_len != at || std::memcmp(key, root + 32, 32) != 0)
    return -1;
  if (!verify_entry(key, out, read_body, read_sig)) return -4;
  sha256(reinterpret_cast<const uint8_t*>(out), at, head);
  *len = at;
  return 0;
}
