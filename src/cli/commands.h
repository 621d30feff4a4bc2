// The subcommands of tavex-cli. Each lives in its own file (cmd_<name>.cpp) and
// is listed once in the table of main.cpp.
//
// Exit status of every command: 0 done and nothing wrong found; 1 done and the
// file has errors or the signature is invalid; 2 could not run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavex {
class ManufacturerCatalogue;
}

namespace tavex::cli {

inline constexpr int kOk = 0;
inline constexpr int kFound = 1;
inline constexpr int kCannotRun = 2;

using Args = std::vector<std::string>;

struct Command {
  const char* name;
  // The general help's lines for it: the first begins with the name; another form
  // of the command follows on a line of its own, indented further ("\n    ...").
  // The command prints its own --help.
  const char* synopsis;
  int (*run)(const Args& args);
};

// One option of a subcommand: "--name" alone, or "--name VALUE" / "--name=VALUE".
struct CliOption {
  const char* name;  // with its dashes: "--tolerancia"
  bool takesValue;
};

// What the command line said: the options given (the last of a repeated one wins)
// and the other arguments in order. "--" ends the options: everything after it is
// an argument, even "-h" or "--x.txt".
struct ParsedArgs {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;  // name, value ("" for a flag)
  bool help = false;  // --help or -h before "--"

  bool has(std::string_view name) const;
  // The value of the option, or nothing when it was not given.
  std::optional<std::string> value(std::string_view name) const;
};

// Parses `args` against the options of a subcommand. On an unknown option or an
// option without its value, prints the usage error and answers nothing.
std::optional<ParsedArgs> parseArgs(const Args& args, const std::vector<CliOption>& options, const char* usage);

// True when the arguments ask for help.
bool wantsHelp(const Args& args);
// Prints `problem` and the usage on standard error; answers kCannotRun.
int usageError(const char* usage, const std::string& problem);
// The arguments when they are exactly `count` paths and no option; otherwise
// nothing, after the usage error (`missing` when the count is wrong).
std::optional<Args> pathsOnly(const Args& args, const char* usage, std::size_t count, const char* missing);
// True when the catalogue has a manufacturer folder named `name`; otherwise says on
// standard error that the manufacturer was not found and answers false.
bool requireManufacturer(const ManufacturerCatalogue& catalogue, const std::string& name);
// The --tolerancia of a command in centavos (0 when not given). A text not in the
// accepted form (strictToleranceCents) gets a usage error that shows the form, and
// nothing is answered. When `used`, the tolerance goes to standard error first
// ("Tolerância: R$ 0,10"), so every run says which one its findings rest on.
std::optional<std::int64_t> toleranceOption(const ParsedArgs& parsed, const char* usage, bool used);
// A cp1252 text as a terminal shows it: UTF-8, CR LF as LF, and every other
// control byte (from a name or a file's text) written "\xHH", so that nothing in
// it acts on the terminal.
std::string terminalText(std::string_view cp1252);
// Prints terminalText(text) on standard output.
void printCp1252(const std::string& text);
// Writes `text` whole on standard output (a NUL byte is text like any other).
void printOut(std::string_view text);

// Why `output` must not be written: it is one of `inputs` or the log a run writes
// beside one (its name followed by ".log"), the same file (device and inode) or,
// while it does not exist, the same name. Empty when it is none of them (UTF-8).
std::string outputClash(const std::string& output, const std::vector<std::string>& inputs);

// Why `path` cannot be read, found by opening and reading it again: "arquivo não
// encontrado", "sem permissão de leitura", "é uma pasta" or the system's reason
// (UTF-8). Empty when it reads now.
std::string unreadableReason(const std::string& path);

// Flushes standard output, the product of most commands: when anything printed
// there was lost (a full disk, a closed pipe), says so on standard error and
// answers kCannotRun; otherwise `status`.
int finishStandardOutput(int status);

// An output folder a command creates when it is missing (with the folders above
// it, as "mkdir -p"), and removes again, if still empty, when the command failed:
// a failed run leaves no folder of its own behind.
class OutputFolder {
 public:
  // False (the reason said on standard error) when the folder cannot be created
  // or the path is no folder.
  bool prepare(const std::string& path);
  // Removes the folders prepare() created that are still empty, deepest first.
  void removeIfEmpty();

 private:
  std::vector<std::string> created_;  // top-down
};

int runValidar(const Args& args);
int runFabricantes(const Args& args);
int runExportarCsv(const Args& args);
int runExportarMdb(const Args& args);
int runSeparar(const Args& args);
int runAssinatura(const Args& args);
int runPaf(const Args& args);
int runAssinar(const Args& args);
int runExportarPg(const Args& args);
int runConciliar(const Args& args);
int runRelatorio(const Args& args);
int runIndicios(const Args& args);
int runServir(const Args& args);
int runEfd(const Args& args);

}  // namespace tavex::cli
