#include <cstdio>
#include <string>
#include <vector>

#include "cli/batch_report.h"
#include "cli/commands.h"
#include "cli/work_pool.h"
#include "cli/file_validation.h"
#include "cli/reconciliation_table.h"
#include "cotepe/text.h"

namespace tavex::cli {

namespace {

const char* const kUsage =
    "Uso: tavex-cli conciliar ARQUIVO [--tolerancia TEXTO] [--continuar] [--csv|--json]\n"
    "\n"
    "Mostra, para cada redução Z do arquivo COTEPE ARQUIVO, cada total declarado (E12\n"
    "venda bruta, E13 totalizadores, E17 totalizadores não fiscais, E18 meios de\n"
    "pagamento) ao lado da soma dos seus documentos e a diferença; as linhas com\n"
    "diferença acima da tolerância são marcadas com \"*\". O arquivo é validado por\n"
    "inteiro (o log é gravado em ARQUIVO.log, como em \"validar\").\n"
    "  --tolerancia TEXTO  tolerância em reais (padrão 0): reais inteiros (0, 10, 1.000)\n"
    "                      ou com vírgula e dois centavos (0,05 = 5 centavos, 1.000,00)\n"
    "  --continuar         tipos de registro ausentes viram avisos; quando só eles\n"
    "                      faltam, segue até os totais\n"
    "  --csv               a tabela em CSV (separada por \";\"; um campo com \";\",\n"
    "                      aspas, CR ou LF vem entre aspas)\n"
    "  --json              a tabela em JSON\n"
    "\n"
    "Na tabela, caracteres de controle dos nomes aparecem como \\xHH.\n"
    "\n"
    "Saída: 0 todos os totais conferem, 1 algum total fora da tolerância, 2 quando\n"
    "não foi possível conciliar (arquivo ilegível, a validação parou antes dos totais,\n"
    "ou a saída padrão não pôde ser escrita).\n";

}  // namespace

int runConciliar(const Args& args) {
  const std::optional<ParsedArgs> parsed = parseArgs(
      args, {{"--tolerancia", true}, {"--continuar", false}, {"--csv", false}, {"--json", false}}, kUsage);
  if (!parsed) return kCannotRun;
  if (parsed->help) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  if (parsed->positional.empty()) return usageError(kUsage, "informe o arquivo a conciliar");
  if (parsed->positional.size() > 1) return usageError(kUsage, "mais de um arquivo informado");
  if (parsed->has("--csv") && parsed->has("--json")) return usageError(kUsage, "use --csv ou --json, não os dois");

  const std::string& path = parsed->positional[0];
  CollectingNotifier notifier;
  ValidationOptions options;
  options.continueAfterMissingRecords = parsed->has("--continuar");
  const std::optional<std::int64_t> tolerance = toleranceOption(*parsed, kUsage, true);
  if (!tolerance) return kCannotRun;
  BatchInterrupt interrupt({path + ".log"});  // a signal lets the log be finished, a second one removes it
  options.logCreated = [&interrupt] { interrupt.logCreated(0); };
  interrupt.starting(0);
  const ValidationSummary summary = validateCotepeFile(notifier, path, *tolerance, options);
  interrupt.finished(0);
  if (!summary.ran) {
    std::fprintf(stderr, "tavex-cli: %s\n", visibleText(cp1252ToUtf8(notifier.messages)).c_str());
    return kCannotRun;
  }
  if (!summary.reconciliation) {
    std::fprintf(stderr,
                 "tavex-cli: a validação parou antes dos totais (%d erro(s) de estrutura; veja %s.log)%s\n",
                 summary.errors, visibleText(path).c_str(),
                 options.continueAfterMissingRecords ? "" : "; se faltam só tipos de registro, use --continuar");
    return kCannotRun;
  }
  const Reconciliation& table = *summary.reconciliation;
  std::string out;
  if (parsed->has("--json"))
    out = reconciliationJson(table).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
  else if (parsed->has("--csv"))
    out = reconciliationCsv(table);
  else
    out = reconciliationText(table);
  if (!table.complete && parsed->has("--csv"))  // the table stays a table; the warning goes beside it
    std::fprintf(stderr, "tavex-cli: somas incompletas. %s.\n", cp1252ToUtf8(switchedOffNotice(table)).c_str());
  printOut(out);
  return table.rowsOverTolerance() > 0 ? kFound : kOk;
}

}  // namespace tavex::cli
