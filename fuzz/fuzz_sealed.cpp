// vantiro_sealed_share_parse on arbitrary text in a buffer of exactly its size. The result
// must be one of its codes, with out untouched on a refusal; an accepted share must have a
// header in range, must be refused with CRLF line ends or any byte added, and must not
// open for a key that is not its recipient's. Seeds: sealed shares written by the tool.
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "vantiro_core.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> text(data, data + size);
  vantiro_sealed_share s;
  std::memset(&s, 0x5a, sizeof s);
  const int rc = vantiro_sealed_share_parse(text.data(), text.size(), &s);
  FUZZ_CHECK(rc == 0 || rc == -1 || rc == -3);
  if (rc != 0) {
    const auto* p = reinterpret_cast<const uint8_t*>(&s);
    for (size_t i = 0; i < sizeof s; ++i) FUZZ_CHECK(p[i] == 0x5a);
    return 0;
  }
  FUZZ_CHECK(size <= VANTIRO_SEALED_TEXT_MAX);
  FUZZ_CHECK(s.threshold >= 2 && s.threshold <= VANTIRO_MAX_SHARES && s.x >= 1 && s.x <= 255);
  std::vector<uint8_t> crlf;
  for (uint8_t c : text) {
    if (c == '\n') crlf.push_back('\r');
    crlf.push_back(c);
  }
  vantiro_sealed_share t;
  FUZZ_CHECK(vantiro_sealed_share_parse(crlf.data(), crlf.size(), &t) == -1);
  text.push_back('\n');
  FUZZ_CHECK(vantiro_sealed_share_parse(text.data(), text.size(), &t) == -1);
  uint8_t sk[32] = {1, 2, 3};
  uint8_t pk[32];
  vantiro_custodian_public(sk, pk);
  uint8_t rec[VANTIRO_RECORD_SIZE];
  if (std::memcmp(pk, s.recipient, sizeof pk) != 0)
    FUZZ_CHECK(vantiro_sealed_share_open(&s, sk, rec) == -1);
  return 0;
}
