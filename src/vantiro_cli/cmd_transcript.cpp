// transcript: an auditor's check of a ceremony's transcript under the anchor's key - every
// entry's layout, number, chain and signature - and, with --files, of the files the
// entries say were written.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli_internal.h"
#include "file_io.h"
#include "crypt.h"

namespace cli {

namespace {

struct listing {
  bool files;      // --files: hash every file written again
  bool all_found;  // false once a written file has changed
};

// The command's name: the first quoted word of the command line, unquoted.
void print_command_name(const char* command, size_t len) {
  size_t i = command[0] == '"' ? 1 : 0;
  while (i < len && command[i] != '"' && command[i] != ' ') std::putchar(command[i++]);
}

// "wrote: <64 hex> <path>": whether the file at path still hashes to the digest.
void check_written(const char* line, size_t len, listing* l) {
  const size_t path_at = 7 + 64 + 1;
  char path[kPathBuf];
  const size_t path_len = len - path_at;
  if (path_len >= sizeof path) return;
  std::memcpy(path, line + path_at, path_len);
  path[path_len] = '\0';
  std::printf("    wrote %s", path);
  if (!l->files) {
    std::printf("\n");
    return;
  }
  uint8_t want[32];
  vantiro_unhex(line + 7, 64, want);
  uint8_t got[32];
  message_in m;
  if (!cli_path_exists(path)) {
    std::printf(": not here\n");
    return;
  }
  // Not a regular file (a FIFO put in its place would stall an open), or unreadable: the
  // error line says which.
  if (!open_message(path, &m)) {
    std::printf("\n");
    l->all_found = false;
    return;
  }
  sha256_ctx ctx;
  sha256_init(&ctx);
  unsigned long long total = 0;
  const pass_result r =
      read_pass(&m, [&](const uint8_t* p, size_t n) { sha256_update(&ctx, p, n); }, &total);
  close_message(&m);
  sha256_final(&ctx, got);
  const bool same = r == PASS_OK && sha256_equal(want, got) == 1;
  std::printf(same ? ": as written\n" : ": changed\n");
  if (!same) l->all_found = false;
}

void print_entry(void* ctx, const vantiro_transcript_entry* e) {
  auto* l = static_cast<listing*>(ctx);
  std::printf("  entry %d  %.20s  ", e->number, e->time);
  print_command_name(e->command, e->command_len);
  std::printf("  %.*s\n", static_cast<int>(e->result_len), e->result);
  for (size_t at = 0; at < e->wrote_len;) {
    const char* line = e->wrote + at;
    const char* end = static_cast<const char*>(std::memchr(line, '\n', e->wrote_len - at));
    const size_t len = static_cast<size_t>(end - line);
    check_written(line, len, l);
    at += len + 1;
  }
}

}  // namespace

void print_head(const uint8_t head[32]) {
  char hex[65];
  vantiro_hex(head, 32, hex, sizeof hex);
  for (int i = 0; i < 16; ++i) std::printf("%s%.4s", i == 0 ? "" : " ", hex + 4 * i);
}

int cmd_transcript(const char* path, const char* anchor_path, const cmd_options& o) {
  vantiro_anchor a;
  if (!read_anchor(anchor_path, &a)) return 1;
  uint8_t* text = alloc_zeroed(kTranscriptMax);
  if (text == nullptr) return 1;
  size_t len = 0;
  const int rc = read_small_file(path, text, kTranscriptMax, &len);
  if (rc == -2) print_error("ERROR: %s is larger than 64 MiB\n", shown(path));
  if (rc != 0) {
    std::free(text);
    return 1;
  }
  std::printf("== transcript ==\n");
  print_anchor_lines(&a, false);
  listing l{o.files, true};
  vantiro_transcript_result res{};
  vantiro_transcript_check(text, len, a.key, print_entry, &l, &res);
  std::free(text);
  std::printf("  %d entries, head ", res.entries);
  print_head(res.head);
  std::printf("\n");
  if (res.why != VANTIRO_TRANSCRIPT_OK) {
    const char* name = shown(path);
    const int at = res.broken;
    if (res.why == VANTIRO_TRANSCRIPT_SIGNATURE)
      print_error("ERROR: %s breaks at entry %d: signature does not verify\n", name, at);
    else if (res.why == VANTIRO_TRANSCRIPT_CHAIN && at == 1)
      print_error("ERROR: %s breaks at entry 1: it does not begin a transcript (previous is "
                  "not zeros)\n", name);
    else if (res.why == VANTIRO_TRANSCRIPT_CHAIN)
      print_error("ERROR: %s breaks at entry %d: does not follow entry %d\n", name, at, at - 1);
    else if (res.why == VANTIRO_TRANSCRIPT_NUMBERED)
      print_error("ERROR: %s breaks at entry %d: numbered %d, expected %d\n", name, at,
                  res.found, at);
    else if (res.why == VANTIRO_TRANSCRIPT_KEY)
      print_error("ERROR: %s breaks at entry %d: key differs\n", name, at);
    else
      print_error("ERROR: %s breaks at entry %d: layout\n", name, at);
    return 1;
  }
  if (!l.all_found) {
    print_error("ERROR: a file the transcript says was written has changed\n");
    return 1;
  }
  return 0;
}

}  // namespace cli
