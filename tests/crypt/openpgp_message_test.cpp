// OpenPGP messages to a Curve25519 subkey: stock gpg and sq, run as black boxes on a key
// made in a scratch home, open what we write and any flipped byte makes gpg fail; the
// session key is wrapped under the KEK of each KDF hash and key-wrap cipher; the refusals
// leave out untouched; no secret of the call is left on the stack.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "crypt.h"
#include "os_random_hook.h"
#include "stack_scan.h"
#include "test_support.h"

namespace {

using vt::bytes;
namespace fs = std::filesystem;

constexpr size_t kCap = 8192;  // room for the armor of 4096 bytes

std::string encrypt(const openpgp_cert& cert, const bytes& data) {
  std::string out(kCap, '\0');
  size_t n = 0;
  EXPECT_EQ(openpgp_encrypt(&cert, data.data(), data.size(), out.data(), out.size(), &n), 0);
  EXPECT_EQ(std::strlen(out.c_str()), n);
  out.resize(n);
  return out;
}

bytes read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int run(const std::string& cmd) { return std::system(cmd.c_str()); }

// One gpg key for the suite, made in a scratch home: an Ed25519 primary key with a
// Curve25519 encryption subkey, exported as a certificate and as an unprotected secret key.
class PgpOracle : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
#if defined(_WIN32)
    why_ = "gpg is run only on POSIX hosts";
#else
    if (run("gpg --version >/dev/null 2>&1") != 0) {
      why_ = "gpg is not installed";
      return;
    }
    char tmpl[] = "/tmp/vt-pgp-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) {
      why_ = "no scratch folder";
      return;
    }
    home_ = tmpl;
    gpg_ = "gpg --homedir " + home_.string() + " --batch --pinentry-mode loopback --passphrase '' ";
    const std::string& g = gpg_;
    if (run("set -e; exec 2>/dev/null; " + g + "--quick-gen-key 'Custodian <c@example.org>' " +
            "ed25519 cert never; " + g + "--quick-add-key $(" + g + "--with-colons --list-keys " +
            "| awk -F: '/^fpr/{print $10}') cv25519 encr never; cd " + home_.string() + "; " + g +
            "--export > cert.pgp; " + g + "--export-secret-keys > secret.pgp") != 0) {
      why_ = "gpg could not make a key";
      return;
    }
    exported_ = read_file(home_ / "cert.pgp");
    // Older sq versions name the key file --recipient-key, newer ones --recipient-file.
    if (run("sq --version >/dev/null 2>&1") == 0) {
      const bool file = run("sq decrypt --help 2>/dev/null | grep -q recipient-file") == 0;
      sq_ = std::string("sq decrypt ") + (file ? "--recipient-file " : "--recipient-key ");
    }
#endif
  }
  static void TearDownTestSuite() {
    if (home_.empty()) return;
    run("gpgconf --homedir " + home_.string() + " --kill gpg-agent >/dev/null 2>&1");
    fs::remove_all(home_);
  }
  void SetUp() override {
    if (!why_.empty()) GTEST_SKIP() << why_;
    char reason[OPENPGP_REASON_MAX] = {};
    const auto now = static_cast<uint64_t>(std::time(nullptr));
    ASSERT_EQ(openpgp_cert_read(exported_.data(), exported_.size(), now, &cert_, reason),
              OPENPGP_CERT_OK)
        << reason;
  }

  // Runs cmd on msg, written to a file: its exit status, with what it printed in *printed.
  static int open_with(const std::string& cmd, const std::string& msg, bytes* printed) {
    const fs::path in = home_ / "msg.asc", out = home_ / "out";
    std::ofstream(in, std::ios::binary) << msg;
    const int rc = run(cmd + " " + in.string() + " > " + out.string() + " 2>/dev/null");
    *printed = read_file(out);
    return rc;
  }

  static inline std::string why_, gpg_;
  static inline fs::path home_;
  static inline bytes exported_;
  static inline std::string sq_;  // the sq decrypt command before a key file; "" without sq
  openpgp_cert cert_{};
};

TEST_F(PgpOracle, GpgAndSqOpenWhatWeWrite) {
  ASSERT_EQ(cert_.kdf_hash, 8);  // gpg's own choice: SHA-256, AES-128
  ASSERT_EQ(cert_.kdf_cipher, 7);
  bytes got;
  for (size_t len : {0, 1, 430, 4096}) {
    SCOPED_TRACE(len);
    const bytes data = vt::pseudo_random(len, len);
    const std::string msg = encrypt(cert_, data);
    EXPECT_EQ(open_with(gpg_ + "--quiet --decrypt", msg, &got), 0);
    EXPECT_EQ(got, data);
    if (sq_.empty()) continue;
    EXPECT_EQ(open_with(sq_ + (home_ / "secret.pgp").string(), msg, &got), 0);
    EXPECT_EQ(got, data);
  }
  ASSERT_EQ(open_with(gpg_ + "--list-packets", encrypt(cert_, bytes(5, 'x')), &got), 0);
  const std::string listing(got.begin(), got.end());
  for (const char* line : {":pubkey enc packet: version 3, algo 18,", "mdc_method: 2",
                           "mode b (62), created 0, name=\"\","}) {
    EXPECT_NE(listing.find(line), std::string::npos) << line << " not in\n" << listing;
  }
}

// Every byte of the binary message flipped in turn, the armor redone with a good checksum:
// the key wrap, the MDC or the packet syntax must catch it. A flipped length in the PKESK
// can hide the encrypted packet from gpg, which then exits 0 having printed nothing.
TEST_F(PgpOracle, AnyFlippedByteMakesGpgFail) {
  const std::string msg = encrypt(cert_, bytes{'s'});
  bytes bin(kCap), got;
  size_t n = 0, m = 0;
  ASSERT_EQ(openpgp_dearmor(reinterpret_cast<const uint8_t*>(msg.data()), msg.size(),
                            OPENPGP_ARMOR_MESSAGE, bin.data(), bin.size(), &n),
            0);
  ASSERT_EQ(open_with(gpg_ + "--decrypt", msg, &got), 0);
  constexpr size_t kPkeskLen = 96;
  std::string flipped(kCap, '\0');
  for (size_t i = 0; i < n; ++i) {
    bin[i] ^= 0xff;
    ASSERT_EQ(openpgp_armor(bin.data(), n, OPENPGP_ARMOR_MESSAGE, flipped.data(), kCap, &m), 0);
    bin[i] ^= 0xff;
    const int rc = open_with(gpg_ + "--decrypt", flipped.substr(0, m), &got);
    EXPECT_TRUE(rc != 0 || (i < kPkeskLen && got.empty())) << "byte " << i;
  }
}

// OS draws taken in order from a fixed stream (ephemeral scalar, session key, prefix).
const bytes kDraws = vt::pseudo_random(80, 99);
size_t g_drawn = 0;
int scripted_draw(uint8_t* buf, size_t len) {
  if (g_drawn + len > kDraws.size()) return -1;
  std::memcpy(buf, kDraws.data() + g_drawn, len);
  g_drawn += len;
  return 1;
}

// A subkey with the KDF parameters given: a random point, or the one given in hex.
openpgp_cert test_cert(uint8_t hash, uint8_t cipher, const std::string& point = "") {
  openpgp_cert cert{};
  x25519_public_key(cert.subkey, vt::pseudo_random(32, 1).data());
  if (!point.empty()) std::memcpy(cert.subkey, vt::from_hex(point).data(), 32);
  std::memcpy(cert.subkey_fpr, vt::pseudo_random(20, 2).data(), 20);
  cert.kdf_hash = hash;
  cert.kdf_cipher = cipher;
  return cert;
}

TEST(OpenpgpEncrypt, RefusalsLeaveOutUntouched) {
  const bytes data = vt::pseudo_random(4097, 3);
  const openpgp_cert good = test_cert(8, 7);
  const char* kOrder8 = "e0eb7a7c3b41b8ae1656e3faf19fc46ada098deb9c32b1fd866205165f49b800";
  size_t need = 0;
  std::string out(kCap, '\0');
  ASSERT_EQ(openpgp_encrypt(&good, data.data(), 430, out.data(), kCap, &need), 0);
  const struct {
    const char* what;
    openpgp_cert cert;
    size_t len, cap;
    int want;
  } rows[] = {
      {"exact room", good, 430, need + 1, 0},
      {"one short", good, 430, need, -1},
      {"4097 bytes", good, 4097, kCap, -1},
      {"SHA-1 KDF", test_cert(2, 7), 430, kCap, -1},
      {"SHA-224 KDF", test_cert(11, 7), 430, kCap, -1},
      {"AES-192 key wrap", test_cert(8, 8), 430, kCap, -1},
      // Points of small order: the shared secret would be zero, known to everyone.
      {"order 1", test_cert(8, 7, std::string(64, '0')), 430, kCap, -1},
      {"order 8", test_cert(8, 7, kOrder8), 430, kCap, -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::string buf(kCap, '\xee');
    size_t n = 9;
    EXPECT_EQ(openpgp_encrypt(&row.cert, data.data(), row.len, buf.data(), row.cap, &n), row.want);
    if (row.want == 0) continue;
    EXPECT_EQ(buf, std::string(kCap, '\xee'));
    EXPECT_EQ(n, 0u);
  }

  std::string buf(kCap, '\xee');
  size_t n = 9;
  crypt_random_force_fail_FOR_TEST(1);
  EXPECT_EQ(openpgp_encrypt(&good, data.data(), 430, buf.data(), kCap, &n), -2);
  crypt_random_force_fail_FOR_TEST(0);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(openpgp_encrypt(nullptr, data.data(), 1, buf.data(), kCap, &n), -1);
  EXPECT_EQ(openpgp_encrypt(&good, nullptr, 1, buf.data(), kCap, &n), -1);
  EXPECT_EQ(openpgp_encrypt(&good, data.data(), 1, nullptr, kCap, &n), -1);
  EXPECT_EQ(openpgp_encrypt(&good, data.data(), 1, buf.data(), kCap, nullptr), -1);
  EXPECT_EQ(buf, std::string(kCap, '\xee'));
}

// With the draws scripted, the KEK of each KDF hash and key-wrap cipher is computed here
// as the key's owner derives it: the PKESK must carry the session key block wrapped under
// it (gpg checks only SHA-256 with AES-128), and no secret of the call may be left on the
// stack; the ephemeral public key, which is not wiped, shows the scan sees the call's frames.
TEST(OpenpgpEncrypt, SessionKeyIsWrappedUnderTheKekAndWiped) {
  const bytes eph(kDraws.begin(), kDraws.begin() + 32);
  const bytes key(kDraws.begin() + 32, kDraws.begin() + 64);
  const bytes data = vt::pseudo_random(430, 6), plain(data.begin(), data.begin() + 32);
  for (const auto& [hash, cipher] : {std::pair<uint8_t, uint8_t>{8, 7}, {9, 7}, {10, 9}}) {
    SCOPED_TRACE(hash);
    const openpgp_cert cert = test_cert(hash, cipher);
    bytes eph_pub(32), shared(32), digest(64);
    x25519_public_key(eph_pub.data(), eph.data());
    x25519(shared.data(), eph.data(), cert.subkey);
    const bytes kdf = vt::from_hex("00000001" + vt::to_hex(shared) + "0a2b060104019755010501" +
                                   "120301" + vt::to_hex(&hash, 1) + vt::to_hex(&cipher, 1) +
                                   "416e6f6e796d6f75732053656e64657220202020" +
                                   vt::to_hex(cert.subkey_fpr, 20));
    if (hash == 8) sha256(kdf.data(), kdf.size(), digest.data());
    if (hash == 9) sha384(kdf.data(), kdf.size(), digest.data());
    if (hash == 10) sha512(kdf.data(), kdf.size(), digest.data());
    const bytes kek(digest.begin(), digest.begin() + (cipher == 7 ? 16 : 32));
    unsigned sum = 0;  // the key block: AES-256, the key, its checksum, PKCS#5 padding
    for (uint8_t b : key) sum += b;
    const uint8_t checksum[2] = {static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum)};
    const bytes block =
        vt::from_hex("09" + vt::to_hex(key) + vt::to_hex(checksum, 2) + "0505050505");
    bytes wrapped(48);
    ASSERT_EQ(aes_key_wrap(kek.data(), kek.size(), block.data(), block.size(), wrapped.data()), 0);

    std::string out(kCap, '\0');
    size_t n = 0;
    int rc = -100;
    g_drawn = 0;
    vt::g_os_random_hook = scripted_draw;
    const vt::StackSnapshot snap = vt::stack_after(
        [&] { rc = openpgp_encrypt(&cert, data.data(), data.size(), out.data(), kCap, &n); });
    vt::g_os_random_hook = nullptr;
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(g_drawn, kDraws.size());
    bytes bin(kCap);
    ASSERT_EQ(openpgp_dearmor(reinterpret_cast<const uint8_t*>(out.data()), n,
                              OPENPGP_ARMOR_MESSAGE, bin.data(), bin.size(), &n),
              0);
    EXPECT_EQ(vt::to_hex(bin.data() + 48, 48), vt::to_hex(wrapped)) << "the wrapped session key";
    ASSERT_TRUE(snap.holds(eph_pub)) << "the scan does not see the call's frames";
    EXPECT_FALSE(snap.holds(eph)) << "ephemeral scalar";
    EXPECT_FALSE(snap.holds(shared)) << "shared secret";
    EXPECT_FALSE(snap.holds(kek)) << "KEK";
    EXPECT_FALSE(snap.holds(key)) << "session key";
    EXPECT_FALSE(snap.holds(plain)) << "plaintext";
  }
}

}  // namespace
