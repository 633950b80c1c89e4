// vantiro-cli: command selection and the selftest, mint and recover commands.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli_main.h"
#include "crypt.h"
#include "file_io.h"
#include "vantiro_core.h"

namespace {

constexpr int kMaxShares = 16;
constexpr size_t kRecord = VANTIRO_RECORD_SIZE;
constexpr size_t kRoot = VANTIRO_ROOT_SIZE;
constexpr size_t kAnchorBuf = 210;
constexpr size_t kPathBuf = 512;
// "_key." + a name of up to 253 characters and its trailing dot + " TXT \"" + the anchor
// record + "\"\n" is at most 460 characters.
constexpr size_t kDnsLineBuf = 512;
// Bytes of stack cleared after a command: well beyond the deepest call chain below it.
constexpr size_t kScrubBytes = 64 * 1024;

const char kUsage[] =
    "Ardessa Vantiro CLI\n"
    "  vantiro-cli selftest\n"
    "  vantiro-cli mint <n> <t> <fqdn> <outdir>\n"
    "  vantiro-cli recover <outkey> <share1> <share2> ...\n";

int usage() {
  std::fputs(kUsage, stderr);
  return 1;
}

// The hash, signing and interpolation routines leave their temporaries (message
// schedules, hash states, scalars) on the stack below the command, and inlined copies
// of shares and roots leave their last 16-byte pieces in vector registers. Overwriting
// that stack region and those registers once the command is done leaves none of them.
[[gnu::noinline]] void scrub_stack_and_registers() {
  uint8_t region[kScrubBytes];
  secure_zero(region, sizeof region);
#if defined(__GNUC__) && defined(__x86_64__)
  // The field code runs in 256-bit registers where the processor has AVX2; vzeroall
  // clears all sixteen of them whole (pxor alone leaves their upper halves).
  if (__builtin_cpu_supports("avx")) __asm__ __volatile__("vzeroall" ::: "memory");
  __asm__ __volatile__(
      "pxor %%xmm0, %%xmm0\n\tpxor %%xmm1, %%xmm1\n\tpxor %%xmm2, %%xmm2\n\t"
      "pxor %%xmm3, %%xmm3\n\tpxor %%xmm4, %%xmm4\n\tpxor %%xmm5, %%xmm5\n\t"
      "pxor %%xmm6, %%xmm6\n\tpxor %%xmm7, %%xmm7\n\tpxor %%xmm8, %%xmm8\n\t"
      "pxor %%xmm9, %%xmm9\n\tpxor %%xmm10, %%xmm10\n\tpxor %%xmm11, %%xmm11\n\t"
      "pxor %%xmm12, %%xmm12\n\tpxor %%xmm13, %%xmm13\n\tpxor %%xmm14, %%xmm14\n\t"
      "pxor %%xmm15, %%xmm15"
      :
      :
      : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9",
        "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15", "memory");
#endif
}

void phex(const uint8_t* bytes, size_t len) {
  for (size_t i = 0; i < len; ++i) std::printf("%02x", bytes[i]);
}

// Writes len bytes as the whole file at path, flushed and synced to disk. Secret files
// (shares, roots) are owner-only and unbuffered, so no copy stays in a stdio buffer.
int write_file(const char* path, const uint8_t* data, size_t len, bool secret) {
  FILE* f = cli_open_for_write(path, secret);
  if (f == nullptr) {
    std::fprintf(stderr, "ERROR: cannot write %s\n", path);
    return -1;
  }
  if (secret) std::setvbuf(f, nullptr, _IONBF, 0);
  bool ok = std::fwrite(data, 1, len, f) == len;
  ok = std::fflush(f) == 0 && ok;
  ok = ok && cli_sync(f) == 0;
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    std::fprintf(stderr, "ERROR: short write %s\n", path);
    return -1;
  }
  return 0;
}

// A share or root count: plain decimal digits within int, else 0 (which the range
// check refuses).
int parse_count(const char* s) {
  if (*s == '\0') return 0;
  long long v = 0;
  for (const char* p = s; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return 0;
    v = v * 10 + (*p - '0');
    if (v > INT_MAX) return 0;
  }
  return static_cast<int>(v);
}

bool is_label_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '-' || c == '_';
}

// True when "_key." followed by fqdn is a DNS name: labels of 1 to 63 characters from
// letters, digits, '-' and '_', single dots between them, an optional trailing dot, at
// most 253 characters without it. Nothing else may reach the quoted zone line. An empty
// fqdn is refused too: "_key." alone would publish the anchor at the DNS root.
bool key_name_is_dns(const char* fqdn) {
  if (fqdn[0] == 0) return false;
  static const char kPrefix[] = "_key.";
  const size_t prefix_len = sizeof kPrefix - 1;
  size_t len = prefix_len + std::strlen(fqdn);
  if (len > prefix_len && fqdn[len - prefix_len - 1] == '.') --len;
  if (len > 253) return false;
  size_t label = 0;
  for (size_t i = 0; i < len; ++i) {
    const char c = i < prefix_len ? kPrefix[i] : fqdn[i - prefix_len];
    if (c == '.') {
      if (label == 0) return false;
      label = 0;
    } else if (is_label_char(c) && label < 63) {
      ++label;
    } else {
      return false;
    }
  }
  return label != 0;
}

int cmd_selftest() {
  std::puts("== vantiro selftest (mint 3-of-5, recover, verify anchor) ==");
  uint8_t pub[32];
  char anchor[kAnchorBuf];
  uint8_t records[5 * kRecord];
  int rc = vantiro_mint(5, 3, pub, records, anchor, sizeof anchor);
  if (rc != 0) {
    std::printf("FAIL: vantiro_mint rc=%d\n", rc);
    return 1;
  }
  std::printf("  pubkey: ");
  phex(pub, sizeof pub);
  std::printf("\n  anchor: %s\n", anchor);

  // Shares x = 1, 3 and 5: not the first three, which the mint has proved already.
  uint8_t pick[3 * kRecord];
  std::memcpy(pick, records, kRecord);
  std::memcpy(pick + kRecord, records + 2 * kRecord, kRecord);
  std::memcpy(pick + 2 * kRecord, records + 4 * kRecord, kRecord);
  secure_zero(records, sizeof records);
  uint8_t root[kRoot];
  rc = vantiro_recover(3, pick, root);
  secure_zero(pick, sizeof pick);
  if (rc != 0) {
    std::puts("FAIL: recover");
    return 1;
  }
  const bool key_match = std::memcmp(root + 32, pub, sizeof pub) == 0;

  // The signature is checked from the anchor text alone, against the minted key.
  uint8_t msg[40];
  std::memcpy(msg, pub, 32);
  std::memcpy(msg + 32, "operator", 8);
  bool sig_valid = false;
  const char* s = std::strstr(anchor, "s=");
  if (s != nullptr) {
    s += 2;
    uint8_t sig[64];
    for (size_t i = 0; i < sizeof sig; ++i) {
      unsigned v = 0;
      std::sscanf(s + 2 * i, "%2x", &v);
      sig[i] = static_cast<uint8_t>(v & 0xFFu);
    }
    sig_valid = ed25519_verify(pub, msg, sizeof msg, sig) == 0;
  }
  secure_zero(root, sizeof root);
  std::printf("  recovered pubkey matches: %s\n", key_match ? "YES" : "NO");
  std::printf("  anchor signature valid:   %s\n", sig_valid ? "YES" : "NO");
  if (key_match && sig_valid) {
    std::printf("PASS\n");
    return 0;
  }
  std::printf("FAIL\n");
  return 1;
}

int cmd_mint(int n, int t, const char* fqdn, const char* outdir) {
  if (n < t || n > kMaxShares || t < 2) {
    std::fputs("ERROR: need 2<=t<=n<=16\n", stderr);
    return 1;
  }
  if (!key_name_is_dns(fqdn)) {
    std::fputs(
        "ERROR: fqdn must be a DNS name (letters, digits, '-', '_', dots; at most 248 "
        "characters)\n",
        stderr);
    return 1;
  }
  // The longest path written is <outdir>/share-16.share; none may be cut short.
  if (std::strlen(outdir) + std::strlen("/share-16.share") > kPathBuf - 1) {
    std::fputs("ERROR: outdir too long\n", stderr);
    return 1;
  }
  const size_t nn = static_cast<size_t>(n);
  uint8_t* records = static_cast<uint8_t*>(std::calloc(nn, kRecord));
  if (records == nullptr) {
    std::fputs("oom\n", stderr);
    return 1;
  }
  uint8_t pub[32];
  char anchor[kAnchorBuf];
  int rc = vantiro_mint(n, t, pub, records, anchor, sizeof anchor);
  if (rc != 0) {
    std::fprintf(stderr, "ERROR: vantiro_mint rc=%d\n", rc);
    std::free(records);
    return 1;
  }

  char path[kPathBuf];
  std::snprintf(path, sizeof path, "%s/operator.pub", outdir);
  if (write_file(path, pub, sizeof pub, false) != 0) {
    secure_zero(records, nn * kRecord);
    std::free(records);
    return 1;
  }
  int not_written = 0;
  std::snprintf(path, sizeof path, "%s/_key.txt", outdir);
  char line[kDnsLineBuf];
  const int line_len = std::snprintf(line, sizeof line, "_key.%s TXT \"%s\"\n", fqdn, anchor);
  if (write_file(path, reinterpret_cast<const uint8_t*>(line), static_cast<size_t>(line_len),
                 false) != 0)
    ++not_written;

  std::printf("== Ardessa Vantiro: root minted (%d-of-%d) ==\n", t, n);
  std::printf("  operator pubkey: ");
  phex(pub, sizeof pub);
  std::printf("\n  _key.%s TXT -> %s\n", fqdn, anchor);
  std::printf("  wrote %s/operator.pub  %s/_key.txt\n", outdir, outdir);
  std::puts("  shares (DISTRIBUTE EACH TO A SEPARATE PLACE):");
  for (size_t i = 0; i < nn; ++i) {
    const uint8_t* rec = records + i * kRecord;
    const int x = rec[0];
    std::snprintf(path, sizeof path, "%s/share-%02d.share", outdir, x);
    if (write_file(path, rec, kRecord, true) != 0) ++not_written;
    uint8_t digest[32];
    sha256(rec, kRecord, digest);
    std::printf("    x=%3d -> %s  sha256=", x, path);
    phex(digest, 6);
    std::puts("...");
  }
  secure_zero(records, nn * kRecord);
  std::free(records);
  std::printf("  The whole root is wiped. Any %d shares reconstruct it. No network was touched.\n",
              t);
  std::printf("  NOW: publish _key.%s + operator.pub; scatter the shares; then reconnect.\n", fqdn);
  if (not_written != 0) {
    std::fflush(stdout);
    std::fprintf(stderr, "ERROR: %d file(s) not written; this ceremony is incomplete\n",
                 not_written);
    return 1;
  }
  return 0;
}

// Reads the first 65 bytes of path into rec, unbuffered. Prints the error lines itself.
bool read_share(const char* path, uint8_t* rec) {
  FILE* f = std::fopen(path, "rb");
  if (f == nullptr) {
    std::fprintf(stderr, "ERROR: cannot read %s\n", path);
    std::fprintf(stderr, "ERROR: %s is not a %d-byte share\n", path, static_cast<int>(kRecord));
    return false;
  }
  std::setvbuf(f, nullptr, _IONBF, 0);
  const size_t got = std::fread(rec, 1, kRecord, f);
  std::fclose(f);
  if (got < kRecord) {
    std::fprintf(stderr, "ERROR: %s is not a %d-byte share\n", path, static_cast<int>(kRecord));
    return false;
  }
  return true;
}

int cmd_recover(const char* outkey, int k, char** share_paths) {
  const size_t kk = static_cast<size_t>(k);
  uint8_t* records = static_cast<uint8_t*>(std::calloc(kk, kRecord));
  if (records == nullptr) {
    std::fputs("oom\n", stderr);
    return 1;
  }
  for (size_t i = 0; i < kk; ++i) {
    if (!read_share(share_paths[i], records + i * kRecord)) {
      secure_zero(records, kk * kRecord);
      std::free(records);
      return 1;
    }
  }
  uint8_t root[kRoot];
  const int rc = vantiro_recover(k, records, root);
  secure_zero(records, kk * kRecord);
  std::free(records);
  if (rc == -3) {
    std::fputs(
        "ERROR: recover failed: the shares do not rebuild a root (too few shares, or shares "
        "of different roots)\n",
        stderr);
    return 1;
  }
  if (rc != 0) {
    std::fputs("ERROR: recover failed\n", stderr);
    return 1;
  }
  std::printf("== recovered root ==\n  pubkey: ");
  phex(root + 32, 32);
  std::printf("\n");
  const int wrc = write_file(outkey, root, sizeof root, true);
  secure_zero(root, sizeof root);
  if (wrc != 0) return 1;
  std::printf("  wrote 64B root -> %s (secure this; re-split or wipe when done)\n", outkey);
  return 0;
}

int dispatch(int argc, char** argv) {
  if (argc < 2) return usage();
  if (std::strcmp(argv[1], "selftest") == 0) return cmd_selftest();
  if (argc == 6) {
    if (std::strcmp(argv[1], "mint") == 0)
      return cmd_mint(parse_count(argv[2]), parse_count(argv[3]), argv[4], argv[5]);
    if (std::strcmp(argv[1], "recover") == 0) return cmd_recover(argv[2], 3, argv + 3);
    return usage();
  }
  if (argc <= 3) return usage();
  if (std::strcmp(argv[1], "recover") != 0) return usage();
  if (argc == 4) {
    std::fputs("ERROR: need >= t shares\n", stderr);
    return 1;
  }
  return cmd_recover(argv[2], argc - 3, argv + 3);
}

}  // namespace

int vantiro_cli_main(int argc, char** argv) {
  const int status = dispatch(argc, argv);
  scrub_stack_and_registers();
  return status;
}
