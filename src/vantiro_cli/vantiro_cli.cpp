// vantiro-cli: command selection, and what every command shares at its end - the report
// must have reached standard output, and no secret may stay on the stack or in registers.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli_internal.h"
#include "cli_main.h"
#include "crypt.h"

namespace {

// Bytes of stack cleared after a command: well beyond the deepest call chain below it
// (reading an anchor reaches about 71 KiB in an optimised build).
constexpr size_t kScrubBytes = 256 * 1024;

// The hash, signing and interpolation routines leave their temporaries (message
// schedules, hash states, scalars) on the stack below the command, and inlined copies
// of shares and roots leave their last 16-byte pieces in vector registers. Overwriting
// that stack region and those registers once the command is done leaves none of them.
[[gnu::noinline]] void scrub_stack_and_registers() {
  uint8_t region[kScrubBytes];
  secure_zero(region, sizeof region);
  cli::scrub_registers();
}

// A share or root count: plain decimal digits within int, else 0 (which the range
// check refuses).
int parse_count(const char* s) {
  if (*s == '\0') return 0;
  long long v = 0;
  for (const char* p = s; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return 0;
    v = v * 10 + (*p - '0');
    if (v > INT_MAX) return 0;
  }
  return static_cast<int>(v);
}

bool is(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

// A handler's result for a count of operands the table's bounds cannot refuse (verify's
// two): the usage text and what the command takes.
constexpr int kShowUsage = -1;

// ---- Options: they may stand anywhere among the operands; "--" ends them --------------

constexpr unsigned kOptHelp = 1u << 0;
constexpr unsigned kOptSplit = 1u << 1;
constexpr unsigned kOptTo = 1u << 2;
constexpr unsigned kOptKey = 1u << 3;
constexpr unsigned kOptGpg = 1u << 4;
constexpr unsigned kOptHash = 1u << 5;
constexpr unsigned kOptFiles = 1u << 6;
constexpr unsigned kOptTranscript = 1u << 7;
constexpr unsigned kOptPin = 1u << 8;
constexpr unsigned kOptChain = 1u << 9;
constexpr unsigned kOptRevoked = 1u << 10;
constexpr unsigned kOptReason = 1u << 11;
// What a relying party gives where an anchor is read.
constexpr unsigned kOptTrust = kOptPin | kOptChain | kOptRevoked;
constexpr unsigned kOptFormat = 1u << 12;
constexpr unsigned kOptNamespace = 1u << 13;

using options = cli::cmd_options;

struct option_row {
  const char* name;
  unsigned bit;
  const char* value_name;       // "<split-record>", or null for an option without a value
  const char* options::*value;  // where its one value goes, or null
  // Where the values of an option given any number of times go, and their count; null
  // for an option without values.
  const char* (options::*list)[cli::kMaxListed];
  int options::*count;
  const char* help;             // its line in a command's help
  const char* help_once;        // its line for a command that takes it once, or null
};

const option_row kOptions[] = {
    {"--help", kOptHelp, nullptr, nullptr, nullptr, nullptr, "--help  this text", nullptr},
    {"--split", kOptSplit, "<split-record>", &options::split, nullptr, nullptr,
     "--split <split-record>  check every share against the split record first, and the\n"
     "    root rebuilt against its key",
     nullptr},
    {"--to", kOptTo, "<pubfile>", nullptr, &options::to, &options::to_count,
     "--to <pubfile>  seal a share to this custodian's key: a .pub file from keygen, or an\n"
     "    age recipient (age1..., or a file holding one), or an OpenPGP certificate; once\n"
     "    per share, in share order. No share is written in the clear",
     "--to <pubfile>  seal the share to this custodian's key: a .pub file from keygen, or\n"
     "    an age recipient (age1..., or a file holding one), or an OpenPGP certificate;\n"
     "    given once. The share is not written in the clear"},
    {"--key", kOptKey, "<keyfile>", nullptr, &options::key, &options::key_count,
     "--key <keyfile>  a custodian's secret key (keygen's key file, or an age identity\n"
     "    file), to open the share sealed to it; up to 16",
     nullptr},
    {"--hash", kOptHash, nullptr, nullptr, nullptr, nullptr,
     "--hash  also print the SHA-256 of the program's own file, to compare with the\n"
     "    release's SHA256SUMS",
     nullptr},
    {"--files", kOptFiles, nullptr, nullptr, nullptr, nullptr,
     "--files  hash each file an entry says was written again: as written, changed (an\n"
     "    error) or not here",
     nullptr},
    {"--gpg", kOptGpg, nullptr, nullptr, nullptr, nullptr,
     "--gpg  open each share that is an OpenPGP message with gpg (or the program named by\n"
     "    VANTIRO_GPG), its output read through a pipe",
     nullptr},
    {"--transcript", kOptTranscript, "<file>", &options::transcript, nullptr, nullptr,
     "--transcript <file>  append this run's entry, signed by the root, to the ceremony's\n"
     "    transcript (created when absent; mint starts a new one)",
     nullptr},
    {"--pin", kOptPin, "<key>", &options::pin, nullptr, nullptr,
     "--pin <key>  accept only an anchor of this key (64 hex digits, or a file holding a key\n"
     "    or an anchor) or one reached from it by --chain statements; of several records in\n"
     "    the anchor input, the newest reachable is used",
     nullptr},
    {"--chain", kOptChain, "<statement>", nullptr, &options::chain, &options::chain_count,
     "--chain <statement>  a successor statement (or a file of statements, revocations\n"
     "    too) leading from the pinned key; any number",
     nullptr},
    {"--revoked", kOptRevoked, "<statement>", nullptr, &options::revoked, &options::revoked_count,
     "--revoked <statement>  a revocation: its key, and every key reached through it, is\n"
     "    refused; any number",
     nullptr},
    {"--reason", kOptReason, "<text>", &options::reason, nullptr, nullptr,
     "--reason <text>  why the root is revoked: one line of printable ASCII, at most 200\n"
     "    bytes (default \"revoked by its custodians\")",
     nullptr},
    {"--format", kOptFormat, "<format>", &options::format, nullptr, nullptr,
     "--format <format>  the form written for a stock verifier: pubkey's hex (default),\n"
     "    pem, openssh, signify or minisign; sign's raw (default), signify, minisign or ssh",
     nullptr},
    {"--namespace", kOptNamespace, "<ns>", &options::ns, nullptr, nullptr,
     "--namespace <ns>  the SSH signature namespace (default file)", nullptr},
};

// ---- Commands --------------------------------------------------------------------------

struct command_row {
  const char* name;
  const char* usage;  // the operands, after "vantiro-cli <name>"
  const char* about;  // what it does, for "<name> --help"
  int min_operands;
  int max_operands;   // -1: any number
  unsigned takes;     // the options it takes
  unsigned once;      // of those given any number of times, the ones it takes once
  // The operands; the exit status or kShowUsage.
  int (*run)(const options& o, int argc, char** argv);
};

int run_help(const options&, int argc, char** argv);
int run_version(const options&, int, char**);

int run_selftest(const options&, int, char**) { return cli::cmd_selftest(); }

int run_keygen(const options&, int, char** argv) { return cli::cmd_keygen(argv[0], argv[1]); }

int run_mint(const options& o, int, char** argv) {
  return cli::cmd_mint(parse_count(argv[0]), parse_count(argv[1]), argv[2], argv[3], o);
}

int run_recover(const options& o, int argc, char** argv) {
  if (argc == 2) {
    cli::print_error("ERROR: need >= t shares\n");
    return 1;
  }
  return cli::cmd_recover(argv[0], argc - 1, argv + 1, o);
}

int run_sign(const options& o, int argc, char** argv) {
  return cli::cmd_sign(argv[0], argv[1], argv[2], argc - 3, argv + 3, o);
}

int run_verify(const options& o, int argc, char** argv) {
  if (argc == 2) return kShowUsage;
  return argc == 1 ? cli::cmd_verify(argv[0], nullptr, nullptr, o)
                   : cli::cmd_verify(argv[0], argv[1], argv[2], o);
}

int run_pubkey(const options& o, int, char** argv) { return cli::cmd_pubkey(argv[0], o); }

int run_reshare(const options& o, int argc, char** argv) {
  return cli::cmd_reshare(parse_count(argv[0]), parse_count(argv[1]), argv[2], argv[3], argc - 4,
                          argv + 4, o);
}

int run_reissue(const options& o, int argc, char** argv) {
  return cli::cmd_reissue(parse_count(argv[0]), argv[1], argv[2], argc - 3, argv + 3, o);
}

int run_transcript(const options& o, int, char** argv) {
  return cli::cmd_transcript(argv[0], argv[1], o);
}

int run_check(const options& o, int argc, char** argv) {
  return cli::cmd_check(argv[0], argv[1], argc - 2, argv + 2, o);
}

int run_successor(const options& o, int argc, char** argv) {
  return cli::cmd_successor(argv[0], argv[1], argv[2], argc - 3, argv + 3, o);
}

int run_revoke(const options& o, int argc, char** argv) {
  return cli::cmd_revoke(argv[0], argv[1], argc - 2, argv + 2, o);
}

const command_row kCommands[] = {
    {"selftest", "",
     "Mints a 3-of-5 root in memory, rebuilds it from shares 1, 3 and 5 and verifies its\n"
     "anchor from the text alone; prints PASS or FAIL and writes nothing. Further operands\n"
     "are ignored.",
     0, -1, kOptHelp, 0, run_selftest},
    {"mint", "<n> <t> <fqdn> <outdir>",
     "Mints a root and splits it into n shares of which any t rebuild it (2 <= t <= n <= 16).\n"
     "Writes operator.pub, the zone line _key.txt for _key.<fqdn>, one owner-only file per\n"
     "share (sealed to its custodian with --to) and the split record shares.txt into the\n"
     "existing directory outdir, all created new.",
     4, 4, kOptHelp | kOptTo | kOptTranscript, 0, run_mint},
    {"recover", "<outkey> <share1> <share2> ...",
     "Rebuilds the root from at least t share files and writes its 64 bytes to the new\n"
     "owner-only file outkey.",
     2, -1, kOptHelp | kOptSplit | kOptKey | kOptGpg | kOptTranscript, 0, run_recover},
    {"sign", "<anchor> <message> <sigout> <share1> <share2> ...",
     "Signs the message file with the root rebuilt in memory from the shares; the 64-byte\n"
     "signature is written to the new file sigout only after it verifies under the anchor's\n"
     "key. The anchor may be - (standard input); the message is read twice (once for\n"
     "--format minisign or ssh), so it must be a file. --format writes the signature file a\n"
     "stock verifier reads.",
     5, -1,
     kOptHelp | kOptSplit | kOptKey | kOptGpg | kOptTrust | kOptTranscript | kOptFormat |
         kOptNamespace,
     0, run_sign},
    {"verify", "<anchor> [<message> <signature>]",
     "Checks the anchor's self-signature, and the signature of the message under its key.\n"
     "The anchor is a _key.txt zone line, DNS tool output (dig, kdig, host, nslookup), a zone\n"
     "file holding one anchor record, or operator.pub. One operand may be - (standard input).\n"
     "The signature is sign's in any --format, or one signify, minisign or ssh-keygen -Y\n"
     "sign made with the root; its keynum is printed.",
     1, 3, kOptHelp | kOptTrust | kOptNamespace, 0, run_verify},
    {"pubkey", "<anchor>",
     "Prints the anchor's key, once its self-signature verifies, in the form a relying\n"
     "party's verifier reads: hex, PEM for openssl pkeyutl, an OpenSSH key line for\n"
     "ssh-keygen -Y verify, a signify or a minisign public key.",
     1, 1, kOptHelp | kOptTrust | kOptFormat, 0, run_pubkey},
    {"reshare", "<n> <t> <anchor> <outdir> <share1> <share2> ...",
     "Splits the root rebuilt from the shares anew into n shares of which any t rebuild it,\n"
     "written into outdir; the published anchor stays.",
     6, -1, kOptHelp | kOptSplit | kOptTo | kOptKey | kOptGpg | kOptTranscript, 0,
     run_reshare},
    {"reissue", "<x> <anchor> <outdir> <share1> <share2> ...",
     "Writes the share at x (1 to 255) of the existing split into outdir: a lost share\n"
     "again, byte for byte, or a share for a new custodian. With --split, also the split\n"
     "record with the new share's line, signed by the root.",
     5, -1, kOptHelp | kOptSplit | kOptTo | kOptKey | kOptGpg | kOptTranscript, kOptTo,
     run_reissue},
    {"check", "<anchor> <split-record> [<share>...]",
     "Checks the split record under the anchor's key, prints the split, and checks each\n"
     "share given against it, alone: combining nothing and writing nothing.",
     2, -1, kOptHelp | kOptKey | kOptGpg | kOptTrust, 0, run_check},
    {"successor", "<old-anchor> <new-anchor> <out> <share1> <share2> ...",
     "The old root, rebuilt in memory from its shares, signs a successor statement for the\n"
     "new anchor into the new file out: relying parties who pinned the old key follow it\n"
     "to the new one (--chain).",
     5, -1, kOptHelp | kOptSplit | kOptKey | kOptGpg | kOptTranscript, 0, run_successor},
    {"revoke", "<anchor> <out> <share1> <share2> ...",
     "The root, rebuilt in memory from its shares, signs its own revocation into the new\n"
     "owner-only file out: relying parties given it (--revoked) refuse its key and every\n"
     "key it vouched for.",
     4, -1, kOptHelp | kOptSplit | kOptKey | kOptGpg | kOptTranscript | kOptReason, 0,
     run_revoke},
    {"transcript", "<file> <anchor>",
     "Checks a ceremony's transcript under the anchor's key: every entry's layout, number,\n"
     "chain to the entry before and signature; prints a line per entry and the head.",
     2, 2, kOptHelp | kOptFiles, 0, run_transcript},
    {"keygen", "<keyout> <pubout>",
     "Makes a custodian's key pair: the secret key, as an age identity, into the new\n"
     "owner-only file keyout, the public key (64 hex digits) into the new file pubout,\n"
     "which goes to the ceremony as a --to key.",
     2, 2, kOptHelp, 0, run_keygen},
    {"help", "[<command>]", "Prints the usage text, or a command's usage and description.", 0, 1,
     kOptHelp, 0, run_help},
    {"version", "", "Prints the program's version.", 0, 0, kOptHelp | kOptHash, 0, run_version},
};

const command_row* find_command(const char* name) {
  for (const command_row& c : kCommands)
    if (is(name, c.name)) return &c;
  return nullptr;
}

// "  vantiro-cli <name> [<option> <value>]... [<flag>] <operands>": every option the
// command takes but --help, "..." after those it takes any number of times.
void print_usage_line(FILE* to, const command_row& c) {
  std::fprintf(to, "  vantiro-cli %s", c.name);
  for (const option_row& o : kOptions) {
    if ((c.takes & o.bit) == 0 || o.bit == kOptHelp) continue;
    if (o.value_name == nullptr) {
      std::fprintf(to, " [%s]", o.name);
      continue;
    }
    const bool many = o.list != nullptr && (c.once & o.bit) == 0;
    std::fprintf(to, " [%s %s]%s", o.name, o.value_name, many ? "..." : "");
  }
  std::fprintf(to, "%s%s\n", c.usage[0] != '\0' ? " " : "", c.usage);
}

int usage(FILE* to, int status) {
  std::fputs("Ardessa Vantiro CLI\n", to);
  for (const command_row& c : kCommands) print_usage_line(to, c);
  return status;
}

int command_help(const command_row& c) {
  std::fputs("usage:\n", stdout);
  print_usage_line(stdout, c);
  std::printf("\n%s\n\noptions:\n", c.about);
  for (const option_row& o : kOptions)
    if ((c.takes & o.bit) != 0)
      std::printf("  %s\n", (c.once & o.bit) != 0 && o.help_once != nullptr ? o.help_once : o.help);
  return 0;
}

int run_help(const options&, int argc, char** argv) {
  if (argc == 0) return usage(stdout, 0);
  const command_row* c = find_command(argv[0]);
  return c != nullptr ? command_help(*c) : usage(stderr, 1);
}

int run_version(const options& o, int, char**) {
  std::printf("vantiro-cli %s\n", VANTIRO_VERSION);
  if (!o.hash) return 0;
  uint8_t digest[32];
  if (!cli::program_sha256(digest)) return 1;
  std::printf("sha256: ");
  cli::phex(digest, sizeof digest);
  std::printf("\n");
  return 0;
}

// The usage text, then what the command takes: for a wrong count of operands.
int wrong_operands(const command_row& c) {
  usage(stderr, 1);
  cli::print_error("ERROR: %s takes %s\n", c.name, c.usage[0] != '\0' ? c.usage : "no operands");
  return 1;
}

// Takes one option of c at argv[*i] (and its value) into opts; false after printing why
// it is refused.
bool take_option(const command_row& c, int argc, char** argv, int* i, options* opts,
                 unsigned* given) {
  const char* word = argv[*i];
  const option_row* o = nullptr;
  for (const option_row& row : kOptions)
    if (is(word, row.name)) o = &row;
  if (o == nullptr) {
    cli::print_error("ERROR: unknown option %s\n", word);
    return false;
  }
  if ((c.takes & o->bit) == 0) {
    cli::print_error("ERROR: %s does not take %s\n", c.name, o->name);
    return false;
  }
  // A second value of a one-value option would silently replace the first.
  const bool once = o->value != nullptr || (c.once & o->bit) != 0;
  if (once && o->value_name != nullptr && (*given & o->bit) != 0) {
    cli::print_error("ERROR: %s is given twice\n", o->name);
    return false;
  }
  *given |= o->bit;
  if (o->value_name == nullptr) return true;
  if (*i + 1 >= argc) {
    cli::print_error("ERROR: %s needs a value\n", o->name);
    return false;
  }
  const char* value = argv[++*i];
  if (o->value != nullptr) {
    opts->*(o->value) = value;
    return true;
  }
  int& count = opts->*(o->count);
  if (count == cli::kMaxListed) {
    cli::print_error("ERROR: %s is given more than %d times\n", o->name, cli::kMaxListed);
    return false;
  }
  (opts->*(o->list))[count++] = value;
  return true;
}

// Options may stand anywhere among the operands, up to "--", after which every word is an
// operand; the operands keep their order.
int run_command(const command_row& c, int argc, char** argv) {
  char** operands = static_cast<char**>(std::calloc(static_cast<size_t>(argc), sizeof *operands));
  if (operands == nullptr) {
    std::fputs("oom\n", stderr);
    return 1;
  }
  int count = 0;
  unsigned given = 0;
  options opts;
  bool ended = false;
  bool ok = true;
  for (int i = 2; ok && i < argc; ++i) {
    const char* w = argv[i];
    if (ended || w[0] != '-' || w[1] != '-')
      operands[count++] = argv[i];
    else if (w[2] == '\0')
      ended = true;
    else
      ok = take_option(c, argc, argv, &i, &opts, &given);
  }
  opts.gpg = (given & kOptGpg) != 0;
  opts.hash = (given & kOptHash) != 0;
  opts.files = (given & kOptFiles) != 0;
  int status = 1;
  if (ok && (given & kOptHelp) != 0) {
    status = command_help(c);
  } else if (ok) {
    const bool fits = count >= c.min_operands && (c.max_operands < 0 || count <= c.max_operands);
    if (fits && opts.transcript != nullptr) cli::transcript_begin(opts.transcript, argc - 1, argv + 1);
    status = fits ? cli::transcript_finish(c.run(opts, count, operands)) : kShowUsage;
    if (status == kShowUsage) status = wrong_operands(c);
  }
  std::free(operands);
  return status;
}

int dispatch(int argc, char** argv) {
  if (argc < 2) return usage(stderr, 1);
  const char* word = argv[1];
  if (is(word, "--help") || is(word, "-h")) return usage(stdout, 0);
  if (is(word, "--version")) return run_version(options{}, 0, nullptr);
  if (word[0] == '-' && word[1] != '\0') {
    cli::print_error("ERROR: unknown option %s\n", word);
    return 1;
  }
  const command_row* c = find_command(word);
  return c != nullptr ? run_command(*c, argc, argv) : usage(stderr, 1);
}

}  // namespace

int vantiro_cli_main(int argc, char** argv) {
  int status = dispatch(argc, argv);
  scrub_stack_and_registers();
  // The report is part of the result: one that did not reach standard output fails the
  // command, though the files already written stay.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    cli::print_error("ERROR: cannot write the report\n");
    status = 1;
  }
  return status;
}
