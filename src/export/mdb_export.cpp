#include "export/mdb_export.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>

#include "cotepe/file_access.h"
#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "export/csv_export.h"

namespace tavex {

namespace {

const int kEadTable = tableIndexOf(kEadType);
const int kE15Table = tableIndexOf(RecordOf<E15>::type);

// EAD's signature: kept as bytes (a blob), never converted as text.
bool isSignatureField(int table, const FieldLayout& field) {
  return table == kEadTable && field.number == static_cast<int>(Ead::Assinatura);
}

const char* const kEngineErrorTitle = "Erro na Criação do Banco de Dados"_cp;

// The engine's error: our sentence (cp1252) first, then the engine's own text
// (UTF-8) on the next line, after `source` ("SQLite", "Sistema").
void engineNotice(WorkerControl& control, const char* sentence, const char* source, const std::string& description) {
  control.notify({std::string(sentence) + "\n" + source + ": " + utf8ToCp1252(description), kEngineErrorTitle,
                  Icon::Error});
}

const char* const kEngineRefused = "O SQLite recusou um comando ao gravar o banco de dados."_cp;

std::string tableName(int table) { return std::string(mdbTableLayout(table).tag); }

bool isAscii(std::string_view s) {
  // Eight characters at a time: any top bit set is a non-ASCII one.
  std::size_t i = 0;
  std::uint64_t high = 0;
  for (; i + 8 <= s.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, s.data() + i, sizeof word);
    high |= word;
  }
  for (; i < s.size(); ++i) high |= static_cast<unsigned char>(s[i]);
  return (high & 0x8080808080808080ull) == 0;
}

}  // namespace

int mdbTableOf(std::string_view line) {
  if (line.starts_with("EAD")) return kEadTable;
  const int type = csvRecordType(line);  // the CSV files and the tables name records alike
  return type == 0 ? -1 : tableIndexOf(type);
}

const RecordLayout& mdbTableLayout(int table) { return allLayouts()[static_cast<std::size_t>(table)]; }

std::string mdbCreateStatement(int table) {
  std::string sql = "CREATE TABLE " + tableName(table) + " ( ";
  for (const FieldLayout& field : mdbTableLayout(table).fields) {
    if (field.number > 1) sql += ", ";
    sql += field.dbColumn;
    if (isSignatureField(table, field))
      sql += " MEMO";
    else
      sql += cformat(" VARCHAR(%d)", field.width);
  }
  return sql + " )";
}

std::string mdbInsertStatement(int table, int rows) {
  std::string sql = "INSERT INTO " + tableName(table) + " ( ";
  std::string values;
  bool first = true;
  for (const FieldLayout& field : mdbTableLayout(table).fields) {
    if (!first) {
      sql += ", ";
      values += ", ";
    }
    first = false;
    sql += field.dbColumn;
    values += "?";
  }
  sql += " ) VALUES (" + values + ")";
  for (int row = 1; row < rows; ++row) sql += ", (" + values + ")";
  return sql;
}

std::string mdbFileName(std::string_view serial, const std::tm& when) {
  // The tools' own format (the zero flags are ignored next to the precisions, which
  // pad with zeros all the same).
  const char* const kFormat = "%.*s_%04.4d%02.2d%02.2d_%02.2d%02.2d%02.2d.MDB"_cp;
  return cformat(kFormat, static_cast<int>(serial.size()), serial.data(),
                 when.tm_year + 1900, when.tm_mon + 1, when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec);
}

namespace {

bool execute(CotepeDatabase& database, const std::string& sql, WorkerControl& control) {
  char* error = nullptr;
  if (sqlite3_exec(database.db, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK) return true;
  engineNotice(control, kEngineRefused, "SQLite", error != nullptr ? error : sqlite3_errmsg(database.db));
  sqlite3_free(error);
  return false;
}

void release(CotepeDatabase& database) {
  for (auto* statements : {&database.inserts, &database.batchInserts})
    for (sqlite3_stmt*& s : *statements) {
      sqlite3_finalize(s);
      s = nullptr;
    }
  for (std::string& q : database.queued) q.clear();
  for (auto& ends : database.queuedEnds) ends.clear();
  sqlite3_close(database.db);
  database.db = nullptr;
  database.inTransaction = false;
}

}  // namespace

int createCotepeDatabase(CotepeDatabase& database, const std::string& path, WorkerControl& control) {
  // Claim the name first: an existing file is an error, never overwritten.
  const OutputFile claimed = openOutputFile(path, OutputMode::CreateNew);
  if (claimed.fd < 0) {
    const int error = errno;
    if (claimed.error == OutputError::Symlink)
      control.notify({outputRefusalMessage(claimed.error, path), kEngineErrorTitle, Icon::Error});
    else
      engineNotice(control,
                   cformat("Não foi possível criar o arquivo do banco de dados %s."_cp, utf8ToCp1252(path).c_str()).c_str(),
                   "Sistema", std::strerror(error));
    return 1;
  }
  ::close(claimed.fd);
  auto fail = [&] {
    release(database);
    std::error_code ec;
    std::filesystem::remove(path, ec);
    return 1;
  };
  // The engine reopens the name it is given: with the folders resolved, it can
  // refuse any link there, where the claimed file stood a moment ago.
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  const std::filesystem::path resolved = std::filesystem::canonical(folder.empty() ? "." : folder, ec);
  const std::string enginePath = ec ? path : (resolved / std::filesystem::path(path).filename()).string();
  if (sqlite3_open_v2(enginePath.c_str(), &database.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW,
                      nullptr) != SQLITE_OK) {
    engineNotice(control, "O SQLite não conseguiu abrir o arquivo do banco de dados."_cp, "SQLite",
                 database.db != nullptr ? sqlite3_errmsg(database.db) : "out of memory");
    return fail();
  }
  // The connection is used by the worker alone (no per-call locking), and the
  // load needs no on-disk rollback journal: the file is new and its one
  // transaction is committed whatever happens.
  sqlite3_extended_result_codes(database.db, 1);
  if (!execute(database, "PRAGMA journal_mode = MEMORY", control)) return fail();
  // The schema and every row are one transaction: one sync for the whole export.
  if (!execute(database, "BEGIN", control)) return fail();
  database.inTransaction = true;
  for (int table = 0; table < 22; ++table)
    if (!execute(database, mdbCreateStatement(table), control)) return fail();
  for (int table = 0; table < 22; ++table) {
    const auto t = static_cast<std::size_t>(table);
    for (const int rows : {1, kMdbBatchRows}) {
      const std::string sql = mdbInsertStatement(table, rows);
      sqlite3_stmt*& statement = rows == 1 ? database.inserts[t] : database.batchInserts[t];
      if (sqlite3_prepare_v3(database.db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
          SQLITE_OK) {
        engineNotice(control, kEngineRefused, "SQLite", sqlite3_errmsg(database.db));
        return fail();
      }
    }
  }
  return 0;
}

namespace {

// Binds the fields of `record` to the parameters from `column` on. SQLITE_OK or
// the engine's refusal. `converted` holds the UTF-8 copies of non-ASCII fields,
// which must stay alive until the step.
int bindRecord(sqlite3_stmt* insert, int column, int table, std::string_view record, std::string* converted) {
  const RecordLayout& layout = mdbTableLayout(table);
  const bool asciiRecord = isAscii(record);
  for (const FieldLayout& f : layout.fields) {
    const std::string_view value = sliceField(record, f.start, f.width);
    int rc;
    if (isSignatureField(table, f)) {
      rc = sqlite3_bind_blob(insert, column, value.empty() ? "" : value.data(), static_cast<int>(value.size()),
                             SQLITE_STATIC);
    } else if (value.empty()) {
      rc = sqlite3_bind_text(insert, column, "", 0, SQLITE_STATIC);  // an empty text, never NULL
    } else if (asciiRecord || isAscii(value)) {
      rc = sqlite3_bind_text(insert, column, value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
    } else {
      std::string& utf8 = converted[f.number - 1];
      utf8 = cp1252ToUtf8(value);
      rc = sqlite3_bind_text(insert, column, utf8.data(), static_cast<int>(utf8.size()), SQLITE_STATIC);
    }
    if (rc != SQLITE_OK) return rc;
    ++column;
  }
  return SQLITE_OK;
}

// Steps `insert` once its parameters are bound (or `rc` tells the binding failed).
// 0, or 1 when the engine refused the rows.
int stepInsert(CotepeDatabase& database, sqlite3_stmt* insert, int table, int rc, WorkerControl& control) {
  if (rc == SQLITE_OK) rc = sqlite3_step(insert) == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
  sqlite3_reset(insert);  // every column is bound again for the next rows
  if (rc == SQLITE_OK) return 0;
  if (table == kE15Table)
    engineNotice(control, "O SQLite recusou um registro E15."_cp, "SQLite", sqlite3_errmsg(database.db));
  return 1;
}

// Inserts the records waiting for table `table`: one statement for a whole batch,
// one row at a time otherwise. 0, or 1 when the engine refused a row.
int insertQueued(CotepeDatabase& database, int table, WorkerControl& control) {
  const auto t = static_cast<std::size_t>(table);
  const std::string& queued = database.queued[t];
  std::vector<std::size_t>& ends = database.queuedEnds[t];
  const std::size_t fields = mdbTableLayout(table).fields.size();
  // UTF-8 copies of the non-ASCII fields, alive until the step (kept between calls
  // so their buffers are reused; one worker uses them at a time).
  thread_local std::vector<std::string> converted;
  if (converted.size() < fields * kMdbBatchRows) converted.resize(fields * kMdbBatchRows);
  int status = 0;
  if (ends.size() == static_cast<std::size_t>(kMdbBatchRows)) {
    sqlite3_stmt* insert = database.batchInserts[t];
    int rc = SQLITE_OK;
    std::size_t begin = 0;
    for (std::size_t row = 0; row < ends.size() && rc == SQLITE_OK; ++row) {
      const std::string_view record = std::string_view(queued).substr(begin, ends[row] - begin);
      rc = bindRecord(insert, static_cast<int>(row * fields) + 1, table, record, &converted[row * fields]);
      begin = ends[row];
    }
    status = stepInsert(database, insert, table, rc, control);
  } else {
    sqlite3_stmt* insert = database.inserts[t];
    std::size_t begin = 0;
    for (std::size_t row = 0; row < ends.size() && status == 0; ++row) {
      const std::string_view record = std::string_view(queued).substr(begin, ends[row] - begin);
      status = stepInsert(database, insert, table, bindRecord(insert, 1, table, record, converted.data()), control);
      begin = ends[row];
    }
  }
  database.queued[t].clear();
  ends.clear();
  return status;
}

}  // namespace

int insertMdbRecord(CotepeDatabase& database, int table, std::string_view record, WorkerControl& control) {
  // Rows wait (copied: the caller's text does not outlive the call) until their
  // table has a whole batch.
  const auto t = static_cast<std::size_t>(table);
  database.queued[t].append(record);
  database.queuedEnds[t].push_back(database.queued[t].size());
  if (database.queuedEnds[t].size() < static_cast<std::size_t>(kMdbBatchRows)) return 0;
  return insertQueued(database, table, control);
}

bool closeCotepeDatabase(CotepeDatabase& database, WorkerControl& control) {
  if (database.db == nullptr) return true;
  bool ok = true;
  if (database.inTransaction) {
    for (int table = 0; table < 22; ++table)
      if (insertQueued(database, table, control) != 0) ok = false;
    ok = execute(database, "COMMIT", control) && ok;
  }
  release(database);
  return ok;
}

MdbResult convertToMdb(const std::string& inputPath, const std::string& folder, const std::tm& startedAt,
                       WorkerControl& control) {
  MdbResult result;
  ConversionReader input(control);
  if (!input.open(inputPath)) {
    result.status = input.reader().notRegular() ? kMdbInputNotRegular : kMdbInputUnreadable;
    return result;
  }
  // The serial number: up to 20 characters after the first three of the file,
  // stopping at a line end. It becomes part of a file name: a path separator or a
  // NUL in it is replaced, and the cp1252 text is named in UTF-8.
  std::string serial;
  std::string_view first;
  if (input.reader().next(first)) {
    for (std::size_t i = 3; i < first.size() && i < 23 && first[i] != '\n' && first[i] != '\r'; ++i)
      serial += (first[i] == '/' || first[i] == '\0') ? '_' : first[i];
  }
  input.reader().rewind();
  const std::string name = cp1252ToUtf8(mdbFileName(serial, startedAt));
  result.path = folder.empty() ? name : (std::filesystem::path(folder) / name).string();

  CotepeDatabase database;
  if (createCotepeDatabase(database, result.path, control) != 0) {
    result.status = kMdbDatabaseFailed;
    return result;
  }
  // A database that could not be committed is no database: no empty file stays.
  auto close = [&] {
    if (closeCotepeDatabase(database, control)) return true;
    std::error_code ec;
    std::filesystem::remove(result.path, ec);
    return false;
  };
  std::string_view raw;
  while (input.next(raw)) {
    if (control.cancelRequested()) {
      close();
      result.status = kConversionCancelled;
      return result;
    }
    const std::string_view record = removeLineFeed(raw);
    const int table = mdbTableOf(record);
    if (table < 0) continue;
    if (insertMdbRecord(database, table, record, control) != 0) {
      close();
      result.status = kMdbDatabaseFailed;
      return result;
    }
  }
  result.status = close() ? kMdbDone : kMdbDatabaseFailed;
  std::error_code ec;
  if (input.reader().readFailed()) {
    // The file was not read to its end: its database would be incomplete.
    std::filesystem::remove(result.path, ec);
    result.status = kMdbInputUnreadable;
    return result;
  }
  // The folder removed during the export takes the database with it: not a success.
  if (result.status == kMdbDone && !std::filesystem::exists(result.path, ec)) result.status = kMdbDatabaseFailed;
  return result;
}

namespace {

// The end of "Exportar MDB"; the path is the database file, in the folder shown to the user.
constexpr StatusMessage kMdbMessages[] = {
    {kMdbInputUnreadable, "Problemas ao abrir o arquivo COTEPE.", "Erro!", Icon::Error},
    {kMdbDatabaseFailed, "Problemas ao criar o arquivo MDB de saída."_cp, "Erro!", Icon::Error},
    {kMdbInputNotRegular, kNotRegularInput, "Erro!", Icon::Error},
    {kAnyOtherStatus, "Processo de conversão finalizado.\nArquivo salvo no caminho:\n%s"_cp, "Aviso",
     Icon::Information, true},
};

}  // namespace

std::optional<int> exportMdb(UserInterface& ui, ConversionSession& session) {
  const std::optional<std::string> input = ui.chooseOpenFile(cotepeFileRequest());
  if (!input) return std::nullopt;
  session.currentCotepeFile = *input;
  const std::optional<std::string> chosen = ui.chooseFolder("Selecione o diretório de saída do arquivo MDB:"_cp);
  if (!chosen || chosen->empty()) return std::nullopt;

  const std::string inputPath = absolutePath(*input);
  const std::string shownFolder = session.mdbDirectory.empty() ? *chosen : session.mdbDirectory;
  const std::string folder = absolutePath(shownFolder);
  std::error_code ec;
  std::filesystem::current_path(absolutePath(*chosen), ec);
  const std::time_t now = std::time(nullptr);
  std::tm startedAt{};
  localtime_r(&now, &startedAt);

  auto path = std::make_shared<std::string>();
  session.job.inputPath = inputPath;
  const WorkerOutcome outcome = runOnWorker(
      ui, session.job,
      conversionProcedure([inputPath, folder, startedAt, path](WorkerControl& c) {
        MdbResult r = convertToMdb(inputPath, folder, startedAt, c);
        *path = std::move(r.path);
        return r.status;
      }),
      true);
  if (outcome != WorkerOutcome::Finished) return std::nullopt;

  const int status = session.job.status();
  const std::string shown = (std::filesystem::path(shownFolder) / std::filesystem::path(*path).filename()).string();
  showStatusMessage(ui, kMdbMessages, status, shown);
  return status;
}

}  // namespace tavex
