// Process hardening: runs before any secret exists, so no later copy of one can reach a
// core file, a crash report or swap.
#include "harden.h"

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
