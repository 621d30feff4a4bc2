#include <cstdio>
#include <optional>
#include <string_view>

#include "cli/commands.h"
#include "cli/terminal_ui.h"
#include "cotepe/br_format.h"
#include "cotepe/file_discovery.h"
#include "cotepe/text.h"
#include "cotepe/visible_name.h"
#include "cotepe/record_layout.h"
#include "indicators/file_indicators.h"
#include "pg/pg_findings.h"
#include "pg/pg_load.h"
#include "pg/pg_schema.h"
#include "validation/finding_ranges.h"
#include "validation/validate.h"

namespace tavex::cli {

namespace {

const char* const kUsage =
    "Uso: tavex-cli exportar-pg ARQUIVO|PASTA... [--url URL] [--pular-existentes]\n"
    "                           [--validar [--tolerancia TEXTO]]\n"
    "\n"
    "Carrega arquivos COTEPE num banco PostgreSQL compartilhado (esquema tavex, uma\n"
    "tabela por tipo de registro). Pastas são percorridas com as subpastas; os\n"
    "arquivos COTEPE são reconhecidos pelo conteúdo (primeira linha E01). Cada arquivo\n"
    "entra inteiro numa transação ou não entra. Os mesmos bytes carregados de novo\n"
    "substituem as linhas daquele arquivo.\n"
    "  --url URL            conexão (postgresql://usuario@servidor/banco); sem ela,\n"
    "                       as variáveis PGHOST, PGDATABASE, PGUSER... e ~/.pgpass\n"
    "  --pular-existentes   deixa como estão os arquivos já carregados\n"
    "  --validar            valida cada arquivo antes (grava ARQUIVO.log) e guarda o\n"
    "                       número de erros e avisos com ele, os achados, a conciliação\n"
    "                       e os indícios; sem --validar, os mesmos bytes carregados\n"
    "                       de novo mantêm a validação anterior\n"
    "  --tolerancia TEXTO   tolerância da validação em reais: 0, 10, 1.000 ou com vírgula\n"
    "                       e dois centavos (0,05 = 5 centavos, 1.000,00)\n"
    "\n"
    "Saída: 0 tudo carregado, 1 carregado mas a validação achou erros, 2 algum\n"
    "arquivo não pôde ser carregado.\n";

void error(const std::string& cp1252Text) {
  const std::string text = "Erro!: " + terminalText(cp1252Text) + "\n";
  std::fputs(text.c_str(), stderr);
}

// The rows of tavex.conciliacao of one validated file.
std::vector<PgReconciliationRow> pgReconciliationOf(const Reconciliation& table) {
  std::vector<PgReconciliationRow> rows;
  for (const ReductionReconciliation& r : table.reductions)
    for (const ReconciledTotal& t : r.totals) {
      PgReconciliationRow row;
      row.crz = r.crz;
      row.date = r.date;
      row.cooFirst = r.firstCoo;
      row.cooLast = r.lastCoo;
      row.kind = std::string(recordNameOf(t.kind));
      row.totalizer = t.kind == TotalKind::GrossSales ? "VENDA BRUTA" : std::string(trimRight(t.name));
      row.declaredCents = t.declared;
      row.computedCents = t.computed;
      row.differenceCents = t.difference;
      row.withinTolerance = t.withinTolerance;
      rows.push_back(std::move(row));
    }
  return rows;
}

}  // namespace

int runExportarPg(const Args& args) {
  const std::optional<ParsedArgs> parsed = parseArgs(
      args, {{"--url", true}, {"--tolerancia", true}, {"--pular-existentes", false}, {"--validar", false}}, kUsage);
  if (!parsed) return kCannotRun;
  if (parsed->help) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  const std::vector<std::string>& paths = parsed->positional;
  const std::string url = parsed->value("--url").value_or("");
  const bool skipExisting = parsed->has("--pular-existentes");
  const bool validate = parsed->has("--validar");
  if (paths.empty()) return usageError(kUsage, "informe os arquivos ou pastas a carregar");
  const std::optional<std::int64_t> toleranceCents = toleranceOption(*parsed, kUsage, validate);
  if (!toleranceCents) return kCannotRun;

  const DiscoveredFiles found = discoverCotepeFiles(paths);
  int status = kOk;
  for (const DiscoveryProblem& p : found.problems) {
    error(describeProblem(p));
    status = kCannotRun;
  }
  if (found.files.empty()) {
    error("Nenhum arquivo COTEPE para carregar."_cp);
    return kCannotRun;
  }

  PgConnection connection;
  if (!connection.connect(url)) {
    error("Não foi possível conectar ao PostgreSQL: "_cp + utf8ToCp1252(connection.error()));
    return kCannotRun;
  }
  const PgSchemaResult schema = ensurePgSchema(connection);
  if (!schema.usable()) {
    error(schema.message);
    return kCannotRun;
  }
  if (schema.status == PgSchemaResult::Status::Created)
    printCp1252(cformat("Esquema tavex criado (versão %d).\n"_cp, kPgSchemaVersion));
  else if (schema.status == PgSchemaResult::Status::Migrated)
    printCp1252(cformat("Esquema tavex atualizado da versão %d para a %d.\n"_cp, schema.foundVersion, kPgSchemaVersion));

  TerminalUserInterface ui;
  for (const std::string& path : found.files) {
    PgLoadOptions options;
    options.skipExisting = skipExisting;
    const std::string shown = visibleCp1252(path);  // the name, with nothing in it acting on the terminal
    if (skipExisting) {
      // Decided before any validation: a file already loaded costs one read.
      const std::optional<std::string> sha = sha256HexOfFile(path);
      if (!connection.connected()) connection.reconnect();
      if (const std::optional<long long> id = sha ? pgLoadedFileId(connection, *sha) : std::nullopt) {
        printCp1252(cformat("%s: já carregado (arquivo %lld), pulado\n"_cp, shown.c_str(), *id));
        continue;
      }
    }
    std::vector<PgReconciliationRow> reconciliation;
    std::vector<Indicator> indicators;
    if (!connection.connected()) connection.reconnect();
    PgLoadResult r;
    if (validate) {
      // The load takes its lines from the validation's read: the file is read once.
      std::optional<PgFileLoad> load(std::in_place, connection, path, options);
      // Findings go to their rows as they come: a file may have millions.
      PgFindingRows findings;
      MissingCooRanges ranges(findings);
      ValidationOptions validationOptions;
      validationOptions.sinks.push_back(&ranges);
      validationOptions.readTap = [&load](std::string_view raw) { load->addLine(raw); };
      IndicatorRun run = validateWithIndicators(ui, path, *toleranceCents, IndicatorSettings{}, validationOptions);
      ranges.flush();
      const ValidationSummary& v = run.summary;
      // A run that could not read the file leaves the load to try it alone.
      if (!v.ran) load.reset();
      if (v.ran) {
        options.validation = std::pair(v.errors, v.warnings);
        if (v.reconciliation) reconciliation = pgReconciliationOf(*v.reconciliation);
        indicators = std::move(run.indicators);
        options.beforeCommit = [&](PgConnection& c, long long fileId) {
          return findings.copyTo(c, fileId) && copyReconciliation(c, fileId, reconciliation) &&
                 copyIndicators(c, fileId, indicators);
        };
      }
      if (v.ran && v.errors > 0 && status == kOk) status = kFound;
      // A run stopped early by the file's structure: the load reads on from where it stopped.
      r = !load ? loadCotepeFileToPg(connection, path, options) : v.endsInEad ? load->finish(true) : finishFromFile(*load, path);
      if (!r.ok() && !findings.spillError().empty()) r.message = findings.spillError();
    } else {
      r = loadCotepeFileToPg(connection, path, options);
    }
    switch (r.status) {
      case PgLoadStatus::Loaded:
      case PgLoadStatus::Replaced: {
        std::string line = cformat("%s: %s (%s, %s, arquivo %lld)"_cp, shown.c_str(),
                                   r.status == PgLoadStatus::Loaded ? "carregado" : "substituído"_cp,
                                   countOf(r.lines, "linha", "linhas").c_str(),
                                   countOf(r.rows, "registro", "registros").c_str(), r.fileId);
        if (r.invalidFields > 0)
          line += "; " + countOf(r.invalidFields, "campo fora do formato gravado", "campos fora do formato gravados") +
                  " como NULL";
        const auto counts = [](const std::pair<int, int>& v) {
          return countOf(v.first, "erro", "erros") + ", " + countOf(v.second, "aviso", "avisos");
        };
        if (options.validation) line += "; validação: "_cp + counts(*options.validation);
        if (r.keptValidation) line += "; validação anterior mantida: "_cp + counts(*r.keptValidation);
        printCp1252(line + "\n");
        break;
      }
      case PgLoadStatus::Skipped:
        printCp1252(cformat("%s: já carregado (arquivo %lld), pulado\n"_cp, shown.c_str(), r.fileId));
        break;
      default:
        error(shown + ": " + r.message + (r.status == PgLoadStatus::Failed ? "; nada deste arquivo foi gravado"_cp : ""));
        status = kCannotRun;
        break;
    }
  }
  return status;
}

}  // namespace tavex::cli
