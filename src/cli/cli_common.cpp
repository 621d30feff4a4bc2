// Helpers every tavex-cli subcommand shares.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cotepe/text.h"
#include "printer/manufacturer_catalogue.h"
#include "ui/tolerance.h"

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

std::optional<std::int64_t> toleranceOption(const ParsedArgs& parsed, const char* usage, bool used) {
  const std::optional<std::string> text = parsed.value("--tolerancia");
  const std::optional<std::int64_t> cents = text ? strictToleranceCents(*text) : std::optional<std::int64_t>(0);
  if (!cents) {
    usageError(usage, "tolerância inválida: \"" + *text +
                          "\"; escreva reais inteiros (0, 10, 1.000) ou reais, vírgula e dois centavos "
                          "(0,05, 10,00, 1.000,00)");
    return std::nullopt;
  }
  if (used) std::fprintf(stderr, "Tolerância: R$ %s\n", toleranceText(*cents).c_str());
  return cents;
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
