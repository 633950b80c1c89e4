// Helpers shared by the ceremony-core tests.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"
#include "vantiro_core.h"

namespace vtc {

struct Minted {
  int rc = -99;
  uint8_t pub[32] = {};
  char anchor[VANTIRO_ANCHOR_SIZE] = {};
  std::vector<uint8_t> records;
};

inline Minted mint(int n, int t) {
  Minted m;
  m.records.assign(static_cast<size_t>(n > 0 ? n : 1) * VANTIRO_RECORD_SIZE, 0);
  m.rc = vantiro_mint(n, t, m.pub, m.records.data(), m.anchor, sizeof m.anchor);
  return m;
}

// The records at the given indices, back to back.
inline std::vector<uint8_t> pick(const std::vector<uint8_t>& records, std::vector<int> idx) {
  std::vector<uint8_t> out;
  for (int i : idx)
    out.insert(out.end(), records.begin() + i * static_cast<long>(VANTIRO_RECORD_SIZE),
               records.begin() + (i + 1) * static_cast<long>(VANTIRO_RECORD_SIZE));
  return out;
}

// The signature parsed from an anchor record "k=<64 hex> s=<128 hex>".
inline vt::bytes anchor_sig(const char* anchor) { return vt::from_hex(std::string(anchor + 69, 128)); }

}  // namespace vtc
