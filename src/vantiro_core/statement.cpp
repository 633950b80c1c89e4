// Succession and revocation: the statements a root signs for the root after it and against
// itself, read strictly, and the walk of a relying party from the key it pinned.
#include <cstring>

#include "core_internal.h"
#include "crypt.h"
#include "vantiro_core.h"

namespace {

constexpr char kSuccessorHead[] = "vantiro successor v1";
constexpr char kRevocationHead[] = "vantiro revocation v1";

bool head_is(const char* s, size_t len, const char* head) {
  return len == std::strlen(head) && std::memcmp(s, head, len) == 0;
}

// The body of a statement, every line through the one before the signature, into out.
bool render_body(const vantiro_statement* st, char* out, size_t cap, size_t* at) {
  *at = 0;
  const bool succ = st->kind == VANTIRO_SUCCESSOR;
  bool ok = core_append(out, cap, at, succ ? kSuccessorHead : kRevocationHead) &&
            core_append(out, cap, at, "\nkey: ") &&
            core_append_hex(out, cap, at, st->key, sizeof st->key);
  if (succ)
    ok = ok && core_append(out, cap, at, "\nsuccessor: ") &&
         core_append_hex(out, cap, at, st->successor, sizeof st->successor) &&
         core_append(out, cap, at, "\nanchor: k=") &&
         core_append_hex(out, cap, at, st->successor, sizeof st->successor) &&
         core_append(out, cap, at, " s=") &&
         core_append_hex(out, cap, at, st->anchor_sig, sizeof st->anchor_sig);
  ok = ok && core_append(out, cap, at, "\ntime: ") && core_append(out, cap, at, st->time);
  if (!succ) ok = ok && core_append(out, cap, at, "\nreason: ") && core_append(out, cap, at, st->reason);
  return ok && core_append(out, cap, at, "\n");
}

const char* context_of(const vantiro_statement* st) {
  return st->kind == VANTIRO_SUCCESSOR ? VANTIRO_SUCCESSOR_CONTEXT : VANTIRO_REVOCATION_CONTEXT;
}

// The fields of the statement at the start of text, and the length of its body and whole.
bool read_fields(const char* text, size_t n, vantiro_statement* st, size_t* body, size_t* len) {
  core_lines r{text, n, true};
  const char* p = nullptr;
  size_t l = 0;
  if (!r.line(&p, &l)) return false;
  if (head_is(p, l, kSuccessorHead))
    st->kind = VANTIRO_SUCCESSOR;
  else if (head_is(p, l, kRevocationHead))
    st->kind = VANTIRO_REVOCATION;
  else
    return false;
  if (!(r.line(&p, &l) && core_labelled_hex(p, l, "key: ", st->key, VANTIRO_KEY_SIZE))) return false;
  if (st->kind == VANTIRO_SUCCESSOR) {
    uint8_t named[VANTIRO_KEY_SIZE];
    if (!(r.line(&p, &l) && core_labelled_hex(p, l, "successor: ", st->successor, VANTIRO_KEY_SIZE)))
      return false;
    // "anchor: k=<key> s=<signature>": the key is the successor line's.
    if (!(r.line(&p, &l) && l == 8 + VANTIRO_ANCHOR_LEN && core_starts(p, l, "anchor: k=") &&
          vantiro_unhex(p + 10, 64, named) == 0 && core_labelled_hex(p + 74, l - 74, " s=", st->anchor_sig, VANTIRO_SIG_SIZE) &&
          std::memcmp(named, st->successor, sizeof named) == 0 &&
          std::memcmp(st->key, st->successor, VANTIRO_KEY_SIZE) != 0))
      return false;
  }
  if (!(r.line(&p, &l) && core_starts(p, l, "time: ") && core_utc_time(p + 6, l - 6))) return false;
  std::memcpy(st->time, p + 6, 20);
  st->time[20] = '\0';
  if (st->kind == VANTIRO_REVOCATION) {
    if (!(r.line(&p, &l) && core_starts(p, l, "reason: "))) return false;
    const size_t rl = l - 8;
    if (rl == 0 || rl > VANTIRO_REASON_MAX) return false;
    std::memcpy(st->reason, p + 8, rl);
    st->reason[rl] = '\0';
    if (vantiro_reason_ok(st->reason) == 0) return false;
  }
  *body = r.i;
  if (!(r.line(&p, &l) && core_labelled_hex(p, l, CORE_SIG_LABEL, st->sig, VANTIRO_SIG_SIZE)))
    return false;
  *len = r.i;
  return true;
}

// Signs the statement's body with the root, and checks that what was written reads back
// as the same statement under its signature.
int sign_statement(const uint8_t* root, const vantiro_statement* st, char* out, size_t cap,
                   size_t* len) {
  if (!core_root_is_consistent(root)) return -3;
  if (cap > VANTIRO_STATEMENT_TEXT_MAX) cap = VANTIRO_STATEMENT_TEXT_MAX;
  size_t at = 0;
  if (!render_body(st, out, cap, &at) ||
      !core_append_signature(root, context_of(st), out, cap, &at))
    return -1;
  vantiro_statement back{};
  size_t used = 0;
  const int rc = vantiro_statement_read(reinterpret_cast<const uint8_t*>(out), at, &back, &used);
  if (rc == -3) return -4;
  if (rc != 0 || used != at) return -1;
  *len = at;
  return 0;
}

}  // namespace

int vantiro_reason_ok(const char* reason) {
  if (reason == nullptr) return 0;
  size_t n = 0;
  for (; reason[n] != '\0'; ++n)
    if (n == VANTIRO_REASON_MAX || reason[n] < 0x20 || reason[n] > 0x7e) return 0;
  return n > 0 ? 1 : 0;
}

int vantiro_successor_make(const uint8_t root[VANTIRO_ROOT_SIZE], const vantiro_anchor* next,
                           const char* time, char* out, size_t cap, size_t* len) {
  if (root == nullptr || next == nullptr || time == nullptr || out == nullptr || len == nullptr)
    return -1;
  // The new anchor's self-signature is its holders' proof that they made it.
  if (vantiro_anchor_verify(next) != 0 || !core_utc_time(time, std::strlen(time)) ||
      std::memcmp(next->key, root + 32, VANTIRO_KEY_SIZE) == 0)
    return -1;
  vantiro_statement st{};
  st.kind = VANTIRO_SUCCESSOR;
  std::memcpy(st.key, root + 32, sizeof st.key);
  std::memcpy(st.successor, next->key, sizeof st.successor);
  std::memcpy(st.anchor_sig, next->sig, sizeof st.anchor_sig);
  std::memcpy(st.time, time, 21);
  return sign_statement(root, &st, out, cap, len);
}

int vantiro_revocation_make(const uint8_t root[VANTIRO_ROOT_SIZE], const char* time,
                            const char* reason, char* out, size_t cap, size_t* len) {
  if (root == nullptr || time == nullptr || out == nullptr || len == nullptr ||
      !core_utc_time(time, std::strlen(time)) || vantiro_reason_ok(reason) == 0)
    return -1;
  vantiro_statement st{};
  st.kind = VANTIRO_REVOCATION;
  std::memcpy(st.key, root + 32, sizeof st.key);
  std::memcpy(st.time, time, 21);
  std::memcpy(st.reason, reason, std::strlen(reason) + 1);
  return sign_statement(root, &st, out, cap, len);
}

int vantiro_statement_read(const uint8_t* text, size_t len, vantiro_statement* out,
                           size_t* used) {
  if (text == nullptr || out == nullptr || used == nullptr) return -1;
  if (len > VANTIRO_STATEMENT_TEXT_MAX) len = VANTIRO_STATEMENT_TEXT_MAX;
  const char* t = reinterpret_cast<const char*>(text);
  vantiro_statement st{};
  size_t body = 0, whole = 0;
  if (!read_fields(t, len, &st, &body, &whole)) return -1;
  // The signed bytes are those read: the strict layout renders them again.
  char again[VANTIRO_STATEMENT_TEXT_MAX];
  size_t again_len = 0;
  if (!render_body(&st, again, sizeof again, &again_len) || again_len != body ||
      std::memcmp(again, t, body) != 0)
    return -1;
  *out = st;
  *used = whole;
  return core_text_verify(context_of(&st), st.key, t, body, st.sig) ? 0 : -3;
}

namespace {

// A key reached from the pin: through which statement, from which node, how deep.
struct Node {
  const uint8_t* key;
  int via;     // the successor statement that names it; -1 for the pin
  int parent;  // the node it was reached from
  int depth;
};

struct Walk {
  Node node[VANTIRO_TRUST_MAX_STATEMENTS + 1];
  int count = 0;
};

bool same_key(const uint8_t* a, const uint8_t* b) {
  return std::memcmp(a, b, VANTIRO_KEY_SIZE) == 0;
}

// The revocation among the statements of key, or -1.
int revocation_of(const vantiro_statement* st, int count, const uint8_t* key) {
  for (int i = 0; i < count; ++i)
    if (st[i].kind == VANTIRO_REVOCATION && same_key(st[i].key, key)) return i;
  return -1;
}

// Every key reached from the pin by successor statements, breadth first; with heed_revoked,
// no statement of a revoked key is followed.
void walk(const uint8_t* pin, const vantiro_statement* st, int count, bool heed_revoked, Walk* w) {
  w->count = 1;
  w->node[0] = Node{pin, -1, -1, 0};
  for (int at = 0; at < w->count; ++at) {
    const Node from = w->node[at];
    if (heed_revoked && revocation_of(st, count, from.key) >= 0) continue;
    for (int i = 0; i < count; ++i) {
      if (st[i].kind != VANTIRO_SUCCESSOR || !same_key(st[i].key, from.key)) continue;
      int known = 0;
      while (known < w->count && !same_key(w->node[known].key, st[i].successor)) ++known;
      if (known == w->count) w->node[w->count++] = Node{st[i].successor, i, at, from.depth + 1};
    }
  }
}

const Walk& heeded_walk(const uint8_t* pin, const vantiro_statement* st, int count, Walk* w) {
  walk(pin, st, count, true, w);
  return *w;
}

// The node whose key is the anchor's, reached as the anchor is published: the pin itself,
// or a node whose statement names this very record. -1 when none.
int node_of(const Walk& w, const vantiro_statement* st, const vantiro_anchor& a) {
  for (int n = 0; n < w.count; ++n) {
    if (!same_key(w.node[n].key, a.key)) continue;
    const int via = w.node[n].via;
    if (via < 0 || (a.has_sig != 0 && std::memcmp(st[via].anchor_sig, a.sig, VANTIRO_SIG_SIZE) == 0))
      return n;
  }
  return -1;
}

// The anchor reached through the most statements, its node in *node; -1 when none is.
int deepest_anchor(const Walk& w, const vantiro_statement* st, const vantiro_anchor* anchors,
                   int anchor_count, int* node) {
  int best = -1;
  for (int j = 0; j < anchor_count; ++j) {
    const int n = node_of(w, st, anchors[j]);
    if (n < 0) continue;
    if (best < 0 || w.node[n].depth > w.node[*node].depth) {
      best = j;
      *node = n;
    }
  }
  return best;
}

}  // namespace

int vantiro_trust_check(const uint8_t pin[VANTIRO_KEY_SIZE], const vantiro_statement* statements,
                        int count, const vantiro_anchor* anchors, int anchor_count,
                        vantiro_trust* out) {
  if (pin == nullptr || anchors == nullptr || out == nullptr || count < 0 ||
      count > VANTIRO_TRUST_MAX_STATEMENTS || (count > 0 && statements == nullptr) ||
      anchor_count < 1 || anchor_count > VANTIRO_TRUST_MAX_ANCHORS)
    return -1;
  *out = vantiro_trust{};
  out->statement = -1;
  const vantiro_statement* st = statements;
  // The anchor the statements lead to is the newest reached; revocations do not make an
  // older one stand in for it.
  Walk w;
  int node = 0;
  walk(pin, st, count, false, &w);
  const int target = deepest_anchor(w, st, anchors, anchor_count, &node);
  if (target >= 0) {
    Walk heeded;
    const int n = node_of(heeded_walk(pin, st, count, &heeded), st, anchors[target]);
    if (n >= 0 && revocation_of(st, count, anchors[target].key) < 0) {
      out->anchor = target;
      out->links = heeded.node[n].depth;
      return 0;
    }
    // Reached only through a revoked key: the one nearest the pin is named.
    for (int at = node; at >= 0; at = w.node[at].parent) {
      const int r = revocation_of(st, count, w.node[at].key);
      if (r < 0) continue;
      out->why = VANTIRO_TRUST_REVOKED;
      out->statement = r;
      std::memcpy(out->key, w.node[at].key, VANTIRO_KEY_SIZE);
    }
    if (out->why == VANTIRO_TRUST_REVOKED) return 1;
  }
  // The chain breaks. Where it names a key of an anchor given but another record, or leads
  // past the pin to no anchor given, its last link names the anchor it leads to.
  int last = -1;
  for (int n = 1; n < w.count; ++n) {
    bool given = false;
    for (int j = 0; j < anchor_count; ++j) given = given || same_key(anchors[j].key, w.node[n].key);
    if (given) {
      last = n;
      break;
    }
    if (last < 0 || w.node[n].depth > w.node[last].depth) last = n;
  }
  if (last > 0) {
    out->why = VANTIRO_TRUST_OTHER_ANCHOR;
    out->statement = w.node[last].via;
    std::memcpy(out->key, w.node[last].key, VANTIRO_KEY_SIZE);
    return 1;
  }
  // Nothing leads from the pin: a successor statement given is signed by another key.
  std::memcpy(out->key, pin, VANTIRO_KEY_SIZE);
  out->why = VANTIRO_TRUST_UNREACHED;
  for (int i = 0; i < count && out->statement < 0; ++i) {
    if (st[i].kind != VANTIRO_SUCCESSOR) continue;
    out->why = VANTIRO_TRUST_UNSIGNED;
    out->statement = i;
  }
  return 1;
}
