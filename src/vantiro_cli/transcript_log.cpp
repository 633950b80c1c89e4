// The transcript of this run: what a command that holds a root read, which custodians
// took part, what it wrote and how it ended, gathered as it runs and appended once it is
// done as one entry signed by that root.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "cli_internal.h"
#include "crypt.h"
#include "file_io.h"

#ifndef VANTIRO_VERSION
#define VANTIRO_VERSION "0.0.0"
#endif

namespace cli {

namespace {

// Room for the lines of one kind: every share of the largest split, at the longest path.
constexpr size_t kPartCap = (kMaxListed + 8) * (16 + 64 + 1 + 4 * kPathBuf + 1);
// The largest entry: its fixed lines, the command line and every part.
constexpr size_t kEntryCap = 8 * kPartCap;

// Lines of one kind, in the order they happened.
struct part {
  char text[kPartCap];
  size_t len;
};

struct recorder {
  const char* path;        // null: this run keeps no transcript
  char command[kPartCap];  // the command line, each word quoted
  size_t command_len;
  part anchor, split, message, shares, custodians, wrote;
  bool full;               // a part ran out of room: no entry can be made
  bool has_signature;
  uint8_t signature[64];   // sign's signature of the message
  bool held;
  bool fresh;              // mint: the transcript starts here
  uint8_t root[kRoot];     // the root that signs the entry, from hold to finish
};

recorder g;

void add(char* out, size_t cap, size_t* len, const char* text, size_t n) {
  if (g.full || n > cap - *len) {
    g.full = true;
    return;
  }
  std::memcpy(out + *len, text, n);
  *len += n;
}

void add_text(part* p, const char* text) { add(p->text, kPartCap, &p->len, text, std::strlen(text)); }

// A word of a line: control characters, which would end or break the line, as \xNN; with
// quoted, also \ and " escaped with \.
void add_word(char* out, size_t cap, size_t* len, const char* word, bool quoted) {
  for (const char* c = word; *c != '\0'; ++c) {
    const auto b = static_cast<unsigned char>(*c);
    char esc[5];
    if (b < 0x20 || b == 0x7f) {
      std::snprintf(esc, sizeof esc, "\\x%02x", b);
      add(out, cap, len, esc, 4);
    } else if (quoted && (b == '\\' || b == '"')) {
      esc[0] = '\\';
      esc[1] = *c;
      add(out, cap, len, esc, 2);
    } else {
      add(out, cap, len, c, 1);
    }
  }
}

void add_file_line(part* p, const char* label, const uint8_t digest[32], const char* path) {
  char hex[65];
  vantiro_hex(digest, 32, hex, sizeof hex);
  add_text(p, label);
  add_text(p, hex);
  add_text(p, " ");
  add_word(p->text, kPartCap, &p->len, path, false);
  add_text(p, "\n");
}

part* part_of(transcript_input what) {
  switch (what) {
    case TRANSCRIPT_ANCHOR:
      return &g.anchor;
    case TRANSCRIPT_SPLIT:
      return &g.split;
    case TRANSCRIPT_MESSAGE:
      return &g.message;
    default:
      return &g.shares;
  }
}

// Reads the transcript open in f whole (at most kTranscriptMax bytes) and checks it
// under key: its entries and head. False after printing why it cannot take an entry.
bool check_existing(FILE* f, const uint8_t key[32], int* entries, uint8_t head[32]) {
  uint8_t* text = alloc_zeroed(kTranscriptMax + 1);
  if (text == nullptr) return false;
  // From its first byte: an append stream's reads start wherever it stands.
  std::fseek(f, 0, SEEK_SET);
  const size_t len = std::fread(text, 1, kTranscriptMax + 1, f);
  const bool read_ok = std::ferror(f) == 0;
  vantiro_transcript_result res{};
  if (read_ok && len <= kTranscriptMax) vantiro_transcript_check(text, len, key, nullptr, nullptr, &res);
  std::free(text);
  if (!read_ok) {
    print_error("ERROR: cannot read %s\n", g.path);
    return false;
  }
  if (len > kTranscriptMax) {
    print_error("ERROR: %s is larger than 64 MiB\n", g.path);
    return false;
  }
  if (res.why == VANTIRO_TRANSCRIPT_KEY && res.broken == 1) {
    print_error("ERROR: %s is not a transcript of this root\n", g.path);
    return false;
  }
  if (res.why != VANTIRO_TRANSCRIPT_OK) {
    print_error("ERROR: %s is damaged at entry %d\n", g.path, res.broken);
    return false;
  }
  *entries = res.entries;
  std::memcpy(head, res.head, 32);
  return true;
}

// Whether the transcript at g.path, as it stands now, can take an entry of key: mint's
// must not exist, any other must check whole under key (or not exist yet).
bool can_take(const uint8_t key[32], bool fresh) {
  if (fresh) return !refuse_existing(g.path);
  if (!cli_path_exists(g.path)) return true;
  FILE* f = nullptr;
  const cli_open_result rc = cli_open_regular(g.path, &f);
  if (rc == CLI_OPEN_NOT_REGULAR) print_error("ERROR: %s is not a regular file\n", g.path);
  if (rc == CLI_OPEN_FAILED) print_error("ERROR: cannot read %s\n", g.path);
  if (rc != CLI_OPEN_OK) return false;
  int entries = 0;
  uint8_t head[32];
  const bool ok = check_existing(f, key, &entries, head);
  std::fclose(f);
  return ok;
}

// The entry's body, every line through "result: ", into out; false when it does not fit.
bool make_body(int number, const uint8_t previous[32], const uint8_t program[32], int status,
               char* out, size_t* len) {
  char line[256];
  char hex[129];
  char now[kUtcSize];
  utc_now(now);
  *len = 0;
  vantiro_hex(previous, 32, hex, sizeof hex);
  std::snprintf(line, sizeof line, "vantiro transcript v1\nentry: %d\nprevious: %s\n", number, hex);
  add(out, kEntryCap, len, line, std::strlen(line));
  vantiro_hex(g.root + 32, 32, hex, sizeof hex);
  std::snprintf(line, sizeof line, "key: %s\ntime: %s\nprogram: vantiro-cli %s\n", hex, now,
                VANTIRO_VERSION);
  add(out, kEntryCap, len, line, std::strlen(line));
  vantiro_hex(program, 32, hex, sizeof hex);
  std::snprintf(line, sizeof line, "program sha256: %s\ncommand: ", hex);
  add(out, kEntryCap, len, line, std::strlen(line));
  add(out, kEntryCap, len, g.command, g.command_len);
  add(out, kEntryCap, len, "\n", 1);
  for (const part* p : {&g.anchor, &g.split, &g.message, &g.shares, &g.custodians, &g.wrote})
    add(out, kEntryCap, len, p->text, p->len);
  if (g.has_signature) {
    vantiro_hex(g.signature, 64, hex, sizeof hex);
    std::snprintf(line, sizeof line, "message signature: %s\n", hex);
    add(out, kEntryCap, len, line, std::strlen(line));
  }
  add(out, kEntryCap, len, "result: ", 8);
  const char* error = first_error();
  if (status == 0)
    add(out, kEntryCap, len, "ok", 2);
  else
    add_word(out, kEntryCap, len, error[0] != '\0' ? error : "failed", false);
  add(out, kEntryCap, len, "\n", 1);
  return !g.full;
}

// Appends the run's entry to the transcript; false after printing why not. A transcript
// that does not exist yet is written whole under a temporary name and then given its
// name, like every other file, so a crash never leaves an empty or partial one behind.
bool append_entry(int status) {
  const bool is_new = g.fresh || !cli_path_exists(g.path);
  FILE* f = is_new ? nullptr : cli_open_append(g.path);
  if (!is_new && f == nullptr) {
    print_error("ERROR: cannot append to %s\n", g.path);
    return false;
  }
  int entries = 0;
  uint8_t head[32] = {};
  uint8_t program[32];
  // The file as it stands when the entry is added: what the entry follows.
  bool ok = (is_new || check_existing(f, g.root + 32, &entries, head)) && program_sha256(program);
  char* body = ok ? static_cast<char*>(std::malloc(kEntryCap)) : nullptr;
  char* entry = ok ? static_cast<char*>(std::malloc(kEntryCap + 1)) : nullptr;
  size_t body_len = 0;
  size_t entry_len = 0;
  if (ok && (body == nullptr || entry == nullptr)) ok = false;
  if (ok && !make_body(entries + 1, head, program, status, body, &body_len)) {
    print_error("ERROR: the transcript entry is too long\n");
    ok = false;
  }
  // Entries are separated by one empty line.
  const size_t sep = entries > 0 ? 1 : 0;
  if (ok) {
    entry[0] = '\n';
    const int rc = vantiro_transcript_sign(g.root, body, body_len, entry + sep, kEntryCap + 1 - sep,
                                           &entry_len, head);
    if (rc != 0) print_error("ERROR: the transcript entry could not be signed (rc=%d)\n", rc);
    ok = rc == 0;
  }
  if (ok && is_new) {
    ok = write_file(g.path, reinterpret_cast<const uint8_t*>(entry), entry_len, false) == 0 &&
         sync_dir_of(g.path) == 0;
  } else if (ok) {
    ok = std::fwrite(entry, 1, sep + entry_len, f) == sep + entry_len;
    ok = std::fflush(f) == 0 && ok;
    ok = ok && cli_sync(f) == 0;
    if (!ok) print_error("ERROR: cannot append to %s\n", g.path);
  }
  if (f != nullptr) ok = std::fclose(f) == 0 && ok;
  std::free(body);
  std::free(entry);
  if (!ok) return false;
  std::printf("  transcript: %s entry %d, head ", g.path, entries + 1);
  print_head(head);
  std::printf("\n");
  return true;
}

}  // namespace

void transcript_begin(const char* path, int count, char** words) {
  g.path = path;
  for (int i = 0; i < count; ++i) {
    if (i > 0) add(g.command, sizeof g.command, &g.command_len, " ", 1);
    add(g.command, sizeof g.command, &g.command_len, "\"", 1);
    add_word(g.command, sizeof g.command, &g.command_len, words[i], true);
    add(g.command, sizeof g.command, &g.command_len, "\"", 1);
  }
}

void transcript_read(transcript_input what, const char* path, const uint8_t* data, size_t len) {
  if (g.path == nullptr) return;
  uint8_t digest[32];
  sha256(data, len, digest);
  add_file_line(part_of(what), "read: ", digest, path);
}

void transcript_read_digest(transcript_input what, const char* path, const uint8_t digest[32]) {
  if (g.path != nullptr) add_file_line(part_of(what), "read: ", digest, path);
}

void transcript_custodian(const char* path, const uint8_t pk[32]) {
  if (g.path != nullptr) add_file_line(&g.custodians, "custodian: ", pk, path);
}

void transcript_wrote(const char* path, const uint8_t* data, size_t len) {
  if (g.path == nullptr) return;
  uint8_t digest[32];
  sha256(data, len, digest);
  add_file_line(&g.wrote, "wrote: ", digest, path);
}

void transcript_message_signature(const uint8_t sig[64]) {
  if (g.path == nullptr) return;
  std::memcpy(g.signature, sig, 64);
  g.has_signature = true;
}

bool transcript_accepts(const uint8_t key[32], bool fresh) {
  return g.path == nullptr || can_take(key, fresh);
}

bool transcript_hold(const uint8_t root[kRoot], bool fresh) {
  if (g.path == nullptr) return true;
  if (!can_take(root + 32, fresh)) return false;
  std::memcpy(g.root, root, kRoot);
  g.held = true;
  g.fresh = fresh;
  return true;
}

int transcript_finish(int status) {
  if (g.path == nullptr || !g.held) return status;
  const bool appended = append_entry(status);
  secure_zero(g.root, sizeof g.root);
  g.held = false;
  return appended ? status : 1;
}

}  // namespace cli
