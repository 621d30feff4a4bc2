// The subcommands of tavex-cli. Each lives in its own file (cmd_<name>.cpp) and
// is listed once in the table of main.cpp.
//
// Exit status of every command: 0 done and nothing wrong found; 1 done and the
// file has errors or the signature is invalid; 2 could not run.
#pragma once

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
  const char* synopsis;  // one line for the general help; the command prints its own --help
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
// Prints a cp1252 text on standard output, converted to UTF-8, CR LF as LF.
void printCp1252(const std::string& text);

int runValidar(const Args& args);
int runFabricantes(const Args& args);
int runExportarCsv(const Args& args);
int runExportarMdb(const Args& args);
int runSeparar(const Args& args);
int runAssinatura(const Args& args);
int runPaf(const Args& args);
int runExportarPg(const Args& args);
int runConciliar(const Args& args);
int runRelatorio(const Args& args);
int runIndicios(const Args& args);

}  // namespace tavex::cli
