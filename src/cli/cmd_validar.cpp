#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include "cli/batch_report.h"
#include "cli/commands.h"
#include "cli/ecf_groups.h"
#include "cli/file_validation.h"
#include "cli/terminal_ui.h"
#include "cli/work_pool.h"
#include "cotepe/file_discovery.h"
#include "cotepe/text.h"
#include "validation/messages.h"
#include "validation/validate.h"

namespace tavex::cli {

namespace {

const char* const kUsage =
    "Uso: tavex-cli validar ARQUIVO|PASTA... [--tolerancia TEXTO] [--formato] [--continuar]\n"
    "                       [--json] [--jobs N] [--resumo ARQUIVO.csv]\n"
    "\n"
    "Valida o arquivo COTEPE ARQUIVO, grava o log em ARQUIVO.log e o mostra.\n"
    "Com vários arquivos ou pastas (buscadas com as subpastas, os arquivos COTEPE\n"
    "reconhecidos pelo conteúdo), valida cada um em paralelo, grava o log de cada um\n"
    "ao lado dele e mostra o progresso e, no fim, uma tabela de resumo. Depois dela,\n"
    "uma linha por par MF × MFD da mesma ECF cujos períodos têm dia em comum: cada\n"
    "MFD conciliado com cada MF do seu período, como em \"conciliar MF MFD\" (os dois\n"
    "arquivos são lidos de novo, depois das validações; um par recusado diz por quê;\n"
    "não com --formato).\n"
    "  --tolerancia TEXTO  tolerância em reais (padrão 0): reais inteiros (0, 10, 1.000)\n"
    "                      ou com vírgula e dois centavos (0,05 = 5 centavos, 1.000,00)\n"
    "  --formato           valida somente tamanhos e formatos dos campos\n"
    "  --continuar         tipos de registro ausentes viram avisos (arquivos reais\n"
    "                      omitem os que não têm dados); quando só eles faltam, segue\n"
    "                      com as linhas e os totais\n"
    "  --json              escreve na saída um documento JSON por arquivo, com\n"
    "                      cabeçalho, achados e conciliação, em vez do log na tela\n"
    "                      (o log é gravado do mesmo modo). Vários:\n"
    "                      {\"arquivos\": [...], \"ecfs\": [...]}, com os arquivos\n"
    "                      agrupados por ECF (reduções Z que têm e que faltam,\n"
    "                      indícios entre arquivos e, em \"conciliacoes_mf_mfd\",\n"
    "                      cada par MF × MFD conciliado)\n"
    "                      Um nome de arquivo que não é UTF-8 vem em \"arquivo\" com\n"
    "                      os bytes inválidos como \\xHH e, em \"arquivo_bytes\", os\n"
    "                      bytes do nome em hexadecimal\n"
    "  --jobs N            arquivos validados ao mesmo tempo (padrão: núcleos)\n"
    "  --resumo ARQUIVO    grava a tabela de resumo em ARQUIVO (CSV), inteira ou não\n"
    "                      grava; recusa um link simbólico, o que não é arquivo\n"
    "                      comum, um dos arquivos validados e os logs deles\n"
    "\n"
    "Na tabela, caracteres de controle e bytes que não são UTF-8 dos nomes aparecem\n"
    "como \\xHH. Ctrl-C, SIGTERM ou SIGHUP param o lote: os arquivos em andamento\n"
    "terminam, os outros ficam \"interrompido\"; um segundo sinal encerra na hora e\n"
    "apaga os logs ainda incompletos (um log fica inteiro ou não fica).\n"
    "\n"
    "Saída: 0 sem erros, 1 com erros em algum arquivo ou algum total de um par MF ×\n"
    "MFD acima da tolerância, 2 quando algum não pôde ser\n"
    "validado (não pôde ser lido, o log não pôde ser gravado por inteiro, ou a\n"
    "validação foi interrompida: os arquivos em andamento terminam), quando o\n"
    "resumo não pôde ser gravado ou quando a saída padrão não pôde ser escrita.\n";

const std::vector<CliOption> kOptions = {{"--tolerancia", true}, {"--formato", false}, {"--continuar", false},
                                          {"--json", false},      {"--jobs", true},     {"--resumo", true}};

int exitStatusOf(const std::vector<FileOutcome>& outcomes) {
  int status = kOk;
  for (const FileOutcome& o : outcomes) {
    if (o.state != FileState::Validated) return kCannotRun;
    if (o.errors > 0) status = kFound;
  }
  return status;
}

// Today's single-file run: the log on standard output as it is written.
int validateOneShowingTheLog(const std::string& path, const ValidationSettings& settings) {
  TerminalUserInterface ui;
  ValidationOptions options;
  options.continueAfterMissingRecords = settings.continuing;
  options.echo = [](std::string_view text) { printCp1252(std::string(text)); };
  BatchInterrupt interrupt({path + ".log"});  // a signal lets the log be finished, a second one removes it
  options.logCreated = [&interrupt] { interrupt.logCreated(0); };
  interrupt.starting(0);
  const ValidationSummary summary = settings.formatOnly
                                        ? validateCotepeFileQuick(ui, path, options)
                                        : validateCotepeFile(ui, path, settings.toleranceCents, options);
  interrupt.finished(0);
  std::fflush(stdout);
  if (!summary.ran && ui.lastErrorText() == msg::kCannotOpenCotepe) {
    // The box names neither the file nor the cause: the next line does.
    if (const std::string reason = unreadableReason(path); !reason.empty())
      std::fprintf(stderr, "%s: %s\n", visibleText(path).c_str(), reason.c_str());
  }
  if (!summary.ran) return kCannotRun;
  return summary.errors > 0 ? kFound : kOk;
}

// The cause under a failure's message: its own line, or nothing when unknown.
std::string causeLines(const std::string& cause) { return cause.empty() ? cause : visibleText(cause) + "\n"; }

int validateOneAsJson(const std::string& path, const ValidationSettings& settings) {
  JsonDocument document;
  BatchInterrupt interrupt({path + ".log"});
  ValidationSettings validation = settings;
  validation.logCreated = [&interrupt] { interrupt.logCreated(0); };
  interrupt.starting(0);
  const FileOutcome outcome = validateForBatch(path, validation, &document);
  interrupt.finished(0);
  if (!outcome.problem.empty()) {
    std::string reason;
    if (outcome.problem == cp1252ToUtf8(msg::kCannotOpenCotepe)) reason = unreadableReason(path);
    std::fprintf(stderr, "tavex-cli: %s: %s%s%s\n", visibleText(path).c_str(), visibleText(outcome.problem).c_str(),
                 reason.empty() ? "" : "\n", reason.empty() ? "" : (visibleText(path) + ": " + reason).c_str());
  }
  if (!document.writeTo(stdout)) {
    std::fprintf(stderr, "tavex-cli: o documento JSON não pôde ser escrito por inteiro\n%s",
                 causeLines(document.failure()).c_str());
    return kCannotRun;
  }
  printOut("\n");
  return exitStatusOf({outcome});
}

struct BatchSettings {
  ValidationSettings validation;
  unsigned jobs = 1;
  bool json = false;
  std::optional<std::string> summaryCsv;
};

int validateBatch(const std::vector<std::string>& paths, const BatchSettings& settings) {
  const DiscoveredFiles discovered = discoverCotepeFiles(paths);
  if (settings.summaryCsv) {
    std::vector<std::string> inputs = discovered.files;
    for (const DiscoveryProblem& p : discovered.problems) inputs.push_back(p.path);
    if (const std::string clash = outputClash(*settings.summaryCsv, inputs); !clash.empty()) {
      std::fprintf(stderr, "tavex-cli: %s\n", clash.c_str());
      return kCannotRun;
    }
  }
  std::vector<FileOutcome> outcomes(discovered.files.size());
  for (std::size_t i = 0; i < outcomes.size(); ++i) outcomes[i].path = discovered.files[i];
  for (const DiscoveryProblem& p : discovered.problems) outcomes.push_back(notValidated(p));
  const std::size_t toValidate = discovered.files.size();

  // Finished JSON documents wait here until every one before them was printed.
  std::mutex mutex;
  std::map<std::size_t, JsonDocument> pendingJson;
  bool jsonWritten = true;
  std::string jsonFailure;  // the first document's that could not be written
  std::size_t nextJson = 0, done = 0;
  const bool progress = ::isatty(STDERR_FILENO) == 1;
  ProgressBar bar(stderr, outcomes.size());
  const auto emitReadyJson = [&] {
    for (auto it = pendingJson.find(nextJson); it != pendingJson.end(); it = pendingJson.find(nextJson)) {
      std::fputs(nextJson == 0 ? "{\"arquivos\":[\n" : ",\n", stdout);
      if (!it->second.writeTo(stdout)) {
        if (jsonWritten) jsonFailure = it->second.failure();
        jsonWritten = false;
      }
      pendingJson.erase(it);
      ++nextJson;
    }
    std::fflush(stdout);
  };

  // What grouping the files by ECF needs of each, gathered in its validation: the
  // groups of --json, and the MF × MFD pairs both forms reconcile.
  // TAVEX_SEM_ECFS: the batch without it, for the benchmark that weighs its cost.
  const bool grouping = !settings.validation.formatOnly && std::getenv("TAVEX_SEM_ECFS") == nullptr;
  std::vector<FileFootprint> footprints(grouping ? toValidate : 0);
  std::vector<std::string> logs;
  logs.reserve(toValidate);
  for (const std::string& file : discovered.files) logs.push_back(file + ".log");
  std::vector<FileFootprint> read;
  std::vector<EcfGroup> groups;
  std::string pairLines;        // the text form's line of each pair
  bool pairsOver = false;       // some pair has a total over the tolerance
  const auto endFileDocuments = [&] {
    for (std::size_t i = nextJson; i < outcomes.size(); ++i)
      if (!pendingJson.contains(i)) {
        JsonDocument document;
        document.complete(fileDocument(outcomes[i], settings.validation, nullptr, {}), "");
        pendingJson.emplace(i, std::move(document));
      }
    emitReadyJson();
    std::fputs(outcomes.empty() ? "{\"arquivos\":[],\n" : "\n],\n", stdout);
  };
  {
    BatchInterrupt interrupt(std::move(logs));
    if (progress) bar.show(0, "");
    runOnPool(toValidate, settings.jobs, interrupt.stopped(), [&](std::size_t i) {
      JsonDocument text;
      ValidationSettings validation = settings.validation;
      validation.logCreated = [&interrupt, i] { interrupt.logCreated(i); };
      interrupt.starting(i);
      FileOutcome outcome = validateForBatch(discovered.files[i], validation, settings.json ? &text : nullptr, nullptr,
                                             grouping ? &footprints[i] : nullptr);
      interrupt.finished(i);
      const std::lock_guard<std::mutex> lock(mutex);
      outcomes[i] = std::move(outcome);
      ++done;
      if (progress) bar.show(done, outcomes[i].path);
      if (settings.json) {
        pendingJson.emplace(i, std::move(text));
        emitReadyJson();
      }
    });
    if (progress) bar.finish();
    for (std::size_t i = 0; i < footprints.size(); ++i)
      if (outcomes[i].state == FileState::Validated) read.push_back(std::move(footprints[i]));
    if (settings.json) endFileDocuments();
    if (grouping) {
      groups = groupByEcf(read);
      // After every file's own run, so its log and document are as without them.
      // Each pair is written (or its line kept) as it comes and then dropped: a
      // batch of many reads of one ECF has pairs as MF × MFD.
      PairOptions pairing;
      pairing.today = settings.validation.today;
      pairing.continueAfterMissingRecords = settings.validation.continuing;
      std::size_t opened = 0;  // groups whose object was begun
      bool firstPair = true;
      const auto openThrough = [&](std::size_t g) {
        for (; opened <= g && opened < groups.size(); ++opened) {
          std::string text = opened == 0 ? "\"ecfs\":[" : "]},";
          text += ecfJsonHead(groups[opened], read) + ",\"conciliacoes_mf_mfd\":[";
          if (std::fputs(text.c_str(), stdout) == EOF) jsonWritten = false;
          firstPair = true;
        }
      };
      streamGroupPairs(groups, read, settings.validation.toleranceCents, pairing, settings.jobs, interrupt.stopped(),
                       [&](std::size_t g, BatchPair& pair) {
                         if (pair.result.ran && pair.result.reconciliation.rowsOverTolerance() > 0) pairsOver = true;
                         if (!settings.json) {
                           pairLines += memoryPairLine(groups[g], read, pair);
                           return;
                         }
                         openThrough(g);
                         const std::string entry = (firstPair ? "" : ",") + memoryPairEntryJson(read, pair);
                         firstPair = false;
                         if (std::fputs(entry.c_str(), stdout) == EOF) jsonWritten = false;
                       });
      if (settings.json) {
        if (!groups.empty()) openThrough(groups.size() - 1);
        std::fputs(groups.empty() ? "\"ecfs\":[]}\n" : "]}]}\n", stdout);
      }
    } else if (settings.json) {
      std::fputs("\"ecfs\":null}\n", stdout);
    }
    if (settings.json) std::fflush(stdout);
  }
  if (!settings.json) {
    std::string table = summaryTable(outcomes);
    if (!pairLines.empty()) table += "\n" + pairLines;
    printOut(table);  // UTF-8 already, its names shown as visibleText gives them
    std::fflush(stdout);
  }
  int status = exitStatusOf(outcomes);
  if (status == kOk && pairsOver) status = kFound;  // as conciliar MF MFD counts them
  if (!jsonWritten) {
    std::fprintf(stderr, "tavex-cli: algum documento JSON não pôde ser escrito por inteiro\n%s",
                 causeLines(jsonFailure).c_str());
    status = kCannotRun;
  }
  if (settings.summaryCsv) {
    std::string notice;
    if (const std::string failure = writeSummaryCsv(*settings.summaryCsv, outcomes, &notice); !failure.empty()) {
      std::fprintf(stderr, "tavex-cli: %s\n", visibleText(failure).c_str());
      status = kCannotRun;
    }
    if (!notice.empty()) std::fprintf(stderr, "tavex-cli: aviso: %s\n", visibleText(notice).c_str());
  }
  return status;
}

// --jobs: a whole number from 1.
std::optional<unsigned> jobsFrom(const std::string& text) {
  if (text.empty() || text.size() > 4 || !isAllDigits(text))
    return std::nullopt;
  const unsigned n = static_cast<unsigned>(std::stoul(text));
  if (n == 0) return std::nullopt;
  return n;
}

}  // namespace

int runValidar(const Args& args) {
  const std::optional<ParsedArgs> parsed = parseArgs(args, kOptions, kUsage);
  if (!parsed) return kCannotRun;
  if (parsed->help) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  if (parsed->positional.empty()) return usageError(kUsage, "informe o arquivo a validar");

  BatchSettings settings;
  settings.validation.formatOnly = parsed->has("--formato");
  settings.validation.continuing = parsed->has("--continuar");
  settings.json = parsed->has("--json");
  settings.summaryCsv = parsed->value("--resumo");
  settings.jobs = std::max(1u, std::thread::hardware_concurrency());
  if (const auto jobs = parsed->value("--jobs")) {
    const std::optional<unsigned> n = jobsFrom(*jobs);
    if (!n) return usageError(kUsage, "--jobs precisa de um número inteiro a partir de 1: " + *jobs);
    settings.jobs = *n;
  }
  const std::optional<std::int64_t> tolerance = toleranceOption(*parsed, kUsage, !settings.validation.formatOnly);
  if (!tolerance) return kCannotRun;
  settings.validation.toleranceCents = *tolerance;

  const std::vector<std::string>& paths = parsed->positional;
  std::error_code ec;
  const bool oneFile = paths.size() == 1 && !std::filesystem::is_directory(paths[0], ec) && !settings.summaryCsv;
  if (oneFile) return settings.json ? validateOneAsJson(paths[0], settings.validation)
                                    : validateOneShowingTheLog(paths[0], settings.validation);
  return validateBatch(paths, settings);
}

}  // namespace tavex::cli
