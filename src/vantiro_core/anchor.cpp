// Anchor records as operators and relying parties hold them: the zone line that minting
// writes, a zone file, the output of a DNS query tool, or the raw public key.
//
// The text is read line by line. A line holds a record when it is
//   k=<hex> s=<hex>                                   the record alone, bare
//   "<str>" ["<str>"...]                              the strings alone (dig +short)
//   <owner> [ttl] [class] TXT [(] "<str>"... [)]      a zone line; ttl and class in either
//   <blank> [ttl] [class] TXT [(] "<str>"... [)]      order, or a zone line with no owner
//   <owner> descriptive text "<str>"...               host
//   <owner> text = "<str>"...                         nslookup
// and the joined strings are the record.
//
// Owners are read as a zone file means them. A line that begins with a word (not a
// comment, a '$' directive or a bare record) names the current owner, whatever else it
// holds; a record with no owner of its own has the current owner, so a record below
// "www IN A ..." is www's. Windows' nslookup, which puts the strings on a line of their
// own after "<owner> text =", is read the same way. "$ORIGIN <name>" sets the origin
// (a relative name below the one before); "@" is the origin, and a name without a
// trailing dot is joined to it. With no origin, a relative name stays as given and "@"
// names no "_key" owner. A record before any owner takes the origin, or with none has no
// owner at all. Records whose resolved owner is "_key[.<name>]" are anchors, and records
// with no owner only in a text that names no owner anywhere (dig +short, the record
// alone); an owner longer than vantiro_anchor::owner holds is no anchor's.
#include <cstring>

#include "core_internal.h"
#include "crypt.h"
#include "vantiro_core.h"

namespace {

constexpr size_t kKeyHex = 2 * VANTIRO_KEY_SIZE;
constexpr size_t kSigHex = 2 * VANTIRO_SIG_SIZE;
constexpr size_t kOwnerMax = sizeof vantiro_anchor::owner - 1;
// Every record takes a line of its own, so n different ones need n * (LEN + 1) - 1 bytes
// at least: no text of the largest size read holds more than this.
constexpr size_t kMaxRecords = (VANTIRO_ANCHOR_TEXT_MAX + 1) / (VANTIRO_ANCHOR_LEN + 1);

// The y coordinates of the points of small order, little-endian: 0 (order 4), 1 (the
// identity), p - 1 (order 2), and y8 and p - y8 (order 8).
constexpr uint8_t kSmallOrderY[5][VANTIRO_KEY_SIZE] = {
    {0},
    {1},
    {0xec, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
     0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
     0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f},
    {0x26, 0xe8, 0x95, 0x8f, 0xc2, 0xb2, 0x27, 0xb0, 0x45, 0xc3, 0xf4,
     0x89, 0xf2, 0xef, 0x98, 0xf0, 0xd5, 0xdf, 0xac, 0x05, 0xd3, 0xc6,
     0x33, 0x39, 0xb1, 0x38, 0x02, 0x88, 0x6d, 0x53, 0xfc, 0x05},
    {0xc7, 0x17, 0x6a, 0x70, 0x3d, 0x4d, 0xd8, 0x4f, 0xba, 0x3c, 0x0b,
     0x76, 0x0d, 0x10, 0x67, 0x0f, 0x2a, 0x20, 0x53, 0xfa, 0x2c, 0x39,
     0xcc, 0xc6, 0x4e, 0xc7, 0xfd, 0x77, 0x92, 0xac, 0x03, 0x7a},
};

bool is_label_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '-' || c == '_';
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

int hex_digit(char c) {
  if (is_digit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

char to_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// A stretch of the text, which is not NUL-terminated: only its n characters are looked at.
struct Span {
  const char* p = nullptr;
  size_t n = 0;
};

// Whether w is the lower-case word lw in any letter case.
bool is_word(Span w, const char* lw) {
  const size_t n = std::strlen(lw);
  if (w.n != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (to_lower(w.p[i]) != lw[i]) return false;
  return true;
}

// A TTL: seconds, or BIND's units (1h, 1h30m, 2d, 1w; any case).
bool is_ttl(Span w) {
  bool units = false;
  size_t i = 0;
  while (i < w.n) {
    size_t digits = 0;
    for (; i < w.n && is_digit(w.p[i]); ++i) ++digits;
    if (digits == 0 || digits > 10) return false;
    if (i == w.n) return !units;  // a bare number only alone
    const char u = to_lower(w.p[i++]);
    if (u != 's' && u != 'm' && u != 'h' && u != 'd' && u != 'w') return false;
    units = true;
  }
  return w.n > 0;
}

// "_key" (any case), alone or followed by "." and a DNS name, and short enough to keep.
bool owner_ok(Span w) {
  if (w.n < 4 || w.n > kOwnerMax || !is_word(Span{w.p, 4}, "_key")) return false;
  return w.n == 4 || (w.p[4] == '.' && vantiro_fqdn_ok(w.p + 5, w.n - 5) != 0);
}

struct Record {
  uint8_t key[VANTIRO_KEY_SIZE];
  uint8_t sig[VANTIRO_SIG_SIZE];
};

// Parses "k=<64 hex> s=<128 hex>" (lower case) of exactly VANTIRO_ANCHOR_LEN characters.
bool parse_record(const char* p, size_t len, Record* out) {
  if (len != VANTIRO_ANCHOR_LEN || std::memcmp(p, "k=", 2) != 0 ||
      std::memcmp(p + 2 + kKeyHex, " s=", 3) != 0)
    return false;
  return vantiro_unhex(p + 2, kKeyHex, out->key) == 0 &&
         vantiro_unhex(p + 5 + kKeyHex, kSigHex, out->sig) == 0;
}

enum class Tok { End, Word, String, Open, Close, Bad };

// The tokens of one line: words, quoted strings, parentheses; a ';' outside quotes ends
// the line. The strings' decoded text is joined as DNS joins a TXT record's strings; only
// a record's length of it is kept, a longer join just marks the line as too long.
struct Lexer {
  Lexer(const char* text, size_t len) : p(text), n(len) {}

  const char* p;
  size_t n;
  size_t i = 0;
  Span word;
  char joined[VANTIRO_ANCHOR_LEN] = {};
  size_t joined_len = 0;
  bool too_long = false;

  Tok next() {
    while (i < n && is_blank(p[i])) ++i;
    if (i == n || p[i] == ';') return Tok::End;
    if (p[i] == '(') return ++i, Tok::Open;
    if (p[i] == ')') return ++i, Tok::Close;
    if (p[i] == '"') return string() ? Tok::String : Tok::Bad;
    const size_t start = i;
    while (i < n && !is_blank(p[i]) && p[i] != ';' && p[i] != '"' && p[i] != '(' && p[i] != ')')
      ++i;
    word = Span{p + start, i - start};
    return Tok::Word;
  }

  // A quoted string with the escapes of DNS presentation format: \DDD (decimal, at most
  // 255) is that byte, a backslash before any other character is that character. The
  // closing quote must be on the same line.
  bool string() {
    ++i;
    while (i < n) {
      char c = p[i++];
      if (c == '"') return true;
      if (c == '\\') {
        if (i == n) return false;
        if (is_digit(p[i])) {
          if (n - i < 3 || !is_digit(p[i + 1]) || !is_digit(p[i + 2])) return false;
          const int v = (p[i] - '0') * 100 + (p[i + 1] - '0') * 10 + (p[i + 2] - '0');
          if (v > 255) return false;
          c = static_cast<char>(v);
          i += 3;
        } else {
          c = p[i++];
        }
      }
      if (joined_len < sizeof joined)
        joined[joined_len++] = c;
      else
        too_long = true;
    }
    return false;
  }
};

// What a line holds.
struct Line {
  enum Kind { Other, Record, Origin } kind = Other;
  Span owner;     // the owner word that begins the line, empty when none; Origin: the name
  ::Record rec{};  // Record
};

Line scan_line(const char* p, size_t n) {
  Line line;
  // The bare record, with blanks around it and perhaps a comment after it.
  Span bare{p, n};
  while (bare.n > 0 && is_blank(bare.p[0])) ++bare.p, --bare.n;
  if (const void* semi = std::memchr(bare.p, ';', bare.n))
    bare.n = static_cast<size_t>(static_cast<const char*>(semi) - bare.p);
  while (bare.n > 0 && is_blank(bare.p[bare.n - 1])) --bare.n;
  if (parse_record(bare.p, bare.n, &line.rec)) {
    line.kind = Line::Record;
    return line;
  }

  Lexer lx{p, n};
  Tok t = lx.next();
  if (t == Tok::End) return line;
  const bool owned = !is_blank(p[0]) && t == Tok::Word;
  if (owned && lx.word.p[0] == '$') {  // a directive: only $ORIGIN matters here
    if (is_word(lx.word, "$origin") && lx.next() == Tok::Word) {
      line.kind = Line::Origin;
      line.owner = lx.word;
    }
    return line;
  }
  if (owned) {
    line.owner = lx.word;
    t = lx.next();
  }
  bool parens = false;
  if (t == Tok::Word && owned && is_word(lx.word, "descriptive")) {  // host
    if (lx.next() != Tok::Word || !is_word(lx.word, "text")) return line;
    t = lx.next();
  } else if (t == Tok::Word && owned && is_word(lx.word, "text")) {  // nslookup
    if (lx.next() != Tok::Word || !is_word(lx.word, "=")) return line;
    t = lx.next();
  } else if (t == Tok::Word) {  // a zone line: TTL and class, each at most once, then TXT
    bool ttl = false, cls = false;
    for (;;) {
      if (is_word(lx.word, "txt")) break;
      if (!cls && is_word(lx.word, "in"))
        cls = true;
      else if (!ttl && is_ttl(lx.word))
        ttl = true;
      else
        return line;
      if (lx.next() != Tok::Word) return line;
    }
    t = lx.next();
    if (t == Tok::Open) {
      parens = true;
      t = lx.next();
    }
  } else if (owned) {
    return line;
  }
  if (t != Tok::String) return line;
  while (t == Tok::String) t = lx.next();
  if (parens) {
    if (t != Tok::Close) return line;
    t = lx.next();
  }
  if (t != Tok::End || lx.too_long || !parse_record(lx.joined, lx.joined_len, &line.rec))
    return line;
  line.kind = Line::Record;
  return line;
}

// A domain name resolved as a zone file means it, kept while it fits an anchor's owner.
struct Name {
  char s[kOwnerMax] = {};
  size_t n = 0;
  bool set = false;
  bool fits = true;

  void put(Span w) {
    if (!fits || w.n > kOwnerMax - n) {
      fits = false;
      return;
    }
    std::memcpy(s + n, w.p, w.n);
    n += w.n;
  }
  Span span() const { return Span{s, n}; }
  // Whether a record of this owner is an anchor.
  bool anchor() const { return fits && owner_ok(span()); }
};

// w read below origin: "@" is the origin, a name without a trailing dot is joined to it
// (once: below the root "." it takes no second dot); with no origin, w as given.
Name resolve(Span w, const Name& origin) {
  Name r;
  r.set = true;
  const bool at = is_word(w, "@");
  if (!origin.set || (!at && w.p[w.n - 1] == '.')) {
    r.put(w);
    return r;
  }
  if (!at) {
    r.put(w);
    if (!is_word(origin.span(), ".")) r.put(Span{".", 1});
  }
  r.fits = r.fits && origin.fits;
  r.put(origin.span());
  return r;
}

}  // namespace

int vantiro_fqdn_ok(const char* fqdn, size_t len) {
  if (fqdn == nullptr || len == 0) return 0;
  if (fqdn[len - 1] == '.') --len;  // one trailing dot: the name is absolute
  if (len == 0 || len > 253 - 5) return 0;
  size_t label = 0;
  for (size_t i = 0; i < len; ++i) {
    const char c = fqdn[i];
    if (c == '.') {
      if (label == 0) return 0;
      label = 0;
    } else if (is_label_char(c) && label < 63) {
      ++label;
    } else {
      return 0;
    }
  }
  return label != 0 ? 1 : 0;
}

int vantiro_unhex(const char* hex, size_t len, uint8_t* out) {
  if (hex == nullptr || out == nullptr || len % 2 != 0) return -1;
  for (size_t i = 0; i < len; ++i)
    if (hex_digit(hex[i]) < 0) return -1;
  for (size_t i = 0; i < len / 2; ++i)
    out[i] = static_cast<uint8_t>(hex_digit(hex[2 * i]) << 4 | hex_digit(hex[2 * i + 1]));
  return 0;
}

int vantiro_key_has_small_order(const uint8_t key[VANTIRO_KEY_SIZE]) {
  // y is the low 255 bits. y + 19 reaches bit 255 exactly when y >= p, and its low 255
  // bits are then y - p: the reduced y is picked by mask, with no branch on the key.
  uint8_t y[VANTIRO_KEY_SIZE], t[VANTIRO_KEY_SIZE];
  std::memcpy(y, key, sizeof y);
  y[31] &= 0x7f;
  unsigned carry = 19;
  for (size_t i = 0; i < sizeof y; ++i) {
    carry += y[i];
    t[i] = static_cast<uint8_t>(carry);
    carry >>= 8;
  }
  const uint8_t reduce = static_cast<uint8_t>(-(t[31] >> 7));
  t[31] &= 0x7f;
  for (size_t i = 0; i < sizeof y; ++i)
    y[i] = static_cast<uint8_t>((t[i] & reduce) | (y[i] & ~reduce));
  int hit = 0;
  for (const uint8_t* s : kSmallOrderY) hit |= core_equal_ct(y, s, sizeof y) ? 1 : 0;
  return hit;
}

namespace {

// The anchor records of a text, the same record counted once, with the owner each was
// first seen under (for the first VANTIRO_TRUST_MAX_ANCHORS).
struct Collected {
  Record seen[kMaxRecords];
  bool owned[kMaxRecords];  // seen under a "_key" owner, not only with no owner at all
  Name owner[VANTIRO_TRUST_MAX_ANCHORS];
  size_t count = 0;
};

void collect(const uint8_t* data, size_t len, Collected* c) {
  Name origin, current;  // $ORIGIN, and the owner of the last line that named one
  const char* p = reinterpret_cast<const char*>(data);
  size_t i = len >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
  while (i < len) {
    size_t end = i;
    while (end < len && p[end] != '\n' && p[end] != '\r') ++end;
    Line line = scan_line(p + i, end - i);
    i = end + (end + 1 < len && p[end] == '\r' && p[end + 1] == '\n' ? 2 : 1);

    if (line.kind == Line::Origin) {
      origin = resolve(line.owner, origin);
      continue;
    }
    if (line.owner.n != 0) current = resolve(line.owner, origin);
    if (line.kind != Line::Record) continue;
    const Name& owner = current.set ? current : origin;
    if (owner.set && !owner.anchor()) continue;
    size_t j = 0;
    while (j < c->count && std::memcmp(&c->seen[j], &line.rec, sizeof line.rec) != 0) ++j;
    if (j == c->count && c->count < kMaxRecords) {  // the bound is never hit
      c->seen[c->count] = line.rec;
      c->owned[c->count++] = false;
    }
    if (j < c->count && !c->owned[j] && owner.set && j < VANTIRO_TRUST_MAX_ANCHORS)
      c->owner[j] = owner;
    if (j < c->count) c->owned[j] = c->owned[j] || owner.set;
  }
  // A record with no owner is an anchor only where the text names no owner anywhere
  // (dig +short, the record alone): in a zone file it would be the record of a name
  // the text does not show.
  if (current.set || origin.set) {
    size_t kept = 0;
    for (size_t j = 0; j < c->count; ++j) {
      if (!c->owned[j]) continue;
      if (j < VANTIRO_TRUST_MAX_ANCHORS) c->owner[kept] = c->owner[j];
      c->seen[kept++] = c->seen[j];
    }
    c->count = kept;
  }
}

vantiro_anchor anchor_of(const Record& r, const Name& owner) {
  vantiro_anchor a{};
  std::memcpy(a.key, r.key, sizeof a.key);
  std::memcpy(a.sig, r.sig, sizeof a.sig);
  a.has_sig = 1;
  if (owner.set && owner.fits) std::memcpy(a.owner, owner.s, owner.n);
  return a;
}

// A raw public key (operator.pub): nothing to check it by.
int raw_key(const uint8_t* data, vantiro_anchor* out) {
  if (vantiro_key_has_small_order(data) != 0) return VANTIRO_ANCHOR_SMALL_ORDER;
  vantiro_anchor a{};
  std::memcpy(a.key, data, sizeof a.key);
  *out = a;
  return 0;
}

}  // namespace

int vantiro_anchor_parse_all(const uint8_t* data, size_t len, vantiro_anchor* out, int cap,
                             int* count) {
  if (count != nullptr) *count = 0;
  if (data == nullptr || out == nullptr || count == nullptr || cap < 1) return VANTIRO_ANCHOR_NONE;
  if (len > VANTIRO_ANCHOR_TEXT_MAX) return VANTIRO_ANCHOR_TOO_LARGE;
  if (len == VANTIRO_KEY_SIZE) {
    *count = 1;
    return raw_key(data, out);
  }
  Collected c;
  collect(data, len, &c);
  *count = static_cast<int>(c.count);
  if (c.count == 0) return VANTIRO_ANCHOR_NONE;
  if (c.count > static_cast<size_t>(cap) || c.count > VANTIRO_TRUST_MAX_ANCHORS)
    return VANTIRO_ANCHOR_SEVERAL;
  for (size_t j = 0; j < c.count; ++j)
    if (vantiro_key_has_small_order(c.seen[j].key) != 0) return VANTIRO_ANCHOR_SMALL_ORDER;
  for (size_t j = 0; j < c.count; ++j) out[j] = anchor_of(c.seen[j], c.owner[j]);
  return 0;
}

int vantiro_anchor_parse(const uint8_t* data, size_t len, vantiro_anchor* out, int* found) {
  int count = 0;
  vantiro_anchor a{};
  // Two different records are refused as such whatever their keys: the text does not
  // name one anchor.
  const int rc = out == nullptr ? VANTIRO_ANCHOR_NONE : vantiro_anchor_parse_all(data, len, &a, 1, &count);
  if (found != nullptr) *found = count;
  if (rc == 0) *out = a;
  return rc;
}

int vantiro_anchor_verify(const vantiro_anchor* a) {
  if (a == nullptr || a->has_sig == 0) return -1;
  uint8_t msg[VANTIRO_OPERATOR_MSG_SIZE];
  vantiro_operator_message(a->key, msg);
  return ed25519_verify(a->key, msg, sizeof msg, a->sig) == 0 ? 0 : -1;
}
