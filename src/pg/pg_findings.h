// Findings, the reconciliation table and the indicators of one file, as rows of
// tavex.achado, tavex.conciliacao and tavex.indicio. The validation fills these
// rows; copyFindings, copyReconciliation and copyIndicators send a batch of them
// with COPY inside the transaction that loads the file (see
// PgLoadOptions::beforeCommit), so they come and go with it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "indicators/indicator.h"
#include "pg/pg_connection.h"
#include "validation/finding.h"

namespace tavex {

struct PgFinding {
  int line = 0;             // 0 when the finding is about no line
  std::string record;       // "E14", "EAD"; empty when about no record
  int field = 0;            // field number, 0 when none
  std::string code;         // the check's stable code, e.g. "E14.cpf_cnpj_cliente"
  bool error = true;        // error, or warning
  std::string message;      // cp1252, as the log writes it
  std::optional<int> crz;
  std::optional<int> coo;
  std::optional<std::int64_t> declaredCents;
  std::optional<std::int64_t> computedCents;
  // A finding for a range of COO numbers (consecutive missing ones): the last
  // number (`coo` the first) and how many; nothing for any other finding.
  std::optional<int> cooLast;
  std::optional<std::int64_t> count;
};

// The row of a finding of the validation.
PgFinding pgFindingOf(const Finding& finding);

// The rows of tavex.achado of one file, made while its validation runs: each
// finding becomes its COPY row as it comes, kept in an unnamed temporary file (in
// $TMPDIR, else /tmp) once more than a megabyte of rows waits, so that memory stays
// bounded whatever the number of findings. Consecutive missing COO numbers should
// reach it as ranges (MissingCooRanges in front of it).
class PgFindingRows : public FindingSink {
 public:
  PgFindingRows();
  ~PgFindingRows() override;
  PgFindingRows(const PgFindingRows&) = delete;
  PgFindingRows& operator=(const PgFindingRows&) = delete;

  void onFinding(const Finding& finding) override;
  // COPY every row into tavex.achado for `fileId`. False when the server refused
  // them (connection.error()) or the temporary file failed (`spillError()`).
  bool copyTo(PgConnection& connection, long long fileId);
  long long rows() const { return rows_; }
  // Why the temporary file failed (cp1252), empty when it did not.
  const std::string& spillError() const { return spillError_; }

 private:
  static constexpr std::size_t kKeptBytes = 1u << 20;
  std::string pending_;  // rows not yet in the temporary file, each without arquivo_id
  std::FILE* spill_ = nullptr;
  std::string spillError_;
  long long rows_ = 0;
};

struct PgReconciliationRow {
  int crz = 0;
  std::string date;  // AAAAMMDD of the reduction; empty or invalid: NULL
  std::optional<int> cooFirst;
  std::optional<int> cooLast;
  std::string kind;       // "E12", "E13", "E17" or "E18"
  std::string totalizer;  // cp1252: the totalizer or payment means, "VENDA BRUTA" for E12
  std::int64_t declaredCents = 0;
  std::int64_t computedCents = 0;
  std::int64_t differenceCents = 0;
  bool withinTolerance = true;
};

// COPY the rows into tavex.achado / tavex.conciliacao for the file `fileId`. False
// (see connection.error()) when the server refused them; the caller's transaction
// is then aborted.
bool copyFindings(PgConnection& connection, long long fileId, const std::vector<PgFinding>& findings);
bool copyReconciliation(PgConnection& connection, long long fileId, const std::vector<PgReconciliationRow>& rows);
// The indicators go as they are: line, record, CRZ and COO of 0 (none) as NULL,
// the record as "E01".."E21", the texts in UTF-8.
bool copyIndicators(PgConnection& connection, long long fileId, const std::vector<Indicator>& indicators);

// Text made safe for a PostgreSQL text value: cp1252 -> UTF-8, and each NUL byte
// (which text cannot hold) as U+2400 "␀", a character cp1252 text never contains,
// so the original bytes can always be told back.
std::string pgTextOf(std::string_view cp1252);

// An AAAAMMDD date as "AAAA-MM-DD" when it is a real calendar date (year >= 1),
// and an HHMMSS time as "HH:MM:SS" when hours <= 23 and minutes, seconds <= 59;
// nothing otherwise.
std::optional<std::string> pgDateOf(std::string_view yyyymmdd);
std::optional<std::string> pgTimeOf(std::string_view hhmmss);

}  // namespace tavex
