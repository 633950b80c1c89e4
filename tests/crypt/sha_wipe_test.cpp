// What the hashes leave on the stack when the message is a secret (a seed, a key block):
// the one-shot calls run with the stack below them painted, and the region they leave
// must hold neither the message (as bytes or as the words a schedule loads) nor the last
// words of a block's message schedule, from which the block can be run back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "crypt.h"
#include "sha_paths.h"
#include "stack_scan.h"
#include "test_support.h"

namespace {

using vt::bytes;

template <class Word>
Word rotr(Word x, int n) {
  return static_cast<Word>((x >> n) | (x << (8 * sizeof(Word) - static_cast<size_t>(n))));
}

template <class Word>
Word load_be(const uint8_t* p) {
  Word w = 0;
  for (size_t i = 0; i < sizeof(Word); ++i) w = static_cast<Word>((w << 8) | p[i]);
  return w;
}

// The words in native order, as a schedule or a state holds them.
template <class Word>
bytes native(const std::vector<Word>& words) {
  bytes out(words.size() * sizeof(Word));
  std::memcpy(out.data(), words.data(), out.size());
  return out;
}

// The full message schedule of one block of SHA-512 (Word 64 bits) or SHA-256, written
// here from FIPS 180-4: each sigma two rotations and a shift.
template <class Word>
std::vector<Word> schedule2(const uint8_t* block, size_t rounds, const int (&sigma0)[3],
                            const int (&sigma1)[3]) {
  auto sigma = [](Word x, const int (&r)[3]) {
    return static_cast<Word>(rotr(x, r[0]) ^ rotr(x, r[1]) ^ (x >> r[2]));
  };
  std::vector<Word> w;
  for (size_t t = 0; t < 16; ++t) w.push_back(load_be<Word>(block + sizeof(Word) * t));
  for (size_t t = 16; t < rounds; ++t)
    w.push_back(static_cast<Word>(sigma(w[t - 2], sigma1) + w[t - 7] + sigma(w[t - 15], sigma0) +
                                  w[t - 16]));
  return w;
}

std::vector<uint64_t> schedule512(const uint8_t* block) {
  return schedule2<uint64_t>(block, 80, {1, 8, 7}, {19, 61, 6});
}

std::vector<uint32_t> schedule256(const uint8_t* block) {
  return schedule2<uint32_t>(block, 64, {7, 18, 3}, {17, 19, 10});
}

std::vector<uint32_t> schedule1(const uint8_t* block) {
  std::vector<uint32_t> w;
  for (int t = 0; t < 16; ++t) w.push_back(load_be<uint32_t>(block + 4 * t));
  for (size_t t = 16; t < 80; ++t)
    w.push_back(rotr(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 31));
  return w;
}

// The last 16 words of the schedule of every block of the padded message, in native order
// (with the SHA-512 words also plus their round constants, as a vector schedule stores them).
std::vector<bytes> schedule_tails(const bytes& msg, size_t block, size_t len_bytes, int kind) {
  bytes padded = msg;
  padded.push_back(0x80);
  while (padded.size() % block != block - len_bytes) padded.push_back(0);
  const uint64_t bits = 8 * static_cast<uint64_t>(msg.size());
  for (size_t i = len_bytes; i > 0; --i)
    padded.push_back(i > 8 ? uint8_t{0} : static_cast<uint8_t>(bits >> (8 * (i - 1))));
  std::vector<bytes> tails;
  for (size_t at = 0; at < padded.size(); at += block) {
    if (kind == 512) {
      std::vector<uint64_t> w = schedule512(padded.data() + at);
      tails.push_back(native(std::vector<uint64_t>(w.end() - 16, w.end())));
      for (size_t t = 0; t < 80; ++t) w[t] += crypt_internal::sha512_k[t];
      tails.push_back(native(std::vector<uint64_t>(w.end() - 16, w.end())));
    } else {
      const std::vector<uint32_t> w = kind == 256 ? schedule256(padded.data() + at)
                                                  : schedule1(padded.data() + at);
      tails.push_back(native(std::vector<uint32_t>(w.end() - 16, w.end())));
    }
  }
  return tails;
}

// Every 16-byte window of data, and of data with each 4- and 8-byte word reversed (the
// message as a schedule loads it).
std::vector<bytes> windows(const bytes& data) {
  std::vector<bytes> out;
  for (size_t g : {size_t{1}, size_t{4}, size_t{8}}) {
    bytes v = data;
    for (size_t at = 0; at + g <= v.size(); at += g)
      std::reverse(v.begin() + static_cast<long>(at), v.begin() + static_cast<long>(at + g));
    for (size_t i = 0; i + 16 <= v.size(); ++i)
      out.emplace_back(v.begin() + static_cast<long>(i), v.begin() + static_cast<long>(i + 16));
  }
  return out;
}

struct Hash {
  const char* name;
  void (*run)(const uint8_t*, size_t, uint8_t*);
  size_t block, len_bytes;  // block size, bytes of the length field
  int kind;
};


using ShaWipeEachPath = ShaEachPath;

TEST_P(ShaWipeEachPath, OneShotLeavesNoMessageNoSchedule) {
  const Hash hashes[] = {
      {"SHA-512", sha512, 128, 16, 512},
      {"SHA-384", sha384, 128, 16, 512},
      {"SHA-256", sha256, 64, 8, 256},
      {"SHA-1", sha1, 64, 8, 1},
  };
  // A seed (one block) and a key-sized message of several blocks (pairs go to AVX2).
  for (size_t len : {size_t{32}, size_t{300}}) {
    const bytes secret = vt::pseudo_random(len, static_cast<uint32_t>(len));
    for (const Hash& h : hashes) {
      uint8_t out[64];
      const vt::StackSnapshot snap =
          vt::stack_after([&] { h.run(secret.data(), secret.size(), out); });
      for (const bytes& w : windows(secret))
        ASSERT_FALSE(snap.holds(w)) << h.name << ", " << len << " bytes: the message is left";
      for (const bytes& tail : schedule_tails(secret, h.block, h.len_bytes, h.kind))
        for (size_t i = 0; i + 16 <= tail.size(); i += 4)
          EXPECT_FALSE(snap.holds(tail.data() + i, 16))
              << h.name << ", " << len << " bytes: schedule words left at byte " << i;
    }
  }
}

VT_SHA_EACH_PATH(ShaWipeEachPath);

}  // namespace
