/* Preloaded into vantiro-cli by the black-box tests to make system calls fail on demand,
 * since the product has no test hooks of its own. Environment:
 *   VT_GETRANDOM_FAIL_FROM=N  getrandom fails (EIO) from its N-th call on (1-based)
 *   VT_FSYNC_FAIL=1           fsync fails (EIO)
 *   VT_FSYNC_DIR_FAIL=1       fsync of a directory fails (EIO)
 *   VT_CREATE_FAIL=A,B,...    open with O_CREAT fails (EACCES) for paths containing any
 *                             of the comma-separated texts
 *   VT_FCLOSE_FAIL=1          fclose closes the stream but reports EOF (EIO)
 *   VT_CALLOC_FAIL=1          calloc returns null
 *   VT_FLIP_ON_REWIND=N:PATH  the N-th call of rewind (1-based) first inverts the first
 *                             byte of PATH: a file that changes between two passes
 *   VT_GROW_ON_FSTAT=PATH     every fstat that finds the file at PATH appends a byte to it
 *                             once it has looked: a file that grows while it is read
 *   VT_KILL_AT_WRITE=N        the process kills itself (SIGKILL) at its N-th step of
 *                             writing a file (1-based): just after an open with O_CREAT
 *                             succeeds, or just before an fsync of a regular file, a link,
 *                             a renameat2 or an unlink: a crash at a set point
 *   VT_LINK_FAIL=1            link fails (EPERM), as on a file system without hard links */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <string.h>
#include <sys/stat.h>
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

/* One more step of writing a file: the N-th of VT_KILL_AT_WRITE ends the process as a
 * crash would, with no chance to clean up. */
static void write_step(void) {
  static long steps = 0;
  const char* at = getenv("VT_KILL_AT_WRITE");
  if (at != NULL && ++steps == atol(at)) kill(getpid(), SIGKILL);
}

int fsync(int fd) {
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) write_step();
  if (env_on("VT_FSYNC_FAIL") ||
      (env_on("VT_FSYNC_DIR_FAIL") && fstat(fd, &st) == 0 && S_ISDIR(st.st_mode))) {
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

static int create_refused(const char* path) {
  const char* list = getenv("VT_CREATE_FAIL");
  char item[256];
  while (list != NULL && *list != '\0') {
    size_t len = strcspn(list, ",");
    if (len > 0 && len < sizeof item) {
      memcpy(item, list, len);
      item[len] = '\0';
      if (strstr(path, item) != NULL) return 1;
    }
    list += len + (list[len] == ',');
  }
  return 0;
}

static int open_common(const char* name, const char* path, int flags, mode_t mode) {
  if ((flags & O_CREAT) && create_refused(path)) {
    errno = EACCES;
    return -1;
  }
  int (*real_open)(const char*, int, ...) = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, name);
  int fd = real_open(path, flags, mode);
  if (fd >= 0 && (flags & O_CREAT)) write_step();
  return fd;
}

int link(const char* from, const char* to) {
  int (*real_link)(const char*, const char*) =
      (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "link");
  write_step();
  if (env_on("VT_LINK_FAIL")) {
    errno = EPERM;
    return -1;
  }
  return real_link(from, to);
}

int renameat2(int from_dir, const char* from, int to_dir, const char* to, unsigned int flags) {
  int (*real_renameat2)(int, const char*, int, const char*, unsigned int) =
      (int (*)(int, const char*, int, const char*, unsigned int))dlsym(RTLD_NEXT, "renameat2");
  write_step();
  return real_renameat2(from_dir, from, to_dir, to, flags);
}

int unlink(const char* path) {
  int (*real_unlink)(const char*) = (int (*)(const char*))dlsym(RTLD_NEXT, "unlink");
  write_step();
  return real_unlink(path);
}

/* open and open64 take the mode only with O_CREAT. */
#define VT_OPEN_WRAPPER(fn)                        \
  int fn(const char* path, int flags, ...) {       \
    mode_t mode = 0;                               \
    if (flags & O_CREAT) {                         \
      va_list ap;                                  \
      va_start(ap, flags);                         \
      mode = (mode_t)va_arg(ap, int);              \
      va_end(ap);                                  \
    }                                              \
    return open_common(#fn, path, flags, mode);    \
  }
VT_OPEN_WRAPPER(open)
VT_OPEN_WRAPPER(open64)

/* Opens path for writing with the real open, bypassing the wrappers above. */
static int raw_open(const char* path, int flags) {
  return (int)syscall(SYS_openat, AT_FDCWD, path, flags | O_CLOEXEC, 0);
}

void rewind(FILE* f) {
  static long calls = 0;
  void (*real_rewind)(FILE*) = (void (*)(FILE*))dlsym(RTLD_NEXT, "rewind");
  const char* spec = getenv("VT_FLIP_ON_REWIND");
  const char* colon = spec != NULL ? strchr(spec, ':') : NULL;
  if (colon != NULL && ++calls == atol(spec)) {
    int fd = raw_open(colon + 1, O_RDWR);
    unsigned char b;
    if (fd < 0 || pread(fd, &b, 1, 0) != 1) abort();
    b ^= 0xFF;
    if (pwrite(fd, &b, 1, 0) != 1) abort();
    close(fd);
  }
  real_rewind(f);
}

int fstat(int fd, struct stat* st) {
  int rc = (int)syscall(SYS_fstat, fd, st);
  const char* path = getenv("VT_GROW_ON_FSTAT");
  struct stat at;
  if (rc == 0 && path != NULL && stat(path, &at) == 0 && at.st_dev == st->st_dev &&
      at.st_ino == st->st_ino) {
    int wfd = raw_open(path, O_WRONLY | O_APPEND);
    if (wfd < 0 || write(wfd, "+", 1) != 1) abort();
    close(wfd);
  }
  return rc;
}
