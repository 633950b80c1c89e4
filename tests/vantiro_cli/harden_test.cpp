// Process hardening: each step the system permits must actually be in force afterwards.
#include <gtest/gtest.h>

#include "harden.h"

#if defined(_WIN32)

#include <windows.h>

TEST(ProcessHardening, ErrorDialogsAreOff) {
  SetErrorMode(0);
  cli_harden_process();
  const UINT mode = GetErrorMode();
  EXPECT_NE(mode & SEM_FAILCRITICALERRORS, 0u);
  EXPECT_NE(mode & SEM_NOGPFAULTERRORBOX, 0u);
  EXPECT_NE(mode & SEM_NOOPENFILEERRORBOX, 0u);
}

#else

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The VmLck line of /proc/self/status in kB, or -1 when it cannot be read.
long locked_kb() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return -1;
  char line[256];
  long kb = -1;
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::strncmp(line, "VmLck:", 6) == 0) kb = std::strtol(line + 6, nullptr, 10);
  }
  std::fclose(f);
  return kb;
}

bool asan_build() {
#if defined(__SANITIZE_ADDRESS__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return true;
#endif
#endif
  return false;
}

}  // namespace

TEST(ProcessHardening, CoreDumpsOffAndMemoryLockedWherePermitted) {
  ASSERT_EQ(prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 1) << "the test process starts dumpable";
  struct rlimit memlock {};
  ASSERT_EQ(getrlimit(RLIMIT_MEMLOCK, &memlock), 0);
  const bool may_lock_all = geteuid() == 0 || memlock.rlim_cur == RLIM_INFINITY;

  cli_harden_process();

  struct rlimit core {};
  ASSERT_EQ(getrlimit(RLIMIT_CORE, &core), 0);
  EXPECT_EQ(core.rlim_cur, 0u);
  EXPECT_EQ(core.rlim_max, 0u) << "the hard limit too, so the process cannot raise it again";
  EXPECT_EQ(prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);

  // Running a second time is harmless (the limit is already at its floor).
  cli_harden_process();
  ASSERT_EQ(getrlimit(RLIMIT_CORE, &core), 0);
  EXPECT_EQ(core.rlim_max, 0u);

  if (asan_build()) GTEST_SKIP() << "memory is left unlocked under AddressSanitizer";
  if (!may_lock_all) GTEST_SKIP() << "this user may not lock all memory (no CAP_IPC_LOCK, finite RLIMIT_MEMLOCK)";
  const long before = locked_kb();
  ASSERT_GT(before, 0) << "mlockall(MCL_CURRENT) locked nothing";
  // MCL_FUTURE: a new mapping is locked too.
  std::string grown(4u << 20, 'x');
  EXPECT_GE(locked_kb(), before + 4000) << "a 4 MiB allocation after hardening was not locked";
  EXPECT_EQ(grown[grown.size() - 1], 'x');
}

#endif
