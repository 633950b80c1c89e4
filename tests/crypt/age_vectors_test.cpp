// The community age test vectors (X25519, STREAM, header, MAC, stanza and armor cases):
// every file decrypts with its identities to exactly the outcome it names, and a payload
// failure releases exactly the plaintext whose hash it gives. Compressed files are
// inflated with zlib where the build has it.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "crypt.h"
#include "test_support.h"

#ifdef VT_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

using vt::bytes;

struct Vector {
  std::string expect, payload;
  std::vector<std::string> identities;
  bool armored = false, compressed = false;
  bytes file;
};

// Header lines "name: value" up to the first empty line, then the age file.
Vector parse(const std::string& text) {
  Vector v;
  const size_t end = text.find("\n\n");
  std::istringstream head(text.substr(0, end));
  std::string line;
  while (std::getline(head, line)) {
    const size_t colon = line.find(": ");
    const std::string key = line.substr(0, colon), value = line.substr(colon + 2);
    if (key == "expect") v.expect = value;
    if (key == "payload") v.payload = value;
    if (key == "identity") v.identities.push_back(value);
    if (key == "armored") v.armored = value == "yes";
    if (key == "compressed") v.compressed = value == "zlib";
  }
  v.file.assign(text.begin() + static_cast<std::ptrdiff_t>(end + 2), text.end());
  return v;
}

#ifdef VT_HAVE_ZLIB
bool inflate_all(const bytes& in, bytes* out) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  int rc = Z_OK;
  while (rc == Z_OK) {
    uint8_t buf[65536];
    z.next_out = buf;
    z.avail_out = sizeof buf;
    rc = inflate(&z, Z_NO_FLUSH);
    out->insert(out->end(), buf, buf + (sizeof buf - z.avail_out));
  }
  inflateEnd(&z);
  return rc == Z_STREAM_END;
}
#endif

std::string sha256_hex(const uint8_t* data, size_t len) {
  uint8_t digest[32];
  sha256(data, len, digest);
  return vt::to_hex(digest, 32);
}

const std::map<std::string, int> kOutcomes = {
    {"success", AGE_OK},
    {"no match", AGE_NO_MATCH},
    {"HMAC failure", AGE_HMAC},
    {"header failure", AGE_HEADER},
    {"payload failure", AGE_PAYLOAD},
    {"armor failure", AGE_ARMOR},
};

// Runs one vector: the code that ended it, and in *problem what else was wrong.
int run(Vector v, std::string* problem) {
  const int armor_seen = age_is_armored(v.file.data(), v.file.size());
  if (v.armored) {
    bytes binary(v.file.size());
    size_t n = 0;
    const int rc = age_dearmor(v.file.data(), v.file.size(), binary.data(), binary.size(), &n);
    if (rc != AGE_OK) return rc;
    if (armor_seen != 1) *problem += " armor not detected;";
    v.file.assign(binary.begin(), binary.begin() + static_cast<std::ptrdiff_t>(n));
  }
  if (!v.armored && armor_seen != 0) *problem += " binary file taken for armor;";
  bytes ids(32 * v.identities.size());
  for (size_t i = 0; i < v.identities.size(); ++i) {
    if (age_identity_decode(v.identities[i].data(), v.identities[i].size(), &ids[32 * i]) != 0) {
      *problem += " identity refused;";
    }
  }
  bytes out(v.file.size());
  size_t n = 7;
  int which = 9;
  const int rc = age_decrypt_x25519(v.file.data(), v.file.size(), reinterpret_cast<const uint8_t(*)[32]>(ids.data()),
                                    static_cast<int>(v.identities.size()), out.data(), out.size(), &n, &which);
  const bool releases = rc == AGE_OK || rc == AGE_PAYLOAD;
  if (releases && sha256_hex(out.data(), n) != v.payload) *problem += " released plaintext differs;";
  if (!releases && n != 0) *problem += " plaintext length not 0;";
  if (which != (rc == AGE_OK ? 0 : -1)) *problem += " identity index " + std::to_string(which) + ";";
  return rc;
}

TEST(AgeVectors, EveryFileGivesItsOutcome) {
  const std::string dir = vt::vectors_dir();
  if (dir.empty()) GTEST_SKIP() << "no vectors directory configured";
  const std::filesystem::path folder = std::filesystem::path(dir) / "vectors" / "age";
  if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << folder.string() << " is absent";
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::map<std::string, int> passed;
  size_t skipped = 0;
  for (const std::string& name : names) {
    std::string text, why;
    ASSERT_TRUE(vt::read_vector_file("vectors/age/" + name, &text, &why)) << why;
    Vector v = parse(text);
    ASSERT_EQ(kOutcomes.count(v.expect), 1u) << name << ": " << v.expect;
    if (v.compressed) {
#ifdef VT_HAVE_ZLIB
      bytes inflated;
      ASSERT_TRUE(inflate_all(v.file, &inflated)) << name;
      v.file = inflated;
#else
      ++skipped;
      continue;
#endif
    }
    std::string problem;
    const int rc = run(v, &problem);
    EXPECT_EQ(rc, kOutcomes.at(v.expect)) << name << " should end in " << v.expect;
    EXPECT_EQ(problem, "") << name;
    if (rc == kOutcomes.at(v.expect) && problem.empty()) ++passed[v.expect];
  }
  std::ostringstream summary;
  size_t total = 0;
  for (const auto& [outcome, count] : passed) {
    summary << " " << outcome << " " << count << ";";
    total += static_cast<size_t>(count);
  }
  std::cout << "age vectors: " << total << " of " << names.size() << " passed:" << summary.str()
            << " skipped (no zlib in this build) " << skipped << "\n";
  EXPECT_GT(names.size(), 0u);
  EXPECT_EQ(total + skipped, names.size());
}

}  // namespace
