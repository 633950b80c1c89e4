// The OS random source when the kernel refuses: in a child process a seccomp filter makes
// getrandom fail, and every draw must then report -1 and leave only zeros, with the test
// switch off. (The switch itself is covered in random_test.cpp.)
#include <gtest/gtest.h>

#if defined(__linux__)
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "crypt.h"

namespace {

// Makes every later getrandom call of this process fail with err.
bool fail_getrandom_with(int err) {
  struct sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_getrandom, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (static_cast<unsigned>(err) & SECCOMP_RET_DATA)),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  struct sock_fprog prog = {static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
  return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &prog) == 0;
}

// Runs body in a child process; its exit status is the test's verdict (0 passes).
int in_child(int (*body)()) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(RandomSourceOsFailure, RefusedGetrandomGivesMinusOneAndZeros) {
  int verdict = in_child([]() -> int {
    if (!fail_getrandom_with(EIO)) return 10;
    uint8_t buf[48];
    std::memset(buf, 0xaa, sizeof buf);
    if (crypt_fill_random(buf, sizeof buf) != -1) return 1;
    for (uint8_t b : buf)
      if (b != 0) return 2;
    // Every later draw fails as well: nothing is cached from an earlier success.
    std::memset(buf, 0x55, sizeof buf);
    if (crypt_fill_random(buf, 1) != -1 || buf[0] != 0 || buf[1] != 0x55) return 3;
    // Key generation reports the failure and leaves all-zero keys.
    uint8_t pk[32], sk[64];
    std::memset(pk, 0xaa, sizeof pk);
    std::memset(sk, 0xaa, sizeof sk);
    if (ed25519_keypair(pk, sk) != -1) return 4;
    for (uint8_t b : pk)
      if (b != 0) return 5;
    for (uint8_t b : sk)
      if (b != 0) return 6;
    return 0;
  });
  if (verdict == 10) GTEST_SKIP() << "seccomp filters are not available here";
  EXPECT_EQ(verdict, 0) << "1: draw not refused, 2: buffer not zeroed, 3: later draw, 4-6: key pair";
}

}  // namespace

#else
TEST(RandomSourceOsFailure, NeedsLinux) { GTEST_SKIP() << "seccomp is Linux only"; }
#endif
