// Running a helper program (gpg) with its standard output read through a pipe: the only
// program the tool ever runs, and only when asked.
#include <cstring>

#include "file_io.h"

#if defined(_WIN32)

cli_run_result cli_run_capture(const char*, char* const*, unsigned char*, size_t, size_t* len,
                               int* status) {
  *len = 0;
  *status = 0;
  return CLI_RUN_UNSUPPORTED;
}

#else

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

cli_run_result cli_run_capture(const char* program, char* const* argv, unsigned char* out,
                               size_t cap, size_t* len, int* status) {
  *len = 0;
  *status = 0;
  int fds[2];
  if (pipe(fds) != 0) return CLI_RUN_CANNOT_RUN;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, program, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (spawned != 0) {
    close(fds[0]);
    return CLI_RUN_CANNOT_RUN;
  }
  // Read to the end, or until one byte more than cap tells output too long for what is
  // expected; then the pipe is closed, and a writer still going gets SIGPIPE.
  bool too_long = false;
  for (;;) {
    unsigned char extra;
    unsigned char* at = *len < cap ? out + *len : &extra;
    const size_t want = *len < cap ? cap - *len : 1;
    const ssize_t got = read(fds[0], at, want);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    if (at == &extra) {
      too_long = true;
      break;
    }
    *len += static_cast<size_t>(got);
  }
  close(fds[0]);
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
  }
  // posix_spawnp may report a program it could not execute through the child's status.
  if (WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 127 && *len == 0) return CLI_RUN_CANNOT_RUN;
  if (too_long) return CLI_RUN_TOO_LONG;
  *status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  return *status == 0 ? CLI_RUN_OK : CLI_RUN_FAILED;
}

#endif
