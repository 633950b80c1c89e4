// Private to the command-line module: the commands and the pieces they share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "vantiro_core.h"

namespace cli {

constexpr size_t kRecord = VANTIRO_RECORD_SIZE;
constexpr size_t kRoot = VANTIRO_ROOT_SIZE;
constexpr size_t kPathBuf = 512;

// Most --to or --key options a command takes: one per share of the largest split.
constexpr int kMaxListed = VANTIRO_MAX_SHARES;

// The options a command was given.
struct cmd_options {
  const char* split = nullptr;  // --split <split-record>
  int to_count = 0;             // --to <pubfile>, in share order
  const char* to[kMaxListed] = {};
  int key_count = 0;            // --key <keyfile>
  const char* key[kMaxListed] = {};
  bool gpg = false;             // --gpg: OpenPGP shares opened with gpg
  bool hash = false;            // --hash: version prints the program's SHA-256
  bool files = false;           // --files: transcript hashes the files written again
  const char* transcript = nullptr;  // --transcript <file>
  const char* pin = nullptr;    // --pin <key>: the key a relying party trusts
  int chain_count = 0;          // --chain <statement>
  const char* chain[kMaxListed] = {};
  int revoked_count = 0;        // --revoked <statement>
  const char* revoked[kMaxListed] = {};
  const char* reason = nullptr;  // --reason <text>: revoke's reason
  const char* format = nullptr;  // --format <format>: pubkey's and sign's output form
  const char* ns = nullptr;      // --namespace <ns>: SSH signature namespace
};

// ---- Commands: each returns the exit status, 0 or 1 ----------------------------------

int cmd_selftest();
int cmd_keygen(const char* keyout, const char* pubout);
int cmd_mint(int n, int t, const char* fqdn, const char* outdir, const cmd_options& o);
int cmd_recover(const char* outkey, int k, char** share_paths, const cmd_options& o);
int cmd_sign(const char* anchor_path, const char* msg_path, const char* sigout, int k,
             char** share_paths, const cmd_options& o);
int cmd_verify(const char* anchor_path, const char* msg_path, const char* sig_path,
               const cmd_options& o);
int cmd_pubkey(const char* anchor_path, const cmd_options& o);
int cmd_reshare(int n, int t, const char* anchor_path, const char* outdir, int k,
                char** share_paths, const cmd_options& o);
int cmd_reissue(int x, const char* anchor_path, const char* outdir, int k, char** share_paths,
                const cmd_options& o);
int cmd_check(const char* anchor_path, const char* split_path, int k, char** share_paths,
              const cmd_options& o);
int cmd_transcript(const char* path, const char* anchor_path, const cmd_options& o);

// Prints a transcript's head (an entry's SHA-256) as witnesses write it: 16 groups of 4
// hex digits separated by spaces.
void print_head(const uint8_t head[32]);
int cmd_successor(const char* old_anchor, const char* new_anchor, const char* out, int k,
                  char** share_paths, const cmd_options& o);
int cmd_revoke(const char* anchor_path, const char* out, int k, char** share_paths,
               const cmd_options& o);

// ---- Formats for stock verifiers (formats.cpp) ---------------------------------------

// The VANTIRO_FORMAT_* named by pubkey's or sign's --format (the first when null), or -1
// after printing the names it takes.
int key_format(const char* name);
int signature_format(const char* name);
// sign's name of a signature format.
const char* signature_format_name(int format);
// The keynum of a key in lower-case hex.
void keynum_hex(const uint8_t key[VANTIRO_KEY_SIZE], char (&out)[2 * VANTIRO_KEYNUM_SIZE + 1]);

// Clears the vector registers, which inlined copies of secrets pass through (harden.cpp).
// Before a thread starts too: it begins with a copy of them.
void scrub_registers();

// ---- Errors (error_line.cpp) -----------------------------------------------------------

// The longest error line kept whole.
constexpr size_t kErrorLineMax = 1024;

// Prints an error ("ERROR: ...\n") to standard error; the first of the run is kept.
[[gnu::format(printf, 1, 2)]] void print_error(const char* fmt, ...);

// The run's first error line without "ERROR: " and its line end; "" when there was none.
const char* first_error();

// ---- The transcript of this run (transcript_log.cpp) -----------------------------------
// A command given --transcript records what it reads and writes as it runs; once it holds
// the root, the entry is appended at its end, signed by that root, whatever the result.

// The largest transcript read: years of ceremonies.
constexpr size_t kTranscriptMax = 64u * 1024 * 1024;

// Starts recording for the transcript at path; words: the command's name and every
// argument after it. Without it, every call below does nothing.
void transcript_begin(const char* path, int count, char** words);

// What was read, in the entry's order whatever the order of reading.
enum transcript_input { TRANSCRIPT_ANCHOR, TRANSCRIPT_SPLIT, TRANSCRIPT_MESSAGE, TRANSCRIPT_SHARE };
// A file read: its path and the SHA-256 of its bytes as read (or that digest).
void transcript_read(transcript_input what, const char* path, const uint8_t* data, size_t len);
void transcript_read_digest(transcript_input what, const char* path, const uint8_t digest[32]);
// A --key given: its public key, never the secret.
void transcript_custodian(const char* path, const uint8_t pk[32]);
// A file written whole under its name.
void transcript_wrote(const char* path, const uint8_t* data, size_t len);
// sign's signature of the message.
void transcript_message_signature(const uint8_t sig[64]);

// Whether the transcript can take an entry of key: when fresh (mint) nothing may be at
// its path; otherwise it is absent or every entry checks under key. False after printing
// why not, "not a transcript of this root" or "damaged at entry N".
bool transcript_accepts(const uint8_t key[32], bool fresh);
// Keeps a copy of the root to sign the run's entry with, once transcript_accepts its key;
// false (nothing kept) otherwise.
bool transcript_hold(const uint8_t root[kRoot], bool fresh);
// The command's end: with a root held, appends the run's entry whatever status was,
// prints the report's transcript line and wipes the copy. The status, or 1 when the
// entry could not be appended.
int transcript_finish(int status);

// ---- Time (utc_time.cpp) -----------------------------------------------------------

// "YYYY-MM-DDTHH:MM:SSZ" and a NUL.
constexpr size_t kUtcSize = 21;
// The UTC time of a count of seconds since 1970-01-01T00:00:00Z (years 0 to 9999).
void utc_timestamp(long long seconds, char (&out)[kUtcSize]);
// The UTC time now, from the machine's clock.
void utc_now(char (&out)[kUtcSize]);

// ---- The program's identity (program_hash.cpp) ----------------------------------------

// The SHA-256 of the file the process was started from; false after printing why not.
bool program_sha256(uint8_t out[32]);

// ---- Hex (hex.cpp) --------------------------------------------------------------------

// Prints len bytes as lower-case hex to standard output, no separator, no line end.
void phex(const uint8_t* bytes, size_t len);

// ---- Files (files.cpp) ----------------------------------------------------------------

// len zero bytes on the heap (released with free), or null after printing "oom".
uint8_t* alloc_zeroed(size_t len);

// Chunk size of streamed reads of messages.
constexpr size_t kChunk = 128 * 1024;

// True for the operand "-", which names standard input.
bool is_stdin(const char* path);
// The name of an input in messages: the path, or "standard input" for "-".
const char* shown(const char* path);
// No file is ever created under the name "-": prints why and returns true for it.
bool refuse_stdin_output(const char* path);

// Opens a regular file for reading, or standard input for "-"; a FIFO or device is refused
// without blocking. Prints "cannot read" or "is not a regular file" and returns null on
// refusal. close_input closes it (standard input stays open).
FILE* open_input(const char* path);
void close_input(FILE* f);

// Reads the whole regular file at path (standard input for "-") when it holds at most cap
// bytes. Prints "cannot
// read" on failure; returns -1 then, and -2 (nothing printed) when the file is larger.
int read_small_file(const char* path, uint8_t* buf, size_t cap, size_t* len);

// Reads the next chunk of f (at most cap bytes) into buf; false after printing "cannot
// read" when the read fails. *got is 0 at the end of the file.
bool read_chunk(FILE* f, const char* path, uint8_t* buf, size_t cap, size_t* got);

// A message read in whole passes. A regular file (also one given on standard input) is
// read exactly as large as it was when opened, in every pass, so a file that grows,
// shrinks or is generated as it is read (/proc) cannot keep a pass going or pass unseen;
// other standard input (a pipe) is read to its end.
struct message_in {
  FILE* f;
  const char* path;
  unsigned long long size;  // bytes in every pass, when sized
  bool sized;
};
// Opens the message at path ("-": standard input); false after printing why.
bool open_message(const char* path, message_in* m);
void close_message(message_in* m);

enum pass_result { PASS_OK, PASS_FAILED, PASS_CHANGED };
// Reads one pass from where m->f stands, in pieces of at most kChunk bytes, each given to
// each(ctx, piece, len) in order; *total counts them. The pieces are read on a second
// thread, ahead of each (on one thread where none can start). PASS_FAILED after printing
// "cannot read"; PASS_CHANGED (nothing printed) when a sized message yields more or fewer
// bytes than its size. The one read past the size takes a whole piece, so files that give
// only whole records per read (/proc/self/pagemap) still show their extra bytes.
// on_read, when not null, gets each piece too, on the reading thread, right after its read
// (public work such as a digest of the message runs there alongside each).
using piece_fn = void (*)(void*, const uint8_t*, size_t);
pass_result read_message_pass(const message_in* m, piece_fn each, void* ctx, piece_fn on_read,
                              void* read_ctx, unsigned long long* total);
template <class Each>
pass_result read_pass(const message_in* m, Each each, unsigned long long* total) {
  return read_message_pass(
      m, [](void* c, const uint8_t* p, size_t n) { (*static_cast<Each*>(c))(p, n); }, &each,
      nullptr, nullptr, total);
}

// Writes len bytes as a new file at path, flushed and synced to disk; nothing existing is
// replaced. Secret files are owner-only and unbuffered, so no copy stays in a stdio
// buffer. 0, or -1 after printing "cannot write" or "short write"; a file that was created
// but could not be written whole, or synced, is removed.
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

// Refuses share counts outside 2 <= t <= n <= 16, printing why.
bool counts_are_usable(int n, int t);
// Refuses an empty outdir, "-", one too long for every output path up to the share file
// of max_x (sealed or not), and one that is not an existing directory, printing why. On
// success dir holds outdir without trailing separators.
bool outdir_is_usable(const char* outdir, int max_x, bool sealed, char (&dir)[kPathBuf]);
// <dir>/<name> into path.
void path_in(char (&path)[kPathBuf], const char* dir, const char* name);
// The extension of a share file: "share" in the clear, else that of the form it is sealed
// in ("sealed", "age").
constexpr const char* kPlainShare = "share";
const char* form_extension(uint8_t form);
// The path of the share file of x in outdir: <outdir>/share-<x, two digits at least>.<ext>.
void share_path(char (&path)[kPathBuf], const char* outdir, int x, const char* ext = kPlainShare);
struct custodian_list;
// When any of the n share files of x = 1..n in outdir exists (sealed for the custodians in
// to, or in the clear when to is null), prints the first and returns true.
bool refuse_existing_shares(const char* outdir, int n, const custodian_list* to);
// The path of the split record in outdir: <outdir>/shares.txt.
void split_record_path(char (&path)[kPathBuf], const char* outdir);
// Writes each of n records as <outdir>/share-<x>.share and prints the report line of each
// one written, with the record's fingerprint; returns the number of files not written.
int write_share_files(const char* outdir, int n, const uint8_t* records);
// Writes the split record text as <outdir>/shares.txt and prints its report line; 0, or
// -1 when it was not written.
int write_split_record(const char* outdir, const vantiro_split_record* rec, const char* text,
                       size_t len);
// Syncs outdir and reports the files not written and, with the printf format too_few
// (shares_written, n, t), a split of n left with fewer than t shares on disk; the exit
// status of the ceremony.
int finish_ceremony(const char* outdir, int not_written, int shares_written, int n, int t,
                    const char* too_few);

// ---- Custodian keys and sealed shares (sealed_file.cpp) -------------------------------

// The custodians' secret keys given with --key, and their public halves. Secret: wiped by
// wipe_custodian_keys.
struct custodian_keys {
  int count = 0;
  const char* path[kMaxListed] = {};
  uint8_t sk[kMaxListed][32] = {};
  uint8_t pk[kMaxListed][32] = {};
  bool opened[kMaxListed] = {};  // the key opened a share
};

// Reads the --key files (32 bytes each), printing why one is refused; false then, with
// everything read wiped.
bool read_custodian_keys(const cmd_options& o, custodian_keys* keys);
void wipe_custodian_keys(custodian_keys* keys);

// The custodians the shares go to (--to), in share order: each one's X25519 public key
// and the form its share is sealed in.
struct custodian_list {
  int count = 0;
  uint8_t pk[kMaxListed][32] = {};  // X25519 public key (an OpenPGP certificate's subkey)
  uint8_t form[kMaxListed] = {};    // VANTIRO_FORM_SEALED, _AGE or _OPENPGP
  openpgp_cert cert[kMaxListed] = {};  // VANTIRO_FORM_OPENPGP
};

// Prints an OpenPGP v4 fingerprint as gpg does: 10 groups of 4 upper-case hex digits, two
// spaces between the halves.
void print_fingerprint(const uint8_t fpr[20]);

// Reads the --to operands as the custodians of n shares in share order: a keygen public
// file (sealed share), an age recipient given directly or in a file (age share), an
// OpenPGP certificate (OpenPGP share), checked at the machine's time. Refuses a
// count other than n, what is not a public key (a secret key named as such), a key of
// small order or not canonical and the same key twice, each with its line; false then.
bool read_recipients(const cmd_options& o, int n, custodian_list* to);

// The shares sealed for their custodians, ready to be written: the file of each, and the x
// and fingerprint (SHA-256 of the record) its report line shows.
struct sealed_batch {
  char file[kMaxListed][VANTIRO_SEALED_TEXT_MAX];
  size_t len[kMaxListed] = {};
  int x[kMaxListed] = {};
  uint8_t fingerprint[kMaxListed][32] = {};
};

// Writes each of the shares in batch, sealed for the custodians in to, as
// <outdir>/share-<x>.<sealed|age> (owner-only) and prints the report line of each one
// written; returns the number of files not written.
int write_sealed_files(const char* outdir, const custodian_list* to, const sealed_batch* batch);

// Seals each of the to->count records for its custodian under the split id and threshold,
// signed by root, into batch; prints why it failed and returns false then.
bool seal_records(const uint8_t* root, const uint8_t split[VANTIRO_SPLIT_ID_SIZE], int t,
                  const uint8_t* records, const custodian_list* to, sealed_batch* batch);

// ---- Anchors (anchor_file.cpp) --------------------------------------------------------

// Reads and parses the anchor file at path (standard input for "-") and checks its
// self-signature when it carries one; prints why it is refused and returns false then.
bool read_anchor(const char* path, vantiro_anchor* a);

// Reads every anchor record at path, up to cap (more are refused as several), each
// self-signature checked; prints why it is refused and returns false then.
bool read_anchors(const char* path, vantiro_anchor* out, int cap, int* count);

// Prints "  key: <hex>" and, when the anchor came with one, "  owner: <name>" report lines;
// owner_note adds that the signature does not cover the name.
void print_anchor_lines(const vantiro_anchor* a, bool owner_note);

// ---- Succession and revocation (trust_file.cpp) ---------------------------------------

// The anchor a relying party accepts, and how it was reached.
struct trusted_anchor {
  vantiro_anchor a{};   // the anchor to use
  bool pinned = false;  // --pin was given
  uint8_t pin[VANTIRO_KEY_SIZE] = {};
  int links = 0;        // successor statements followed from the pin
  int count = 0;        // anchor records the input holds
  int used = 0;         // the index of a among them
  vantiro_anchor all[VANTIRO_TRUST_MAX_ANCHORS] = {};
};

// Reads the anchor at path as read_anchor does. With --pin, the input may hold several
// records and the one the pin leads to by the --chain statements is used; --revoked and
// --chain revocations refuse a revoked key. Prints why it is refused; false then.
bool read_trusted_anchor(const char* path, const cmd_options& o, trusted_anchor* t);
// The report lines of a pinned anchor: the pin, the links followed, the records not used.
void print_trust_lines(const trusted_anchor* t);
// Makes a statement with the root, dated time, into out (cap bytes, *len): a core maker.
using statement_maker = int (*)(const uint8_t* root, const char* time, const void* ctx,
                                char* out, size_t cap, size_t* len);
// Rebuilds the root of the anchor a from k share files (the options' share source), has
// make sign a statement dated now (time) into text and wipes the root; prints why not and
// returns false. what names the statement in the refusal.
bool make_statement(const vantiro_anchor* a, int k, char** paths, const cmd_options& o,
                    statement_maker make, const void* ctx, const char* what,
                    char (&time)[kUtcSize], char (&text)[VANTIRO_STATEMENT_TEXT_MAX],
                    size_t* len);
// Writes a statement made by the root as the new file out (owner-only when secret), synced,
// and prints its report line; false after printing why not.
bool write_statement(const char* out, const char* text, size_t len, bool secret);

// ---- Split records (split_file.cpp) ---------------------------------------------------

// Reads and checks the split record at path: strictly laid out, signed by the key it
// names and, when a is not null, the record of the anchor's key. Prints why it is refused
// and returns false then.
bool read_split_record(const char* path, const vantiro_anchor* a, vantiro_split_record* rec);

// Checks each of k share records read from paths against the split record, printing a
// line for every share that is not listed or not as listed (and, with report_intact, one
// for every share that is); true when all are as listed.
bool check_against_record(const vantiro_split_record* rec, int k, const char* const* paths,
                          const uint8_t* records, bool report_intact);

// ---- Share files (shares.cpp) ---------------------------------------------------------

// Where shares come from, and what reading them found: the split record (--split) and the
// custodian keys (--key) given, the key the shares must be of, and what the shares the
// root signed for (sealed shares, share texts, age shares) said of their split. Holds
// secret keys: close_share_source wipes them.
struct share_source {
  bool has_split = false;
  vantiro_split_record split{};
  custodian_keys keys;
  bool gpg = false;                     // --gpg: OpenPGP shares are opened with gpg
  const uint8_t* anchor_key = nullptr;  // the anchor's key, or null
  int vouched = 0;                      // shares read that the root signed for, of one split
  const char* first_vouched = nullptr;  // the path of the first
  uint8_t key[VANTIRO_KEY_SIZE] = {};            // the first one's root key,
  uint8_t split_id[VANTIRO_SPLIT_ID_SIZE] = {};  // split
  int threshold = 0;                             // and threshold
};

// Reads the split record (--split, checked against the anchor a when not null) and the
// --key files into src, printing every refusal; false then, with nothing secret left.
bool open_share_source(const cmd_options& o, const vantiro_anchor* a, share_source* src);
void close_share_source(share_source* src);

// What load_share found at a path.
enum share_kind {
  SHARE_FAILED = 0,
  SHARE_PLAIN = 1,       // a record of 65 bytes, vouched for by nothing
  SHARE_SEALED = 2,      // a sealed share, its header signed by the root; not opened yet
  SHARE_TEXT = 3,        // a share text, signed by the root
  SHARE_AGE = 4,         // an age share, opened with a --key: a share text
  SHARE_AGE_LOCKED = 5,  // an age share that no --key opens
  SHARE_PGP = 6,         // an OpenPGP share, opened with gpg: a share text
  SHARE_PGP_LOCKED = 7,  // an OpenPGP share, not opened (no --gpg)
};

// A share file as read. Secret: wiped by wipe_loaded_share.
struct loaded_share {
  share_kind kind = SHARE_FAILED;
  uint8_t record[kRecord] = {};   // SHARE_PLAIN
  vantiro_sealed_share sealed{};  // SHARE_SEALED
  vantiro_share_text text{};      // SHARE_TEXT, SHARE_AGE, SHARE_PGP
};
void wipe_loaded_share(loaded_share* s);

struct share_source;
// Reads a share file, told by its content: a sealed share or a share text, parsed strictly
// and its signature checked; an age share, opened with the --key of src that unwraps it
// (noting that it opened one); an OpenPGP share, opened with gpg when src says so (--gpg);
// the share text of either checked; else a file of exactly 65 bytes as a record. Prints
// why it is refused (SHARE_FAILED); an age share that no key opens is SHARE_AGE_LOCKED and
// an OpenPGP share without --gpg SHARE_PGP_LOCKED, with their lines printed only when
// report_locked is set.
share_kind load_share(const char* path, share_source* src, bool report_locked, loaded_share* out);

// Checks what the root signed of a share (its key, split and threshold) against the anchor
// and the split record of src where given; prints why not and returns false.
bool signed_share_fits(const char* path, const uint8_t* key, const uint8_t* split, int threshold,
                       const share_source* src);

// Opens a sealed share with the --key whose public half is its recipient into rec, noting
// that the key opened one; prints why it cannot and returns false (rec untouched). *no_key, when not null, is set when no
// --key is the recipient's and nothing is printed for it.
bool open_sealed_share(const char* path, const vantiro_sealed_share* s, custodian_keys* keys,
                       uint8_t* rec, bool* no_key = nullptr);

// Reads a share file into rec - a plain record, or a sealed share checked against src and
// opened with its key - and notes a sealed share's split in src; prints why it cannot.
bool read_share(const char* path, uint8_t* rec, share_source* src);

// Reads k share files into k records, checks that they can be shares of one split and
// prints the error lines itself; false on any refusal (the records are wiped then).
bool read_share_set(int k, char** paths, uint8_t* records, share_source* src);

// Rebuilds the root from k share files with every check, printing every refusal itself.
// True with the root in root; false with root wiped or never written. records, when not
// null, is the caller's k * 65 bytes and keeps the records read (the caller wipes it);
// otherwise a buffer of its own is used and wiped. recovering picks recover's own lines
// for the refusals. With a split record in src, every share is checked against it before
// anything is combined, and the root must be the record's key.
bool rebuild_root(int k, char** paths, uint8_t* root, uint8_t* records, bool recovering,
                  share_source* src);

// Rebuilds the root as rebuild_root does and checks it against the anchor's key, printing
// every refusal itself. True with the root in root; false with root wiped.
bool rebuild_anchored_root(const vantiro_anchor* a, int k, char** paths, uint8_t* root,
                           uint8_t* records, share_source* src);

// rebuild_anchored_root with the share source of the options (--split, --key, --gpg),
// opened and closed around it.
bool rebuild_root_for(const vantiro_anchor* a, int k, char** paths, const cmd_options& o,
                      uint8_t* root);

}  // namespace cli
