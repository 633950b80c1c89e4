// vantiro-cli: command selection, and what every command shares at its end - the report
// must have reached standard output, and no secret may stay on the stack or in registers.
#include <climits>
#include <cstdio>
#include <cstring>

#include "cli_internal.h"
#include "cli_main.h"
#include "crypt.h"

namespace {

// Bytes of stack cleared after a command: well beyond the deepest call chain below it.
constexpr size_t kScrubBytes = 64 * 1024;

const char kUsage[] =
    "Ardessa Vantiro CLI\n"
    "  vantiro-cli selftest\n"
    "  vantiro-cli mint <n> <t> <fqdn> <outdir>\n"
    "  vantiro-cli recover <outkey> <share1> <share2> ...\n"
    "  vantiro-cli sign <anchor> <message> <sigout> <share1> <share2> ...\n"
    "  vantiro-cli verify <anchor> [<message> <signature>]\n"
    "  vantiro-cli reshare <n> <t> <anchor> <outdir> <share1> <share2> ...\n"
    "  vantiro-cli reissue <x> <anchor> <outdir> <share1> <share2> ...\n";

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

// The commands added after the first three, each with its own argument counts; -1 when
// argv[1] is none of them.
int dispatch_added(int argc, char** argv) {
  if (std::strcmp(argv[1], "verify") == 0) {
    if (argc == 3) return cli::cmd_verify(argv[2], nullptr, nullptr);
    if (argc == 5) return cli::cmd_verify(argv[2], argv[3], argv[4]);
    return usage();
  }
  if (std::strcmp(argv[1], "sign") == 0) {
    if (argc < 7) return usage();
    return cli::cmd_sign(argv[2], argv[3], argv[4], argc - 5, argv + 5);
  }
  if (std::strcmp(argv[1], "reshare") == 0) {
    if (argc < 8) return usage();
    return cli::cmd_reshare(parse_count(argv[2]), parse_count(argv[3]), argv[4], argv[5],
                            argc - 6, argv + 6);
  }
  if (std::strcmp(argv[1], "reissue") == 0) {
    if (argc < 7) return usage();
    return cli::cmd_reissue(parse_count(argv[2]), argv[3], argv[4], argc - 5, argv + 5);
  }
  return -1;
}

int dispatch(int argc, char** argv) {
  if (argc < 2) return usage();
  const int added = dispatch_added(argc, argv);
  if (added >= 0) return added;
  if (std::strcmp(argv[1], "selftest") == 0) return cli::cmd_selftest();
  if (argc == 6) {
    if (std::strcmp(argv[1], "mint") == 0)
      return cli::cmd_mint(parse_count(argv[2]), parse_count(argv[3]), argv[4], argv[5]);
    if (std::strcmp(argv[1], "recover") == 0) return cli::cmd_recover(argv[2], 3, argv + 3);
    return usage();
  }
  if (argc <= 3) return usage();
  if (std::strcmp(argv[1], "recover") != 0) return usage();
  if (argc == 4) {
    std::fputs("ERROR: need >= t shares\n", stderr);
    return 1;
  }
  return cli::cmd_recover(argv[2], argc - 3, argv + 3);
}

}  // namespace

int vantiro_cli_main(int argc, char** argv) {
  int status = dispatch(argc, argv);
  scrub_stack_and_registers();
  // The report is part of the result: one that did not reach standard output fails the
  // command, though the files already written stay.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    std::fputs("ERROR: cannot write the report\n", stderr);
    status = 1;
  }
  return status;
}
