// CTR_DRBG against the NIST CAVP known answers for AES-256 with the derivation function
// and no reseed: instantiate, generate 512 bits (discarded), generate 512 bits (compared).
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "aes_paths.h"
#include "drbg.h"
#include "test_support.h"

namespace {

using CtrDrbgKat = AesEachPath;

struct KatCase {
  std::string section;
  int count = -1;
  vt::bytes entropy, nonce, pers, add1, add2, returned;
  int adds_seen = 0;
};

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

const uint8_t* ptr_or_null(const vt::bytes& b) { return b.empty() ? nullptr : b.data(); }

void run_case(const KatCase& c) {
  SCOPED_TRACE(c.section + " COUNT " + std::to_string(c.count));
  ASSERT_EQ(c.adds_seen, 2);
  ASSERT_FALSE(c.returned.empty());
  drbg_ctx ctx{};
  ASSERT_EQ(0, drbg_instantiate(&ctx, c.entropy.data(), c.entropy.size(), ptr_or_null(c.nonce), c.nonce.size(),
                                ptr_or_null(c.pers), c.pers.size()));
  vt::bytes out(c.returned.size());
  ASSERT_EQ(0, drbg_generate(&ctx, out.data(), out.size(), ptr_or_null(c.add1), c.add1.size()));
  ASSERT_EQ(0, drbg_generate(&ctx, out.data(), out.size(), ptr_or_null(c.add2), c.add2.size()));
  EXPECT_EQ(vt::to_hex(out), vt::to_hex(c.returned));
  EXPECT_EQ(ctx.reseed_counter, 3u);
  drbg_uninstantiate(&ctx);
}

TEST_P(CtrDrbgKat, AllKnownAnswers) {
  std::string text, why;
  if (!vt::read_vector_file("vectors/ctr_drbg_aes256_use_df_no_reseed.rsp", &text, &why)) GTEST_SKIP() << why;

  std::istringstream in(text);
  std::string line, section;
  KatCase cur;
  int counts_in_file = 0, run = 0;
  bool have = false;
  auto flush = [&] {
    if (have) {
      run_case(cur);
      ++run;
    }
    have = false;
  };
  while (std::getline(in, line)) {
    line = trim(line);
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      flush();
      if (line.find('=') == std::string::npos) section = line;
      continue;
    }
    size_t eq = line.find('=');
    ASSERT_NE(eq, std::string::npos) << line;
    std::string name = trim(line.substr(0, eq)), value = trim(line.substr(eq + 1));
    if (name == "COUNT") {
      flush();
      ++counts_in_file;
      cur = KatCase{};
      cur.section = section;
      cur.count = std::stoi(value);
      have = true;
    } else if (name == "EntropyInput") {
      cur.entropy = vt::from_hex(value);
    } else if (name == "Nonce") {
      cur.nonce = vt::from_hex(value);
    } else if (name == "PersonalizationString") {
      cur.pers = vt::from_hex(value);
    } else if (name == "AdditionalInput") {
      (cur.adds_seen++ == 0 ? cur.add1 : cur.add2) = vt::from_hex(value);
    } else if (name == "ReturnedBits") {
      cur.returned = vt::from_hex(value);
    } else {
      FAIL() << "unexpected field " << name;
    }
  }
  flush();
  EXPECT_GT(run, 0);
  EXPECT_EQ(run, counts_in_file);
  std::printf("ctr_drbg known answers: %d run\n", run);
}

VT_AES_EACH_PATH(CtrDrbgKat);

}  // namespace
