// Loading one COTEPE file into the shared database (schema of pg_schema.h).
//
// One transaction per file: the file is wholly in or not at all, whatever breaks
// (the server stopping, a refused row). The file is read once. Files are known by
// the SHA-256 of their bytes, taken as its lines are read: loading the same bytes again replaces that file's rows in the same
// transaction (readers see the old rows or the new, never both or none), or
// leaves them when `skipExisting`. A reload without a validation keeps the
// validation the same bytes got before (its counts, findings, reconciliation and indicators). Loads of the same bytes from several clients
// take turns on an advisory lock; loads of different files run side by side.
//
// Every record line becomes one row of its type's table with its line number, its
// fields converted (numbers to bigint, dates, times; texts cp1252 -> UTF-8, NUL as
// U+2400, see pgTextOf) and the whole line in `texto`. A number, date or time that
// fails its format check is stored as NULL and recorded in tavex.achado (code
// "carga.formato"); a date of zeros or blanks is NULL without a finding. Lines of
// no known record type go to tavex.linha_desconhecida; empty lines are counted
// only. REQUIRES: ensurePgSchema succeeded on `connection`.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "pg/pg_connection.h"

namespace tavex {

struct PgLoadOptions {
  bool skipExisting = false;
  // The validation's counts, stored with the file (validado, erros, avisos); nothing: not validated.
  std::optional<std::pair<int, int>> validation;
  // Runs inside the file's transaction just before COMMIT (findings, reconciliation);
  // returning false aborts the file.
  std::function<bool(PgConnection&, long long fileId)> beforeCommit;
  // Rows are sent in batches of about this many bytes per table.
  std::size_t batchBytes = 4u << 20;
  // Called after each batch was sent, with the number of lines read so far.
  std::function<void(long long lines)> afterBatch;
};

enum class PgLoadStatus { Loaded, Replaced, Skipped, Unreadable, NotCotepe, Failed };

struct PgLoadResult {
  PgLoadStatus status = PgLoadStatus::Failed;
  long long fileId = 0;         // the arquivo row (the existing one when skipped)
  long long lines = 0;          // lines of the file, empty ones included
  long long rows = 0;           // record rows written
  long long invalidFields = 0;  // fields stored as NULL after a failed format check
  std::string message;          // cp1252: why it failed
  // Replaced without a validation of its own: the earlier load's validation (its
  // counts, findings, reconciliation and indicators) kept with the new rows.
  std::optional<std::pair<int, int>> keptValidation;
  bool ok() const { return status == PgLoadStatus::Loaded || status == PgLoadStatus::Replaced || status == PgLoadStatus::Skipped; }
};

PgLoadResult loadCotepeFileToPg(PgConnection& connection, const std::string& path, const PgLoadOptions& options = {});

class PgFileLoad;
// Finishes `load`, whose caller's read stopped early, by reading the rest of
// `path` from where the lines added end (the file is still read once).
PgLoadResult finishFromFile(PgFileLoad& load, const std::string& path);

// The same load fed by a caller that reads the file for something else (the
// validation's read tap), so that the file is read once: every raw line in order,
// then finish. `options` is kept by reference and read again at finish, so its
// validation and beforeCommit may be filled in once the lines are all added.
// Dropped unfinished, the load is rolled back.
class PgFileLoad {
 public:
  PgFileLoad(PgConnection& connection, const std::string& path, const PgLoadOptions& options);
  ~PgFileLoad();
  PgFileLoad(const PgFileLoad&) = delete;
  PgFileLoad& operator=(const PgFileLoad&) = delete;

  void addLine(std::string_view raw);
  // The bytes of the lines added so far: where the rest of the file starts.
  std::uint64_t bytesAdded() const;
  // `wholeFile`: the lines added were all of the file, read without error;
  // otherwise nothing of the file stays (Unreadable, or Failed with a read error).
  PgLoadResult finish(bool wholeFile);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The arquivo row of a file already loaded with these bytes (its SHA-256), so that a
// caller may skip it before any work; nothing when there is none or the question
// failed (the load itself then decides).
std::optional<long long> pgLoadedFileId(PgConnection& connection, const std::string& sha256);

}  // namespace tavex
