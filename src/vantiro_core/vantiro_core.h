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
// its public-key half; -3 (root wiped) when it does not.
int vantiro_recover(int k, const uint8_t* records, uint8_t* root);

// Signs len bytes of msg with the 64-byte root secret sk: 0; -1 when a pointer is null;
// -3 (sig untouched) when sk[32..63] is not the public key of the seed sk[0..31].
int vantiro_sign(const uint8_t* sk, const uint8_t* msg, size_t len, uint8_t* sig);

// Lower-case hex of len bytes and a NUL into out; -5 (nothing written) when cap is
// below 2 * len + 1, however large len is.
int vantiro_hex(const uint8_t* data, size_t len, char* out, size_t cap);
