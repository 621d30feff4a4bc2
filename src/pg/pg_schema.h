// The schema "tavex" of a shared PostgreSQL database: what it holds, its version,
// and how an older one is brought up to date.
//
// Tables: tavex.versao (one row: the schema version), tavex.arquivo (one row per
// loaded file), one table per record type (tavex.e01 .. tavex.e21, tavex.ead) with
// the columns of the SQLite export in lower case, tavex.linha_desconhecida (lines
// of no known record type), tavex.achado (findings), tavex.conciliacao (the
// reconciliation of each Z reduction) and tavex.indicio (the indicators of what
// the ECF's counters and dates say), and the view tavex.cobertura_ecf (the CRZ
// ranges of each ECF the loaded files hold). Every row of a file's tables carries
// arquivo_id and linha (its line number) and is removed with its arquivo row (by a
// trigger on tavex.arquivo for the record tables, by foreign keys for the rest).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cotepe/record_layout.h"
#include "pg/pg_connection.h"

namespace tavex {

// The version this program writes and reads.
inline constexpr int kPgSchemaVersion = 5;

// How a field is stored: numbers as bigint (money in centavos, quantities as the
// record holds them), dates as date, times as time, everything else (identifiers
// such as CNPJ included, which keep their leading zeros) as text.
enum class PgColumnKind { Text, Integer, Date, Time };

struct PgColumn {
  std::string name;  // the SQLite export's column name, in lower case
  PgColumnKind kind;
  const FieldLayout* field;
};

// Table 0..21 (E01..E21, EAD, as mdbTableOf numbers them).
std::string pgTableName(int table);  // "tavex.e01" .. "tavex.ead"
const std::vector<PgColumn>& pgColumnsOf(int table);

struct PgSchemaResult {
  enum class Status { Ready, Created, Migrated, Newer, NoPermission, Failed } status = Status::Failed;
  int foundVersion = 0;  // 0 when there was no schema
  std::string message;   // cp1252, for the user when the status is Newer, NoPermission or Failed
  bool usable() const { return status == Status::Ready || status == Status::Created || status == Status::Migrated; }
};

// Makes sure the schema is at kPgSchemaVersion: creates it in an empty database,
// migrates an older one in one transaction, refuses a newer one. Safe when several
// clients call it at once (they take turns on an advisory lock).
//
// Before touching anything it checks the user's rights: CREATE on the database
// when the schema must be created, else every right a load needs on the schema at
// kPgSchemaVersion (pgLoadRights); NoPermission then names every missing one.
PgSchemaResult ensurePgSchema(PgConnection& connection);

// A right a load needs: `privilege` on the object `name` (without "tavex.") of
// `kind` "schema", "table" or "sequence".
struct PgRight {
  std::string kind;
  std::string name;
  std::string privilege;
};

// Every right a load (with its findings and reconciliation) needs on the current
// schema, in the order they are listed to the user. A table added by a later
// schema step adds its rights here; the script docs/tavex_pg_direitos.sql grants
// them all.
std::vector<PgRight> pgLoadRights();

// The rights of pgLoadRights the connection's user lacks on an existing schema
// tavex (all of them from the schema's USAGE on, when that is missing); nothing
// when the check itself failed (connection.error() tells why).
std::optional<std::vector<PgRight>> missingPgLoadRights(PgConnection& connection);

// Applies the schema's steps after `fromVersion` up to `toVersion` in the current
// transaction, and records `toVersion`. Used by ensurePgSchema; tests build an
// older schema with it.
bool applyPgSchemaSteps(PgConnection& connection, int fromVersion, int toVersion);

}  // namespace tavex
