#include <string_view>

#include "cli/commands.h"
#include "cli/terminal_ui.h"
#include "cotepe/text.h"
#include "ui/tolerance.h"
#include "validation/validate.h"

namespace tavex::cli {

namespace {

const char* const kUsage =
    "Uso: tavex-cli validar ARQUIVO [--tolerancia TEXTO] [--formato]\n"
    "\n"
    "Valida o arquivo COTEPE ARQUIVO, grava o log em ARQUIVO.log e o mostra.\n"
    "  --tolerancia TEXTO  tolerância em reais, como na janela (0,05 = 5 centavos)\n"
    "  --formato           valida somente tamanhos e formatos dos campos\n"
    "\n"
    "Saída: 0 sem erros, 1 com erros no arquivo, 2 quando não foi possível validar\n"
    "(o arquivo não pôde ser lido, ou o log não pôde ser gravado por inteiro).\n";

}  // namespace

int runValidar(const Args& args) {
  if (wantsHelp(args)) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  std::string path;
  std::string tolerance = "0,00";
  bool formatOnly = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--formato") {
      formatOnly = true;
    } else if (args[i] == "--tolerancia") {
      if (i + 1 >= args.size()) return usageError(kUsage, "--tolerancia precisa de um valor");
      tolerance = args[++i];
    } else if (args[i].starts_with("--")) {
      return usageError(kUsage, "opção desconhecida: " + args[i]);
    } else if (path.empty()) {
      path = args[i];
    } else {
      return usageError(kUsage, "mais de um arquivo informado");
    }
  }
  if (path.empty()) return usageError(kUsage, "informe o arquivo a validar");

  TerminalUserInterface ui;
  // The log is shown as the run writes it: exactly what reached the file.
  ValidationOptions options;
  options.echo = [](std::string_view text) { printCp1252(std::string(text)); };
  const ValidationSummary summary =
      formatOnly ? validateCotepeFileQuick(ui, path, options)
                 : validateCotepeFile(ui, path, toleranceCentsFromText(utf8ToCp1252(tolerance)), options);
  std::fflush(stdout);
  if (!summary.ran) return kCannotRun;
  return summary.errors > 0 ? kFound : kOk;
}

}  // namespace tavex::cli
