// Database export: one COTEPE file into a new SQLite database file (named like the
// desktop ".MDB" files of the manufacturers' tools), one table per record type
// E01..E21 and EAD, one row per record, every field stored exactly as the record
// holds it.
//
// Statements and schema: the 22 CREATE TABLE statements keep their table names,
// column names, order and declared types (VARCHAR(width), EAD's assinatura MEMO).
// Values are bound as parameters, never spliced into SQL: text columns hold the
// field converted from cp1252 to UTF-8; the EAD signature is bound as a BLOB of its
// bytes (a column declared MEMO would otherwise turn a signature of digits into a
// number). All rows of one export are one transaction, committed when the export
// ends, fails or is cancelled. An existing file is never overwritten, nor a
// symbolic link followed; a database whose commit failed, or whose input could
// not be read to its end, is removed.
//
// Engine errors become worker notices titled "Erro na Criação do Banco de Dados"
// (with the error icon: tavex-cli prints them on standard error).
#pragma once

#include <array>
#include <vector>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cotepe/record_layout.h"
#include "export/conversion.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tavex {

// Worker statuses of the database export.
inline constexpr int kMdbDone = 0;
inline constexpr int kMdbInputUnreadable = 1;  // the COTEPE file cannot be opened
inline constexpr int kMdbDatabaseFailed = 2;   // the database or a table cannot be created, or a row was refused
inline constexpr int kMdbInputNotRegular = 3;  // the COTEPE file is a pipe or a device

// The table index 0..21 (E01..E21, EAD) of a line whose first three characters are
// "E01".."E21" or "EAD" (case-sensitive); -1 otherwise.
int mdbTableOf(std::string_view line);

// The record layout of table 0..21; its fields' dbColumn names the table's columns.
const RecordLayout& mdbTableLayout(int table);

// The CREATE TABLE statement of table 0..21.
std::string mdbCreateStatement(int table);
// The INSERT statement of table 0..21, with one "?" per column: for `rows` rows.
std::string mdbInsertStatement(int table, int rows = 1);

// Rows of one table inserted by one statement.
inline constexpr int kMdbBatchRows = 32;

// "<serial>_AAAAMMDD_HHMMSS.MDB" for the serial-number text and the local time.
std::string mdbFileName(std::string_view serial, const std::tm& when);

// An open export database: the connection, its prepared inserts (of one row and of
// kMdbBatchRows rows) and each table's records waiting for a whole batch.
struct CotepeDatabase {
  sqlite3* db = nullptr;
  std::array<sqlite3_stmt*, 22> inserts{};
  std::array<sqlite3_stmt*, 22> batchInserts{};
  std::array<std::string, 22> queued;                   // the waiting records, one after another
  std::array<std::vector<std::size_t>, 22> queuedEnds;  // where each waiting record ends
  bool inTransaction = false;
};

// Creates the file `path` (failing when it exists, a symbolic link included) and the 22 tables, and opens the
// export's transaction. 0, or 1 after a notice with the engine's description (the
// file is then removed again if this call created it).
int createCotepeDatabase(CotepeDatabase& database, const std::string& path, WorkerControl& control);

// Inserts `record` (line end removed) into table 0..21, at the latest when the
// database is closed. 0, or 1 when the engine refused a row of the table (only the
// E15 table raises a notice then, as the tools always did).
int insertMdbRecord(CotepeDatabase& database, int table, std::string_view record, WorkerControl& control);

// Inserts the waiting rows, commits the transaction and closes the database. False
// when a row was refused or (after a notice) the commit failed; the caller then
// removes the file.
bool closeCotepeDatabase(CotepeDatabase& database, WorkerControl& control);

struct MdbResult {
  int status = kMdbDone;  // or kConversionCancelled
  std::string path;       // the database file named for this export
};

// The conversion, run on the worker: the database goes into `folder` under the
// name made from the input's serial number and `startedAt`.
MdbResult convertToMdb(const std::string& inputPath, const std::string& folder, const std::tm& startedAt,
                       WorkerControl& control);

// The "Exportar MDB" command: asks for the file and the output folder, makes the
// folder current and runs the conversion on the worker; the database goes into
// session.mdbDirectory when a manufacturer is selected, else into the chosen
// folder. Returns the worker's status, or nothing when a chooser was cancelled, the
// worker did not start or the user cancelled it.
std::optional<int> exportMdb(UserInterface& ui, ConversionSession& session);

}  // namespace tavex
