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
    "  --limite-cancelamentos P  indício quando os cupons cancelados de uma redução Z\n"
    "                            passam de P por cento (padrão: 10)\n"
    "  --json                    um documento JSON por arquivo (vários: uma lista)\n"
    "  --csv                     uma tabela CSV (';') de todos os arquivos\n"
    "  --continuar               segue quando só faltam tipos de registro\n"
    "\n"
    "Saída: 0 sem alertas, 1 com algum alerta, 2 quando algum arquivo não pôde ser\n"
    "lido (ou a execução foi interrompida com Ctrl-C).\n";

enum class Output { Table, Json, Csv };

struct FileIndicators {
  FileOutcome outcome;
  std::vector<Indicator> indicators;
};

std::string levelText(IndicatorLevel level) { return level == IndicatorLevel::Alerta ? "alerta" : "informação"; }

std::string numberOrBlank(std::int64_t value) { return value == 0 ? std::string() : std::to_string(value); }

std::string padded(const std::string& text, std::size_t width) {
  const std::size_t shown = displayWidth(text);
  return shown >= width ? text : text + std::string(width - shown, ' ');
}

// One file: its name, then its indicators in aligned columns (UTF-8).
std::string fileTable(const FileIndicators& file) {
  std::string out = file.outcome.path + "\n";
  if (file.outcome.state != FileState::Validated)
    return out + "  não lido: " + (file.outcome.problem.empty() ? stateText(file.outcome.state) : file.outcome.problem) +
           "\n\n";
  if (file.indicators.empty()) return out + "  nenhum indício\n\n";
  std::vector<std::vector<std::string>> rows = {
      {"Nível", "Código", "Linha", "CRZ", "COO", "Esperado", "Encontrado", "Frase"}};
  for (const Indicator& i : file.indicators)
    rows.push_back({levelText(i.level), std::string(i.code), numberOrBlank(i.line), numberOrBlank(i.crz),
                    numberOrBlank(i.coo), cp1252ToUtf8(i.expected), cp1252ToUtf8(i.found), cp1252ToUtf8(i.sentence)});
  std::vector<std::size_t> widths(rows[0].size(), 0);
  for (const auto& row : rows)
    for (std::size_t c = 0; c + 1 < row.size(); ++c) widths[c] = std::max(widths[c], displayWidth(row[c]));
  for (const auto& row : rows) {
    std::string line = " ";
    for (std::size_t c = 0; c < row.size(); ++c) line += " " + (c + 1 < row.size() ? padded(row[c], widths[c]) : row[c]);
    out += line + "\n";
  }
  const auto alerts = std::count_if(file.indicators.begin(), file.indicators.end(),
                                    [](const Indicator& i) { return i.level == IndicatorLevel::Alerta; });
  out += cformat("  %zu indício(s): %ld alerta(s), %ld informação(ões)\n\n", file.indicators.size(),
                 static_cast<long>(alerts), static_cast<long>(file.indicators.size()) - static_cast<long>(alerts));
  return out;
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

// The CSV of every file (cp1252 rows).
std::string csvOf(const std::vector<FileIndicators>& files) {
  std::string out = "Arquivo;Nível;Código;Linha;Registro;CRZ;COO;Esperado;Encontrado;Frase\r\n"_cp;
  for (const FileIndicators& file : files)
    for (const Indicator& i : file.indicators) {
      const std::vector<std::string> row = {file.outcome.path, levelText(i.level), std::string(i.code),
                                            numberOrBlank(i.line), i.recordType == 0 ? "" : cformat("E%02d", i.recordType),
                                            numberOrBlank(i.crz), numberOrBlank(i.coo), cp1252ToUtf8(i.expected),
                                            cp1252ToUtf8(i.found), cp1252ToUtf8(i.sentence)};
      for (std::size_t c = 0; c < row.size(); ++c) out += (c == 0 ? "" : ";") + csvField(row[c]);
      out += "\r\n";
    }
  return out;
}

int exitStatusOf(const std::vector<FileIndicators>& files) {
  int status = kOk;
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
                if (progress) bar.show(++done, files[i].outcome.path);
              });
  }
  if (progress) bar.finish();
  for (const DiscoveryProblem& p : discovered.problems) files.push_back(FileIndicators{notValidated(p), {}});
  for (const FileIndicators& f : files)
    if (f.outcome.state != FileState::Validated)
      std::fprintf(stderr, "tavex-cli: %s: %s\n", f.outcome.path.c_str(),
                   f.outcome.problem.empty() ? stateText(f.outcome.state).c_str() : f.outcome.problem.c_str());

  std::string out;
  if (output == Output::Json) {
    if (files.size() == 1) {
      out = fileJson(files[0]) + "\n";
    } else {
      out = "[";
      for (std::size_t i = 0; i < files.size(); ++i) out += (i == 0 ? "\n" : ",\n") + fileJson(files[i]);
      out += files.empty() ? "]\n" : "\n]\n";
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
  } else if (output == Output::Csv) {
    printCp1252(csvOf(files));
  } else {
    for (const FileIndicators& f : files) out += fileTable(f);
    std::fwrite(out.data(), 1, out.size(), stdout);
  }
  std::fflush(stdout);
  return exitStatusOf(files);
}

}  // namespace tavex::cli
