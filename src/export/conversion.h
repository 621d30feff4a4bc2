// What the three COTEPE conversions (CSV export, database export, split) share:
// the state the main window lends their commands, the input chooser, input
// reading with progress, and the table form of what each tells the user at the end.
#pragma once

#include <climits>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cotepe/line_reader.h"
#include "jobs/worker_job.h"
#include "ui/user_interface.h"

namespace tavex {

// The window's state a conversion command reads and updates. The window (or
// tavex-cli) owns every referenced object; they outlive the command.
struct ConversionSession {
  WorkerJob& job;                  // the program-wide worker job
  std::string& currentCotepeFile;  // set to the chosen input, as the window shows it
  std::string mdbDirectory;        // database folder of the selected manufacturer; empty: none selected
};

// The status a conversion returns when it stopped for a cancellation: it then
// publishes no status and leaves `finished` clear.
inline constexpr int kConversionCancelled = -1;

// The file-open chooser of the conversion commands ("Arquivo TXT Formatado").
OpenFileRequest cotepeFileRequest();

// Removes a real line end only: LF or CR LF. A last line without LF keeps every
// character.
std::string_view removeLineFeed(std::string_view rawLine);

// Reads a COTEPE file line by line (lines of any length) and reports the share of
// its bytes consumed as progress.
class ConversionReader {
 public:
  explicit ConversionReader(WorkerControl& control) : control_(control) {}

  // False when the file cannot be opened for reading (or is a folder, or is no
  // regular file: reader().notRegular()).
  bool open(const std::string& path);

  // The next raw line (with its line end); false at the end of the file, or when a
  // read failed (reader().readFailed(), which the conversion checks at the end).
  bool next(std::string_view& rawLine);

  LineReader& reader() { return reader_; }

 private:
  WorkerControl& control_;
  LineReader reader_;
  std::uint64_t size_ = 0;
  std::uint64_t consumed_ = 0;
  int lastProgress_ = -1;
};

// Runs `convert` (a conversion returning its status or kConversionCancelled) as a
// worker procedure: finishes with its status unless it was cancelled.
template <typename Convert>
WorkerProcedure conversionProcedure(Convert convert) {
  return [convert = std::move(convert)](WorkerContext& context) mutable {
    const int status = convert(static_cast<WorkerControl&>(context));
    if (status != kConversionCancelled) context.finish(status);
  };
}

// One row of a conversion command's table of final messages: the box shown when
// its worker finished with `status`. `text` is cp1252; when `withPath` it holds one
// "%s", which takes the command's path (a folder or a file) in cp1252. A row
// without text shows nothing (the worker has already said why).
struct StatusMessage {
  int status;
  const char* text;
  const char* title = "";
  Icon icon = Icon::None;
  bool withPath = false;
};

// The status of a table's row for every status the table does not list.
inline constexpr int kAnyOtherStatus = INT_MIN;

// Shows the row of `status` in `messages` (the first that lists it, else the
// kAnyOtherStatus row; no row: nothing). `path` is UTF-8; a `detail` (cp1252, the
// cause of a failure) goes on a line of its own under the row's text.
void showStatusMessage(UserInterface& ui, std::span<const StatusMessage> messages, int status,
                       const std::string& path, std::string_view detail = {});

// The path made absolute against the current directory (a command changes the
// current directory before its worker opens the file). Unchanged if that fails.
std::string absolutePath(const std::string& path);

}  // namespace tavex
