// OpenPGP certificates made by the stock gpg, run as a black box in a scratch home with a
// frozen clock: the reader finds the fingerprints, user ID and Curve25519 subkey gpg lists,
// from binary and armored exports, and refuses the certificates gpg makes for the cases
// it must refuse (RSA and NIST keys, expired, revoked and missing subkeys, a revoked
// primary key, damaged signatures). Skipped where gpg is not installed.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "crypt.h"
#include "openpgp_internal.h"
#include "test_support.h"

namespace {

using vt::bytes;
namespace fs = std::filesystem;

constexpr uint64_t kT0 = 1735689600;  // 2025-01-01, gpg's frozen clock for key creation
constexpr uint64_t kDay = 86400;

std::string g_home;  // the scratch GNUPGHOME, "" when gpg is not runnable

// Runs gpg in the scratch home with the clock frozen at t; its stdout, or "" on failure.
std::string gpg(const std::string& args, uint64_t t = kT0, const std::string& input = "") {
  std::string cmd = "GNUPGHOME='" + g_home +
                    "' gpg --batch --yes --pinentry-mode loopback "
                    "--passphrase '' --faked-system-time " +
                    std::to_string(t) + "! " + args + " 2>/dev/null";
  if (!input.empty()) cmd = "printf '" + input + "' | " + cmd;
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return "";
  std::string out;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  return pclose(p) == 0 ? out : "";
}

bytes as_bytes(const std::string& s) { return bytes(s.begin(), s.end()); }

// The colon listing of a key: field 10 of its fpr records and of its pkd records, in order.
std::vector<std::string> colon_fields(const std::string& fpr, const char* record, int field) {
  std::vector<std::string> out;
  std::istringstream lines(gpg("--with-colons --with-key-data --list-keys " + fpr));
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(record, 0) != 0) continue;
    std::vector<std::string> f;
    std::stringstream ls(line);
    for (std::string s; std::getline(ls, s, ':');) f.push_back(s);
    if (static_cast<int>(f.size()) > field) out.push_back(f[static_cast<size_t>(field)]);
  }
  return out;
}

// Makes a key "<name> <name@example.org>" of the algorithm given, at time t; its fingerprint.
std::string make_key(const std::string& name, const std::string& algo,
                     const std::string& expire = "never", uint64_t t = kT0) {
  const std::string uid = name + " <" + name + "@example.org>";
  gpg("--quick-gen-key '" + uid + "' " + algo + " cert " + expire, t);
  const std::vector<std::string> f = colon_fields("'<" + name + "@example.org>'", "fpr:", 9);
  return f.empty() ? "" : f[0];
}

void add_subkey(const std::string& fpr, const std::string& algo, const std::string& usage,
                uint64_t t, const std::string& expire = "never") {
  gpg("--quick-add-key " + fpr + " " + algo + " " + usage + " " + expire, t);
}

class GpgCert : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/vt-gpg-XXXXXX";
    if (std::system("gpg --version >/dev/null 2>&1") != 0 || mkdtemp(tmpl) == nullptr) return;
    g_home = tmpl;
    chmod(tmpl, 0700);
    auto& k = keys();
    k["good"] = make_key("good", "ed25519");
    add_subkey(k["good"], "cv25519", "encr", kT0 + kDay);
    k["two"] = make_key("two", "ed25519");
    add_subkey(k["two"], "cv25519", "encr", kT0 + kDay);
    add_subkey(k["two"], "cv25519", "encr", kT0 + 2 * kDay);
    k["uids"] = make_key("uids", "ed25519");
    add_subkey(k["uids"], "cv25519", "encr", kT0);
    gpg("--quick-add-uid " + k["uids"] + " 'Second <second@example.org>'", kT0 + kDay);
    gpg("--quick-set-primary-uid " + k["uids"] + " 'Second <second@example.org>'", kT0 + 2 * kDay);
    k["rsa"] = make_key("rsa", "rsa2048");
    k["nist"] = make_key("nist", "nistp256");
    k["nistsub"] = make_key("nistsub", "ed25519");
    add_subkey(k["nistsub"], "nistp256", "encr", kT0);
    k["expiring"] = make_key("expiring", "ed25519");
    add_subkey(k["expiring"], "cv25519", "encr", kT0 + kDay, "seconds=86400");
    k["revoked"] = make_key("revoked", "ed25519");
    add_subkey(k["revoked"], "cv25519", "encr", kT0);
    gpg("--command-fd 0 --edit-key " + k["revoked"], kT0 + kDay,
        "key 1\\nrevkey\\ny\\n0\\n\\ny\\nsave\\n");
    k["signonly"] = make_key("signonly", "ed25519");
    add_subkey(k["signonly"], "ed25519", "sign", kT0);
    k["oldprimary"] = make_key("oldprimary", "ed25519", "seconds=86400");
    add_subkey(k["oldprimary"], "cv25519", "encr", kT0);
    k["revprimary"] = make_key("revprimary", "ed25519");
    add_subkey(k["revprimary"], "cv25519", "encr", kT0);
    // gpg keeps a revocation of each key it makes, its armor line disabled by a ':'.
    std::ifstream in(g_home + "/openpgp-revocs.d/" + k["revprimary"] + ".rev");
    std::string rev((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t colon = rev.find(":-----BEGIN");
    if (colon != std::string::npos) rev.erase(colon, 1);
    std::ofstream(g_home + "/rev.asc") << rev;
    gpg("--import '" + g_home + "/rev.asc'", kT0 + kDay);
  }
  static void TearDownTestSuite() {
    if (g_home.empty()) return;
    const int killed = std::system(
        ("GNUPGHOME='" + g_home + "' gpgconf --kill gpg-agent >/dev/null 2>&1").c_str());
    (void)killed;  // an agent left running only costs a process
    // The agent removes its sockets as it stops, which can race the first removal.
    std::error_code ec;
    for (int i = 0; i < 3 && fs::exists(g_home, ec); ++i) fs::remove_all(g_home, ec);
    g_home.clear();
  }
  void SetUp() override {
    if (g_home.empty()) GTEST_SKIP() << "gpg is not installed or not runnable";
  }
  static std::map<std::string, std::string>& keys() {
    static std::map<std::string, std::string> k;
    return k;
  }
  static bytes export_key(const std::string& name) {
    return as_bytes(gpg("--export " + keys()[name]));
  }
};

struct Read {
  int code;
  std::string text;  // the user ID on success, else the reason
  openpgp_cert cert;
};

Read read(const bytes& data, uint64_t now) {
  Read r{};
  char reason[OPENPGP_REASON_MAX];
  r.code = openpgp_cert_read(data.data(), data.size(), now, &r.cert, reason);
  r.text = r.code == OPENPGP_CERT_OK ? r.cert.user_id : reason;
  return r;
}

// data with the last byte of packet i (counted from the end when negative) flipped.
bytes flip_last_byte_of_packet(bytes data, int i) {
  std::vector<size_t> ends;
  crypt_pgp::packet p;
  for (size_t pos = 0;
       pos < data.size() && crypt_pgp::packet_read(data.data(), data.size(), &pos, &p) == 0;) {
    ends.push_back(pos);
  }
  const size_t at = ends[static_cast<size_t>(i < 0 ? static_cast<int>(ends.size()) + i : i)] - 1;
  data[at] ^= 0x01;
  return data;
}

std::string upper_hex(const uint8_t* p, size_t n) {
  std::string s = vt::to_hex(p, n);
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

TEST_F(GpgCert, GoodCertificateMatchesGpg) {
  const std::string& fpr = keys()["good"];
  const bytes binary = export_key("good");
  const Read r = read(binary, kT0 + 3 * kDay);
  ASSERT_EQ(r.code, OPENPGP_CERT_OK) << r.text;
  EXPECT_EQ(r.text, "good <good@example.org>");
  const std::vector<std::string> fprs = colon_fields(fpr, "fpr:", 9);
  const std::vector<std::string> pkds = colon_fields(fpr, "pkd:", 3);
  ASSERT_EQ(fprs.size(), 2u);
  ASSERT_EQ(pkds.size(), 5u);  // primary: OID, point; subkey: OID, point, KDF parameters
  EXPECT_EQ(upper_hex(r.cert.primary_fpr, 20), fprs[0]);
  EXPECT_EQ(upper_hex(r.cert.subkey_fpr, 20), fprs[1]);
  EXPECT_EQ("40" + upper_hex(r.cert.subkey, 32), pkds[3]);
  EXPECT_EQ(pkds[4], "0301" + upper_hex(&r.cert.kdf_hash, 1) + upper_hex(&r.cert.kdf_cipher, 1));

  // The armored export reads to the same bytes; gpg reads our armor back to them too.
  const std::string armored = gpg("--export --armor " + fpr);
  bytes dearmored(binary.size() + 16);
  size_t n = 0;
  ASSERT_EQ(openpgp_dearmor(reinterpret_cast<const uint8_t*>(armored.data()), armored.size(),
                            OPENPGP_ARMOR_PUBLIC_KEY, dearmored.data(), dearmored.size(), &n),
            0);
  dearmored.resize(n);
  EXPECT_EQ(dearmored, binary);
  std::string ours(4096, '\0');
  ASSERT_EQ(openpgp_armor(binary.data(), binary.size(), OPENPGP_ARMOR_PUBLIC_KEY, ours.data(),
                          ours.size(), &n),
            0);
  ours.resize(n);
  std::ofstream(g_home + "/ours.asc") << ours;
  EXPECT_EQ(as_bytes(gpg("--dearmor < '" + g_home + "/ours.asc'")), binary);
}

TEST_F(GpgCert, ChoosesShowsAndRefuses) {
  struct Row {
    const char* what;
    bytes data;
    uint64_t now;
    int code;
    std::string text;
    std::string subkey;  // fingerprint of the subkey chosen, on success
  };
  const std::vector<std::string> two = colon_fields(keys()["two"], "fpr:", 9);
  const std::vector<std::string> expiry = colon_fields(keys()["expiring"], "sub:", 6);
  ASSERT_EQ(two.size(), 3u);
  ASSERT_EQ(expiry.size(), 1u);
  const uint64_t expires = std::stoull(expiry[0]);
  const Row rows[] = {
      {"newer of two subkeys", export_key("two"), kT0 + 3 * kDay, OPENPGP_CERT_OK,
       "two <two@example.org>", two[2]},
      {"newer binding damaged", flip_last_byte_of_packet(export_key("two"), -1), kT0 + 3 * kDay,
       OPENPGP_CERT_OK, "two <two@example.org>", two[1]},
      {"primary key damaged", flip_last_byte_of_packet(export_key("two"), 0), kT0 + 3 * kDay,
       OPENPGP_CERT_NO_USER_ID, "no user ID has a valid self-signature", ""},
      {"primary user ID", export_key("uids"), kT0 + 3 * kDay, OPENPGP_CERT_OK,
       "Second <second@example.org>", ""},
      {"RSA primary", export_key("rsa"), kT0 + kDay, OPENPGP_CERT_PRIMARY,
       "RSA/NIST/v6 keys are not supported", ""},
      {"NIST primary", export_key("nist"), kT0 + kDay, OPENPGP_CERT_PRIMARY,
       "RSA/NIST/v6 keys are not supported", ""},
      {"NIST subkey", export_key("nistsub"), kT0 + kDay, OPENPGP_CERT_NO_SUBKEY,
       "RSA/NIST/v6 keys are not supported", ""},
      {"subkey before expiry", export_key("expiring"), expires - 1, OPENPGP_CERT_OK,
       "expiring <expiring@example.org>", ""},
      {"subkey expired", export_key("expiring"), expires, OPENPGP_CERT_NO_SUBKEY,
       "expired on 2025-01-03", ""},
      {"subkey revoked", export_key("revoked"), kT0 + 3 * kDay, OPENPGP_CERT_NO_SUBKEY, "revoked",
       ""},
      {"signing subkey only", export_key("signonly"), kT0 + kDay, OPENPGP_CERT_NO_SUBKEY,
       "no subkey allows encryption", ""},
      {"primary key expired", export_key("oldprimary"), kT0 + kDay, OPENPGP_CERT_NO_SUBKEY,
       "its primary key expired on 2025-01-02", ""},
      {"primary key revoked", export_key("revprimary"), kT0 + 3 * kDay, OPENPGP_CERT_NO_SUBKEY,
       "its primary key is revoked", ""},
  };
  EXPECT_EQ(expires, kT0 + 2 * kDay);
  for (const Row& row : rows) {
    ASSERT_FALSE(row.data.empty()) << row.what << ": gpg made no key";
    const Read r = read(row.data, row.now);
    EXPECT_EQ(r.code, row.code) << row.what;
    EXPECT_EQ(r.text, row.text) << row.what;
    if (!row.subkey.empty()) {
      EXPECT_EQ(upper_hex(r.cert.subkey_fpr, 20), row.subkey) << row.what;
    }
  }
}

}  // namespace
