// Platform-specific file input and output: creation without replacing, owner-only secret
// files, publishing a finished file under its name without replacing, syncing files and
// directories, reading regular files only.
#include "file_io.h"

#include <cstring>

#if defined(_WIN32)

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>

namespace {

// A security descriptor whose protected access-control list grants the current user full
// access and nobody else anything, and inherits no entry from the directory.
struct private_descriptor {
  SECURITY_DESCRIPTOR sd;
  alignas(8) unsigned char token_user[256];
  alignas(8) unsigned char acl[256];
};

bool make_private_descriptor(private_descriptor* p) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD len = 0;
  const BOOL got =
      GetTokenInformation(token, TokenUser, p->token_user, sizeof p->token_user, &len);
  CloseHandle(token);
  if (!got) return false;
  PSID user = reinterpret_cast<TOKEN_USER*>(p->token_user)->User.Sid;
  PACL acl = reinterpret_cast<PACL>(p->acl);
  return InitializeAcl(acl, sizeof p->acl, ACL_REVISION) &&
         AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, user) &&
         InitializeSecurityDescriptor(&p->sd, SECURITY_DESCRIPTOR_REVISION) &&
         SetSecurityDescriptorDacl(&p->sd, TRUE, acl, FALSE) &&
         SetSecurityDescriptorControl(&p->sd, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

// The wide form of a path in the system code page: the wide file calls take paths longer
// than the 260 characters that the narrow ones stop at.
constexpr int kWidePath = 4096;
bool widen(const char* path, wchar_t (&out)[kWidePath]) {
  return MultiByteToWideChar(CP_ACP, 0, path, -1, out, kWidePath) > 0;
}

FILE* handle_to_stream(HANDLE h, int flags, const char* mode) {
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), flags);
  if (fd < 0) {
    CloseHandle(h);
    return nullptr;
  }
  FILE* f = _fdopen(fd, mode);
  if (f == nullptr) _close(fd);
  return f;
}

// A public file's temporary keeps the access it is created with when it is moved to its
// name, so it gets the default access from the start.
constexpr bool kTempOwnerOnly = false;

unsigned long process_id() { return GetCurrentProcessId(); }

bool name_taken() {
  const DWORD e = GetLastError();
  return e == ERROR_FILE_EXISTS || e == ERROR_ALREADY_EXISTS;
}

// Where a path's file name begins: also after a drive ("C:name").
bool ends_directory_part(char c) { return cli_is_separator(c) || c == ':'; }

}  // namespace

bool cli_path_exists(const char* path) {
  wchar_t wide[kWidePath];
  return widen(path, wide) && GetFileAttributesW(wide) != INVALID_FILE_ATTRIBUTES;
}

bool cli_is_directory(const char* path) {
  wchar_t wide[kWidePath];
  if (!widen(path, wide)) return false;
  const DWORD attrs = GetFileAttributesW(wide);
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

FILE* cli_create_new(const char* path, bool secret) {
  private_descriptor pd;
  SECURITY_ATTRIBUTES sa{};
  sa.nLength = sizeof sa;
  if (secret) {
    if (!make_private_descriptor(&pd)) return nullptr;
    sa.lpSecurityDescriptor = &pd.sd;
  }
  wchar_t wide[kWidePath];
  if (!widen(path, wide)) return nullptr;
  HANDLE h = CreateFileW(wide, GENERIC_WRITE, 0, secret ? &sa : nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  return handle_to_stream(h, _O_WRONLY | _O_BINARY, "wb");
}

FILE* cli_open_append(const char* path) {
  wchar_t wide[kWidePath];
  if (!widen(path, wide)) return nullptr;
  HANDLE h = CreateFileW(wide, GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    return nullptr;
  }
  return handle_to_stream(h, _O_RDWR | _O_APPEND | _O_BINARY, "a+b");
}

int cli_remove(const char* path) {
  wchar_t wide[kWidePath];
  return widen(path, wide) && DeleteFileW(wide) ? 0 : -1;
}

int cli_make_public(FILE* f) {
  (void)f;
  return 0;
}

int cli_publish(const char* tmp, const char* final_path) {
  wchar_t from[kWidePath];
  wchar_t to[kWidePath];
  if (!widen(tmp, from) || !widen(final_path, to)) return -1;
  // Without MOVEFILE_REPLACE_EXISTING the move fails when anything exists at final_path.
  return MoveFileExW(from, to, MOVEFILE_WRITE_THROUGH) ? 0 : -1;
}

FILE* cli_stdin_binary() {
  _setmode(_fileno(stdin), _O_BINARY);
  return stdin;
}

FILE* cli_open_self() {
  wchar_t path[32768];
  const DWORD n = GetModuleFileNameW(nullptr, path, sizeof path / sizeof path[0]);
  if (n == 0 || n >= sizeof path / sizeof path[0]) return nullptr;
  return _wfopen(path, L"rb");
}

int cli_sync(FILE* f) { return _commit(_fileno(f)) == 0 ? 0 : -1; }

int cli_sync_dir(const char* dir) {
  (void)dir;
  return 0;
}

cli_open_result cli_open_regular(const char* path, FILE** out) {
  *out = nullptr;
  wchar_t wide[kWidePath];
  if (!widen(path, wide)) return CLI_OPEN_FAILED;
  const DWORD attrs = GetFileAttributesW(wide);
  if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return CLI_OPEN_NOT_REGULAR;
  HANDLE h = CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return CLI_OPEN_FAILED;
  // Pipes and character devices could block a read: only disk files are read.
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    return CLI_OPEN_NOT_REGULAR;
  }
  FILE* f = handle_to_stream(h, _O_RDONLY | _O_BINARY, "rb");
  if (f == nullptr) return CLI_OPEN_FAILED;
  std::setvbuf(f, nullptr, _IONBF, 0);
  *out = f;
  return CLI_OPEN_OK;
}

bool cli_regular_size(FILE* f, unsigned long long* left) {
  const int fd = _fileno(f);
  struct _stat64 st {};
  if (_fstat64(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) return false;
  const __int64 at = _lseeki64(fd, 0, SEEK_CUR);
  if (at < 0) return false;
  *left = at < st.st_size ? static_cast<unsigned long long>(st.st_size - at) : 0;
  return true;
}

#else

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/syscall.h>
#endif

namespace {

constexpr bool kTempOwnerOnly = true;

unsigned long process_id() { return static_cast<unsigned long>(getpid()); }

bool name_taken() { return errno == EEXIST; }

bool ends_directory_part(char c) { return cli_is_separator(c); }

// How link fails on a file system without hard links (FAT answers EPERM).
bool no_hard_links(int err) {
  return err == EPERM || err == ENOTSUP || err == EMLINK || err == ENOSYS
#if EOPNOTSUPP != ENOTSUP
         || err == EOPNOTSUPP
#endif
      ;
}

int rename_noreplace(const char* from, const char* to) {
#if defined(__linux__) && defined(__GLIBC__) && \
    (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
  return renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
#elif defined(__linux__) && defined(SYS_renameat2)
  constexpr unsigned kNoReplace = 1;  // RENAME_NOREPLACE, where the headers lack it
  return static_cast<int>(syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, kNoReplace));
#else
  // No rename that refuses an existing name: the file is not given one that could replace.
  (void)from;
  (void)to;
  errno = ENOTSUP;
  return -1;
#endif
}

}  // namespace

bool cli_path_exists(const char* path) {
  struct stat st {};
  return lstat(path, &st) == 0;
}

bool cli_is_directory(const char* path) {
  struct stat st {};
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

FILE* cli_create_new(const char* path, bool secret) {
  // O_EXCL fails on anything at the path, a symbolic link included (it is not followed).
  const mode_t mode = secret ? (S_IRUSR | S_IWUSR) : 0666;
  const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return nullptr;
  FILE* f = fdopen(fd, "wb");
  if (f == nullptr) close(fd);
  return f;
}

FILE* cli_open_append(const char* path) {
  // O_NOFOLLOW: the transcript is appended to where it stands, never through a link;
  // O_NONBLOCK: a FIFO is refused below rather than waited on.
  const int fd = open(path, O_RDWR | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fcntl(fd, F_SETFL, O_APPEND) != 0) {
    close(fd);
    return nullptr;
  }
  FILE* f = fdopen(fd, "a+b");
  if (f == nullptr) close(fd);
  return f;
}

int cli_remove(const char* path) { return unlink(path) == 0 ? 0 : -1; }

int cli_make_public(FILE* f) {
  // The umask is read by setting it and set back at once; no other thread creates files.
  const mode_t mask = umask(0);
  umask(mask);
  return fchmod(fileno(f), 0666 & ~mask) == 0 ? 0 : -1;
}

int cli_publish(const char* tmp, const char* final_path) {
  // link, like a rename that refuses, fails with EEXIST on anything at final_path, a
  // dangling symbolic link included.
  if (link(tmp, final_path) != 0)
    return no_hard_links(errno) ? rename_noreplace(tmp, final_path) : -1;
  // The file is whole under its name now. Should the temporary name stay, it is an
  // owner-only second name that says what it is.
  (void)unlink(tmp);
  return 0;
}

FILE* cli_stdin_binary() { return stdin; }

FILE* cli_open_self() { return std::fopen("/proc/self/exe", "rb"); }

int cli_sync(FILE* f) { return fsync(fileno(f)) == 0 ? 0 : -1; }

int cli_sync_dir(const char* dir) {
  const int fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  // Some file systems cannot sync a directory and say so with EINVAL: nothing to make
  // durable there.
  const int rc = fsync(fd) == 0 || errno == EINVAL ? 0 : -1;
  close(fd);
  return rc;
}

cli_open_result cli_open_regular(const char* path, FILE** out) {
  *out = nullptr;
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return CLI_OPEN_FAILED;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return CLI_OPEN_NOT_REGULAR;
  }
  FILE* f = fdopen(fd, "rb");
  if (f == nullptr) {
    close(fd);
    return CLI_OPEN_FAILED;
  }
  std::setvbuf(f, nullptr, _IONBF, 0);
  *out = f;
  return CLI_OPEN_OK;
}

bool cli_regular_size(FILE* f, unsigned long long* left) {
  const int fd = fileno(f);
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const off_t at = lseek(fd, 0, SEEK_CUR);
  if (at < 0) return false;
  *left = at < st.st_size ? static_cast<unsigned long long>(st.st_size - at) : 0;
  return true;
}

#endif

bool cli_is_separator(char c) {
#if defined(_WIN32)
  if (c == '\\') return true;
#endif
  return c == '/';
}

namespace {
// At most this much of a file name goes into its temporary name, which so stays within
// the 255 bytes a name may have.
constexpr size_t kTempNameKept = 200;
unsigned g_temp_count = 0;
}  // namespace

FILE* cli_create_temp(const char* final_path, bool secret, char* tmp, size_t cap) {
  const char* name = final_path + std::strlen(final_path);
  while (name != final_path && !ends_directory_part(name[-1])) --name;
  const int dir_len = static_cast<int>(name - final_path);
  size_t name_len = std::strlen(name);
  if (name_len > kTempNameKept) name_len = kTempNameKept;
  // Names planted in the directory are skipped, never opened; the count bounds the search.
  for (int tries = 0; tries < 1000; ++tries) {
    const int len = std::snprintf(tmp, cap, "%.*s.%.*s.tmp-%lu-%u", dir_len, final_path,
                                  static_cast<int>(name_len), name, process_id(), ++g_temp_count);
    if (len < 0 || static_cast<size_t>(len) >= cap) return nullptr;
    FILE* f = cli_create_new(tmp, secret || kTempOwnerOnly);
    if (f != nullptr || !name_taken()) return f;
  }
  return nullptr;
}
