#include "test_support.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>

namespace vt {

static int nibble(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  throw std::invalid_argument("bad hex digit");
}

bytes from_hex(const std::string& hex) {
  if (hex.size() % 2 != 0) throw std::invalid_argument("odd hex length");
  bytes out(hex.size() / 2);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<uint8_t>(nibble(hex[2 * i]) << 4 | nibble(hex[2 * i + 1]));
  return out;
}

std::string to_hex(const uint8_t* data, size_t len) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  s.reserve(2 * len);
  for (size_t i = 0; i < len; ++i) {
    s.push_back(digits[data[i] >> 4]);
    s.push_back(digits[data[i] & 15]);
  }
  return s;
}

std::string vectors_dir() {
  std::string dir = VANTIRO_VECTORS_DIR;
  struct stat st {};
  if (dir.empty() || stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return "";
  return dir;
}

bool read_vector_file(const std::string& relative, std::string* contents, std::string* why) {
  std::string dir = vectors_dir();
  if (dir.empty()) {
    *why = "vector directory not configured or missing (configure with -DVANTIRO_VECTORS_DIR=...)";
    return false;
  }
  std::ifstream in(dir + "/" + relative, std::ios::binary);
  if (!in) {
    *why = "vector file " + dir + "/" + relative + " is missing";
    return false;
  }
  std::ostringstream ss;
  ss << in.rdbuf();
  *contents = ss.str();
  return true;
}

bool load_wycheproof(const std::string& name, nlohmann::json* out, std::string* why) {
  std::string text;
  if (!read_vector_file("wycheproof/" + name, &text, why)) return false;
  *out = nlohmann::json::parse(text);
  return true;
}

bytes pseudo_random(size_t n, uint64_t seed) {
  std::mt19937_64 gen(seed);
  bytes out(n);
  for (auto& b : out) b = static_cast<uint8_t>(gen());
  return out;
}

}  // namespace vt
