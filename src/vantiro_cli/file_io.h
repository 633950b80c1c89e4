// Private to the command-line module: the platform-specific parts of file input and output.
#pragma once

#include <cstddef>
#include <cstdio>

// True when anything exists at path: a file, a directory, a FIFO, a device, or a symbolic
// link (a dangling one included).
bool cli_path_exists(const char* path);

// True for a character that separates a path's directories: '/', and on Windows also '\\'.
bool cli_is_separator(char c);

// True when path names a directory (a symbolic link to one included).
bool cli_is_directory(const char* path);

// Creates path as a new file open for writing; fails (null) when anything exists at path,
// a symbolic link included, so nothing is ever replaced or written through a link. A
// secret file is readable and writable by its owner alone: mode 0600, or on Windows a
// protected access-control list that grants the current user alone; a public file gets
// the platform's default access.
FILE* cli_create_new(const char* path, bool secret);

// Creates a new file beside final_path to write it under a temporary name:
// "." + its file name + ".tmp-" + the process id and a count, stored in tmp (cap bytes).
// Owner-only from the start, as cli_create_new makes a secret file (on Windows a public
// file gets the default access it keeps once published). A name already taken is never
// opened; the next count is tried. Null on failure.
FILE* cli_create_temp(const char* final_path, bool secret, char* tmp, size_t cap);

// Opens the existing file at path to read it whole and append to it, only when it is a
// regular file (never through a symbolic link). Writes always go to its end. Null on
// failure, also when nothing is at path: a new file is written whole with the others.
FILE* cli_open_append(const char* path);

// Gives a public file written under a temporary name the default access of a new file
// (0666 less the umask) before it is published. 0 on success.
int cli_make_public(FILE* f);

// Gives the finished, closed temporary file tmp the name final_path, never replacing
// anything there: a hard link then removal of tmp, or where the file system has no hard
// links a rename that refuses an existing name. On failure tmp is left for the caller to
// remove. 0 on success.
int cli_publish(const char* tmp, const char* final_path);

// Removes the file at path (one this program created and could not finish). 0 on success.
int cli_remove(const char* path);

// Standard input, switched to binary mode where the platform has a text mode.
FILE* cli_stdin_binary();

// The file the process was started from, opened for reading (/proc/self/exe; on Windows
// the module's own path); null on failure.
FILE* cli_open_self();

// Forces the file's written data to stable storage (after fflush). 0 on success.
int cli_sync(FILE* f);

// Makes the entries of the directory dir (created files) durable. 0 on success; on
// Windows, where directory entries are journaled with the file, always 0.
int cli_sync_dir(const char* dir);

// Result of cli_open_regular.
enum cli_open_result { CLI_OPEN_OK = 0, CLI_OPEN_FAILED = -1, CLI_OPEN_NOT_REGULAR = -2 };

// Opens path for reading, unbuffered, only when it is a regular file. A FIFO or device
// is opened without blocking and refused, so it cannot stall the command.
cli_open_result cli_open_regular(const char* path, FILE** out);

// True when f is a regular file, with *left the bytes from its current position to its
// end as the file stands now; false for a pipe, a terminal or a device.
bool cli_regular_size(FILE* f, unsigned long long* left);

// Result of cli_run_capture.
enum cli_run_result {
  CLI_RUN_OK = 0,          // it ran and exited with status 0
  CLI_RUN_CANNOT_RUN = 1,  // it could not be started (not found, not executable)
  CLI_RUN_FAILED = 2,      // it exited with a non-zero status, or was killed (*status)
  CLI_RUN_TOO_LONG = 3,    // it wrote more than cap bytes; the pipe was closed on it
  CLI_RUN_UNSUPPORTED = 4, // this platform's build does not run programs
};

// Runs program (searched on the PATH unless it names a path) with the NUL-terminated
// argument list argv (argv[0] the program's name), without a shell, its standard input and
// error the caller's, its standard output read through a pipe into out (at most cap
// bytes, *len of them), never a file. *status receives the exit status (128 + the signal
// when killed). The caller wipes out.
cli_run_result cli_run_capture(const char* program, char* const* argv, unsigned char* out,
                               size_t cap, size_t* len, int* status);
