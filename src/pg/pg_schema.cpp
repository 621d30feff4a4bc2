#include "pg/pg_schema.h"

#include <array>
#include <cctype>

#include "cotepe/text.h"
#include "export/mdb_export.h"

namespace tavex {

namespace {

// Advisory lock keys: the schema's changes take turns on these.
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(1413568088, 0)";

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

PgColumnKind kindOf(const FieldLayout& field) {
  switch (field.check) {
    case FieldCheck::Date:
      return PgColumnKind::Date;
    case FieldCheck::Time:
      return PgColumnKind::Time;
    case FieldCheck::Number:
      return field.name.find("CNPJ") == std::string_view::npos ? PgColumnKind::Integer : PgColumnKind::Text;
    case FieldCheck::None:
      break;
  }
  return PgColumnKind::Text;
}

const char* sqlType(PgColumnKind kind) {
  switch (kind) {
    case PgColumnKind::Integer:
      return "bigint";
    case PgColumnKind::Date:
      return "date";
    case PgColumnKind::Time:
      return "time";
    case PgColumnKind::Text:
      break;
  }
  return "text";
}

// Tables of documents and reductions, whose dates auditors search by.
bool indexesDates(int table) { return table >= 9 && table <= 20; }

// The record tables carry no foreign key: a per-row check would double the cost
// of a load. A file's rows go with its arquivo row through one trigger instead.
std::string recordTables() {
  std::string sql;
  for (int t = 0; t < 22; ++t) {
    const std::string name = pgTableName(t);
    sql += "CREATE TABLE " + name +
           " (arquivo_id bigint NOT NULL, linha integer NOT NULL";
    for (const PgColumn& c : pgColumnsOf(t)) sql += ", " + c.name + " " + sqlType(c.kind);
    sql += ", texto text NOT NULL, PRIMARY KEY (arquivo_id, linha));\n";
    const std::string bare = name.substr(6);
    for (const PgColumn& c : pgColumnsOf(t)) {
      if (c.name == "crz" || c.name == "coo" || c.name == "coo_inicial")
        sql += "CREATE INDEX " + bare + "_" + c.name + " ON " + name + " (arquivo_id, " + c.name + ");\n";
      else if (c.kind == PgColumnKind::Date && indexesDates(t))
        sql += "CREATE INDEX " + bare + "_" + c.name + " ON " + name + " (" + c.name + ");\n";
    }
  }
  std::string deletes;
  for (int t = 0; t < 22; ++t) deletes += "  DELETE FROM " + pgTableName(t) + " WHERE arquivo_id = OLD.id;\n";
  deletes += "  DELETE FROM tavex.linha_desconhecida WHERE arquivo_id = OLD.id;\n";
  sql += "CREATE FUNCTION tavex.apagar_linhas_do_arquivo() RETURNS trigger LANGUAGE plpgsql AS $$\nBEGIN\n" + deletes +
         "  RETURN OLD;\nEND $$;\n"
         "CREATE TRIGGER apagar_linhas AFTER DELETE ON tavex.arquivo FOR EACH ROW "
         "EXECUTE FUNCTION tavex.apagar_linhas_do_arquivo();\n";
  return sql;
}

// Step 1: the files and their records.
std::string step1() {
  return R"(CREATE TABLE tavex.versao (versao integer NOT NULL);
CREATE TABLE tavex.arquivo (
  id bigserial PRIMARY KEY,
  sha256 text NOT NULL UNIQUE,
  nome text NOT NULL,
  caminho text NOT NULL,
  tipo text NOT NULL,
  serie_ecf text NOT NULL,
  cnpj text NOT NULL,
  data_inicial date,
  data_final date,
  linhas integer,
  importado_em timestamptz NOT NULL DEFAULT now(),
  importado_por text NOT NULL DEFAULT session_user,
  estacao text NOT NULL DEFAULT '');
CREATE INDEX arquivo_serie_ecf ON tavex.arquivo (serie_ecf, data_inicial);
CREATE INDEX arquivo_cnpj ON tavex.arquivo (cnpj, data_inicial);
CREATE TABLE tavex.linha_desconhecida (
  arquivo_id bigint NOT NULL,
  linha integer NOT NULL,
  texto text NOT NULL,
  PRIMARY KEY (arquivo_id, linha));
)" + recordTables();
}

// Step 2: findings and the reconciliation of each reduction; the validation's counts per file.
const char* const kStep2 = R"(ALTER TABLE tavex.arquivo
  ADD COLUMN validado boolean NOT NULL DEFAULT false,
  ADD COLUMN erros integer,
  ADD COLUMN avisos integer;
CREATE TABLE tavex.achado (
  arquivo_id bigint NOT NULL REFERENCES tavex.arquivo(id) ON DELETE CASCADE,
  linha integer NOT NULL,
  registro text NOT NULL,
  campo integer,
  codigo text NOT NULL,
  severidade text NOT NULL CHECK (severidade IN ('erro', 'aviso')),
  mensagem text NOT NULL,
  crz integer,
  coo integer,
  valor_declarado bigint,
  valor_calculado bigint);
CREATE INDEX achado_arquivo ON tavex.achado (arquivo_id, linha);
CREATE INDEX achado_codigo ON tavex.achado (codigo);
CREATE TABLE tavex.conciliacao (
  arquivo_id bigint NOT NULL REFERENCES tavex.arquivo(id) ON DELETE CASCADE,
  crz integer NOT NULL,
  data date,
  coo_inicial integer,
  coo_final integer,
  tipo text NOT NULL CHECK (tipo IN ('E12', 'E13', 'E17', 'E18')),
  totalizador text NOT NULL,
  declarado bigint NOT NULL,
  calculado bigint NOT NULL,
  diferenca bigint NOT NULL,
  dentro_tolerancia boolean NOT NULL);
CREATE INDEX conciliacao_arquivo ON tavex.conciliacao (arquivo_id, crz);
CREATE INDEX conciliacao_data ON tavex.conciliacao (data);
)";

// Step 3: the indicators of each validated file (what its counters and dates say).
const char* const kStep3 = R"(CREATE TABLE tavex.indicio (
  arquivo_id bigint NOT NULL REFERENCES tavex.arquivo(id) ON DELETE CASCADE,
  codigo text NOT NULL,
  nivel text NOT NULL CHECK (nivel IN ('alerta', 'informacao')),
  mensagem text NOT NULL,
  linha integer,
  registro text,
  crz bigint,
  coo bigint,
  esperado text NOT NULL,
  encontrado text NOT NULL);
CREATE INDEX indicio_arquivo ON tavex.indicio (arquivo_id, linha);
CREATE INDEX indicio_codigo ON tavex.indicio (codigo);
)";

// Step 4: which CRZ ranges of each ECF (E01 serial, MF addition, model) the loaded
// files hold: the reductions of their fiscal memory (E12) and of their detail
// memory (E16 "RZ"), runs of consecutive CRZ as one row, with the files that hold
// them. A view: it answers from the rows as they are, nothing to keep up to date.
const char* const kStep4 = R"(CREATE VIEW tavex.cobertura_ecf AS
WITH reducao AS (
  SELECT rtrim(e01.fabricacao) AS serie_ecf, e01.mf_adicional, rtrim(e01.modelo) AS modelo, r.crz, r.arquivo_id
  FROM (SELECT arquivo_id, crz FROM tavex.e12
        UNION SELECT arquivo_id, crz FROM tavex.e16 WHERE rtrim(denominacao) = 'RZ') r
  JOIN tavex.e01 e01 ON e01.arquivo_id = r.arquivo_id
  WHERE r.crz IS NOT NULL),
distinta AS (SELECT DISTINCT serie_ecf, mf_adicional, modelo, crz FROM reducao),
ilha AS (
  SELECT serie_ecf, mf_adicional, modelo, crz,
         crz - row_number() OVER (PARTITION BY serie_ecf, mf_adicional, modelo ORDER BY crz) AS grupo
  FROM distinta),
faixa AS (
  SELECT serie_ecf, mf_adicional, modelo, min(crz) AS crz_inicial, max(crz) AS crz_final, count(*) AS reducoes
  FROM ilha GROUP BY serie_ecf, mf_adicional, modelo, grupo)
SELECT f.serie_ecf, f.mf_adicional, f.modelo, f.crz_inicial, f.crz_final, f.reducoes,
       (SELECT array_agg(DISTINCT a.nome ORDER BY a.nome)
        FROM reducao r JOIN tavex.arquivo a ON a.id = r.arquivo_id
        WHERE r.serie_ecf = f.serie_ecf AND r.mf_adicional IS NOT DISTINCT FROM f.mf_adicional
          AND r.modelo IS NOT DISTINCT FROM f.modelo AND r.crz BETWEEN f.crz_inicial AND f.crz_final) AS arquivos
FROM faixa f;
)";

// Step 5: a finding may stand for a range of consecutive missing COO numbers (the
// log has one line per number): its last number and how many.
const char* const kStep5 = R"(ALTER TABLE tavex.achado
  ADD COLUMN coo_final integer,
  ADD COLUMN quantidade bigint;
)";

PgSchemaResult failed(PgConnection& c, PgSchemaResult r) {
  if (c.sqlState() == "42501") {
    r.status = PgSchemaResult::Status::NoPermission;
    const std::string db = utf8ToCp1252(c.database());
    const std::string user = utf8ToCp1252(c.user());
    r.message = cformat(
        "Sem permissão para criar ou atualizar o esquema tavex no banco \"%s\" (%s).\n"
        "O usuário \"%s\" precisa poder criar o esquema (GRANT CREATE ON DATABASE \"%s\" TO \"%s\") "
        "ou ser dono de um esquema tavex já criado (CREATE SCHEMA tavex AUTHORIZATION \"%s\")."_cp,
        db.c_str(), utf8ToCp1252(c.error()).c_str(), user.c_str(), db.c_str(), user.c_str(), user.c_str());
  } else {
    r.status = PgSchemaResult::Status::Failed;
    r.message = "Não foi possível preparar o esquema tavex: "_cp + utf8ToCp1252(c.error());
  }
  c.rollbackQuietly();
  return r;
}

// The message listing the rights `missing` (cp1252).
std::string missingRightsMessage(PgConnection& c, const std::vector<PgRight>& missing) {
  const std::string db = utf8ToCp1252(c.database());
  const std::string user = utf8ToCp1252(c.user());
  std::string list;
  for (std::size_t i = 0; i < missing.size(); ++i) {
    // One line per object: "  tabela tavex.e15: SELECT, INSERT".
    const PgRight& right = missing[i];
    const bool sameObject = i > 0 && missing[i - 1].kind == right.kind && missing[i - 1].name == right.name;
    if (sameObject) {
      list += ", " + right.privilege;
      continue;
    }
    if (i > 0) list += "\n";
    list += right.kind == "schema"     ? "  esquema tavex: "
            : right.kind == "sequence" ? "  sequência tavex."_cp + right.name + ": "
                                       : "  tabela tavex." + right.name + ": ";
    list += right.privilege;
  }
  list += "\n";
  return cformat(
             "O usuário \"%s\" não tem todos os direitos de que a carga precisa no esquema tavex do banco \"%s\". "
             "Faltam:\n"_cp,
             user.c_str(), db.c_str()) +
         list +
         cformat("Um administrador os concede de uma vez com o script tavex_pg_direitos.sql do Tavex:\n"
                 "  psql -d \"%s\" -v papel=\"%s\" -f tavex_pg_direitos.sql"_cp,
                 db.c_str(), user.c_str());
}

// The message for a user who may not create the schema of an empty database (cp1252).
std::string cannotCreateMessage(PgConnection& c) {
  const std::string db = utf8ToCp1252(c.database());
  const std::string user = utf8ToCp1252(c.user());
  return cformat(
      "O esquema tavex ainda não existe no banco \"%s\" e o usuário \"%s\" não pode criá-lo. Falta:\n"
      "  banco %s: CREATE (GRANT CREATE ON DATABASE \"%s\" TO \"%s\")\n"
      "ou um administrador cria o esquema uma vez (CREATE SCHEMA tavex AUTHORIZATION \"%s\")."_cp,
      db.c_str(), user.c_str(), db.c_str(), db.c_str(), user.c_str(), user.c_str());
}

}  // namespace

std::vector<PgRight> pgLoadRights() {
  std::vector<PgRight> rights = {
      {"schema", "tavex", "USAGE"},
      {"table", "versao", "SELECT"},
      {"table", "arquivo", "SELECT"},
      {"table", "arquivo", "INSERT"},
      {"table", "arquivo", "UPDATE"},
      {"table", "arquivo", "DELETE"},
      {"sequence", "arquivo_id_seq", "USAGE"},
  };
  // The record tables take a file's rows (COPY) and lose them when it is loaded
  // again (the trigger's DELETE reads arquivo_id: SELECT).
  std::vector<std::string> records;
  for (int t = 0; t < 22; ++t) records.push_back(pgTableName(t).substr(6));
  records.push_back("linha_desconhecida");
  for (const std::string& table : records)
    for (const char* privilege : {"SELECT", "INSERT", "DELETE"}) rights.push_back({"table", table, privilege});
  // A reload without a validation copies the earlier one's rows (SELECT).
  for (const char* table : {"achado", "conciliacao", "indicio"})
    for (const char* privilege : {"SELECT", "INSERT"}) rights.push_back({"table", table, privilege});
  return rights;
}

std::optional<std::vector<PgRight>> missingPgLoadRights(PgConnection& connection) {
  // Objects by OID: a lookup by name would itself fail without USAGE on the schema.
  std::string values;
  const std::vector<PgRight> rights = pgLoadRights();
  for (std::size_t i = 0; i < rights.size(); ++i)
    values += cformat("%s(%zu, '%s', '%s', '%s')", i == 0 ? "" : ", ", i, rights[i].kind.c_str(),
                      rights[i].name.c_str(), rights[i].privilege.c_str());
  const auto rows = connection.query(
      "WITH s AS (SELECT oid FROM pg_namespace WHERE nspname = 'tavex'), "
      "w(n, kind, name, privilege) AS (VALUES " + values + ") "
      "SELECT w.n FROM w LEFT JOIN pg_class c ON c.relnamespace = (SELECT oid FROM s) AND c.relname = w.name "
      "WHERE NOT CASE w.kind "
      "  WHEN 'schema' THEN has_schema_privilege((SELECT oid FROM s), w.privilege) "
      "  WHEN 'sequence' THEN c.oid IS NOT NULL AND has_sequence_privilege(c.oid, w.privilege) "
      "  ELSE c.oid IS NOT NULL AND has_table_privilege(c.oid, w.privilege) END "
      "ORDER BY w.n");
  if (!rows) return std::nullopt;
  std::vector<PgRight> missing;
  for (const auto& row : *rows) missing.push_back(rights[static_cast<std::size_t>(leadingInt(row[0]))]);
  return missing;
}

std::string pgTableName(int table) { return "tavex." + lower(mdbTableLayout(table).tag); }

const std::vector<PgColumn>& pgColumnsOf(int table) {
  static const std::array<std::vector<PgColumn>, 22> columns = [] {
    std::array<std::vector<PgColumn>, 22> all;
    for (int t = 0; t < 22; ++t) {
      for (const FieldLayout& field : mdbTableLayout(t).fields)
        all[static_cast<std::size_t>(t)].push_back({lower(field.dbColumn), kindOf(field), &field});
    }
    return all;
  }();
  return columns[static_cast<std::size_t>(table)];
}

bool applyPgSchemaSteps(PgConnection& connection, int fromVersion, int toVersion) {
  for (int step = fromVersion + 1; step <= toVersion; ++step) {
    const std::string sql = step == 1 ? step1() : step == 2 ? kStep2 : step == 3 ? kStep3 : step == 4 ? kStep4 : kStep5;
    if (!connection.exec(sql)) return false;
  }
  if (fromVersion == 0) return connection.exec(cformat("INSERT INTO tavex.versao VALUES (%d)", toVersion));
  return connection.exec(cformat("UPDATE tavex.versao SET versao = %d", toVersion));
}

PgSchemaResult ensurePgSchema(PgConnection& connection) {
  PgSchemaResult r;
  if (!connection.exec("BEGIN") || !connection.exec(kSchemaLock)) return failed(connection, r);
  const auto present = connection.query(
      "SELECT EXISTS (SELECT FROM pg_namespace WHERE nspname = 'tavex'), "
      "EXISTS (SELECT FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
      "WHERE n.nspname = 'tavex' AND c.relname = 'versao'), "
      "has_database_privilege(current_database(), 'CREATE')");
  if (!present) return failed(connection, r);
  if ((*present)[0][0] != "t" && (*present)[0][2] != "t") {
    connection.rollbackQuietly();
    r.status = PgSchemaResult::Status::NoPermission;
    r.message = cannotCreateMessage(connection);
    return r;
  }
  // Every missing right at once, before anything is read or written.
  std::vector<PgRight> missing;
  const auto refuse = [&] {
    connection.rollbackQuietly();
    r.status = PgSchemaResult::Status::NoPermission;
    r.message = missingRightsMessage(connection, missing);
    return r;
  };
  if ((*present)[0][1] == "t") {  // a schema still empty is filled by its owner below
    const auto lacking = missingPgLoadRights(connection);
    if (!lacking) return failed(connection, r);
    missing = *lacking;
    // Without these the version cannot even be read.
    for (const PgRight& right : missing)
      if (right.kind == "schema" || right.name == "versao") return refuse();
  }
  if ((*present)[0][1] == "t") {
    const auto version = connection.query("SELECT max(versao) FROM tavex.versao", {}, "0");
    if (!version) return failed(connection, r);
    r.foundVersion = static_cast<int>(leadingInt((*version)[0][0]));
  }
  if (r.foundVersion > kPgSchemaVersion) {
    connection.rollbackQuietly();
    r.status = PgSchemaResult::Status::Newer;
    r.message = cformat(
        "O esquema tavex deste banco está na versão %d, mais nova que a versão %d que este programa conhece.\n"
        "Atualize o Tavex para carregar arquivos neste banco."_cp,
        r.foundVersion, kPgSchemaVersion);
    return r;
  }
  if (r.foundVersion == kPgSchemaVersion) {
    // (An older schema lacks a later step's tables: its migration, by the owner, decides.)
    if (!missing.empty()) return refuse();
    if (!connection.exec("COMMIT")) return failed(connection, r);
    r.status = PgSchemaResult::Status::Ready;
    return r;
  }
  if ((*present)[0][0] != "t" && !connection.exec("CREATE SCHEMA tavex")) return failed(connection, r);
  if (!applyPgSchemaSteps(connection, r.foundVersion, kPgSchemaVersion) || !connection.exec("COMMIT"))
    return failed(connection, r);
  r.status = r.foundVersion == 0 ? PgSchemaResult::Status::Created : PgSchemaResult::Status::Migrated;
  return r;
}

}  // namespace tavex
