// Process hardening: runs before any secret exists, so no later copy of one can reach a
// core file, a crash report or swap. And the vector registers cleared of secrets.
#include "harden.h"

#include "cli_internal.h"

void cli::scrub_registers() {
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
  // With AVX-512 the C library's memcpy and memset run in registers 16 to 31, which
  // vzeroall leaves alone. This program's own code never uses them, so nothing to save.
  if (__builtin_cpu_supports("avx512f"))
    __asm__ __volatile__(
        "vpxord %%zmm16, %%zmm16, %%zmm16\n\tvpxord %%zmm17, %%zmm17, %%zmm17\n\t"
        "vpxord %%zmm18, %%zmm18, %%zmm18\n\tvpxord %%zmm19, %%zmm19, %%zmm19\n\t"
        "vpxord %%zmm20, %%zmm20, %%zmm20\n\tvpxord %%zmm21, %%zmm21, %%zmm21\n\t"
        "vpxord %%zmm22, %%zmm22, %%zmm22\n\tvpxord %%zmm23, %%zmm23, %%zmm23\n\t"
        "vpxord %%zmm24, %%zmm24, %%zmm24\n\tvpxord %%zmm25, %%zmm25, %%zmm25\n\t"
        "vpxord %%zmm26, %%zmm26, %%zmm26\n\tvpxord %%zmm27, %%zmm27, %%zmm27\n\t"
        "vpxord %%zmm28, %%zmm28, %%zmm28\n\tvpxord %%zmm29, %%zmm29, %%zmm29\n\t"
        "vpxord %%zmm30, %%zmm30, %%zmm30\n\tvpxord %%zmm31, %%zmm31, %%zmm31" ::: "memory");
#endif
}

#if defined(_WIN32)

#include <windows.h>

namespace {

// Flags of WerSetFlags (werapi.h of the Windows SDK): leave the heap out of any report
// and never show the reporting dialog.
constexpr DWORD kWerNoHeap = 0x1;
constexpr DWORD kWerNoUi = 0x20;

using wer_set_flags_fn = HRESULT(WINAPI*)(DWORD);

}  // namespace

void cli_harden_process() {
  // No "program has stopped working" box and no critical-error dialogs: a fault ends
  // the process at once instead of waiting on the desktop with its memory intact.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  // Heap corruption ends the process rather than going on.
  (void)HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
  // Windows Error Reporting, looked up at run time since older systems lack it.
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  FARPROC proc = kernel != nullptr ? GetProcAddress(kernel, "WerSetFlags") : nullptr;
  if (proc != nullptr) {
    auto wer_set_flags = reinterpret_cast<wer_set_flags_fn>(reinterpret_cast<void (*)()>(proc));
    (void)wer_set_flags(kWerNoHeap | kWerNoUi);
  }
  // Windows has no process-wide lock like mlockall; the program's secrets are small
  // stack and heap buffers that are wiped after use.
}

#else

#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>

// AddressSanitizer reserves terabytes of shadow memory that mlockall would try to fault
// in, so an instrumented build leaves memory unlocked.
#if defined(__SANITIZE_ADDRESS__)
#define VANTIRO_LOCK_MEMORY 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VANTIRO_LOCK_MEMORY 0
#endif
#endif
#ifndef VANTIRO_LOCK_MEMORY
#define VANTIRO_LOCK_MEMORY 1
#endif

void cli_harden_process() {
  // No core file: soft and hard limit 0, so the process cannot raise it again.
  const struct rlimit no_core = {0, 0};
  (void)setrlimit(RLIMIT_CORE, &no_core);
  // Not dumpable: no core even where a core pattern pipes to a handler, and other
  // processes of the same user can neither ptrace it nor read /proc/<pid>/mem.
  (void)prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  // Every page now and later stays in RAM, never in swap. Refused without the
  // privilege or above RLIMIT_MEMLOCK; the program then runs unlocked.
  if (VANTIRO_LOCK_MEMORY) (void)mlockall(MCL_CURRENT | MCL_FUTURE);
}

#endif
