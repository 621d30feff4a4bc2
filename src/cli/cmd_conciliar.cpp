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
    "     tavex-cli conciliar MF MFD [--tolerancia TEXTO] [--continuar] [--csv|--json]\n"
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
    "Com dois arquivos, a memória fiscal (MF: as reduções Z) e a memória de\n"
    "fita-detalhe (MFD: os documentos) da mesma ECF, em qualquer ordem: cada redução Z\n"
    "do MF é conciliada com os documentos do MFD como num arquivo TDM que tivesse os\n"
    "dois; cada linha diz de onde vem o valor declarado (\"MF:123\") e os documentos\n"
    "somados (\"MFD:40-97\"). Só a parte que os dois cobrem é comparada: as reduções\n"
    "fora do período do outro arquivo são listadas como não comparadas. Nenhum log é\n"
    "gravado (valide cada arquivo com \"validar\"). Arquivos de ECFs diferentes (pelo\n"
    "E01 ou por um registro de outra ECF depois dele), de períodos sem dia em comum\n"
    "ou que não passam na verificação de estrutura são recusados.\n"
    "\n"
    "Na tabela, caracteres de controle dos nomes aparecem como \\xHH.\n"
    "\n"
    "Saída: 0 todos os totais conferem, 1 algum total fora da tolerância, 2 quando\n"
    "não foi possível conciliar (arquivo ilegível, a validação parou antes dos totais,\n"
    "nenhum total foi comparado, ou a saída padrão não pôde ser escrita).\n";

std::size_t totalsCompared(const Reconciliation& table) {
  std::size_t rows = 0;
  for (const ReductionReconciliation& r : table.reductions) rows += r.totals.size();
  return rows;
}

// A table without a row is no result: nothing was compared, which is said with
// its reason.
int nothingCompared(const std::string& why) {
  std::fprintf(stderr, "tavex-cli: nenhum total foi conciliado: %s\n", why.c_str());
  return kCannotRun;
}

// conciliar MF MFD: the reduction totals of one file against the documents of the other.
int reconcilePair(const ParsedArgs& parsed) {
  const std::optional<std::int64_t> tolerance = toleranceOption(parsed, kUsage, true);
  if (!tolerance) return kCannotRun;
  CollectingNotifier notifier;
  PairOptions options;
  options.continueAfterMissingRecords = parsed.has("--continuar");
  const MemoryPair pair = reconcileMemories(notifier, parsed.positional[0], parsed.positional[1], *tolerance, options);
  if (!pair.ran) {
    std::fprintf(stderr, "tavex-cli: %s\n", visibleText(cp1252ToUtf8(notifier.messages)).c_str());
    return kCannotRun;
  }
  if (pair.contentChecksOffAt != 0) {
    const bool inMf = pair.contentChecksOffAt <= pair.mfdLineOffset + 2;
    std::fprintf(stderr,
                 "tavex-cli: um erro de formato na linha %d do %s desligou as verificações de conteúdo a partir "
                 "dali: os totais calculados podem estar incompletos; valide o arquivo com \"validar\"\n",
                 inMf ? pair.contentChecksOffAt : pair.contentChecksOffAt - pair.mfdLineOffset, inMf ? "MF" : "MFD");
  }
  if (totalsCompared(pair.reconciliation) == 0)
    return nothingCompared(pair.contentChecksOffAt != 0 ? std::string("o erro de formato dito acima desligou as somas "
                                                                      "antes do primeiro total")
                           : pair.notCompared.empty() ? std::string("o MF e o MFD não têm redução Z")
                                                    : cformat("nenhuma das %zu redução(ões) Z está nos dois arquivos",
                                                              pair.notCompared.size()));
  std::string out;
  if (parsed.has("--json"))
    out = memoryPairJson(pair).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
  else if (parsed.has("--csv"))
    out = memoryPairCsv(pair);
  else
    out = memoryPairText(pair);
  printOut(out);
  return pair.reconciliation.rowsOverTolerance() > 0 ? kFound : kOk;
}

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
  if (parsed->positional.size() > 2) return usageError(kUsage, "informe um arquivo, ou um MF e um MFD");
  if (parsed->has("--csv") && parsed->has("--json")) return usageError(kUsage, "use --csv ou --json, não os dois");
  if (parsed->positional.size() == 2) return reconcilePair(*parsed);

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
  if (totalsCompared(table) == 0)
    return nothingCompared(!table.complete
                               ? cp1252ToUtf8(switchedOffNotice(table))
                               : "o arquivo não declara total de redução Z a conciliar (E12 com seus E13, E17 e "
                                 "E18); para uma MFD, use \"conciliar MF MFD\"");
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
