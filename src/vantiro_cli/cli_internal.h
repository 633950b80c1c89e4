// Private to the command-line module: the commands and the pieces they share.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vantiro_core.h"

namespace cli {

constexpr int kMaxShares = 16;
constexpr size_t kRecord = VANTIRO_RECORD_SIZE;
constexpr size_t kRoot = VANTIRO_ROOT_SIZE;
constexpr size_t kPathBuf = 512;

// ---- Commands: each returns the exit status, 0 or 1 ----------------------------------

int cmd_selftest();
int cmd_mint(int n, int t, const char* fqdn, const char* outdir);
int cmd_recover(const char* outkey, int k, char** share_paths);

// ---- Hex (hex.cpp) --------------------------------------------------------------------

// Prints len bytes as lower-case hex to standard output, no separator, no line end.
void phex(const uint8_t* bytes, size_t len);

// ---- Files (files.cpp) ----------------------------------------------------------------

// Writes len bytes as a new file at path, flushed and synced to disk; nothing existing is
// replaced. Secret files are owner-only and unbuffered, so no copy stays in a stdio
// buffer. 0, or -1 after printing "cannot write" or "short write".
int write_file(const char* path, const uint8_t* data, size_t len, bool secret);

// When something exists at path, prints "<path> exists; nothing was written" and returns
// true.
bool refuse_existing(const char* path);

// Syncs the directory that holds the files just created, dir_of_file naming one of them
// (its directory part, or "." when it has none). 0, or -1 after printing "cannot sync".
int sync_dir_of(const char* dir_of_file);
// The same for a directory named directly.
int sync_dir(const char* dir);

// ---- Share output (cmd_mint.cpp) ------------------------------------------------------

// Refuses an empty outdir and one too long for every output path, printing why.
bool outdir_is_usable(const char* outdir);
// When any of <outdir>/share-01.share .. share-<n>.share exists, prints the first and
// returns true.
bool refuse_existing_shares(const char* outdir, int n);
// Writes each of n records as <outdir>/share-<x>.share and prints its report line with
// the record's fingerprint; returns the number of files not written.
int write_share_files(const char* outdir, int n, const uint8_t* records);
// Syncs outdir and reports the files not written; the exit status of the ceremony.
int finish_ceremony(const char* outdir, int not_written);

// ---- Share files (shares.cpp) ---------------------------------------------------------

// Reads k share files into k records, checks that they can be shares of one split and
// prints the error lines itself; false on any refusal (the records are wiped then).
bool read_share_set(int k, char** paths, uint8_t* records);

// After a failed rebuild of k records read from paths: prints the refusal, and names the
// files that do not fit the others when setting them aside rebuilds a root.
void report_not_a_root(int k, char** paths, const uint8_t* records);

}  // namespace cli
