// CTR_DRBG call sequences driven by the input: instantiate, reseed, generate and
// uninstantiate with arbitrary lengths, absent inputs and null pointers, and the reseed
// counter moved to the 2^48 boundary. After every call: a failure left the context and the
// output buffer exactly as they were; no call wrote outside out (guard bytes, ASan); and a
// success left the same output and state as the independent generator of drbg_reference.h.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <vector>

#include "crypt.h"
#include "drbg.h"
#include "drbg_reference.h"
#include "fuzz_check.h"

namespace {

using bytes = std::vector<uint8_t>;

constexpr uint64_t RESEED_INTERVAL = uint64_t{1} << 48;
constexpr size_t GUARD = 16;

// An optional input: absent (null pointer, any length), empty, or some bytes.
struct Input {
  bytes data;
  bool null = false;
  size_t len = 0;  // the length passed; with a null pointer it may be anything
  const uint8_t* ptr() const { return null ? nullptr : data.data(); }
  bool present() const { return !null && len != 0; }
};

Input input_from(FuzzedDataProvider& in, size_t typical) {
  Input x;
  x.null = in.ConsumeIntegralInRange<int>(0, 7) == 0;
  // Mostly near the typical size, sometimes anywhere up to past the 512-byte limit.
  x.len = in.ConsumeBool() ? in.ConsumeIntegralInRange<size_t>(0, typical)
                           : in.ConsumeIntegralInRange<size_t>(0, 600);
  if (!x.null) {
    // Exactly len bytes, zero-filled where the input runs out.
    bytes got = in.ConsumeBytes<uint8_t>(x.len);
    x.data.assign(x.len, 0);
    std::copy(got.begin(), got.end(), x.data.begin());
  }
  return x;
}

bytes used(const Input& x) { return x.present() ? x.data : bytes(); }

// Field by field, so that padding bytes play no part.
bool same_ctx(const drbg_ctx& a, const drbg_ctx& b) {
  return std::memcmp(a.key, b.key, 32) == 0 && std::memcmp(a.v, b.v, 16) == 0 &&
         a.reseed_counter == b.reseed_counter && a.instantiated == b.instantiated;
}

bool same_state(const drbg_ctx& ctx, const drbg_ref::RefDrbg& ref) {
  return std::memcmp(ctx.key, ref.key.data(), 32) == 0 && std::memcmp(ctx.v, ref.v.data(), 16) == 0 &&
         ctx.reseed_counter == ref.counter;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  drbg_ctx ctx;
  std::memset(&ctx, 0, sizeof ctx);
  drbg_ref::RefDrbg ref;
  bool live = false;  // whether ctx holds an instantiated state that ref mirrors

  for (int step = 0; step < 24 && in.remaining_bytes() > 0; ++step) {
    drbg_ctx before = ctx;
    int rc = 0;
    switch (in.ConsumeIntegralInRange<int>(0, 6)) {
      case 0: {
        bool null_ctx = in.ConsumeIntegralInRange<int>(0, 15) == 0;
        Input e = input_from(in, 48), n = input_from(in, 16), p = input_from(in, 64);
        rc = drbg_instantiate(null_ctx ? nullptr : &ctx, e.ptr(), e.len, n.ptr(), n.len, p.ptr(), p.len);
        bool ok = !null_ctx && !e.null && e.len >= 32 && e.len + n.len + p.len <= 512;
        FUZZ_CHECK(rc == (ok ? 0 : -1));
        if (ok) {
          ref.instantiate(e.data, used(n), used(p));
          live = true;
          FUZZ_CHECK(ctx.instantiated == 1);
        }
        break;
      }
      case 1:
      case 2: {
        bool null_ctx = in.ConsumeIntegralInRange<int>(0, 15) == 0;
        Input e = input_from(in, 48), a = input_from(in, 64);
        rc = drbg_reseed(null_ctx ? nullptr : &ctx, e.ptr(), e.len, a.ptr(), a.len);
        bool ok = !null_ctx && live && !e.null && e.len >= 32 && e.len + a.len <= 512;
        FUZZ_CHECK(rc == (ok ? 0 : -1));
        if (ok) ref.reseed(e.data, used(a));
        break;
      }
      case 3:
      case 4: {
        bool null_ctx = in.ConsumeIntegralInRange<int>(0, 15) == 0;
        bool null_out = in.ConsumeIntegralInRange<int>(0, 15) == 0;
        size_t out_len = in.ConsumeIntegralInRange<int>(0, 31) == 0
                             ? in.ConsumeIntegralInRange<size_t>(65535, 65537)
                             : in.ConsumeIntegralInRange<size_t>(0, 80);
        Input a = input_from(in, 64);
        // out sits between guard bytes in one heap block; ASan watches past both ends.
        bytes buf(GUARD + out_len + GUARD, 0xc5);
        bytes buf_before = buf;
        rc = drbg_generate(null_ctx ? nullptr : &ctx, null_out ? nullptr : buf.data() + GUARD, out_len, a.ptr(),
                           a.len);
        int want = 0;
        if (null_ctx || !live || null_out || out_len == 0 || out_len > 65536) {
          want = -1;
        } else if (before.reseed_counter > RESEED_INTERVAL) {
          want = -2;
        } else if (a.present() && a.len > 512) {
          want = -1;
        }
        FUZZ_CHECK(rc == want);
        FUZZ_CHECK(std::memcmp(buf.data(), buf_before.data(), GUARD) == 0);
        FUZZ_CHECK(std::memcmp(buf.data() + GUARD + out_len, buf_before.data() + GUARD + out_len, GUARD) == 0);
        if (rc == 0) {
          bytes expect = ref.generate(out_len, used(a));
          FUZZ_CHECK(std::memcmp(buf.data() + GUARD, expect.data(), out_len) == 0);
        } else {
          FUZZ_CHECK(buf == buf_before);
        }
        break;
      }
      case 5: {
        if (in.ConsumeIntegralInRange<int>(0, 7) == 0) {
          drbg_uninstantiate(nullptr);
        } else {
          drbg_uninstantiate(&ctx);
          drbg_ctx zero;
          std::memset(&zero, 0, sizeof zero);
          FUZZ_CHECK(same_ctx(ctx, zero));
          live = false;
        }
        continue;
      }
      default: {
        // Move both generators to the reseed boundary, as 2^48 generates would.
        if (!live) continue;
        uint64_t c = RESEED_INTERVAL - 1 + in.ConsumeIntegralInRange<uint64_t>(0, 2);
        ctx.reseed_counter = c;
        ref.counter = c;
        continue;
      }
    }
    if (rc != 0) FUZZ_CHECK(same_ctx(ctx, before));
    if (live) FUZZ_CHECK(same_state(ctx, ref));
  }
  drbg_uninstantiate(&ctx);
  return 0;
}
