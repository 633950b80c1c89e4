// vantiro-cli: command selection, and what every command shares at its end - the report
// must have reached standard output, and no secret may stay on the stack or in registers.
#include <climits>
#include <cstdio>
#include <cstring>

#include "cli_internal.h"
#include "cli_main.h"
#include "crypt.h"

namespace {

// Bytes of stack cleared after a command: well beyond the deepest call chain below it.
constexpr size_t kScrubBytes = 64 * 1024;

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

// A handler's result that asks for the usage text instead (operand counts the table's
// bounds cannot say, such as verify's one or three).
constexpr int kShowUsage = -1;

// ---- Options: they stand right after the command name; "--" ends them -----------------

constexpr unsigned kOptHelp = 1u << 0;
constexpr unsigned kOptSplit = 1u << 1;
constexpr unsigned kOptTo = 1u << 2;
constexpr unsigned kOptKey = 1u << 3;

using options = cli::cmd_options;

struct option_row {
  const char* name;
  unsigned bit;
  const char* options::*value;  // where its one value goes, or null
  // Where the values of an option given any number of times go, and their count; null
  // for an option without values.
  const char* (options::*list)[cli::kMaxListed];
  int options::*count;
  const char* help;             // its line in a command's help
};

const option_row kOptions[] = {
    {"--help", kOptHelp, nullptr, nullptr, nullptr, "--help  this text"},
    {"--split", kOptSplit, &options::split, nullptr, nullptr,
     "--split <split-record>  check every share against the split record first, and the\n"
     "    root rebuilt against its key"},
    {"--to", kOptTo, nullptr, &options::to, &options::to_count,
     "--to <pubfile>  seal a share to this custodian's public key (from keygen); once per\n"
     "    share, in share order. No share is written in the clear"},
    {"--key", kOptKey, nullptr, &options::key, &options::key_count,
     "--key <keyfile>  a custodian's secret key (from keygen), to open the sealed share\n"
     "    sealed to it; up to 16"},
};

// ---- Commands --------------------------------------------------------------------------

struct command_row {
  const char* name;
  const char* usage;  // the operands, after "vantiro-cli <name>"
  const char* about;  // what it does, for "<name> --help"
  int min_operands;
  int max_operands;   // -1: any number
  unsigned takes;     // the options it takes
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
    std::fputs("ERROR: need >= t shares\n", stderr);
    return 1;
  }
  return cli::cmd_recover(argv[0], argc - 1, argv + 1, o);
}

int run_sign(const options& o, int argc, char** argv) {
  return cli::cmd_sign(argv[0], argv[1], argv[2], argc - 3, argv + 3, o);
}

int run_verify(const options&, int argc, char** argv) {
  if (argc == 2) return kShowUsage;
  return argc == 1 ? cli::cmd_verify(argv[0], nullptr, nullptr)
                   : cli::cmd_verify(argv[0], argv[1], argv[2]);
}

int run_reshare(const options& o, int argc, char** argv) {
  return cli::cmd_reshare(parse_count(argv[0]), parse_count(argv[1]), argv[2], argv[3], argc - 4,
                          argv + 4, o);
}

int run_reissue(const options& o, int argc, char** argv) {
  return cli::cmd_reissue(parse_count(argv[0]), argv[1], argv[2], argc - 3, argv + 3, o);
}

int run_check(const options& o, int argc, char** argv) {
  return cli::cmd_check(argv[0], argv[1], argc - 2, argv + 2, o);
}

const command_row kCommands[] = {
    {"selftest", "",
     "Mints a 3-of-5 root in memory, rebuilds it from shares 1, 3 and 5 and verifies its\n"
     "anchor from the text alone; prints PASS or FAIL and writes nothing. Further operands\n"
     "are ignored.",
     0, -1, kOptHelp, run_selftest},
    {"mint", "<n> <t> <fqdn> <outdir>",
     "Mints a root and splits it into n shares of which any t rebuild it (2 <= t <= n <= 16).\n"
     "Writes operator.pub, the zone line _key.txt for _key.<fqdn>, one owner-only file per\n"
     "share (sealed to its custodian with --to) and the split record shares.txt into the\n"
     "existing directory outdir, all created new.",
     4, 4, kOptHelp | kOptTo, run_mint},
    {"recover", "<outkey> <share1> <share2> ...",
     "Rebuilds the root from at least t share files and writes its 64 bytes to the new\n"
     "owner-only file outkey.",
     2, -1, kOptHelp | kOptSplit | kOptKey, run_recover},
    {"sign", "<anchor> <message> <sigout> <share1> <share2> ...",
     "Signs the message file with the root rebuilt in memory from the shares; the 64-byte\n"
     "signature is written to the new file sigout only after it verifies under the anchor's\n"
     "key. The anchor may be - (standard input); the message is read twice, so it must be a\n"
     "file.",
     5, -1, kOptHelp | kOptSplit | kOptKey, run_sign},
    {"verify", "<anchor> [<message> <signature>]",
     "Checks the anchor's self-signature, and the signature of the message under its key.\n"
     "The anchor is a _key.txt zone line, DNS tool output (dig, kdig, host, nslookup), a zone\n"
     "file holding one anchor record, or operator.pub. One operand may be - (standard input).",
     1, 3, kOptHelp, run_verify},
    {"reshare", "<n> <t> <anchor> <outdir> <share1> <share2> ...",
     "Splits the root rebuilt from the shares anew into n shares of which any t rebuild it,\n"
     "written into outdir; the published anchor stays.",
     6, -1, kOptHelp | kOptSplit | kOptTo | kOptKey, run_reshare},
    {"reissue", "<x> <anchor> <outdir> <share1> <share2> ...",
     "Writes the share at x (1 to 255) of the existing split into outdir: a lost share\n"
     "again, byte for byte, or a share for a new custodian. With --split, also the split\n"
     "record with the new share's line, signed by the root.",
     5, -1, kOptHelp | kOptSplit | kOptTo | kOptKey, run_reissue},
    {"check", "<anchor> <split-record> [<share>...]",
     "Checks the split record under the anchor's key, prints the split, and checks each\n"
     "share given against it, alone: combining nothing and writing nothing.",
     2, -1, kOptHelp | kOptKey, run_check},
    {"keygen", "<keyout> <pubout>",
     "Makes a custodian's key pair: the 32-byte secret key into the new owner-only file\n"
     "keyout, the public key (64 hex digits) into the new file pubout, which goes to the\n"
     "ceremony as a --to key.",
     2, 2, kOptHelp, run_keygen},
    {"help", "[<command>]", "Prints the usage text, or a command's usage and description.", 0, 1,
     kOptHelp, run_help},
    {"version", "", "Prints the program's version.", 0, 0, kOptHelp, run_version},
};

const command_row* find_command(const char* name) {
  for (const command_row& c : kCommands)
    if (is(name, c.name)) return &c;
  return nullptr;
}

void print_usage_line(FILE* to, const command_row& c) {
  std::fprintf(to, "  vantiro-cli %s%s%s\n", c.name, c.usage[0] != '\0' ? " " : "", c.usage);
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
    if ((c.takes & o.bit) != 0) std::printf("  %s\n", o.help);
  return 0;
}

int run_help(const options&, int argc, char** argv) {
  if (argc == 0) return usage(stdout, 0);
  const command_row* c = find_command(argv[0]);
  return c != nullptr ? command_help(*c) : usage(stderr, 1);
}

int run_version(const options&, int, char**) {
  std::printf("vantiro-cli %s\n", VANTIRO_VERSION);
  return 0;
}

int dispatch(int argc, char** argv) {
  if (argc < 2) return usage(stderr, 1);
  const char* word = argv[1];
  if (is(word, "--help") || is(word, "-h")) return usage(stdout, 0);
  if (is(word, "--version")) return run_version(options{}, 0, nullptr);
  if (word[0] == '-' && word[1] != '\0') {
    std::fprintf(stderr, "ERROR: unknown option %s\n", word);
    return 1;
  }
  const command_row* c = find_command(word);
  if (c == nullptr) return usage(stderr, 1);
  int i = 2;
  unsigned given = 0;
  options opts;
  for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; ++i) {
    if (argv[i][2] == '\0') {  // "--": operands follow, whatever they look like
      ++i;
      break;
    }
    const option_row* o = nullptr;
    for (const option_row& row : kOptions)
      if (is(argv[i], row.name)) o = &row;
    if (o == nullptr) {
      std::fprintf(stderr, "ERROR: unknown option %s\n", argv[i]);
      return 1;
    }
    if ((c->takes & o->bit) == 0) {
      std::fprintf(stderr, "ERROR: %s does not take %s\n", c->name, o->name);
      return 1;
    }
    if (o->value != nullptr || o->list != nullptr) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "ERROR: %s needs a value\n", o->name);
        return 1;
      }
      ++i;
      if (o->value != nullptr) {
        opts.*(o->value) = argv[i];
      } else {
        int& count = opts.*(o->count);
        if (count == cli::kMaxListed) {
          std::fprintf(stderr, "ERROR: %s is given more than %d times\n", o->name,
                       cli::kMaxListed);
          return 1;
        }
        (opts.*(o->list))[count++] = argv[i];
      }
    }
    given |= o->bit;
  }
  if ((given & kOptHelp) != 0) return command_help(*c);
  const int operands = argc - i;
  if (operands < c->min_operands || (c->max_operands >= 0 && operands > c->max_operands))
    return usage(stderr, 1);
  const int status = c->run(opts, operands, argv + i);
  return status == kShowUsage ? usage(stderr, 1) : status;
}

}  // namespace

int vantiro_cli_main(int argc, char** argv) {
  int status = dispatch(argc, argv);
  scrub_stack_and_registers();
  // The report is part of the result: one that did not reach standard output fails the
  // command, though the files already written stay.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    std::fputs("ERROR: cannot write the report\n", stderr);
    status = 1;
  }
  return status;
}
