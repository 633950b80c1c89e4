// age against the stock age tools run as black boxes: age-keygen's keys parse and encode
// back to the same strings, files we encrypt decrypt with `age -d`, and files `age`
// encrypts (binary and armored, to one recipient or several) decrypt with ours. Skipped
// where the tools are not installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "crypt.h"
#include "test_support.h"

namespace {

using vt::bytes;
namespace fs = std::filesystem;

// The path of a program on PATH, or "".
std::string find_tool(const std::string& name) {
  FILE* p = popen(("command -v " + name + " 2>/dev/null").c_str(), "r");
  if (p == nullptr) return "";
  char buf[512] = {};
  const bool got = std::fgets(buf, sizeof buf, p) != nullptr;
  pclose(p);
  std::string path = got ? buf : "";
  while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
  return path;
}

bytes read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const fs::path& p, const bytes& b) {
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

int run(const std::string& cmd) { return std::system(cmd.c_str()); }

// A fresh folder, and a key pair from age-keygen in it.
class AgeOracle : public ::testing::Test {
 protected:
  void SetUp() override {
    age_ = find_tool("age");
    keygen_ = find_tool("age-keygen");
    if (age_.empty() || keygen_.empty()) GTEST_SKIP() << "age and age-keygen are not installed";
    char tmpl[] = "/tmp/vt-age-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  struct KeyFile {
    fs::path path;
    std::string identity, recipient;
  };
  KeyFile keygen(const std::string& name) {
    KeyFile k{dir_ / name, "", ""};
    EXPECT_EQ(run("'" + keygen_ + "' -o '" + k.path.string() + "' 2>/dev/null"), 0);
    const bytes text = read_file(k.path);
    std::istringstream lines(std::string(text.begin(), text.end()));
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("# public key: ", 0) == 0) k.recipient = line.substr(14);
      if (line.rfind("AGE-SECRET-KEY-1", 0) == 0) k.identity = line;
    }
    return k;
  }

  std::string age_, keygen_;
  fs::path dir_;
};

TEST_F(AgeOracle, KeygenKeysParseAndEncodeBack) {
  for (int i = 0; i < 4; ++i) {
    const KeyFile k = keygen("key" + std::to_string(i));
    SCOPED_TRACE(k.recipient);
    uint8_t sk[32], pk[32], parsed_pk[32];
    ASSERT_EQ(age_identity_decode(k.identity.data(), k.identity.size(), sk), 0);
    ASSERT_EQ(age_recipient_decode(k.recipient.data(), k.recipient.size(), parsed_pk), 0);
    x25519_public_key(pk, sk);
    EXPECT_EQ(vt::to_hex(pk, 32), vt::to_hex(parsed_pk, 32));
    char text[AGE_IDENTITY_SIZE];
    age_identity_encode(sk, text);
    EXPECT_EQ(text, k.identity);
    age_recipient_encode(pk, text);
    EXPECT_EQ(text, k.recipient);
  }
}

TEST_F(AgeOracle, OurFilesDecryptWithAge) {
  const KeyFile k = keygen("key");
  uint8_t pk[32];
  ASSERT_EQ(age_recipient_decode(k.recipient.data(), k.recipient.size(), pk), 0);
  for (size_t len : {0, 100, 65536, 200000}) {
    SCOPED_TRACE(len);
    const bytes pt = vt::pseudo_random(len, len + 1);
    bytes file(age_encrypted_size_x25519(len));
    size_t n = 0;
    ASSERT_EQ(age_encrypt_x25519(pk, pt.data(), len, file.data(), file.size(), &n), AGE_OK);
    write_file(dir_ / "ours.age", file);
    fs::remove(dir_ / "out");
    ASSERT_EQ(run("'" + age_ + "' -d -i '" + k.path.string() + "' -o '" + (dir_ / "out").string() + "' '" +
                  (dir_ / "ours.age").string() + "'"),
              0);
    EXPECT_EQ(read_file(dir_ / "out"), pt);
  }
}

TEST_F(AgeOracle, AgeFilesDecryptWithOurs) {
  const KeyFile other = keygen("other"), k = keygen("key");
  uint8_t sk[32];
  ASSERT_EQ(age_identity_decode(k.identity.data(), k.identity.size(), sk), 0);
  struct {
    size_t len;
    std::string flags;
  } rows[] = {
      {0, ""}, {100, "-a"}, {65536, ""}, {65536, "-a"}, {200000, "-a"}, {1000, "-r " + other.recipient},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.len) + " " + row.flags);
    const bytes pt = vt::pseudo_random(row.len, row.len + 2);
    write_file(dir_ / "plain", pt);
    fs::remove(dir_ / "theirs.age");
    ASSERT_EQ(run("'" + age_ + "' " + row.flags + " -r " + k.recipient + " -o '" + (dir_ / "theirs.age").string() +
                  "' '" + (dir_ / "plain").string() + "'"),
              0);
    bytes file = read_file(dir_ / "theirs.age");
    const bool armored = row.flags == "-a";
    EXPECT_EQ(age_is_armored(file.data(), file.size()), armored ? 1 : 0);
    if (armored) {
      bytes binary(file.size());
      size_t n = 0;
      ASSERT_EQ(age_dearmor(file.data(), file.size(), binary.data(), binary.size(), &n), AGE_OK);
      binary.resize(n);
      file = binary;
    }
    bytes back(row.len);
    size_t n = 1;
    int which = -1;
    ASSERT_EQ(age_decrypt_x25519(file.data(), file.size(), &sk, 1, back.data(), back.size(), &n, &which), AGE_OK);
    EXPECT_EQ(back, pt);
    EXPECT_EQ(which, 0);
  }
}

}  // namespace
