// Helpers every tavex-cli subcommand shares.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/commands.h"
#include "cotepe/file_access.h"
#include "cotepe/text.h"
#include "printer/manufacturer_catalogue.h"

namespace tavex::cli {

bool ParsedArgs::has(std::string_view name) const {
  for (const auto& [n, v] : options)
    if (n == name) return true;
  return false;
}

std::optional<std::string> ParsedArgs::value(std::string_view name) const {
  std::optional<std::string> found;
  for (const auto& [n, v] : options)
    if (n == name) found = v;
  return found;
}

std::optional<ParsedArgs> parseArgs(const Args& args, const std::vector<CliOption>& options, const char* usage) {
  ParsedArgs parsed;
  if (wantsHelp(args)) {  // help wins over any mistake on the same line
    parsed.help = true;
    return parsed;
  }
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a == "-" || !a.starts_with("-")) {
      parsed.positional.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    const std::size_t equals = a.find('=');
    const std::string name = a.substr(0, equals);
    const CliOption* option = nullptr;
    for (const CliOption& o : options)
      if (name == o.name) option = &o;
    if (option == nullptr || (!option->takesValue && equals != std::string::npos)) {
      usageError(usage, "opção desconhecida: " + a);
      return std::nullopt;
    }
    if (!option->takesValue) {
      parsed.options.emplace_back(name, "");
    } else if (equals != std::string::npos) {
      parsed.options.emplace_back(name, a.substr(equals + 1));
    } else if (i + 1 < args.size()) {
      parsed.options.emplace_back(name, args[++i]);
    } else {
      usageError(usage, name + " precisa de um valor");
      return std::nullopt;
    }
  }
  return parsed;
}

bool wantsHelp(const Args& args) {
  for (const std::string& a : args) {
    if (a == "--") return false;
    if (a == "--help" || a == "-h") return true;
  }
  return false;
}

int usageError(const char* usage, const std::string& problem) {
  std::fprintf(stderr, "tavex-cli: %s\n", problem.c_str());
  if (usage != nullptr) std::fprintf(stderr, "\n%s", usage);
  return kCannotRun;
}

std::optional<Args> pathsOnly(const Args& args, const char* usage, std::size_t count, const char* missing) {
  const std::optional<ParsedArgs> parsed = parseArgs(args, {}, usage);
  if (!parsed) return std::nullopt;
  if (parsed->positional.size() != count) {
    usageError(usage, missing);
    return std::nullopt;
  }
  return parsed->positional;
}

bool requireManufacturer(const ManufacturerCatalogue& catalogue, const std::string& name) {
  for (const ManufacturerEntry& e : catalogue.entries())
    if (e.name == name) return true;
  usageError(nullptr, "fabricante não encontrado na pasta atual: " + name);
  return false;
}

bool OutputFolder::prepare(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path folder = fs::path(path).lexically_normal();
  if (!folder.has_filename()) folder = folder.parent_path();  // "bancos/" is "bancos"
  // The missing folders, from the deepest up to the first that exists.
  std::vector<std::string> missing;
  for (fs::path p = folder; !p.empty() && !fs::exists(fs::symlink_status(p, ec)); p = p.parent_path()) {
    missing.push_back(p.string());
    if (p == p.parent_path()) break;
  }
  int error = 0;
  for (auto it = missing.rbegin(); it != missing.rend() && error == 0; ++it) {
    if (::mkdir(it->c_str(), 0777) == 0)
      created_.push_back(*it);
    else if (errno != EEXIST)
      error = errno;
  }
  if (error == 0 && !fs::is_directory(folder, ec)) error = ENOTDIR;
  if (error == 0) return true;
  const std::string text = "Erro!: Não foi possível criar a pasta de saída "_cp + utf8ToCp1252(path) + ".\n" +
                           reasonLine(error) + "\n";
  std::fputs(cp1252ToUtf8(text).c_str(), stderr);
  removeIfEmpty();
  return false;
}

void OutputFolder::removeIfEmpty() {
  for (auto it = created_.rbegin(); it != created_.rend(); ++it) ::rmdir(it->c_str());  // fails when not empty
  created_.clear();
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
