// vantiro_core: the root ceremony - minting a root with its anchor record and share
// records, recovering a root from share records, signing with a root.
//
// Result codes: 0 success; -1 refused argument; -2 random-source failure; -3 split refused
// (in recovery: the records do not rebuild a root); -4 split verification failed;
// -5 output buffer too small.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypt.h"

// ---- The ceremony's constants ---------------------------------------------------------

// Most shares a split issues (and a rebuild takes).
constexpr int VANTIRO_MAX_SHARES = 16;
// A share record: x byte followed by 64 share bytes.
constexpr size_t VANTIRO_RECORD_SIZE = 65;
// The root secret: Ed25519 seed followed by the public key.
constexpr size_t VANTIRO_ROOT_SIZE = 64;
constexpr size_t VANTIRO_KEY_SIZE = 32;
constexpr size_t VANTIRO_SIG_SIZE = 64;
// The anchor record "k=<64 hex> s=<128 hex>": its length, and with its NUL.
constexpr size_t VANTIRO_ANCHOR_LEN = 2 + 2 * VANTIRO_KEY_SIZE + 3 + 2 * VANTIRO_SIG_SIZE;
constexpr size_t VANTIRO_ANCHOR_SIZE = VANTIRO_ANCHOR_LEN + 1;
// The largest anchor text read: a zone file or a DNS tool's output holding the record.
constexpr size_t VANTIRO_ANCHOR_TEXT_MAX = 64 * 1024;
// The operator message that the anchor's self-signature covers: the key, then this word.
constexpr char VANTIRO_OPERATOR_WORD[] = "operator";
constexpr size_t VANTIRO_OPERATOR_MSG_SIZE = VANTIRO_KEY_SIZE + sizeof VANTIRO_OPERATOR_WORD - 1;

// Writes the operator message of key into msg.
void vantiro_operator_message(const uint8_t key[VANTIRO_KEY_SIZE],
                              uint8_t msg[VANTIRO_OPERATOR_MSG_SIZE]);

// Mints a fresh root, signs the operator message, writes the anchor record, splits the
// root into n records (any t rebuild it), proves the split and wipes the root.
int vantiro_mint(int n, int t, uint8_t* pub, uint8_t* records, char* anchor, size_t anchor_size);

// Splits the 64-byte root into n records (2 <= t <= n <= 16; any t rebuild it, x = 1..n)
// with fresh random coefficients, and proves the split by rebuilding the root from the
// first t. 0; -1 refused argument; -2 random-source failure; -4 the proof failed. On
// failure nothing is left in records. Every copy of the root and the shares is wiped;
// root itself is the caller's.
int vantiro_split(int n, int t, const uint8_t* root, uint8_t* records);

// The share record at x (1..255) of the split behind k (2..16) records: for the x of a lost
// share that share byte for byte, for a new x a share of the same split. The records must
// rebuild a root (-3 otherwise, as vantiro_recover); the new record, put in place of the
// first, must rebuild the same root (-4 otherwise). -1 for a refused argument, an x among
// the records' included. out (65 bytes) is written only on 0; every copy of the root and
// the shares is wiped.
int vantiro_reissue(int k, const uint8_t* records, int x, uint8_t* out);

// Rebuilds the 64-byte root from k (2..16) records and checks that its seed half yields
// its public-key half; -3 (root wiped) when it does not, and also when the records fail
// vantiro_check_records.
int vantiro_recover(int k, const uint8_t* records, uint8_t* root);

// What vantiro_check_records finds wrong with a set of records.
enum : int {
  VANTIRO_RECORDS_OK = 0,
  VANTIRO_RECORD_X_ZERO = 1,   // *first has x = 0: it would pass for the root itself
  VANTIRO_RECORDS_SAME = 2,    // *first and *second are byte for byte the same record
  VANTIRO_RECORDS_SAME_X = 3,  // *first and *second differ but claim the same x
};

// Checks that k (1..16) records can all be shares of one split, in record order: the
// first record with x = 0, or the first that repeats the x of an earlier one, is reported
// through *first and *second (indices, *first < *second; *second is -1 for x = 0; either
// pointer may be null). Returns one of the codes above, or -1 for a refused argument.
int vantiro_check_records(int k, const uint8_t* records, int* first, int* second);

// For k (2..16) records that do not rebuild a root: finds the one record, or else the
// two, whose setting aside leaves records that do. Writes their indices in ascending
// order to misfits and returns how many (1 or 2); returns 0 when no set-aside works or
// when more than one does at the same level, -1 for a refused argument. At most
// k + k(k-1)/2 rebuilds; every rebuilt root is wiped.
int vantiro_find_misfits(int k, const uint8_t* records, int misfits[2]);

// Signs len bytes of msg with the 64-byte root secret sk: 0; -1 when a pointer is null;
// -3 (sig untouched) when sk[32..63] is not the public key of the seed sk[0..31].
int vantiro_sign(const uint8_t* sk, const uint8_t* msg, size_t len, uint8_t* sig);

// Lower-case hex of len bytes and a NUL into out; -5 (nothing written) when cap is
// below 2 * len + 1, however large len is.
int vantiro_hex(const uint8_t* data, size_t len, char* out, size_t cap);

// Parses len hex digits (lower case, len even) into len / 2 bytes; -1 (nothing written
// beyond what was parsed) on any other character or an odd len.
int vantiro_unhex(const char* hex, size_t len, uint8_t* out);

// 1 when "_key." followed by the len characters of fqdn is a DNS name: labels of 1 to 63
// letters, digits, '-' and '_', single dots between them, one optional trailing dot, at
// most 253 characters without it; else 0. An empty fqdn is refused: "_key." alone would
// put the anchor at the DNS root.
int vantiro_fqdn_ok(const char* fqdn, size_t len);

// A published anchor: the root's public key, and the self-signature over the operator
// message (the key followed by "operator") when the form carries one.
struct vantiro_anchor {
  uint8_t key[VANTIRO_KEY_SIZE];
  uint8_t sig[VANTIRO_SIG_SIZE];
  int has_sig;     // 0 for a raw public key
  char owner[256]; // the record's owner ("_key.<fqdn>", "_key"), resolved against $ORIGIN
                   // when the text sets one; empty when the record has no owner
};

// What vantiro_anchor_parse refuses.
enum : int {
  VANTIRO_ANCHOR_NONE = -1,         // no anchor record in the text
  VANTIRO_ANCHOR_SEVERAL = -2,      // two or more different records
  VANTIRO_ANCHOR_SMALL_ORDER = -3,  // the key has small order: any signature can match it
  VANTIRO_ANCHOR_TOO_LARGE = -5,    // more than VANTIRO_ANCHOR_TEXT_MAX bytes
};

// Parses an anchor from the bytes of a file or a DNS tool's output: exactly 32 bytes are
// a raw public key (operator.pub); anything else is text of at most
// VANTIRO_ANCHOR_TEXT_MAX bytes that holds exactly one record "k=<64 hex> s=<128 hex>"
// (lower case) - the record alone, bare or quoted; a zone line with TTL and class in
// either order; the output of dig, kdig, host or nslookup; or a zone file, whose other
// lines are skipped. Owners are read as a zone file means them: a line with no owner has
// the owner of the last line that names one (of any type), $ORIGIN and "@" apply, and a
// relative name stays as given when no origin is set. Only a record whose owner is "_key"
// or "_key.<name>" counts, or one with no owner in a text that names no owner and no
// origin anywhere (dig +short, the record alone). A UTF-8
// byte-order mark, blank lines, LF, CRLF or CR line ends and ';' comments outside quotes
// are allowed; a record split into several quoted strings is joined as DNS joins them.
// The same record given more than once counts once.
// 0 with the anchor in out, or one of the codes above (out untouched); *found, when not
// null, receives the number of different records seen (0, 1, or more on SEVERAL).
// Bounded: one pass, no recursion, no heap.
int vantiro_anchor_parse(const uint8_t* data, size_t len, vantiro_anchor* out,
                         int* found = nullptr);

// 1 when the 32-byte encoded key is one of the eight points of small order in any
// encoding (canonical or not, either sign bit), whose signatures prove nothing; else 0.
int vantiro_key_has_small_order(const uint8_t key[VANTIRO_KEY_SIZE]);

// 0 when the anchor carries a self-signature that verifies under its key; -1 when it does
// not or carries none.
int vantiro_anchor_verify(const vantiro_anchor* a);

// ---- Split records -----------------------------------------------------------------------
// A split record is the root's signed statement of one split: its key, a split id, the
// threshold and the SHA-256 of every share record, one line each, x ascending:
//
//   vantiro split v1
//   key: <64 hex>
//   split: <32 hex>
//   threshold: <t>
//   share <x>: <64 hex>
//   signature: <128 hex>
//
// The signature is Ed25519ctx by the root, context "vantiro split v1", over every byte
// before "signature: ". It is public: a copy goes with every share.

constexpr size_t VANTIRO_SPLIT_ID_SIZE = 16;
constexpr size_t VANTIRO_SPLIT_TEXT_MAX = 4096;
// More share lines than a record of VANTIRO_SPLIT_TEXT_MAX bytes can hold.
constexpr int VANTIRO_SPLIT_MAX_LINES = 64;
constexpr char VANTIRO_SPLIT_CONTEXT[] = "vantiro split v1";

struct vantiro_split_record {
  uint8_t key[VANTIRO_KEY_SIZE];
  uint8_t split[VANTIRO_SPLIT_ID_SIZE];
  int threshold;
  int count;  // share lines, x ascending
  uint8_t x[VANTIRO_SPLIT_MAX_LINES];
  uint8_t digest[VANTIRO_SPLIT_MAX_LINES][32];  // SHA-256 of the 65-byte share record
  uint8_t sig[VANTIRO_SIG_SIZE];
};

// Adds the line of one share record, in x order. -1 when x is 0 or already listed, or
// the record is full.
int vantiro_split_record_add(vantiro_split_record* rec, const uint8_t record[VANTIRO_RECORD_SIZE]);

// Signs the record with the 64-byte root (whose public half must be rec->key), checks the
// signature under rec->key and writes the whole text, at most cap bytes, to out (no NUL);
// *len is its length. 0; -1 refused argument (threshold outside 2..16, fewer lines than
// the threshold, text longer than cap or VANTIRO_SPLIT_TEXT_MAX); -3 the root is not a key
// pair or not rec->key's; -4 the signature does not verify. rec->sig is set on 0.
int vantiro_split_record_sign(const uint8_t root[VANTIRO_ROOT_SIZE], vantiro_split_record* rec,
                              char* out, size_t cap, size_t* len);

// A new split's record: a fresh split id from the OS random source, the lines of the n
// records, signed as vantiro_split_record_sign signs (its results), or -2 when the random
// source failed.
int vantiro_split_record_new(const uint8_t root[VANTIRO_ROOT_SIZE], int t, int n,
                             const uint8_t* records, vantiro_split_record* rec, char* out,
                             size_t cap, size_t* len);

// Reads a record text of at most VANTIRO_SPLIT_TEXT_MAX bytes in exactly the layout above
// (CRLF line ends accepted): 0; -1 not a split record; -3 its signature does not verify
// under its own key line. out is written only on 0.
int vantiro_split_record_parse(const uint8_t* text, size_t len, vantiro_split_record* out);

// What the record says of one share record.
enum : int {
  VANTIRO_SHARE_LISTED = 0,    // its x is listed with its SHA-256
  VANTIRO_SHARE_UNLISTED = 1,  // its x is not listed
  VANTIRO_SHARE_CHANGED = 2,   // its x is listed with another SHA-256
};
int vantiro_split_record_check(const vantiro_split_record* rec,
                               const uint8_t record[VANTIRO_RECORD_SIZE]);
// The same for the share at x whose record has the SHA-256 fingerprint.
int vantiro_split_record_check_fingerprint(const vantiro_split_record* rec, int x,
                                           const uint8_t fingerprint[32]);

struct vantiro_mint_revocation;
// vantiro_mint, and the record of the new split in rec and out as vantiro_split_record_new
// makes it, while the root is still in memory; with revocation, also the root's revocation
// (vantiro_revocation_make, reason VANTIRO_MINT_REASON). On failure nothing is left in
// records. With root_out, a copy of the root goes there on success, for the caller to sign
// the ceremony's transcript with and then wipe.
int vantiro_mint_recorded(int n, int t, uint8_t* pub, uint8_t* records, char* anchor,
                          size_t anchor_size, vantiro_split_record* rec, char* out, size_t cap,
                          size_t* len, vantiro_mint_revocation* revocation = nullptr,
                          uint8_t* root_out = nullptr);

// ---- Custodian keys and sealed shares ---------------------------------------------------
// A custodian holds an X25519 key pair; a sealed share is one share record sealed to the
// custodian's public key with HPKE (base mode, DHKEM(X25519, HKDF-SHA256), HKDF-SHA256,
// AES-256-GCM) under a header that names its root, split, threshold and place, signed by
// the root:
//
//   vantiro sealed share v1
//   key: <64 hex: the root's public key>
//   split: <32 hex: the split id>
//   threshold: <t>
//   share: <x>
//   fingerprint: <64 hex: SHA-256 of the share record>
//   recipient: <64 hex: the custodian's X25519 public key>
//   sealed: <226 hex: the 32-byte enc, then the 81-byte ciphertext of the record>
//   signature: <128 hex>
//
// HPKE's info is the text from the first line through the recipient line, its aad empty;
// the signature is Ed25519ctx, context "vantiro sealed share v1", over every byte before
// "signature: ". Every line ends in one line feed.

constexpr size_t VANTIRO_SEALED_TEXT_MAX = 1024;
constexpr char VANTIRO_SEALED_CONTEXT[] = "vantiro sealed share v1";
constexpr size_t VANTIRO_SEALED_SIZE = 32 + VANTIRO_RECORD_SIZE + 16;

// A fresh custodian key pair from the OS random source: 0, or -2 (both wiped) when it
// failed.
int vantiro_custodian_keygen(uint8_t sk[32], uint8_t pk[32]);
// The public key of a custodian's secret key.
void vantiro_custodian_public(const uint8_t sk[32], uint8_t pk[32]);
// 1 when pk is a point of small order (in any encoding): whatever is sealed to it is
// sealed to a shared secret anyone can compute, and HPKE refuses it; else 0.
int vantiro_custodian_key_has_small_order(const uint8_t pk[32]);
// 1 when pk is the canonical encoding of its u: bit 255 clear and u below 2^255 - 19; else
// 0. X25519 reads other encodings as the same key, but a custodian's --key yields the
// canonical one, so a share sealed to another would open with no key the tool reads.
int vantiro_custodian_key_is_canonical(const uint8_t pk[32]);

struct vantiro_sealed_share {
  uint8_t key[VANTIRO_KEY_SIZE];
  uint8_t split[VANTIRO_SPLIT_ID_SIZE];
  int threshold;
  int x;
  uint8_t fingerprint[32];
  uint8_t recipient[32];
  uint8_t sealed[VANTIRO_SEALED_SIZE];
  uint8_t sig[VANTIRO_SIG_SIZE];
};

// Seals the share record to recipient under the header of the root's key, the split id
// and threshold t, signs it with the 64-byte root and checks the signature; the whole
// text, at most cap bytes, goes to out (no NUL), its length to *len. 0; -1 refused
// argument (t outside 2..16, x = 0, a recipient of small order or not canonical, text
// longer than cap);
// -2 random-source failure; -3 the root is not a key pair; -4 the signature does not
// verify. Every secret of the sealing is wiped.
int vantiro_sealed_share_make(const uint8_t root[VANTIRO_ROOT_SIZE],
                              const uint8_t split[VANTIRO_SPLIT_ID_SIZE], int t,
                              const uint8_t record[VANTIRO_RECORD_SIZE], const uint8_t recipient[32],
                              char* out, size_t cap, size_t* len);

// Reads a sealed share of at most VANTIRO_SEALED_TEXT_MAX bytes in exactly the layout
// above: 0; -1 not a sealed share; -3 its signature does not verify under its key line.
// out is written only on 0.
int vantiro_sealed_share_parse(const uint8_t* text, size_t len, vantiro_sealed_share* out);

// Opens a parsed sealed share with the custodian's secret key into record: 0; -1 the key's
// public half is not the share's recipient; -4 it does not open (a wrong key or altered
// text); -3 what it holds is not the record its header names (x and fingerprint). record
// is written only on 0; every secret of the opening is wiped.
int vantiro_sealed_share_open(const vantiro_sealed_share* s, const uint8_t sk[32],
                              uint8_t record[VANTIRO_RECORD_SIZE]);

// vantiro_mint_recorded (revocation too), with each of the n records sealed to recipients[i] (n * 32
// bytes, which must be usable keys) or, for VANTIRO_FORM_OPENPGP, to certs[i], in the form
// forms[i] (all VANTIRO_FORM_SEALED when forms is null) into sealed[i] (each VANTIRO_SEALED_TEXT_MAX bytes, lengths in
// sealed_len[i]) while the root lives. No record leaves: records is the
// caller's scratch of n * 65 bytes, wiped on every path. root_out as for
// vantiro_mint_recorded.
int vantiro_mint_sealed(int n, int t, const uint8_t* recipients, uint8_t* pub, uint8_t* records,
                        char* anchor, size_t anchor_size, vantiro_split_record* rec, char* out,
                        size_t cap, size_t* len, char (*sealed)[VANTIRO_SEALED_TEXT_MAX],
                        size_t* sealed_len, const uint8_t* forms = nullptr,
                        const openpgp_cert* certs = nullptr,
                        vantiro_mint_revocation* revocation = nullptr,
                        uint8_t* root_out = nullptr);

// ---- Share texts and age shares ---------------------------------------------------------
// A share text is one share record in the clear under the header of its root, split,
// threshold and place, signed by the root, so it vouches for itself wherever it goes:
//
//   vantiro share v1
//   key: <64 hex: the root's public key>
//   split: <32 hex: the split id>
//   threshold: <t>
//   share: <x>
//   record: <130 hex: the share record, whose first byte is x>
//   signature: <128 hex>
//
// The signature is Ed25519ctx, context "vantiro share v1", over every byte before
// "signature: "; every line ends in one line feed. An age share is a share text encrypted
// in an age file to one custodian's X25519 recipient.
constexpr size_t VANTIRO_SHARE_TEXT_MAX = 1024;
constexpr char VANTIRO_SHARE_CONTEXT[] = "vantiro share v1";
// The largest age share read, binary or armored.
constexpr size_t VANTIRO_AGE_FILE_MAX = 8192;
// Secret: holds the record. Wipe it when done.
struct vantiro_share_text {
  uint8_t key[VANTIRO_KEY_SIZE];
  uint8_t split[VANTIRO_SPLIT_ID_SIZE];
  int threshold;
  int x;
  uint8_t record[VANTIRO_RECORD_SIZE];
  uint8_t sig[VANTIRO_SIG_SIZE];
};
// Writes the share text of record (x = record[0]) under the root's key, the split id and
// threshold t, signed with the 64-byte root and checked, at most cap bytes, to out (no
// NUL); its length to *len. 0; -1 refused argument (t outside 2..16, x = 0, text longer
// than cap); -3 the root is not a key pair; -4 the signature does not verify. Its own
// copies of the text and the record are wiped.
int vantiro_share_text_make(const uint8_t root[VANTIRO_ROOT_SIZE],
                            const uint8_t split[VANTIRO_SPLIT_ID_SIZE], int t,
                            const uint8_t record[VANTIRO_RECORD_SIZE], char* out, size_t cap,
                            size_t* len);
// Reads a share text of at most VANTIRO_SHARE_TEXT_MAX bytes in exactly the layout above
// (LF only, lower-case hex, x equal to the record's first byte): 0; -1 not a share text;
// -3 its signature does not verify under its key line. out is written only on 0.
int vantiro_share_text_parse(const uint8_t* text, size_t len, vantiro_share_text* out);
// The share text of record, as vantiro_share_text_make writes it, encrypted to the X25519
// recipient as a binary age file into out (cap bytes; *len). Its results, and -1 for a
// recipient of small order or not canonical or an out too small, -2 when the random source
// failed. Every secret is wiped.
int vantiro_age_share_make(const uint8_t root[VANTIRO_ROOT_SIZE],
                           const uint8_t split[VANTIRO_SPLIT_ID_SIZE], int t,
                           const uint8_t record[VANTIRO_RECORD_SIZE], const uint8_t recipient[32],
                           uint8_t* out, size_t cap, size_t* len);
// What opening an age share found.
enum : int {
  VANTIRO_AGE_SHARE_OPENED = 0,     // opened; it holds a share text signed by its key
  VANTIRO_AGE_SHARE_NO_KEY = 1,     // none of the keys unwraps it
  VANTIRO_AGE_SHARE_HEADER = 2,     // damaged: the header is malformed
  VANTIRO_AGE_SHARE_HMAC = 3,       // damaged: the header's MAC is wrong
  VANTIRO_AGE_SHARE_PAYLOAD = 4,    // damaged: the payload does not authenticate
  VANTIRO_AGE_SHARE_ARMOR = 5,      // damaged: the armor is malformed
  VANTIRO_AGE_SHARE_NOT_SHARE = 6,  // it opens, but holds no share text
  VANTIRO_AGE_SHARE_UNSIGNED = 7,   // it holds a share text not signed by the key it names
};
// Opens an age file (binary or armored, at most VANTIRO_AGE_FILE_MAX bytes) with count
// X25519 secret keys and reads the share text it holds into out, the index of the key that
// opened it into *which (when not null). One of the codes above, or -1 for a refused
// argument; out is written only on VANTIRO_AGE_SHARE_OPENED. Every secret of the opening,
// the text included, is wiped.
int vantiro_age_share_open(const uint8_t* file, size_t len, const uint8_t (*keys)[32], int count,
                           vantiro_share_text* out, int* which);
// The share text of record, as vantiro_share_text_make writes it, encrypted to the
// certificate's encryption subkey as an armored OpenPGP message into out (cap bytes, *len
// characters and a NUL). Its results, and -1 for a refused certificate or an out too small,
// -2 when the random source failed. Every secret is wiped.
int vantiro_openpgp_share_make(const uint8_t root[VANTIRO_ROOT_SIZE],
                               const uint8_t split[VANTIRO_SPLIT_ID_SIZE], int t,
                               const uint8_t record[VANTIRO_RECORD_SIZE], const openpgp_cert* cert,
                               char* out, size_t cap, size_t* len);
// The forms a share is sealed in for its custodian.
enum : uint8_t {
  VANTIRO_FORM_SEALED = 0,   // a sealed share (HPKE)
  VANTIRO_FORM_AGE = 1,      // an age file holding the share text
  VANTIRO_FORM_OPENPGP = 2,  // an armored OpenPGP message holding the share text
};
// Seals record for its custodian in the form given: a sealed share text
// (vantiro_sealed_share_make) or a binary age share (vantiro_age_share_make) to the X25519
// key recipient, or an OpenPGP share (vantiro_openpgp_share_make) to cert, with their
// results, into out (cap bytes; *len).
int vantiro_share_seal(uint8_t form, const uint8_t root[VANTIRO_ROOT_SIZE],
                       const uint8_t split[VANTIRO_SPLIT_ID_SIZE], int t,
                       const uint8_t record[VANTIRO_RECORD_SIZE], const uint8_t recipient[32],
                       const openpgp_cert* cert, uint8_t* out, size_t cap, size_t* len);
// ---- Transcripts -------------------------------------------------------------------------
// A transcript is the ceremony's record: one entry per command that held the root, signed
// by it and chained to the entry before by that entry's SHA-256:
//
//   vantiro transcript v1
//   entry: <n, from 1>
//   previous: <64 hex: SHA-256 of the previous entry; zeros for entry 1>
//   key: <64 hex: the root's public key>
//   time: <YYYY-MM-DDTHH:MM:SSZ>
//   program: vantiro-cli <version>
//   program sha256: <64 hex>
//   command: <the command and its arguments, each quoted>
//   read: <64 hex> <path>            any number, in the order read
//   custodian: <64 hex> <path>       any number: the public key of each --key
//   wrote: <64 hex> <path>           any number
//   message signature: <128 hex>     optional
//   result: ok | <the first error line, without "ERROR: ">
//   signature: <128 hex>
//
// The signature is Ed25519ctx, context "vantiro transcript v1", over every byte before
// "signature: "; an entry's SHA-256 covers it from its first byte through the signature
// line's line feed. Entries are separated by one empty line; every line ends in one LF.
constexpr char VANTIRO_TRANSCRIPT_CONTEXT[] = "vantiro transcript v1";
// What one checked entry holds: pointers into the transcript text.
struct vantiro_transcript_entry {
  int number;
  const char* time;     // 20 characters
  const char* command;  // the command line, command_len characters
  size_t command_len;
  const char* result;   // "ok" or the error, result_len characters
  size_t result_len;
  const char* wrote;    // its wrote lines, each ending in LF, wrote_len characters in all
  size_t wrote_len;
  int wrote_count;
  uint8_t head[32];     // its SHA-256
};
// Why a transcript breaks.
enum : int {
  VANTIRO_TRANSCRIPT_OK = 0,
  VANTIRO_TRANSCRIPT_LAYOUT = 1,     // not an entry in the layout above (or cut short)
  VANTIRO_TRANSCRIPT_NUMBERED = 2,   // numbered found, expected the next number
  VANTIRO_TRANSCRIPT_KEY = 3,        // of another key
  VANTIRO_TRANSCRIPT_CHAIN = 4,      // its previous is not the entry before it
  VANTIRO_TRANSCRIPT_SIGNATURE = 5,  // its signature does not verify
};
struct vantiro_transcript_result {
  int entries;      // entries that checked, from 1
  int why;          // VANTIRO_TRANSCRIPT_*
  int broken;       // the place of the entry that breaks (entries + 1), or 0
  int found;        // the number it bears, where it could be read
  int expected;     // the number the next entry must bear
  uint8_t head[32]; // SHA-256 of the last entry that checked (zeros for none)
};
using vantiro_transcript_each = void (*)(void* ctx, const vantiro_transcript_entry* e);
// Checks every entry of the len bytes at text under key, in order: layout, number, key,
// chain and signature; each that checks is given to each (when not null). 0 when all
// check, 1 when one breaks (which and why in out), -1 for a refused argument.
int vantiro_transcript_check(const uint8_t* text, size_t len, const uint8_t key[VANTIRO_KEY_SIZE],
                             vantiro_transcript_each each, void* ctx,
                             vantiro_transcript_result* out);
// Signs an entry body (every line through "result: ...\n") with the 64-byte root and
// writes the whole entry, at most cap bytes, to out (*len), and its SHA-256 to head. 0; -1
// refused (too long, or the body is not an entry of the root's key); -3 the root is not a
// key pair; -4 the signature does not verify.
int vantiro_transcript_sign(const uint8_t root[VANTIRO_ROOT_SIZE], const char* body,
                            size_t body_len, char* out, size_t cap, size_t* len,
                            uint8_t head[32]);
// Proves that k (3..16) records that rebuild the root of key lie on one split, by
// rebuilding it from every set that leaves one out: 0 when every such set rebuilds it
// (so at least t + 1 shares were given); 1 when none does (as few as t: nothing can be
// proved); -3 when some do and some do not, with *misfit the one record whose setting
// aside rebuilds the root, or -1 when that is not one. -1 refused argument. Every rebuilt
// root is wiped.
int vantiro_prove_one_split(int k, const uint8_t* records, const uint8_t key[VANTIRO_KEY_SIZE],
                            int* misfit);

// Signing a message too large to hold, read twice by the caller: begin; update over the
// message; next_pass; update over the message again; end. The signature is exactly
// vantiro_sign's of the message; the signer holds the expanded secret key until end or
// abort, never the root itself.
struct vantiro_signer {
  ed25519_sign_stream stream;
  uint8_t key[32];  // the root's public key
};

// Starts with a 64-byte root, which may be wiped right after. -1 for a null argument; -3
// when the root's public half is not the key of its seed (nothing started).
int vantiro_sign_begin(vantiro_signer* s, const uint8_t root[VANTIRO_ROOT_SIZE]);
void vantiro_sign_update(vantiro_signer* s, const uint8_t* data, size_t len);
// The two halves of update, which two threads may run side by side over the same bytes:
// the secret hash, and the SHA-256 that proves both passes saw the same message.
void vantiro_sign_update_hash(vantiro_signer* s, const uint8_t* data, size_t len);
void vantiro_sign_update_seen(vantiro_signer* s, const uint8_t* data, size_t len);
void vantiro_sign_next_pass(vantiro_signer* s);
// Ends and wipes the signer. 0 with the signature in sig and the message's SHA-256 in
// digest; -3 when the two passes saw different bytes (one nonce would sign two
// challenges); -4 when the signature does not verify under key, the key it is to be
// released for; -1 for a null argument. sig and digest are written only on 0.
int vantiro_sign_end(vantiro_signer* s, const uint8_t key[32], uint8_t sig[64],
                     uint8_t digest[32]);
// Wipes the signer of a caller that stops half-way.
void vantiro_sign_abort(vantiro_signer* s);

// ---- Succession and revocation ----------------------------------------------------------
// A root vouches for the root that succeeds it, and can declare itself dead:
//
//   vantiro successor v1                vantiro revocation v1
//   key: <64 hex: the old key>          key: <64 hex>
//   successor: <64 hex: the new key>    time: <YYYY-MM-DDTHH:MM:SSZ>
//   anchor: <the new anchor's record>   reason: <one line of printable ASCII>
//   time: <YYYY-MM-DDTHH:MM:SSZ>        signature: <128 hex>
//   signature: <128 hex>
//
// Each signature is Ed25519ctx by the root of the key line, its context the first line,
// over every byte before "signature: ". Every line ends in one line feed; a statement is at
// most VANTIRO_STATEMENT_TEXT_MAX bytes. The successor's anchor line is "k=<its key> s=<its
// self-signature>", exactly as published.
constexpr size_t VANTIRO_STATEMENT_TEXT_MAX = 1024;
constexpr char VANTIRO_SUCCESSOR_CONTEXT[] = "vantiro successor v1";
constexpr char VANTIRO_REVOCATION_CONTEXT[] = "vantiro revocation v1";
constexpr size_t VANTIRO_REASON_MAX = 200;
// The reason of the revocation that mint makes while the new root is in memory.
constexpr char VANTIRO_MINT_REASON[] = "made at mint: the root is lost or compromised";
// The revocation a mint makes: its time in, the statement out.
struct vantiro_mint_revocation {
  const char* time;
  char text[VANTIRO_STATEMENT_TEXT_MAX];
  size_t len;
};

enum : int { VANTIRO_SUCCESSOR = 1, VANTIRO_REVOCATION = 2 };
struct vantiro_statement {
  int kind;                               // VANTIRO_SUCCESSOR or VANTIRO_REVOCATION
  uint8_t key[VANTIRO_KEY_SIZE];          // the key that signs it
  uint8_t successor[VANTIRO_KEY_SIZE];    // successor: the new key
  uint8_t anchor_sig[VANTIRO_SIG_SIZE];   // successor: the new anchor's self-signature
  char time[21];
  char reason[VANTIRO_REASON_MAX + 1];    // revocation
  uint8_t sig[VANTIRO_SIG_SIZE];
};

// 1 when reason is one line of printable ASCII, 1 to VANTIRO_REASON_MAX bytes; else 0.
int vantiro_reason_ok(const char* reason);

// The successor statement by the 64-byte root for the anchor next, dated time
// ("YYYY-MM-DDTHH:MM:SSZ"), checked and written to out (at most cap bytes, no NUL; *len).
// 0; -1 refused (next carries no self-signature, or one that does not verify; next's key
// is the root's own; a malformed time; out too small); -3 the root is not a key pair; -4
// the signature does not verify.
int vantiro_successor_make(const uint8_t root[VANTIRO_ROOT_SIZE], const vantiro_anchor* next,
                           const char* time, char* out, size_t cap, size_t* len);
// The revocation of the 64-byte root, as vantiro_successor_make writes (its results); -1
// also for a reason that vantiro_reason_ok refuses.
int vantiro_revocation_make(const uint8_t root[VANTIRO_ROOT_SIZE], const char* time,
                            const char* reason, char* out, size_t cap, size_t* len);

// Reads the statement at the start of the len bytes at text, strictly, into out and its
// length into *used: 0; -1 not a statement in the layout above (nothing of it past
// VANTIRO_STATEMENT_TEXT_MAX bytes is read); -3 its signature does not verify under its key
// line (out is written then, to name the key).
int vantiro_statement_read(const uint8_t* text, size_t len, vantiro_statement* out,
                           size_t* used);

// Following statements from a pinned key to one of the anchors given.
enum : int {
  VANTIRO_TRUST_OK = 0,
  VANTIRO_TRUST_REVOKED = 1,       // key is revoked by the statement
  VANTIRO_TRUST_UNSIGNED = 2,      // the statement is not signed by key, where the chain stands
  VANTIRO_TRUST_OTHER_ANCHOR = 3,  // the statement names the anchor of key, none given
  VANTIRO_TRUST_UNREACHED = 4,     // no statement leads from key, the pin, to an anchor given
};
constexpr int VANTIRO_TRUST_MAX_STATEMENTS = 64;
constexpr int VANTIRO_TRUST_MAX_ANCHORS = 8;
struct vantiro_trust {
  int why;                        // VANTIRO_TRUST_*
  int anchor;                     // OK: the index of the anchor to use
  int links;                      // OK: successor statements followed from the pin to it
  int statement;                  // the statement a refusal is about, or -1
  uint8_t key[VANTIRO_KEY_SIZE];  // the key a refusal names
};
// Accepts an anchor whose key is pin, or is reached from pin by successor statements, each
// signed by the key before it and naming the next anchor's record exactly; of several, the
// one reached through the most statements. A key that a revocation among the statements
// revokes is not used, and no successor statement it signed is followed. The statements
// must have been read by vantiro_statement_read with result 0. 0 with out->why OK; 1 with
// why another code; -1 refused argument (counts beyond the bounds above).
int vantiro_trust_check(const uint8_t pin[VANTIRO_KEY_SIZE], const vantiro_statement* statements,
                        int count, const vantiro_anchor* anchors, int anchor_count,
                        vantiro_trust* out);

// Several anchor records in one text, as vantiro_anchor_parse reads them (owners resolved,
// the same record counted once): up to cap into out, their number into *count. 0; or
// VANTIRO_ANCHOR_NONE, _SMALL_ORDER (any record's key), _TOO_LARGE, and
// VANTIRO_ANCHOR_SEVERAL when more than cap are found (*count then says how many).
int vantiro_anchor_parse_all(const uint8_t* data, size_t len, vantiro_anchor* out, int cap,
                             int* count);

// ---- Keys and signatures for stock verifiers ---------------------------------------------
// The root's key and signatures in the forms that OpenSSL, OpenSSH (ssh-keygen -Y),
// signify and minisign read. A key's keynum, the 8 bytes signify and minisign files name
// their key by, is the first 8 bytes of SHA-256 of the 32-byte key.

enum : int {
  VANTIRO_FORMAT_RAW = 0,       // 64 bytes (signatures); 64 hex digits (keys)
  VANTIRO_FORMAT_PEM = 1,       // keys only: SubjectPublicKeyInfo (RFC 8410) in PEM
  VANTIRO_FORMAT_OPENSSH = 2,   // an ssh-ed25519 key line; an armored SSHSIG
  VANTIRO_FORMAT_SIGNIFY = 3,   // pure Ed25519 over the message
  VANTIRO_FORMAT_MINISIGN = 4,  // Ed25519 over BLAKE2b-512 of the message, and a global one
};
constexpr size_t VANTIRO_KEYNUM_SIZE = 8;
// Room for any key text or signature file this part writes, and for what it reads.
constexpr size_t VANTIRO_FORMAT_TEXT_MAX = 2048;
constexpr size_t VANTIRO_NAMESPACE_MAX = 64;
constexpr char VANTIRO_DEFAULT_NAMESPACE[] = "file";

void vantiro_keynum(const uint8_t key[VANTIRO_KEY_SIZE], uint8_t keynum[VANTIRO_KEYNUM_SIZE]);

// The key as text in a format above (hex for RAW), every line ending in a line feed, and a
// NUL; owner names the key in an OpenSSH line ("vantiro:<owner>"; "root" when empty or
// not one word of printable ASCII). 0 with *len characters; -1 for an unknown format or
// too small an out.
int vantiro_key_text(const uint8_t key[VANTIRO_KEY_SIZE], int format, const char* owner,
                     char* out, size_t cap, size_t* len);

// 1 for an SSHSIG namespace this tool writes and checks: 1 to VANTIRO_NAMESPACE_MAX
// printable ASCII characters, no space.
int vantiro_namespace_ok(const char* ns);

// The digest a prehashed signature covers, taken in one pass over the message: BLAKE2b-512
// (minisign) or SHA-512 (SSHSIG; SHA-256 when a signature read says so).
enum : int { VANTIRO_PREHASH_NONE = 0, VANTIRO_PREHASH_BLAKE2B = 1, VANTIRO_PREHASH_SHA512 = 2,
             VANTIRO_PREHASH_SHA256 = 3 };
struct vantiro_prehash {
  int kind;
  blake2b_ctx b2;
  sha512_ctx sha512;
  sha256_ctx sha256;
};
void vantiro_prehash_init(vantiro_prehash* p, int kind);
void vantiro_prehash_update(vantiro_prehash* p, const uint8_t* data, size_t len);
// The digest (64 bytes; 32 for SHA-256) into out; *len its length.
void vantiro_prehash_final(vantiro_prehash* p, uint8_t out[64], size_t* len);

// Signs a prehashed format with the 64-byte root: MINISIGN over digest (BLAKE2b-512),
// with trusted_comment (no line ends) under the global signature; OPENSSH as an SSHSIG in
// namespace ns over digest (SHA-512). Each signature is checked under key before the file
// text (and a NUL) goes to out; *len its length and sig the message signature. 0; -1
// refused argument (format, namespace, comment, cap); -3 the root is not a key pair; -4 a
// signature does not verify under key.
int vantiro_sign_prehashed(const uint8_t root[VANTIRO_ROOT_SIZE],
                           const uint8_t key[VANTIRO_KEY_SIZE], int format,
                           const uint8_t digest[64], const char* ns, const char* trusted_comment,
                           char* out, size_t cap, size_t* len, uint8_t sig[64]);

// The signify signature file of a pure Ed25519 signature by key, and a NUL: 0, or -1 when
// cap is too small.
int vantiro_signify_text(const uint8_t key[VANTIRO_KEY_SIZE], const uint8_t sig[64], char* out,
                         size_t cap, size_t* len);

// A signature file as read: which form, and what its check needs.
struct vantiro_sig_file {
  int format;                          // VANTIRO_FORMAT_RAW, _SIGNIFY, _MINISIGN, _OPENSSH
  int prehash;                         // VANTIRO_PREHASH_*: NONE is Ed25519 over the message
  uint8_t sig[64];
  int has_keynum;                      // signify, minisign, SSHSIG (the keynum of its key)
  uint8_t keynum[VANTIRO_KEYNUM_SIZE];
  uint8_t key[VANTIRO_KEY_SIZE];       // SSHSIG: the key it names
  uint8_t global_sig[64];              // minisign
  char comment[1025];                  // minisign's trusted comment; SSHSIG's namespace
};

// Reads a signature file of any form above, told by its content: 64 raw bytes or 128 hex
// digits (one line end allowed), a signify or minisign file (LF or CRLF), an armored
// SSHSIG. Strict and bounded (VANTIRO_FORMAT_TEXT_MAX bytes). 0, or -1 (out untouched).
int vantiro_sig_parse(const uint8_t* text, size_t len, vantiro_sig_file* out);

// Checks a prehashed signature under key over the message's digest. For an SSHSIG, ns must be its namespace. 0 when it verifies; -1
// when it does not; -2 for an SSHSIG of another namespace.
int vantiro_sig_verify_prehashed(const vantiro_sig_file* s, const uint8_t key[VANTIRO_KEY_SIZE],
                                 const uint8_t* digest, size_t digest_len, const char* ns);
// Checks a minisign file's global signature (over its signature and trusted comment)
// under key; 0 when it verifies, and for any other form.
int vantiro_sig_verify_global(const vantiro_sig_file* s, const uint8_t key[VANTIRO_KEY_SIZE]);
