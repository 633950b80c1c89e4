// Whole-file output: every file is written in one piece under a temporary name, synced,
// and only then given its name, so a crash never leaves a part of a file under that name.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli_internal.h"
#include "file_io.h"

namespace cli {

namespace {
// The longest path a system opens (4096 on Linux) and the temporary name's additions.
constexpr size_t kTempPathBuf = 4096 + 64;
}  // namespace

int write_file(const char* path, const uint8_t* data, size_t len, bool secret) {
  char tmp[kTempPathBuf];
  FILE* f = cli_create_temp(path, secret, tmp, sizeof tmp);
  if (f == nullptr) {
    print_error("ERROR: cannot write %s\n", path);
    return -1;
  }
  if (secret) std::setvbuf(f, nullptr, _IONBF, 0);
  bool ok = std::fwrite(data, 1, len, f) == len;
  ok = std::fflush(f) == 0 && ok;
  ok = ok && (secret || cli_make_public(f) == 0) && cli_sync(f) == 0;
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    // Created new above, so the half-written file is ours alone: it goes.
    cli_remove(tmp);
    print_error("ERROR: short write %s\n", path);
    return -1;
  }
  // Publishing fails when anything has appeared at path since it was checked: nothing is
  // replaced, and the finished copy goes too.
  if (cli_publish(tmp, path) != 0) {
    cli_remove(tmp);
    print_error("ERROR: cannot write %s\n", path);
    return -1;
  }
  transcript_wrote(path, data, len);
  return 0;
}

bool is_stdin(const char* path) { return path[0] == '-' && path[1] == '\0'; }

const char* shown(const char* path) { return is_stdin(path) ? "standard input" : path; }

bool refuse_stdin_output(const char* path) {
  if (!is_stdin(path)) return false;
  print_error("ERROR: - is not a file name\n");
  return true;
}

uint8_t* alloc_zeroed(size_t len) {
  uint8_t* p = static_cast<uint8_t*>(std::calloc(len, 1));
  if (p == nullptr) std::fputs("oom\n", stderr);
  return p;
}

FILE* open_input(const char* path) {
  if (is_stdin(path)) return cli_stdin_binary();
  FILE* f = nullptr;
  const cli_open_result rc = cli_open_regular(path, &f);
  if (rc == CLI_OPEN_FAILED) print_error("ERROR: cannot read %s\n", path);
  if (rc == CLI_OPEN_NOT_REGULAR) print_error("ERROR: %s is not a regular file\n", path);
  return f;
}

void close_input(FILE* f) {
  if (f != stdin) std::fclose(f);
}

bool read_chunk(FILE* f, const char* path, uint8_t* buf, size_t cap, size_t* got) {
  *got = std::fread(buf, 1, cap, f);
  if (*got < cap && std::ferror(f) != 0) {
    print_error("ERROR: cannot read %s\n", shown(path));
    return false;
  }
  return true;
}

bool open_message(const char* path, message_in* m) {
  m->path = path;
  m->f = open_input(path);
  if (m->f == nullptr) return false;
  m->sized = cli_regular_size(m->f, &m->size);
  if (!m->sized && !is_stdin(path)) {  // opened as a regular file a moment ago
    print_error("ERROR: cannot read %s\n", path);
    close_input(m->f);
    return false;
  }
  if (!m->sized) m->size = 0;
  return true;
}

void close_message(message_in* m) { close_input(m->f); }

int read_small_file(const char* path, uint8_t* buf, size_t cap, size_t* len) {
  FILE* f = open_input(path);
  if (f == nullptr) return -1;
  size_t total = 0;
  size_t extra_got = 0;
  uint8_t extra;
  // fread stops short of cap only at the end of the file; one byte more tells a file of
  // exactly cap bytes from a larger one.
  const bool ok = read_chunk(f, path, buf, cap, &total) &&
                  (total < cap || read_chunk(f, path, &extra, 1, &extra_got));
  close_input(f);
  if (!ok) return -1;
  if (extra_got != 0) return -2;
  *len = total;
  return 0;
}

bool refuse_existing(const char* path) {
  if (!cli_path_exists(path)) return false;
  print_error("ERROR: %s exists; nothing was written\n", path);
  return true;
}

int sync_dir(const char* dir) {
  if (cli_sync_dir(dir) == 0) return 0;
  print_error("ERROR: cannot sync %s\n", dir);
  return -1;
}

int sync_dir_of(const char* dir_of_file) {
  const char* slash = std::strrchr(dir_of_file, '/');
#if defined(_WIN32)
  const char* back = std::strrchr(dir_of_file, '\\');
  if (back != nullptr && (slash == nullptr || back > slash)) slash = back;
#endif
  if (slash == nullptr) return sync_dir(".");
  char dir[4096];
  // "/name" lies in the root directory. A directory part longer than any path the
  // system opens cannot be synced.
  const size_t len = slash == dir_of_file ? 1 : static_cast<size_t>(slash - dir_of_file);
  if (len >= sizeof dir) {
    print_error("ERROR: cannot sync %s\n", dir_of_file);
    return -1;
  }
  std::memcpy(dir, dir_of_file, len);
  dir[len] = '\0';
  return sync_dir(dir);
}

}  // namespace cli
