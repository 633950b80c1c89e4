// What a relying party trusts: the key it pinned, the successor statements that lead from
// it to the anchor in use, and the revocations that withdraw keys. The core follows them;
// the refusals are named here.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli_internal.h"
#include "crypt.h"

namespace cli {

namespace {

// The largest statement file read: a bundle of statements back to back.
constexpr size_t kStatementFileMax = 16 * 1024;

struct statement_set {
  int count = 0;
  vantiro_statement st[VANTIRO_TRUST_MAX_STATEMENTS] = {};
  const char* from[VANTIRO_TRUST_MAX_STATEMENTS] = {};
};

void key_prefix(const uint8_t key[VANTIRO_KEY_SIZE], char (&hex)[65]) {
  vantiro_hex(key, VANTIRO_KEY_SIZE, hex, sizeof hex);
}

// Reads the statements of one file, back to back, into set; with only_revocations, each
// must be a revocation. Prints why a file is refused; false then.
bool read_statements(const char* path, bool only_revocations, statement_set* set) {
  if (is_stdin(path)) {
    print_error("ERROR: --pin, --chain and --revoked take files, not standard input\n");
    return false;
  }
  uint8_t* buf = alloc_zeroed(kStatementFileMax);
  if (buf == nullptr) return false;
  size_t len = 0;
  const int rc = read_small_file(path, buf, kStatementFileMax, &len);
  bool ok = rc == 0;
  if (rc == -2) print_error("ERROR: %s is too large for statements\n", path);
  for (size_t at = 0; ok && (at < len || at == 0);) {
    if (set->count == VANTIRO_TRUST_MAX_STATEMENTS) {
      print_error("ERROR: more than %d statements given\n", VANTIRO_TRUST_MAX_STATEMENTS);
      ok = false;
      break;
    }
    vantiro_statement& st = set->st[set->count];
    size_t used = 0;
    const int read = vantiro_statement_read(buf + at, len - at, &st, &used);
    char hex[65];
    key_prefix(st.key, hex);
    if (read == -3)
      print_error("ERROR: %s is not signed by %.16s...\n", path, hex);
    else if (read != 0)
      print_error("ERROR: %s is not a successor or revocation statement (damaged, or another "
                   "file)\n",
                   path);
    else if (only_revocations && st.kind != VANTIRO_REVOCATION)
      print_error("ERROR: %s is not a revocation statement\n", path);
    ok = read == 0 && (!only_revocations || st.kind == VANTIRO_REVOCATION);
    if (ok) set->from[set->count++] = path;
    at += used;
  }
  std::free(buf);
  return ok;
}

// The --pin value: 64 hex digits, or a file holding them, a raw key or an anchor.
bool read_pin(const char* value, uint8_t pin[VANTIRO_KEY_SIZE]) {
  if (std::strlen(value) == 64 && vantiro_unhex(value, 64, pin) == 0) return true;
  if (is_stdin(value)) {
    print_error("ERROR: --pin, --chain and --revoked take files, not standard input\n");
    return false;
  }
  uint8_t buf[67];
  size_t len = 0;
  const int rc = read_small_file(value, buf, sizeof buf, &len);
  if (rc == -1) return false;
  if (rc == 0 && len > 64 && buf[len - 1] == '\n') --len;
  if (rc == 0 && len > 64 && buf[len - 1] == '\r') --len;
  if (rc == 0 && len == 64 && vantiro_unhex(reinterpret_cast<const char*>(buf), 64, pin) == 0)
    return true;
  vantiro_anchor a;
  if (!read_anchor(value, &a)) return false;
  std::memcpy(pin, a.key, VANTIRO_KEY_SIZE);
  return true;
}

// Names why the walk refused: each line names the statement file and key it is about.
void report_refusal(const char* path, const vantiro_trust& tr, const statement_set& set) {
  char hex[65];
  key_prefix(tr.key, hex);
  const char* from = tr.statement >= 0 ? set.from[tr.statement] : "";
  switch (tr.why) {
    case VANTIRO_TRUST_REVOKED:
      print_error("ERROR: key %.16s... was revoked (%s): trust must be re-established out of "
                   "band\n",
                   hex, set.st[tr.statement].reason);
      break;
    case VANTIRO_TRUST_UNSIGNED:
      print_error("ERROR: %s is not signed by %.16s...\n", from, hex);
      break;
    case VANTIRO_TRUST_OTHER_ANCHOR:
      print_error("ERROR: %s names anchor %.16s..., not the one given\n", from, hex);
      break;
    default:
      print_error("ERROR: %s holds no anchor of the pinned key %.16s..., and no --chain "
                   "statement leads to one\n",
                   shown(path), hex);
      break;
  }
}

}  // namespace

bool read_trusted_anchor(const char* path, const cmd_options& o, trusted_anchor* t) {
  t->pinned = o.pin != nullptr;
  if (!t->pinned && o.chain_count > 0) {
    print_error("ERROR: --chain needs --pin: the key the chain starts from\n");
    return false;
  }
  if (t->pinned && !read_pin(o.pin, t->pin)) return false;
  // Without a pin the input names one anchor, as it always has.
  if (!read_anchors(path, t->all, t->pinned ? VANTIRO_TRUST_MAX_ANCHORS : 1, &t->count))
    return false;
  t->a = t->all[0];
  if (!t->pinned && o.revoked_count == 0) return true;
  if (!t->pinned) std::memcpy(t->pin, t->a.key, VANTIRO_KEY_SIZE);
  // Large: on the heap for the walk alone.
  auto* set = static_cast<statement_set*>(std::calloc(1, sizeof(statement_set)));
  if (set == nullptr) {
    std::fputs("oom\n", stderr);
    return false;
  }
  bool ok = true;
  for (int i = 0; ok && i < o.chain_count; ++i) ok = read_statements(o.chain[i], false, set);
  for (int i = 0; ok && i < o.revoked_count; ++i) ok = read_statements(o.revoked[i], true, set);
  vantiro_trust tr{};
  if (ok && vantiro_trust_check(t->pin, set->st, set->count, t->all, t->count, &tr) != 0) {
    report_refusal(path, tr, *set);
    ok = false;
  }
  std::free(set);
  if (!ok) return false;
  t->used = tr.anchor;
  t->links = tr.links;
  t->a = t->all[tr.anchor];
  return true;
}

void print_trust_lines(const trusted_anchor* t) {
  if (!t->pinned) return;
  std::printf("  pinned: ");
  phex(t->pin, sizeof t->pin);
  std::printf(", reached through %d successor statement(s)\n", t->links);
  for (int i = 0; i < t->count; ++i) {
    if (i == t->used) continue;
    std::printf("  not used: ");
    phex(t->all[i].key, sizeof t->all[i].key);
    std::printf(" (another anchor record in the input)\n");
  }
}

bool make_statement(const vantiro_anchor* a, int k, char** paths, const cmd_options& o,
                    statement_maker make, const void* ctx, const char* what,
                    char (&time)[kUtcSize], char (&text)[VANTIRO_STATEMENT_TEXT_MAX],
                    size_t* len) {
  uint8_t root[kRoot];
  if (!rebuild_root_for(a, k, paths, o, root)) return false;
  utc_now(time);
  const int rc = make(root, time, ctx, text, sizeof text, len);
  secure_zero(root, sizeof root);
  if (rc != 0) print_error("ERROR: the %s statement was not made (rc=%d)\n", what, rc);
  return rc == 0;
}

bool write_statement(const char* out, const char* text, size_t len, bool secret) {
  if (write_file(out, reinterpret_cast<const uint8_t*>(text), len, secret) != 0) return false;
  std::printf("  wrote statement -> %s%s\n", out, secret ? " (owner-only)" : "");
  return sync_dir_of(out) == 0;
}

}  // namespace cli
