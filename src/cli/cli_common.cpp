// Helpers every tavex-cli subcommand shares.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cotepe/text.h"

namespace tavex::cli {

bool wantsHelp(const Args& args) {
  for (const std::string& a : args)
    if (a == "--help" || a == "-h") return true;
  return false;
}

int usageError(const char* usage, const std::string& problem) {
  std::fprintf(stderr, "tavex-cli: %s\n", problem.c_str());
  if (usage != nullptr) std::fprintf(stderr, "\n%s", usage);
  return kCannotRun;
}

std::optional<Args> pathsOnly(const Args& args, const char* usage, std::size_t count, const char* missing) {
  for (const std::string& a : args)
    if (a.starts_with("--")) {
      usageError(usage, "opção desconhecida: " + a);
      return std::nullopt;
    }
  if (args.size() != count) {
    usageError(usage, missing);
    return std::nullopt;
  }
  return args;
}

void printCp1252(const std::string& text) {
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) shown.push_back(text[i]);
  const std::string utf8 = cp1252ToUtf8(shown);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

}  // namespace tavex::cli
