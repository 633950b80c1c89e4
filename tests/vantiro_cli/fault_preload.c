/* Preloaded into vantiro-cli by the black-box tests to make system calls fail on demand,
 * since the product has no test hooks of its own. Environment:
 *   VT_GETRANDOM_FAIL_FROM=N  getrandom fails (EIO) from its N-th call on (1-based)
 *   VT_FSYNC_FAIL=1           fsync fails (EIO)
 *   VT_FCLOSE_FAIL=1          fclose closes the stream but reports EOF (EIO)
 *   VT_CALLOC_FAIL=1          calloc returns null */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

extern void* __libc_calloc(size_t n, size_t size);

static long g_getrandom_calls = 0;

static int env_on(const char* name) {
  const char* v = getenv(name);
  return v != NULL && v[0] != '\0' && v[0] != '0';
}

ssize_t getrandom(void* buf, size_t len, unsigned int flags) {
  const char* from = getenv("VT_GETRANDOM_FAIL_FROM");
  ++g_getrandom_calls;
  if (from != NULL && g_getrandom_calls >= atol(from)) {
    errno = EIO;
    return -1;
  }
  return syscall(SYS_getrandom, buf, len, flags);
}

int fsync(int fd) {
  if (env_on("VT_FSYNC_FAIL")) {
    errno = EIO;
    return -1;
  }
  return (int)syscall(SYS_fsync, fd);
}

int fclose(FILE* f) {
  int (*real_fclose)(FILE*) = (int (*)(FILE*))dlsym(RTLD_NEXT, "fclose");
  int rc = real_fclose(f);
  if (env_on("VT_FCLOSE_FAIL")) {
    errno = EIO;
    return EOF;
  }
  return rc;
}

void* calloc(size_t n, size_t size) {
  if (env_on("VT_CALLOC_FAIL")) return NULL;
  return __libc_calloc(n, size);
}
