// Internal building blocks of the Curve25519 code, for profiling the rows above: field
// products, inversion, scalar multiplication. No peers.
#include "bench_util.h"
#include "curve25519_internal.h"

using namespace crypt_internal;

namespace bench {
namespace {

void elements(fe a, fe b) {
  const auto s = pattern(32, 19);
  const auto t = pattern(32, 20);
  fe_frombytes(a, s.data());
  fe_frombytes(b, t.data());
}

}  // namespace

void register_internal() {
  add("internal/fe_mul", "vantiro", [](benchmark::State& st) {
    fe a, b;
    elements(a, b);
    for (auto _ : st) {
      fe_mul(a, a, b);
      benchmark::DoNotOptimize(a);
    }
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
  });
  add("internal/fe_sq", "vantiro", [](benchmark::State& st) {
    fe a, b;
    elements(a, b);
    for (auto _ : st) {
      fe_sq(a, a);
      benchmark::DoNotOptimize(a);
    }
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
  });
  add("internal/fe_invert", "vantiro", [](benchmark::State& st) {
    fe a, b;
    elements(a, b);
    for (auto _ : st) {
      fe_invert(a, a);
      benchmark::DoNotOptimize(a);
    }
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
  });
  add("internal/ge_scalarmult", "vantiro", [](benchmark::State& st) {
    ge b;
    (void)ge_frombytes(&b, B_COMPRESSED);
    const auto k = pattern(32, 21);
    for (auto _ : st) {
      ge r;
      ge_scalarmult(&r, k.data(), &b);
      benchmark::DoNotOptimize(r);
    }
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
  });
}

}  // namespace bench
