// Helpers shared by the tests: hex conversion and access to the external vector files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace vt {

using bytes = std::vector<uint8_t>;

// Decodes a hex string (upper or lower case, even length); throws on bad input.
bytes from_hex(const std::string& hex);
std::string to_hex(const uint8_t* data, size_t len);
inline std::string to_hex(const bytes& b) { return to_hex(b.data(), b.size()); }

// The configured vector directory, or "" when none was configured or it is missing.
std::string vectors_dir();

// Reads <vectors_dir>/<relative>. Returns false, with the reason in *why, when the
// directory or file is absent; callers then GTEST_SKIP() << why.
bool read_vector_file(const std::string& relative, std::string* contents, std::string* why);

// Parses <vectors_dir>/wycheproof/<name> as JSON; false with *why when it is absent.
bool load_wycheproof(const std::string& name, nlohmann::json* out, std::string* why);

// n bytes from a deterministic generator seeded with seed (not for keys, only test input).
bytes pseudo_random(size_t n, uint64_t seed);

}  // namespace vt
