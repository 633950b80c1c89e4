// Plumbing shared by the SHA family: input absorbed through the context's block buffer,
// and the padding of the final block(s). Module-internal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace crypt_md {

// Zeroes the 1 KiB of stack below the caller's frame (4 KiB when instrumented): where the
// portable compression functions it has just called kept spilled copies of message words
// (the last words of a block's schedule give the block back), which no wipe of a named
// array reaches. Twice as deep as the deepest of their frames (about 450 bytes). The
// instruction-specific code keeps its words in registers and in one array it wipes.
void wipe_stack_below();

#if defined(__SANITIZE_ADDRESS__)
#define VANTIRO_MD_INSTRUMENTED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VANTIRO_MD_INSTRUMENTED 1
#endif
#endif

// After the instruction-specific code: nothing, except when built with AddressSanitizer,
// whose frames (laid out for the red zones) make that code spill message words too.
inline void wipe_stack_below_if_instrumented() {
#ifdef VANTIRO_MD_INSTRUMENTED
  wipe_stack_below();
#endif
}

// Absorbs len bytes: a partly filled ctx->buffer (Block bytes) is topped up first, then
// runs of whole blocks go to on_blocks(ctx, p, n) straight from data, and the rest waits
// in the buffer. on_blocks compresses the n blocks at p and counts them. buflen stays
// below Block on return, and the buffer holds what it would had every byte passed through
// it: the pending tail, then the rest of the last whole block.
template <size_t Block, class Ctx, class OnBlocks>
inline void absorb(Ctx* ctx, const uint8_t* data, size_t len, OnBlocks on_blocks) {
  if (len == 0) return;  // data may be null
  if (ctx->buflen > 0) {
    size_t take = Block - ctx->buflen;
    if (take > len) take = len;
    memcpy(ctx->buffer + ctx->buflen, data, take);
    ctx->buflen += static_cast<uint32_t>(take);
    data += take;
    len -= take;
    if (ctx->buflen < Block) return;
    on_blocks(ctx, ctx->buffer, size_t{1});
    ctx->buflen = 0;
  }
  const size_t whole = len / Block;
  if (whole > 0) {
    on_blocks(ctx, data, whole);
    memcpy(ctx->buffer, data + (whole - 1) * Block, Block);
    data += whole * Block;
    len -= whole * Block;
  }
  memcpy(ctx->buffer, data, len);
  ctx->buflen = static_cast<uint32_t>(len);
}

// Appends 0x80 and zeros up to the length field (the last LenBytes of the block),
// compressing an extra block first when the 0x80 leaves no room for it. Leaves buflen at
// Block - LenBytes; the caller writes the length field and compresses.
template <size_t Block, size_t LenBytes, class Ctx, class Compress>
inline void pad(Ctx* ctx, Compress compress) {
  constexpr uint32_t kLenAt = Block - LenBytes;
  ctx->buffer[ctx->buflen++] = 0x80;
  if (ctx->buflen > kLenAt) {
    for (uint32_t i = ctx->buflen; i < Block; ++i) ctx->buffer[i] = 0;
    compress(ctx);
    for (uint32_t i = 0; i < kLenAt; ++i) ctx->buffer[i] = 0;
  } else {
    for (uint32_t i = ctx->buflen; i < kLenAt; ++i) ctx->buffer[i] = 0;
  }
  ctx->buflen = kLenAt;
}

inline void store_be64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (56 - 8 * i));
}

inline void store_be32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

inline uint32_t load_be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

inline uint64_t load_be64(const uint8_t* p) {
  return static_cast<uint64_t>(p[0]) << 56 | static_cast<uint64_t>(p[1]) << 48 |
         static_cast<uint64_t>(p[2]) << 40 | static_cast<uint64_t>(p[3]) << 32 |
         static_cast<uint64_t>(p[4]) << 24 | static_cast<uint64_t>(p[5]) << 16 |
         static_cast<uint64_t>(p[6]) << 8 | static_cast<uint64_t>(p[7]);
}

}  // namespace crypt_md
