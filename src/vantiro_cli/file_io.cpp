// Platform-specific file output: owner-only creation and syncing to disk.
#include "file_io.h"

#if defined(_WIN32)

#include <io.h>

FILE* cli_open_for_write(const char* path, bool owner_only) {
  (void)owner_only;  // access is governed by the directory's ACL on Windows
  return std::fopen(path, "wb");
}

int cli_sync(FILE* f) { return _commit(_fileno(f)) == 0 ? 0 : -1; }

#else

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE* cli_open_for_write(const char* path, bool owner_only) {
  if (!owner_only) return std::fopen(path, "wb");
  // Not O_TRUNC: an existing file is narrowed to 0600 before anything of it is dropped,
  // and left whole when that cannot be done.
  int fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    close(fd);
    return nullptr;
  }
  // Devices and pipes keep their own modes and cannot be truncated.
  if (S_ISREG(st.st_mode) && (fchmod(fd, S_IRUSR | S_IWUSR) != 0 || ftruncate(fd, 0) != 0)) {
    close(fd);
    return nullptr;
  }
  FILE* f = fdopen(fd, "wb");
  if (f == nullptr) close(fd);
  return f;
}

int cli_sync(FILE* f) {
  const int fd = fileno(f);
  if (fsync(fd) == 0) return 0;
  // A pipe or character device has nothing to sync; a regular file must sync.
  struct stat st {};
  if (errno == EINVAL && fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) return 0;
  return -1;
}

#endif
