// vantiro_core: the root ceremony - minting a root with its anchor record and share
// records, recovering a root from share records, signing with a root.
//
// Result codes: 0 success; -1 refused argument; -2 random-source failure; -3 split refused
// (in recovery: the records do not rebuild a root); -4 split verification failed;
// -5 output buffer too small.
#pragma once

#include <cstddef>
#include <cstdint>

// A share record: x byte followed by 64 share bytes.
constexpr size_t VANTIRO_RECORD_SIZE = 65;
// The root secret: Ed25519 seed followed by the public key.
constexpr size_t VANTIRO_ROOT_SIZE = 64;
// The anchor record "k=<64 hex> s=<128 hex>" with its NUL.
constexpr size_t VANTIRO_ANCHOR_SIZE = 198;

// Mints a fresh root, signs the operator message, writes the anchor record, splits the
// root into n records (any t rebuild it), proves the split and wipes the root.
int vantiro_mint(int n, int t, uint8_t* pub, uint8_t* records, char* anchor, size_t anchor_size);

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

// Signs len bytes of msg with the 64-byte root secret sk; -1 when a pointer is null.
int vantiro_sign(const uint8_t* sk, const uint8_t* msg, size_t len, uint8_t* sig);

// Lower-case hex of len bytes and a NUL into out; -5 (nothing written) when cap is
// below 2 * len + 1.
int vantiro_hex(const uint8_t* data, size_t len, char* out, size_t cap);
