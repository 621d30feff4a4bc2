// tavex-cli indicios: the audit indicators of files and folders, found in the
// full validation of each file (whose log is written beside it as by "validar").
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/batch_report.h"
#include "cli/commands.h"
#include "cli/ecf_groups.h"
#include "cli/file_validation.h"
#include "cli/work_pool.h"
#include "cotepe/file_discovery.h"
#include "cotepe/text.h"
#include "cotepe/visible_name.h"
#include "export/table_csv.h"
#include "indicators/file_indicators.h"
#include "validation/finding.h"

namespace tavex::cli {

namespace {

const char* const kUsage =
    "Uso: tavex-cli indicios ARQUIVO|PASTA... [--limite-cancelamentos P] [--json|--csv]\n"
    "                        [--continuar]\n"
    "\n"
    "Confronta os contadores e as datas do próprio ECF (CRZ, CRO, COO, CCF, GNF, GT,\n"
    "datas das reduções Z e dos documentos) e mostra os indícios de cada arquivo:\n"
    "\"alerta\" para o que um arquivo íntegro e completo não pode ter (contador que\n"
    "volta ou pula, CRO sem E09, COO repetido), \"informação\" para o que merece um\n"
    "olhar (intervenção técnica, redução Z tardia, muitos cupons cancelados). Cada\n"
    "arquivo é validado como em \"validar\" (o log é gravado ao lado dele); as pastas\n"
    "são buscadas com as subpastas.\n"
    "Com vários arquivos, eles são agrupados por ECF (número de fabricação, MF\n"
    "adicional e modelo, do E01) e ordenados pelo CRZ e pelo período; cada ECF mostra\n"
    "os seus arquivos, as reduções Z que eles têm e as que faltam e os indícios entre\n"
    "arquivos (reduções que faltam entre dois, a mesma redução contada de dois jeitos,\n"
    "arquivos com as mesmas reduções, contador menor num arquivo posterior). Um E01\n"
    "danificado fica em \"ECF desconhecida\", sozinho.\n"
    "  --limite-cancelamentos P  indício quando os cupons cancelados de uma redução Z\n"
    "                            passam de P por cento (padrão: 10)\n"
    "  --json                    um documento JSON por arquivo (vários: {\"arquivos\":\n"
    "                            [...], \"ecfs\": [...]})\n"
    "  --csv                     uma tabela CSV (';') de todos os arquivos\n"
    "  --continuar               segue quando só faltam tipos de registro\n"
    "\n"
    "Um arquivo que não passa na verificação de estrutura fica \"não verificado\",\n"
    "com o primeiro achado dela: seus indícios não foram procurados. Nomes e textos\n"
    "dos arquivos aparecem com os caracteres de controle como \\xHH.\n"
    "\n"
    "Saída: 0 sem alertas, 1 com algum alerta, 2 quando algum arquivo não pôde ser\n"
    "lido ou verificado (ou a execução foi interrompida com Ctrl-C).\n";

enum class Output { Table, Json, Csv };

struct FileIndicators {
  FileOutcome outcome;
  std::vector<Indicator> indicators;
  FileFootprint footprint;
  bool verified = false;           // read whole and checked: its indicators were looked for
  std::optional<Finding> stoppedBy;  // the first finding of a structure check that failed
};

// The first finding of a run, the first error when there is one: when the structure
// check fails the run stops there, and this is the finding it stopped for.
class FirstFinding : public FindingSink {
 public:
  void onFinding(const Finding& finding) override {
    if (!first || (first->severity != Severity::Error && finding.severity == Severity::Error)) first = finding;
  }
  std::optional<Finding> first;
};

// Why a file has no indicators (UTF-8, one line): it could not be read, or its
// structure check failed (its first finding).
std::string problemOf(const FileIndicators& file) {
  if (file.outcome.state != FileState::Validated)
    return file.outcome.problem.empty() ? "a execução foi interrompida antes dele" : file.outcome.problem;
  if (!file.stoppedBy) return "a verificação de estrutura falhou";
  std::string message = file.stoppedBy->message;
  std::replace(message.begin(), message.end(), '\n', ' ');
  return "a verificação de estrutura falhou: " + cp1252ToUtf8(message);
}

// "não verificado", "não lido" or "interrompido".
std::string uncheckedText(const FileIndicators& file) {
  switch (file.outcome.state) {
    case FileState::Validated: return "não verificado";
    case FileState::NotValidated: return "não lido";
    case FileState::Interrupted: break;
  }
  return stateText(FileState::Interrupted);
}

// One file: its name, then its indicators in aligned columns (UTF-8; names and
// texts from files with their control bytes as "\xHH").
std::string fileTable(const FileIndicators& file) {
  std::string out = visibleText(file.outcome.path) + "\n";
  if (!file.verified) return out + "  " + uncheckedText(file) + ": " + visibleText(problemOf(file)) + "\n\n";
  return out + indicatorTable(file.indicators);
}

std::string fileJson(const FileIndicators& file) {
  nlohmann::ordered_json head;
  setFileName(head, file.outcome.path);
  const FileState state = file.outcome.state;
  head["situacao"] = file.verified                     ? "verificado"
                     : state == FileState::Validated    ? "nao_verificado"
                     : state == FileState::NotValidated ? "nao_lido"
                                                        : "interrompido";
  head["problema"] = file.verified ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(problemOf(file));
  std::string out = head.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  out.pop_back();
  out += ",\"indicios\":";
  out += file.verified ? indicatorsJson(file.indicators) : std::string("null");
  return out + "}";
}

// The CSV (CsvTable) of every file, then of every group of several files (a
// group's rows name its ECF where a file's name their file).
std::string csvOf(const std::vector<FileIndicators>& files, const std::vector<EcfGroup>& groups) {
  CsvTable table;
  table.rowUtf8({"Arquivo", "Nível", "Código", "Linha", "Registro", "CRZ", "COO", "Esperado", "Encontrado", "Frase"});
  std::vector<std::pair<std::string, const std::vector<Indicator>*>> sources;
  for (const FileIndicators& file : files)
    sources.emplace_back(cp1252ToUtf8(visibleCp1252(file.outcome.path)), &file.indicators);
  for (const EcfGroup& group : groups) sources.emplace_back(cp1252ToUtf8(ecfCaption(group)), &group.indicators);
  for (std::size_t f = 0; f < sources.size(); ++f) {
    const auto& [source, indicators] = sources[f];
    if (f < files.size() && !files[f].verified) {  // a row saying why it has none
      const std::optional<Finding>& at = files[f].stoppedBy;
      table.rowUtf8({source, uncheckedText(files[f]), at ? std::string(at->code) : "",
                     at ? numberOrBlank(at->place.line) : "",
                     at && at->place.recordType != 0 ? cformat("E%02d", at->place.recordType) : "", "", "", "", "",
                     problemOf(files[f])});
      continue;
    }
    for (const Indicator& i : *indicators)
      table.rowUtf8({source, levelText(i.level), std::string(i.code), numberOrBlank(i.line),
                     i.recordType == 0 ? "" : cformat("E%02d", i.recordType), numberOrBlank(i.crz),
                     numberOrBlank(i.coo), cp1252ToUtf8(i.expected), cp1252ToUtf8(i.found),
                     cp1252ToUtf8(i.sentence)});
  }
  return table.text();
}

int exitStatusOf(const std::vector<FileIndicators>& files, const std::vector<EcfGroup>& groups) {
  int status = groupsHaveAlert(groups) ? kFound : kOk;
  for (const FileIndicators& f : files) {
    if (!f.verified) return kCannotRun;
    if (hasAlert(f.indicators)) status = kFound;
  }
  return status;
}

}  // namespace

int runIndicios(const Args& args) {
  const std::optional<ParsedArgs> parsed = parseArgs(
      args, {{"--limite-cancelamentos", true}, {"--json", false}, {"--csv", false}, {"--continuar", false}}, kUsage);
  if (!parsed) return kCannotRun;
  if (parsed->help) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  if (parsed->positional.empty()) return usageError(kUsage, "informe o arquivo a examinar");
  if (parsed->has("--json") && parsed->has("--csv")) return usageError(kUsage, "escolha --json ou --csv, não os dois");
  const Output output = parsed->has("--json") ? Output::Json : parsed->has("--csv") ? Output::Csv : Output::Table;

  ValidationSettings settings;
  settings.continuing = parsed->has("--continuar");
  settings.keepFindings = false;  // only the indicators are shown; the log has the findings
  if (const auto limit = parsed->value("--limite-cancelamentos")) {
    const std::int64_t hundredths = percentHundredthsFromText(*limit);
    if (hundredths < 0)
      return usageError(kUsage, "--limite-cancelamentos precisa de uma porcentagem de 0 a 100: " + *limit);
    settings.indicators.cancellationLimitHundredths = hundredths;
  }

  const DiscoveredFiles discovered = discoverCotepeFiles(parsed->positional);
  std::vector<FileIndicators> files(discovered.files.size());
  for (std::size_t i = 0; i < files.size(); ++i) files[i].outcome.path = discovered.files[i];
  std::mutex mutex;
  std::size_t done = 0;
  const bool progress = output == Output::Table && files.size() > 1 && ::isatty(STDERR_FILENO) == 1;
  ProgressBar bar(stderr, files.size());
  {
    std::vector<std::string> logs;
    for (const std::string& file : discovered.files) logs.push_back(file + ".log");
    BatchInterrupt interrupt(std::move(logs));
    runOnPool(files.size(), std::max(1u, std::thread::hardware_concurrency()), interrupt.stopped(),
              [&](std::size_t i) {
                FileRun run;
                FirstFinding first;
                ValidationSettings validation = settings;
                validation.logCreated = [&interrupt, i] { interrupt.logCreated(i); };
                validation.sink = &first;
                interrupt.starting(i);
                FileOutcome outcome = validateForBatch(discovered.files[i], validation, nullptr, &run);
                interrupt.finished(i);
                const std::lock_guard<std::mutex> lock(mutex);
                // A run that stopped before its totals never read the records the
                // indicators look at.
                files[i].verified = outcome.state == FileState::Validated && run.summary.reconciliation.has_value();
                if (outcome.state == FileState::Validated && !files[i].verified) files[i].stoppedBy = std::move(first.first);
                files[i].outcome = std::move(outcome);
                files[i].indicators = std::move(run.indicators);
                files[i].footprint = std::move(run.footprint);
                if (progress) bar.show(++done, files[i].outcome.path);
              });
  }
  if (progress) bar.finish();
  for (const DiscoveryProblem& p : discovered.problems) files.push_back(FileIndicators{notValidated(p), {}, {}, false, std::nullopt});
  for (const FileIndicators& f : files)
    if (!f.verified)
      std::fprintf(stderr, "tavex-cli: %s: %s: %s\n", visibleText(f.outcome.path).c_str(), uncheckedText(f).c_str(),
                   visibleText(problemOf(f)).c_str());

  // Several files: grouped by ECF, each group's files set against each other.
  std::vector<FileFootprint> footprints;
  if (files.size() > 1)
    for (const FileIndicators& f : files)
      if (f.outcome.state == FileState::Validated) footprints.push_back(f.footprint);
  const std::vector<EcfGroup> groups = groupByEcf(footprints);

  std::string out;
  if (output == Output::Json) {
    if (files.size() == 1) {
      out = fileJson(files[0]) + "\n";
    } else {
      out = "{\"arquivos\":[";
      for (std::size_t i = 0; i < files.size(); ++i) out += (i == 0 ? "\n" : ",\n") + fileJson(files[i]);
      out += files.empty() ? "],\n" : "\n],\n";
      out += "\"ecfs\":" + ecfsJson(groups, footprints) + "}\n";
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
  } else if (output == Output::Csv) {
    printOut(csvOf(files, groups));  // the table's own bytes, as a file of it would hold
  } else {
    for (const FileIndicators& f : files) out += fileTable(f);
    out += ecfsTable(groups, footprints);
    std::fwrite(out.data(), 1, out.size(), stdout);
  }
  std::fflush(stdout);
  return exitStatusOf(files, groups);
}

}  // namespace tavex::cli
