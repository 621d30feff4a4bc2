// tavex-cli indicios: the audit indicators of files and folders, found in the
// full validation of each file (whose log is written beside it as by "validar").
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
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
#include "indicators/file_indicators.h"

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
    "Saída: 0 sem alertas, 1 com algum alerta, 2 quando algum arquivo não pôde ser\n"
    "lido (ou a execução foi interrompida com Ctrl-C).\n";

enum class Output { Table, Json, Csv };

struct FileIndicators {
  FileOutcome outcome;
  std::vector<Indicator> indicators;
  FileFootprint footprint;
};

// One file: its name, then its indicators in aligned columns (UTF-8).
std::string fileTable(const FileIndicators& file) {
  std::string out = file.outcome.path + "\n";
  if (file.outcome.state != FileState::Validated)
    return out + "  não lido: " + (file.outcome.problem.empty() ? stateText(file.outcome.state) : file.outcome.problem) +
           "\n\n";
  return out + indicatorTable(file.indicators);
}

std::string fileJson(const FileIndicators& file) {
  nlohmann::ordered_json head;
  head["arquivo"] = file.outcome.path;
  if (file.outcome.state != FileState::Validated)
    head["problema"] = file.outcome.problem.empty() ? stateText(file.outcome.state) : file.outcome.problem;
  std::string out = head.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  out.pop_back();
  out += ",\"indicios\":";
  out += file.outcome.state == FileState::Validated ? indicatorsJson(file.indicators) : std::string("null");
  return out + "}";
}

// The CSV of every file, then of every group of several files (cp1252 rows; a
// group's rows name its ECF where a file's name their file).
std::string csvOf(const std::vector<FileIndicators>& files, const std::vector<EcfGroup>& groups) {
  std::string out = "Arquivo;Nível;Código;Linha;Registro;CRZ;COO;Esperado;Encontrado;Frase\r\n"_cp;
  std::vector<std::pair<std::string, const std::vector<Indicator>*>> sources;
  for (const FileIndicators& file : files) sources.emplace_back(file.outcome.path, &file.indicators);
  for (const EcfGroup& group : groups) sources.emplace_back(cp1252ToUtf8(ecfCaption(group)), &group.indicators);
  for (const auto& [source, indicators] : sources)
    for (const Indicator& i : *indicators) {
      const std::vector<std::string> row = {source, levelText(i.level), std::string(i.code),
                                            numberOrBlank(i.line), i.recordType == 0 ? "" : cformat("E%02d", i.recordType),
                                            numberOrBlank(i.crz), numberOrBlank(i.coo), cp1252ToUtf8(i.expected),
                                            cp1252ToUtf8(i.found), cp1252ToUtf8(i.sentence)};
      for (std::size_t c = 0; c < row.size(); ++c) out += (c == 0 ? "" : ";") + csvField(row[c]);
      out += "\r\n";
    }
  return out;
}

int exitStatusOf(const std::vector<FileIndicators>& files, const std::vector<EcfGroup>& groups) {
  int status = groupsHaveAlert(groups) ? kFound : kOk;
  for (const FileIndicators& f : files) {
    if (f.outcome.state != FileState::Validated) return kCannotRun;
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
                ValidationSettings validation = settings;
                validation.logCreated = [&interrupt, i] { interrupt.logCreated(i); };
                interrupt.starting(i);
                FileOutcome outcome = validateForBatch(discovered.files[i], validation, nullptr, &run);
                interrupt.finished(i);
                const std::lock_guard<std::mutex> lock(mutex);
                files[i].outcome = std::move(outcome);
                files[i].indicators = std::move(run.indicators);
                files[i].footprint = std::move(run.footprint);
                if (progress) bar.show(++done, files[i].outcome.path);
              });
  }
  if (progress) bar.finish();
  for (const DiscoveryProblem& p : discovered.problems) files.push_back(FileIndicators{notValidated(p), {}, {}});
  for (const FileIndicators& f : files)
    if (f.outcome.state != FileState::Validated)
      std::fprintf(stderr, "tavex-cli: %s: %s\n", f.outcome.path.c_str(),
                   f.outcome.problem.empty() ? stateText(f.outcome.state).c_str() : f.outcome.problem.c_str());

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
    printCp1252(csvOf(files, groups));
  } else {
    for (const FileIndicators& f : files) out += fileTable(f);
    out += ecfsTable(groups, footprints);
    std::fwrite(out.data(), 1, out.size(), stdout);
  }
  std::fflush(stdout);
  return exitStatusOf(files, groups);
}

}  // namespace tavex::cli
