// The two validations of a COTEPE file. Both write their findings to the log
// beside the file (its path followed by ".log") and tell the user through `notifier`
// only when they cannot run: an empty path, a file that cannot be opened or read
// (or is no regular file), a log that cannot be created or written, or is a
// symbolic link, or is in use by another run.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>
#include <string>
#include <string_view>
#include <utility>

#include "cotepe/notifier.h"
#include "cotepe/text.h"
#include "validation/finding.h"
#include "validation/reconciliation.h"
#include "validation/record_observer.h"

namespace tavex {

// The values of the log's header block: E01 and E02 as sliced (cp1252), or
// question marks when the file has no such record.
struct LogHeader {
  std::string serial = "????????????????????";
  std::string mfAdicional = "?";
  std::string ecfType = "???????";
  std::string brandModel = "?????? / ??????";
  std::string sbVersion = "??????????";
  std::string sequence = "???";
  std::string command = "???";
  std::string period = "\\????  até  \\????"_cp;
  std::string dllVersion = "????????";
  std::string atoVersion = "???????????????";
  std::string cnpj = "??????????????";
  std::string ie = "??????????????";
  std::string name = std::string(40, '?');
  std::string address = std::string(40, '?');
  std::string registered = "\\???? às ??:??:??"_cp;

  // The period as a reader writes it, "DD/MM/AAAA a DD/MM/AAAA" (cp1252), or empty
  // when the file had no E01 to give it.
  std::string readablePeriod() const;
};

struct ValidationOptions {
  ValidationOptions() = default;
  explicit ValidationOptions(std::string day) : today(std::move(day)) {}

  std::string today;  // AAAAMMDD of the run; empty: the local clock's date
  // Receives the log's text as it is written (cp1252, CR LF), nothing unwritten.
  std::function<void(std::string_view)> echo;
  // Called once the log is created and locked by this run, before its first line.
  std::function<void()> logCreated;
  // Receive every finding besides the log, in the log's order; kept alive by the caller.
  std::vector<FindingSink*> sinks;
  // Sees every record of the full run besides the checks (the indicators); kept
  // alive by the caller. Nothing it does reaches the log.
  RecordObserver* recordObserver = nullptr;
  // Sees the bytes of the full run's first read of the file as it takes them, in
  // order: each raw line with its line end. When the summary's endsInEad is set it
  // saw every byte of the file; otherwise perhaps only its first lines.
  std::function<void(std::string_view)> readTap;
  // A file whose only structural findings are missing record types goes on to the
  // line checks and totals (the log says so in a line after its header).
  bool continueAfterMissingRecords = false;
  // The memory the findings of the line checks may take while they wait for the
  // structure of the file to be known good (the file is read once). Past it they
  // are dropped and the lines checked again in a second read: the log is the same.
  std::size_t heldFindingsBudget = 8u << 20;
};

struct ValidationSummary {
  bool ran = false;  // the whole file was read and the whole log written
  int errors = 0;
  int warnings = 0;
  LogHeader header;  // what the log's header shows
  // The totals of the full run that reached its end-of-file reports.
  std::optional<Reconciliation> reconciliation;
  // Whether the file's last record (past trailing line ends and blanks) is an EAD
  // record, when the full run read every line in its one read; nothing otherwise.
  std::optional<bool> endsInEad;
};

// The full run: structural and size scans, every record check, the totals
// cross-checks within `toleranceCents` (>= 0).
ValidationSummary validateCotepeFile(Notifier& notifier, const std::string& path, std::int64_t toleranceCents,
                                     const ValidationOptions& options = {});

// The format-only run: lengths and field formats of every record, nothing else.
ValidationSummary validateCotepeFileQuick(Notifier& notifier, const std::string& path,
                                          const ValidationOptions& options = {});

// The local date as AAAAMMDD.
std::string localToday();

}  // namespace tavex
