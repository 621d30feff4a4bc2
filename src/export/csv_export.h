// CSV export: one COTEPE file into "E01.csv" .. "E21.csv" (semicolon-separated,
// CR LF line ends, bytes copied as they are), one file per record type present.
//
// Field cuts and header names come from the record layouts; a few fields are
// written behind an apostrophe so spreadsheets keep their leading zeros. A file
// that already exists is appended to without a new header. EAD and every line
// that does not begin with "E01" .. "E21" are not exported.
//
// The conversion locks the output folder (flock on the folder itself) while it
// runs, so two exports into one folder never interleave; under the lock it finds
// the folder without "E01.csv" or stops, and every file it creates is created
// exclusively. A file name taken by a symbolic link is refused.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "export/conversion.h"

namespace tavex {

// Worker statuses of the CSV export.
inline constexpr int kCsvDone = 0;
inline constexpr int kCsvInputUnreadable = 1;  // the COTEPE file cannot be opened
inline constexpr int kCsvOutputFailed = 2;     // an output file cannot be created, opened or written
inline constexpr int kCsvFolderBusy = 3;       // another run holds the output folder
inline constexpr int kCsvInputNotRegular = 4;  // the COTEPE file is a pipe or a device
inline constexpr int kCsvFolderHasCotepe = 5;  // "E01.csv" appeared in the folder before the run began
inline constexpr int kCsvOutputRefused = 6;    // an output is a symbolic link (the refusal was notified)

// The type 1..21 of a line whose first three characters are "E01" .. "E21"
// (case-sensitive), else 0.
inline int csvRecordType(std::string_view line) {
  if (line.size() < 3 || line[0] != 'E') return 0;
  const unsigned tens = static_cast<unsigned char>(line[1]) - unsigned{'0'};  // wraps above 9 below '0'
  const unsigned units = static_cast<unsigned char>(line[2]) - unsigned{'0'};
  const unsigned type = tens * 10 + units;
  return tens <= 9 && units <= 9 && type >= 1 && type <= 21 ? static_cast<int>(type) : 0;
}

// The header line of record type 1..21, without its line end.
std::string csvHeader(int type);

// Appends the CSV line of `record` (type 1..21, line end removed) to `out`, CR LF
// included. A record shorter than its layout gives shortened or empty fields with
// every separator present.
void appendCsvRecord(std::string& out, int type, std::string_view record);

// The conversion, run on the worker: writes into `outputFolder`. Returns a status
// above (a failed read of the input is kCsvInputUnreadable), or kConversionCancelled when it stopped between two records for a
// cancellation (every line written stays whole). When an output fails or is
// refused, the run takes back what it wrote: the files it created are removed and
// the files it appended to are cut back to what they held, so a retry finds the
// folder as it was; `reason` (when given) then receives the cause (cp1252 line).
int convertToCsv(const std::string& inputPath, const std::string& outputFolder, WorkerControl& control,
                 std::string* reason = nullptr);

// The "Exportar CSV" command: asks for the file and the output folder (again while
// the folder already holds "E01.csv"), makes the folder current, runs the
// conversion on the worker and shows the outcome. The current directory is set
// back once the worker has finished. Returns the worker's status, or nothing when
// a chooser was cancelled, the worker did not start or the user cancelled it.
std::optional<int> exportCsv(UserInterface& ui, ConversionSession& session);

}  // namespace tavex
