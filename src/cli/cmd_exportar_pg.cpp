#include <cstdio>

#include "cli/commands.h"
#include "cli/terminal_ui.h"
#include "cotepe/file_discovery.h"
#include "cotepe/text.h"
#include "pg/pg_load.h"
#include "pg/pg_schema.h"
#include "ui/tolerance.h"
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
    "                       número de erros e avisos com ele\n"
    "  --tolerancia TEXTO   tolerância da validação em reais (0,05 = 5 centavos)\n"
    "\n"
    "Saída: 0 tudo carregado, 1 carregado mas a validação achou erros, 2 algum\n"
    "arquivo não pôde ser carregado.\n";

void error(const std::string& cp1252Text) {
  const std::string text = "Erro!: " + cp1252ToUtf8(cp1252Text) + "\n";
  std::fputs(text.c_str(), stderr);
}

}  // namespace

int runExportarPg(const Args& args) {
  if (wantsHelp(args)) {
    std::fputs(kUsage, stdout);
    return kOk;
  }
  std::vector<std::string> paths;
  std::string url;
  std::string tolerance = "0,00";
  bool skipExisting = false;
  bool validate = false;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || !a.starts_with("--")) {
      paths.push_back(a);
    } else if (a == "--") {
      optionsEnded = true;
    } else if (a == "--url" || a == "--tolerancia") {
      if (i + 1 >= args.size()) return usageError(kUsage, a + " precisa de um valor");
      (a == "--url" ? url : tolerance) = args[++i];
    } else if (a == "--pular-existentes") {
      skipExisting = true;
    } else if (a == "--validar") {
      validate = true;
    } else {
      return usageError(kUsage, "opção desconhecida: " + a);
    }
  }
  if (paths.empty()) return usageError(kUsage, "informe os arquivos ou pastas a carregar");

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
  const std::int64_t toleranceCents = toleranceCentsFromText(utf8ToCp1252(tolerance));
  for (const std::string& path : found.files) {
    PgLoadOptions options;
    options.skipExisting = skipExisting;
    if (validate) {
      const ValidationSummary v = validateCotepeFile(ui, path, toleranceCents);
      if (v.ran) options.validation = std::pair(v.errors, v.warnings);
      if (v.ran && v.errors > 0 && status == kOk) status = kFound;
    }
    if (!connection.connected()) connection.reconnect();
    const PgLoadResult r = loadCotepeFileToPg(connection, path, options);
    const std::string shown = utf8ToCp1252(path);
    switch (r.status) {
      case PgLoadStatus::Loaded:
      case PgLoadStatus::Replaced: {
        std::string line = cformat("%s: %s (%lld linhas, %lld registros, arquivo %lld)"_cp, shown.c_str(),
                                   r.status == PgLoadStatus::Loaded ? "carregado" : "substituído"_cp, r.lines, r.rows,
                                   r.fileId);
        if (r.invalidFields > 0)
          line += cformat("; %lld campos fora do formato gravados como NULL"_cp, r.invalidFields);
        if (options.validation)
          line += cformat("; validação: %d erros, %d avisos"_cp, options.validation->first, options.validation->second);
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
