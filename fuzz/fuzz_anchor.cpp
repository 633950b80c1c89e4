// vantiro_anchor_parse on arbitrary text in a buffer of exactly its size. The result must be
// one of the parser's codes with a count that fits it and out untouched on a refusal; an
// accepted record must not have a key of small order, must carry a NUL-terminated owner and
// must parse again, from its canonical bare form, to the same key and signature. A
// byte-order mark before the text or a comment line after it must not change the result.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "vantiro_core.h"

namespace {

using bytes = std::vector<uint8_t>;

struct Parsed {
  int rc;
  int found;
  vantiro_anchor a;
};

Parsed parse(const bytes& text) {
  Parsed r{};
  std::memset(&r.a, 0x5a, sizeof r.a);
  r.found = -99;
  r.rc = vantiro_anchor_parse(text.data(), text.size(), &r.a, &r.found);
  return r;
}

bool same(const Parsed& x, const Parsed& y) {
  return x.rc == y.rc && x.found == y.found && std::memcmp(&x.a, &y.a, sizeof x.a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const bytes text(data, data + size);  // exactly size bytes on the heap
  const Parsed r = parse(text);

  switch (r.rc) {
    case 0:
    case VANTIRO_ANCHOR_SMALL_ORDER:
      FUZZ_CHECK(r.found == 1);
      break;
    case VANTIRO_ANCHOR_NONE:
    case VANTIRO_ANCHOR_TOO_LARGE:
      FUZZ_CHECK(r.found == 0);
      break;
    case VANTIRO_ANCHOR_SEVERAL:
      FUZZ_CHECK(r.found >= 2 && static_cast<size_t>(r.found) * (VANTIRO_ANCHOR_LEN + 1) <= size + 1);
      break;
    default:
      FUZZ_CHECK(false);
  }
  FUZZ_CHECK((r.rc == VANTIRO_ANCHOR_TOO_LARGE) == (size > VANTIRO_ANCHOR_TEXT_MAX));
  if (r.rc != 0) {
    vantiro_anchor untouched;
    std::memset(&untouched, 0x5a, sizeof untouched);
    FUZZ_CHECK(std::memcmp(&untouched, &r.a, sizeof r.a) == 0);
  } else {
    FUZZ_CHECK(vantiro_key_has_small_order(r.a.key) == 0);
    FUZZ_CHECK(std::memchr(r.a.owner, '\0', sizeof r.a.owner) != nullptr);
    FUZZ_CHECK(r.a.has_sig == (size == VANTIRO_KEY_SIZE ? 0 : 1));
    if (r.a.has_sig != 0) {
      char key[2 * VANTIRO_KEY_SIZE + 1], sig[2 * VANTIRO_SIG_SIZE + 1];
      FUZZ_CHECK(vantiro_hex(r.a.key, sizeof r.a.key, key, sizeof key) == 0);
      FUZZ_CHECK(vantiro_hex(r.a.sig, sizeof r.a.sig, sig, sizeof sig) == 0);
      const std::string canon = std::string("k=") + key + " s=" + sig;
      const Parsed again = parse(bytes(canon.begin(), canon.end()));
      FUZZ_CHECK(again.rc == 0 && again.found == 1 && again.a.owner[0] == '\0');
      FUZZ_CHECK(std::memcmp(again.a.key, r.a.key, sizeof r.a.key) == 0);
      FUZZ_CHECK(std::memcmp(again.a.sig, r.a.sig, sizeof r.a.sig) == 0);
    }
  }

  // Exactly 32 bytes are a raw key whatever they hold, so the text must stay clear of that
  // length; a text that already starts with a mark would get a second one inside its first
  // line.
  static const uint8_t kBom[] = {0xEF, 0xBB, 0xBF};
  const bool has_bom = size >= 3 && std::memcmp(data, kBom, 3) == 0;
  if (size != VANTIRO_KEY_SIZE && size + 3 != VANTIRO_KEY_SIZE && !has_bom &&
      size + 3 <= VANTIRO_ANCHOR_TEXT_MAX) {
    bytes marked(kBom, kBom + 3);
    marked.insert(marked.end(), text.begin(), text.end());
    FUZZ_CHECK(same(r, parse(marked)));
  }
  static const char kComment[] = "\n; \"k=\" (note";
  const size_t comment = sizeof kComment - 1;
  if (size != VANTIRO_KEY_SIZE && size + comment != VANTIRO_KEY_SIZE &&
      size + comment <= VANTIRO_ANCHOR_TEXT_MAX) {
    bytes noted = text;
    noted.insert(noted.end(), kComment, kComment + comment);
    FUZZ_CHECK(same(r, parse(noted)));
  }
  return 0;
}
