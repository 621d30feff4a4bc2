#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "cli/commands.h"
#include "cli/terminal_ui.h"
#include "cotepe/text.h"
#include "printer/manufacturer_catalogue.h"

namespace tavex::cli {

namespace {

const char* const kUsage =
    "Uso: tavex-cli fabricantes [PASTA]\n"
    "\n"
    "Lista o catálogo de fabricantes da pasta inicial (a pasta atual, ou PASTA): cada\n"
    "pasta F com o arquivo F/F.xml, seus modelos, a biblioteca de cada modelo e se há\n"
    "chave pública (módulo e expoente). Como a janela ao iniciar, cria as pastas de\n"
    "trabalho de cada fabricante.\n"
    "\n"
    "Saída: 0 catálogo lido, 1 algum arquivo XML com erro, 2 pasta ilegível.\n";

const char* keyState(const ModelKey& key) {
  if (key.modulusPresent && key.exponentPresent) return "sim";
  if (key.modulusPresent || key.exponentPresent) return "incompleta";
  return "não"_cp;
}

}  // namespace

int runFabricantes(const Args& args) {
  if (wantsHelp(args)) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  std::string folder = ".";
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i].starts_with("--")) return usageError(kUsage, "opção desconhecida: " + args[i]);
    if (i > 0) return usageError(kUsage, "mais de uma pasta informada");
    folder = args[i];
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) return usageError(nullptr, "pasta ilegível: " + folder);

  TerminalUserInterface ui;
  ManufacturerCatalogue catalogue;
  catalogue.loadCatalogue(ui, folder);

  std::string out;
  if (catalogue.entries().empty()) out += "Nenhum fabricante encontrado.\n"_cp;
  for (const ManufacturerEntry& e : catalogue.entries()) {
    out += "Fabricante: " + utf8ToCp1252(e.name) + (e.hasSeveralKeys ? " (várias chaves)"_cp : "") + "\n";
    if (e.models.empty()) out += "  (nenhum modelo)\n";
    for (const ModelEntry& m : e.models)
      out += "  Modelo: " + m.name + " | biblioteca: " + (m.libraryFile.empty() ? "(nenhuma)" : m.libraryFile) +
             " | chave: " + (e.hasSeveralKeys ? keyState(m.key) : keyState(e.fileKey)) + "\n";
  }
  printCp1252(out);
  return ui.errorMessagesShown() > 0 ? kFound : kOk;
}

}  // namespace tavex::cli
